#include "recording/RecordingFixture.h"

#include <vector>

#include <ostream>

namespace qal::test {
namespace {

// The fixed lines of the records, each with its line end.
const std::string opening = "......!!!!!!!!...................................\r\n";
const std::string closing = ".................................................\r\n";
const std::string timeLine = "                                    14:03:09\r\n";
const std::string dateTimeLine = "                                    12-07-202614:03:09\r\n";

std::string responseInMaster(const std::string& question, const std::string& numberLine, const std::string& answer)
{
    return opening + timeLine + "\r\n" + "\r\n" + numberLine + "\r\n" + question + "\r\n" + opening +
           "RESPONSE -->  \r\n" + answer + "\r\n" + closing;
}

std::string responseInSend(const std::string& question, const std::string& answer)
{
    return opening + timeLine + question + "\r\n" + opening + "RESPONSE -->  \r\n" + answer + "\r\n" + closing;
}

std::string notesRecord(const std::string& question, const std::string& note)
{
    return opening + timeLine + dateTimeLine + question + "\r\n" + opening + "NOTES -------> " + note + "\r\n" +
           closing;
}

using RecordsTest = RecordingTest;

TEST_F(RecordsTest, FixedLinesHaveTheirLengths)
{
    EXPECT_EQ(opening.size(), 49u + 2u);
    EXPECT_EQ(closing.size(), 49u + 2u);
    EXPECT_EQ(timeLine.size(), 36u + 8u + 2u);
}

TEST_F(RecordsTest, EnterResponseAppendsToMasterAndSend)
{
    writeBytes(masterPath(), "header of the master\r\n");
    writeBytes(sendPath(), "header of the send file\r\n");
    s.questionText = "Sketch a graph of depth vs. clock time.";
    s.questionNumber = "3";
    toolkit.questionBox = "Sketch a graph of depth vs. clock time.";
    toolkit.answerBox = "The depth falls \xE9venly.";
    s.resetAnswerBox = true;

    form.cmd_enter_response_Click();

    EXPECT_TRUE(toolkit.messages.empty());
    EXPECT_EQ(master(),
              "header of the master\r\n" + responseInMaster("Sketch a graph of depth vs. clock time.",
                                                            "`questionNumber 10003 ", "The depth falls \xE9venly."));
    EXPECT_EQ(send(), "header of the send file\r\n" +
                          responseInSend("Sketch a graph of depth vs. clock time.", "The depth falls \xE9venly."));
    EXPECT_FALSE(std::filesystem::exists(notesPath()));
    EXPECT_EQ(toolkit.questionBox, "");
    EXPECT_EQ(toolkit.answerBox, "");
    EXPECT_FALSE(s.resetAnswerBox);
    EXPECT_EQ(s.workingText, "The depth falls \xE9venly.");
    EXPECT_FALSE(files.isOpen(1));
    EXPECT_FALSE(files.isOpen(2));
}

struct NumberCase {
    const char* name;
    const char* assignmentNumber;
    const char* questionNumber;
    const char* line;
};

// Test output names the case instead of dumping its bytes.
void PrintTo(const NumberCase& c, std::ostream* os)
{
    *os << c.name;
}

class RecordNumberTest : public RecordingTest, public ::testing::WithParamInterface<NumberCase> {};

TEST_P(RecordNumberTest, WritesAssignmentTimesTenThousandPlusQuestion)
{
    s.assignmentNumber = GetParam().assignmentNumber;
    s.questionNumber = GetParam().questionNumber;
    s.questionText = "Q";
    toolkit.answerBox = "A";
    form.cmd_enter_response_Click();
    EXPECT_EQ(master(), responseInMaster("Q", GetParam().line, "A"));
}

// One case a row.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Numbers, RecordNumberTest,
    ::testing::Values(
        NumberCase{"Question3", "001", "3", "`questionNumber 10003 "},
        NumberCase{"NoQuestionNumber", "027", "", "`questionNumber 270000 "},
        NumberCase{"DecimalQuestion", "001", "2.5", "`questionNumber 10002.5 "},
        NumberCase{"AssignmentHundred", "100", "12", "`questionNumber 1000012 "},
        NumberCase{"NonNumericAssignment", "abc", "", "`questionNumber 0 "},
        NumberCase{"LongAssignment", "0001", "7", "`questionNumber 10007 "}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(RecordsTest, ResponseOfSeveralLinesKeepsItsLineBreaks)
{
    s.questionText = "Q";
    toolkit.answerBox = "first line\r\nsecond line\r\n\r\nlast";
    form.cmd_enter_response_Click();
    EXPECT_EQ(send(), responseInSend("Q", "first line\r\nsecond line\r\n\r\nlast"));
}

TEST_F(RecordsTest, EmptyAndSingleBlankResponsesAreRecorded)
{
    s.questionText = "Q";
    // The answer box starts with one blank.
    form.cmd_enter_response_Click();
    // A second click right after finds the box empty and records that too,
    // with the same question.
    form.cmd_enter_response_Click();
    EXPECT_EQ(send(), responseInSend("Q", " ") + responseInSend("Q", ""));
    EXPECT_EQ(s.cumulativeText, std::string(answerLabel) + answerLabel + " ");
}

TEST_F(RecordsTest, BeforeAnyQuestionTheQuestionLineIsEmpty)
{
    toolkit.answerBox = "OK";
    form.cmd_enter_response_Click();
    EXPECT_EQ(master(), responseInMaster("", "`questionNumber 10000 ", "OK"));
}

TEST_F(RecordsTest, SaveAsNotesWritesTheSameRecordToAllThreeFiles)
{
    writeBytes(masterPath(), "M\r\n");
    s.questionText = "If a marble coasts halfway down an incline";
    s.questionNumber = "7";
    toolkit.questionBox = "shown";
    toolkit.answerBox = "check the\r\nslope";
    form.cmd_save_as_notes_Click();

    const std::string record = notesRecord("If a marble coasts halfway down an incline", "check the\r\nslope");
    EXPECT_TRUE(toolkit.messages.empty());
    EXPECT_EQ(master(), "M\r\n" + record);
    EXPECT_EQ(send(), record);
    EXPECT_EQ(notes(), record);
    EXPECT_EQ(toolkit.questionBox, "");
    EXPECT_EQ(toolkit.answerBox, "");
    EXPECT_EQ(s.workingText, "NOTES -------> check the\r\nslope");
    for (int n : {1, 2, 3})
        EXPECT_FALSE(files.isOpen(n)) << n;

    // A response after it starts on a line of its own.
    toolkit.answerBox = "R";
    form.cmd_enter_response_Click();
    EXPECT_EQ(master(),
              "M\r\n" + record +
                  responseInMaster("If a marble coasts halfway down an incline", "`questionNumber 10007 ", "R"));
    EXPECT_EQ(notes(), record);
}

TEST_F(RecordsTest, RecordsCloseFilesLeftOpenBefore)
{
    // A header cut short (or a query file coding) may have left 1 and 2 open.
    files.open(1, s.masterFilePath, FileMode::Append);
    files.open(2, s.sendFilePath, FileMode::Append);
    files.open(3, s.notesFilePath, FileMode::Append);
    s.questionText = "Q";
    toolkit.answerBox = "A";
    form.cmd_enter_response_Click();
    EXPECT_TRUE(toolkit.messages.empty());
    EXPECT_EQ(send(), responseInSend("Q", "A"));
    toolkit.answerBox = "N";
    form.cmd_save_as_notes_Click();
    EXPECT_TRUE(toolkit.messages.empty());
    EXPECT_EQ(notes(), notesRecord("Q", "N"));
}

using Command = void (LessonForm::*)();

struct CommandCase {
    const char* name;
    Command click;
};

// Test output names the case instead of dumping its bytes.
void PrintTo(const CommandCase& c, std::ostream* os)
{
    *os << c.name;
}

class DefaultPromptTest : public RecordingTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(DefaultPromptTest, RefusesTheDefaultPromptAndPutsItBack)
{
    s.lessonLines[3] = "A";
    s.lessonLines[5] = "B";
    form.readNextQuestion();
    form.readNextQuestion(); // the prompt is in the box now
    ASSERT_EQ(toolkit.answerBox, prompt);
    toolkit.questionBox = "AB";

    (form.*GetParam().click)();

    EXPECT_FALSE(std::filesystem::exists(masterPath()));
    EXPECT_FALSE(std::filesystem::exists(sendPath()));
    EXPECT_FALSE(std::filesystem::exists(notesPath()));
    EXPECT_EQ(toolkit.questionBox, "");
    EXPECT_EQ(toolkit.answerBox, "");
    EXPECT_TRUE(s.resetAnswerBox);
    EXPECT_EQ(s.cumulativeText, std::string(questionLabel) + "B" + questionLabel + "A");
    // Nothing was recorded, so the next read puts the prompt back.
    s.lessonLines[7] = "C";
    form.readNextQuestion();
    EXPECT_EQ(toolkit.answerBox, prompt);
}

TEST_P(DefaultPromptTest, AfterARecordTheNextReadLeavesTheAnswerBox)
{
    s.lessonLines[3] = "A";
    s.lessonLines[5] = "B";
    form.readNextQuestion();
    toolkit.answerBox = "R";
    (form.*GetParam().click)();
    EXPECT_FALSE(s.resetAnswerBox);
    form.readNextQuestion();
    EXPECT_EQ(toolkit.answerBox, "");
}

// One case a row.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Commands, DefaultPromptTest,
    ::testing::Values(CommandCase{"EnterResponse", &LessonForm::cmd_enter_response_Click},
                      CommandCase{"SaveAsNotes", &LessonForm::cmd_save_as_notes_Click}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(RecordsTest, PromptWithAnythingChangedIsRecorded)
{
    toolkit.answerBox = std::string(prompt) + " ";
    form.cmd_enter_response_Click();
    EXPECT_EQ(send(), responseInSend("", std::string(prompt) + " "));
}

TEST_F(RecordsTest, CumulativeTextHoldsResponsesAndNotesNewestFirst)
{
    s.lessonLines[3] = "A";
    s.lessonLines[5] = "B";
    form.readNextQuestion();
    toolkit.answerBox = "R";
    form.cmd_enter_response_Click();
    EXPECT_EQ(s.cumulativeText, std::string(answerLabel) + "R" + questionLabel + "A");
    form.readNextQuestion();
    toolkit.answerBox = "N";
    form.cmd_save_as_notes_Click();
    EXPECT_EQ(s.cumulativeText, std::string(answerLabel) + "NOTES -------> N" + questionLabel + "B" + answerLabel +
                                    "R" + questionLabel + "A");
}

struct FaultCase {
    const char* name;
    Command click;
    int failingWrite;         // counting every line to every file
    std::string masterBefore; // what the failed record left, after the header
    std::string sendBefore;
    std::string notesBefore;
    std::string masterRecord; // the complete record of the retry
    std::string sendRecord;
    std::string notesRecord;
};

// Test output names the case instead of dumping its bytes.
void PrintTo(const FaultCase& c, std::ostream* os)
{
    *os << c.name;
}

class RecordFaultTest : public RecordingTest, public ::testing::WithParamInterface<FaultCase> {};

// A disk that fills half-way through a record: the failure is reported, the
// program goes on, the answer stays in its box, and a retry records it whole.
TEST_P(RecordFaultTest, FailedRecordCanBeTriedAgain)
{
    const FaultCase& c = GetParam();
    writeBytes(masterPath(), "H\r\n");
    writeBytes(sendPath(), "H\r\n");
    s.questionText = "Q";
    s.cumulativeText = "before";
    toolkit.questionBox = "Q";
    toolkit.answerBox = "A";
    FailNthWrite diskFull(c.failingWrite, 61);
    files.setFaults(&diskFull);

    (form.*c.click)();

    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0], "Run-time error '61':\r\n\r\nDisk full");
    EXPECT_FALSE(form.ended());
    EXPECT_EQ(toolkit.endCalls, 0);
    EXPECT_EQ(toolkit.answerBox, "A");
    EXPECT_EQ(toolkit.questionBox, "Q");
    EXPECT_EQ(s.cumulativeText, "before");
    for (int n : {1, 2, 3})
        EXPECT_FALSE(files.isOpen(n)) << n;
    // Lines written before the failure stay.
    EXPECT_EQ(master(), "H\r\n" + c.masterBefore);
    EXPECT_EQ(send(), "H\r\n" + c.sendBefore);
    EXPECT_EQ(notes(), c.notesBefore);

    files.setFaults(nullptr);
    (form.*c.click)();
    EXPECT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(master(), "H\r\n" + c.masterBefore + c.masterRecord);
    EXPECT_EQ(send(), "H\r\n" + c.sendBefore + c.sendRecord);
    EXPECT_EQ(notes(), c.notesBefore + c.notesRecord);
    EXPECT_EQ(toolkit.answerBox, "");
    EXPECT_EQ(toolkit.questionBox, "");
}

// One case a row.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Writes, RecordFaultTest,
    ::testing::Values(
        FaultCase{"ResponseFirstLine", &LessonForm::cmd_enter_response_Click, 1, "", "", "",
                  responseInMaster("Q", "`questionNumber 10000 ", "A"), responseInSend("Q", "A"), ""},
        FaultCase{"ResponseTimeLineOfSendFile", &LessonForm::cmd_enter_response_Click, 4, opening + timeLine, opening,
                  "", responseInMaster("Q", "`questionNumber 10000 ", "A"), responseInSend("Q", "A"), ""},
        FaultCase{"ResponseLineOfMasterOnly", &LessonForm::cmd_enter_response_Click, 6,
                  opening + timeLine + "\r\n", opening + timeLine, "",
                  responseInMaster("Q", "`questionNumber 10000 ", "A"), responseInSend("Q", "A"), ""},
        FaultCase{"ResponseClosingSeparatorOfSendFile", &LessonForm::cmd_enter_response_Click, 17,
                  responseInMaster("Q", "`questionNumber 10000 ", "A"),
                  opening + timeLine + "Q\r\n" + opening + "RESPONSE -->  \r\nA\r\n", "",
                  responseInMaster("Q", "`questionNumber 10000 ", "A"), responseInSend("Q", "A"), ""},
        FaultCase{"NotesDateLineOfNotesFile", &LessonForm::cmd_save_as_notes_Click, 9,
                  opening + timeLine + dateTimeLine, opening + timeLine + dateTimeLine, opening + timeLine,
                  notesRecord("Q", "A"), notesRecord("Q", "A"), notesRecord("Q", "A")},
        FaultCase{"NotesTextOfSendFile", &LessonForm::cmd_save_as_notes_Click, 17,
                  opening + timeLine + dateTimeLine + "Q\r\n" + opening + "NOTES -------> A\r\n",
                  opening + timeLine + dateTimeLine + "Q\r\n" + opening, opening + timeLine + dateTimeLine + "Q\r\n" + opening,
                  notesRecord("Q", "A"), notesRecord("Q", "A"), notesRecord("Q", "A")}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(RecordsTest, FailedOpenLeavesNoFileOpen)
{
    s.questionText = "Q";
    toolkit.answerBox = "A";
    FailOpen locked(2, 70);
    files.setFaults(&locked);
    form.cmd_enter_response_Click();
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0], runtimeError(70, "Permission denied"));
    EXPECT_FALSE(files.isOpen(1));
    EXPECT_EQ(master(), "");
    EXPECT_EQ(toolkit.answerBox, "A");

    files.setFaults(nullptr);
    form.cmd_enter_response_Click();
    EXPECT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(send(), responseInSend("Q", "A"));
}

TEST_F(RecordsTest, MissingBaseFolderIsReportedAndTheAnswerKept)
{
    s.masterFilePath = "c:\\nofolder\\masterFile_Ann_Lee.txt";
    toolkit.answerBox = "A";
    form.cmd_save_as_notes_Click();
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0], runtimeError(76, "Path not found"));
    EXPECT_FALSE(form.ended());
    EXPECT_EQ(toolkit.answerBox, "A");
}

} // namespace
} // namespace qal::test
