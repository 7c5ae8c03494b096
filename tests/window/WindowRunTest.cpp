// The window with the real lesson behind it: start-up before the window is
// shown, each button's command, the end of the program. Files go to a
// temporary drive C and the clock is fixed, so records are checked byte for
// byte.

#include "ModalAnswerer.h"

#include "fakes/FakeClock.h"
#include "fakes/ScriptedRandom.h"
#include "fakes/TempDrive.h"
#include "platform/FileTable.h"
#include "run/LessonForm.h"
#include "window/MainWindow.h"
#include "window/PicturePane.h"
#include "window/QtToolkit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

using qal::Pane;
using qal::test::ModalAnswerer;
using qal::test::readBytes;

namespace {

const QString firstQuestion =
    QStringLiteral("Give your depth vs. clock time data and explain how you obtained it.  How do your results "
                   "differ from your predictions?");
const QByteArray opening = "......!!!!!!!!...................................\r\n";
const QByteArray closing = ".................................................\r\n";
const QByteArray blanks36(36, ' ');

// The header block after its first line (the random code line).
QByteArray headerAfterCodeLine(bool master)
{
    return "Student Name:  Ann Lee\r\n"
           "assignment #001\r\n"
           "001.  Part B\r\n"
           "Initials:  ALX\r\n" +
           QByteArray(master ? "Date and Time 12-07-202614:03:09\r\n" : "Date and Time 12-07-2026 14:03:09\r\n");
}

// Splits off the code line: characters 66-116 or 118-255, 19 to 56 of them.
QByteArray withoutCodeLine(const QByteArray& file)
{
    const qsizetype end = file.indexOf("\r\n");
    if (end < 19 || end > 56)
        return "bad code line length " + QByteArray::number(end);
    for (qsizetype i = 0; i < end; ++i) {
        const auto c = static_cast<unsigned char>(file[i]);
        if (!((c >= 66 && c <= 116) || c >= 118))
            return "bad code line character " + QByteArray::number(c);
    }
    return file.mid(end + 2);
}

// A start-up on a window made before it (as the toolkit is given one) or on
// the toolkit's own, made when first needed: what the student met and what
// was written, which must be the same both ways.
struct StartUpRun {
    QStringList texts;                        // the boxes shown, in their order
    bool ended = false;                       // start-up ended the program
    std::map<std::string, std::string> files; // the record folder's files and their bytes
    int windowsDuringStartUp = 0;             // lesson windows there while start-up ran
    // The window shown after start-up: its boxes, its panes' scales, and the
    // question box after Next Question, with the boxes that came meanwhile.
    QString questionBox, answerBox;
    QList<float> scales;
    QString afterNextQuestion;
    int boxesAfterStartUp = 0;

    bool operator==(const StartUpRun&) const = default;
};

int lessonWindows()
{
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += qobject_cast<qal::MainWindow*>(widget) != nullptr;
    return count;
}

} // namespace

class WindowRunTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startUpAsksBeforeTheWindowShows();
    void nextQuestionShowsFirstQuestion();
    void enterResponseAndSaveAsNotesWriteRecords();
    void viewingCommands();
    void failedCommandIsReportedAndWindowGoesOn();
    void pendExpStartsTicksThatDrawCircles();
    void copyPictureButtonTakesClipboardPicture();
    void quitEndsAndQueuedEventsRunNothing();
    void closingWithAnUnrecordedAnswerAsksFirst();
    void wrongAssignmentEndsBeforeWindowShows();
    void ownWindowIsMadeOnceStartUpIsDone_data();
    void ownWindowIsMadeOnceStartUpIsDone();

private:
    // Start-up answered by steps (a reply to type, "OK" for a message box,
    // "END" for a termination request while the box is open; "END BEFORE"
    // first for one before start-up, with no box open), on a window
    // given to the toolkit or on the toolkit's own; in a drive of its own.
    void startUp(const QStringList& steps, bool ownWindow, StartUpRun& run);
    // Runs the load handler answering the four prompts; endsWithMessage: OK
    // a message box after them.
    void load(const QString& assignment, bool endsWithMessage = false);
    QAbstractButton* button(const char* name) const;
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    std::filesystem::path file(const char* name) const { return drive_->drovnel(false) / name; }

    std::unique_ptr<qal::test::TempDrive> drive_;
    std::unique_ptr<qal::FileTable> files_;
    qal::test::FakeClock clock_;
    std::unique_ptr<qal::test::ScriptedRandom> random_;
    std::unique_ptr<qal::MainWindow> window_;
    std::unique_ptr<qal::QtToolkit> toolkit_;
    std::unique_ptr<qal::LessonForm> form_;
    std::unique_ptr<ModalAnswerer> answerer_;
};

