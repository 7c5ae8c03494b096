#include "paging/PagingFixture.h"

#include "fakes/TempDrive.h"

#include <ostream>

namespace qal::test {
namespace {

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
    TempDrive drive;
    toolkit.replies = {"1", "Ann Lee", "ALX", "1"};
    form.Form_Load();
    ASSERT_FALSE(form.ended());
    ASSERT_EQ(s.lineCounter, 1);
    toolkit.questionBox.clear();

    form.cmdNextQuestion_Click();
    EXPECT_EQ(s.lineCounter, 3);
    EXPECT_EQ(toolkit.questionBox, question1);
    EXPECT_EQ(s.workingText, question1);
    EXPECT_EQ(s.nextBlock, "");
    // No record in between: the second question follows with nothing between.
    form.cmdNextQuestion_Click();
    EXPECT_EQ(s.lineCounter, 5);
    EXPECT_EQ(toolkit.questionBox, std::string(question1) + question2);
    form.cmdNextQuestion_Click();
    EXPECT_EQ(s.lineCounter, 7);
    form.cmdNextQuestion_Click();
    EXPECT_EQ(s.lineCounter, 9);
    EXPECT_TRUE(toolkit.messages.empty());

    form.cmdNextQuestion_Click();
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0], LessonForm::invalidAssignmentMessage);
    EXPECT_TRUE(form.ended());
    // Nothing runs after the end.
    form.cmdNextQuestion_Click();
    EXPECT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.endCalls, 1);
}

struct ClickCase {
    const char* name;
    std::vector<std::string> lesson; // from slot 1, the header first
    std::string shown;               // the question box after one click
    int lineCounter;
    bool ends;
};

// Test output names the case instead of dumping its bytes.
void PrintTo(const ClickCase& c, std::ostream* os)
{
    *os << c.name;
}

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
    [](const auto& info) { return std::string(info.param.name); });
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
    EXPECT_EQ(toolkit.messages[0], LessonForm::invalidAssignmentMessage);
    EXPECT_TRUE(form.ended());
    EXPECT_EQ(toolkit.questionBox, "Q:");
}

} // namespace
} // namespace qal::test
