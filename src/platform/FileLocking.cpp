// FileTable's locks: the lock on a file a unit appends to or a reader
// reads, and the lock file that stands in for it where the file system keeps
// no locks. The rules are the same on every host; the host only answers.

#include "platform/FileTable.h"

#include "platform/RunError.h"
#include "platform/WinPath.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <thread>

namespace qal {

namespace {

// How long a lock is waited for before the student is shown that the program
// is busy.
constexpr auto waitNoticeAfter = std::chrono::milliseconds(300);

// A lock file not changed for this long was left behind: no unit takes so
// long, and its holder refreshes it while it waits or writes.
constexpr std::time_t lockFileLifetime = 120;

// How often the file system's clock is measured anew, and a held lock file
// refreshed, in seconds.
constexpr long long clockMeasuredEvery = 10;
constexpr long long lockFilesRefreshedEvery = 1;

long long steadySeconds()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

std::filesystem::path FileTable::lockFilePath(const std::filesystem::path& hostPath, std::size_t choice)
{
    // Two files cut to the same lock file only wait for each other.
    return besideFile(hostPath, "", choice == 0 ? ".lock" : ".lock-" + std::to_string(choice + 1));
}

void FileTable::lock(Slot& s, bool shared)
{
    // Another run writing a header or a record holds the lock only for that
    // long, so waiting a little is enough; past the limit, report it as the
    // platform reports a file held by someone else.
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + std::chrono::milliseconds(lockTimeoutMs_);
    auto pause = std::chrono::milliseconds(1);
    bool noticed = false;
    struct EndNotice {
        const std::function<void(bool)>& notice;
        const bool& noticed;
        ~EndNotice()
        {
            if (noticed)
                notice(false);
        }
    } endNotice{waitNotice_, noticed};
    bool useLockFile = false;
    for (;;) {
        if (!useLockFile) {
            const LockAnswer answer = host_->tryLock(s.file, shared);
            if (answer == LockAnswer::Locked)
                return;
            // Where the file system keeps no locks, a lock file stands in, so
            // no line is ever written unlocked.
            useLockFile = answer == LockAnswer::NotSupported;
        }
        if (useLockFile && takeLockFile(s))
            return;
        // A run that waits for its next file keeps those it holds fresh.
        refreshLockFiles();
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            throw RunError(err::PermissionDenied);
        if (!noticed && waitNotice_ && now - start >= waitNoticeAfter) {
            noticed = true;
            waitNotice_(true);
        }
        std::this_thread::sleep_for(pause);
        // Short pauses: the other run lets go between two of its records,
        // and a waiter that sleeps long would keep missing that moment.
        pause = std::min(pause * 2, std::chrono::milliseconds(4));
    }
}

bool FileTable::takeLockFile(Slot& s)
{
    // The lock file's names are the program's own: whatever stands at one
    // that is no plain file of this user's (another user's file, which a
    // classmate could keep fresh for ever, a link, a folder) is no run of
    // this student's holding the file; every run of the student steps
    // around it alike, to the same next name.
    for (std::size_t choice = 0; choice < lockFileNames; ++choice) {
        const std::filesystem::path lockPath = lockFilePath(s.path, choice);
        const Host::Entry there = host_->entry(lockPath);
        if (there.kind == Host::Entry::Other || (!there.otherOwner.empty() && ownersTold(lockPath.parent_path()))) {
            warnOnce(lockPath, "the lock file \"" + utf8FromHostPath(lockPath) + "\" is not this program's (" +
                                   (there.otherOwner.empty() ? std::string("a link or a folder")
                                                             : "a file of " + there.otherOwner) +
                                   "); it is left as it is, and the one beside it is used.");
            continue;
        }
        return takeLockFile(s, lockPath);
    }
    // Every name is taken by something not the program's: the file is
    // written with no lock file, as a student's runs rarely overlap, rather
    // than never.
    warnOnce(s.path, "no lock file can be made for \"" + utf8FromHostPath(s.path) + "\"; it is written without one.");
    return true;
}

bool FileTable::takeLockFile(Slot& s, const std::filesystem::path& lockPath)
{
    // Who holds it, for a waiter to tell whether it was left behind: the
    // machine's name, the process, this machine's time (for people to read;
    // no waiter goes by it) and what tells this machine from another of the
    // same name.
    const std::string holder = host_->machineName() + " " + std::to_string(host_->processId()) + " " +
                               std::to_string(std::time(nullptr)) + " " + machineId() + "\n";
    // Written whole under a name of this run's own, then renamed into place
    // where nothing stands: a run ended outright (killed, a power cut)
    // between making the lock file and writing its line would leave an
    // empty one, which no waiter can tell from a live one until it is old.
    // Where this run's name is taken by something it cannot remove, the
    // lock file is made in place.
    const std::filesystem::path fresh =
        lockPath.parent_path() / hostPathFromUtf8(".qalesson-lock-new-" + std::to_string(host_->processId()));
    host_->remove(fresh);
    const bool whole = host_->createExclusive(fresh, holder);
    if (whole ? host_->renameNoReplace(fresh, lockPath) : host_->createExclusive(lockPath, holder)) {
        s.lockFile = lockPath;
        return true;
    }
    if (whole)
        host_->remove(fresh);
    takeOverIfLeft(lockPath);
    return false;
}

std::time_t FileTable::fileSystemNow(const std::filesystem::path& folder)
{
    // The time of the file system that keeps the lock files (a file
    // server's, for a network folder): the time of a file just made there,
    // against this machine's clock. A clock set wrong on any machine then
    // cannot make a live lock look old.
    const long long now = steadySeconds();
    if (clockMeasuredAt_ < 0 || now - clockMeasuredAt_ >= clockMeasuredEvery) {
        const std::filesystem::path probe =
            folder / hostPathFromUtf8(".qalesson-clock-" + std::to_string(host_->processId()));
        host_->remove(probe);
        std::time_t offset = 0;
        try {
            if (host_->createExclusive(probe, "")) {
                const std::time_t made = host_->modified(probe);
                if (made >= 0)
                    offset = made - std::time(nullptr);
                host_->remove(probe);
            }
        } catch (const RunError&) {
            // Nothing can be made there: this machine's clock it is.
        }
        clockOffset_ = offset;
        clockMeasuredAt_ = now;
    }
    return std::time(nullptr) + clockOffset_;
}

void FileTable::refreshLockFiles() noexcept
{
    const long long now = steadySeconds();
    if (now - lockFilesRefreshedAt_ < lockFilesRefreshedEvery)
        return;
    lockFilesRefreshedAt_ = now;
    for (const Slot& held : slots_)
        if (!held.lockFile.empty())
            host_->touch(held.lockFile);
}

// Whether the lock file holding `holder` ("host pid time machine-id") was
// left behind by a run that is gone: made on this very machine by a process
// that no longer runs, or not changed for longer than any unit takes, by the
// file system's own clock. Whatever else stands there (a link, a folder, a
// line cut short or from an older version) goes by its age alone.
bool FileTable::lockFileLeft(const std::filesystem::path& lockPath, const std::string& holder)
{
    std::istringstream in(holder);
    std::string machine;
    long long pid = 0;
    long long since = 0;
    std::string id;
    if (in >> machine >> pid >> since >> id && pid > 0 && id != "-" && machine == host_->machineName() &&
        id == machineId() && host_->processGone(pid))
        return true;
    const std::time_t modified = host_->modified(lockPath);
    return modified >= 0 && fileSystemNow(lockPath.parent_path()) - modified > lockFileLifetime;
}

void FileTable::takeOverIfLeft(const std::filesystem::path& lockPath)
{
    const std::string holder = host_->readSmallFile(lockPath);
    if (!lockFileLeft(lockPath, holder))
        return;
    // Moved aside first, so that of several waiters that found it left
    // behind only one removes it, and a lock file taken anew in the meantime
    // is put back.
    const std::filesystem::path aside =
        lockPath.parent_path() / hostPathFromUtf8(".qalesson-lock-" + std::to_string(host_->processId()));
    host_->remove(aside);
    if (!host_->renameNoReplace(lockPath, aside))
        return;
    if (host_->readSmallFile(aside) != holder)
        (void)host_->renameNoReplace(aside, lockPath);
    host_->remove(aside);
}

} // namespace qal
