#include "run/LessonForm.h"

#include "paging/LessonLineText.h"
#include "platform/RunError.h"
#include "run/Toolkit.h"
#include "run/RunState.h"

namespace qal {

void LessonForm::nextQuestion()
{
    markCommandStart();
    try {
        readNextQuestion();

        // A routine line is run instead of shown, and the line after it is
        // read in its place. Only one such check per click: a routine line
        // that the second read hands out is shown as text. The bare marker
        // (eight characters) is shown as text too.
        if (runByNextQuestion(s_.nextBlock)) {
            runRoutine(routineName(s_.nextBlock));
            s_.nextBlock.clear();
            readNextQuestion();
        }

        // The question box accumulates the blocks shown since it was last
        // emptied, with nothing between them.
        s_.workingText = toolkit_.questionBoxText();
        s_.workingText += s_.nextBlock;
        s_.nextBlock.clear();
        toolkit_.setQuestionBoxText(s_.workingText);
    } catch (const RunError& e) {
        reportError(e);
    }
}

} // namespace qal