void WindowRunTest::initTestCase()
{
    QApplication::setApplicationName(QStringLiteral("qalesson"));
}

void WindowRunTest::init()
{
    drive_ = std::make_unique<qal::test::TempDrive>();
    files_ = std::make_unique<qal::FileTable>();
    random_ = std::make_unique<qal::test::ScriptedRandom>();
    window_ = std::make_unique<qal::MainWindow>();
    toolkit_ = std::make_unique<qal::QtToolkit>(*window_);
    form_ = std::make_unique<qal::LessonForm>(*toolkit_, *files_, clock_, *random_);
    window_->setEvents(*form_);
    answerer_ = std::make_unique<ModalAnswerer>();
}

void WindowRunTest::cleanup()
{
    answerer_.reset();
    form_.reset();
    toolkit_.reset();
    window_.reset();
    random_.reset();
    files_.reset();
    drive_.reset();
    QGuiApplication::clipboard()->clear();
}

void WindowRunTest::load(const QString& assignment, bool endsWithMessage)
{
    for (const QString& reply : {QStringLiteral("1"), QStringLiteral("Ann Lee"), QStringLiteral("ALX"), assignment})
        answerer_->type(reply);
    if (endsWithMessage)
        answerer_->ok();
    form_->Form_Load();
    if (!form_->ended()) {
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
}

QAbstractButton* WindowRunTest::button(const char* name) const
{
    return window_->findChild<QAbstractButton*>(QString::fromLatin1(name));
}

void WindowRunTest::startUpAsksBeforeTheWindowShows()
{
    bool shownDuringStartUp = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] { shownDuringStartUp |= window_->isVisible(); });
    probe.start(1);
    for (const char* reply : {"1", "Ann Lee", "ALX", "1"})
        answerer_->type(QString::fromLatin1(reply));
    form_->Form_Load();
    probe.stop();
    QVERIFY(!shownDuringStartUp);
    QVERIFY(!form_->ended());
    QCOMPARE(answerer_->texts,
             (QStringList{QStringLiteral("Enter 1 for home user, 2 for Quelby LAN user"),
                          QStringLiteral("Your full name:  "),
                          QStringLiteral("Your initials (use all 3 initials and always use the same three "
                                         "initials when submitting work):  "),
                          QStringLiteral("Assignment Number:  ")}));
    // Start-up writes to neither box.
    QCOMPARE(window_->questionBox()->toPlainText(), QString());
    QCOMPARE(window_->answerBox()->toPlainText(), QStringLiteral(" "));
    QCOMPARE(window_->pane(Pane::Picture1)->scaleWidth(), 1000.0f);
    QCOMPARE(window_->pane(Pane::Picture2)->scaleHeight(), 1000.0f);
}

void WindowRunTest::nextQuestionShowsFirstQuestion()
{
    load(QStringLiteral("1"));
    click("cmdNextQuestion");
    QCOMPARE(window_->questionBox()->toPlainText(), firstQuestion);
    QCOMPARE(answerer_->unexpected, 0);
}

void WindowRunTest::enterResponseAndSaveAsNotesWriteRecords()
{
    load(QStringLiteral("1"));
    click("cmdNextQuestion");
    QPlainTextEdit* answer = window_->answerBox();
    answer->selectAll();
    QTest::keyClicks(answer, QStringLiteral("Twelve centimetres"));
    QTest::keyClick(answer, Qt::Key_Return);
    qal::test::typeText(answer, QStringLiteral("in 40 s, façade"));
    click("cmd_enter_response");
    QCOMPARE(window_->questionBox()->toPlainText(), QString());
    QCOMPARE(window_->answerBox()->toPlainText(), QString());

    qal::test::typeText(answer, QStringLiteral("Ask about Ж"));
    click("cmd_save_as_notes");

    const QByteArray question = firstQuestion.toLatin1() + "\r\n";
    const QByteArray response = "Twelve centimetres\r\nin 40 s, fa\xE7"
                                "ade\r\n";
    const QByteArray time = blanks36 + "14:03:09\r\n";
    const QByteArray notes = opening + time + blanks36 + "12-07-202614:03:09\r\n" + question + opening +
                             "NOTES -------> Ask about ?\r\n" + closing;
    const QByteArray master = QByteArray::fromStdString(readBytes(file("masterFile_Ann_Lee.txt")));
    const QByteArray send = QByteArray::fromStdString(readBytes(file("send_1207Ann_Lee.txt")));
    QCOMPARE(withoutCodeLine(master), headerAfterCodeLine(true) + opening + time +
                                          "\r\n\r\n`questionNumber 10000 \r\n" + question + opening +
                                          "RESPONSE -->  \r\n" + response + closing + notes);
    QCOMPARE(withoutCodeLine(send), headerAfterCodeLine(false) + opening + time + question + opening +
                                        "RESPONSE -->  \r\n" + response + closing + notes);
    QCOMPARE(master.left(master.indexOf("\r\n")), send.left(send.indexOf("\r\n"))); // one code line
    QCOMPARE(QByteArray::fromStdString(readBytes(file("notes_Ann_Lee.txt"))), notes);
    QCOMPARE(answerer_->unexpected, 0);
}

