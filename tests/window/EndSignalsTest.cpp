// Ending the program from outside (SIGTERM, SIGHUP, SIGINT) and the wait
// cursor, on the real toolkit and window.

#include "ModalAnswerer.h"

#include "platform/Clock.h"
#include "platform/FileTable.h"
#include "platform/Random.h"
#include "platform/RunError.h"
#include "run/LessonForm.h"
#include "window/EndSignals.h"
#include "window/MainWindow.h"
#include "window/QtToolkit.h"

#include <QApplication>
#include <QCursor>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <functional>
#include <memory>

class EndSignalsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void waitCursorShowsWhileOnAndNeverPilesUp();
    void endRequestBetweenCommandsClosesTheWindow();
    void endRequestDuringADialogClosesItAndEndsTheProgram_data();
    void endRequestDuringADialogClosesItAndEndsTheProgram();
    void terminationSignalsReachTheEventLoop_data();
    void terminationSignalsReachTheEventLoop();

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

void EndSignalsTest::endRequestBetweenCommandsClosesTheWindow()
{
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    toolkit_->requestEnd();
    QVERIFY(form_->ended());
    QVERIFY(!window_->isVisible());
}

void EndSignalsTest::endRequestDuringADialogClosesItAndEndsTheProgram_data()
{
    QTest::addColumn<bool>("inputBox");
    QTest::newRow("start-up prompt") << true;
    QTest::newRow("message box") << false;
}

void EndSignalsTest::endRequestDuringADialogClosesItAndEndsTheProgram()
{
    QFETCH(bool, inputBox);
    bool shown = false;
    QTimer::singleShot(50, this, [&] {
        shown = QApplication::activeModalWidget() != nullptr;
        toolkit_->requestEnd();
    });
    bool ended = false;
    try {
        if (inputBox)
            toolkit_->inputBox("Your full name:  ");
        else
            toolkit_->messageBox("Run-time error '61':\r\n\r\nDisk full");
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
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
    QTest::newRow("SIGINT") << SIGINT;
}

void EndSignalsTest::terminationSignalsReachTheEventLoop()
{
    QFETCH(int, signal);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    qal::EndSignals endSignals([this] { toolkit_->requestEnd(); });
    // The process lives on: the signal only asks the event loop.
    ::raise(signal);
    QVERIFY(!form_->ended());
    QTRY_VERIFY(form_->ended());
}

QTEST_MAIN(EndSignalsTest)
#include "EndSignalsTest.moc"
