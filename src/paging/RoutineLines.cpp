#include "run/LessonForm.h"

#include "paging/LessonLineText.h"
#include "platform/RunError.h"
#include "run/RunState.h"

#include <string_view>

namespace qal {

std::string LessonForm::remSpaces(const std::string& aLine)
{
    return withoutBlanksAndHyphens(aLine);
}

void LessonForm::runRoutine(const std::string& routine)
{
    if (routineEndsRun(lowerCased(routine)))
        endByLesson();
}

void LessonForm::nextPicture()
{
    markCommandStart();
    // Two passes over the slots after the current one. A pass that finds a
    // routine line runs it and moves lineCounter on by the pass number, so
    // after a find in pass 1 pass 2 looks three slots past the start.
    for (int k = 1; k <= 2; ++k) {
        const std::string& line = lessonSlot(s_.lineCounter + k);
        if (startsWithRoutineMarker(line)) {
            runRoutine(routineName(line));
            s_.lineCounter += k;
        }
    }
}

} // namespace qal
