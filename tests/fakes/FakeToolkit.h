#pragma once

#include "run/Toolkit.h"

#include <deque>
#include <string>
#include <vector>

namespace qal::test {

// A toolkit that answers input boxes from a script and records everything the
// core showed, so tests can assert on the exact texts.
class FakeToolkit : public Toolkit {
public:
    std::deque<std::string> replies;   // answers to the next input boxes, in order
    std::vector<std::string> prompts;  // every input box prompt shown
    std::vector<std::string> messages; // every message box text shown
    // Answers to the next record-or-discard boxes, in order; once
    // they run out, Discard, as the program did before it asked.
    std::deque<TypedAnswerChoice> choices;
    struct Question {
        std::string text;
        bool offerCancel;
        bool operator==(const Question&) const = default;
    };
    std::vector<Question> questions;     // every record-or-discard box shown
    std::string questionBox;             // txt_question
    std::string answerBox = " ";         // txt_answer starts with one blank
    std::vector<std::string> scaleCalls; // e.g. "Picture1 height 1000"
    struct Circle {
        Pane pane;
        float x, y, r;
    };
    std::vector<Circle> circles;
    int beeps = 0;
    std::vector<bool> waitCursor; // every setWaitCursor call, in order
    bool timerOn = false;
    int endCalls = 0;
    int copyCalls = 0;
    int pasteCalls = 0;
    int clipboardError = 0; // non-zero: clipboard operations fail with it
    // When n > 0, the n-th modal box from now (input, message or
    // record-or-discard box) is shown, then closed by the end of the program:
    // it throws EndProgram instead of answering, as the window's boxes do
    // when the session ends while they are open.
    int boxesUntilEnd = 0;

    std::string inputBox(const std::string& prompt) override;
    void messageBox(const std::string& text) override;
    TypedAnswerChoice askRecordOrDiscard(const std::string& text, bool offerCancel) override;
    std::string questionBoxText() const override { return questionBox; }
    void setQuestionBoxText(const std::string& text) override { questionBox = text; }
    std::string answerBoxText() const override { return answerBox; }
    void setAnswerBoxText(const std::string& text) override { answerBox = text; }
    void setPaneScaleHeight(Pane pane, float units) override;
    void setPaneScaleWidth(Pane pane, float units) override;
    void drawCircle(Pane pane, float x, float y, float radius) override { circles.push_back({pane, x, y, radius}); }
    void copyPaneToClipboard(Pane pane) override;
    void pasteClipboardIntoPane(Pane pane) override;
    void beep() override { ++beeps; }
    void setWaitCursor(bool on) override { waitCursor.push_back(on); }
    void setTimerEnabled(bool on) override { timerOn = on; }
    void closeForGood() override { ++endCalls; }

private:
    // Counts a box shown and throws EndProgram when it is the one to end.
    void boxShown();
};

} // namespace qal::test
