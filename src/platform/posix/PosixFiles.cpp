// Files by handle on POSIX: opening by mode, the one write loop, the one
// read loop, flushing and cutting back; and the readers' calls (openToRead,
// seekTo, readSome).

#include "platform/posix/PosixHost.h"

#include "platform/RunError.h"
#include "platform/posix/PosixErrors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace qal {

namespace {

// fsync's answer for a file that cannot be flushed by its nature (a
// terminal, /dev/full, a read-only file system it was never written to).
bool cannotBeFlushed(int error)
{
    return error == EINVAL || error == EROFS;
}

// writeWhole's answer for a write that took no byte and named no error.
constexpr int wroteNothing = -1;

// Writes bytes whole where the file stands (its end, for Append) or, given
// an offset, from there: the host's one write loop. Answers 0 when all is
// written, errno when a write failed, wroteNothing when one took nothing.
// written becomes true once any byte is.
int writeWhole(int fd, std::string_view bytes, std::optional<std::uint64_t> offset, bool& written)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const char* from = bytes.data() + done;
        const std::size_t left = bytes.size() - done;
        const ssize_t n =
            offset ? ::pwrite(fd, from, left, static_cast<off_t>(*offset + done)) : ::write(fd, from, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return wroteNothing;
        done += static_cast<std::size_t>(n);
        written = true;
    }
    return 0;
}

void throwIfFailed(int answer)
{
    if (answer != 0)
        throw RunError(answer == wroteNothing ? err::DiskFull : writeErrorNumber(answer));
}

} // namespace

Host::Opened PosixHost::open(const std::filesystem::path& path, FileMode mode)
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

std::uint64_t PosixHost::size(HostHandle file)
{
    struct stat st {};
    if (::fstat(fdOf(file), &st) != 0)
        throw RunError(err::DeviceIOError);
    return static_cast<std::uint64_t>(st.st_size);
}

void PosixHost::writeAll(HostHandle file, std::string_view bytes, bool& written)
{
    throwIfFailed(writeWhole(fdOf(file), bytes, std::nullopt, written));
}

void PosixHost::writeAt(HostHandle file, std::uint64_t offset, std::string_view bytes, bool& written)
{
    throwIfFailed(writeWhole(fdOf(file), bytes, offset, written));
}

bool PosixHost::blank(HostHandle file, std::uint64_t length) noexcept
{
    const std::string zeros(static_cast<std::size_t>(length), '\0');
    bool written = false;
    return writeWhole(fdOf(file), zeros, 0, written) == 0;
}

void PosixHost::sync(HostHandle file)
{
    if (::fsync(fdOf(file)) != 0 && !cannotBeFlushed(errno))
        throw RunError(writeErrorNumber(errno));
}

void PosixHost::syncData(HostHandle file)
{
    if (::fdatasync(fdOf(file)) != 0 && !cannotBeFlushed(errno))
        throw RunError(writeErrorNumber(errno));
}

bool PosixHost::truncate(HostHandle file, std::uint64_t length, bool flush) noexcept
{
    if (::ftruncate(fdOf(file), static_cast<off_t>(length)) != 0)
        return false;
    return !flush || ::fsync(fdOf(file)) == 0 || cannotBeFlushed(errno);
}

void PosixHost::checkWritten(HostHandle file)
{
    // Closing a second descriptor asks the file system for a late write
    // failure while this one still holds the lock. Nothing written,
    // nothing to ask: the file table asks only for written files.
    const int probe = ::dup(fdOf(file));
    if (probe >= 0 && ::close(probe) != 0 && errno != EINTR)
        throw RunError(writeErrorNumber(errno));
}

void PosixHost::close(HostHandle file) noexcept
{
    ::close(fdOf(file));
}

HostHandle PosixHost::openToRead(const std::filesystem::path& path, ReadOutcome& outcome, std::uint64_t maxBytes)
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

bool PosixHost::seekTo(HostHandle file, std::uint64_t offset, std::string& reason)
{
    if (::lseek(fdOf(file), static_cast<off_t>(offset), SEEK_SET) >= 0)
        return true;
    reason = std::strerror(errno);
    return false;
}

std::size_t PosixHost::readSome(HostHandle file, char* buffer, std::size_t size, std::string& reason)
{
    // The host's one read loop: a read a signal broke off is asked again.
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

} // namespace qal
