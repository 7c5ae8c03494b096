// The desk's window on the offscreen platform, each task with real files:
// the scenario's record files, a workbook marked by openpyxl, lessons
// written here.
#include "desk/Collection.h"
#include "desk/window/BackgroundWork.h"
#include "desk/window/CheckPage.h"
#include "desk/window/CollectPage.h"
#include "desk/window/DeskWindow.h"
#include "desk/window/FeedbackPage.h"
#include "desk/window/TryPage.h"
#include "fakes/TempDrive.h"
#include "instructor/ReportCommand.h"
#include "instructor/ReportScenario.h"
#include "instructor/SpreadsheetReader.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>
#include <memory>
#include <sstream>

namespace fs = std::filesystem;
using qal::test::readBytes;
using qal::test::writeBytes;

class DeskWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void tasksAreTheFourTabs();
    void findingsListedAndTheirLineShown();
    void checkAgainAfterTheLessonIsFixed();
    void unreadableLessonIsSaidInTheWindow();
    void collectedFilesCountedAndWorkbookWritten();
    void cancelledWorkbookLeavesNothing();
    void folderWithoutSendFilesIsSaid();
    void feedbackPreviewedThenWrittenAsTheCommandWrites();
    void trialRunsWithDriveCOfItsOwn();
    void droppedFilesGoToTheTaskShown();

private:
    template <typename T> T* child(QWidget& in, const char* name)
    {
        T* found = in.findChild<T*>(QString::fromLatin1(name));
        if (found == nullptr)
            qFatal("no control named %s", name);
        return found;
    }
    void click(QWidget& in, const char* name) { QTest::mouseClick(child<QPushButton>(in, name), Qt::LeftButton); }
    QString text(QWidget& in, const char* name) { return child<QLabel>(in, name)->text(); }

    std::unique_ptr<qal::test::TempDrive> drive_;
    std::unique_ptr<qal::DeskWindow> window_;
};

