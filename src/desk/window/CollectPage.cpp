#include "desk/window/CollectPage.h"

#include "desk/window/BackgroundWork.h"
#include "desk/window/DeskText.h"
#include "desk/window/WorkProgress.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <memory>

namespace qal {

namespace {

QPushButton* button(const QString& caption, const char* name, const QString& description, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAccessibleDescription(description);
    return b;
}

QLabel* plainLabel(const char* name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

} // namespace

CollectPage::CollectPage(QWidget* parent) : QWidget(parent), work_(new BackgroundWork(this))
{
    auto* folder = button(tr("Choose a &folder..."), "chooseFolder", tr("Take the send files of a folder"), this);
    auto* pick = button(tr("Choose f&iles..."), "chooseFiles", tr("Take the record files chosen"), this);
    auto* lesson = button(tr("&Lesson..."), "chooseLesson", tr("The lesson the files answer, for the overview"), this);
    auto* roster = button(tr("&Roster..."), "chooseRoster", tr("The class list, a line a student"), this);
    filesLabel_ = plainLabel("collectedFiles", this);
    filesLabel_->setText(tr("No files chosen: choose a folder or files, or drop them on the window."));
    lessonLabel_ = plainLabel("collectLesson", this);
    lessonLabel_->setText(tr("(none)"));
    rosterLabel_ = plainLabel("collectRoster", this);
    rosterLabel_->setText(tr("(none)"));
    summary_ = plainLabel("collectSummary", this);
    problem_ = plainLabel("collectProblem", this);
    problem_->setVisible(false);
    messages_ = new QListWidget(this);
    messages_->setObjectName("collectMessages");
    messages_->setAccessibleName(tr("Warnings"));
    messages_->setAccessibleDescription(tr("Anything torn or unreadable in the files"));
    overview_ = new QTableWidget(this);
    overview_->setObjectName("classOverview");
    overview_->setAccessibleName(tr("Class overview"));
    overview_->setAccessibleDescription(tr("A row per student and assignment, as the workbook's class sheet"));
    overview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The class sheet's columns.
    const QStringList columns = {tr("student"), tr("initials"), tr("assignment"), tr("lesson"),    tr("responses"),
                                 tr("notes"),   tr("first"),    tr("last"),       tr("unanswered")};
    overview_->setColumnCount(static_cast<int>(columns.size()));
    overview_->setHorizontalHeaderLabels(columns);
    overview_->horizontalHeader()->setStretchLastSection(true);
    overview_->verticalHeader()->setVisible(false);
    workbookPath_ = new QLineEdit(this);
    workbookPath_->setObjectName("workbookPath");
    workbookPath_->setAccessibleName(tr("Workbook"));
    auto* browse = button(tr("&Browse..."), "chooseWorkbook", tr("Where the workbook goes"), this);
    write_ = button(tr("&Write the workbook"), "writeWorkbook", tr("Write the workbook of these files"), this);
    write_->setEnabled(false);
    open_ = button(tr("&Open the workbook"), "openWorkbook", tr("Open it in the spreadsheet program"), this);
    open_->setEnabled(false);

    auto* choose = new QHBoxLayout;
    for (QPushButton* b : {folder, pick, lesson, roster})
        choose->addWidget(b);
    choose->addStretch();
    auto* form = new QFormLayout;
    form->addRow(tr("Files:"), filesLabel_);
    form->addRow(tr("Lesson:"), lessonLabel_);
    form->addRow(tr("Roster:"), rosterLabel_);
    auto* target = new QHBoxLayout;
    auto* workbookLabel = new QLabel(tr("Wor&kbook:"), this);
    workbookLabel->setBuddy(workbookPath_);
    target->addWidget(workbookLabel);
    target->addWidget(workbookPath_, 1);
    target->addWidget(browse);
    target->addWidget(write_);
    target->addWidget(open_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(choose);
    layout->addLayout(form);
    layout->addWidget(summary_);
    layout->addWidget(problem_);
    layout->addWidget(messages_, 1);
    layout->addWidget(overview_, 2);
    layout->addLayout(target);
    layout->addWidget(new WorkProgress(*work_, this));

    connect(folder, &QPushButton::clicked, this, &CollectPage::chooseFolder);
    connect(pick, &QPushButton::clicked, this, &CollectPage::chooseFiles);
    connect(lesson, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("The lesson the files answer"), lesson_,
                                                          tr("Lesson files (*.txt);;All files (*)"));
        if (!path.isEmpty())
            setLesson(path);
    });
    connect(roster, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("The class's roster"), roster_,
                                                          tr("Text files (*.txt);;All files (*)"));
        if (!path.isEmpty())
            setRoster(path);
    });
    connect(browse, &QPushButton::clicked, this, &CollectPage::chooseWorkbook);
    connect(write_, &QPushButton::clicked, this, &CollectPage::writeWorkbook);
    connect(open_, &QPushButton::clicked, this, [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(written_)); });
    connect(work_, &BackgroundWork::busyChanged, this, [this](bool busy) {
        write_->setEnabled(!busy && !files_.isEmpty());
        for (QPushButton* b : findChildren<QPushButton*>())
            if (b->objectName() != "cancel" && b != write_ && b != open_)
                b->setEnabled(!busy);
    });
}

void CollectPage::chooseFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("The folder of the mailed files"));
    if (!folder.isEmpty())
        takeFiles({folder});
}

