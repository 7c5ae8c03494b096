#include "platform/FileTable.h"

#include "fakes/FaultyHost.h"
#include "platform/Journal.h"
#include "platform/RunError.h"

#include "fakes/TempDrive.h"

#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <csignal>
#include <sstream>
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

// What the path lookup asks the host about, in order, as the drive's own
// names (from its root); a folder whose names are read as "folder/*".
struct LookupLog : FaultyHost {
    explicit LookupLog(const fs::path& root) : root(root) {}
    void lookedAt(const fs::path& path) noexcept override { asked.push_back(path.lexically_relative(root).string()); }
    void listed(const fs::path& folder) noexcept override
    {
        asked.push_back((folder.lexically_relative(root) / "*").string());
    }
    fs::path root;
    std::vector<std::string> asked;
};

// A unit looks each folder up once, however many of its files lie in it,
// and each file once (a new file's name also against the names of its
// folder, in any letter case); the next unit looks afresh.
TEST_F(FileTableTest, AUnitLooksEachPathUpOnce)
{
    fs::create_directories(drive.root() / "other");
    for (const char* name : {"masterFile_Ann_Lee.txt", "send_1207Ann_Lee.txt", "m.txt", "s.txt", "n.txt"})
        writeBytes(dir / name, "");
    const struct {
        const char* what;
        std::vector<std::vector<std::string>> units; // the Windows paths of each unit
        std::vector<std::string> asked;
    } cases[] = {
        {"a record's two files in one folder",
         {{"c:\\drovnel\\masterFile_Ann_Lee.txt", "c:\\drovnel\\send_1207Ann_Lee.txt"}},
         {"drovnel", "drovnel/masterFile_Ann_Lee.txt", "drovnel/send_1207Ann_Lee.txt"}},
        {"a notes record's three files",
         {{"c:\\drovnel\\m.txt", "c:\\drovnel\\s.txt", "C:\\drovnel\\n.txt"}},
         {"drovnel", "drovnel/m.txt", "drovnel/s.txt", "drovnel/n.txt"}},
        {"new files in two folders",
         {{"c:\\drovnel\\a.txt", "c:\\other\\b.txt", "c:\\drovnel\\c.txt"}},
         {"drovnel", "drovnel/a.txt", "drovnel/*", "other", "other/b.txt", "other/*", "drovnel/c.txt", "drovnel/*"}},
        {"two units one after the other",
         {{"c:\\drovnel\\a.txt", "c:\\drovnel\\d.txt"}, {"c:\\drovnel\\d.txt"}},
         {"drovnel", "drovnel/a.txt", "drovnel/d.txt", "drovnel/*", "drovnel", "drovnel/d.txt"}},
    };
    if (hostMatchesLetterCase())
        GTEST_SKIP() << "the file system matches letter case itself: nothing is looked up";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LookupLog log(drive.root());
        files.setHost(log);
        for (const auto& unit : c.units) {
            std::vector<int> numbers;
            for (const std::string& path : unit) {
                numbers.push_back(static_cast<int>(numbers.size()) + 1);
                files.open(numbers.back(), path, FileMode::Append);
                files.writeLine(numbers.back(), "a line");
            }
            files.closeUnit(numbers);
        }
        files.setHost(systemHost());
        EXPECT_EQ(log.asked, c.asked);
    }
}

// What a unit remembered of a folder is not trusted by the next one: a
// folder renamed to another letter case in between is found again.
TEST_F(FileTableTest, AFolderRenamedBetweenUnitsIsFoundAgain)
{
    std::string folder = "Class";
    fs::create_directories(drive.root() / folder);
    for (const char* renamed : {"CLASS", "class", "ClAsS"}) {
        SCOPED_TRACE(folder);
        files.open(1, "c:\\class\\answers.txt", FileMode::Append);
        files.open(2, "c:\\class\\more.txt", FileMode::Append);
        files.writeLine(1, folder);
        files.writeLine(2, folder);
        files.closeUnit({1, 2});
        fs::rename(drive.root() / folder, drive.root() / renamed);
        folder = renamed;
    }
    files.open(1, "c:\\class\\answers.txt", FileMode::Append);
    files.writeLine(1, "last");
    files.close(1);
    EXPECT_EQ(readBytes(drive.root() / "ClAsS" / "answers.txt"), "Class\r\nCLASS\r\nclass\r\nlast\r\n");
    EXPECT_EQ(readBytes(drive.root() / "ClAsS" / "more.txt"), "Class\r\nCLASS\r\nclass\r\n");
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
    // "host pid time machine-id": the machine's id tells it from another of
    // the same name, whose process numbers are not this one's.
    std::istringstream holder(readBytes(dir / "a.txt.lock"));
    std::string host, pid, time, id, more;
    holder >> host >> pid >> time >> id >> more;
    EXPECT_EQ(host + " " + pid, thisHost() + " " + std::to_string(::getpid()));
    EXPECT_EQ(id, systemHost().machineId());
    EXPECT_NE(id, "-") << "this machine's id cannot be told";
    EXPECT_EQ(more, "");
    files.writeLine(1, "line");
    files.close(1);
    EXPECT_FALSE(fs::exists(dir / "a.txt.lock"));
    EXPECT_EQ(readBytes(dir / "a.txt"), "line\r\n");
}

