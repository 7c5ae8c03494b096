#include "platform/FileTable.h"

#include "fakes/FaultyHost.h"
#include "platform/RunError.h"

#include "fakes/TempDrive.h"

#include <gtest/gtest.h>

#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <ctime>
#include <sys/wait.h>
#include <vector>

namespace qal {
namespace {

namespace fs = std::filesystem;
using test::FaultyHost;
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
        {"missing folder on the way", [&] { files.open(1, "c:\\nofolder\\a.txt", FileMode::Append); },
         err::PathNotFound},
        {"missing folder for input", [&] { files.open(1, "c:\\nofolder\\a.txt", FileMode::Input); }, err::PathNotFound},
        {"unmapped drive", [&] { files.open(1, "q:\\a.txt", FileMode::Append); }, err::PathNotFound},
        {"a folder where the file should be", [&] { files.open(1, "c:\\drovnel\\folder.txt", FileMode::Append); },
         err::PathFileAccessError},
        {"number out of range", [&] { files.open(0, "c:\\drovnel\\x.txt", FileMode::Append); },
         err::BadFileNameOrNumber},
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
    // An Output file writes each line as it comes, so a failed line is lost
    // and the next one still goes.
    struct FailSecondWrite : FaultyHost {
        int writes = 0;
        int beforeWrite(int) override { return ++writes == 2 ? err::DiskFull : 0; }
    } faults;
    files.setHost(faults);
    files.open(1, "c:\\drovnel\\a.txt", FileMode::Output);
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

// A file system that keeps no locks (NFS without its lock service).
struct NoLocks : FaultyHost {
    bool refusesLocks(int) override { return true; }
};

std::string thisHost()
{
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return name;
}

TEST_F(FileTableTest, WhereLocksAreRefusedALockFileNamingItsHolderStandsIn)
{
    NoLocks noLocks;
    files.setHost(noLocks);
    files.open(1, "c:\\drovnel\\a.txt", FileMode::Append);
    const std::string holder = readBytes(dir / "a.txt.lock");
    EXPECT_EQ(holder.substr(0, holder.rfind(' ')), thisHost() + " " + std::to_string(::getpid()));
    files.writeLine(1, "line");
    files.close(1);
    EXPECT_FALSE(fs::exists(dir / "a.txt.lock"));
    EXPECT_EQ(readBytes(dir / "a.txt"), "line\r\n");
}

// A master file that an earlier version named in Windows-1252 bytes is
// renamed to its UTF-8 form once, under its lock, before the first lines go
// to it; lines then go to it under that name. A host that refuses the rename,
// and a file system without locks, leave the old name in use.
TEST_F(FileTableTest, AFileUnderTheOlderByteFormIsRenamedOnceThenAppendedTo)
{
    struct Renames : FaultyHost {
        bool refuse = false;
        bool noLocks = false;
        int asked = 0;
        bool refusesRename(int) override { return ++asked, refuse; }
        bool refusesLocks(int) override { return noLocks; }
    };
    const struct {
        const char* what;
        const char* existing; // before the first open, holding "old"
        bool refuse;
        bool noLocks;
        const char* after; // the one file there after two records
        int renames;       // asked for
    } cases[] = {
        {"renamed", "masterFile_Zo\xeb_Ann.txt", false, false, "masterFile_Zo\xc3\xab_Ann.txt", 1},
        {"other case kept", "MASTERFILE_ZO\xcb_ANN.TXT", false, false, "MASTERFILE_ZO\xc3\x8b_ANN.TXT", 1},
        {"already UTF-8", "masterFile_Zo\xc3\xab_Ann.txt", false, false, "masterFile_Zo\xc3\xab_Ann.txt", 0},
        {"rename refused", "masterFile_Zo\xeb_Ann.txt", true, false, "masterFile_Zo\xeb_Ann.txt", 2},
        {"only a lock file", "masterFile_Zo\xeb_Ann.txt", false, true, "masterFile_Zo\xeb_Ann.txt", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDrive drive;
        const fs::path folder = drive.drovnel();
        writeBytes(folder / c.existing, "old\r\n");
        Renames host;
        host.refuse = c.refuse;
        host.noLocks = c.noLocks;
        FileTable table(host);
        for (const char* line : {"first", "second"}) {
            table.open(1, "c:\\drovnel\\masterFile_Zo\xeb_Ann.txt", FileMode::Append);
            table.writeLine(1, line);
            table.close(1);
        }
        EXPECT_EQ(host.asked, c.renames);
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>{c.after});
        EXPECT_EQ(readBytes(folder / c.after), "old\r\nfirst\r\nsecond\r\n");
    }
}

// A file already under the UTF-8 name is never replaced by a rename: when
// both forms are there, the UTF-8 one is used and the other left alone.
TEST_F(FileTableTest, BothFormsThereTheUtf8OneIsUsed)
{
    writeBytes(dir / "masterFile_Zo\xeb_Ann.txt", "bytes\r\n");
    writeBytes(dir / "masterFile_Zo\xc3\xab_Ann.txt", "utf-8\r\n");
    files.open(1, "c:\\drovnel\\masterFile_Zo\xeb_Ann.txt", FileMode::Append);
    files.writeLine(1, "line");
    files.close(1);
    EXPECT_EQ(readBytes(dir / "masterFile_Zo\xeb_Ann.txt"), "bytes\r\n");
    EXPECT_EQ(readBytes(dir / "masterFile_Zo\xc3\xab_Ann.txt"), "utf-8\r\nline\r\n");
}

TEST_F(FileTableTest, ALockFileLeftBehindIsTakenOverAndALiveOneWaitedFor)
{
    // A process that has ended, on this host.
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    ::waitpid(gone, nullptr, 0);
    const long long now = static_cast<long long>(std::time(nullptr));
    const struct {
        const char* what;
        std::string holder;
        bool takenOver;
    } cases[] = {
        {"its process is gone", thisHost() + " " + std::to_string(gone) + " " + std::to_string(now), true},
        {"another host's, three minutes old", "elsewhere 4242 " + std::to_string(now - 180), true},
        {"another host's, just made", "elsewhere 4242 " + std::to_string(now), false},
        {"a live process of this host", thisHost() + " " + std::to_string(::getppid()) + " " + std::to_string(now),
         false},
        {"not yet written", "", false},
    };
    NoLocks noLocks;
    files.setHost(noLocks);
    files.setLockTimeoutMs(150);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(dir / "a.txt.lock", c.holder);
        const int failure = errorOf([&] { files.open(1, "c:\\drovnel\\a.txt", FileMode::Append); });
        if (c.takenOver) {
            EXPECT_EQ(failure, 0);
            EXPECT_NE(readBytes(dir / "a.txt.lock"), c.holder);
            files.close(1);
            EXPECT_FALSE(fs::exists(dir / "a.txt.lock"));
        } else {
            EXPECT_EQ(failure, err::PermissionDenied);
            EXPECT_EQ(readBytes(dir / "a.txt.lock"), c.holder);
            EXPECT_FALSE(files.isOpen(1));
        }
        // Nothing else is left in the folder.
        std::size_t entries = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir))
            ++entries;
        EXPECT_EQ(entries, c.takenOver ? 1u : 2u);
        fs::remove(dir / "a.txt.lock");
    }
}

