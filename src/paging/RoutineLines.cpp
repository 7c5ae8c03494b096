#include "run/LessonForm.h"

#include "paging/LessonLineText.h"
#include "platform/RunError.h"

#include <string_view>

namespace qal {

std::string LessonForm::remSpaces(const std::string& aLine)
{
    std::string kept;
    kept.reserve(aLine.size());
    for (char c : aLine)
        if (c != ' ' && c != '-')
            kept += c;
    return kept;
}

void LessonForm::runRoutine(const std::string& routine)
{
    const std::string name = lowerCased(routine);
    if (name == "exitprog")
        throwEndProgram();
    // The picture routines have no effect of their own.
    if (name == "graph1" || name == "graph2" || name == "graph3")
        return;
    // A name outside the table, the empty name included, ends the program.
    throwEndProgram();
}

void LessonForm::nextPicture()
{
    // Two passes over the slots after the current one. A pass that finds a
    // routine line runs it and moves lineCounter on by the pass number, so
    // after a find in pass 1 pass 2 looks three slots past the start.
    for (int k = 1; k <= 2; ++k) {
        const std::string& line = lessonSlot(s_.lineCounter + k);
        if (startsWithRoutineMarker(line)) {
            runRoutine(lowerCased(remSpaces(routineNamePart(line))));
            s_.lineCounter += k;
        }
    }
}

} // namespace qal