void WindowRunTest::viewingCommands()
{
    load(QStringLiteral("1"));
    click("cmdNextQuestion");
    window_->answerBox()->selectAll();
    QTest::keyClicks(window_->answerBox(), QStringLiteral("note"));
    click("cmd_save_as_notes");

    click("cmd_displayCumulativeText");
    QCOMPARE(window_->questionBox()->toPlainText(),
             QStringLiteral(" YOUR ANSWER  ->->->->  NOTES -------> note <-<-<-<-  Q/A:   ") + firstQuestion);

    window_->questionBox()->setPlainText(QStringLiteral("Q"));
    click("cmd_display_note_file");
    // workingText held the note record's text; the notes file's lines follow, joined.
    QVERIFY(window_->questionBox()->toPlainText().startsWith(QStringLiteral("QNOTES -------> note......!!!!!!!!")));
    QVERIFY(window_->questionBox()->toPlainText().endsWith(
        QStringLiteral("NOTES -------> note.................................................")));

    QTest::keyClicks(window_->answerBox(), QStringLiteral("typed"));
    click("cmd_clear_answer_box");
    QCOMPARE(window_->answerBox()->toPlainText(), QString());
    click("cmd_next_picture"); // the built-in lesson has no routine lines after the question
    QCOMPARE(answerer_->unexpected, 0);
}

void WindowRunTest::failedCommandIsReportedAndWindowGoesOn()
{
    load(QStringLiteral("1"));
    window_->questionBox()->setPlainText(QStringLiteral("kept"));
    answerer_->ok();
    click("cmd_display_note_file"); // no notes file yet
    QCOMPARE(answerer_->texts.last(), QStringLiteral("Run-time error '53':\n\nFile not found"));
    QCOMPARE(window_->questionBox()->toPlainText(), QStringLiteral("kept"));
    QVERIFY(!form_->ended());
    QVERIFY(window_->isVisible());
}

void WindowRunTest::pendExpStartsTicksThatDrawCircles()
{
    load(QStringLiteral("1"));
    qal::PicturePane* pane = window_->pane(Pane::Picture1);
    QCOMPARE(pane->circlesShown(), 0);
    click("cmd_pend_exp");
    QTimer* timer = window_->pendulumTimer();
    QVERIFY(timer->isActive());
    const int id = timer->timerId();
    click("cmd_pend_exp");
    QCOMPARE(timer->timerId(), id);
    QTRY_VERIFY(pane->circlesShown() >= 3);
    QVERIFY(random_->draws > 0);
    QCOMPARE(window_->pane(Pane::Picture2)->circlesShown(), 0);
}

