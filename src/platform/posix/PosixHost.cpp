// The host on POSIX systems (Linux, and the BSDs and macOS in principle):
// file descriptors, flock, fsync, and the termination signals held back
// while a unit is open.

#include "platform/Host.h"

#include "platform/RunError.h"
#include "platform/posix/HostErrors.h"

#include <cerrno>
#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qal {

namespace {

int fdOf(HostHandle file)
{
    return static_cast<int>(file);
}

// fsync's answer for a file that cannot be flushed by its nature (a
// terminal, /dev/full, a read-only file system it was never written to).
bool cannotBeFlushed(int error)
{
    return error == EINVAL || error == EROFS;
}

class PosixHost final : public Host {
public:
    Opened open(const std::filesystem::path& path, FileMode mode) override
    {
        // Non-blocking, so that a FIFO in the file's place is refused rather
        // than waited on for a writer or reader that never comes.
        int flags = O_CLOEXEC | O_NONBLOCK;
        switch (mode) {
        case FileMode::Append:
            flags |= O_WRONLY | O_APPEND | O_NOFOLLOW;
            break;
        case FileMode::Input:
            flags |= O_RDONLY;
            break;
        case FileMode::Output:
            flags |= O_WRONLY | O_TRUNC | O_NOFOLLOW;
            break;
        case FileMode::Update:
            flags |= O_WRONLY | O_NOFOLLOW;
            break;
        }
        int fd = ::open(path.c_str(), flags, 0666);
        bool created = false;
        // Created only when missing, so that the caller knows to make the new
        // folder entry durable too. O_EXCL: a link made meanwhile (dangling
        // or not) is never followed to create its target; a file another run
        // made meanwhile is opened as it is.
        for (int tries = 0; fd < 0 && errno == ENOENT && mode != FileMode::Input && tries < 3; ++tries) {
            fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
            created = fd >= 0;
            if (fd < 0 && errno == EEXIST)
                fd = ::open(path.c_str(), flags, 0666);
        }
        if (fd < 0) {
            const int error = errno;
            // A missing file is "file not found" only when its folder is there.
            struct stat folder {};
            if (error == ENOENT && mode == FileMode::Input &&
                (::stat(path.parent_path().empty() ? "." : path.parent_path().c_str(), &folder) != 0 ||
                 !S_ISDIR(folder.st_mode)))
                throw RunError(err::PathNotFound);
            // A link in the file's place (O_NOFOLLOW answers ELOOP) is a file
            // that may not be opened.
            throw RunError(openErrorNumber(error, mode == FileMode::Input));
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            throw RunError(err::PathFileAccessError);
        }
        // O_NONBLOCK stays: it changes nothing for a plain file (flock is
        // asked without waiting anyway).
        return {fd, created};
    }

    std::uint64_t size(HostHandle file) override
    {
        struct stat st {};
        if (::fstat(fdOf(file), &st) != 0)
            throw RunError(err::DeviceIOError);
        return static_cast<std::uint64_t>(st.st_size);
    }

