#include "recording/RecordingFixture.h"
#include "fakes/CaseTable.h"
#include "fakes/StepFault.h"

#include <ostream>

namespace qal::test {
namespace {

using test::PrintTo; // where GoogleTest looks for it

using ViewingCommandsTest = RecordingTest;

TEST_F(ViewingCommandsTest, DisplayNotesRunsTheLinesTogetherAfterTheBox)
{
    writeBytes(notesPath(), "abc\r\ndef\r\n");
    toolkit.questionBox = "Q";
    form.cmd_display_note_file_Click();
    EXPECT_EQ(toolkit.questionBox, "Qabcdef");
    EXPECT_EQ(s.workingText, "abcdef");
    EXPECT_FALSE(files.isOpen(3));
    // workingText keeps what it gathered, so a second display repeats it.
    form.cmd_display_note_file_Click();
    EXPECT_EQ(toolkit.questionBox, "Qabcdefabcdefabcdef");
    EXPECT_EQ(s.workingText, "abcdefabcdef");
    EXPECT_TRUE(toolkit.messages.empty());
}

struct NotesFileCase {
    const char* name;
    std::string bytes;
    std::string gathered;
};

// Test output names the case instead of dumping its bytes.
class NotesFileTest : public RecordingTest, public ::testing::WithParamInterface<NotesFileCase> {};

TEST_P(NotesFileTest, AppendsOldWorkingTextThenTheLines)
{
    writeBytes(notesPath(), GetParam().bytes);
    toolkit.questionBox = "Q";
    s.workingText = "W";
    form.cmd_display_note_file_Click();
    EXPECT_EQ(toolkit.questionBox, "QW" + GetParam().gathered);
    EXPECT_EQ(s.workingText, "W" + GetParam().gathered);
}

// One case a row.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, NotesFileTest,
    ::testing::Values(
        NotesFileCase{"Empty", "", ""},
        NotesFileCase{"NoFinalLineEnd", "abc\r\ndef", "abcdef"},
        NotesFileCase{"EmptyLines", "\r\n\r\nx\r\n", "x"},
        NotesFileCase{"BlanksKept", " a \r\n b\r\n", " a  b"},
        NotesFileCase{"CodePageBytesKept", "caf\xE9\r\n\x93quoted\x94\r\n", "caf\xE9\x93quoted\x94"}),
    caseName);
// clang-format on

TEST_F(ViewingCommandsTest, DisplayNotesAfterNextQuestionShowsTheBoxTwice)
{
    writeBytes(notesPath(), "abc\r\ndef\r\n");
    s.lessonLines[3] = "First question";
    form.cmdNextQuestion_Click();
    form.cmd_display_note_file_Click();
    EXPECT_EQ(toolkit.questionBox, "First questionFirst questionabcdef");
}

TEST_F(ViewingCommandsTest, DisplayNotesShowsWhatSaveAsNotesWrote)
{
    s.questionText = "Q";
    toolkit.answerBox = "my note";
    form.cmd_save_as_notes_Click();
    form.cmd_display_note_file_Click();
    EXPECT_EQ(toolkit.questionBox, "NOTES -------> my note"
                                   "......!!!!!!!!..................................."
                                   "                                    14:03:09"
                                   "                                    12-07-202614:03:09"
                                   "Q"
                                   "......!!!!!!!!..................................."
                                   "NOTES -------> my note"
                                   ".................................................");
}

TEST_F(ViewingCommandsTest, MissingNotesFileLeavesTheBoxAndTheProgramRunning)
{
    toolkit.questionBox = "Q";
    s.workingText = "W";
    form.cmd_display_note_file_Click();
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0], runtimeError(53, "File not found"));
    EXPECT_FALSE(form.ended());
    EXPECT_EQ(toolkit.questionBox, "Q");
    EXPECT_EQ(s.workingText, "W");
    EXPECT_FALSE(files.isOpen(3));
    // Once notes are saved, the same command works.
    toolkit.answerBox = "N";
    form.cmd_save_as_notes_Click();
    toolkit.questionBox = "Q";
    s.workingText.clear();
    form.cmd_display_note_file_Click();
    EXPECT_EQ(toolkit.messages.size(), 1u);
    EXPECT_NE(toolkit.questionBox.find("NOTES -------> N"), std::string::npos);
}

