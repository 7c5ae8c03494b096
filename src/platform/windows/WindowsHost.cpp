#include "platform/windows/WindowsHost.h"

#include "platform/RunError.h"
#include "platform/windows/WideText.h"
#include "platform/windows/WindowsErrors.h"

#include <algorithm>
#include <climits>
#include <windows.h>

namespace qal {

namespace {

namespace fs = std::filesystem;

constexpr DWORD shareWithEveryone = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The lock is one byte far beyond the end any file reaches (2^63 - 2^32),
// not the file's bytes. Windows locks are mandatory over the bytes they
// cover: locking the data would make every other reader that takes no lock
// (the instructor's report, an editor, a backup) fail while a unit is open.
// A byte no file reaches holds off only the program's other runs, as flock
// does on POSIX. Below 2^63, so that a server mapping the lock onto a POSIX
// lock (Samba) takes it as well.
constexpr DWORD lockOffsetLow = 0;
constexpr DWORD lockOffsetHigh = 0x7FFFFFFF;

} // namespace

std::wstring extendedPath(const fs::path& path)
{
    // CreateDirectoryW's limit (MAX_PATH less room for an 8.3 name) is the
    // lowest of the calls here.
    constexpr std::size_t shortLimit = MAX_PATH - 12;
    std::wstring text = path.native();
    // A network path (\\server\share\...), which the standard library does
    // not take for absolute.
    const bool network = text.starts_with(L"\\\\") || text.starts_with(L"//");
    if (text.size() < shortLimit || text.starts_with(L"\\\\?\\") || !(network || path.is_absolute()))
        return text;
    // The prefix turns off Windows' own handling of ".", ".." and "/": done
    // here instead (a network path made by the program holds neither . nor
    // ..).
    if (!network)
        text = path.lexically_normal().native();
    for (wchar_t& c : text)
        if (c == L'/')
            c = L'\\';
    if (network)
        return L"\\\\?\\UNC\\" + text.substr(2);
    return L"\\\\?\\" + text;
}

namespace {

HANDLE handleOf(HostHandle file)
{
    return reinterpret_cast<HANDLE>(file);
}

// Closes a handle when it goes out of scope, however the scope is left.
struct OwnedHandle {
    HANDLE handle;
    explicit OwnedHandle(HANDLE h) : handle(h) {}
    ~OwnedHandle() { reset(); }
    void reset()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    bool valid() const { return handle != INVALID_HANDLE_VALUE; }
};

HANDLE openShared(const fs::path& path, DWORD access, DWORD disposition, DWORD flags = FILE_ATTRIBUTE_NORMAL)
{
    return CreateFileW(extendedPath(path).c_str(), access, shareWithEveryone, nullptr, disposition, flags, nullptr);
}

// Flushes a file to the disk; a handle that is no disk file (the console,
// NUL) or a file system that keeps nothing to flush is no failure.
bool flushFile(HANDLE file, DWORD& error)
{
    if (GetFileType(file) != FILE_TYPE_DISK || FlushFileBuffers(file))
        return true;
    error = GetLastError();
    return error == ERROR_INVALID_FUNCTION;
}

// The system's words for an error, without the closing point and line end
// ("Access is denied"), for the lesson and report readers' messages.
std::string systemMessage(DWORD error)
{
    wchar_t text[512];
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                        text, sizeof text / sizeof text[0], nullptr);
    std::string message = utf8FromWide(std::wstring_view(text, length));
    while (!message.empty() &&
           (message.back() == '.' || message.back() == ' ' || message.back() == '\r' || message.back() == '\n'))
        message.pop_back();
    return message.empty() ? "system error " + std::to_string(error) : message;
}

// Whether anything is at path: a file or folder, or one being deleted, which
// Windows keeps under its name, refusing every open, until its last handle
// is closed.
bool somethingAt(const fs::path& path)
{
    if (GetFileAttributesW(extendedPath(path).c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

} // namespace

Host::Opened WindowsHost::open(const fs::path& path, FileMode mode)
{
    DWORD access = 0;
    DWORD disposition = 0;
    switch (mode) {
    case FileMode::Append:
        // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the
        // end, whatever another run appended meanwhile. FILE_READ_DATA
        // because LockFileEx wants read or write access.
        access = FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
        disposition = OPEN_ALWAYS;
        break;
    case FileMode::Input:
        access = GENERIC_READ;
        disposition = OPEN_EXISTING;
        break;
    case FileMode::Output:
        access = GENERIC_READ | GENERIC_WRITE;
        disposition = CREATE_ALWAYS;
        break;
    case FileMode::Update:
        access = GENERIC_READ | GENERIC_WRITE;
        disposition = OPEN_ALWAYS;
        break;
    }
    // A file written to is never reached through a link (a symbolic link or
    // a junction in its place): the reparse point itself is opened, and
    // refused. Output looks first, since CREATE_ALWAYS would empty it.
    const bool writing = mode != FileMode::Input;
    if (writing) {
        const DWORD attributes = GetFileAttributesW(extendedPath(path).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            throw RunError(err::PathFileAccessError);
    }
    // A folder is refused here with ERROR_ACCESS_DENIED (75), since no
    // FILE_FLAG_BACKUP_SEMANTICS is given.
    const HANDLE file =
        openShared(path, access, disposition, FILE_ATTRIBUTE_NORMAL | (writing ? FILE_FLAG_OPEN_REPARSE_POINT : 0));
    if (file == INVALID_HANDLE_VALUE)
        throw RunError(windowsErrorNumber(GetLastError(), writing ? HostCall::OpenToWrite : HostCall::OpenToRead));
    // OPEN_ALWAYS and CREATE_ALWAYS tell this way whether the file was there.
    const bool created = writing && GetLastError() != ERROR_ALREADY_EXISTS;
    // Only a plain file on a disk: not a device, a pipe or a link.
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
        CloseHandle(file);
        throw RunError(err::PathFileAccessError);
    }
    return {reinterpret_cast<HostHandle>(file), created};
}

std::uint64_t WindowsHost::size(HostHandle file)
{
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(handleOf(file), &length))
        throw RunError(windowsErrorNumber(GetLastError(), HostCall::Write));
    return static_cast<std::uint64_t>(length.QuadPart);
}

void WindowsHost::writeAll(HostHandle file, std::string_view bytes, bool& written)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD wrote = 0;
        const BOOL ok = WriteFile(handleOf(file), bytes.data() + done, chunk, &wrote, nullptr);
        const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        if (wrote > 0)
            written = true;
        if (!ok)
            throw RunError(windowsErrorNumber(error, HostCall::Write));
        if (wrote == 0)
            throw RunError(err::DiskFull);
        done += wrote;
    }
}