void WindowRunTest::copyPictureButtonTakesClipboardPicture()
{
    load(QStringLiteral("1"));
    QImage picture(30, 10, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QGuiApplication::clipboard()->setImage(picture);
    click("cmd_copy_picture");
    QCOMPARE(window_->pane(Pane::Picture2)->picture().convertToFormat(QImage::Format_RGB32), picture);
    QVERIFY(window_->pane(Pane::Picture1)->picture().isNull());
    QCOMPARE(answerer_->unexpected, 0);
}

void WindowRunTest::quitEndsAndQueuedEventsRunNothing()
{
    load(QStringLiteral("1"));
    click("cmd_pend_exp");
    qal::PicturePane* pane = window_->pane(Pane::Picture1);
    QTRY_VERIFY(pane->circlesShown() >= 1);
    // A click that is already queued when the program ends. (Nothing is
    // typed, so quit asks nothing: a dialog's own event loop would run the
    // queued click.)
    QMetaObject::invokeMethod(button("cmdNextQuestion"), &QAbstractButton::click, Qt::QueuedConnection);
    click("cmd_quit");
    QVERIFY(form_->ended());
    QVERIFY(!window_->isVisible());
    const int circles = pane->circlesShown();
    const int draws = random_->draws;
    QTest::qWait(100);
    QCOMPARE(pane->circlesShown(), circles);
    QCOMPARE(random_->draws, draws);
    QCOMPARE(window_->questionBox()->toPlainText(), QString());
    QCOMPARE(answerer_->unexpected, 0);
    QVERIFY(!files_->isOpen(1) && !files_->isOpen(2) && !files_->isOpen(3));
    // The master file holds the header only.
    const QByteArray master = QByteArray::fromStdString(readBytes(file("masterFile_Ann_Lee.txt")));
    QCOMPARE(withoutCodeLine(master), headerAfterCodeLine(true));
}

// Closing the window with an unrecorded answer asks first; Cancel keeps the
// window and the answer, Record records it and closes the window.
void WindowRunTest::closingWithAnUnrecordedAnswerAsksFirst()
{
    load(QStringLiteral("1"));
    click("cmdNextQuestion");
    window_->answerBox()->selectAll();
    QTest::keyClicks(window_->answerBox(), QStringLiteral("Half the period"));
    answerer_->press(QStringLiteral("Cancel"));
    QVERIFY(!window_->close());
    QVERIFY(!form_->ended());
    QVERIFY(window_->isVisible());
    QCOMPARE(window_->answerBox()->toPlainText(), QStringLiteral("Half the period"));
    QCOMPARE(answerer_->buttons.last().size(), 3);

    answerer_->key(Qt::Key_Return);
    QVERIFY(window_->close());
    QVERIFY(form_->ended());
    QVERIFY(!window_->isVisible());
    QCOMPARE(answerer_->texts.size(), 6); // the four prompts and two questions
    QCOMPARE(answerer_->unexpected, 0);
    const QByteArray send = QByteArray::fromStdString(readBytes(file("send_1207Ann_Lee.txt")));
    QCOMPARE(withoutCodeLine(send), headerAfterCodeLine(false) + opening + blanks36 + "14:03:09\r\n" +
                                        firstQuestion.toLatin1() + "\r\n" + opening +
                                        "RESPONSE -->  \r\nHalf the period\r\n" + closing);
}

void WindowRunTest::wrongAssignmentEndsBeforeWindowShows()
{
    load(QStringLiteral("2"), true);
    QVERIFY(form_->ended());
    QVERIFY(!window_->isVisible());
    QCOMPARE(answerer_->texts.size(), 5);
    QVERIFY(
        answerer_->texts.last().startsWith(QStringLiteral("You have probably not entered a valid assignment number.")));
    QVERIFY(answerer_->texts.last().endsWith(QStringLiteral("'subscript out of range' error")));
    QVERIFY(!std::filesystem::exists(file("masterFile_Ann_Lee.txt")));
    QVERIFY(!std::filesystem::exists(file("send_1207Ann_Lee.txt")));
}

void WindowRunTest::startUp(const QStringList& steps, bool ownWindow, StartUpRun& run)
{
    qal::test::TempDrive drive;
    qal::FileTable files;
    qal::test::ScriptedRandom random;
    const int windowsBefore = lessonWindows();
    std::unique_ptr<qal::MainWindow> given = ownWindow ? nullptr : std::make_unique<qal::MainWindow>();
    std::unique_ptr<qal::QtToolkit> toolkit =
        ownWindow ? std::make_unique<qal::QtToolkit>() : std::make_unique<qal::QtToolkit>(*given);
    qal::LessonForm form(*toolkit, files, clock_, random);
    if (given)
        given->setEvents(form);
    else
        toolkit->setEvents(form);

    answerer_.reset(); // this run's own answers only
    ModalAnswerer answerer;
    for (const QString& step : steps) {
        if (step == QLatin1String("END BEFORE"))
            toolkit->requestEnd();
        else if (step == QLatin1String("OK"))
            answerer.ok();
        else if (step == QLatin1String("END"))
            answerer.call([&toolkit] { toolkit->requestEnd(); });
        else
            answerer.type(step);
    }
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        run.windowsDuringStartUp = std::max(run.windowsDuringStartUp, lessonWindows() - windowsBefore);
    });
    probe.start(1);
    form.Form_Load();
    probe.stop();
    run.windowsDuringStartUp = std::max(run.windowsDuringStartUp, lessonWindows() - windowsBefore);
    run.texts = answerer.texts;
    run.ended = form.ended();
    QCOMPARE(answerer.unexpected, 0);

    if (!form.ended()) {
        qal::MainWindow& window = given ? *given : toolkit->window();
        QCOMPARE(lessonWindows() - windowsBefore, 1);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        run.questionBox = window.questionBox()->toPlainText();
        run.answerBox = window.answerBox()->toPlainText();
        for (const Pane pane : {Pane::Picture1, Pane::Picture2})
            run.scales << window.pane(pane)->scaleWidth() << window.pane(pane)->scaleHeight();
        // Nothing was typed: Next Question asks nothing before it refills the
        // answer box, and quit asks nothing either.
        const qsizetype shown = answerer.texts.size();
        QTest::mouseClick(window.findChild<QAbstractButton*>(QStringLiteral("cmdNextQuestion")), Qt::LeftButton);
        run.afterNextQuestion = window.questionBox()->toPlainText();
        QTest::mouseClick(window.findChild<QAbstractButton*>(QStringLiteral("cmd_quit")), Qt::LeftButton);
        QVERIFY(form.ended());
        QVERIFY(!window.isVisible());
        run.boxesAfterStartUp = static_cast<int>(answerer.texts.size() - shown);
    }
    if (std::filesystem::exists(drive.drovnel(false)))
        for (const auto& entry : std::filesystem::directory_iterator(drive.drovnel(false)))
            run.files[entry.path().filename().string()] = readBytes(entry.path());
}

