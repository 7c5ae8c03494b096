#pragma once

#include <string>

namespace qal {

enum class Pane { Picture1, Picture2 };

// The student's answer to the question asked before typed text in the answer
// box would be dropped.
enum class TypedAnswerChoice {
    Record,  // record it as Enter Response does, then go on
    Discard, // go on and let it go
    Cancel,  // do nothing (only where it is offered)
};

// Everything the lesson logic needs from the window toolkit, and nothing more.
// Texts are in the program's code page (Windows-1252 bytes) and line breaks
// in them are CR LF, both ways. The Qt window implements this; core tests use
// a fake that scripts replies and records what was shown.
//
// The three modal boxes may end the program: when the program is to end while
// one is open (the session ends, a termination signal comes, the window is
// closed from outside), or has been asked to end before one opens, the box
// closes and throws EndProgram (platform/RunError.h) instead of answering.
// The core lets it unwind out of the running command to
// LessonForm::dispatch, which ends the program there; no other operation
// throws it.
class Toolkit {
public:
    virtual ~Toolkit() = default;

    // Modal input box with the prompt only (application title, no default
    // reply). Returns the typed reply; Cancel gives empty text. May end the
    // program (EndProgram).
    virtual std::string inputBox(const std::string& prompt) = 0;
    // Modal message box with one OK button, no icon, the application title.
    // May end the program (EndProgram).
    virtual void messageBox(const std::string& text) = 0;
    // Modal record-or-discard box about typed text, no icon, the application
    // title: the text, and the buttons Record (the default, which Return
    // chooses) and Discard, and Cancel when offerCancel is true. Without
    // Cancel the box can only be answered with one of the other two. May end
    // the program (EndProgram) without asking.
    virtual TypedAnswerChoice askRecordOrDiscard(const std::string& text, bool offerCancel) = 0;

    // The question box (txt_question) and the answer box (txt_answer), read
    // and replaced as a whole.
    virtual std::string questionBoxText() const = 0;
    virtual void setQuestionBoxText(const std::string& text) = 0;
    virtual std::string answerBoxText() const = 0;
    virtual void setAnswerBoxText(const std::string& text) = 0;

    // The panes' user scale, and a circle outline in those units.
    virtual void setPaneScaleHeight(Pane pane, float units) = 0;
    virtual void setPaneScaleWidth(Pane pane, float units) = 0;
    virtual void drawCircle(Pane pane, float x, float y, float radius) = 0;

    // Puts the pane's picture on the clipboard; a pane with no picture puts
    // nothing. Throws RunError when the clipboard cannot be used.
    virtual void copyPaneToClipboard(Pane pane) = 0;
    // Makes whatever picture the clipboard holds the pane's picture; with no
    // picture on the clipboard the pane is left as it is. Throws RunError when
    // the clipboard cannot be used.
    virtual void pasteClipboardIntoPane(Pane pane) = 0;

    virtual void beep() = 0;
    // Shows the busy (wait) cursor over the program while on, as when a
    // record waits for another run to let go of a file.
    virtual void setWaitCursor(bool on) = 0;
    // Switches the 15 ms pendulum timer (tmr_pend_exp) on or off.
    virtual void setTimerEnabled(bool on) = 0;

    // The core has ended the program (every file closed, no further handler
    // will run): the window goes away for good and the event loop stops.
    virtual void closeForGood() = 0;
};

} // namespace qal
