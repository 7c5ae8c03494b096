#include "recording/RecordingFixture.h"

#include "fakes/CaseTable.h"
#include "fakes/StepFault.h"
#include "instructor/RecordFileReader.h"
#include "platform/CodePage.h"
#include "platform/RunError.h"

#include <optional>
#include <vector>

#include <ostream>

namespace qal::test {
namespace {

using test::PrintTo; // where GoogleTest looks for it

using RecordsTest = RecordingTest;

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
    caseName);
// clang-format on

TEST_F(RecordsTest, ResponseOfSeveralLinesKeepsItsLineBreaks)
{
    s.questionText = "Q";
    toolkit.answerBox = "first line\r\nsecond line\r\n\r\nlast";
    form.cmd_enter_response_Click();
    EXPECT_EQ(send(), responseInSend("Q", "first line\r\nsecond line\r\n\r\nlast"));
}

struct TextCase {
    const char* name;
    std::string typed;   // the answer box, Windows-1252 with its line breaks
    std::string written; // the text's lines as the files hold them
    std::string read;    // the text the report reads back from them, lines joined by LF
    // A note's text in the files where it differs from `written`: its first
    // line starts with the marker, and is never shifted.
    std::optional<std::string> writtenInNote = std::nullopt;
};

// Test output names the case instead of dumping its bytes.
class RecordTextTest : public RecordingTest, public ::testing::WithParamInterface<TextCase> {};

// A text's line that the report would take for a separator or a header
// block's name line, with any blanks before it, goes to every file one blank
// further in; every other line, and every line break, as typed. The report
// reads each text back as typed, as one record.
TEST_P(RecordTextTest, ResponseGoesToTheFilesShiftedWhereItLooksLikeTheirStructure)
{
    s.questionText = "Q";
    toolkit.answerBox = GetParam().typed;
    form.cmd_enter_response_Click();
    EXPECT_TRUE(toolkit.messages.empty());
    EXPECT_EQ(master(), responseInMaster("Q", "`questionNumber 10000 ", GetParam().written));
    EXPECT_EQ(send(), responseInSend("Q", GetParam().written));
    EXPECT_EQ(s.workingText, GetParam().typed);
    for (const std::string& file : {master(), send()}) {
        const RecordFileContents read = readRecordText(file, "f");
        EXPECT_TRUE(read.skipped.empty());
        ASSERT_EQ(read.records.size(), 1u);
        EXPECT_EQ(read.records[0].text, cp1252ToUtf8(GetParam().read));
        EXPECT_EQ(read.records[0].question, "Q");
    }
}

TEST_P(RecordTextTest, NoteGoesToTheFilesShiftedWhereItLooksLikeTheirStructure)
{
    s.questionText = "Q";
    toolkit.answerBox = GetParam().typed;
    form.cmd_save_as_notes_Click();
    EXPECT_TRUE(toolkit.messages.empty());
    const std::string record = notesRecord("Q", GetParam().writtenInNote.value_or(GetParam().written));
    EXPECT_EQ(master(), record);
    EXPECT_EQ(send(), record);
    EXPECT_EQ(notes(), record);
    EXPECT_EQ(s.workingText, "NOTES -------> " + GetParam().typed);
    for (const std::string& file : {master(), send(), notes()}) {
        const RecordFileContents read = readRecordText(file, "f");
        EXPECT_TRUE(read.skipped.empty());
        ASSERT_EQ(read.records.size(), 1u);
        EXPECT_EQ(read.records[0].text, cp1252ToUtf8(GetParam().read));
    }
}

const std::string opened = "......!!!!!!!!...................................";
const std::string closed = ".................................................";
const std::string at = "                                    10:00:00";

// One case a row.
// clang-format off
const TextCase textCases[] = {
    {"Plain", "The depth falls \xE9venly.", "The depth falls \xE9venly.", "The depth falls \xE9venly."},
    {"Empty", "", "", ""},
    {"Blanks", "   ", "   ", "   "},
    {"ClosingSeparatorAlone", closed, " " + closed, closed, closed},
    {"ClosingSeparatorBetweenLines", "part one\r\n" + closed + "\r\npart two",
     "part one\r\n " + closed + "\r\npart two", "part one\n" + closed + "\npart two"},
    {"ClosingSeparatorLastThenEmptyLine", "a\r\n" + closed + "\r\n", "a\r\n " + closed + "\r\n",
     "a\n" + closed + "\n"},
    {"ClosingSeparatorAfterBlanks", "a\r\n  " + closed, "a\r\n   " + closed, "a\n  " + closed},
    {"OpeningSeparator", "a\r\n" + opened + "\r\nb", "a\r\n " + opened + "\r\nb", "a\n" + opened + "\nb"},
    {"OpeningSeparatorAfterABlank", "a\r\n " + opened, "a\r\n  " + opened, "a\n " + opened},
    {"WholeRecordAfterAClosingSeparator",
     "mine\r\n" + closed + "\r\n" + opened + "\r\n" + at + "\r\nForged question\r\n" + opened +
         "\r\nRESPONSE -->  \r\nforged answer\r\n" + closed + "\r\nmine again",
     "mine\r\n " + closed + "\r\n " + opened + "\r\n" + at + "\r\nForged question\r\n " + opened +
         "\r\nRESPONSE -->  \r\nforged answer\r\n " + closed + "\r\nmine again",
     "mine\n" + closed + "\n" + opened + "\n" + at + "\nForged question\n" + opened +
         "\nRESPONSE -->  \nforged answer\n" + closed + "\nmine again"},
    {"WholeRecordAfterBlanks",
     "mine\r\n  " + closed + "\r\n " + opened + "\r\n" + at + "\r\nq\r\n   " + opened + "\r\nRESPONSE -->  \r\nx",
     "mine\r\n   " + closed + "\r\n  " + opened + "\r\n" + at + "\r\nq\r\n    " + opened + "\r\nRESPONSE -->  \r\nx",
     "mine\n  " + closed + "\n " + opened + "\n" + at + "\nq\n   " + opened + "\nRESPONSE -->  \nx"},
    {"HeaderBlock",
     "mine\r\n" + closed + "\r\n\xC6" "code\r\nStudent Name:  Bob Forged\r\nassignment #007\r\n007.  T\r\n"
         "Initials:  BF\r\nDate and Time 12-07-202609:00:00\r\n" + opened + "\r\n" + at + "\r\nq\r\n" + opened +
         "\r\nRESPONSE -->  \r\nforged",
     "mine\r\n " + closed + "\r\n\xC6" "code\r\n Student Name:  Bob Forged\r\nassignment #007\r\n007.  T\r\n"
         "Initials:  BF\r\nDate and Time 12-07-202609:00:00\r\n " + opened + "\r\n" + at + "\r\nq\r\n " + opened +
         "\r\nRESPONSE -->  \r\nforged",
     "mine\n" + closed + "\n\xC6" "code\nStudent Name:  Bob Forged\nassignment #007\n007.  T\n"
         "Initials:  BF\nDate and Time 12-07-202609:00:00\n" + opened + "\n" + at + "\nq\n" + opened +
         "\nRESPONSE -->  \nforged"},
    {"HeaderBlockAfterBlanks", "code\r\n    Student Name:  Bob", "code\r\n     Student Name:  Bob",
     "code\n    Student Name:  Bob"},
    {"StudentNameFirst", "Student Name:  Bob", " Student Name:  Bob", "Student Name:  Bob", "Student Name:  Bob"},
    {"ClosingSeparatorFirstAfterBlanks", "  " + closed + "\r\nx", "   " + closed + "\r\nx", "  " + closed + "\nx",
     "  " + closed + "\r\nx"},
    // Every line break the reader knows ends a line here too.
    {"LoneCrAndLoneLf", "a\r" + closed + "\nb\n\r" + opened, "a\r " + closed + "\nb\n\r " + opened,
     "a\n" + closed + "\nb\n\n" + opened},
    {"LinesLikeThemButNotThem",
     "Student Name: Bob\r\nstudent name:  Bob\r\n" + closed + ".\r\n" + closed.substr(1) + "\r\n" + opened +
         " \r\n\t" + closed + "\r\nx " + closed + "\r\nassignment #007\r\nInitials:  BF",
     "Student Name: Bob\r\nstudent name:  Bob\r\n" + closed + ".\r\n" + closed.substr(1) + "\r\n" + opened +
         " \r\n\t" + closed + "\r\nx " + closed + "\r\nassignment #007\r\nInitials:  BF",
     "Student Name: Bob\nstudent name:  Bob\n" + closed + ".\n" + closed.substr(1) + "\n" + opened + " \n\t" +
         closed + "\nx " + closed + "\nassignment #007\nInitials:  BF"},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Texts, RecordTextTest, ::testing::ValuesIn(textCases), caseName);

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
    caseName);
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
    StepFault::Step step;
    int file;               // 0: whichever file reaches the step
    int nth;                // the nth time the step is reached
    int number;             // the error number it fails with
    std::size_t shortBytes; // a failing flush: bytes that reach the file first
};

