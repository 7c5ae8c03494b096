#include "platform/FileTable.h"
#include "platform/RunError.h"
#include "run/LessonForm.h"

#include "fakes/FakeToolkit.h"
#include "fakes/TempDrive.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

namespace qal {
namespace {

namespace fs = std::filesystem;
using test::FakeClock;
using test::FakeToolkit;
using test::readBytes;
using test::ScriptedRandom;
using test::TempDrive;

// The random values make a known code line: 19 passes (0.0 -> 19), then every
// pass draws r1 = 0.5 (no low character) and r3 = 0.5 (137 * 0.5 + 118 = 186.5 -> 186).
class OpenAssignmentTest : public ::testing::Test {
protected:
    TempDrive drive;
    FakeToolkit toolkit;
    FileTable files;
    FakeClock clock;
    ScriptedRandom random;
    fs::path dir = drive.root() / "drovnel";

    std::string runStartUp(std::initializer_list<const char*> replies)
    {
        toolkit = FakeToolkit{};
        for (const char* r : replies)
            toolkit.replies.push_back(r);
        random.values = {0.0f, 0.5f};
        LessonForm form{toolkit, files, clock, random};
        form.Form_Load();
        ended = form.ended();
        state = form.state();
        return codeLine();
    }
    static std::string codeLine() { return std::string(19, '\xBA'); }

