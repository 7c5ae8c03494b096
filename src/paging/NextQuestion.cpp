#include "run/LessonForm.h"

#include "paging/LessonLineText.h"
#include "paging/LessonReader.h"
#include "platform/RunError.h"
#include "run/Toolkit.h"
#include "run/RunState.h"

namespace qal {

void LessonForm::nextQuestion()
{
    markCommandStart();
    try {
        // What the click reads, as LessonReader.h tells it: a routine line is
        // run instead of shown, and the line after it is read in its place.
        // The reader hands Next Question its line in reading mode 1, the one
        // start-up sets.
        const NextQuestionClick click = nextQuestionClick(s_.lessonLines, s_.lineCounter, s_.nextAssignmentMarker);
        readNextQuestion();
        if (click.runsRoutine && s_.readingMode == 1) {
            runRoutine(routineName(lessonSlot(click.first.slot)));
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
