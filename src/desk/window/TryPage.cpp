#include "desk/window/TryPage.h"

#include "desk/TryRun.h"
#include "desk/window/DeskText.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace qal {

TryPage::TryPage(QWidget* parent)
    : QWidget(parent), program_(textOf(lessonProgramBeside(utf8Of(QCoreApplication::applicationFilePath())))),
      process_(new QProcess(this))
{
    auto* choose = new QPushButton(tr("&Choose a lesson..."), this);
    choose->setObjectName("chooseTrialLesson");
    choose->setAccessibleDescription(tr("The lesson to try"));
    start_ = new QPushButton(tr("&Start qalesson"), this);
    start_->setObjectName("startTrial");
    start_->setAccessibleDescription(tr("Run the lesson as a student sees it, with drive C: a scratch folder"));
    start_->setEnabled(false);
    lessonLabel_ = new QLabel(tr("No lesson chosen: check one first, or choose one."), this);
    lessonLabel_->setObjectName("trialLesson");
    lessonLabel_->setTextFormat(Qt::PlainText);
    status_ = new QLabel(this);
    status_->setObjectName("trialStatus");
    status_->setTextFormat(Qt::PlainText);
    status_->setWordWrap(true);
    problem_ = new QLabel(this);
    problem_->setObjectName("trialProblem");
    problem_->setTextFormat(Qt::PlainText);
    problem_->setWordWrap(true);
    problem_->setVisible(false);
    auto* filesLabel = new QLabel(tr("&Files the run wrote:"), this);
    files_ = new QListWidget(this);
    files_->setObjectName("trialFiles");
    files_->setAccessibleName(tr("Files the run wrote"));
    files_->setAccessibleDescription(tr("Each file on the trial's drive C:; open one to read it"));
    filesLabel->setBuddy(files_);
    open_ = new QPushButton(tr("&Open the file"), this);
    open_->setObjectName("openTrialFile");
    open_->setAccessibleDescription(tr("Open the selected file"));
    open_->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(choose);
    buttons->addWidget(start_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(lessonLabel_);
    layout->addWidget(status_);
    layout->addWidget(problem_);
    layout->addWidget(filesLabel);
    layout->addWidget(files_, 1);
    layout->addWidget(open_, 0, Qt::AlignLeft);

    connect(choose, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("The lesson to try"), lesson_,
                                                          tr("Lesson files (*.txt);;All files (*)"));
        if (!path.isEmpty())
            setLesson(path);
    });
    connect(start_, &QPushButton::clicked, this, &TryPage::start);
    auto openFile = [this] {
        if (QListWidgetItem* item = files_->currentItem())
            QDesktopServices::openUrl(
                QUrl::fromLocalFile(QDir(drive_).filePath(QDir::fromNativeSeparators(item->text()))));
    };
    connect(open_, &QPushButton::clicked, this, openFile);
    connect(files_, &QListWidget::itemActivated, this, openFile);
    connect(files_, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem* item) { open_->setEnabled(item != nullptr); });
    connect(process_, &QProcess::finished, this, &TryPage::ended);
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        start_->setEnabled(!lesson_.isEmpty());
        status_->clear();
        setProblem(tr("qalesson could not be started (%1): %2").arg(shownPath(program_), process_->errorString()));
    });
}

TryPage::~TryPage()
{
    // The trial is the desk's: it does not outlive the window.
    if (process_->state() != QProcess::NotRunning) {
        process_->kill();
        process_->waitForFinished(3000);
    }
}

void TryPage::setProblem(const QString& text)
{
    problem_->setText(text);
    problem_->setVisible(!text.isEmpty());
}

void TryPage::setLesson(const QString& path)
{
    lesson_ = path;
    lessonLabel_->setText(tr("Lesson: %1").arg(shownPath(path)));
    start_->setEnabled(process_->state() == QProcess::NotRunning);
}

void TryPage::start()
{
    if (lesson_.isEmpty() || process_->state() != QProcess::NotRunning)
        return;
    std::string reason;
    const std::string drive = makeScratchDrive(reason);
    if (drive.empty()) {
        setProblem(tr("No scratch folder for drive C: could be made: %1").arg(textOf(reason)));
        return;
    }
    setProblem({});
    drive_ = textOf(drive);
    files_->clear();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QALESSON_DRIVE_C"), QDir::toNativeSeparators(drive_));
    process_->setProcessEnvironment(environment);
    process_->setProcessChannelMode(QProcess::ForwardedChannels);
    start_->setEnabled(false);
    status_->setText(tr("qalesson runs; drive C: is %1.").arg(shownPath(drive_)));
    process_->start(program_, {QStringLiteral("--lesson"), lesson_});
}

void TryPage::ended()
{
    start_->setEnabled(!lesson_.isEmpty());
    const QStringList files = textsOf(filesUnder(utf8Of(drive_)));
    for (const QString& file : files)
        files_->addItem(shownPath(file)); // drovnel\masterFile_... on Windows
    const bool crashed = process_->exitStatus() == QProcess::CrashExit;
    const QString wrote = files.size() == 1
                              ? tr("it wrote 1 file on drive C: (%1).").arg(shownPath(drive_))
                              : tr("it wrote %1 files on drive C: (%2).").arg(files.size()).arg(shownPath(drive_));
    status_->setText(crashed ? tr("qalesson ended abnormally; %1").arg(wrote)
                             : tr("The run ended (status %1); %2").arg(process_->exitCode()).arg(wrote));
    if (!files.isEmpty())
        files_->setCurrentRow(0);
}

} // namespace qal