    void writeAll(HostHandle file, std::string_view bytes, bool& written) override
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fdOf(file), bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw RunError(n < 0 ? writeErrorNumber(errno) : err::DiskFull);
            done += static_cast<std::size_t>(n);
            written = true;
        }
    }

    void writeAt(HostHandle file, std::uint64_t offset, std::string_view bytes, bool& written) override
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::pwrite(fdOf(file), bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw RunError(n < 0 ? writeErrorNumber(errno) : err::DiskFull);
            done += static_cast<std::size_t>(n);
            written = true;
        }
    }

    std::size_t read(HostHandle file, char* buffer, std::size_t size) override
    {
        // The host's one read loop (readSome), with its failure as 57.
        std::string reason;
        const std::size_t got = readSome(file, buffer, size, reason);
        if (!reason.empty())
            throw RunError(err::DeviceIOError);
        return got;
    }

    void sync(HostHandle file) override
    {
        if (::fsync(fdOf(file)) != 0 && !cannotBeFlushed(errno))
            throw RunError(writeErrorNumber(errno));
    }

    void syncData(HostHandle file) override
    {
        if (::fdatasync(fdOf(file)) != 0 && !cannotBeFlushed(errno))
            throw RunError(writeErrorNumber(errno));
    }

    bool blank(HostHandle file, std::uint64_t length) noexcept override
    {
        const std::string zeros(static_cast<std::size_t>(length), '\0');
        std::size_t done = 0;
        while (done < zeros.size()) {
            const ssize_t n = ::pwrite(fdOf(file), zeros.data() + done, zeros.size() - done, static_cast<off_t>(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool truncate(HostHandle file, std::uint64_t length, bool flush) noexcept override
    {
        if (::ftruncate(fdOf(file), static_cast<off_t>(length)) != 0)
            return false;
        return !flush || ::fsync(fdOf(file)) == 0 || cannotBeFlushed(errno);
    }

    void checkWritten(HostHandle file) override
    {
        // Closing a second descriptor asks the file system for a late write
        // failure while this one still holds the lock. Nothing written,
        // nothing to ask: the file table asks only for written files.
        const int probe = ::dup(fdOf(file));
        if (probe >= 0 && ::close(probe) != 0 && errno != EINTR)
            throw RunError(writeErrorNumber(errno));
    }

    void close(HostHandle file) noexcept override { ::close(fdOf(file)); }

    LockAnswer tryLock(HostHandle file, bool shared) override
    {
        for (;;) {
            if (::flock(fdOf(file), (shared ? LOCK_SH : LOCK_EX) | LOCK_NB) == 0)
                return LockAnswer::Locked;
            if (errno == EINTR)
                continue;
            // Any answer but "held by another run" means the file system keeps
            // no locks (NFS without its lock service answers ENOLCK).
            return errno == EWOULDBLOCK ? LockAnswer::Held : LockAnswer::NotSupported;
        }
    }

    void makeFolder(const std::filesystem::path& path) override
    {
        if (::mkdir(path.c_str(), 0777) != 0)
            throw RunError(folderErrorNumber(errno));
    }

    void syncFolder(const std::filesystem::path& folder) noexcept override
    {
        const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return;
        (void)::fsync(fd);
        ::close(fd);
    }

    bool createExclusive(const std::filesystem::path& path, std::string_view contents) override
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

    std::string readSmallFile(const std::filesystem::path& path) noexcept override
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

    std::time_t modified(const std::filesystem::path& path) noexcept override
    {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0 ? st.st_mtime : -1;
    }

    bool sameOwner(const std::filesystem::path& a, const std::filesystem::path& b) noexcept override
    {
        struct stat sa {};
        struct stat sb {};
        return ::lstat(a.c_str(), &sa) == 0 && ::lstat(b.c_str(), &sb) == 0 && sa.st_uid == sb.st_uid;
    }

    bool touch(const std::filesystem::path& path) noexcept override
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

    bool remove(const std::filesystem::path& path) noexcept override
    {
        // An empty folder too (one put where a lock file goes).
        return ::unlink(path.c_str()) == 0 || (errno == EISDIR && ::rmdir(path.c_str()) == 0);
    }

    bool renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) noexcept override
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

    std::string machineName() override
    {
        char name[256] = {};
        if (::gethostname(name, sizeof name - 1) != 0)
            return "localhost";
        return name;
    }

    std::string machineId() override
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

    long long processId() override
    {
        return ::getpid();
    }

    bool processGone(long long pid) override
    {
        return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
    }

    void holdTermination() override
    {
        if (held_++ > 0)
            return;
        sigset_t terminating;
        sigemptyset(&terminating);
        sigaddset(&terminating, SIGTERM);
        sigaddset(&terminating, SIGHUP);
        sigaddset(&terminating, SIGINT);
        pthread_sigmask(SIG_BLOCK, &terminating, &before_);
    }

    void releaseTermination() override
    {
        if (held_ == 0 || --held_ > 0)
            return;
        // A signal that came meanwhile takes effect here, with the unit done.
        pthread_sigmask(SIG_SETMASK, &before_, nullptr);
    }

private:
    int held_ = 0;      // nesting of holdTermination
    sigset_t before_{}; // the thread's mask before the signals were held
};

} // namespace

Host& systemHost()
{
    // The program has one thread that writes files; signals are held per
    // thread, so one host object serves it.
    static PosixHost host;
    return host;
}

std::filesystem::path defaultDriveRoot(char upperLetter)
{
    if (upperLetter != 'C')
        throw RunError(err::PathNotFound);
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

bool hostMatchesLetterCase()
{
    return false;
}

std::filesystem::path hostPathFromUtf8(std::string_view utf8)
{
    return std::filesystem::path(std::string(utf8));
}

std::string utf8FromHostPath(const std::filesystem::path& path)
{
    return path.string();
}

std::tm localTime(std::time_t seconds)
{
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}

HostHandle openToRead(const std::filesystem::path& path, ReadOutcome& outcome, std::uint64_t maxBytes)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        outcome = errno == ENOENT ? ReadOutcome{ReadOutcome::Missing, {}}
                                  : ReadOutcome{ReadOutcome::CannotOpen, std::strerror(errno)};
        return noHandle;
    }
    if (S_ISDIR(st.st_mode)) {
        outcome = {ReadOutcome::Folder, {}};
        return noHandle;
    }
    // Non-blocking: something put in the file's place meanwhile (a FIFO)
    // is refused below, never waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        outcome = {ReadOutcome::CannotOpen, std::strerror(errno)};
        return noHandle;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        outcome = {S_ISDIR(st.st_mode) ? ReadOutcome::Folder : ReadOutcome::NotAFile, {}};
        return noHandle;
    }
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        ::close(fd);
        outcome = {ReadOutcome::TooLarge, {}};
        return noHandle;
    }
    // O_NONBLOCK stays: it changes nothing for a plain file.
    outcome = {};
    return fd;
}

bool seekTo(HostHandle file, std::uint64_t offset, std::string& reason)
{
    if (::lseek(fdOf(file), static_cast<off_t>(offset), SEEK_SET) >= 0)
        return true;
    reason = std::strerror(errno);
    return false;
}

std::size_t readSome(HostHandle file, char* buffer, std::size_t size, std::string& reason)
{
    for (;;) {
        const ssize_t got = ::read(fdOf(file), buffer, size);
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR) {
            reason = std::strerror(errno);
            return 0;
        }
    }
}

void closeToRead(HostHandle file) noexcept
{
    ::close(fdOf(file));
}

} // namespace qal