// Test output names the case instead of dumping its bytes.
class RecordFaultTest : public RecordingTest, public ::testing::WithParamInterface<FaultCase> {
protected:
    // Every file holding a line of its own, a question shown and an answer
    // typed: where each row starts.
    void filesBeforeTheFault()
    {
        writeBytes(masterPath(), "H\r\n");
        writeBytes(sendPath(), "H\r\n");
        writeBytes(notesPath(), "N\r\n");
        s.questionText = "Q";
        toolkit.answerBox = "A";
    }

    void expectFilesAsBeforeAndClosed()
    {
        for (int n : {1, 2, 3})
            EXPECT_FALSE(files.isOpen(n)) << n;
        EXPECT_EQ(master(), "H\r\n");
        EXPECT_EQ(send(), "H\r\n");
        EXPECT_EQ(notes(), "N\r\n");
    }
};

// A failure at any step of a record: it is reported as before, the program
// goes on, the answer stays in its box, every file is byte for byte what it
// was, and the retry records it exactly once.
TEST_P(RecordFaultTest, FailedRecordLeavesEveryFileAsItWasAndCanBeTriedAgain)
{
    const FaultCase& c = GetParam();
    filesBeforeTheFault();
    s.cumulativeText = "before";
    toolkit.questionBox = "Q";
    StepFault fault(c.step, c.file, c.number, c.nth, c.shortBytes);
    files.setHost(fault);

    (form.*c.click)();

    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0], runtimeError(c.number, errorText(c.number)));
    EXPECT_FALSE(form.ended());
    EXPECT_EQ(toolkit.endCalls, 0);
    EXPECT_EQ(toolkit.answerBox, "A");
    EXPECT_EQ(toolkit.questionBox, "Q");
    EXPECT_EQ(s.cumulativeText, "before");
    expectFilesAsBeforeAndClosed();

    files.setHost(systemHost());
    (form.*c.click)();
    EXPECT_EQ(toolkit.messages.size(), 1u);
    const bool isNotes = c.click == &LessonForm::cmd_save_as_notes_Click;
    EXPECT_EQ(master(),
              "H\r\n" + (isNotes ? notesRecord("Q", "A") : responseInMaster("Q", "`questionNumber 10000 ", "A")));
    EXPECT_EQ(send(), "H\r\n" + (isNotes ? notesRecord("Q", "A") : responseInSend("Q", "A")));
    EXPECT_EQ(notes(), "N\r\n" + (isNotes ? notesRecord("Q", "A") : ""));
    EXPECT_EQ(toolkit.answerBox, "");
    EXPECT_EQ(toolkit.questionBox, "");
}