namespace {

// Writes bytes whole at offset, as writeAll does at the file's end: an
// OVERLAPPED offset on a handle opened for synchronous use.
DWORD writeAtOffset(HANDLE file, std::uint64_t offset, std::string_view bytes, bool& written)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>((offset + done) & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
        DWORD wrote = 0;
        const BOOL ok = WriteFile(file, bytes.data() + done, chunk, &wrote, &at);
        const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        if (wrote > 0)
            written = true;
        if (!ok)
            return error;
        if (wrote == 0)
            return ERROR_DISK_FULL;
        done += wrote;
    }
    return ERROR_SUCCESS;
}

} // namespace

void WindowsHost::writeAt(HostHandle file, std::uint64_t offset, std::string_view bytes, bool& written)
{
    if (const DWORD error = writeAtOffset(handleOf(file), offset, bytes, written); error != ERROR_SUCCESS)
        throw RunError(windowsErrorNumber(error, HostCall::Write));
}

bool WindowsHost::blank(HostHandle file, std::uint64_t length) noexcept
{
    try {
        const std::string zeros(static_cast<std::size_t>(length), '\0');
        bool written = false;
        return writeAtOffset(handleOf(file), 0, zeros, written) == ERROR_SUCCESS;
    } catch (...) {
        return false;
    }
}

std::size_t WindowsHost::read(HostHandle file, char* buffer, std::size_t size)
{
    // The host's one read loop (readSome), with its failure as 57.
    std::string reason;
    const std::size_t got = readSome(file, buffer, size, reason);
    if (!reason.empty())
        throw RunError(err::DeviceIOError);
    return got;
}

void WindowsHost::sync(HostHandle file)
{
    DWORD error = ERROR_SUCCESS;
    if (!flushFile(handleOf(file), error))
        throw RunError(windowsErrorNumber(error, HostCall::Write));
}

bool WindowsHost::truncate(HostHandle file, std::uint64_t length, bool flush) noexcept
{
    // The Append handle may only add to the end: cut back through a second
    // handle to the same file (not to the same name, which another program
    // may have renamed meanwhile) that may write anywhere.
    const OwnedHandle writer(ReOpenFile(handleOf(file), GENERIC_WRITE, shareWithEveryone, 0));
    if (!writer.valid())
        return false;
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(length);
    DWORD error = ERROR_SUCCESS;
    return SetFilePointerEx(writer.handle, at, nullptr, FILE_BEGIN) && SetEndOfFile(writer.handle) &&
           (!flush || flushFile(writer.handle, error));
}

