// Two runs of the program writing to the same files at once, as when a
// student starts it twice or two machines share a LAN folder: each header
// block and record must reach every file whole, none lost, none mixed with
// the other run's lines.

#include "platform/FileTable.h"
#include "run/LessonForm.h"

#include "fakes/ChildProcess.h"
#include "fakes/FakeToolkit.h"
#include "fakes/FormOnFakes.h"
#include "fakes/TempDrive.h"
#include "robustness/RecordLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <iostream>
#include <thread>

#ifdef _WIN32
#include "platform/Host.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace qal::test {
namespace {

namespace fs = std::filesystem;

// Ann Lee's three files, each with what it holds.
const struct {
    const char* name;
    RecordFileKind kind;
} files[] = {{"masterFile_Ann_Lee.txt", RecordFileKind::Master},
             {"send_1207Ann_Lee.txt", RecordFileKind::Send},
             {"notes_Ann_Lee.txt", RecordFileKind::Notes}};

// How a writer is started: as it is, with its clock three minutes ahead of
// the file system's or behind it (libfaketime; the file times stay the file
// system's own, but a time the run sets on a file is its own, as a cifs
// client's is), or in a process namespace of its own (unshare: the same host
// name, and process numbers that mean nothing to the other run).
enum class Started { AsItIs, ClockAhead, ClockBehind, OwnProcessNamespace };

const char* const fakeTimeLibrary = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";

// Starts record_writer with args; the child inherits QALESSON_DRIVE_C.
std::unique_ptr<ChildProcess> startWriter(const std::vector<std::string>& args, Started how = Started::AsItIs)
{
#ifdef _WIN32
    const fs::path writer = programBeside("record_writer");
#else
    const fs::path writer = QALESSON_RECORD_WRITER;
#endif
    if (how == Started::AsItIs)
        return std::make_unique<ChildProcess>(writer, args);
    if (how == Started::ClockBehind) {
        // The library itself, through env, which runs the writer in its own
        // process (faketime would run it as a child): a signal reaches it.
        std::vector<std::string> wrapped{std::string("LD_PRELOAD=") + fakeTimeLibrary, "FAKETIME=-180",
                                         writer.string()};
        wrapped.insert(wrapped.end(), args.begin(), args.end());
        return std::make_unique<ChildProcess>("/usr/bin/env", wrapped);
    }
    std::vector<std::string> wrapped = how == Started::ClockAhead ? std::vector<std::string>{"-f", "+180"}
                                                                  : std::vector<std::string>{"--pid", "--fork"};
    wrapped.push_back(writer.string());
    wrapped.insert(wrapped.end(), args.begin(), args.end());
    return std::make_unique<ChildProcess>(how == Started::ClockAhead ? "/usr/bin/faketime" : "/usr/bin/unshare",
                                          wrapped);
}

struct Expected {
    std::string label;
    int count;
    int notesEvery;
    int failEvery = 0; // every so many records fail once, and are clicked again
    Started how = Started::AsItIs;
    bool isNote(int k) const { return notesEvery > 0 && k % notesEvery == 0; }
};

// Checks that blocks hold each run's header once and each of its records
// once, in the run's own order, each with the question it answered. Returns
// how often the file switches from one run's records to the other's.
int checkRuns(const RecordFile& file, RecordFileKind kind, const std::vector<Expected>& runs)
{
    std::map<std::string, int> lastK;
    std::map<std::string, int> seen;
    int headers = 0;
    int switches = 0;
    std::string previous;
    for (const RecordBlock& b : file.blocks) {
        if (b.kind == RecordBlock::Header) {
            ++headers;
            EXPECT_EQ(b.text, "Ann Lee");
            EXPECT_EQ(b.question, "001.  Part B");
            continue;
        }
        // "run A record 17" or "run A note 17"
        const std::string& t = b.text;
        const auto space1 = t.find(' ', 4);
        const auto space2 = t.rfind(' ');
        if (t.rfind("run ", 0) != 0 || space1 == std::string::npos || space2 <= space1) {
            ADD_FAILURE() << "not a text of the runs: " << t;
            continue;
        }
        const std::string label = t.substr(4, space1 - 4);
        const std::string what = t.substr(space1 + 1, space2 - space1 - 1);
        const int k = std::stoi(t.substr(space2 + 1));
        EXPECT_EQ(what, b.kind == RecordBlock::Notes ? "note" : "record") << t;
        EXPECT_EQ(b.question, "question " + std::to_string(k)) << t;
        if (kind == RecordFileKind::Master && b.kind == RecordBlock::Response) {
            EXPECT_EQ(b.recordNumber, "10000") << t;
        }
        EXPECT_GT(k, lastK[label]) << "out of order or twice: " << t;
        lastK[label] = k;
        ++seen[label];
        if (!previous.empty() && previous != label)
            ++switches;
        previous = label;
    }
    EXPECT_EQ(headers, kind == RecordFileKind::Notes ? 0 : static_cast<int>(runs.size()));
    for (const Expected& run : runs) {
        int records = 0;
        for (int k = 1; k <= run.count; ++k)
            if (kind != RecordFileKind::Notes || run.isNote(k))
                ++records;
        EXPECT_EQ(seen[run.label], records) << "run " << run.label;
    }
    return switches;
}

class TwoRunsTest : public ::testing::Test {
protected:
    TempDrive drive;

