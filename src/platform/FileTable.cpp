#include "platform/FileTable.h"

#include "platform/HostErrors.h"
#include "platform/RunError.h"
#include "platform/WinPath.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace qal {

namespace {

// Flushes a folder's entries to the disk, so that a file or folder just made
// in it survives a power cut. File systems that cannot do it are no concern.
void syncFolder(const std::filesystem::path& folder, FileFaults* faults)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    (void)::fsync(fd);
    ::close(fd);
    if (faults)
        faults->folderSynced(folder.string());
}

// Writes the bytes whole, going on after a write that took only part of them
// or was interrupted; written is set once any byte has reached the file.
void writeAll(int fd, std::string_view bytes, bool& written)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw RunError(n < 0 ? writeErrorNumber(errno) : err::DiskFull);
        done += static_cast<std::size_t>(n);
        written = true;
    }
}

} // namespace

FileTable::~FileTable()
{
    closeAllQuietly();
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
    const std::string path = hostPath(windowsPath, PathKind::File).string();
    int flags = O_CLOEXEC;
    switch (mode) {
    case FileMode::Append:
        flags |= O_WRONLY | O_APPEND;
        break;
    case FileMode::Input:
        flags |= O_RDONLY;
        break;
    case FileMode::Output:
        flags |= O_WRONLY | O_TRUNC;
        break;
    }
    int fd = ::open(path.c_str(), flags, 0666);
    bool created = false;
    if (fd < 0 && errno == ENOENT && mode != FileMode::Input) {
        // Created only when missing, so that a new file's folder entry can be
        // made durable too.
        fd = ::open(path.c_str(), flags | O_CREAT, 0666);
        created = fd >= 0;
    }
    if (fd < 0) {
        const int error = errno;
        // A missing file is "file not found" only when its folder is there.
        std::error_code ec;
        if (error == ENOENT && mode == FileMode::Input &&
            !std::filesystem::is_directory(std::filesystem::path(path).parent_path(), ec))
            throw RunError(err::PathNotFound);
        throw RunError(openErrorNumber(error, mode == FileMode::Input));
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw RunError(err::PathFileAccessError);
    }
    if (created)
        syncFolder(std::filesystem::path(path).parent_path(), faults_);
    Slot fresh;
    fresh.fd = fd;
    fresh.mode = mode;
    fresh.windowsPath = std::string(windowsPath);
    fresh.path = path;
    if (mode == FileMode::Input)
        fresh.reader = LineReader(fd);
    s = std::move(fresh);
    if (mode == FileMode::Input) {
        // Read under a shared lock, so that a header or a record another run
        // is writing (or taking back) is never read half-way.
        try {
            lock(s, number, true);
        } catch (...) {
            release(s);
            throw;
        }
    }
    if (mode == FileMode::Append) {
        holdSignals();
        try {
            lock(s, number, false);
            // The length the unit cuts the file back to should it fail; under
            // the lock, so no other run's lines lie beyond it.
            if (::fstat(s.fd, &st) != 0)
                throw RunError(err::DeviceIOError);
            s.length = st.st_size;
        } catch (...) {
            release(s);
            throw;
        }
    }
}

void FileTable::flush(Slot& s, int number)
{
    if (s.pending.empty())
        return;
    std::size_t allowed = s.pending.size();
    const int injected = faults_ ? faults_->beforeFlush(number, allowed) : 0;
    const std::size_t size = injected ? std::min(allowed, s.pending.size()) : s.pending.size();
    writeAll(s.fd, std::string_view(s.pending).substr(0, size), s.written);
    if (injected)
        throw RunError(injected);
    s.pending.clear();
}

void FileTable::sync(Slot& s, int number)
{
    if (!s.written)
        return;
    if (faults_)
        if (int e = faults_->beforeSync(number))
            throw RunError(e);
    // Special files (a terminal, /dev/full) cannot be flushed; that is no failure.
    if (::fsync(s.fd) != 0 && errno != EINVAL && errno != EROFS)
        throw RunError(writeErrorNumber(errno));
}

bool FileTable::cutBack(Slot& s, int number) noexcept
{
    if (faults_ && faults_->beforeCutBack(number))
        return false;
    if (::ftruncate(s.fd, s.length) != 0)
        return false;
    return ::fsync(s.fd) == 0 || errno == EINVAL || errno == EROFS;
}