    bool ended = false;
    RunState state;
};

TEST_F(OpenAssignmentTest, WritesTheHeaderBlockToMasterAndSendFiles)
{
    runStartUp({"1", "Ann Lee", "ALX", "1"});
    EXPECT_FALSE(ended);
    EXPECT_TRUE(toolkit.messages.empty());
    EXPECT_EQ(state.lineCounter, 1);
    EXPECT_EQ(state.startQuestion, "");
    const std::string head =
        codeLine() + "\r\nStudent Name:  Ann Lee\r\nassignment #001\r\n001.  Part B\r\nInitials:  ALX\r\n";
    EXPECT_EQ(readBytes(dir / "masterFile_Ann_Lee.txt"), head + "Date and Time 12-07-202614:03:09\r\n");
    EXPECT_EQ(readBytes(dir / "send_1207Ann_Lee.txt"), head + "Date and Time 12-07-2026 14:03:09\r\n");
    EXPECT_FALSE(fs::exists(dir / "notes_Ann_Lee.txt"));
    for (int n = 1; n <= 3; ++n)
        EXPECT_FALSE(files.isOpen(n));
}

TEST_F(OpenAssignmentTest, SecondRunAppendsASecondBlockAndAnotherDayANewSendFile)
{
    runStartUp({"1", "Ann Lee", "ALX", "1"});
    const std::string first = readBytes(dir / "masterFile_Ann_Lee.txt");
    clock.reading = {"12-08-2026", "09:00:00", 32400.0f};
    runStartUp({"1", "Ann Lee", "", "01"});
    const std::string second = codeLine() +
                               "\r\nStudent Name:  Ann Lee\r\nassignment #001\r\n001.  Part B\r\nInitials:  \r\n"
                               "Date and Time 12-08-202609:00:00\r\n";
    EXPECT_EQ(readBytes(dir / "masterFile_Ann_Lee.txt"), first + second);
    EXPECT_TRUE(fs::exists(dir / "send_1207Ann_Lee.txt"));
    EXPECT_EQ(readBytes(dir / "send_1208Ann_Lee.txt").size(), second.size() + 1);
}

TEST_F(OpenAssignmentTest, ExistingMasterFileIsFoundWhateverItsLetterCase)
{
    fs::create_directories(dir);
    test::writeBytes(dir / "masterFile_ann_lee.txt", "earlier\r\n");
    runStartUp({"1", "Ann Lee", "ALX", "1"});
    EXPECT_FALSE(fs::exists(dir / "masterFile_Ann_Lee.txt"));
    EXPECT_EQ(readBytes(dir / "masterFile_ann_lee.txt").substr(0, 9), "earlier\r\n");
}

TEST_F(OpenAssignmentTest, WrongAssignmentEndsTheProgramAndTouchesNoFile)
{
    for (const char* reply : {"2", "0001", "", "abc", "101", "1e2", "0"}) {
        runStartUp({"1", "Ann Lee", "ALX", reply});
        EXPECT_TRUE(ended) << reply;
        EXPECT_EQ(toolkit.messages, std::vector<std::string>{LessonForm::invalidAssignmentMessage}) << reply;
        EXPECT_EQ(toolkit.endCalls, 1);
        EXPECT_FALSE(fs::exists(dir / "masterFile_Ann_Lee.txt")) << reply;
        EXPECT_FALSE(fs::exists(dir / "send_1207Ann_Lee.txt")) << reply;
    }
}

TEST_F(OpenAssignmentTest, AssignmentAbove100FailsTheStartQuestionLookupEvenWithAHeader)
{
    toolkit = FakeToolkit{};
    toolkit.replies = {"1", "Ann Lee", "ALX", "101"};
    LessonForm form{toolkit, files, clock, random};
    form.setLessonLines({"101.  Extra", "", "Q"});
    form.Form_Load();
    EXPECT_TRUE(form.ended());
    EXPECT_EQ(toolkit.messages, std::vector<std::string>{LessonForm::invalidAssignmentMessage});
    // The master file was made before the lookup; nothing was written to it.
    EXPECT_EQ(readBytes(dir / "masterFile_Ann_Lee.txt"), "");
    EXPECT_FALSE(fs::exists(dir / "send_1207Ann_Lee.txt"));
}

TEST_F(OpenAssignmentTest, MissingBaseFolderReportsTheFileSystemNumberAndGoesOn)
{
    unsetenv("QALESSON_DRIVE_I");
    runStartUp({"2", "Ann Lee", "ALX", "1"});
    EXPECT_FALSE(ended);
    EXPECT_EQ(toolkit.messages, std::vector<std::string>{std::string(LessonForm::generalErrorMessage) + "76"});
    EXPECT_EQ(state.lineCounter, 1);
}

TEST_F(OpenAssignmentTest, FailureHalfWayWritesNoHeaderLineAndClosesTheFiles)
{
    struct FailFourthWrite : FileFaults {
        int writes = 0;
        int beforeWrite(int) override { return ++writes == 4 ? err::DiskFull : 0; }
    } faults;
    files.setFaults(&faults);
    runStartUp({"1", "Ann Lee", "ALX", "1"});
    EXPECT_FALSE(ended);
    EXPECT_EQ(toolkit.messages, std::vector<std::string>{std::string(LessonForm::generalErrorMessage) + "61"});
    // The header block is whole or absent: the master file was made, but no
    // line of the block stays; no file number stays open behind it.
    EXPECT_EQ(readBytes(dir / "masterFile_Ann_Lee.txt"), "");
    EXPECT_EQ(readBytes(dir / "send_1207Ann_Lee.txt"), "");
    EXPECT_FALSE(files.isOpen(1));
    EXPECT_FALSE(files.isOpen(2));
}

TEST_F(OpenAssignmentTest, EmptyAssignmentMatchesOnlyALonePointLine)
{
    toolkit = FakeToolkit{};
    toolkit.replies = {"1", "Ann Lee", "ALX", ""};
    LessonForm form{toolkit, files, clock, random};
    form.setLessonLines({"001.  Part B", ".", "Q"});
    form.Form_Load();
    EXPECT_FALSE(form.ended());
    EXPECT_EQ(form.state().lineCounter, 2);
    EXPECT_NE(readBytes(dir / "masterFile_Ann_Lee.txt").find("assignment #\r\n.\r\n"), std::string::npos);
}

} // namespace
} // namespace qal