// A run ended outright while it made its lock file (here: the file made,
// its line never written, and nothing after that runs) leaves no lock file
// that the next run must wait for until it is old: the lock file only ever
// appears whole.
TEST_F(FileTableTest, ARunEndedWhileMakingItsLockFileLeavesNoneInTheWay)
{
    struct EndsMakingALockFile : NoLocks {
        bool createExclusive(const fs::path& path, std::string_view) override
        {
            writeBytes(path, "");
            throw RunError(err::DiskFull);
        }
    } ending;
    files.setHost(ending);
    EXPECT_EQ(errorOf([&] { files.open(1, "c:\\drovnel\\a.txt", FileMode::Append); }), err::DiskFull);
    EXPECT_FALSE(fs::exists(dir / "a.txt.lock"));

    NoLocks noLocks;
    FileTable next(noLocks);
    next.setLockTimeoutMs(2000);
    next.open(1, "c:\\drovnel\\a.txt", FileMode::Append);
    next.writeLine(1, "line");
    next.close(1);
    EXPECT_EQ(readBytes(dir / "a.txt"), "line\r\n");
    EXPECT_FALSE(fs::exists(dir / "a.txt.lock"));
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
        // A lock file, made whole under a name of its own and renamed into
        // place, is no rename of the student's file.
        bool renameNoReplace(const fs::path& from, const fs::path& to) noexcept override
        {
            return from.filename().string().rfind(".qalesson-lock-new-", 0) == 0
                       ? systemHost().renameNoReplace(from, to)
                       : FaultyHost::renameNoReplace(from, to);
        }
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
        std::sort(names.begin(), names.end());
        // The run's journal lies beside the name in use.
        EXPECT_EQ(names, (std::vector<std::string>{"." + std::string(c.after) + "-journal", c.after}));
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

// Sets the time of change of the entry at path (a link itself, not its
// target) to seconds before now.
void age(const fs::path& path, int seconds)
{
    const struct timespec then[2] = {{std::time(nullptr) - seconds, 0}, {std::time(nullptr) - seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), then, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// No locks, and the file system's clock (a file server's) off this machine's
// by skew seconds: the times of change it gives are its own.
struct SkewedServer : NoLocks {
    std::time_t skew = 0;
    std::time_t modified(const std::filesystem::path& path) noexcept override
    {
        const std::time_t t = NoLocks::modified(path);
        return t < 0 ? t : t + skew;
    }
};

TEST_F(FileTableTest, ALockFileLeftBehindIsTakenOverAndALiveOneWaitedFor)
{
    // A process that has ended, on this host.
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    ::waitpid(gone, nullptr, 0);
    const long long now = static_cast<long long>(std::time(nullptr));
    const std::string here = thisHost() + " ";
    const std::string id = " " + systemHost().machineId();
    enum Kind { Text, Link, DanglingLink, Folder };
    const struct {
        const char* what;
        Kind kind;
        std::string holder;
        int ageSeconds; // by the file system's clock
        std::time_t serverSkew;
        bool takenOver;
    } cases[] = {
        {"its process is gone, on this machine", Text, here + std::to_string(gone) + " " + std::to_string(now) + id, 0,
         0, true},
        {"its process is gone on a machine of the same name (another process namespace)", Text,
         here + std::to_string(gone) + " " + std::to_string(now) + " other-boot/pid:[1]", 0, 0, false},
        {"an older version's line: a host name alone is not enough", Text,
         here + std::to_string(gone) + " " + std::to_string(now), 0, 0, false},
        {"another host's, three minutes old", Text, "elsewhere 4242 " + std::to_string(now - 180) + " x", 180, 0, true},
        {"another host's, just made", Text, "elsewhere 4242 " + std::to_string(now) + " x", 0, 0, false},
        {"another host's clock three minutes behind, just made", Text,
         "elsewhere 4242 " + std::to_string(now - 180) + " x", 0, 0, false},
        {"this machine's clock three minutes behind the server's, just made", Text,
         "elsewhere 4242 " + std::to_string(now) + " x", 0, 180, false},
        {"this machine's clock three minutes ahead of the server's, just made", Text,
         "elsewhere 4242 " + std::to_string(now) + " x", 0, -180, false},
        {"the server's clock behind, three minutes old by it", Text, "elsewhere 4242 " + std::to_string(now) + " x",
         180, -180, true},
        {"a live process of this host", Text, here + std::to_string(::getppid()) + " " + std::to_string(now) + id, 0, 0,
         false},
        {"not yet written", Text, "", 0, 0, false},
        {"garbage, three minutes old", Text, "\x01\x02 garbage", 180, 0, true},
        // No lock file of the program's: stepped around, whatever its age.
        {"a link to a file, just made", Link, "", 0, 0, false},
        {"a dangling link, three minutes old", DanglingLink, "", 180, 0, false},
        {"a folder, just made", Folder, "", 0, 0, false},
    };
    // A fresh file a link may point to; it must never change.
    const fs::path outside = drive.root() / "outside.txt";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SkewedServer host;
        host.skew = c.serverSkew;
        FileTable files(host);
        files.setLockTimeoutMs(150);
        writeBytes(outside, "mine\r\n");
        const fs::path lock = dir / "a.txt.lock";
        switch (c.kind) {
        case Text:
            writeBytes(lock, c.holder);
            break;
        case Link:
            fs::create_symlink(outside, lock);
            break;
        case DanglingLink:
            fs::create_symlink(drive.root() / "nowhere.txt", lock);
            break;
        case Folder:
            fs::create_directory(lock);
            break;
        }
        if (c.ageSeconds)
            age(lock, c.ageSeconds);
        files.setWarning([](const std::string&) {});
        const int failure = errorOf([&] { files.open(1, "c:\\drovnel\\a.txt", FileMode::Append); });
        const bool steppedAround = c.kind != Text;
        if (steppedAround) {
            EXPECT_EQ(failure, 0);
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "a.txt.lock-2")));
            files.close(1);
            EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "a.txt.lock-2")));
            EXPECT_TRUE(fs::exists(fs::symlink_status(lock)));
        } else if (c.takenOver) {
            EXPECT_EQ(failure, 0);
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(lock)));
            files.close(1);
            EXPECT_FALSE(fs::exists(fs::symlink_status(lock)));
        } else {
            EXPECT_EQ(failure, err::PermissionDenied);
            if (c.kind == Text) {
                EXPECT_EQ(readBytes(lock), c.holder);
            }
            EXPECT_TRUE(fs::exists(fs::symlink_status(lock)));
            EXPECT_FALSE(files.isOpen(1));
        }
        EXPECT_EQ(readBytes(outside), "mine\r\n");
        EXPECT_FALSE(fs::exists(drive.root() / "nowhere.txt"));
        // Nothing else is left in the folder: no clock probe, nothing moved aside.
        std::size_t entries = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir))
            ++entries;
        EXPECT_EQ(entries, c.takenOver ? 1u : 2u);
        fs::remove(lock);
        fs::remove(dir / "a.txt");
    }
}

