// FileTable's locks: the lock on a file a unit appends to or a reader
// reads, the lock file that stands in for it where the file system keeps no
// locks, and the termination signals held back while a unit is open.

#include "platform/FileTable.h"

#include "platform/RunError.h"
#include "platform/WinPath.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace qal {

namespace {

// How long a lock is waited for before the student is shown that the program
// is busy.
constexpr auto waitNoticeAfter = std::chrono::milliseconds(300);

// A lock file older than this was left behind: no unit takes so long.
constexpr std::time_t lockFileLifetime = 120;

std::string thisHost()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return "localhost";
    return name;
}

// The first bytes of a small file; empty when it cannot be read.
std::string readSmallFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    char bytes[512];
    const ssize_t n = ::read(fd, bytes, sizeof bytes);
    ::close(fd);
    return n > 0 ? std::string(bytes, static_cast<std::size_t>(n)) : std::string();
}

// Whether the lock file holding `holder` ("host pid time") was left behind by
// a run that is gone: its process no longer runs on this host, or it is older
// than any unit takes (for another host, or a process number used anew).
bool lockFileLeft(const std::string& path, const std::string& holder)
{
    std::istringstream in(holder);
    std::string host;
    long long pid = 0;
    long long since = 0;
    const std::time_t now = std::time(nullptr);
    if (in >> host >> pid >> since && pid > 0) {
        if (host == thisHost() && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            return true;
        return now - since > lockFileLifetime;
    }
    // Not written yet, or cut short by a crash: its age tells.
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && now - st.st_mtime > lockFileLifetime;
}

} // namespace

std::string FileTable::lockFilePath(const std::string& hostPath)
{
    const std::filesystem::path path(hostPath);
    std::string name = path.filename().string();
    constexpr std::string_view suffix = ".lock";
    if (name.size() + suffix.size() > hostNameLimit) {
        // Cut where a character starts (never inside a UTF-8 sequence); two
        // files cut to the same lock file only wait for each other.
        std::size_t cut = hostNameLimit - suffix.size();
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        name.resize(cut);
    }
    return (path.parent_path() / (name + std::string(suffix))).string();
}

void FileTable::lock(Slot& s, int number, bool shared)
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
            int error = faults_ ? faults_->lockRefusal(number) : 0;
            if (!error) {
                if (::flock(s.fd, (shared ? LOCK_SH : LOCK_EX) | LOCK_NB) == 0)
                    return;
                error = errno;
            }
            if (error == EINTR)
                continue;
            // Any answer but "held by another run" means the file system
            // keeps no locks (NFS without its lock service answers ENOLCK):
            // a lock file stands in, so no line is ever written unlocked.
            if (error != EWOULDBLOCK)
                useLockFile = true;
        }
        if (useLockFile && takeLockFile(s))
            return;
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
    const std::string lockPath = lockFilePath(s.path);
    const int fd = ::open(lockPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
        // Who holds it, for a waiter to tell whether it was left behind.
        const std::string holder =
            thisHost() + " " + std::to_string(::getpid()) + " " + std::to_string(std::time(nullptr)) + "\n";
        const bool whole = ::write(fd, holder.data(), holder.size()) == static_cast<ssize_t>(holder.size());
        ::close(fd);
        s.lockFile = lockPath;
        if (!whole) {
            // A lock file that does not name its holder would hold others
            // off for two minutes should this run die; give up this try.
            ::unlink(lockPath.c_str());
            s.lockFile.clear();
            throw RunError(err::DiskFull);
        }
        return true;
    }
    if (errno == ENOSPC || errno == EDQUOT)
        throw RunError(err::DiskFull);
    if (errno != EEXIST)
        throw RunError(err::PermissionDenied); // no lock to be had here
    takeOverIfLeft(lockPath);
    return false;
}

void FileTable::takeOverIfLeft(const std::string& lockPath)
{
    const std::string holder = readSmallFile(lockPath);
    if (!lockFileLeft(lockPath, holder))
        return;
    // Moved aside first, so that of several waiters that found it left
    // behind only one removes it, and a lock file taken anew in the meantime
    // is put back.
    const std::string aside =
        (std::filesystem::path(lockPath).parent_path() / (".qalesson-lock-" + std::to_string(::getpid()))).string();
    if (::rename(lockPath.c_str(), aside.c_str()) != 0)
        return;
    if (readSmallFile(aside) != holder)
        (void)::link(aside.c_str(), lockPath.c_str());
    ::unlink(aside.c_str());
}

void FileTable::holdSignals()
{
    if (appendOpen_++ > 0)
        return;
    sigset_t terminating;
    sigemptyset(&terminating);
    sigaddset(&terminating, SIGTERM);
    sigaddset(&terminating, SIGHUP);
    sigaddset(&terminating, SIGINT);
    pthread_sigmask(SIG_BLOCK, &terminating, &heldMask_);
}

void FileTable::releaseSignals()
{
    if (--appendOpen_ > 0)
        return;
    // A signal that came meanwhile takes effect here, with the unit done.
    pthread_sigmask(SIG_SETMASK, &heldMask_, nullptr);
}

} // namespace qal
