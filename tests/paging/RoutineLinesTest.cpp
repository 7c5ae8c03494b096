#include "paging/PagingFixture.h"
#include "fakes/CaseTable.h"

#include "platform/RunError.h"

#include <ostream>

namespace qal::test {
namespace {

using test::PrintTo; // where GoogleTest looks for it

using RoutineLinesTest = PagingTest;

struct RemSpacesCase {
    const char* name;
    std::string in;
    std::string out;
};

// Test output names the case instead of dumping its bytes.
class RemSpacesTest : public PagingTest, public ::testing::WithParamInterface<RemSpacesCase> {};

TEST_P(RemSpacesTest, DropsBlanksAndHyphensOnly)
{
    EXPECT_EQ(form.remSpaces(GetParam().in), GetParam().out);
}

// One case a row.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Texts, RemSpacesTest,
    ::testing::Values(
        RemSpacesCase{"Empty", "", ""},
        RemSpacesCase{"OnlyBlanksAndHyphens", " - -- ", ""},
        RemSpacesCase{"HyphenatedName", "EXIT-PROG", "EXITPROG"},
        RemSpacesCase{"BlanksInside", " Graph - 1 ", "Graph1"},
        RemSpacesCase{"TabsUnderscoresAndCaseKept", "a\tB_c", "a\tB_c"},
        RemSpacesCase{"OtherDashesKept", "a\x96" "b\x97" "c", "a\x96" "b\x97" "c"}),
    caseName);
// clang-format on

struct RoutineCase {
    const char* name;
    std::string routine;
    bool ends;
};

// Test output names the case instead of dumping its bytes.
class RunRoutineTest : public PagingTest, public ::testing::WithParamInterface<RoutineCase> {};

TEST_P(RunRoutineTest, EndsForExitAndForNamesOutsideTheTable)
{
    if (GetParam().ends)
        EXPECT_THROW(form.runRoutine(GetParam().routine), EndProgram);
    else
        EXPECT_NO_THROW(form.runRoutine(GetParam().routine));
}

// One case a row.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Names, RunRoutineTest,
    ::testing::Values(
        RoutineCase{"Exit", "exitprog", true},
        RoutineCase{"ExitLowerCasedAgain", "EXITPROG", true},
        RoutineCase{"Graph1", "graph1", false},
        RoutineCase{"Graph2", "graph2", false},
        RoutineCase{"Graph3InCapitals", "GRAPH3", false},
        RoutineCase{"Graph4", "graph4", true},
        RoutineCase{"GraphWithBlankIsNotCleanedHere", "graph 1", true},
        RoutineCase{"EmptyName", "", true}),
    caseName);
// clang-format on

struct PictureCase {
    const char* name;
    std::string slot11, slot12, slot13;
    int lineCounter; // after the click, starting from 10
    bool ends;
};

// Test output names the case instead of dumping its bytes.
class NextPictureTest : public PagingTest, public ::testing::WithParamInterface<PictureCase> {};

TEST_P(NextPictureTest, RunsRoutineLinesInTheTwoSlotsAhead)
{
    const PictureCase& c = GetParam();
    s.lessonLines[11] = c.slot11;
    s.lessonLines[12] = c.slot12;
    s.lessonLines[13] = c.slot13;
    s.lineCounter = 10;
    toolkit.questionBox = "question";
    toolkit.answerBox = "answer";
    form.cmd_next_picture_Click();
    EXPECT_EQ(form.ended(), c.ends);
    if (!c.ends) {
        EXPECT_EQ(s.lineCounter, c.lineCounter);
    }
    // It shows nothing and leaves the boxes alone.
    EXPECT_TRUE(toolkit.messages.empty());
    EXPECT_EQ(toolkit.questionBox, "question");
    EXPECT_EQ(toolkit.answerBox, "answer");
    EXPECT_EQ(s.cumulativeText, "");
}

// One case a row.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Slots, NextPictureTest,
    ::testing::Values(
        PictureCase{"NoRoutineLines", "Text", "", "More", 10, false},
        PictureCase{"RoutineRightAfter", "`routine graph1", "Text", "", 11, false},
        PictureCase{"AfterAFindSlotTwoAheadIsSkipped", "`routine graph2", "`routine exitprog", "", 11, false},
        PictureCase{"AfterAFindPassTwoLooksThreeAhead", "`routine graph2", "`routine graph2",
                    "`routine graph3", 13, false},
        PictureCase{"OnlyTwoAhead", "Text", "`routine graph1", "", 12, false},
        PictureCase{"CapitalsHyphensAndBlanks", "`ROUTINE Graph - 1", "", "", 11, false},
        PictureCase{"NoSeparator", "`routineexitprog", "", "", 0, true},
        PictureCase{"UnknownName", "Text", "`routine nosuch", "", 0, true},
        PictureCase{"BareMarkerIsRunHere", "`routine", "", "", 0, true},
        PictureCase{"ExitInCapitals", "`Routine EXIT-PROG", "", "", 0, true}),
    caseName);
// clang-format on

TEST_F(RoutineLinesTest, NextPictureOnTheBuiltInLessonChangesNothing)
{
    setLesson({"001.  Part B", "", "Give your depth vs. clock time data", "", "Sketch a graph"});
    form.cmd_next_picture_Click();
    EXPECT_EQ(s.lineCounter, 1);
    s.lineCounter = 3;
    form.cmd_next_picture_Click();
    EXPECT_EQ(s.lineCounter, 3);
    EXPECT_FALSE(form.ended());
}

struct BoundCase {
    const char* name;
    int start;
    std::string slot5000;
    int lineCounter; // after the failure
};

// Test output names the case instead of dumping its bytes.
class NextPictureBoundTest : public PagingTest, public ::testing::WithParamInterface<BoundCase> {};

// The failure goes to the general handling of a failed command, and the
// program goes on; a routine run before it stays run.
TEST_P(NextPictureBoundTest, FailsPastTheLastSlot)
{
    s.lineCounter = GetParam().start;
    s.lessonLines[5000] = GetParam().slot5000;
    form.cmd_next_picture_Click();
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0], runtimeError(9, "Subscript out of range"));
    EXPECT_FALSE(form.ended());
    EXPECT_EQ(s.lineCounter, GetParam().lineCounter);
}

// One case a row.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Counters, NextPictureBoundTest,
    ::testing::Values(
        BoundCase{"At4999PassOneStillReadsSlot5000", 4999, "Text", 4999},
        BoundCase{"At4999RoutineInSlot5000IsRunFirst", 4999, "`routine graph1", 5000},
        BoundCase{"At5000", 5000, "`routine graph1", 5000}),
    caseName);
// clang-format on

TEST_F(RoutineLinesTest, At4999AnExitRoutineInSlot5000EndsBeforeTheFailure)
{
    s.lineCounter = 4999;
    s.lessonLines[5000] = "`routine exitprog";
    form.cmd_next_picture_Click();
    EXPECT_TRUE(form.ended());
    EXPECT_TRUE(toolkit.messages.empty());
}

} // namespace
} // namespace qal::test
