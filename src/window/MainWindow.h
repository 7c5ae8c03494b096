#pragma once

#include "run/FormEvents.h"
#include "run/Toolkit.h"

#include <QWidget>

class QPlainTextEdit;
class QTimer;

namespace qal {

class PicturePane;

// The lesson window, cmd_pend_exp, titled "Form1": every control of the
// lesson window at its place, each with the control's name as its object
// name. It is passive: a click or a tick of a control in the core's event
// table (eventTable) is handed to the core, and so is closing the window;
// what the lesson shows is set from outside (QtToolkit).
//
// Positions are given in twips, 15 to a device-independent pixel, so the
// window keeps its proportions on high-DPI screens too. No layout manages the
// controls: resizing the window moves none of them.
class MainWindow : public QWidget {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);

    // What the question box and the answer box hold when the window is made.
    static constexpr const char* questionBoxStart = "";
    static constexpr const char* answerBoxStart = " ";

    // Where the events go from now on; events must outlive the window or be
    // replaced first. Until this is called, events run nothing.
    void setEvents(FormEvents& events) { events_ = &events; }

    QPlainTextEdit* questionBox() const { return txt_question; }
    QPlainTextEdit* answerBox() const { return txt_answer; }
    PicturePane* pane(Pane which) const;
    QTimer* pendulumTimer() const { return tmr_pend_exp; }

    // Switches the pendulum timer. Switching on a running timer changes
    // nothing: it keeps its rhythm.
    void setTimerEnabled(bool on);

    // The core has ended the program: the timer stops, the window goes away
    // (without a close event) and the event loop is told to finish with
    // status 0. From then on the window tells the core nothing, so events
    // still queued never reach it.
    void closeForGood();
    bool closedForGood() const { return closedForGood_; }
    // The end of the program's event loop, as closeForGood asks for it.
    static void finishEventLoop();

    // Device-independent pixels for a length in twips.
    static int pixels(int twips);

protected:
    // Closing the window tells the core, which ends the program (asking
    // first about an unrecorded answer); the window stays when it does not.
    void closeEvent(QCloseEvent* event) override;

private:
    // Connects the control of each row of the event table to the core.
    void connectEvents();

    FormEvents* events_ = nullptr;
    bool closedForGood_ = false;

    QPlainTextEdit* txt_question;
    QPlainTextEdit* txt_answer;
    PicturePane* Picture1;
    PicturePane* Picture2;
    QTimer* tmr_pend_exp;
};

} // namespace qal