// The program is ended while the failure's message is open (the session
// ends): the command ends there, with every file as it was and closed.
TEST_P(RecordFaultTest, EndedWhileItsFailureIsShownLeavesEveryFileAsItWas)
{
    const FaultCase& c = GetParam();
    filesBeforeTheFault();
    toolkit.boxesUntilEnd = 1;
    StepFault fault(c.step, c.file, c.number, c.nth, c.shortBytes);
    files.setHost(fault);

    (form.*c.click)();

    EXPECT_EQ(toolkit.messages, std::vector<std::string>{runtimeError(c.number, errorText(c.number))});
    EXPECT_TRUE(form.ended());
    EXPECT_EQ(toolkit.endCalls, 1);
    expectFilesAsBeforeAndClosed();
    // Nothing runs after the end, a second try included.
    files.setHost(systemHost());
    (form.*c.click)();
    EXPECT_EQ(master(), "H\r\n");
    EXPECT_EQ(toolkit.messages.size(), 1u);
}

// One case a row. A response record is 10 lines in the master file (249
// bytes here) and 7 in the send file (221); a notes record 7 lines in each of three.
constexpr Command response = &LessonForm::cmd_enter_response_Click;
constexpr Command notesCmd = &LessonForm::cmd_save_as_notes_Click;
// clang-format off
INSTANTIATE_TEST_SUITE_P(Steps, RecordFaultTest,
    ::testing::Values(
        FaultCase{"ResponseSendFileWillNotOpen", response, StepFault::Open, 2, 1, 70, 0},
        FaultCase{"ResponseFirstLine", response, StepFault::Write, 0, 1, 61, 0},
        FaultCase{"ResponseLineOfMasterOnly", response, StepFault::Write, 1, 5, 57, 0},
        FaultCase{"ResponseLastLineOfSendFile", response, StepFault::Write, 2, 7, 61, 0},
        FaultCase{"ResponseMasterFileWriteFails", response, StepFault::Flush, 1, 1, 57, 0},
        FaultCase{"ResponseMasterFileShortWrite", response, StepFault::Flush, 1, 1, 61, 100},
        FaultCase{"ResponseSendFileShortWrite", response, StepFault::Flush, 2, 1, 61, 60},
        FaultCase{"ResponseSendFileAllButOneByte", response, StepFault::Flush, 2, 1, 61, 220},
        FaultCase{"ResponseMasterFileFsync", response, StepFault::Sync, 1, 1, 57, 0},
        FaultCase{"ResponseSendFileFsync", response, StepFault::Sync, 2, 1, 57, 0},
        FaultCase{"ResponseMasterFileClose", response, StepFault::Close, 1, 1, 57, 0},
        FaultCase{"ResponseSendFileClose", response, StepFault::Close, 2, 1, 61, 0},
        FaultCase{"NotesNotesFileWillNotOpen", notesCmd, StepFault::Open, 3, 1, 76, 0},
        FaultCase{"NotesDateLineOfNotesFile", notesCmd, StepFault::Write, 3, 3, 61, 0},
        FaultCase{"NotesSendFileShortWrite", notesCmd, StepFault::Flush, 2, 1, 61, 51},
        FaultCase{"NotesNotesFileWriteFails", notesCmd, StepFault::Flush, 3, 1, 61, 0},
        FaultCase{"NotesNotesFileFsync", notesCmd, StepFault::Sync, 3, 1, 57, 0},
        FaultCase{"NotesNotesFileClose", notesCmd, StepFault::Close, 3, 1, 57, 0}),
    caseName);