TEST_F(FileTableTest, AHeldLockFileIsKeptFreshWhileItsHolderWaits)
{
    // This run holds a.txt's lock file and waits for b.txt, held by another
    // run: all the while a.txt's lock file stays young.
    NoLocks noLocks;
    files.setHost(noLocks);
    files.open(1, "c:\\drovnel\\a.txt", FileMode::Append);
    age(dir / "a.txt.lock", 100);
    writeBytes(dir / "b.txt.lock", "elsewhere 4242 0 x");
    files.setLockTimeoutMs(2500);
    EXPECT_EQ(errorOf([&] { files.open(2, "c:\\drovnel\\b.txt", FileMode::Append); }), err::PermissionDenied);
    struct stat held {};
    ASSERT_EQ(::lstat((dir / "a.txt.lock").c_str(), &held), 0);
    EXPECT_GE(held.st_mtime, std::time(nullptr) - 5) << "the held lock file was left to grow old";
    files.close(1);
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

// The run dies (SIGKILL, a power cut) at one step of a unit: the hook lets
// part of a write reach the file, then nothing more of the run reaches the
// disk, and its locks go as a dead process's do. Its process number is one
// no process has any more.
struct Death {};
struct DiesAt : FaultyHost {
    // TornJournal: a first unit is written whole but its journal cannot be
    // made void; the second unit's journal, written over it in place, tears
    // (its first bytes new, the rest still the first unit's).
    enum Step { JournalWrite, JournalSync, Flush, Sync, Close, EmptyJournal, TornJournal };
    Step step;
    int number;           // the file (0 for the journal)
    std::size_t keep = 0; // bytes of the write that reach the file
    bool dead = false;
    long long pid = 0;
    int journalWrites = 0;
    bool voidRefused = false;

    DiesAt(Step s, int n, std::size_t k, long long gonePid) : step(s), number(n), keep(k), pid(gonePid) {}

    int die(Step s, int n)
    {
        if (dead)
            return err::DeviceIOError;
        if (s != step || n != number)
            return 0;
        dead = true;
        throw Death{};
    }
    int beforeFlush(int n, std::size_t& bytes) override
    {
        const bool torn = step == TornJournal && n == 0 && ++journalWrites == 2;
        if (!dead && (((step == Flush || step == JournalWrite) && n == number) || torn)) {
            bytes = std::min(bytes, keep);
            return err::DeviceIOError; // the piece reaches the file, then...
        }
        return dead ? err::DeviceIOError : 0;
    }
    void writeAll(HostHandle file, std::string_view bytes, bool& written) override
    {
        dieOnFailure([&] { FaultyHost::writeAll(file, bytes, written); });
    }
    void writeAt(HostHandle file, std::uint64_t offset, std::string_view bytes, bool& written) override
    {
        // The tear falls after the new journal's first file line, where the
        // first unit's journal goes on with its second file and its checksum.
        if (step == TornJournal)
            keep = bytes.find("\nfile ", bytes.find("\nfile ") + 1) + 1;
        dieOnFailure([&] { FaultyHost::writeAt(file, offset, bytes, written); });
    }
    template <typename Write> void dieOnFailure(Write write)
    {
        try {
            write();
        } catch (const RunError&) {
            if (dead)
                throw;
            dead = true; // ...the run dies
            throw Death{};
        }
    }
    int beforeSync(int n) override { return die(n == 0 ? JournalSync : Sync, n); }
    int beforeClose(int n) override { return die(Close, n); }
    // Inside a call that may not throw: the run is dead from here on all
    // the same.
    int beforeCutBack(int n) override
    {
        if (!dead && step == EmptyJournal && n == number)
            dead = true;
        if (!dead && step == TornJournal && n == 0 && !voidRefused) {
            voidRefused = true;
            return err::DeviceIOError;
        }
        return dead ? err::DeviceIOError : 0;
    }
    int beforeOpen(int, FileMode) override { return dead ? err::DeviceIOError : 0; }
    bool remove(const std::filesystem::path& path) noexcept override { return !dead && FaultyHost::remove(path); }
    long long processId() override { return pid; }
};

pid_t endedProcess()
{
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    ::waitpid(gone, nullptr, 0);
    return gone;
}

class JournalTest : public FileTableTest {
protected:
    const fs::path master = dir / "masterFile_Ann_Lee.txt";
    const fs::path send = dir / "send_1207Ann_Lee.txt";
    const fs::path journal = journalPath(master);
    const std::string unitLines = std::string(300000, 'r');

    // One unit to both files, by a run on host that may die in it.
    void writeUnit(FileTable& table)
    {
        table.open(1, "c:\\drovnel\\masterFile_Ann_Lee.txt", FileMode::Append);
        table.open(2, "c:\\drovnel\\send_1207Ann_Lee.txt", FileMode::Append);
        table.writeLine(1, unitLines);
        table.writeLine(2, unitLines);
        table.closeUnit({1, 2});
    }
    // The next run opens the files (and writes nothing).
    void nextRun(std::vector<std::string>* warnings = nullptr)
    {
        FileTable next;
        if (warnings)
            next.setWarning([warnings](const std::string& line) { warnings->push_back(line); });
        next.open(1, "c:\\drovnel\\masterFile_Ann_Lee.txt", FileMode::Append);
        next.open(2, "c:\\drovnel\\send_1207Ann_Lee.txt", FileMode::Append);
        next.closeUnit({1, 2});
    }
};

TEST_F(JournalTest, ARunKilledAtAnyStepOfAUnitLeavesItWholeInEveryFileOrInNone)
{
    const std::string whole = unitLines + "\r\n";
    const struct {
        const char* what;
        DiesAt::Step step;
        int number;
        std::size_t keep;
        bool unitStays;
    } cases[] = {
        {"writing the journal", DiesAt::JournalWrite, 0, 40, false},
        {"before the journal is on the disk", DiesAt::JournalSync, 0, 0, false},
        {"in the middle of the master file's write", DiesAt::Flush, 1, 256 * 1024, false},
        {"after the master file, before the send file", DiesAt::Flush, 2, 0, false},
        {"in the middle of the send file's write", DiesAt::Flush, 2, 70000, false},
        {"at the send file's last byte", DiesAt::Flush, 2, 300001, false},
        {"flushing the master file", DiesAt::Sync, 1, 0, true},
        {"flushing the send file", DiesAt::Sync, 2, 0, true},
        {"asking for late failures", DiesAt::Close, 1, 0, true},
        {"emptying the journal", DiesAt::EmptyJournal, 0, 0, true},
        // The first unit stays whole: the torn journal fails its checksum
        // and is never taken for one that tells what to cut.
        {"writing the journal over the last one, torn", DiesAt::TornJournal, 0, 0, true},
    };
    const pid_t gone = endedProcess();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(master, "header\r\n");
        writeBytes(send, "send header\r\n");
        fs::remove(journal);
        {
            DiesAt dies(c.step, c.number, c.keep, gone);
            FileTable dying(dies);
            try {
                if (c.step == DiesAt::TornJournal)
                    writeUnit(dying);
                writeUnit(dying);
            } catch (const Death&) {
            }
            EXPECT_TRUE(dies.dead);
        }
        std::vector<std::string> warnings;
        nextRun(&warnings);
        EXPECT_EQ(readBytes(master), "header\r\n" + (c.unitStays ? whole : ""));
        EXPECT_EQ(readBytes(send), "send header\r\n" + (c.unitStays ? whole : ""));
        EXPECT_EQ(warnings, std::vector<std::string>{});
        EXPECT_EQ(readBytes(journal), "") << "the journal, once used, is gone or empty";
    }
}

