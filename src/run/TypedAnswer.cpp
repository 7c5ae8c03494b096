// Nothing the student typed into the answer box is dropped without asking:
// before the program replaces it or ends, the student may record it.

#include "run/LessonForm.h"

#include "platform/RunError.h"
#include "run/Toolkit.h"
#include "run/RunState.h"

namespace qal {

namespace {

// Asked where the program goes on after the text is let go: Next Question,
// which puts the default prompt in its place.
const std::string goingOnQuestion = "Your answer has not been recorded yet.\r\n\r\n"
                                    "Record it before going on, or discard it?";

// Asked where the program ends after it: quit program, closing the window,
// and every end that the lesson drives.
const std::string endingQuestion = "Your answer has not been recorded yet, and the program is about to end.\r\n\r\n"
                                   "Record it now, or discard it?";

} // namespace

bool LessonForm::answerTyped() const
{
    return toolkit_.answerBoxText() != answerBoxSet_;
}

void LessonForm::setAnswerBox(const std::string& text)
{
    toolkit_.setAnswerBoxText(text);
    // As the box gives it back (line breaks as it keeps them), so that an
    // untouched box always compares equal.
    answerBoxSet_ = toolkit_.answerBoxText();
}

void LessonForm::recordTypedAnswer()
{
    // Nothing was recorded when the record fails: the refill flag keeps its
    // value, so that the next click asks again rather than going on.
    const bool resetAnswerBox = s_.resetAnswerBox;
    try {
        enterResponse();
    } catch (const RunError& e) {
        s_.resetAnswerBox = resetAnswerBox;
        reportRunTimeError(e);
        throw CommandStopped{};
    }
}

void LessonForm::askBeforeGoingOn(const std::string& question)
{
    if (!answerTyped())
        return;
    switch (toolkit_.askRecordOrDiscard(question, true)) {
    case TypedAnswerChoice::Record:
        recordTypedAnswer();
        return;
    case TypedAnswerChoice::Discard:
        return;
    case TypedAnswerChoice::Cancel:
        throw CommandStopped{};
    }
}

void LessonForm::endByLesson()
{
    // Without Cancel, only Discard lets the text go.
    if (answerTyped() && toolkit_.askRecordOrDiscard(endingQuestion, false) != TypedAnswerChoice::Discard) {
        if (commandStart_) {
            s_.lineCounter = commandStart_->lineCounter;
            s_.resetAnswerBox = commandStart_->resetAnswerBox;
            s_.nextBlock = commandStart_->nextBlock;
            s_.questionText = commandStart_->questionText;
            s_.questionNumber = commandStart_->questionNumber;
            s_.cumulativeText = commandStart_->cumulativeText;
        }
        recordTypedAnswer();
    }
    throwEndProgram();
}

void LessonForm::quitProgram()
{
    askBeforeGoingOn(endingQuestion);
    throwEndProgram();
}

void LessonForm::markCommandStart()
{
    commandStart_ = ReadingPosition{s_.lineCounter,  s_.resetAnswerBox, s_.nextBlock,
                                    s_.questionText, s_.questionNumber, s_.cumulativeText};
}

// Next Question's refill of the default prompt asks first (QuestionReader).
void LessonForm::askBeforeRefill()
{
    askBeforeGoingOn(goingOnQuestion);
}

} // namespace qal
