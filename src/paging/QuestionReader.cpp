#include "run/LessonForm.h"

#include "paging/LessonLineText.h"
#include "paging/LessonReader.h"
#include "platform/Numbers.h"
#include "platform/RunError.h"
#include "run/Toolkit.h"
#include "run/RunState.h"

namespace qal {

void LessonForm::readNextQuestion()
{
    try {
        // Refill the answer box only when nothing was recorded for the line
        // shown since the last read. Typed text is asked about first; a
        // record clears the flag and leaves the box as recording leaves it.
        if (s_.resetAnswerBox) {
            askBeforeRefill();
            if (s_.resetAnswerBox)
                setAnswerBox(s_.defaultAnswerPrompt);
        }
        s_.resetAnswerBox = false;

        // Skip empty slots (a slot of blanks is not empty). Running past the
        // last slot fails with 9, which is how a lesson without an end
        // marker ends; lineCounter keeps the value that failed.
        const LessonRead read = readNextLine(s_.lessonLines, s_.lineCounter, s_.nextAssignmentMarker);
        s_.lineCounter = read.slot;
        if (read.end == RunEnd::RanOff)
            throw RunError(err::SubscriptOutOfRange);
        const std::string& line = lessonSlot(read.slot);
        s_.questionText = line;
        if (lowerPrefix(line, questionNumberMarker.size()) == questionNumberMarker)
            s_.questionNumber = numberText(lenientNumber(std::string_view(line).substr(2)));
        s_.cumulativeText = s_.questionLabel + line + s_.cumulativeText;

        if (!startsWithRoutineMarker(line))
            s_.resetAnswerBox = true;
        if (s_.readingMode == 1)
            s_.nextBlock = line;

        // The end tests come after the line has entered the run state, and
        // end before anything of it is shown or recorded.
        if (read.end != RunEnd::None)
            endByLesson();
    } catch (const RunError& e) {
        reportError(e);
    }
}

} // namespace qal