// A journal is read back as written, at its fixed size; any byte of it
// changed (a write torn inside a block, over the journal before) fails its
// checksum, even where every line still reads as a line of a journal.
TEST(JournalText, ReadsBackAsWrittenAndATornOneReadsAsNone)
{
    const Journal written{{"vm", "boot/pid:[1]", 4242},
                          {{"masterFile_Ann Lee.txt", 8, 300002}, {"send_1207Ann_Lee.txt", 13, 300002}}};
    const std::string text = journalText(written);
    EXPECT_EQ(text.size() % journalBlock, 0u);
    const std::optional<Journal> read = parseJournal(text);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->owner.processId, 4242);
    ASSERT_EQ(read->files.size(), 2u);
    EXPECT_EQ(read->files[0].path, "masterFile_Ann Lee.txt");
    EXPECT_EQ(read->files[1].length, 13u);
    EXPECT_EQ(read->files[1].adding, 300002u);
    const std::size_t digit = text.find("file 13 ") + 5;
    const struct {
        const char* what;
        std::function<std::string(std::string)> tear;
    } cases[] = {
        {"a length's digit changed", [&](std::string t) { return t.replace(digit, 1, "9"); }},
        {"a length's digits changed, the line as long", [&](std::string t) { return t.replace(digit, 2, "99"); }},
        {"the checksum's last digit changed",
         [](std::string t) {
             const std::size_t end = t.find("\ncheck ") + 14;
             t[end] = t[end] == '0' ? '1' : '0';
             return t;
         }},
        {"cut inside the checksum", [](std::string t) { return t.substr(0, t.find("\ncheck ") + 10); }},
        {"cut before the checksum", [](std::string t) { return t.substr(0, t.find("\ncheck ") + 1); }},
        {"made void", [](std::string t) { return std::string(t.size(), '\0'); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(parseJournal(c.tear(text)));
    }
    EXPECT_TRUE(journalVoid(std::string(journalBlock, '\0')));
    EXPECT_TRUE(journalVoid(""));
    EXPECT_FALSE(journalVoid(text));
}

// What a file holds of a unit of 10 bytes after its first 100, by its length.
TEST(JournalText, AFileHoldsAUnitWholeInPartNotAtAllOrWasChanged)
{
    const struct {
        std::uint64_t now;
        UnitHeld held;
    } cases[] = {
        {100, UnitHeld::None},    {101, UnitHeld::Part},   {109, UnitHeld::Part},  {110, UnitHeld::Whole},
        {111, UnitHeld::Changed}, {99, UnitHeld::Changed}, {0, UnitHeld::Changed},
    };
    for (const auto& c : cases)
        EXPECT_EQ(unitHeld(100, 10, c.now), c.held) << c.now;
    EXPECT_EQ(unitHeld(100, 0, 100), UnitHeld::None);
}

TEST_F(JournalTest, AFileChangedSinceIsLeftAloneWithAWarningAndALiveWriterIsLeftToFinish)
{
    const pid_t gone = endedProcess();
    const struct {
        const char* what;
        long long writer;        // the dead run's process
        std::string addedToSend; // by someone else after the death
        bool cutSendToFewer;     // someone else shortened it
        std::string masterAfter; // "" for the bytes before the unit
        int warnings;
    } cases[] = {
        {"longer than the unit would make it", gone, std::string(300000, 'o') + "\r\n", false, "", 1},
        {"shorter than before the unit", gone, "", true, "", 1},
        {"a writer of this machine that still runs", ::getppid(), "", false, "partial", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(master, "header\r\n");
        writeBytes(send, "send header\r\n");
        fs::remove(journal);
        {
            DiesAt dies(DiesAt::Flush, 2, 1000, c.writer);
            FileTable dying(dies);
            EXPECT_THROW(writeUnit(dying), Death);
        }
        const std::string masterTorn = readBytes(master);
        ASSERT_GT(masterTorn.size(), std::string("header\r\n").size());
        std::string sendAfter = readBytes(send) + c.addedToSend;
        if (c.cutSendToFewer)
            sendAfter = "send";
        writeBytes(send, sendAfter);
        std::vector<std::string> warnings;
        nextRun(&warnings);
        EXPECT_EQ(readBytes(master), c.masterAfter.empty() ? "header\r\n" : masterTorn);
        EXPECT_EQ(readBytes(send), sendAfter);
        ASSERT_EQ(warnings.size(), static_cast<std::size_t>(c.warnings));
        if (c.warnings) {
            EXPECT_NE(warnings[0].find(send.string()), std::string::npos) << warnings[0];
        }
        EXPECT_EQ(readBytes(journal).empty(), c.writer == gone);
    }
}

// A classmate who may write to the folder forges a journal, to have the
// student's next run cut a file: one elsewhere, or the student's own.
TEST_F(JournalTest, AForgedJournalNamingAFileElsewhereOrPutThereByAnotherUserCutsNothing)
{
    const pid_t gone = endedProcess();
    const fs::path outside = drive.root() / "thesis.txt";
    const std::string owner = "owner elsewhere - " + std::to_string(gone) + "\n";
    const auto entry = [](const std::string& path) {
        return "file 0 100 " + std::to_string(path.size()) + " " + path + "\n";
    };
    const struct {
        const char* what;
        std::string files;
        bool otherUser;
        int warnings;
    } cases[] = {
        {"a file by its full path", entry(outside.string()), false, 0},
        {"a file up the folder", entry("../thesis.txt"), false, 0},
        {"the student's own file, by another user", entry("masterFile_Ann_Lee.txt"), true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.otherUser && ::geteuid() != 0) {
            std::cout << "skipped: " << c.what << ": only root can give a file to another user\n";
            continue;
        }
        writeBytes(outside, "my thesis\r\n");
        writeBytes(master, "header\r\n");
        writeBytes(journal, "qalesson journal 1\n" + owner + c.files + "whole\n");
        if (c.otherUser) {
            ASSERT_EQ(::lchown(journal.c_str(), 65534, 65534), 0);
        }
        std::vector<std::string> warnings;
        nextRun(&warnings);
        EXPECT_EQ(readBytes(outside), "my thesis\r\n");
        EXPECT_EQ(readBytes(master), "header\r\n");
        EXPECT_EQ(warnings.size(), static_cast<std::size_t>(c.warnings));
        fs::remove(journal);
    }
}

TEST_F(JournalTest, AFailedUnitCutsBackOnlyWhatItWrote)
{
    // Another writer (one that took a lock over) adds to the master file
    // while this unit's send file fails: its record stays, and the master
    // file is named as one changed by someone else, that may hold part of
    // this unit.
    struct OtherWriterMeanwhile : FaultyHost {
        fs::path master;
        int beforeSync(int number) override
        {
            if (number != 2)
                return 0;
            std::ofstream(master, std::ios::binary | std::ios::app) << "other run\r\n";
            return err::DeviceIOError;
        }
    } host;
    host.master = master;
    writeBytes(master, "header\r\n");
    files.setHost(host);
    RunError failure(0);
    try {
        writeUnit(files);
    } catch (const RunError& e) {
        failure = e;
    }
    EXPECT_EQ(failure.number(), err::DeviceIOError);
    EXPECT_EQ(failure.unitFiles(),
              (std::vector<UnitFileHeld>{{"c:\\drovnel\\masterFile_Ann_Lee.txt", UnitHeld::Changed},
                                         {"c:\\drovnel\\send_1207Ann_Lee.txt", UnitHeld::None}}));
    EXPECT_EQ(readBytes(master), "header\r\n" + unitLines + "\r\nother run\r\n");
    EXPECT_EQ(readBytes(send), "");
}

TEST_F(FileTableTest, NoLinkOrSpecialFileInAFilesPlaceIsWrittenThrough)
{
    // A classmate who may write to the folder plants a link at a file's name,
    // or a FIFO: the file is refused as one that may not be opened, and
    // nothing anywhere changes.
    const fs::path outside = drive.root() / "outside.txt";
    const fs::path other = dir / "masterFile_Bob_Roe.txt";
    const fs::path nowhere = drive.root() / "nowhere.txt";
    enum Kind { LinkOut, Dangling, LinkToOther, OtherCase, Fifo, JournalLink, LockFileLink };
    const struct {
        const char* what;
        Kind kind;
        const char* name; // where it is planted
        FileMode mode;
        int failure;
    } cases[] = {
        {"a link out of the folder", LinkOut, "masterFile_Ann_Lee.txt", FileMode::Append, err::PathFileAccessError},
        {"a dangling link", Dangling, "notes_Ann_Lee.txt", FileMode::Append, err::PathFileAccessError},
        {"a link to another student's file", LinkToOther, "send_1207Ann_Lee.txt", FileMode::Append,
         err::PathFileAccessError},
        {"a link under another letter case", OtherCase, "MASTERFILE_ANN_LEE.TXT", FileMode::Append,
         err::PathFileAccessError},
        {"a link at a query file being written", LinkOut, "masterFile_Ann_Lee.txt", FileMode::Output,
         err::PathFileAccessError},
        {"a dangling link at a query file", Dangling, "masterFile_Ann_Lee.txt", FileMode::Output,
         err::PathFileAccessError},
        {"a FIFO", Fifo, "masterFile_Ann_Lee.txt", FileMode::Append, err::PathFileAccessError},
        // The journal's and the lock file's names are the program's own: a
        // link there is stepped around, and the line goes to Ann's file.
        {"a link at the journal's name", JournalLink, ".masterFile_Ann_Lee.txt-journal", FileMode::Append, 0},
        {"a dangling link at the lock file's name", LockFileLink, "masterFile_Ann_Lee.txt.lock", FileMode::Append, 0},
    };
    NoLocks noLocks;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(outside, "outside\r\n");
        writeBytes(other, "Bob's\r\n");
        const fs::path planted = dir / c.name;
        switch (c.kind) {
        case LinkOut:
        case OtherCase:
        case JournalLink:
            fs::create_symlink(outside, planted);
            break;
        case Dangling:
        case LockFileLink:
            fs::create_symlink(nowhere, planted);
            break;
        case LinkToOther:
            fs::create_symlink(other, planted);
            break;
        case Fifo:
            ASSERT_EQ(::mkfifo(planted.c_str(), 0600), 0);
            break;
        }
        FileTable table(c.kind == LockFileLink ? static_cast<Host&>(noLocks) : systemHost());
        table.setLockTimeoutMs(100);
        table.setWarning([](const std::string&) {});
        const std::string file = c.kind == Dangling && c.mode == FileMode::Append ? "notes_Ann_Lee.txt"
                                 : c.kind == LinkToOther                          ? "send_1207Ann_Lee.txt"
                                                                                  : "masterFile_Ann_Lee.txt";
        const int failure = errorOf([&] {
            table.open(1, "c:\\drovnel\\" + file, c.mode);
            table.writeLine(1, "Ann's line");
            table.close(1);
        });
        EXPECT_EQ(failure, c.failure);
        EXPECT_FALSE(table.isOpen(1));
        table.endRun();
        EXPECT_EQ(readBytes(outside), "outside\r\n");
        EXPECT_EQ(readBytes(other), "Bob's\r\n");
        EXPECT_FALSE(fs::exists(nowhere));
        EXPECT_TRUE(fs::exists(fs::symlink_status(planted)));
        // Ann's own file, where the journal or the lock file was the link,
        // holds the line.
        if (c.kind == JournalLink || c.kind == LockFileLink) {
            EXPECT_EQ(readBytes(dir / "masterFile_Ann_Lee.txt"), "Ann's line\r\n");
        }
        for (const auto& entry : fs::directory_iterator(dir))
            fs::remove(entry.path());
    }
}

// A classmate who may write to the folder (every student of a class may
// create files in it, none remove another's) owns a file under one of Ann's
// names: nothing of Ann's is ever appended to it, and a journal beside it is
// never followed. Only root can give a file to another user.
TEST_F(JournalTest, AFileOfAnotherUserIsNeverAppendedToNorItsJournalFollowed)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    const pid_t gone = endedProcess();
    const std::string annsSend(832, 's');
    const struct {
        const char* what;
        const char* foreign; // the file another user owns
        bool journalToo;     // ... and a journal of theirs beside it, cutting Ann's send file
    } cases[] = {
        {"the master file", "masterFile_Ann_Lee.txt", false},
        {"the send file", "send_1207Ann_Lee.txt", false},
        {"the notes file", "notes_Ann_Lee.txt", false},
        {"the master file, with a journal naming the send file", "masterFile_Ann_Lee.txt", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& entry : fs::directory_iterator(dir))
            fs::remove(entry.path());
        writeBytes(send, annsSend);
        const fs::path foreign = dir / c.foreign;
        if (foreign != send)
            writeBytes(foreign, "Eve's\r\n");
        ASSERT_EQ(::chmod(foreign.c_str(), 0666), 0);
        ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
        const std::string foreignBefore = readBytes(foreign);
        if (c.journalToo) {
            const Journal forged{{"eve", "-", gone}, {{"send_1207Ann_Lee.txt", 0, annsSend.size()}}};
            writeBytes(journal, journalText(forged));
            ASSERT_EQ(::chown(journal.c_str(), 65534, 65534), 0);
        }
        std::vector<std::string> warnings;
        FileTable run;
        run.setWarning([&](const std::string& line) { warnings.push_back(line); });
        EXPECT_EQ(errorOf([&] { run.open(1, "c:\\drovnel\\" + std::string(c.foreign), FileMode::Append); }),
                  err::PathFileAccessError);
        EXPECT_FALSE(run.isOpen(1));
        EXPECT_EQ(run.otherOwner("c:\\drovnel\\" + std::string(c.foreign)), "nobody");
        EXPECT_EQ(run.otherOwner("c:\\drovnel\\nothing_there.txt"), "");
        EXPECT_EQ(readBytes(foreign), foreignBefore);
        // Ann's own send file, where it is hers, keeps every byte and takes
        // her next record.
        if (foreign != send) {
            run.open(2, "c:\\drovnel\\send_1207Ann_Lee.txt", FileMode::Append);
            run.writeLine(2, "Ann's record");
            run.closeUnit({2});
            EXPECT_EQ(readBytes(send), annsSend + "Ann's record\r\n");
        }
        EXPECT_EQ(warnings, std::vector<std::string>{});
    }
}

