// The differential test of the lesson checker: every way --check says a
// student's run ends (the line, the reason) is the way the real form's run
// ends when the fake toolkit clicks Next Question and next picture through
// it, and no click the checker names no ending for ends the run.

#include "fakes/CaseTable.h"
#include "fakes/RunEndingPlay.h"
#include "instructor/LessonCheck.h"
#include "paging/LessonLimits.h"

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <utility>

namespace qal::test {

void PrintTo(const RunEnding& e, std::ostream* os)
{
    *os << "{assignment " << e.assignment << ", " << e.nextQuestionClicks << " Next Question"
        << (e.byNextPicture ? " then next picture" : "") << ", line " << e.line << ", " << reasonName(e.reason)
        << ", counter " << e.counter << "}";
}

namespace {

using test::PrintTo;

constexpr int pastTable = static_cast<int>(maxLessonLines) + 1;

RunEnding byNextQuestion(int assignment, int clicks, int line, RunEnd reason)
{
    return {assignment, clicks, false, static_cast<std::size_t>(line), reason, line};
}

RunEnding byNextPicture(int assignment, int clicks, int line, int counter)
{
    return {assignment, clicks, true, static_cast<std::size_t>(line), RunEnd::Routine, counter};
}

// A lesson whose last lines are these, at the end of the table.
std::vector<std::string> atTableEnd(std::vector<std::string> last)
{
    std::vector<std::string> lesson(maxLessonLines - last.size());
    lesson.insert(lesson.end(), last.begin(), last.end());
    return lesson;
}

struct EndingCase {
    const char* name;
    std::vector<std::string> lesson; // line 1 first
    std::vector<RunEnding> endings;  // as the checker finds them
};

const EndingCase endingCases[] = {
    {"EndMarker", {"001.  Pendulum", "question one", "####.# end"}, {byNextQuestion(1, 2, 3, RunEnd::EndMarker)}},
    {"NextAssignmentWithoutPointAndExitOneLineOn",
     {"001.  One", "q", "002 apples", "002.  Two", "q2", "`routine exitprog"},
     {byNextQuestion(1, 2, 3, RunEnd::NextAssignment), byNextPicture(2, 0, 6, 4), byNextPicture(2, 1, 6, 5),
      byNextQuestion(2, 2, 6, RunEnd::Routine)}},
    {"RanOffTheTable", {"001.  One", "q"}, {byNextQuestion(1, 2, pastTable, RunEnd::RanOff)}},
    // The checker reads on behind an unknown routine for its findings; the
    // student's run ends on it.
    {"UnknownRoutine",
     {"001.  One", "`routine bogus", "q", "####.#"},
     {byNextPicture(1, 0, 2, 1), byNextQuestion(1, 1, 2, RunEnd::Routine)}},
    // next picture moves on past a picture routine and looks three slots on;
    // Next Question shows the exit routine it reads after a picture routine.
    {"PictureRoutineThenExit",
     {"001.  One", "q", "`routine graph1", "", "`routine exitprog", "####.#"},
     {byNextPicture(1, 1, 5, 3), byNextQuestion(1, 3, 6, RunEnd::EndMarker)}},
    {"BareMarkerShownButRunByNextPicture",
     {"001.  One", "q", "`routine", "####.#"},
     {byNextPicture(1, 0, 3, 1), byNextPicture(1, 1, 3, 2), byNextQuestion(1, 3, 4, RunEnd::EndMarker)}},
    {"AssignmentsZeroOneAndHundred",
     {"100.  Last", "q", "101 next", "000. Zero", "001. x"},
     {byNextQuestion(0, 1, 5, RunEnd::NextAssignment), byNextQuestion(1, 1, pastTable, RunEnd::RanOff),
      byNextQuestion(100, 2, 3, RunEnd::NextAssignment)}},
    // The second header of an assignment is never opened.
    {"SecondHeader", {"001. a", "####.#", "001. b", "q"}, {byNextQuestion(1, 1, 2, RunEnd::EndMarker)}},
    {"RoutineNameInCapitalsWithHyphen",
     {"001. a", "`ROUTINE Exit-Prog"},
     {byNextPicture(1, 0, 2, 1), byNextQuestion(1, 1, 2, RunEnd::Routine)}},
    {"RoutineRightAfterRoutineShownAsText",
     {"001. a", "`routine graph2", "`routine exitprog", "####.#"},
     {byNextQuestion(1, 2, 4, RunEnd::EndMarker)}},
    // next picture on the last slot fails past the table and the run goes
    // on; Next Question then runs off.
    {"NextPictureAtTheLastSlot", atTableEnd({"001. a", "q"}), {byNextQuestion(1, 2, pastTable, RunEnd::RanOff)}},
    {"ExitRoutineOnTheLastSlot",
     atTableEnd({"001. a", "q", "`routine exitprog"}),
     {byNextPicture(1, 0, static_cast<int>(maxLessonLines), static_cast<int>(maxLessonLines) - 2),
      byNextPicture(1, 1, static_cast<int>(maxLessonLines), static_cast<int>(maxLessonLines) - 1),
      byNextQuestion(1, 2, static_cast<int>(maxLessonLines), RunEnd::Routine)}},
    // A header with no digits is no assignment the checker walks.
    {"NoHeader", {"q", "####.#"}, {}},
};

class RunEndingTest : public ::testing::TestWithParam<EndingCase> {};

TEST_P(RunEndingTest, CheckerSaysHowTheFormEnds)
{
    const EndingCase& c = GetParam();
    const std::vector<RunEnding> endings = lessonRunEndings(c.lesson);
    EXPECT_EQ(endings, c.endings);
    std::set<std::pair<int, int>> pictureEnds; // (assignment, clicks) where next picture ends the run
    for (const RunEnding& ending : endings) {
        EXPECT_EQ(formDisagrees(c.lesson, ending), "") << ::testing::PrintToString(ending);
        if (ending.byNextPicture)
            pictureEnds.insert({ending.assignment, ending.nextQuestionClicks});
    }
    // Before its end, next picture after any click ends nothing the checker
    // does not name.
    for (const RunEnding& ending : endings) {
        if (ending.byNextPicture)
            continue;
        for (int clicks = 0; clicks < ending.nextQuestionClicks; ++clicks) {
            if (pictureEnds.count({ending.assignment, clicks}) != 0)
                continue;
            EXPECT_EQ(formEndsUnannounced(c.lesson, ending.assignment, clicks, true), "")
                << "assignment " << ending.assignment << " after " << clicks << " clicks";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, RunEndingTest, ::testing::ValuesIn(endingCases), caseName);

} // namespace
} // namespace qal::test