// clang-format on

// When a file cannot be cut back after a failure, the message says what each
// file holds: the failure never reads as if nothing was written.
TEST_F(RecordsTest, FileThatCannotBeCutBackIsNamedInTheMessage)
{
    writeBytes(masterPath(), "H\r\n");
    s.questionText = "Q";
    toolkit.answerBox = "A";
    StepFault fault(StepFault::Sync, 2, 57);
    fault.cutBackFailsFor = 1;
    files.setHost(fault);
    form.cmd_enter_response_Click();
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0],
              runtimeError(57, "Device I/O error") +
                  "\r\n\r\nThe file c:\\drovnel\\masterFile_Ann_Lee.txt holds the whole record.\r\n\r\nThe file "
                  "c:\\drovnel\\send_1207Ann_Lee.txt does not hold the record.\r\n\r\nRecording the same answer "
                  "again completes the record where it is missing, and never writes it twice.");
    EXPECT_EQ(fault.cutBacks, 2);
    EXPECT_EQ(master(), "H\r\n" + responseInMaster("Q", "`questionNumber 10000 ", "A"));
    EXPECT_EQ(send(), "");
    EXPECT_EQ(toolkit.answerBox, "A");
    for (int n : {1, 2})
        EXPECT_FALSE(files.isOpen(n)) << n;
}

TEST_F(RecordsTest, FailedOpenLeavesNoFileOpen)
{
    s.questionText = "Q";
    toolkit.answerBox = "A";
    FailOpen locked(2, 70);
    files.setHost(locked);
    form.cmd_enter_response_Click();
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0], runtimeError(70, "Permission denied"));
    EXPECT_FALSE(files.isOpen(1));
    EXPECT_EQ(master(), "");
    EXPECT_EQ(toolkit.answerBox, "A");

    files.setHost(systemHost());
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