TEST_F(FileTableTest, ALockFileNameIsCutToFitBesideALongName)
{
    const struct {
        std::string name;
        std::string lockName;
    } cases[] = {
        {"a.txt", "a.txt.lock"},
        {std::string(250, 'n'), std::string(250, 'n') + ".lock"},
        {std::string(255, 'n'), std::string(250, 'n') + ".lock"},
        // Never inside a character of two bytes.
        {std::string(249, 'n') + "\xC3\xA9" + "xyz", std::string(249, 'n') + ".lock"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileTable::lockFilePath("/some/folder/" + c.name), "/some/folder/" + c.lockName);
}

TEST_F(FileTableTest, ALongWaitForALockIsNoticedAndItsEndToo)
{
    writeBytes(dir / "a.txt", "");
    const int other = ::open((dir / "a.txt").c_str(), O_WRONLY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    std::vector<bool> notices;
    files.setWaitNotice([&](bool waiting) { notices.push_back(waiting); });
    files.setLockTimeoutMs(600);
    EXPECT_EQ(errorOf([&] { files.open(1, "c:\\drovnel\\a.txt", FileMode::Append); }), err::PermissionDenied);
    EXPECT_EQ(notices, (std::vector<bool>{true, false}));
    ::close(other);
    notices.clear();
    files.open(1, "c:\\drovnel\\a.txt", FileMode::Append);
    files.close(1);
    EXPECT_TRUE(notices.empty()) << "a lock had at once is no wait";
}

volatile std::sig_atomic_t termsSeen = 0;

TEST_F(FileTableTest, TerminationSignalsWaitUntilTheUnitIsClosed)
{
    struct sigaction counting {};
    counting.sa_handler = [](int) { termsSeen = termsSeen + 1; };
    struct sigaction old {};
    ASSERT_EQ(::sigaction(SIGTERM, &counting, &old), 0);
    termsSeen = 0;
    files.open(1, "c:\\drovnel\\a.txt", FileMode::Append);
    files.open(2, "c:\\drovnel\\b.txt", FileMode::Append);
    files.writeLine(1, "one");
    ::raise(SIGTERM);
    EXPECT_EQ(termsSeen, 0);
    files.writeLine(2, "two");
    files.closeUnit({1, 2});
    EXPECT_EQ(termsSeen, 1);
    // Between units, at once.
    ::raise(SIGTERM);
    EXPECT_EQ(termsSeen, 2);
    ::sigaction(SIGTERM, &old, nullptr);
    EXPECT_EQ(readBytes(dir / "a.txt"), "one\r\n");
}

TEST_F(FileTableTest, AFailedUnitCutsEveryFileBackToWhereItWas)
{
    writeBytes(dir / "a.txt", "earlier\r\n");
    struct FailSecondFlush : FaultyHost {
        int beforeFlush(int number, std::size_t& bytes) override
        {
            bytes = 3;
            return number == 2 ? err::DiskFull : 0;
        }
    } fault;
    fault.setNumber("a.txt", 1);
    fault.setNumber("b.txt", 2);
    files.setHost(fault);
    files.open(1, "c:\\drovnel\\a.txt", FileMode::Append);
    files.open(2, "c:\\drovnel\\b.txt", FileMode::Append);
    files.writeLine(1, "one");
    files.writeLine(2, "two");
    EXPECT_EQ(errorOf([&] { files.closeUnit({1, 2}); }), err::DiskFull);
    EXPECT_FALSE(files.isOpen(1));
    EXPECT_FALSE(files.isOpen(2));
    EXPECT_EQ(readBytes(dir / "a.txt"), "earlier\r\n");
    EXPECT_TRUE(fs::exists(dir / "b.txt"));
    EXPECT_EQ(readBytes(dir / "b.txt"), "");
}

TEST_F(FileTableTest, ANewFileOrFolderIsMadeDurableWithItsFolder)
{
    struct Synced : FaultyHost {
        std::vector<std::string> folders;
        void folderSynced(const std::filesystem::path& folder) override { folders.push_back(folder.string()); }
    } synced;
    files.setHost(synced);
    writeBytes(dir / "old.txt", "x");
    const struct {
        const char* what;
        std::function<void()> action;
        std::vector<std::string> folders;
    } cases[] = {
        {"a new file for appending", [&] { files.open(1, "c:\\drovnel\\new.txt", FileMode::Append); }, {dir.string()}},
        {"a file that was there", [&] { files.open(1, "c:\\drovnel\\old.txt", FileMode::Append); }, {}},
        {"a new file for output", [&] { files.open(1, "c:\\drovnel\\out.txt", FileMode::Output); }, {dir.string()}},
        {"a file read", [&] { files.open(1, "c:\\drovnel\\old.txt", FileMode::Input); }, {}},
        {"a new folder", [&] { files.createFolder("c:\\drovnel\\sub"); }, {dir.string()}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        synced.folders.clear();
        c.action();
        files.close(1);
        EXPECT_EQ(synced.folders, c.folders);
    }
}

} // namespace
} // namespace qal
