#include "desk/window/CheckPage.h"

#include "desk/window/DeskText.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace qal {

CheckPage::CheckPage(QWidget* parent) : QWidget(parent)
{
    auto* open = new QPushButton(tr("&Open a lesson..."), this);
    open->setObjectName("openLesson");
    open->setAccessibleDescription(tr("Choose the lesson file to check"));
    checkAgain_ = new QPushButton(tr("Check &again"), this);
    checkAgain_->setObjectName("checkAgain");
    checkAgain_->setAccessibleDescription(tr("Read the lesson file again, after an edit"));
    checkAgain_->setEnabled(false);
    fileLabel_ = new QLabel(tr("No lesson chosen: open one, or drop its file on the window."), this);
    fileLabel_->setObjectName("lessonFile");
    fileLabel_->setTextFormat(Qt::PlainText);
    summary_ = new QLabel(this);
    summary_->setObjectName("checkSummary");
    summary_->setTextFormat(Qt::PlainText);
    summary_->setWordWrap(true);

    findings_ = new QTreeWidget(this);
    findings_->setObjectName("findings");
    findings_->setAccessibleName(tr("Findings"));
    findings_->setAccessibleDescription(tr("What the check found, a row a finding: its line, its kind and what the "
                                           "student would see"));
    findings_->setHeaderLabels({tr("Line"), tr("Kind"), tr("Finding")});
    findings_->setRootIsDecorated(false);
    findings_->setUniformRowHeights(true);
    findings_->header()->setStretchLastSection(true);
    // Ctrl+C, or Copy from the list's menu, copies the selected finding as
    // qalesson --check prints it ("FILE:LINE: error: ..."), to paste into a
    // mail or beside the lesson in an editor.
    auto* copy = new QAction(tr("&Copy"), findings_);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    findings_->addAction(copy);
    findings_->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(copy, &QAction::triggered, this, &CheckPage::copyFinding);
    view_ = new QPlainTextEdit(this);
    view_->setObjectName("lessonView");
    view_->setAccessibleName(tr("Lesson lines"));
    view_->setAccessibleDescription(tr("The line of the selected finding and the lines around it"));
    view_->setReadOnly(true);
    view_->setLineWrapMode(QPlainTextEdit::NoWrap);
    view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(open);
    buttons->addWidget(checkAgain_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(fileLabel_);
    layout->addWidget(summary_);
    layout->addWidget(findings_, 3);
    layout->addWidget(view_, 2);

    connect(open, &QPushButton::clicked, this, &CheckPage::chooseLesson);
    connect(checkAgain_, &QPushButton::clicked, this, [this] { checkLesson(path_); });
    connect(findings_, &QTreeWidget::currentItemChanged, this, &CheckPage::showFinding);
}

void CheckPage::chooseLesson()
{
    const QString path =
        QFileDialog::getOpenFileName(this, tr("Open a lesson"), path_, tr("Lesson files (*.txt);;All files (*)"));
    if (!path.isEmpty())
        checkLesson(path);
}

void CheckPage::checkLesson(const QString& path)
{
    const bool same = path == path_;
    path_ = path;
    // The findings name the file as the system does (on Windows with
    // backslashes), as the label above them shows it.
    review_ = reviewLesson(utf8Of(QDir::toNativeSeparators(path)));
    fileLabel_->setText(tr("Lesson: %1").arg(shownPath(path)));
    checkAgain_->setEnabled(true);
    const int before = same ? findings_->indexOfTopLevelItem(findings_->currentItem()) : -1;
    findings_->clear();
    view_->clear();
    if (!review_.checked()) {
        summary_->setText(textOf(review_.problem));
        return;
    }
    const std::size_t n = review_.findings.size();
    summary_->setText(n == 0   ? tr("Nothing found: the program reads this lesson as it stands.")
                      : n == 1 ? tr("1 finding: select it to see its line.")
                               : tr("%1 findings: select one to see its line.").arg(n));
    for (const Finding& finding : review_.findings) {
        auto* item = new QTreeWidgetItem(findings_, {QString::number(finding.line),
                                                     QString::fromLatin1(findingKind(finding)), textOf(finding.text)});
        item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
    }
    findings_->resizeColumnToContents(0);
    findings_->resizeColumnToContents(1);
    if (findings_->topLevelItemCount() > 0) {
        findings_->setCurrentItem(findings_->topLevelItem(std::clamp(before, 0, findings_->topLevelItemCount() - 1)));
        // The keyboard goes to the findings, to walk them with the arrows
        // (and a screen reader reads the one selected).
        findings_->setFocus(Qt::OtherFocusReason);
    } else
        view_->setPlainText(textOf(excerptAround(review_.lines, 1)));
    emit lessonChosen(path);
}

const Finding* CheckPage::selectedFinding() const
{
    const int row = findings_->indexOfTopLevelItem(findings_->currentItem());
    return row >= 0 && static_cast<std::size_t>(row) < review_.findings.size()
               ? &review_.findings[static_cast<std::size_t>(row)]
               : nullptr;
}

void CheckPage::copyFinding()
{
    if (const Finding* finding = selectedFinding())
        QGuiApplication::clipboard()->setText(textOf(findingLine(review_.path, *finding)));
}

void CheckPage::showFinding()
{
    if (const Finding* finding = selectedFinding())
        view_->setPlainText(textOf(excerptAround(review_.lines, finding->line)));
}

} // namespace qal