void WindowsHost::checkWritten(HostHandle)
{
    // Windows reports a write that failed late (a network file system's
    // "delayed write failed") on FlushFileBuffers, which sync has done:
    // there is nothing more to ask.
}

void WindowsHost::close(HostHandle file) noexcept
{
    // Lets go of the file's lock too.
    CloseHandle(handleOf(file));
}

LockAnswer WindowsHost::tryLock(HostHandle file, bool shared)
{
    OVERLAPPED where{};
    where.Offset = lockOffsetLow;
    where.OffsetHigh = lockOffsetHigh;
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (shared ? 0 : LOCKFILE_EXCLUSIVE_LOCK);
    if (LockFileEx(handleOf(file), flags, 0, 1, 0, &where))
        return LockAnswer::Locked;
    const DWORD error = GetLastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING)
        return LockAnswer::Held;
    // Any other answer (ERROR_NOT_SUPPORTED, ERROR_INVALID_FUNCTION from a
    // file system without locks) means no lock can be had on this file: a
    // lock file stands in, so no line is ever written unlocked.
    return LockAnswer::NotSupported;
}

void WindowsHost::makeFolder(const fs::path& path)
{
    if (!CreateDirectoryW(extendedPath(path).c_str(), nullptr))
        throw RunError(windowsErrorNumber(GetLastError(), HostCall::MakeFolder));
}

void WindowsHost::syncFolder(const fs::path&) noexcept
{
    // Nothing to do: NTFS journals its metadata, so a new entry in a folder
    // survives a power cut once the file's own data is flushed; and a folder
    // cannot be opened for flushing by a standard user (FlushFileBuffers on
    // a folder handle needs administrator rights).
}

bool WindowsHost::createExclusive(const fs::path& path, std::string_view contents)
{
    OwnedHandle file(openShared(path, GENERIC_WRITE, CREATE_NEW));
    if (!file.valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
            return false;
        // A lock file being deleted by its holder refuses the new one with
        // "access denied" until it is gone: it is still there.
        if (error == ERROR_ACCESS_DENIED && somethingAt(path))
            return false;
        if (windowsErrorNumber(error, HostCall::OpenToWrite) == err::DiskFull)
            throw RunError(err::DiskFull);
        throw RunError(err::PermissionDenied); // no lock file can be made here
    }
    DWORD wrote = 0;
    const bool whole = contents.size() <= MAXDWORD &&
                       WriteFile(file.handle, contents.data(), static_cast<DWORD>(contents.size()), &wrote, nullptr) &&
                       wrote == contents.size();
    if (!whole) {
        // A lock file that does not name its holder would hold others off
        // for two minutes should this run die: none at all.
        file.reset();
        DeleteFileW(extendedPath(path).c_str());
        throw RunError(err::DiskFull);
    }
    return true;
}

std::string WindowsHost::readSmallFile(const fs::path& path) noexcept
{
    const OwnedHandle file(openShared(path, GENERIC_READ, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT));
    if (!file.valid())
        return {};
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file.handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.handle, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        return {};
    std::string bytes(1 << 16, '\0');
    DWORD got = 0;
    if (!ReadFile(file.handle, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr))
        return {};
    bytes.resize(got);
    return bytes;
}

std::time_t WindowsHost::modified(const fs::path& path) noexcept
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(extendedPath(path).c_str(), GetFileExInfoStandard, &data))
        return -1;
    // 100-nanosecond ticks since 1601 to seconds since 1970.
    const ULONGLONG ticks =
        (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    constexpr ULONGLONG ticksPerSecond = 10'000'000;
    constexpr ULONGLONG from1601To1970 = 11'644'473'600ULL;
    return static_cast<std::time_t>(ticks / ticksPerSecond) - static_cast<std::time_t>(from1601To1970);
}

bool WindowsHost::touch(const fs::path& path) noexcept
{
    // Its first byte written again, as it was: the file system stamps the
    // write with its own time (a file server's, on a network drive), where
    // SetFileTime would give it this machine's.
    const OwnedHandle file(openShared(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT));
    if (!file.valid())
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.handle, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    char first = 0;
    DWORD got = 0;
    if (!ReadFile(file.handle, &first, 1, &got, nullptr) || got != 1)
        return false;
    OVERLAPPED start{};
    DWORD wrote = 0;
    return WriteFile(file.handle, &first, 1, &wrote, &start) && wrote == 1;
}

bool WindowsHost::remove(const fs::path& path) noexcept
{
    // An empty folder too (one put where a lock file goes).
    return DeleteFileW(extendedPath(path).c_str()) || RemoveDirectoryW(extendedPath(path).c_str());
}

