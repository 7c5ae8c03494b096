// The lock files' calls on POSIX: made only where nothing is, read, dated,
// refreshed and removed without following a link; and who holds one (the
// machine, its boot, the process).

#include "platform/posix/PosixHost.h"

#include "platform/RunError.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <new>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qal {

bool PosixHost::createExclusive(const std::filesystem::path& path, std::string_view contents)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST)
            return false;
        if (errno == ENOSPC || errno == EDQUOT)
            throw RunError(err::DiskFull);
        throw RunError(err::PermissionDenied);
    }
    const bool whole = ::write(fd, contents.data(), contents.size()) == static_cast<ssize_t>(contents.size());
    ::close(fd);
    if (!whole) {
        ::unlink(path.c_str());
        throw RunError(err::DiskFull);
    }
    return true;
}

std::string PosixHost::readSmallFile(const std::filesystem::path& path) noexcept
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return {};
    struct stat st {};
    std::string bytes;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        // As much as it holds, up to 64 KiB (one byte more tells a file
        // that grew meanwhile from one that did not).
        bytes.resize(static_cast<std::size_t>(std::min<off_t>(st.st_size + 1, 1 << 16)));
        std::size_t got = 0;
        std::string reason;
        for (std::size_t n = 1; n > 0 && got < bytes.size(); got += n)
            n = readSome(fd, bytes.data() + got, bytes.size() - got, reason);
        bytes.resize(got);
    }
    ::close(fd);
    return bytes;
}

std::time_t PosixHost::modified(const std::filesystem::path& path) noexcept
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mtime : -1;
}

Host::Entry PosixHost::entry(const std::filesystem::path& path) noexcept
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return {};
    Entry found;
    found.kind = S_ISREG(st.st_mode) ? Entry::PlainFile : Entry::Other;
    // Who this run is, asked once: the program never changes its user.
    static const uid_t me = ::geteuid();
    if (st.st_uid == me)
        return found;
    // The owner by name, as the student and the instructor know them; by
    // number where the system knows no name for it.
    try {
        std::vector<char> buffer(16384);
        passwd user{};
        passwd* named = nullptr;
        if (::getpwuid_r(st.st_uid, &user, buffer.data(), buffer.size(), &named) == 0 && named && named->pw_name &&
            *named->pw_name)
            found.otherOwner = named->pw_name;
        else
            found.otherOwner = "user " + std::to_string(st.st_uid);
    } catch (const std::bad_alloc&) {
        found.otherOwner = "another user";
    }
    return found;
}

bool PosixHost::touch(const std::filesystem::path& path) noexcept
{
    // Its first byte written again, as it was: the file system stamps the
    // write with its own time (the file server's, on a network folder).
    // utimensat, UTIME_NOW or not, may set this machine's time: a cifs
    // client sends its own, and a clock behind would make a live lock
    // look old.
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st {};
    char first = 0;
    const bool rewritten = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::pread(fd, &first, 1, 0) == 1 &&
                           ::pwrite(fd, &first, 1, 0) == 1;
    return ::close(fd) == 0 && rewritten;
}

bool PosixHost::remove(const std::filesystem::path& path) noexcept
{
    // An empty folder too (one put where a lock file goes).
    return ::unlink(path.c_str()) == 0 || (errno == EISDIR && ::rmdir(path.c_str()) == 0);
}

bool PosixHost::renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) noexcept
{
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
#endif
    // Where the file system cannot say it: a hard link fails where the
    // new name is taken; then the old name goes.
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    ::unlink(from.c_str());
    return true;
}

std::string PosixHost::machineName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return "localhost";
    return name;
}

std::string PosixHost::machineId()
{
    // The boot's id tells this machine (and this boot of it) from another
    // of the same name; the process namespace tells a container whose
    // process numbers are its own.
    std::string boot = readSmallFile("/proc/sys/kernel/random/boot_id");
    while (!boot.empty() && (boot.back() == '\n' || boot.back() == ' '))
        boot.pop_back();
    char ns[128] = {};
    const ssize_t n = ::readlink("/proc/self/ns/pid", ns, sizeof ns - 1);
    std::string id = boot.empty() ? "-" : boot;
    if (n > 0)
        id.append("/").append(ns, static_cast<std::size_t>(n));
    for (char& c : id)
        if (static_cast<unsigned char>(c) <= ' ')
            c = '_';
    return id;
}

long long PosixHost::processId()
{
    return ::getpid();
}

bool PosixHost::processGone(long long pid)
{
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

} // namespace qal
