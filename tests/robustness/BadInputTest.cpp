// Every prompt and box fed what a student (or a stuck key) might give it:
// nothing, Cancel, megabytes, path characters, control characters, numbers
// in odd forms. Each gives its described outcome, and nothing crashes or
// writes outside the base folder.

#include "paging/LessonLineText.h"
#include "platform/CodePage.h"
#include "platform/FileTable.h"
#include "platform/Host.h"
#include "platform/Journal.h"
#include "run/LessonForm.h"

#include "fakes/FormOnFakes.h"
#include "fakes/FakeToolkit.h"
#include "fakes/TempDrive.h"
#include "robustness/RecordLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace qal::test {
namespace {

namespace fs = std::filesystem;

const std::string general = LessonForm::generalErrorMessage;
const std::string invalid = invalidAssignmentMessage;

// One run on a fresh temporary drive C.
struct StudentRun : FormOnFakes {
    explicit StudentRun(std::deque<std::string> replies, std::vector<std::string> lesson = {})
    {
        startUp(std::move(replies), std::move(lesson));
    }

    // Every file on the drive, as a path relative to its root.
    // Every file under drive C, as "folder/name" in UTF-8 whatever the host's
    // separator and encoding.
    std::vector<std::string> fileList() const
    {
        std::vector<std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(drive.root())) {
            if (!e.is_regular_file())
                continue;
            std::string name;
            for (const fs::path& part : fs::relative(e.path(), drive.root()))
                name += (name.empty() ? "" : "/") + utf8FromHostPath(part);
            out.push_back(name);
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    // name in UTF-8.
    std::string bytes(const std::string& name) const
    {
        return readBytes(drive.root() / "drovnel" / hostPathFromUtf8(name));
    }
};

// The journal of a unit whose first file is name, in the folder's listing:
// a dot-name that fits the host's limit however long name is.
std::string journalOf(const std::string& name)
{
    return "drovnel/" + utf8FromHostPath(journalPath(hostPathFromUtf8(name)));
}

TEST(BadInputTest, EmptyRepliesAndCancelAtEveryPrompt)
{
    // The fake answers Cancel (empty text) once its replies run out.
    const struct {
        const char* name;
        std::deque<std::string> replies;
        std::vector<std::string> messages;
        bool ends;
        std::vector<std::string> files;
    } cases[] = {
        {"Cancel at the first prompt", {}, {general + "13", invalid}, true, {}},
        {"empty first reply", {""}, {general + "13", invalid}, true, {}},
        {"blanks as first reply", {"   "}, {general + "13", invalid}, true, {}},
        {"Cancel at the name", {"1"}, {invalid}, true, {}},
        {"Cancel at the initials", {"1", "Ann Lee"}, {invalid}, true, {}},
        {"Cancel at the assignment", {"1", "Ann Lee", "ALX"}, {invalid}, true, {}},
        {"empty name and initials",
         {"1", "", "", "1"},
         {},
         false,
         {"drovnel/.masterFile_.txt-journal", "drovnel/masterFile_.txt", "drovnel/send_1207.txt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StudentRun run(c.replies);
        EXPECT_EQ(run.toolkit.messages, c.messages);
        EXPECT_EQ(run.form.ended(), c.ends);
        EXPECT_EQ(run.toolkit.endCalls, c.ends ? 1 : 0);
        EXPECT_EQ(run.fileList(), c.files);
        // Later events after the end are ignored; otherwise they work.
        run.form.cmdNextQuestion_Click();
        run.toolkit.answerBox = "answer";
        run.form.cmd_enter_response_Click();
        EXPECT_EQ(run.toolkit.messages, c.messages);
    }
}

TEST(BadInputTest, NamesBecomeFileNamesInsideTheBaseFolder)
{
    const struct {
        const char* name;
        std::string typed;
        std::string form; // the file name form of the name
    } cases[] = {
        {"blanks", "Ann  Lee ", "Ann__Lee_"},
        {"climbing out with backslashes", "..\\..\\evil", ".._.._evil"},
        {"climbing out with slashes", "../../evil", ".._.._evil"},
        {"a whole parent folder", "..", ".."},
        {"drive and every character Windows refuses", "c:a*b?c\"d<e>f|g", "c_a_b_c_d_e_f_g"},
        {"control characters", "tab\there\x01\x1f\x7f", "tab_here__\x7f"},
        {"Windows-1252 letters", "Jos\xe9 M\xfcller \x80", "Jos\xe9_M\xfcller_\x80"},
        {"characters outside the code page, as the window passes them", "?? ?", "____"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StudentRun run({"1", c.typed, "ALX", "1"});
        EXPECT_TRUE(run.toolkit.messages.empty());
        EXPECT_EQ(run.form.state().studentName, c.typed);
        run.form.cmdNextQuestion_Click();
        run.toolkit.answerBox = "a note";
        run.form.cmd_save_as_notes_Click();
        EXPECT_TRUE(run.toolkit.messages.empty());
        // On the host the file names are UTF-8.
        const std::string host = cp1252ToUtf8(c.form);
        // The journal beside the master file stays while the run goes on.
        EXPECT_EQ(run.fileList(), (std::vector<std::string>{
                                      journalOf("masterFile_" + host + ".txt"), "drovnel/masterFile_" + host + ".txt",
                                      "drovnel/notes_" + host + ".txt", "drovnel/send_1207" + host + ".txt"}));
        // The header keeps the name as typed, in Windows-1252.
        const RecordFile master = parseRecordFile(run.bytes("masterFile_" + host + ".txt"), RecordFileKind::Master);
        ASSERT_TRUE(master.whole()) << master.error;
        ASSERT_EQ(master.blocks.size(), 2u);
        EXPECT_EQ(master.blocks[0].text, c.typed);
    }
}

TEST(BadInputTest, OverlongNamesAreCutInTheFileNamesOnly)
{
    // "masterFile_" and ".txt" take 15 of the host's 255 bytes a file name,
    // so 240 bytes are left for the name, counted in UTF-8 as the host's
    // file names are written: an accented letter takes two, the euro sign three.
    const struct {
        const char* what;
        std::string name;
        std::string inFileNames;
    } cases[] = {
        {"longest that fits", std::string(240, 'n'), std::string(240, 'n')},
        {"one too long", std::string(241, 'n'), std::string(240, 'n')},
        {"three hundred characters", std::string(300, 'n'), std::string(240, 'n')},
        {"a megabyte", std::string(1 << 20, 'n'), std::string(240, 'n')},
        {"blanks become underscores first", "Ann " + std::string(300, 'x'), "Ann_" + std::string(236, 'x')},
        {"accented letters count two", std::string(121, '\xE9'), std::string(120, '\xE9')},
        {"a euro sign is never cut in half", std::string(239, 'n') + "\x80", std::string(239, 'n')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StudentRun run({"1", c.name, "ALX", "1"});
        EXPECT_TRUE(run.toolkit.messages.empty());
        run.form.cmdNextQuestion_Click();
        run.toolkit.answerBox = "kept";
        run.form.cmd_save_as_notes_Click();
        EXPECT_TRUE(run.toolkit.messages.empty());
        const std::string host = cp1252ToUtf8(c.inFileNames);
        // The journal beside the master file stays while the run goes on.
        EXPECT_EQ(run.fileList(), (std::vector<std::string>{
                                      journalOf("masterFile_" + host + ".txt"), "drovnel/masterFile_" + host + ".txt",
                                      "drovnel/notes_" + host + ".txt", "drovnel/send_1207" + host + ".txt"}));
        // The files hold the name as typed.
        const RecordFile master = parseRecordFile(run.bytes("masterFile_" + host + ".txt"), RecordFileKind::Master);
        ASSERT_TRUE(master.whole()) << master.error;
        ASSERT_EQ(master.blocks.size(), 2u);
        EXPECT_TRUE(master.blocks[0].text == c.name);
        EXPECT_EQ(master.blocks[1].text, "kept");
    }
}

TEST(BadInputTest, NamesThatDifferOnlyPastTheCutShareTheirFiles)
{
    const std::string common(300, 'n');
    StudentRun first({"1", common + "a", "ALX", "1"});
    FormOnCurrentDrive second; // on the first run's drive
    second.startUp({"1", common + "b", "ALX", "1"});
    EXPECT_TRUE(first.toolkit.messages.empty());
    EXPECT_TRUE(second.toolkit.messages.empty());
    const RecordFile master =
        parseRecordFile(first.bytes("masterFile_" + std::string(240, 'n') + ".txt"), RecordFileKind::Master);
    ASSERT_TRUE(master.whole()) << master.error;
    ASSERT_EQ(master.blocks.size(), 2u);
    EXPECT_TRUE(master.blocks[0].text == common + "a");
    EXPECT_TRUE(master.blocks[1].text == common + "b");
}

// A student whose send and master files an earlier version named in
// Windows-1252 bytes: the run renames them to UTF-8 as it first writes to
// them, so the new notes file and the old files carry one encoding.
TEST(BadInputTest, FilesNamedInBytesByAnEarlierVersionAreRenamedToUtf8)
{
    if (hostMatchesLetterCase())
        GTEST_SKIP() << "no older byte form on Windows: its names were always UTF-16";
    FormOnFakes run;
    const fs::path folder = run.drive.drovnel();
    const std::string inBytes = "Jos\xe9_N\xfa\xf1\x65z.txt"; // José Núñez
    const std::string name = "Jos\xc3\xa9_N\xc3\xba\xc3\xb1\x65z.txt";
    writeBytes(folder / ("masterFile_" + inBytes), "old master\r\n");
    writeBytes(folder / ("send_1207" + inBytes), "old send\r\n");
    run.startUp({"1", "Jos\xe9 N\xfa\xf1\x65z", "JNX", "1"});
    run.form.cmdNextQuestion_Click();
    run.toolkit.answerBox = "a note";
    run.form.cmd_save_as_notes_Click();
    EXPECT_TRUE(run.toolkit.messages.empty());
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(folder))
        files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{".masterFile_" + name + "-journal", "masterFile_" + name,
                                               "notes_" + name, "send_1207" + name}));
    // What they held is kept, the header block and the note after it.
    const std::string master = readBytes(folder / ("masterFile_" + name));
    const std::string send = readBytes(folder / ("send_1207" + name));
    ASSERT_TRUE(master.starts_with("old master\r\n"));
    ASSERT_TRUE(send.starts_with("old send\r\n"));
    for (const auto& [bytes, kind] :
         {std::pair{master.substr(12), RecordFileKind::Master}, std::pair{send.substr(10), RecordFileKind::Send}}) {
        const RecordFile file = parseRecordFile(bytes, kind);
        ASSERT_TRUE(file.whole()) << file.error;
        ASSERT_EQ(file.blocks.size(), 2u);
        EXPECT_EQ(file.blocks[1].text, "a note");
    }
}

TEST(BadInputTest, HugeRepliesAndAnswersAreWrittenWhole)
{
    const std::string initials(1 << 20, 'I');
    StudentRun run({"1", "Ann Lee", initials, "1"});
    ASSERT_TRUE(run.toolkit.messages.empty());
    run.form.cmdNextQuestion_Click();

    // Ten megabytes of text with line breaks, every byte value but CR and LF
    // among them (the window never passes a lone one).
    std::string answer;
    answer.reserve(10u << 20);
    for (std::size_t i = 0; answer.size() < (10u << 20); ++i) {
        const auto c = static_cast<char>(i % 256);
        if (c != '\r' && c != '\n')
            answer += c;
        if (i % 4000 == 3999)
            answer += "\r\n";
    }
    run.toolkit.answerBox = answer;
    run.form.cmd_enter_response_Click();
    run.toolkit.answerBox = answer;
    run.form.cmd_save_as_notes_Click();
    EXPECT_TRUE(run.toolkit.messages.empty());

    const RecordFile master = parseRecordFile(run.bytes("masterFile_Ann_Lee.txt"), RecordFileKind::Master);
    ASSERT_TRUE(master.whole()) << master.error;
    ASSERT_EQ(master.blocks.size(), 3u);
    EXPECT_TRUE(master.blocks[1].text == answer) << "the response changed on its way";
    EXPECT_TRUE(master.blocks[2].text == answer) << "the note changed on its way";
    EXPECT_NE(run.bytes("masterFile_Ann_Lee.txt").find("Initials:  " + initials + "\r\n"), std::string::npos);

    // Display notes reads the notes file back, its line breaks dropped,
    // after what Save as Notes left in workingText.
    std::string joined = run.bytes("notes_Ann_Lee.txt");
    joined.erase(std::remove(joined.begin(), joined.end(), '\r'), joined.end());
    joined.erase(std::remove(joined.begin(), joined.end(), '\n'), joined.end());
    run.form.cmd_display_note_file_Click();
    EXPECT_TRUE(run.toolkit.messages.empty());
    EXPECT_TRUE(run.toolkit.questionBox == "NOTES -------> " + answer + joined);
}

TEST(BadInputTest, AssignmentNumbersInOddForms)
{
    // A lesson with headers that odd replies could reach after padding.
    const std::vector<std::string> lesson{"000.  zero", "", "q0",   "0-1.  minus",   "", "q-1",
                                          "1e2.  exp",  "", "q1e2", "100.  hundred", "", "q100",
                                          "101.  past", "", "q101"};
    const struct {
        const char* reply;
        bool ownLesson;
        const char* header; // empty: the invalid-assignment message ends the run
        bool masterCreated;
    } cases[] = {
        {"1", false, "001.  Part B", true},
        {"01", false, "001.  Part B", true},
        {"001", false, "001.  Part B", true},
        {"0001", false, "", false}, // four digits never match
        {"1.0", false, "", false},
        {" 1", false, "", false},
        {"1 ", false, "", false},
        {" 1 ", false, "", false},
        {"-1", false, "", false},
        {"1e2", false, "", false},
        {"101", false, "", false},
        {"abc", false, "", false},
        {"2", false, "", false},
        {"0", true, "000.  zero", true},
        {"-1", true, "0-1.  minus", true}, // padded to 0-1, which reads as 0
        {"1e2", true, "1e2.  exp", true},  // reads as 1
        {"100", true, "100.  hundred", true},
        {"101", true, "", true}, // found, but past the start-question table
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.reply + "\"" + (c.ownLesson ? " with its own header" : ""));
        StudentRun run({"1", "Ann Lee", "ALX", c.reply}, c.ownLesson ? lesson : std::vector<std::string>{});
        const bool valid = *c.header != '\0';
        EXPECT_EQ(run.form.ended(), !valid);
        EXPECT_EQ(run.toolkit.messages, valid ? std::vector<std::string>{} : std::vector<std::string>{invalid});
        EXPECT_EQ(fs::exists(run.drive.root() / "drovnel" / "masterFile_Ann_Lee.txt"), c.masterCreated);
        if (!valid) {
            EXPECT_EQ(run.bytes("masterFile_Ann_Lee.txt"), "");
            EXPECT_FALSE(fs::exists(run.drive.root() / "drovnel" / "send_1207Ann_Lee.txt"));
            continue;
        }
        const RecordFile master = parseRecordFile(run.bytes("masterFile_Ann_Lee.txt"), RecordFileKind::Master);
        ASSERT_TRUE(master.whole()) << master.error;
        ASSERT_EQ(master.blocks.size(), 1u);
        EXPECT_EQ(master.blocks[0].question, c.header);
        // The first question is the one after the header.
        run.form.cmdNextQuestion_Click();
        EXPECT_FALSE(run.toolkit.questionBox.empty());
        EXPECT_FALSE(run.form.ended());
    }
}

TEST(BadInputTest, FirstRepliesThatAreNotPlainNumbers)
{
    const struct {
        std::string reply;
        const char* outcome; // "13": type mismatch then the end; "local"; "lan"
    } cases[] = {
        {"abc", "13"},
        {"0x2", "13"},
        {"2,0", "13"},
        {"2 2", "13"},
        {"1e999", "13"},
        {std::string(1 << 20, '9'), "13"},
        {std::string("2\0", 2), "13"},
        {"1e2", "local"},
        {"-0", "local"},
        {"\t1\t", "local"},
        {"2e0", "lan"},
        {"+2", "lan"},
        {"0002.000", "lan"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.substr(0, 20));
        StudentRun run({c.reply, "Ann Lee", "ALX", "1"});
        const std::string outcome = c.outcome;
        if (outcome == "13") {
            EXPECT_EQ(run.toolkit.messages, (std::vector<std::string>{general + "13", invalid}));
            EXPECT_TRUE(run.form.ended());
        } else if (outcome == "local") {
            EXPECT_TRUE(run.toolkit.messages.empty());
            EXPECT_EQ(run.form.state().baseFolder, "c:\\drovnel");
        } else {
            // The LAN drive is not there: reported, and the window opens.
            EXPECT_EQ(run.toolkit.messages, std::vector<std::string>{general + "76"});
            EXPECT_FALSE(run.form.ended());
            EXPECT_EQ(run.form.state().baseFolder.substr(0, 3), "i:\\");
        }
    }
}

} // namespace
} // namespace qal::test