void WindowRunTest::ownWindowIsMadeOnceStartUpIsDone_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("ended");
    QTest::addColumn<QStringList>("fileNames");
    QTest::addColumn<QString>("lastBox"); // how the last box start-up showed begins (none: empty)
    QTest::addColumn<int>("ownWindows");  // the toolkit's own windows made during start-up

    const QStringList header{QStringLiteral("masterFile_Ann_Lee.txt"), QStringLiteral("send_1207Ann_Lee.txt")};
    QTest::newRow("assignment found") << QStringList{"1", "Ann Lee", "ALX", "1"} << false << header
                                      << QStringLiteral("Assignment Number:  ") << 0;
    QTest::newRow("no such assignment") << QStringList{"1", "Ann Lee", "ALX", "2", "OK"} << true << QStringList()
                                        << QStringLiteral("You have probably not entered a valid assignment number.")
                                        << 0;
    QTest::newRow("LAN drive not mapped") << QStringList{"2", "Ann Lee", "ALX", "1", "OK"} << false << QStringList()
                                          << QStringLiteral("You have encountered an error.") << 0;
    QTest::newRow("ended at the second prompt")
        << QStringList{"1", "END"} << true << QStringList() << QStringLiteral("Your full name:  ") << 0;
    QTest::newRow("ended at the error message")
        << QStringList{"2", "Ann Lee", "ALX", "1", "END"} << true << QStringList()
        << QStringLiteral("You have encountered an error.") << 0;
    // The end comes as to a window closed before it was shown: one is made
    // to be closed (and is never shown), and no box is shown.
    QTest::newRow("ended before start-up") << QStringList{"END BEFORE"} << true << QStringList() << QString() << 1;
}

// The toolkit's own window is made only once start-up is done, and shown as
// a window made before start-up would be; a start-up that ends the program
// never makes it. Either way the student meets the same boxes and the same
// window, and the same files are written.
void WindowRunTest::ownWindowIsMadeOnceStartUpIsDone()
{
    QFETCH(QStringList, steps);
    QFETCH(bool, ended);
    QFETCH(QStringList, fileNames);
    QFETCH(QString, lastBox);
    QFETCH(int, ownWindows);

    StartUpRun given;
    startUp(steps, false, given);
    StartUpRun own;
    startUp(steps, true, own);
    if (QTest::currentTestFailed())
        return;

    QCOMPARE(given.windowsDuringStartUp, 1);
    QCOMPARE(own.windowsDuringStartUp, ownWindows);
    own.windowsDuringStartUp = given.windowsDuringStartUp;
    QCOMPARE(own.texts, given.texts);
    QCOMPARE(own.files, given.files);
    QVERIFY(own == given);

    QCOMPARE(own.ended, ended);
    if (lastBox.isEmpty())
        QCOMPARE(own.texts, QStringList());
    else
        QVERIFY(own.texts.last().startsWith(lastBox));
    QStringList names;
    for (const auto& [name, bytes] : own.files)
        names << QString::fromStdString(name);
    QCOMPARE(names, fileNames);
    if (!fileNames.isEmpty())
        QCOMPARE(withoutCodeLine(QByteArray::fromStdString(own.files.at("masterFile_Ann_Lee.txt"))),
                 headerAfterCodeLine(true));
    if (!ended) {
        QCOMPARE(own.questionBox, QString());
        QCOMPARE(own.answerBox, QStringLiteral(" "));
        QCOMPARE(own.scales, (QList<float>{1000, 1000, 1000, 1000}));
        QCOMPARE(own.boxesAfterStartUp, 0);
    }
}

QTEST_MAIN(WindowRunTest)
#include "WindowRunTest.moc"
