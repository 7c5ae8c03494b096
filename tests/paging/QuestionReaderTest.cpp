#include "paging/PagingFixture.h"
#include "fakes/CaseTable.h"
#include "paging/LessonLineText.h"

#include "platform/RunError.h"

#include <ostream>

namespace qal::test {
namespace {

using test::PrintTo; // where GoogleTest looks for it

using QuestionReaderTest = PagingTest;

TEST_F(QuestionReaderTest, SkipsBlankSlotsAndStopsOnTheLine)
{
    setLesson({"001.  Part B", "", "", "", "First question"});
    form.readNextQuestion();
    EXPECT_EQ(s.lineCounter, 5);
    EXPECT_EQ(s.questionText, "First question");
    EXPECT_EQ(s.nextBlock, "First question");
    EXPECT_EQ(s.cumulativeText, " <-<-<-<-  Q/A:   First question");
}

TEST_F(QuestionReaderTest, HandsOutASlotOfOneBlankAsABlock)
{
    setLesson({"001.  Part B", "", " ", "", "Next"});
    form.readNextQuestion();
    EXPECT_EQ(s.lineCounter, 3);
    EXPECT_EQ(s.nextBlock, " ");
    EXPECT_EQ(s.questionText, " ");
    EXPECT_TRUE(s.resetAnswerBox);
}

TEST_F(QuestionReaderTest, CumulativeTextIsNewestFirst)
{
    setLesson({"001.  Part B", "A", "", "B"});
    form.readNextQuestion();
    form.readNextQuestion();
    EXPECT_EQ(s.cumulativeText, " <-<-<-<-  Q/A:   B <-<-<-<-  Q/A:   A");
}

struct QuestionNumberCase {
    const char* name;
    const char* line;
    const char* number;
};

// Test output names the case instead of dumping its bytes.
class QuestionNumberTest : public PagingTest, public ::testing::WithParamInterface<QuestionNumberCase> {};

TEST_P(QuestionNumberTest, ReadsTheNumberFromTheThirdCharacter)
{
    setLesson({"001.  Part B", GetParam().line, "", "An ordinary line"});
    s.questionNumber = "99";
    form.readNextQuestion();
    EXPECT_EQ(s.questionNumber, GetParam().number);
    EXPECT_EQ(s.questionText, GetParam().line);
    // An ordinary line keeps the number.
    form.readNextQuestion();
    EXPECT_EQ(s.questionNumber, GetParam().number);
}

// One case a row.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Lines, QuestionNumberTest,
    ::testing::Values(
        QuestionNumberCase{"ThreeDigits", "`q003", "3"},
        QuestionNumberCase{"CapitalMarkerAndWords", "`Q12 and further words", "12"},
        QuestionNumberCase{"CapitalMarkerLeadingZero", "`Q07", "7"},
        QuestionNumberCase{"MarkerAlone", "`q", "0"},
        QuestionNumberCase{"DecimalNumber", "`q2.5", "2.5"},
        QuestionNumberCase{"BlanksBeforeNumber", "`q  004 text", "4"},
        QuestionNumberCase{"RecordMarkerReadsAsZero", "`questionNumber 10003 ", "0"}),
    caseName);
// clang-format on

TEST_F(QuestionReaderTest, QuestionNumberTooLargeIsAnOverflowNotAWrongNumber)
{
    setLesson({"001.  Part B", "`q" + std::string(400, '9'), "", "Next"});
    s.questionNumber = "3";
    form.cmdNextQuestion_Click();
    EXPECT_EQ(toolkit.messages, std::vector<std::string>{std::string(LessonForm::generalErrorMessage) + "6"});
    EXPECT_FALSE(form.ended());
    EXPECT_EQ(s.questionNumber, "3");
    // The reader went no further: the line was not prepared for showing.
    EXPECT_EQ(toolkit.questionBox, "");
}

TEST_F(QuestionReaderTest, LineWithoutMarkerLeavesTheQuestionNumber)
{
    setLesson({"001.  Part B", "q003 has no backtick", "", "x`q004 marker later"});
    form.readNextQuestion();
    form.readNextQuestion();
    EXPECT_EQ(s.questionNumber, "");
}

TEST_F(QuestionReaderTest, FirstReadLeavesTheAnswerBoxSecondPutsThePromptBack)
{
    setLesson({"001.  Part B", "A", "", "B", "", "C"});
    toolkit.answerBox = "typed but not recorded";
    form.readNextQuestion();
    EXPECT_EQ(toolkit.answerBox, "typed but not recorded");
    EXPECT_TRUE(s.resetAnswerBox);
    form.readNextQuestion();
    EXPECT_EQ(toolkit.answerBox, prompt);
    // A record in between clears the flag, and the box is left alone.
    s.resetAnswerBox = false;
    toolkit.answerBox = "";
    form.readNextQuestion();
    EXPECT_EQ(toolkit.answerBox, "");
}

TEST_F(QuestionReaderTest, RoutineLineIsHandedOutButLeavesTheFlagFalse)
{
    setLesson({"001.  Part B", "`ROUTINE graph1", "", "After"});
    s.resetAnswerBox = true;
    toolkit.answerBox = "";
    form.readNextQuestion();
    EXPECT_EQ(toolkit.answerBox, prompt);
    EXPECT_FALSE(s.resetAnswerBox);
    EXPECT_EQ(s.nextBlock, "`ROUTINE graph1");
    EXPECT_EQ(s.questionText, "`ROUTINE graph1");
    EXPECT_EQ(s.cumulativeText, " <-<-<-<-  Q/A:   `ROUTINE graph1");
    // So the next read does not refill the box.
    toolkit.answerBox = "kept";
    form.readNextQuestion();
    EXPECT_EQ(toolkit.answerBox, "kept");
}

TEST_F(QuestionReaderTest, OtherReadingModeLeavesNextBlock)
{
    setLesson({"001.  Part B", "A"});
    s.readingMode = 0;
    s.nextBlock = "before";
    form.readNextQuestion();
    EXPECT_EQ(s.nextBlock, "before");
    EXPECT_EQ(s.questionText, "A");
}

struct EndCase {
    const char* name;
    const char* line;
    bool ends;
};

// Test output names the case instead of dumping its bytes.
class ReaderEndTest : public PagingTest, public ::testing::WithParamInterface<EndCase> {};

// Through the click, so that the end goes the way the window sees it.
TEST_P(ReaderEndTest, EndsOnlyAtNextHeaderOrEndMarker)
{
    setLesson({"001.  Part B", GetParam().line});
    toolkit.questionBox = "shown before";
    form.cmdNextQuestion_Click();
    EXPECT_EQ(form.ended(), GetParam().ends);
    EXPECT_EQ(toolkit.endCalls, GetParam().ends ? 1 : 0);
    EXPECT_TRUE(toolkit.messages.empty());
    // The line entered the run state before the test was made...
    EXPECT_EQ(s.questionText, GetParam().line);
    EXPECT_EQ(s.cumulativeText, std::string(" <-<-<-<-  Q/A:   ") + GetParam().line);
    // ...but is shown only when the program goes on.
    EXPECT_EQ(toolkit.questionBox,
              GetParam().ends ? std::string("shown before") : std::string("shown before") + GetParam().line);
}

// One case a row.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Lines, ReaderEndTest,
    ::testing::Values(
        EndCase{"NextAssignmentHeader", "002.  Part C", true},
        EndCase{"NextNumberAlone", "002", true},
        EndCase{"NextNumberLaterInLine", "See 002 later", false},
        EndCase{"ThisAssignmentNumber", "001 again", false},
        EndCase{"EndMarker", "####.#", true},
        EndCase{"EndMarkerWithText", "####.# end of lesson", true},
        EndCase{"PointThenOtherCharacter", "####.x", false},
        EndCase{"PointThenBlank", "####. #", false},
        EndCase{"FourSignsAlone", "####", false},
        EndCase{"EndMarkerLaterInLine", " ####.#", false}),
    caseName);
// clang-format on

TEST_F(QuestionReaderTest, RunningPastTheLastSlotShowsTheInvalidAssignmentMessageAndEnds)
{
    setLesson({"001.  Part B"});
    s.lineCounter = 4990;
    s.lessonLines[4995] = "Last line";
    form.cmdNextQuestion_Click();
    EXPECT_EQ(toolkit.questionBox, "Last line");
    form.cmdNextQuestion_Click();
    EXPECT_EQ(s.lineCounter, 5001);
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0], invalidAssignmentMessage);
    EXPECT_TRUE(form.ended());
    EXPECT_EQ(toolkit.endCalls, 1);
    EXPECT_EQ(toolkit.questionBox, "Last line");
}

TEST_F(QuestionReaderTest, DirectCallPassesTheEndToTheCaller)
{
    setLesson({"001.  Part B", "####.#"});
    EXPECT_THROW(form.readNextQuestion(), EndProgram);
}

} // namespace
} // namespace qal::test
