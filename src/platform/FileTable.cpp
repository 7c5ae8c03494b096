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

constexpr std::size_t readChunk = 1 << 16;

// The longest file name the host's file systems take, in bytes.
constexpr std::size_t nameLimit = 255;

// How long a lock is waited for before the student is shown that the program
// is busy.
constexpr auto waitNoticeAfter = std::chrono::milliseconds(300);

// A lock file older than this was left behind: no unit takes so long.
constexpr std::time_t lockFileLifetime = 120;

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
        throw RunError(openErrorNumber(error, mode));
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

std::string FileTable::lockFilePath(const std::string& hostPath)
{
    const std::filesystem::path path(hostPath);
    std::string name = path.filename().string();
    constexpr std::string_view suffix = ".lock";
    if (name.size() + suffix.size() > nameLimit) {
        // Cut where a character starts (never inside a UTF-8 sequence); two
        // files cut to the same lock file only wait for each other.
        std::size_t cut = nameLimit - suffix.size();
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

void FileTable::flush(Slot& s, int number)
{
    if (s.pending.empty())
        return;
    std::size_t allowed = s.pending.size();
    const int injected = faults_ ? faults_->beforeFlush(number, allowed) : 0;
    const std::size_t size = injected ? std::min(allowed, s.pending.size()) : s.pending.size();
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(s.fd, s.pending.data() + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw RunError(n < 0 ? writeErrorNumber(errno) : err::DiskFull);
        done += static_cast<std::size_t>(n);
        s.written = true;
    }
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
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(s.fd, line.data() + done, line.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw RunError(writeErrorNumber(errno));
        }
        done += static_cast<std::size_t>(n);
        s.written = true;
    }
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

void FileTable::createFolder(std::string_view windowsPath)
{
    const std::filesystem::path path = hostPath(windowsPath, PathKind::Folder);
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
    // The new folder's entry in its parent, durable like the files made in it.
    syncFolder(path.parent_path(), faults_);
}

} // namespace qal