void CollectPage::chooseFiles()
{
    const QStringList paths = QFileDialog::getOpenFileNames(this, tr("The mailed files"), QString(),
                                                            tr("Record files (*.txt);;All files (*)"));
    if (!paths.isEmpty())
        takeFiles(paths);
}

void CollectPage::chooseWorkbook()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Where the workbook goes"), workbookPath_->text(),
                                                      tr("Excel workbooks (*.xlsx)"));
    if (!path.isEmpty())
        workbookPath_->setText(shownPath(path));
}

void CollectPage::takeFiles(const QStringList& paths)
{
    if (work_->busy())
        return;
    // Each file is named as the system names it (on Windows with
    // backslashes, not the dialog's slashes), as the workbook's file column
    // and the warnings show it.
    QStringList files;
    for (const QString& path : paths) {
        if (QFileInfo(path).isDir())
            files += textsOf(recordFilesIn(utf8Of(QDir::toNativeSeparators(path))));
        else
            files += QDir::toNativeSeparators(path);
    }
    files_ = files;
    open_->setEnabled(false);
    if (files_.isEmpty()) {
        filesLabel_->setText(tr("No files chosen."));
        setProblem(paths.size() == 1
                       ? tr("The folder \"%1\" holds no send file (send_....txt).").arg(shownPath(paths.front()))
                       : tr("No record file was given."));
        write_->setEnabled(false);
        return;
    }
    filesLabel_->setText(
        files_.size() == 1
            ? shownPath(files_.front())
            : tr("%1 files in %2").arg(files_.size()).arg(shownPath(QFileInfo(files_.front()).absolutePath())));
    workbookPath_->setText(shownPath(textOf(defaultWorkbookPath(utf8Of(files_)))));
    summarize();
}

void CollectPage::setLesson(const QString& path)
{
    lesson_ = path;
    lessonLabel_->setText(path.isEmpty() ? tr("(none)") : shownPath(path));
    if (!files_.isEmpty())
        summarize();
}

void CollectPage::setRoster(const QString& path)
{
    roster_ = path;
    rosterLabel_->setText(path.isEmpty() ? tr("(none)") : shownPath(path));
    if (!files_.isEmpty())
        summarize();
}

void CollectPage::setProblem(const QString& text)
{
    problem_->setText(text);
    problem_->setVisible(!text.isEmpty());
}

void CollectPage::showMessages(const std::vector<std::string>& lines)
{
    messages_->clear();
    messages_->addItems(textsOf(lines));
}

void CollectPage::showOverview(const std::vector<OverviewRow>& rows)
{
    overview_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const OverviewRow& row = rows[static_cast<std::size_t>(r)];
        const QStringList cells = {textOf(row.student),
                                   textOf(row.initials),
                                   textOf(row.assignment),
                                   textOf(row.lesson),
                                   QString::number(row.responses),
                                   QString::number(row.notes),
                                   textOf(row.first),
                                   textOf(row.last),
                                   textOf(row.unanswered)};
        for (int c = 0; c < cells.size(); ++c)
            overview_->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    overview_->resizeColumnsToContents();
}

void CollectPage::summarize()
{
    setProblem({});
    summary_->setText(tr("Reading the files..."));
    auto summary = std::make_shared<CollectionSummary>();
    const std::vector<std::string> files = utf8Of(files_);
    const std::string lesson = utf8Of(lesson_), roster = utf8Of(roster_);
    work_->start([=](const KeepGoing& keepGoing) { *summary = summarizeCollection(files, lesson, roster, keepGoing); },
                 [this, summary](bool) {
                     showMessages(summary->messages);
                     if (summary->status == reportStopped) {
                         summary_->setText(tr("Reading stopped."));
                         return;
                     }
                     showOverview(summary->overview);
                     summary_->setText(tr("%1 records of %2 students, %3 assignments.")
                                           .arg(summary->records)
                                           .arg(summary->students)
                                           .arg(summary->assignments));
                     if (summary->status == 2)
                         setProblem(tr("A file could not be read: see below. The workbook would leave it out."));
                 });
}

void CollectPage::writeWorkbook()
{
    if (work_->busy())
        return;
    if (files_.isEmpty()) {
        setProblem(tr("Choose the mailed files first."));
        return;
    }
    const QString path = workbookPath_->text().trimmed();
    if (path.isEmpty()) {
        setProblem(tr("Say where the workbook goes."));
        return;
    }
    setProblem({});
    open_->setEnabled(false);
    summary_->setText(tr("Writing the workbook..."));
    auto written = std::make_shared<WrittenWorkbook>();
    const WorkbookRequest request{utf8Of(QDir::fromNativeSeparators(path)), utf8Of(lesson_), utf8Of(roster_),
                                  utf8Of(files_)};
    work_->start([=](const KeepGoing& keepGoing) { *written = writeCollectionWorkbook(request, keepGoing); },
                 [this, written, path](bool) {
                     showMessages(written->messages);
                     if (written->status == reportStopped) {
                         summary_->setText(tr("Cancelled: no workbook was written."));
                         return;
                     }
                     if (!written->written) {
                         summary_->setText(tr("No workbook was written."));
                         setProblem(tr("The workbook \"%1\" could not be written: see below.").arg(path));
                         return;
                     }
                     showOverview(written->overview);
                     written_ = QDir::fromNativeSeparators(path);
                     summary_->setText(tr("The workbook \"%1\" is written.").arg(path));
                     open_->setEnabled(true);
                     open_->setFocus();
                 });
}

} // namespace qal
