#include "desk/window/FeedbackPage.h"

#include "desk/window/BackgroundWork.h"
#include "desk/window/DeskText.h"
#include "desk/window/WorkProgress.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <memory>

namespace qal {

FeedbackPage::FeedbackPage(QWidget* parent) : QWidget(parent), work_(new BackgroundWork(this))
{
    auto* choose = new QPushButton(tr("Choose the &marked workbook..."), this);
    choose->setObjectName("chooseMarked");
    choose->setAccessibleDescription(tr("The workbook with marks and comments, .xlsx or .ods"));
    workbookLabel_ = new QLabel(tr("No workbook chosen: choose one, or drop it on the window."), this);
    workbookLabel_->setObjectName("markedWorkbook");
    workbookLabel_->setTextFormat(Qt::PlainText);
    summary_ = new QLabel(this);
    summary_->setObjectName("feedbackSummary");
    summary_->setTextFormat(Qt::PlainText);
    summary_->setWordWrap(true);
    problem_ = new QLabel(this);
    problem_->setObjectName("feedbackProblem");
    problem_->setTextFormat(Qt::PlainText);
    problem_->setWordWrap(true);
    problem_->setVisible(false);
    auto* skippedLabel = new QLabel(tr("&Skipped rows:"), this);
    skipped_ = new QListWidget(this);
    skipped_->setObjectName("skippedRows");
    skipped_->setAccessibleName(tr("Skipped rows"));
    skipped_->setAccessibleDescription(tr("Each row left out and why"));
    skippedLabel->setBuddy(skipped_);
    auto* mailingLabel = new QLabel(tr("What to mail to w&hom:"), this);
    mailing_ = new QListWidget(this);
    mailing_->setObjectName("mailing");
    mailing_->setAccessibleName(tr("What to mail to whom"));
    mailing_->setAccessibleDescription(tr("A line a student: the files to mail them"));
    mailingLabel->setBuddy(mailing_);
    folder_ = new QLineEdit(this);
    folder_->setObjectName("feedbackFolder");
    folder_->setAccessibleName(tr("Folder"));
    auto* folderLabel = new QLabel(tr("&Folder:"), this);
    folderLabel->setBuddy(folder_);
    auto* browse = new QPushButton(tr("&Browse..."), this);
    browse->setObjectName("chooseFeedbackFolder");
    browse->setAccessibleDescription(tr("Where the feedback files go"));
    write_ = new QPushButton(tr("&Write the feedback"), this);
    write_->setObjectName("writeFeedback");
    write_->setAccessibleDescription(tr("Write each student's lesson and page"));
    write_->setEnabled(false);
    open_ = new QPushButton(tr("&Open the folder"), this);
    open_->setObjectName("openFeedbackFolder");
    open_->setAccessibleDescription(tr("Open the folder the feedback went to"));
    open_->setEnabled(false);

    auto* top = new QHBoxLayout;
    top->addWidget(choose);
    top->addStretch();
    auto* target = new QHBoxLayout;
    target->addWidget(folderLabel);
    target->addWidget(folder_, 1);
    target->addWidget(browse);
    target->addWidget(write_);
    target->addWidget(open_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(workbookLabel_);
    layout->addWidget(summary_);
    layout->addWidget(problem_);
    layout->addWidget(skippedLabel);
    layout->addWidget(skipped_, 1);
    layout->addWidget(mailingLabel);
    layout->addWidget(mailing_, 2);
    layout->addLayout(target);
    layout->addWidget(new WorkProgress(*work_, this));

    connect(choose, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("The marked workbook"), QString(),
                                                          tr("Workbooks (*.xlsx *.ods);;All files (*)"));
        if (!path.isEmpty())
            takeWorkbook(path);
    });
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(this, tr("Where the feedback goes"), folder_->text());
        if (!folder.isEmpty())
            folder_->setText(shownPath(folder));
    });
    connect(write_, &QPushButton::clicked, this, &FeedbackPage::writeFeedback);
    connect(open_, &QPushButton::clicked, this, [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(written_)); });
    connect(work_, &BackgroundWork::busyChanged, this, [this, choose, browse](bool busy) {
        choose->setEnabled(!busy);
        browse->setEnabled(!busy);
        write_->setEnabled(!busy && !preview_.sets.empty());
    });
}

void FeedbackPage::setProblem(const QString& text)
{
    problem_->setText(text);
    problem_->setVisible(!text.isEmpty());
}

void FeedbackPage::takeWorkbook(const QString& path)
{
    if (work_->busy())
        return;
    preview_ = previewFeedback(utf8Of(path));
    workbookLabel_->setText(tr("Workbook: %1").arg(shownPath(path)));
    folder_->setText(shownPath(textOf(defaultFeedbackFolder(preview_.marked))));
    skipped_->clear();
    skipped_->addItems(textsOf(preview_.messages));
    mailing_->clear();
    mailing_->addItems(textsOf(mailingLines(preview_)));
    open_->setEnabled(false);
    write_->setEnabled(!preview_.sets.empty());
    if (preview_.status == 2) {
        summary_->clear();
        setProblem(tr("This workbook cannot be used: see below."));
        return;
    }
    setProblem({});
    const std::size_t students = feedbackStudents(preview_), sets = preview_.sets.size(),
                      skipped = skippedRows(preview_);
    summary_->setText(tr("%1 get feedback in %2; %3.")
                          .arg(students == 1 ? tr("1 student") : tr("%1 students").arg(students))
                          .arg(sets == 1 ? tr("1 lesson and page") : tr("%1 lessons and pages").arg(sets))
                          .arg(skipped == 0   ? tr("no row skipped")
                               : skipped == 1 ? tr("1 row skipped, below")
                                              : tr("%1 rows skipped, below").arg(skipped)));
    if (preview_.sets.empty())
        setProblem(tr("No row has a mark or a comment: there is no feedback to write."));
}

void FeedbackPage::writeFeedback()
{
    if (work_->busy() || preview_.sets.empty())
        return;
    const QString folder = QDir::fromNativeSeparators(folder_->text().trimmed());
    if (folder.isEmpty()) {
        setProblem(tr("Say which folder the feedback goes to."));
        return;
    }
    setProblem({});
    open_->setEnabled(false);
    auto returned = std::make_shared<ReturnedFeedback>();
    const FeedbackPreview preview = preview_;
    const std::string target = utf8Of(folder);
    work_->start([=](const KeepGoing& keepGoing) { *returned = returnFeedback(preview, target, keepGoing); },
                 [this, returned](bool) {
                     skipped_->clear();
                     skipped_->addItems(textsOf(preview_.messages));
                     skipped_->addItems(textsOf(returned->messages));
                     if (returned->status == reportStopped) {
                         summary_->setText(
                             tr("Cancelled: %1 files were written whole, none half.").arg(returned->written.size()));
                         return;
                     }
                     if (returned->status == 2) {
                         setProblem(tr("Not all the feedback could be written: see above."));
                         return;
                     }
                     written_ = textOf(returned->folder);
                     summary_->setText(
                         tr("%1 files written into %2.").arg(returned->written.size()).arg(shownPath(written_)));
                     open_->setEnabled(true);
                     open_->setFocus();
                 });
}

} // namespace qal