// The student's own journal that names a file of another user is not
// followed either: it would cut that user's file.
TEST_F(JournalTest, AJournalNamingAnotherUsersFileIsLeftAsItIs)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    const pid_t gone = endedProcess();
    const fs::path bobs = dir / "notes_Bob_Roe.txt";
    writeBytes(bobs, "Bob's notes\r\n");
    ASSERT_EQ(::chown(bobs.c_str(), 65534, 65534), 0);
    writeBytes(master, "header\r\n");
    const Journal left{{"vm", "-", gone}, {{"masterFile_Ann_Lee.txt", 8, 0}, {"notes_Bob_Roe.txt", 0, 13}}};
    writeBytes(journal, journalText(left));
    std::vector<std::string> warnings;
    nextRun(&warnings);
    EXPECT_EQ(readBytes(bobs), "Bob's notes\r\n");
    EXPECT_EQ(readBytes(master), "header\r\n");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("notes_Bob_Roe.txt\", a file of nobody"), std::string::npos) << warnings[0];
}

// Something put at the journal's name (by another user, or a link, a folder,
// a read-only file) is stepped around and told of: the record goes in, the
// thing planted keeps every byte, and the journal beside it is the one a
// killed run's successor follows.
TEST_F(JournalTest, SomethingPlantedAtTheJournalsNameIsSteppedAround)
{
    const pid_t gone = endedProcess();
    const fs::path outside = drive.root() / "outside.txt";
    enum Kind { OtherUsers, Link, Folder, ReadOnly, AllNames };
    const struct {
        const char* what;
        Kind kind;
    } cases[] = {
        {"another user's file, writable by all", OtherUsers},
        {"a link out of the folder", Link},
        {"a folder", Folder},
        {"a read-only file", ReadOnly},
        {"every name the journal may take", AllNames},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if ((c.kind == OtherUsers || c.kind == AllNames) && ::geteuid() != 0) {
            std::cout << "skipped: " << c.what << ": only root can give a file to another user\n";
            continue;
        }
        if (c.kind == ReadOnly && ::geteuid() == 0) {
            std::cout << "skipped: " << c.what << ": root writes read-only files (tests/unprivileged.sh runs it)\n";
            continue;
        }
        for (const auto& entry : fs::directory_iterator(dir))
            fs::remove_all(entry.path());
        writeBytes(outside, "outside\r\n");
        writeBytes(master, "header\r\n");
        writeBytes(send, "send header\r\n");
        const std::size_t planted = c.kind == AllNames ? journalNames : 1;
        const std::string plantedBytes = c.kind == ReadOnly ? std::string(journalBlock, '\0') : "Eve's\r\n";
        for (std::size_t choice = 0; choice < planted; ++choice) {
            const fs::path at = journalPath(master, choice);
            switch (c.kind) {
            case OtherUsers:
            case AllNames:
                writeBytes(at, "Eve's\r\n");
                ASSERT_EQ(::chmod(at.c_str(), 0666), 0);
                ASSERT_EQ(::chown(at.c_str(), 65534, 65534), 0);
                break;
            case Link:
                fs::create_symlink(outside, at);
                break;
            case Folder:
                fs::create_directory(at);
                break;
            case ReadOnly:
                // A journal of the student's own, void, made read-only (a
                // copy from a read-only medium): followed by no one, and
                // left as it is.
                writeBytes(at, plantedBytes);
                ASSERT_EQ(::chmod(at.c_str(), 0444), 0);
                break;
            }
        }
        const auto plantedStays = [&] {
            for (std::size_t choice = 0; choice < planted; ++choice) {
                const fs::path at = journalPath(master, choice);
                if (c.kind == Folder)
                    EXPECT_TRUE(fs::is_directory(fs::symlink_status(at)));
                else if (c.kind == Link)
                    EXPECT_TRUE(fs::is_symlink(at));
                else
                    EXPECT_EQ(readBytes(at), plantedBytes);
            }
            EXPECT_EQ(readBytes(outside), "outside\r\n");
        };
        // A record goes in whole, with a warning that names the thing planted.
        {
            std::vector<std::string> warnings;
            FileTable run;
            run.setWarning([&](const std::string& line) { warnings.push_back(line); });
            writeUnit(run);
            writeUnit(run); // told once a run
            EXPECT_EQ(readBytes(master), "header\r\n" + unitLines + "\r\n" + unitLines + "\r\n");
            EXPECT_EQ(readBytes(send), "send header\r\n" + unitLines + "\r\n" + unitLines + "\r\n");
            ASSERT_EQ(warnings.size(), c.kind == AllNames ? journalNames + 1 : 1u);
            EXPECT_NE(warnings[0].find(journalPath(master).filename().string()), std::string::npos) << warnings[0];
            plantedStays();
            run.endRun();
        }
        if (c.kind == AllNames)
            continue; // no journal: nothing to take a killed run's unit back by
        // A run killed mid-unit: the next run takes the unit back out by the
        // journal beside the planted one.
        writeBytes(master, "header\r\n");
        writeBytes(send, "send header\r\n");
        {
            DiesAt dies(DiesAt::Flush, 2, 1000, gone);
            FileTable dying(dies);
            dying.setWarning([](const std::string&) {});
            EXPECT_THROW(writeUnit(dying), Death);
        }
        EXPECT_GT(readBytes(master).size(), std::string("header\r\n").size());
        std::vector<std::string> warnings;
        nextRun(&warnings);
        EXPECT_EQ(readBytes(master), "header\r\n");
        EXPECT_EQ(readBytes(send), "send header\r\n");
        plantedStays();
    }
}

