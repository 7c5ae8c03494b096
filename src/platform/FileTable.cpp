#include "platform/FileTable.h"

#include "platform/RunError.h"
#include "platform/WinPath.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace qal {

namespace {

// The platform's number for a failed open.
int openErrorNumber(int error, FileMode mode)
{
    switch (error) {
    case ENOENT:
        // A missing file opened for input is "file not found"; otherwise a
        // folder on the way is missing.
        return mode == FileMode::Input ? err::FileNotFound : err::PathNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
        return err::PathNotFound;
    case ENOSPC:
    case EDQUOT:
        return err::DiskFull;
    case EMFILE:
    case ENFILE:
        return err::TooManyFiles;
    case EIO:
        return err::DeviceIOError;
    case ETXTBSY:
    case EWOULDBLOCK:
        return err::PermissionDenied;
    default: // EACCES, EPERM, EROFS, EISDIR and the rest
        return err::PathFileAccessError;
    }
}

// The platform's number for a failed write, flush or close.
int writeErrorNumber(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return err::DiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
        return err::PermissionDenied;
    default:
        return err::DeviceIOError;
    }
}

// Reads a file's end of line from buffer at pos: CR LF, LF or CR.
constexpr std::size_t readChunk = 1 << 16;

} // namespace

FileTable::~FileTable()
{
    try {
        closeAll();
    } catch (...) {
        // Nothing to report to at the end of the run.
    }
}

FileTable::Slot& FileTable::slot(int number)
{
    if (number < 1 || number > maxNumber)
        throw RunError(err::BadFileNameOrNumber);
    return slots_[static_cast<std::size_t>(number)];
}

const FileTable::Slot* FileTable::find(int number) const
{
    if (number < 1 || number > maxNumber)
        return nullptr;
    const Slot& s = slots_[static_cast<std::size_t>(number)];
    return s.fd >= 0 ? &s : nullptr;
}

bool FileTable::isOpen(int number) const
{
    return find(number) != nullptr;
}

void FileTable::open(int number, std::string_view windowsPath, FileMode mode)
{
    Slot& s = slot(number);
    if (s.fd >= 0)
        throw RunError(err::FileAlreadyOpen);
    if (faults_)
        if (int e = faults_->beforeOpen(number, mode))
            throw RunError(e);
    const std::string path = hostPath(windowsPath).string();
    int flags = O_CLOEXEC;
    switch (mode) {
    case FileMode::Append:
        flags |= O_WRONLY | O_CREAT | O_APPEND;
        break;
    case FileMode::Input:
        flags |= O_RDONLY;
        break;
    case FileMode::Output:
        flags |= O_WRONLY | O_CREAT | O_TRUNC;
        break;
    }
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        const int error = errno;
        // A missing file is "file not found" only when its folder is there.
        std::error_code ec;
        if (error == ENOENT && mode == FileMode::Input &&
            !std::filesystem::is_directory(std::filesystem::path(path).parent_path(), ec))
            throw RunError(err::PathNotFound);
        throw RunError(openErrorNumber(error, mode));
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw RunError(err::PathFileAccessError);
    }
    Slot fresh;
    fresh.fd = fd;
    fresh.mode = mode;
    fresh.path = path;
    s = std::move(fresh);
    if (mode == FileMode::Append) {
        try {
            lock(s);
        } catch (...) {
            ::close(s.fd);
            s = Slot{};
            throw;
        }
    }
}

void FileTable::lock(Slot& s)
{
    // Another run writing a header or a record holds the lock only for that
    // long, so waiting a little is enough; past the limit, report it as the
    // platform reports a file held by someone else.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(lockTimeoutMs_);
    auto pause = std::chrono::milliseconds(1);
    while (::flock(s.fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return; // a file system without locks: write unlocked
        if (std::chrono::steady_clock::now() >= deadline)
            throw RunError(err::PermissionDenied);
        std::this_thread::sleep_for(pause);
        // Short pauses: the other run lets go between two of its records,
        // and a waiter that sleeps long would keep missing that moment.
        pause = std::min(pause * 2, std::chrono::milliseconds(4));
    }
}

void FileTable::writeLine(int number, std::string_view text)
{
    Slot& s = slot(number);
    if (s.fd < 0)
        throw RunError(err::BadFileNameOrNumber);
    if (s.mode == FileMode::Input)
        throw RunError(err::BadFileMode);
    if (faults_)
        if (int e = faults_->beforeWrite(number))
            throw RunError(e);
    // One write of the whole line, so a line never reaches the file in pieces
    // that another run's line could come between.
    std::string line;
    line.reserve(text.size() + 2);
    line.append(text);
    line.append("\r\n");
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(s.fd, line.data() + done, line.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw RunError(writeErrorNumber(errno));
        }
        done += static_cast<std::size_t>(n);
    }
    s.written = true;
}