void DeskWindowTest::init()
{
    drive_ = std::make_unique<qal::test::TempDrive>();
    window_ = std::make_unique<qal::DeskWindow>();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void DeskWindowTest::cleanup()
{
    window_.reset();
    drive_.reset();
}

void DeskWindowTest::tasksAreTheFourTabs()
{
    QTabWidget& tabs = window_->tabs();
    const QStringList captions = {"Check a lesson", "Try it", "Collect answers", "Return feedback"};
    QCOMPARE(tabs.count(), captions.size());
    for (int i = 0; i < tabs.count(); ++i) {
        QCOMPARE(tabs.tabText(i), captions[i]);
        QCOMPARE(tabs.widget(i)->accessibleName(), captions[i]);
    }
    QCOMPARE(tabs.currentIndex(), 0);
    // The keyboard alone reaches every task.
    for (int i = 1; i < tabs.count(); ++i) {
        QTest::keyClick(&tabs, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(tabs.currentIndex(), i);
    }
}

// A lesson with no end: the run falls off the table after its question.
static const char brokenLesson[] = "001.  Sums\r\nWhat is 2+2?\r\n\r\nWhat is 3+3?\r\n";
static const char fixedLesson[] = "001.  Sums\r\nWhat is 2+2?\r\n\r\nWhat is 3+3?\r\n\r\n####.#  The end\r\n";

void DeskWindowTest::findingsListedAndTheirLineShown()
{
    const fs::path lesson = drive_->root() / "sums.txt";
    writeBytes(lesson, brokenLesson);
    qal::CheckPage& page = window_->checkPage();
    page.checkLesson(QString::fromStdString(lesson.string()));
    auto* findings = child<QTreeWidget>(page, "findings");
    const qal::LessonReview review = qal::reviewLesson(lesson.string());
    QVERIFY(!review.findings.empty());
    QCOMPARE(findings->topLevelItemCount(), static_cast<int>(review.findings.size()));
    for (int row = 0; row < findings->topLevelItemCount(); ++row) {
        const qal::Finding& finding = review.findings[static_cast<std::size_t>(row)];
        QTreeWidgetItem* item = findings->topLevelItem(row);
        QCOMPARE(item->text(0), QString::number(finding.line));
        QCOMPARE(item->text(1), QString::fromLatin1(qal::findingKind(finding)));
        QCOMPARE(item->text(2), QString::fromStdString(finding.text));
        // Selected with the keyboard, the finding's line is the one marked.
        findings->setFocus();
        findings->setCurrentItem(item);
        const QString view = child<QPlainTextEdit>(page, "lessonView")->toPlainText();
        QVERIFY2(view.contains(QString(">%1  ").arg(finding.line, 6)), qPrintable(view));
        // Ctrl+C copies it as --check prints it.
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(findings, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QString::fromStdString(qal::findingLine(lesson.string(), finding)));
    }
}

void DeskWindowTest::checkAgainAfterTheLessonIsFixed()
{
    const fs::path lesson = drive_->root() / "sums.txt";
    writeBytes(lesson, brokenLesson);
    qal::CheckPage& page = window_->checkPage();
    page.checkLesson(QString::fromStdString(lesson.string()));
    QVERIFY(child<QTreeWidget>(page, "findings")->topLevelItemCount() > 0);
    writeBytes(lesson, fixedLesson);
    click(page, "checkAgain");
    QCOMPARE(child<QTreeWidget>(page, "findings")->topLevelItemCount(), 0);
    QVERIFY2(text(page, "checkSummary").startsWith("Nothing found"), qPrintable(text(page, "checkSummary")));
    // The lesson checked is the one to try.
    QVERIFY(text(window_->tryPage(), "trialLesson").contains("sums.txt"));
    QVERIFY(child<QPushButton>(window_->tryPage(), "startTrial")->isEnabled());
}

void DeskWindowTest::unreadableLessonIsSaidInTheWindow()
{
    qal::CheckPage& page = window_->checkPage();
    page.checkLesson(QString::fromStdString((drive_->root() / "missing.txt").string()));
    QVERIFY2(text(page, "checkSummary").contains("missing.txt"), qPrintable(text(page, "checkSummary")));
    QCOMPARE(child<QTreeWidget>(page, "findings")->topLevelItemCount(), 0);
}

void DeskWindowTest::collectedFilesCountedAndWorkbookWritten()
{
    qal::test::recordScenario();
    qal::CollectPage& page = window_->collectPage();
    page.takeFiles({QString::fromStdString(drive_->drovnel().string())});
    QCOMPARE(page.files().size(), 4);
    QTRY_VERIFY(!page.work().busy());
    const qal::CollectionSummary summary =
        qal::summarizeCollection(qal::recordFilesIn(drive_->drovnel().string()), "", "");
    QCOMPARE(text(page, "collectSummary"), QString("%1 records of 4 students, 3 assignments.").arg(summary.records));
    auto* overview = child<QTableWidget>(page, "classOverview");
    QCOMPARE(overview->rowCount(), static_cast<int>(summary.overview.size()));
    QCOMPARE(overview->item(0, 0)->text(), QString::fromStdString(summary.overview[0].student));
    const QString workbook = child<QLineEdit>(page, "workbookPath")->text();
    QCOMPARE(workbook, QString::fromStdString((drive_->drovnel() / "answers.xlsx").string()));

    click(page, "writeWorkbook");
    QTRY_VERIFY(!page.work().busy());
    QVERIFY2(text(page, "collectSummary").contains("is written"), qPrintable(text(page, "collectSummary")));
    QVERIFY(child<QPushButton>(page, "openWorkbook")->isEnabled());
    // Read back: a row a record under the header, and the class sheet.
    std::size_t records = 0, classRows = 0;
    std::string refusal;
    QVERIFY(qal::readSpreadsheet(
        workbook.toStdString(), [&](const qal::SheetRow& row) { ++(row.sheet == "class" ? classRows : records); },
        refusal));
    QCOMPARE(records, summary.records + 1);
    QCOMPARE(classRows, summary.overview.size() + 1);
}

void DeskWindowTest::cancelledWorkbookLeavesNothing()
{
    qal::test::recordScenario();
    qal::CollectPage& page = window_->collectPage();
    page.takeFiles({QString::fromStdString(drive_->drovnel().string())});
    QTRY_VERIFY(!page.work().busy());
    const fs::path workbook = drive_->drovnel() / "answers.xlsx";
    // Cancel pressed as the work starts: before it reads the first file.
    click(page, "writeWorkbook");
    QVERIFY(page.work().busy());
    click(page, "cancel");
    QTRY_VERIFY(!page.work().busy());
    QCOMPARE(text(page, "collectSummary"), QString("Cancelled: no workbook was written."));
    QVERIFY(!fs::exists(workbook));
    QVERIFY(!fs::exists(workbook.string() + ".part"));
}

void DeskWindowTest::folderWithoutSendFilesIsSaid()
{
    qal::CollectPage& page = window_->collectPage();
    page.takeFiles({QString::fromStdString(drive_->root().string())});
    QVERIFY(child<QLabel>(page, "collectProblem")->isVisibleTo(&page));
    QVERIFY2(text(page, "collectProblem").contains("holds no send file"), qPrintable(text(page, "collectProblem")));
    QVERIFY(!child<QPushButton>(page, "writeWorkbook")->isEnabled());
}

// The scenario's workbook, marked by openpyxl as an instructor marks in a
// spreadsheet program: Bob's records a mark each, one of Renée's a comment,
// and a row whose id names no record.
static bool markWithOpenpyxl(const std::string& from, const std::string& to)
{
    const QString script = QStringLiteral(R"(
import sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1])
sheet = book["records"]
head = [c.value for c in sheet[1]]
student, mark, comment, ident = (head.index(n) + 1 for n in ("student", "mark", "comment", "id"))
renee = False
for row in range(2, sheet.max_row + 1):
    name = sheet.cell(row, student).value
    if name == "Bob Ng":
        sheet.cell(row, mark, 8)
    elif name and name.startswith("Ren") and not renee:
        sheet.cell(row, comment, "Show the steps.")
        renee = True
sheet.cell(sheet.max_row + 1, ident, "q" + "0" * 32)
sheet.cell(sheet.max_row, mark, 1)
book.save(sys.argv[2])
)");
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), script, QString::fromStdString(from), QString::fromStdString(to)});
    return python.waitForFinished(60000) && python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0;
}