// A notes file whose reading fails, at once or midway: the run-time error,
// and nothing of the file shown or gathered, as when it is missing; the next
// display shows it whole.
TEST_F(ViewingCommandsTest, NotesFileThatFailsToReadLeavesTheBoxAndTheGatheredText)
{
    // Longer than one read: the second read is midway through it.
    std::string notes;
    for (int i = 0; notes.size() < (std::size_t{1} << 17); ++i)
        notes += "note " + std::to_string(i) + "\r\n";
    writeBytes(notesPath(), notes);
    const struct {
        const char* what;
        int failingRead;
    } cases[] = {{"the first read", 1}, {"a read midway", 2}, {"the read at the end", 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        toolkit.messages.clear();
        toolkit.questionBox = "Q";
        s.workingText = "W";
        StepFault fault(StepFault::Read, 3, 57, c.failingRead);
        files.setHost(fault);
        form.cmd_display_note_file_Click();
        files.setHost(systemHost());
        EXPECT_EQ(toolkit.messages, std::vector<std::string>{runtimeError(57, "Device I/O error")});
        EXPECT_FALSE(form.ended());
        EXPECT_EQ(toolkit.questionBox, "Q");
        EXPECT_EQ(s.workingText, "W");
        EXPECT_FALSE(files.isOpen(3));
        EXPECT_EQ(fault.openFiles(), 0u);
    }
    form.cmd_display_note_file_Click();
    EXPECT_EQ(toolkit.messages.size(), 1u);
    std::string gathered;
    for (std::size_t at = 0; at < notes.size(); at = notes.find("\r\n", at) + 2)
        gathered += notes.substr(at, notes.find("\r\n", at) - at);
    EXPECT_EQ(toolkit.questionBox, "QW" + gathered);
}

TEST_F(ViewingCommandsTest, DisplayNotesClosesFileThreeFirst)
{
    writeBytes(notesPath(), "abc\r\n");
    files.open(3, s.notesFilePath, FileMode::Input);
    files.readLine(3);
    form.cmd_display_note_file_Click();
    EXPECT_TRUE(toolkit.messages.empty());
    EXPECT_EQ(toolkit.questionBox, "abc");
}

TEST_F(ViewingCommandsTest, DisplayEverythingReplacesTheBoxWithTheTranscript)
{
    toolkit.questionBox = "typed into the question box";
    form.cmd_displayCumulativeText_Click();
    EXPECT_EQ(toolkit.questionBox, "");

    s.lessonLines[3] = "A";
    form.cmdNextQuestion_Click();
    toolkit.answerBox = "R";
    form.cmd_enter_response_Click();
    toolkit.questionBox = "something";
    form.cmd_displayCumulativeText_Click();
    const std::string transcript = std::string(answerLabel) + "R" + questionLabel + "A";
    EXPECT_EQ(toolkit.questionBox, transcript);
    EXPECT_EQ(s.cumulativeText, transcript);
}

TEST_F(ViewingCommandsTest, ClearBoxEmptiesOnlyTheAnswerBoxAndAnEmptyResponseIsRecorded)
{
    s.questionText = "Q";
    toolkit.questionBox = "Q";
    toolkit.answerBox = prompt;
    s.resetAnswerBox = true;
    form.cmd_clear_answer_box_Click();
    EXPECT_EQ(toolkit.answerBox, "");
    EXPECT_EQ(toolkit.questionBox, "Q");
    EXPECT_TRUE(s.resetAnswerBox);
    form.cmd_enter_response_Click();
    EXPECT_EQ(send(), "......!!!!!!!!...................................\r\n"
                      "                                    14:03:09\r\n"
                      "Q\r\n"
                      "......!!!!!!!!...................................\r\n"
                      "RESPONSE -->  \r\n"
                      "\r\n"
                      ".................................................\r\n");
}

} // namespace
} // namespace qal::test
