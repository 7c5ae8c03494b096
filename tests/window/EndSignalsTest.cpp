// Ending the program from outside (SIGTERM, SIGHUP, SIGINT; on Windows the
// end of the session) and the wait cursor, on the real toolkit and window.

#include "ModalAnswerer.h"

#include "platform/Clock.h"
#include "platform/FileTable.h"
#include "platform/Random.h"
#include "platform/RunError.h"
#include "run/LessonForm.h"
#include "window/EndSignals.h"
#include "window/MainWindow.h"
#include "window/QtToolkit.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QPlainTextEdit>
#include <QCursor>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <functional>
#include <memory>
#include <utility>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

class EndSignalsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void waitCursorShowsWhileOnAndNeverPilesUp();
    void endRequestBetweenCommandsClosesTheWindow_data();
    void endRequestBetweenCommandsClosesTheWindow();
    void endRequestDuringADialogClosesItAndEndsTheProgram_data();
    void endRequestDuringADialogClosesItAndEndsTheProgram();
    void terminationSignalsReachTheEventLoop_data();
    void terminationSignalsReachTheEventLoop();
    void sessionEndEndsTheProgramFirst_data();
    void sessionEndEndsTheProgramFirst();

private:
    // The core behind the window: the program ends only through it.
    qal::FileTable files_;
    qal::SystemClock clock_;
    qal::Random random_;
    std::unique_ptr<qal::MainWindow> window_;
    std::unique_ptr<qal::QtToolkit> toolkit_;
    std::unique_ptr<qal::LessonForm> form_;
};

void EndSignalsTest::initTestCase()
{
    QVERIFY(qal::EndSignals::install());
}

void EndSignalsTest::init()
{
    window_ = std::make_unique<qal::MainWindow>();
    toolkit_ = std::make_unique<qal::QtToolkit>(*window_);
    form_ = std::make_unique<qal::LessonForm>(*toolkit_, files_, clock_, random_);
    window_->setEvents(*form_);
}

void EndSignalsTest::cleanup()
{
    form_.reset();
    toolkit_.reset();
    window_.reset();
}

void EndSignalsTest::waitCursorShowsWhileOnAndNeverPilesUp()
{
    QVERIFY(!QGuiApplication::overrideCursor());
    toolkit_->setWaitCursor(true);
    QVERIFY(QGuiApplication::overrideCursor());
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    toolkit_->setWaitCursor(true);
    toolkit_->setWaitCursor(false);
    QVERIFY(!QGuiApplication::overrideCursor());
    toolkit_->setWaitCursor(false);
    QVERIFY(!QGuiApplication::overrideCursor());
}

void EndSignalsTest::endRequestBetweenCommandsClosesTheWindow_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("nothing typed") << QString();
    QTest::newRow("an unrecorded answer") << QStringLiteral("unrecorded");
}

// A typed answer is not asked about: the end comes from outside, and no one
// may be there to answer.
void EndSignalsTest::endRequestBetweenCommandsClosesTheWindow()
{
    QFETCH(QString, typed);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QTest::keyClicks(window_->answerBox(), typed);
    qal::test::ModalAnswerer answerer;
    toolkit_->requestEnd();
    QVERIFY(form_->ended());
    QVERIFY(!window_->isVisible());
    QCOMPARE(answerer.texts, QStringList());
}

void EndSignalsTest::endRequestDuringADialogClosesItAndEndsTheProgram_data()
{
    QTest::addColumn<int>("dialog");
    QTest::newRow("start-up prompt") << 0;
    QTest::newRow("message box") << 1;
    QTest::newRow("record-or-discard box") << 2;
    QTest::newRow("record-or-discard box, no Cancel") << 3;
}

void EndSignalsTest::endRequestDuringADialogClosesItAndEndsTheProgram()
{
    QFETCH(int, dialog);
    bool shown = false;
    QTimer::singleShot(50, this, [&] {
        shown = QApplication::activeModalWidget() != nullptr;
        toolkit_->requestEnd();
    });
    bool ended = false;
    try {
        if (dialog == 0)
            toolkit_->inputBox("Your full name:  ");
        else if (dialog == 1)
            toolkit_->messageBox("Run-time error '61':\r\n\r\nDisk full");
        else
            toolkit_->askRecordOrDiscard("Record it?", dialog == 2);
    } catch (const qal::EndProgram&) {
        ended = true;
    }
    QVERIFY(shown);
    QVERIFY(ended);
    QVERIFY(!QApplication::activeModalWidget());
}

void EndSignalsTest::terminationSignalsReachTheEventLoop_data()
{
    QTest::addColumn<int>("signal");
#ifndef Q_OS_WIN
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
    QTest::newRow("SIGINT") << SIGINT;
#endif
}

void EndSignalsTest::terminationSignalsReachTheEventLoop()
{
#ifdef Q_OS_WIN
    QSKIP("a window program on Windows gets no termination signal; the end of the session comes as a "
          "window message (sessionEndEndsTheProgramFirst)");
#endif
    QFETCH(int, signal);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    qal::EndSignals endSignals([this] { toolkit_->requestEnd(); });
    // The process lives on: the signal only asks the event loop.
    ::raise(signal);
    QVERIFY(!form_->ended());
    QTRY_VERIFY(form_->ended());
}

void EndSignalsTest::sessionEndEndsTheProgramFirst_data()
{
    QTest::addColumn<bool>("inDialog");
    QTest::addColumn<bool>("mayEnd");
    // Between commands the program has ended when the question is answered;
    // a dialog's command finishes only after it, so the answer is "not yet".
    QTest::newRow("between commands") << false << true;
    QTest::newRow("during a start-up prompt") << true << false;
}

// Windows asks whether the session may end (WM_QUERYENDSESSION) before it
// ends it; the question ends the program as closing the window does, and the
// answer is yes only once it has ended.
void EndSignalsTest::sessionEndEndsTheProgramFirst()
{
#ifndef Q_OS_WIN
    QSKIP("the end of a session is a window message on Windows only; elsewhere it is SIGTERM or SIGHUP "
          "(terminationSignalsReachTheEventLoop)");
#else
    QFETCH(bool, inDialog);
    QFETCH(bool, mayEnd);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    qal::EndSignals endSignals([this] { toolkit_->requestEnd(); });
    // The message as the window's native event dispatch hands it to filters.
    auto ask = [this] {
        MSG msg{};
        msg.hwnd = reinterpret_cast<HWND>(window_->winId());
        msg.message = WM_QUERYENDSESSION;
        qintptr result = -1;
        const bool taken =
            QAbstractEventDispatcher::instance()->filterNativeEvent("windows_generic_MSG", &msg, &result);
        return std::make_pair(taken, result);
    };
    std::pair<bool, qintptr> answer{false, -1};
    bool ended = false;
    if (inDialog) {
        QTimer::singleShot(50, this, [&] { answer = ask(); });
        try {
            toolkit_->inputBox("Your full name:  ");
        } catch (const qal::EndProgram&) {
            ended = true;
        }
    } else {
        answer = ask();
        ended = form_->ended();
    }
    QVERIFY(answer.first);
    QCOMPARE(answer.second, mayEnd ? qintptr(TRUE) : qintptr(FALSE));
    QVERIFY(ended);
    QVERIFY(!QApplication::activeModalWidget());
#endif
}

QTEST_MAIN(EndSignalsTest)
#include "EndSignalsTest.moc"