void FileTable::fill(Slot& s)
{
    if (s.atEnd)
        return;
    // Drop what was handed out already, then read the next chunk.
    s.buffer.erase(0, s.pos);
    s.pos = 0;
    const std::size_t old = s.buffer.size();
    s.buffer.resize(old + readChunk);
    ssize_t n;
    do {
        n = ::read(s.fd, s.buffer.data() + old, readChunk);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        s.buffer.resize(old);
        throw RunError(err::DeviceIOError);
    }
    s.buffer.resize(old + static_cast<std::size_t>(n));
    if (n == 0)
        s.atEnd = true;
}

bool FileTable::eof(int number)
{
    Slot& s = slot(number);
    if (s.fd < 0)
        throw RunError(err::BadFileNameOrNumber);
    if (s.mode != FileMode::Input)
        return true;
    if (s.pos >= s.buffer.size())
        fill(s);
    return s.pos >= s.buffer.size();
}

std::string FileTable::readLine(int number)
{
    Slot& s = slot(number);
    if (s.fd < 0)
        throw RunError(err::BadFileNameOrNumber);
    if (s.mode != FileMode::Input)
        throw RunError(err::BadFileMode);
    if (eof(number))
        throw RunError(err::InputPastEndOfFile);
    std::size_t scanned = s.pos;
    for (;;) {
        std::size_t i = scanned;
        while (i < s.buffer.size() && s.buffer[i] != '\r' && s.buffer[i] != '\n')
            ++i;
        if (i < s.buffer.size()) {
            // A CR may be followed by an LF still unread: make sure it is here.
            if (s.buffer[i] == '\r' && i + 1 == s.buffer.size() && !s.atEnd) {
                const std::size_t offset = i - s.pos;
                fill(s);
                i = s.pos + offset;
            }
            std::string line = s.buffer.substr(s.pos, i - s.pos);
            std::size_t next = i + 1;
            if (s.buffer[i] == '\r' && next < s.buffer.size() && s.buffer[next] == '\n')
                ++next;
            s.pos = next;
            return line;
        }
        if (s.atEnd) {
            std::string line = s.buffer.substr(s.pos);
            s.pos = s.buffer.size();
            return line;
        }
        const std::size_t offset = i - s.pos;
        fill(s);
        scanned = s.pos + offset;
    }
}

void FileTable::close(int number)
{
    if (number < 1 || number > maxNumber)
        return;
    Slot& s = slots_[static_cast<std::size_t>(number)];
    if (s.fd < 0)
        return;
    int failure = faults_ ? faults_->beforeClose(number) : 0;
    // Flush what was written to the disk before the lock is let go, so a
    // finished header or record survives a crash or a power cut.
    if (!failure && s.written && ::fsync(s.fd) != 0 && errno != EINVAL && errno != EROFS)
        failure = writeErrorNumber(errno);
    if (::close(s.fd) != 0 && !failure && errno != EINTR)
        failure = writeErrorNumber(errno);
    s = Slot{};
    if (failure)
        throw RunError(failure);
}

void FileTable::closeAll()
{
    int failure = 0;
    for (int n = 1; n <= maxNumber; ++n) {
        try {
            close(n);
        } catch (const RunError& e) {
            if (!failure)
                failure = e.number();
        }
    }
    if (failure)
        throw RunError(failure);
}

void FileTable::createFolder(std::string_view windowsPath)
{
    const std::string path = hostPath(windowsPath).string();
    if (::mkdir(path.c_str(), 0777) != 0) {
        switch (errno) {
        case ENOENT:
        case ENOTDIR:
            throw RunError(err::PathNotFound);
        case ENOSPC:
            throw RunError(err::DiskFull);
        default:
            throw RunError(err::PathFileAccessError);
        }
    }
}

} // namespace qal
