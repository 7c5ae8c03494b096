#pragma once

#include "run/Toolkit.h"
#include "window/FormHandlers.h"

#include <QWidget>

class QPlainTextEdit;
class QTimer;

namespace qal {

class PicturePane;

// The lesson window, cmd_pend_exp, titled "Form1": every control of the
// lesson window at its place, each with the control's name as its object
// name. It is passive: a click or a tick runs the matching entry of
// FormHandlers and nothing else, and what the lesson shows is set from
// outside (QtToolkit).
//
// Positions are given in twips, 15 to a device-independent pixel, so the
// window keeps its proportions on high-DPI screens too. No layout manages the
// controls: resizing the window moves none of them.
class MainWindow : public QWidget {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);

    // Replaces what the events run.
    void setHandlers(FormHandlers handlers);

    QPlainTextEdit* questionBox() const { return txt_question; }
    QPlainTextEdit* answerBox() const { return txt_answer; }
    PicturePane* pane(Pane which) const;
    QTimer* pendulumTimer() const { return tmr_pend_exp; }

    // Switches the pendulum timer. Switching on a running timer changes
    // nothing: it keeps its rhythm.
    void setTimerEnabled(bool on);

    // The end of the program: the timer stops, the window goes away and the
    // event loop is told to finish with status 0. Events still queued are
    // never delivered to the handlers.
    void endProgram();
    bool programEnded() const { return ended_; }

    // Device-independent pixels for a length in twips.
    static int pixels(int twips);

protected:
    // Closing the window ends the program at once and asks nothing.
    void closeEvent(QCloseEvent* event) override;

private:
    void run(std::function<void()> FormHandlers::*handler);

    FormHandlers handlers_;
    bool ended_ = false;

    QPlainTextEdit* txt_question;
    QPlainTextEdit* txt_answer;
    PicturePane* Picture1;
    PicturePane* Picture2;
    QTimer* tmr_pend_exp;
};

} // namespace qal