bool WindowsHost::renameNoReplace(const fs::path& from, const fs::path& to) noexcept
{
    // Without MOVEFILE_REPLACE_EXISTING: fails when anything is at to.
    return MoveFileExW(extendedPath(from).c_str(), extendedPath(to).c_str(), 0);
}

std::string WindowsHost::machineName()
{
    wchar_t name[256];
    DWORD length = sizeof name / sizeof name[0];
    if (!GetComputerNameExW(ComputerNameDnsHostname, name, &length) || length == 0)
        return "localhost";
    return utf8FromWide(std::wstring_view(name, length));
}

std::string WindowsHost::machineId()
{
    // Set when Windows is installed, and kept by the registry for good.
    wchar_t guid[64] = {};
    DWORD size = sizeof guid;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", L"MachineGuid",
                     RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, guid, &size) != ERROR_SUCCESS)
        return "-";
    std::string id = utf8FromWide(guid);
    for (char& c : id)
        if (static_cast<unsigned char>(c) <= ' ')
            c = '_';
    return id.empty() ? "-" : id;
}

long long WindowsHost::processId()
{
    return GetCurrentProcessId();
}

bool WindowsHost::processGone(long long pid)
{
    if (pid <= 0 || pid > static_cast<long long>(MAXDWORD))
        return true;
    const HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process)
        // No process has that number; "access denied" means one does, of
        // another user.
        return GetLastError() == ERROR_INVALID_PARAMETER;
    // A process that has ended but whose handle someone still holds is gone
    // too. Its exit code could say so (STILL_ACTIVE), but a process may end
    // with that very code; its handle is signalled only once it has ended.
    const bool gone = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return gone;
}

void WindowsHost::holdTermination()
{
    // Windows sends a console program no signal to hold back here; the end
    // of a session reaches the window as a message, handled there.
}

void WindowsHost::releaseTermination() {}

Host& systemHost()
{
    static WindowsHost host;
    return host;
}

fs::path defaultDriveRoot(char upperLetter)
{
    // The drive itself, as the original used it: "c:\drovnel" is C:\drovnel.
    return fs::path(std::wstring{static_cast<wchar_t>(upperLetter), L':', L'\\'});
}

bool hostMatchesLetterCase()
{
    return true;
}

fs::path hostPathFromUtf8(std::string_view utf8)
{
    return fs::path(wideFromUtf8(utf8));
}

std::string utf8FromHostPath(const fs::path& path)
{
    return utf8FromWide(path.native());
}

std::tm localTime(std::time_t seconds)
{
    std::tm local{};
    localtime_s(&local, &seconds);
    return local;
}

HostHandle openToRead(const fs::path& path, ReadOutcome& outcome, std::uint64_t maxBytes)
{
    const HANDLE file = openShared(path, GENERIC_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const DWORD attributes = GetFileAttributesW(extendedPath(path).c_str());
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            outcome = {ReadOutcome::Missing, systemMessage(error)};
        else if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            outcome = {ReadOutcome::Folder, systemMessage(error)};
        else
            outcome = {ReadOutcome::CannotOpen, systemMessage(error)};
        return noHandle;
    }
    // Only a plain file on a disk: a pipe or a device (CON, NUL) is refused
    // at once, as is a file longer than any the reader takes.
    LARGE_INTEGER length{};
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        outcome = {ReadOutcome::NotAFile, {}};
        return noHandle;
    }
    if (GetFileSizeEx(file, &length) && static_cast<std::uint64_t>(length.QuadPart) > maxBytes) {
        CloseHandle(file);
        outcome = {ReadOutcome::TooLarge, {}};
        return noHandle;
    }
    outcome = {};
    return reinterpret_cast<HostHandle>(file);
}

bool seekTo(HostHandle file, std::uint64_t offset, std::string& reason)
{
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (SetFilePointerEx(handleOf(file), at, nullptr, FILE_BEGIN))
        return true;
    reason = systemMessage(GetLastError());
    return false;
}

std::size_t readSome(HostHandle file, char* buffer, std::size_t size, std::string& reason)
{
    DWORD got = 0;
    if (ReadFile(handleOf(file), buffer, static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30)), &got, nullptr))
        return got;
    const DWORD error = GetLastError();
    if (error != ERROR_HANDLE_EOF && error != ERROR_BROKEN_PIPE)
        reason = systemMessage(error);
    return 0;
}

void closeToRead(HostHandle file) noexcept
{
    CloseHandle(handleOf(file));
}

} // namespace qal