void DeskWindowTest::feedbackPreviewedThenWrittenAsTheCommandWrites()
{
#ifdef _WIN32
    QSKIP("openpyxl is the Linux machine's");
#endif
    qal::test::recordScenario();
    const std::vector<std::string> files = qal::recordFilesIn(drive_->drovnel().string());
    const std::string answers = (drive_->root() / "answers.xlsx").string();
    const std::string marked = (drive_->root() / "marked.xlsx").string();
    std::ostringstream err;
    QCOMPARE(qal::writeWorkbookReport({answers, "", "", files}, err, {}), 0);
    QVERIFY(markWithOpenpyxl(answers, marked));

    qal::FeedbackPage& page = window_->feedbackPage();
    page.takeWorkbook(QString::fromStdString(marked));
    QCOMPARE(text(page, "feedbackSummary"),
             QString("2 students get feedback in 2 lessons and pages; 1 row skipped, below."));
    auto* skipped = child<QListWidget>(page, "skippedRows");
    QCOMPARE(skipped->count(), 1);
    QVERIFY2(skipped->item(0)->text().contains("warning"), qPrintable(skipped->item(0)->text()));
    auto* mailing = child<QListWidget>(page, "mailing");
    QCOMPARE(mailing->count(), 2);
    QVERIFY2(mailing->item(0)->text().contains(" to Bob Ng (BN): "), qPrintable(mailing->item(0)->text()));
    const fs::path folder = drive_->root() / "feedback";
    QCOMPARE(child<QLineEdit>(page, "feedbackFolder")->text(), QString::fromStdString(folder.string()));
    QVERIFY(!fs::exists(folder)); // nothing is written before Write

    click(page, "writeFeedback");
    QTRY_VERIFY(!page.work().busy());
    QVERIFY(child<QPushButton>(page, "openFeedbackFolder")->isEnabled());
    // The command's files, byte for byte.
    const fs::path byCommand = drive_->root() / "by-command";
    std::ostringstream out;
    QCOMPARE(qal::reportCommand({"qalesson-report", "--feedback", marked, "--out", byCommand.string()}, out, err), 1);
    std::size_t compared = 0;
    for (const auto& entry : fs::directory_iterator(byCommand)) {
        QCOMPARE(readBytes(folder / entry.path().filename()), readBytes(entry.path()));
        ++compared;
    }
    QCOMPARE(compared, std::size_t{4});
    QCOMPARE(static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator())),
             compared);
}

