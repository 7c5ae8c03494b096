#include "platform/FileTable.h"
#include "platform/RunError.h"

#include "fakes/TempDrive.h"

#include <gtest/gtest.h>

#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>

namespace qal {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::TempDrive;
using test::writeBytes;

int errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const RunError& e) {
        return e.number();
    }
    return 0;
}

class FileTableTest : public ::testing::Test {
protected:
    TempDrive drive;
    FileTable files;
    fs::path dir = drive.drovnel();
};

TEST_F(FileTableTest, AppendWritesLinesWithCrLfAndKeepsWhatWasThere)
{
    writeBytes(dir / "a.txt", "old\r\n");
    files.open(1, "c:\\drovnel\\a.txt", FileMode::Append);
    files.writeLine(1, "first");
    files.writeLine(1, "");
    files.writeLine(1, "caf\xE9 \x80");
    files.close(1);
    EXPECT_EQ(readBytes(dir / "a.txt"), "old\r\nfirst\r\n\r\ncaf\xE9 \x80\r\n");
}

TEST_F(FileTableTest, AppendCreatesAMissingFileAndOutputEmptiesOne)
{
    files.open(2, "c:\\drovnel\\new.txt", FileMode::Append);
    files.close(2);
    EXPECT_TRUE(fs::exists(dir / "new.txt"));
    EXPECT_EQ(readBytes(dir / "new.txt"), "");

    writeBytes(dir / "out.txt", "was here\r\n");
    files.open(2, "c:\\drovnel\\out.txt", FileMode::Output);
    files.writeLine(2, "now");
    files.close(2);
    EXPECT_EQ(readBytes(dir / "out.txt"), "now\r\n");
}

TEST_F(FileTableTest, ReadsLinesWhateverTheirEnds)
{
    writeBytes(dir / "in.txt", "abc\r\ndef\nghi\r\rlast");
    files.open(3, "c:\\drovnel\\in.txt", FileMode::Input);
    std::vector<std::string> lines;
    while (!files.eof(3))
        lines.push_back(files.readLine(3));
    EXPECT_EQ(lines, (std::vector<std::string>{"abc", "def", "ghi", "", "last"}));
    EXPECT_EQ(errorOf([&] { files.readLine(3); }), err::InputPastEndOfFile);
    files.close(3);
}

TEST_F(FileTableTest, ReadsLinesAcrossItsReadAheadChunks)
{
    // Lines longer than the read-ahead and a CR LF split between two chunks.
    std::string content;
    std::vector<std::string> expected;
    for (int i = 0; i < 40; ++i) {
        std::string line(static_cast<std::size_t>(4093 * i % 70001), static_cast<char>('a' + i % 26));
        expected.push_back(line);
        content += line + "\r\n";
    }
    writeBytes(dir / "big.txt", content);
    files.open(1, "c:\\drovnel\\big.txt", FileMode::Input);
    std::vector<std::string> lines;
    while (!files.eof(1))
        lines.push_back(files.readLine(1));
    EXPECT_EQ(lines, expected);
}

TEST_F(FileTableTest, EmptyFileIsAtItsEndAtOnce)
{
    writeBytes(dir / "empty.txt", "");
    files.open(1, "c:\\drovnel\\empty.txt", FileMode::Input);
    EXPECT_TRUE(files.eof(1));
    EXPECT_EQ(errorOf([&] { files.readLine(1); }), err::InputPastEndOfFile);
}

TEST_F(FileTableTest, FailuresCarryThePlatformNumbers)
{
    writeBytes(dir / "x.txt", "x");
    fs::create_directories(dir / "folder.txt");
    const struct {
        const char* what;
        std::function<void()> action;
        int number;
    } cases[] = {
        {"missing file for input", [&] { files.open(1, "c:\\drovnel\\none.txt", FileMode::Input); }, err::FileNotFound},
        {"missing folder on the way", [&] { files.open(1, "c:\\nofolder\\a.txt", FileMode::Append); }, err::PathNotFound},
        {"missing folder for input", [&] { files.open(1, "c:\\nofolder\\a.txt", FileMode::Input); }, err::PathNotFound},
        {"unmapped drive", [&] { files.open(1, "q:\\a.txt", FileMode::Append); }, err::PathNotFound},
        {"a folder where the file should be", [&] { files.open(1, "c:\\drovnel\\folder.txt", FileMode::Append); }, err::PathFileAccessError},
        {"number out of range", [&] { files.open(0, "c:\\drovnel\\x.txt", FileMode::Append); }, err::BadFileNameOrNumber},
        {"write to a closed number", [&] { files.writeLine(2, "x"); }, err::BadFileNameOrNumber},
        {"read from a closed number", [&] { files.readLine(2); }, err::BadFileNameOrNumber},
        {"folder exists", [&] { files.createFolder("c:\\drovnel"); }, err::PathFileAccessError},
        {"folder's parent missing", [&] { files.createFolder("c:\\a\\b"); }, err::PathNotFound},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errorOf(c.action), c.number) << c.what;
    EXPECT_FALSE(files.isOpen(1));
}

TEST_F(FileTableTest, OpeningAnOpenNumberFailsAndClosingAClosedOneDoesNothing)
{
    files.open(1, "c:\\drovnel\\a.txt", FileMode::Append);
    EXPECT_EQ(errorOf([&] { files.open(1, "c:\\drovnel\\b.txt", FileMode::Append); }), err::FileAlreadyOpen);
    files.close(1);
    EXPECT_EQ(errorOf([&] { files.close(1); }), 0);
    EXPECT_EQ(errorOf([&] { files.close(3); }), 0);
    EXPECT_EQ(errorOf([&] { files.closeAll(); }), 0);
}

TEST_F(FileTableTest, ReadOnlyFolderRefusesToOpen)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write anywhere";
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(errorOf([&] { files.open(1, "c:\\drovnel\\a.txt", FileMode::Append); }), err::PathFileAccessError);
}

TEST_F(FileTableTest, InjectedFaultsFailTheOperationWithTheirNumber)
{
    struct FailSecondWrite : FileFaults {
        int writes = 0;
        int beforeWrite(int) override { return ++writes == 2 ? err::DiskFull : 0; }
    } faults;
    files.setFaults(&faults);
    files.open(1, "c:\\drovnel\\a.txt", FileMode::Append);
    files.writeLine(1, "one");
    EXPECT_EQ(errorOf([&] { files.writeLine(1, "two"); }), err::DiskFull);
    files.writeLine(1, "three");
    files.close(1);
    EXPECT_EQ(readBytes(dir / "a.txt"), "one\r\nthree\r\n");
}

TEST_F(FileTableTest, ALockedFileFailsWithPermissionDeniedAfterTheWait)
{
    writeBytes(dir / "a.txt", "");
    // Another run holds the file locked while it writes a record.
    const int other = ::open((dir / "a.txt").c_str(), O_WRONLY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    files.setLockTimeoutMs(200);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(errorOf([&] { files.open(1, "c:\\drovnel\\a.txt", FileMode::Append); }), err::PermissionDenied);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_FALSE(files.isOpen(1));
    // Once it lets go, the file opens.
    ::close(other);
    files.open(1, "c:\\drovnel\\a.txt", FileMode::Append);
    EXPECT_TRUE(files.isOpen(1));
}

} // namespace
} // namespace qal