    fs::path file(const std::string& name) const { return drive.drovnel() / name; }

    void runTwo(const std::vector<Expected>& runs, bool slow, bool noLocks = false)
    {
        const fs::path go = drive.root() / "go";
        std::vector<std::unique_ptr<ChildProcess>> writers;
        for (const Expected& run : runs) {
            std::vector<std::string> args{run.label,       std::to_string(run.count),
                                          "--notes-every", std::to_string(run.notesEvery),
                                          "--ready",       (drive.root() / (run.label + ".ready")).string(),
                                          "--go",          go.string()};
            if (slow)
                args.push_back("--slow");
            if (noLocks)
                args.push_back("--no-locks");
            if (run.failEvery) {
                args.push_back("--fail-every");
                args.push_back(std::to_string(run.failEvery));
            }
            writers.push_back(startWriter(args, run.how));
            ASSERT_TRUE(writers.back()->started());
        }
        // Both have written their header blocks and wait: let them record
        // at the same moment.
        for (const Expected& run : runs)
            for (int i = 0; i < 30000 && !fs::exists(drive.root() / (run.label + ".ready")); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        writeBytes(go, "go\n");
        for (const auto& writer : writers)
            EXPECT_EQ(writer->wait(), 0);

        int switches = 0;
        for (const auto& f : files) {
            SCOPED_TRACE(f.name);
            const RecordFile parsed = parseRecordFile(readBytes(file(f.name)), f.kind);
            ASSERT_TRUE(parsed.whole()) << parsed.error;
            const int s = checkRuns(parsed, f.kind, runs);
            if (f.kind == RecordFileKind::Master)
                switches = s;
        }
        // Not a rule of the program, but of this test: the runs really did
        // write at the same time, or it would prove nothing.
        EXPECT_GT(switches, 1) << "the two runs did not overlap";
    }
};

TEST_F(TwoRunsTest, HundredsOfRecordsAtOnceStayWholeAndApart)
{
    runTwo({{"A", 300, 7}, {"B", 300, 5}}, false);
}

TEST_F(TwoRunsTest, RecordsStayWholeWhenEveryLineLeavesRoomForTheOtherRun)
{
    runTwo({{"A", 150, 3}, {"B", 150, 4}}, true);
}

TEST_F(TwoRunsTest, WhereTheFileSystemRefusesLocksLockFilesKeepFourRunsApart)
{
    runTwo({{"A", 150, 7}, {"B", 150, 5}, {"C", 150, 3}, {"D", 150, 0}}, false, true);
    EXPECT_FALSE(fs::exists(file("masterFile_Ann_Lee.txt.lock")));
}

// One run's clock three minutes ahead, or the two in separate process
// namespaces under one host name (two containers, two machines cloned
// alike): neither may take the other's live lock file for one left behind,
// and when a record of either fails, cutting it back must not take the
// other's record with it. Every record reported saved is in every file, once.
TEST_F(TwoRunsTest, WhereLocksAreRefusedAClockAheadOrAnotherMachineOfTheSameNameCostsNoRecordSaved)
{
#ifdef _WIN32
    GTEST_SKIP() << "faketime and unshare are for POSIX programs; WindowsHost tells machines by their GUID";
#else
    const struct {
        const char* what;
        Started how;
        const char* tool;
        bool asRoot;
    } cases[] = {
        {"a clock three minutes ahead", Started::ClockAhead, "/usr/bin/faketime", false},
        {"the same host name, another process namespace", Started::OwnProcessNamespace, "/usr/bin/unshare", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (!fs::exists(c.tool) || (c.asRoot && ::geteuid() != 0)) {
            std::cout << "skipped: " << c.what << ": needs " << c.tool << (c.asRoot ? " and root" : "") << '\n';
            continue;
        }
        for (const auto& entry : fs::directory_iterator(drive.root()))
            fs::remove_all(entry.path());
        runTwo({{"A", 150, 7, 4, c.how}, {"B", 150, 5, 5}}, false, true);
        EXPECT_FALSE(fs::exists(file("masterFile_Ann_Lee.txt.lock")));
    }
#endif
}

// One run's clock three minutes behind, where locks are refused: its lock
// files' refreshes must stamp the file system's time, or the other run takes
// a live lock for one left behind. That run is ended outright among its
// records, three times over, while the other records; then a last run
// records. Every record reported saved is in every one of its files once,
// and no record is in a file twice.
TEST_F(TwoRunsTest, WhereLocksAreRefusedARunWithItsClockBehindEndedOutrightCostsNoRecordSaved)
{
#ifdef _WIN32
    GTEST_SKIP() << "libfaketime is for POSIX programs";
#else
    if (!fs::exists(fakeTimeLibrary)) {
        std::cout << "skipped: needs " << fakeTimeLibrary << '\n';
        return;
    }
    struct Run {
        std::string label;
        int notesEvery;
        int failEvery; // every so many records fail once (and are cut back), and are clicked again
        Started how;
    };
    std::vector<std::pair<Run, fs::path>> saved; // each run and the file of its records reported saved
    for (int round = 0; round < 3; ++round) {
        const fs::path go = drive.root() / ("go" + std::to_string(round));
        const Run runs[] = {{"A" + std::to_string(round), 7, 4, Started::ClockBehind},
                            {"B" + std::to_string(round), 5, 5, Started::AsItIs}};
        std::vector<std::unique_ptr<ChildProcess>> writers;
        for (const Run& run : runs) {
            const fs::path savedFile = drive.root() / (run.label + ".saved");
            saved.emplace_back(run, savedFile);
            writers.push_back(startWriter({run.label, "400", "--notes-every", std::to_string(run.notesEvery), "--ready",
                                           (drive.root() / (run.label + ".ready")).string(), "--go", go.string(),
                                           "--no-locks", "--slow-flush", "--fail-every", std::to_string(run.failEvery),
                                           "--saved", savedFile.string()},
                                          run.how));
            ASSERT_TRUE(writers.back()->started());
        }
        for (const Run& run : runs)
            for (int i = 0; i < 30000 && !fs::exists(drive.root() / (run.label + ".ready")); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        writeBytes(go, "go\n");
        // Ended once it has recorded a while, at a moment that differs
        // from round to round.
        const auto savedLines = [&](const fs::path& path) {
            const std::string text = fs::exists(path) ? readBytes(path) : std::string();
            return std::count(text.begin(), text.end(), '\n');
        };
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (savedLines(saved[saved.size() - 2].second) < 40 + 17 * round &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ::kill(static_cast<pid_t>(writers[0]->pid()), SIGKILL);
        EXPECT_EQ(writers[0]->wait(), 128 + SIGKILL) << runs[0].label << " ended before it was ended";
        EXPECT_EQ(writers[1]->wait(), 0) << runs[1].label;
    }
    const auto last = startWriter({"Z", "3", "--notes-every", "3", "--no-locks"});
    EXPECT_EQ(last->wait(), 0);

    std::map<std::string, int> recorded[3]; // "R text" or "N text" -> how often, in each file
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(files[i].name);
        const RecordFile parsed = parseRecordFile(readBytes(file(files[i].name)), files[i].kind);
        EXPECT_TRUE(parsed.whole()) << parsed.error;
        for (const RecordBlock& b : parsed.blocks)
            if (b.kind != RecordBlock::Header)
                ++recorded[i][(b.kind == RecordBlock::Notes ? "N " : "R ") + b.text];
        for (const auto& [text, times] : recorded[i])
            EXPECT_EQ(times, 1) << text;
        EXPECT_FALSE(fs::exists(file(std::string(files[i].name) + ".lock")));
    }
    // A record is in the master file and the send file or in neither, a
    // note in the notes file too.
    for (const auto& [text, times] : recorded[0]) {
        EXPECT_EQ(recorded[1].count(text), 1u) << text;
        EXPECT_EQ(recorded[2].count(text), text[0] == 'N' ? 1u : 0u) << text;
    }
    EXPECT_EQ(recorded[1].size(), recorded[0].size());
    std::size_t reported = 0;
    for (const auto& [run, path] : saved) {
        std::istringstream lines(readBytes(path));
        for (int k = 0; lines >> k; ++reported) {
            const bool note = k % run.notesEvery == 0;
            const std::string text = std::string(note ? "N" : "R") + " run " + run.label +
                                     (note ? " note " : " record ") + std::to_string(k);
            EXPECT_EQ(recorded[0].count(text), 1u) << "reported saved: " << text;
        }
    }
    EXPECT_GT(reported, 6u * 40) << "the runs recorded too little to prove anything";
#endif
}

// Where locks are refused, a run that holds the master file's lock file
// while it waits for the send file's (held here, as by a third run) keeps
// it fresh by the file system's clock, whatever its own clock says: the
// other run, waiting for the master file all the while, never takes it over.
// The holder is then ended outright among its records. Every record reported
// saved is in every one of its files once, with the clock three minutes
// behind and three minutes ahead.
TEST_F(TwoRunsTest, WhereLocksAreRefusedARunThatWaitsHoldingALockKeepsItWhateverItsClock)
{
#ifdef _WIN32
    GTEST_SKIP() << "libfaketime is for POSIX programs";
#else
    if (!fs::exists(fakeTimeLibrary)) {
        std::cout << "skipped: needs " << fakeTimeLibrary << '\n';
        return;
    }
    const fs::path masterLock = FileTable::lockFilePath(file("masterFile_Ann_Lee.txt"));
    const fs::path sendLock = FileTable::lockFilePath(file("send_1207Ann_Lee.txt"));
    std::vector<std::pair<std::string, fs::path>> saved; // each run's label and its records reported saved
    for (const char* skew : {"-180", "+180"}) {
        SCOPED_TRACE(std::string("the holder's clock ") + skew + " s");
        const std::string a = std::string("A") + (skew[0] == '-' ? "behind" : "ahead");
        const std::string b = std::string("B") + (skew[0] == '-' ? "behind" : "ahead");
        const auto ready = [&](const std::string& label) { return drive.root() / (label + ".ready"); };
        const auto go = [&](const std::string& label) { return drive.root() / (label + ".go"); };
        const auto args = [&](const std::string& label) {
            saved.emplace_back(label, drive.root() / (label + ".saved"));
            return std::vector<std::string>{label,
                                            "200",
                                            "--notes-every",
                                            "6",
                                            "--ready",
                                            ready(label).string(),
                                            "--go",
                                            go(label).string(),
                                            "--no-locks",
                                            "--saved",
                                            saved.back().second.string()};
        };
        // The holder runs on the library itself, through env, so that the
        // signal reaches the writer, not a parent of it.
        std::vector<std::string> skewed{std::string("LD_PRELOAD=") + fakeTimeLibrary, std::string("FAKETIME=") + skew,
                                        QALESSON_RECORD_WRITER};
        const std::vector<std::string> aArgs = args(a);
        skewed.insert(skewed.end(), aArgs.begin(), aArgs.end());
        ChildProcess holder("/usr/bin/env", skewed);
        const auto other = startWriter(args(b));
        ASSERT_TRUE(holder.started());
        ASSERT_TRUE(other->started());
        for (const std::string& label : {a, b})
            for (int i = 0; i < 30000 && !fs::exists(ready(label)); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // Both have written their headers. The send file's lock file is
        // held here; the holder takes the master file's and waits.
        writeBytes(sendLock, "held by the test\n");
        writeBytes(go(a), "go\n");
        std::string holding;
        for (int i = 0; i < 10000 && holding.empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            holding = fs::exists(masterLock) ? readBytes(masterLock) : "";
        }
        ASSERT_FALSE(holding.empty()) << "the holder never took the master file's lock";
        writeBytes(go(b), "go\n");
        // Four seconds of refreshes, each of which a client-set time would
        // make look three minutes old to the other run.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(4);
        while (std::chrono::steady_clock::now() < until) {
            EXPECT_EQ(readBytes(masterLock), holding) << "the other run took over a live lock";
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        const auto age = std::chrono::duration_cast<std::chrono::seconds>(fs::file_time_type::clock::now() -
                                                                          fs::last_write_time(masterLock));
        EXPECT_LE(std::abs(age.count()), 3) << "the lock file was not kept fresh by the file system's clock";
        fs::remove(sendLock);
        // Ended outright among its records, once it recorded a few more.
        const auto savedLines = [&](const fs::path& path) {
            const std::string text = fs::exists(path) ? readBytes(path) : std::string();
            return std::count(text.begin(), text.end(), '\n');
        };
        const fs::path& holderSaved = saved[saved.size() - 2].second;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (savedLines(holderSaved) < 30 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ::kill(static_cast<pid_t>(holder.pid()), SIGKILL);
        EXPECT_EQ(holder.wait(), 128 + SIGKILL) << "the holder ended before it was ended";
        EXPECT_EQ(other->wait(), 0) << b;
    }
    const auto last = startWriter({"Z", "3", "--notes-every", "3", "--no-locks"});
    EXPECT_EQ(last->wait(), 0);

    std::map<std::string, int> recorded[3]; // "R text" or "N text" -> how often, in each file
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(files[i].name);
        const RecordFile parsed = parseRecordFile(readBytes(file(files[i].name)), files[i].kind);
        EXPECT_TRUE(parsed.whole()) << parsed.error;
        for (const RecordBlock& block : parsed.blocks)
            if (block.kind != RecordBlock::Header)
                ++recorded[i][(block.kind == RecordBlock::Notes ? "N " : "R ") + block.text];
        for (const auto& [text, times] : recorded[i])
            EXPECT_EQ(times, 1) << text;
    }
    for (const auto& [text, times] : recorded[0]) {
        EXPECT_EQ(recorded[1].count(text), 1u) << text;
        EXPECT_EQ(recorded[2].count(text), text[0] == 'N' ? 1u : 0u) << text;
    }
    EXPECT_EQ(recorded[1].size(), recorded[0].size());
    std::size_t reported = 0;
    for (const auto& [label, path] : saved) {
        std::istringstream lines(readBytes(path));
        for (int k = 0; lines >> k; ++reported) {
            const bool note = k % 6 == 0;
            const std::string text =
                std::string(note ? "N" : "R") + " run " + label + (note ? " note " : " record ") + std::to_string(k);
            EXPECT_EQ(recorded[0].count(text), 1u) << "reported saved: " << text;
        }
    }
    EXPECT_GE(reported, 2u * (30 + 200)) << "the runs recorded too little to prove anything";
#endif
}

// Runs ended by signal at moments spread over their records, one after the
// other on the same files; the runs pause between the files of a record,
// where most of the signals land. SIGTERM waits for the record under way to
// finish; SIGKILL cannot be waited for, and the next run takes back what
// the killed one left of its record. Then one more run goes to its end.
// Every record is in every one of its files whole, or in none, and no lock
// file or journal is left behind that holds anything.
TEST_F(TwoRunsTest, ARunEndedBySignalLeavesEveryRecordWholeInEveryFileOrInNone)
{
    // Windows sends a console program no SIGTERM to hold back: it ends a
    // process outright (TerminateProcess, exit status 128 + 15 here), as
    // SIGKILL does.
    const struct {
        const char* what;
        int signal;
    } cases[] = {
#ifdef _WIN32
        {"TerminateProcess", 15},
#else
        {"SIGTERM", SIGTERM},
        {"SIGKILL", SIGKILL},
#endif
    };
    const int runs = 10;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDrive drive;
        const auto file = [&](const std::string& name) { return drive.drovnel() / name; };
        for (int i = 0; i < runs; ++i) {
            const std::string label = std::string(1, static_cast<char>('A' + i));
            std::error_code ec;
            const auto sizeNow = [&] {
                const auto size = fs::file_size(file("masterFile_Ann_Lee.txt"), ec);
                return ec ? std::uintmax_t{0} : size;
            };
            const std::uintmax_t before = sizeNow();
            const auto writer = startWriter({label, "2400", "--notes-every", "3", "--slow-flush"});
            ASSERT_TRUE(writer->started());
            // On a busy machine a run may take a while to start writing: the
            // signal is meant for a run among its records, so wait for a few.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (sizeNow() <= before + 2048 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            std::this_thread::sleep_for(std::chrono::milliseconds(30 + 13 * i));
#ifdef _WIN32
            writer->terminate();
#else
            ::kill(static_cast<pid_t>(writer->pid()), c.signal);
#endif
            EXPECT_EQ(writer->wait(), 128 + c.signal);
        }
        const auto last = startWriter({"Z", "3", "--notes-every", "3"});
        EXPECT_EQ(last->wait(), 0);
        // Each file's records as "kind text", headers left out.
        std::vector<std::string> recorded[3];
        for (std::size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE(files[i].name);
            const RecordFile parsed = parseRecordFile(readBytes(file(files[i].name)), files[i].kind);
            EXPECT_TRUE(parsed.whole()) << parsed.error;
            for (const RecordBlock& b : parsed.blocks)
                if (b.kind != RecordBlock::Header)
                    recorded[i].push_back((b.kind == RecordBlock::Notes ? "N " : "R ") + b.text);
            EXPECT_FALSE(fs::exists(file(std::string(files[i].name) + ".lock")));
        }
        EXPECT_EQ(readBytes(file(".masterFile_Ann_Lee.txt-journal")), "");
        // A record is in every one of its files or in none.
        EXPECT_EQ(recorded[1], recorded[0]);
        std::vector<std::string> notesInMaster;
        for (const std::string& r : recorded[0])
            if (r[0] == 'N')
                notesInMaster.push_back(r);
        EXPECT_EQ(recorded[2], notesInMaster);
        const std::size_t records = recorded[0].size();
        EXPECT_GT(records, static_cast<std::size_t>(runs)) << "the runs were ended before they recorded";
        EXPECT_EQ(recorded[0].back(), "N run Z note 3");
    }
}

#ifdef _WIN32
// Holds an exclusive lock on a file until released. A Windows lock belongs
// to the file handle that took it, so a second handle in this process holds
// the run off just as another process would.
class LockHolder {
public:
    explicit LockHolder(const fs::path& path)
    {
        Host& host = systemHost();
        handle_ = host.open(path, FileMode::Append).handle;
        locked_ = host.tryLock(handle_, false) == LockAnswer::Locked;
    }
    ~LockHolder() { release(); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    bool locked() const { return locked_; }
    void release()
    {
        if (handle_ != noHandle)
            systemHost().close(handle_);
        handle_ = noHandle;
    }

private:
    HostHandle handle_ = noHandle;
    bool locked_ = false;
};
#else
int waitExit(pid_t pid)
{
    int status = 0;
    return waitpid(pid, &status, 0) == pid ? 0 : -1;
}

// Holds an exclusive lock on a file from another process until released.
class LockHolder {
public:
    explicit LockHolder(const fs::path& path)
    {
        int ready[2];
        int release[2];
        if (pipe(ready) != 0 || pipe(release) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0666);
            const char ok = fd >= 0 && ::flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
            if (::write(ready[1], &ok, 1) != 1)
                _exit(1);
            char c;
            while (::read(release[0], &c, 1) > 0) {
            }
            _exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        release_ = release[1];
        char ok = 'n';
        locked_ = ::read(ready[0], &ok, 1) == 1 && ok == 'y';
        ::close(ready[0]);
    }
    ~LockHolder() { release(); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    bool locked() const { return locked_; }
    void release()
    {
        if (release_ >= 0) {
            ::close(release_);
            release_ = -1;
            waitExit(pid_);
        }
    }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool locked_ = false;
};
#endif

// A started run whose next record finds one of its files held by another run
// longer than it waits.
class HeldLockTest : public ::testing::Test, protected FormOnFakes {
protected:
    void SetUp() override
    {
        startUp(annLee());
        ASSERT_TRUE(toolkit.messages.empty());
        form.cmdNextQuestion_Click();
        files.setLockTimeoutMs(150);
    }
    fs::path file(const std::string& name) const { return drive.drovnel() / name; }
};

TEST_F(HeldLockTest, RecordFailsWithPermissionDeniedKeepsTheAnswerAndWritesNothing)
{
    const struct {
        const char* held;
        bool notes;
    } cases[] = {
        {"masterFile_Ann_Lee.txt", false}, {"send_1207Ann_Lee.txt", false}, {"masterFile_Ann_Lee.txt", true},
        {"send_1207Ann_Lee.txt", true},    {"notes_Ann_Lee.txt", true},
    };
    const std::vector<std::string> names{"masterFile_Ann_Lee.txt", "send_1207Ann_Lee.txt", "notes_Ann_Lee.txt"};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.held) + (c.notes ? " / Save as Notes" : " / Enter Response"));
        std::vector<std::string> before;
        for (const auto& n : names)
            before.push_back(readBytes(file(n)));
        toolkit.messages.clear();
        toolkit.answerBox = "my answer";
        toolkit.questionBox = "the question";

        LockHolder holder(file(c.held));
        ASSERT_TRUE(holder.locked());
        if (c.notes)
            form.cmd_save_as_notes_Click();
        else
            form.cmd_enter_response_Click();

        EXPECT_EQ(toolkit.messages, std::vector<std::string>{"Run-time error '70':\r\n\r\nPermission denied"});
        EXPECT_FALSE(form.ended());
        EXPECT_EQ(toolkit.answerBox, "my answer");
        EXPECT_EQ(toolkit.questionBox, "the question");
        for (std::size_t i = 0; i < names.size(); ++i)
            EXPECT_EQ(readBytes(file(names[i])), before[i]) << names[i];

        // Once the other run lets go, the same click goes through.
        holder.release();
        toolkit.messages.clear();
        if (c.notes)
            form.cmd_save_as_notes_Click();
        else
            form.cmd_enter_response_Click();
        EXPECT_TRUE(toolkit.messages.empty());
        EXPECT_EQ(toolkit.answerBox, "");
        const RecordFile master = parseRecordFile(readBytes(file(names[0])), RecordFileKind::Master);
        ASSERT_TRUE(master.whole()) << master.error;
        ASSERT_FALSE(master.blocks.empty());
        EXPECT_EQ(master.blocks.back().kind, c.notes ? RecordBlock::Notes : RecordBlock::Response);
        EXPECT_EQ(master.blocks.back().text, "my answer");
    }
}

TEST_F(HeldLockTest, DisplayNotesNeverReadsANotesFileWhileARecordIsWrittenToIt)
{
    toolkit.answerBox = "a note";
    form.cmd_save_as_notes_Click();
    toolkit.questionBox = "the question";
    LockHolder holder(file("notes_Ann_Lee.txt"));
    ASSERT_TRUE(holder.locked());
    form.cmd_display_note_file_Click();
    EXPECT_EQ(toolkit.messages, std::vector<std::string>{"Run-time error '70':\r\n\r\nPermission denied"});
    EXPECT_EQ(toolkit.questionBox, "the question");
    holder.release();
    toolkit.messages.clear();
    form.cmd_display_note_file_Click();
    EXPECT_TRUE(toolkit.messages.empty());
    EXPECT_NE(toolkit.questionBox.find("NOTES -------> a note"), std::string::npos);
}

TEST_F(HeldLockTest, LockHeldForAShortWhileIsWaitedFor)
{
    toolkit.answerBox = "patient answer";
    files.setLockTimeoutMs(5000);
    auto holder = std::make_unique<LockHolder>(file("send_1207Ann_Lee.txt"));
    ASSERT_TRUE(holder->locked());
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        holder->release();
    });
    form.cmd_enter_response_Click();
    releaser.join();
    EXPECT_TRUE(toolkit.messages.empty());
    // Waiting more than a moment showed the wait cursor, and took it away.
    EXPECT_EQ(toolkit.waitCursor, (std::vector<bool>{true, false}));
    const RecordFile send = parseRecordFile(readBytes(file("send_1207Ann_Lee.txt")), RecordFileKind::Send);
    ASSERT_TRUE(send.whole()) << send.error;
    EXPECT_EQ(send.blocks.back().text, "patient answer");
}

} // namespace
} // namespace qal::test