void FileTable::release(Slot& s) noexcept
{
    if (s.fd < 0)
        return;
    ::close(s.fd);
    if (!s.lockFile.empty())
        ::unlink(s.lockFile.c_str());
    const bool wasAppend = s.mode == FileMode::Append;
    s = Slot{};
    if (wasAppend)
        releaseSignals();
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
    if (s.mode == FileMode::Append) {
        // Held until the unit closes, then written with the rest in one go.
        s.pending.append(text);
        s.pending.append("\r\n");
        return;
    }
    // One write of the whole line.
    std::string line;
    line.reserve(text.size() + 2);
    line.append(text);
    line.append("\r\n");
    writeAll(s.fd, line, s.written);
}

bool FileTable::eof(int number)
{
    Slot& s = slot(number);
    if (s.fd < 0)
        throw RunError(err::BadFileNameOrNumber);
    if (s.mode != FileMode::Input)
        return true;
    return s.reader.atEnd();
}

std::string FileTable::readLine(int number)
{
    Slot& s = slot(number);
    if (s.fd < 0)
        throw RunError(err::BadFileNameOrNumber);
    if (s.mode != FileMode::Input)
        throw RunError(err::BadFileMode);
    if (s.reader.atEnd())
        throw RunError(err::InputPastEndOfFile);
    return s.reader.readLine();
}

void FileTable::close(int number)
{
    if (number < 1 || number > maxNumber)
        return;
    closeUnit({number});
}

void FileTable::closeUnit(const std::vector<int>& numbers)
{
    int failure = 0;
    try {
        for (int number : numbers)
            if (find(number))
                flush(slots_[static_cast<std::size_t>(number)], number);
        // Every file on the disk before any is let go: a finished header or
        // record survives a crash or a power cut, and one that could not
        // be finished can still be cut back under its locks.
        for (int number : numbers)
            if (find(number))
                sync(slots_[static_cast<std::size_t>(number)], number);
        for (int number : numbers) {
            const Slot* open = find(number);
            if (!open)
                continue;
            if (faults_)
                if (int e = faults_->beforeClose(number))
                    throw RunError(e);
            // A file system may report a late write failure only on close
            // (NFS does). Closing a second descriptor asks it, while this one
            // still holds the lock.
            if (open->written) {
                const int probe = ::dup(open->fd);
                if (probe >= 0 && ::close(probe) != 0 && errno != EINTR)
                    throw RunError(writeErrorNumber(errno));
            }
        }
    } catch (const RunError& e) {
        failure = e.number();
    }
    if (failure) {
        abandonUnit(numbers, failure);
        throw RunError(failure);
    }
    for (int number : numbers)
        if (find(number))
            release(slots_[static_cast<std::size_t>(number)]);
}

void FileTable::abandonUnit(const std::vector<int>& numbers, int failure)
{
    std::vector<std::string> partial;
    for (int number : numbers) {
        if (!find(number))
            continue;
        Slot& s = slots_[static_cast<std::size_t>(number)];
        s.pending.clear();
        if (s.mode == FileMode::Append && s.written && !cutBack(s, number))
            partial.push_back(s.windowsPath);
    }
    for (int number : numbers)
        if (find(number))
            release(slots_[static_cast<std::size_t>(number)]);
    if (!partial.empty())
        throw RunError(failure, std::move(partial));
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

void FileTable::closeQuietly(std::initializer_list<int> numbers) noexcept
{
    for (int number : numbers) {
        try {
            close(number);
        } catch (const RunError&) {
        }
    }
}

void FileTable::closeAllQuietly() noexcept
{
    try {
        closeAll(); // closes every number even when one fails
    } catch (const RunError&) {
    }
}

void FileTable::createFolder(std::string_view windowsPath)
{
    const std::filesystem::path path = hostPath(windowsPath, PathKind::Folder);
    if (::mkdir(path.c_str(), 0777) != 0)
        throw RunError(folderErrorNumber(errno));
    // The new folder's entry in its parent, durable like the files made in it.
    syncFolder(path.parent_path(), faults_);
}

} // namespace qal
