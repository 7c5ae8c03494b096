#include "paging/PagingFixture.h"

#include "fakes/CaseTable.h"
#include "paging/LessonLineText.h"

#include <ostream>

namespace qal::test {
namespace {

using test::PrintTo; // where GoogleTest looks for it

using NextQuestionTest = PagingTest;

const char* const question1 =
    "Give your depth vs. clock time data and explain how you obtained it.  How do your results "
    "differ from your predictions?";
const char* const question2 =
    "Sketch a graph of depth vs. clock time for the second bottle.  How does this graph differ "
    "from your original?";

// The whole run as the student meets it: start-up with the built-in lesson.
TEST_F(NextQuestionTest, BuiltInLessonShowsFourQuestionsThenEnds)
{
    FormOnFakes run; // a start-up of its own, on the built-in lesson
    run.startUp(annLee());
    ASSERT_FALSE(run.form.ended());
    ASSERT_EQ(run.s.lineCounter, 1);
    run.toolkit.questionBox.clear();

    run.form.cmdNextQuestion_Click();
    EXPECT_EQ(run.s.lineCounter, 3);
    EXPECT_EQ(run.toolkit.questionBox, question1);
    EXPECT_EQ(run.s.workingText, question1);
    EXPECT_EQ(run.s.nextBlock, "");
    // No record in between: the second question follows with nothing between.
    run.form.cmdNextQuestion_Click();
    EXPECT_EQ(run.s.lineCounter, 5);
    EXPECT_EQ(run.toolkit.questionBox, std::string(question1) + question2);
    run.form.cmdNextQuestion_Click();
    EXPECT_EQ(run.s.lineCounter, 7);
    run.form.cmdNextQuestion_Click();
    EXPECT_EQ(run.s.lineCounter, 9);
    EXPECT_TRUE(run.toolkit.messages.empty());

    run.form.cmdNextQuestion_Click();
    ASSERT_EQ(run.toolkit.messages.size(), 1u);
    EXPECT_EQ(run.toolkit.messages[0], invalidAssignmentMessage);
    EXPECT_TRUE(run.form.ended());
    // Nothing runs after the end.
    run.form.cmdNextQuestion_Click();
    EXPECT_EQ(run.toolkit.messages.size(), 1u);
    EXPECT_EQ(run.toolkit.endCalls, 1);
}

struct ClickCase {
    const char* name;
    std::vector<std::string> lesson; // from slot 1, the header first
    std::string shown;               // the question box after one click
    int lineCounter;
    bool ends;
};

// Test output names the case instead of dumping its bytes.
class NextQuestionClickTest : public PagingTest, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(NextQuestionClickTest, RunsRoutineLinesOncePerClick)
{
    const ClickCase& c = GetParam();
    setLesson(c.lesson);
    toolkit.questionBox = "Q:";
    form.cmdNextQuestion_Click();
    EXPECT_EQ(form.ended(), c.ends);
    EXPECT_EQ(toolkit.questionBox, c.shown);
    EXPECT_EQ(s.lineCounter, c.lineCounter);
    EXPECT_TRUE(toolkit.messages.empty());
    if (!c.ends) {
        EXPECT_EQ(s.nextBlock, "");
    }
}

// One case a row.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Lessons, NextQuestionClickTest,
    ::testing::Values(
        ClickCase{"OrdinaryLine", {"001.  H", "", "Text"}, "Q:Text", 3, false},
        ClickCase{"RoutineRunThenNextLineShown", {"001.  H", "`routine graph1", "", "Text"}, "Q:Text", 4, false},
        ClickCase{"SecondRoutineShownAsText",
                  {"001.  H", "`routine graph2", "`routine exitprog"}, "Q:`routine exitprog", 3, false},
        ClickCase{"BareMarkerShownAsText", {"001.  H", "`routine", "Text"}, "Q:`routine", 2, false},
        ClickCase{"BareMarkerInCapitals", {"001.  H", "`ROUTINE"}, "Q:`ROUTINE", 2, false},
        ClickCase{"ExitRoutineInCapitalsWithHyphen", {"001.  H", "`ROUTINE EXIT-PROG", "Text"}, "Q:", 2, true},
        ClickCase{"NameWithBlanksAndCapitals", {"001.  H", "`Routine Graph - 3", "Text"}, "Q:Text", 3, false},
        ClickCase{"NineCharactersGiveTheEmptyName", {"001.  H", "`routine ", "Text"}, "Q:", 2, true},
        ClickCase{"UnknownRoutineEnds", {"001.  H", "`routine picture9", "Text"}, "Q:", 2, true},
        ClickCase{"NoSeparatorDropsTheFirstLetter", {"001.  H", "`routinegraph1", "Text"}, "Q:", 2, true}),
    caseName);
// clang-format on

TEST_F(NextQuestionTest, SecondReadAfterARoutinePutsThePromptBack)
{
    // The flag set by the line before the routine line refills the answer
    // box once; the routine line itself leaves the flag false.
    setLesson({"001.  H", "A", "`routine graph1", "B"});
    form.cmdNextQuestion_Click();
    toolkit.answerBox = "typed";
    form.cmdNextQuestion_Click();
    EXPECT_EQ(toolkit.answerBox, prompt);
    EXPECT_EQ(toolkit.questionBox, "AB");
    EXPECT_EQ(s.cumulativeText, " <-<-<-<-  Q/A:   B <-<-<-<-  Q/A:   `routine graph1 <-<-<-<-  Q/A:   A");
}

TEST_F(NextQuestionTest, FailedSecondReadShowsNothingNew)
{
    // The routine line is the last line: the second read runs off the table.
    setLesson({"001.  H"});
    s.lineCounter = 4999;
    s.lessonLines[5000] = "`routine graph1";
    toolkit.questionBox = "Q:";
    form.cmdNextQuestion_Click();
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0], invalidAssignmentMessage);
    EXPECT_TRUE(form.ended());
    EXPECT_EQ(toolkit.questionBox, "Q:");
}

} // namespace
} // namespace qal::test