// Where the file system keeps no locks, something put at the lock file's
// name (another user's file kept fresh, a link, a folder) is stepped around:
// the record goes in, and the thing planted stays as it was.
TEST_F(FileTableTest, SomethingPlantedAtTheLockFilesNameIsSteppedAround)
{
    const fs::path outside = drive.root() / "outside.txt";
    enum Kind { OtherUsers, Link, Folder };
    const struct {
        const char* what;
        Kind kind;
    } cases[] = {
        {"another user's file, fresh", OtherUsers},
        {"a dangling link", Link},
        {"a folder", Folder},
    };
    NoLocks noLocks;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.kind == OtherUsers && ::geteuid() != 0) {
            std::cout << "skipped: " << c.what << ": only root can give a file to another user\n";
            continue;
        }
        for (const auto& entry : fs::directory_iterator(dir))
            fs::remove_all(entry.path());
        const fs::path lock = FileTable::lockFilePath(dir / "masterFile_Ann_Lee.txt");
        switch (c.kind) {
        case OtherUsers:
            writeBytes(lock, "eve 1 0 -\n");
            ASSERT_EQ(::chown(lock.c_str(), 65534, 65534), 0);
            break;
        case Link:
            fs::create_symlink(drive.root() / "nowhere.txt", lock);
            break;
        case Folder:
            fs::create_directory(lock);
            break;
        }
        std::vector<std::string> warnings;
        FileTable table(noLocks);
        table.setWarning([&](const std::string& line) { warnings.push_back(line); });
        table.setLockTimeoutMs(2000);
        for (const char* line : {"Ann's line", "Ann's next line"}) {
            table.open(1, "c:\\drovnel\\masterFile_Ann_Lee.txt", FileMode::Append);
            EXPECT_TRUE(fs::exists(FileTable::lockFilePath(dir / "masterFile_Ann_Lee.txt", 1)));
            table.writeLine(1, line);
            table.close(1);
        }
        EXPECT_EQ(readBytes(dir / "masterFile_Ann_Lee.txt"), "Ann's line\r\nAnn's next line\r\n");
        EXPECT_FALSE(fs::exists(FileTable::lockFilePath(dir / "masterFile_Ann_Lee.txt", 1)));
        EXPECT_EQ(warnings.size(), 1u);
        if (c.kind == OtherUsers)
            EXPECT_EQ(readBytes(lock), "eve 1 0 -\n");
        else if (c.kind == Link)
            EXPECT_TRUE(fs::is_symlink(lock));
        else
            EXPECT_TRUE(fs::is_directory(fs::symlink_status(lock)));
        EXPECT_FALSE(fs::exists(drive.root() / "nowhere.txt"));
    }
}

} // namespace
} // namespace qal
