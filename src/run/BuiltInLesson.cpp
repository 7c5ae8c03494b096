#include "run/LessonForm.h"

#include "run/RunState.h"

namespace qal {

namespace {

// The lesson built into the program: assignment 001, four questions.
// The texts are exact: two blanks after "001." and after the points that end
// sentences inside a line, no final point after "Support your answer".
const std::vector<std::string>& builtInLesson()
{
    static const std::vector<std::string> lines = {
        "001.  Part B",
        "",
        "Give your depth vs. clock time data and explain how you obtained it.  How do your "
        "results differ from your predictions?",
        "",
        "Sketch a graph of depth vs. clock time for the second bottle.  How does this graph "
        "differ from your original?",
        "",
        "If a marble coasts halfway down an incline, starting from rest, then coasts all the way "
        "down the incline (again from rest), will the second time be more than double the "
        "first, less than double the first or exactly double the first?  Support your answer",
        "",
        "Using the marble, incline and your paper ruler test your prediction and report your "
        "data and your conclusions about whether your prediction was supported by your data.",
        "",
    };
    return lines;
}

} // namespace

void LessonForm::loadLessonLines()
{
    const auto& lines = lessonSource_.empty() ? builtInLesson() : lessonSource_;
    for (const auto& line : lines) {
        s_.lineCounter += 1;
        lessonSlot(s_.lineCounter) = line;
    }
}

} // namespace qal
