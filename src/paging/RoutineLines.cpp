#include "run/LessonForm.h"

#include "paging/LessonLineText.h"
#include "paging/LessonReader.h"
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
    // Two passes over the slots after the current one (LessonReader.h says
    // which); each routine line found runs, and moves lineCounter on.
    const NextPictureClick click = nextPictureClick(s_.lessonLines, s_.lineCounter);
    for (int k = 1; k <= click.passCount; ++k) {
        const PicturePass& pass = click.passes[static_cast<std::size_t>(k - 1)];
        if (pass.pastTable)
            throw RunError(err::SubscriptOutOfRange);
        if (pass.routine) {
            runRoutine(routineName(lessonSlot(pass.slot)));
            s_.lineCounter += k;
        }
    }
}

} // namespace qal