void DeskWindowTest::trialRunsWithDriveCOfItsOwn()
{
#ifdef _WIN32
    QSKIP("the stand-in program is a POSIX shell script");
#endif
    // A stand-in for qalesson that writes where drive C: is and what it was given.
    const fs::path program = drive_->root() / "stand-in";
    writeBytes(program, "#!/bin/sh\nmkdir -p \"$QALESSON_DRIVE_C/drovnel\"\n"
                        "printf '%s\\n' \"$@\" > \"$QALESSON_DRIVE_C/drovnel/send_1208Ann.txt\"\n");
    fs::permissions(program, fs::perms::owner_all);
    const fs::path lesson = drive_->root() / "sums.txt";
    writeBytes(lesson, fixedLesson);
    qal::TryPage& page = window_->tryPage();
    page.setLessonProgram(QString::fromStdString(program.string()));
    page.setLesson(QString::fromStdString(lesson.string()));
    click(page, "startTrial");
    QTRY_COMPARE(page.process().state(), QProcess::NotRunning);
    auto* files = child<QListWidget>(page, "trialFiles");
    QTRY_COMPARE(files->count(), 1);
    QCOMPARE(files->item(0)->text(), QDir::toNativeSeparators("drovnel/send_1208Ann.txt"));
    const fs::path scratch = page.scratchDrive().toStdString();
    QVERIFY(scratch != drive_->root());
    QCOMPARE(readBytes(scratch / "drovnel" / "send_1208Ann.txt"), "--lesson\n" + lesson.string() + "\n");
    QVERIFY(child<QPushButton>(page, "startTrial")->isEnabled());
    fs::remove_all(scratch);

    // A program that is not there is said, and the page can start again.
    page.setLessonProgram(QString::fromStdString((drive_->root() / "none").string()));
    click(page, "startTrial");
    QTRY_VERIFY(child<QLabel>(page, "trialProblem")->isVisibleTo(&page));
    QVERIFY(text(page, "trialProblem").startsWith("qalesson could not be started"));
    QVERIFY(child<QPushButton>(page, "startTrial")->isEnabled());
    fs::remove_all(page.scratchDrive().toStdString());
}

void DeskWindowTest::droppedFilesGoToTheTaskShown()
{
    const fs::path lesson = drive_->root() / "sums.txt";
    writeBytes(lesson, brokenLesson);
    window_->takeDropped({QString::fromStdString(lesson.string())});
    QVERIFY(child<QTreeWidget>(window_->checkPage(), "findings")->topLevelItemCount() > 0);
    window_->tabs().setCurrentIndex(2);
    window_->takeDropped({QString::fromStdString(lesson.string())});
    QCOMPARE(window_->collectPage().files(), QStringList{QString::fromStdString(lesson.string())});
    QTRY_VERIFY(!window_->collectPage().work().busy());
}

QTEST_MAIN(DeskWindowTest)
#include "DeskWindowTest.moc"
