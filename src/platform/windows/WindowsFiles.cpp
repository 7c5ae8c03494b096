// Files by handle on Windows: opening by mode, the one write loop, the one
// read loop, flushing and cutting back; and the readers' calls (openToRead,
// seekTo, readSome).

#include "platform/windows/WindowsHost.h"

#include "platform/RunError.h"
#include "platform/windows/WindowsErrors.h"
#include "platform/windows/WindowsHandles.h"

#include <algorithm>
#include <optional>
#include <windows.h>

namespace qal {

namespace fs = std::filesystem;

namespace {

// Flushes a file to the disk; a handle that is no disk file (the console,
// NUL) or a file system that keeps nothing to flush is no failure.
bool flushFile(HANDLE file, DWORD& error)
{
    if (GetFileType(file) != FILE_TYPE_DISK || FlushFileBuffers(file))
        return true;
    error = GetLastError();
    return error == ERROR_INVALID_FUNCTION;
}

// Writes bytes whole where the file stands (its end, for Append) or, given
// an offset, from there (an OVERLAPPED offset on a handle opened for
// synchronous use): the host's one write loop. Answers ERROR_SUCCESS when
// all is written, the failed write's error, or ERROR_DISK_FULL when a write
// took nothing. written becomes true once any byte is.
DWORD writeWhole(HANDLE file, std::string_view bytes, std::optional<std::uint64_t> offset, bool& written)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        OVERLAPPED at{};
        if (offset) {
            at.Offset = static_cast<DWORD>((*offset + done) & 0xFFFFFFFFu);
            at.OffsetHigh = static_cast<DWORD>((*offset + done) >> 32);
        }
        DWORD wrote = 0;
        const BOOL ok = WriteFile(file, bytes.data() + done, chunk, &wrote, offset ? &at : nullptr);
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

void throwIfFailed(DWORD error)
{
    if (error != ERROR_SUCCESS)
        throw RunError(windowsErrorNumber(error, HostCall::Write));
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
    throwIfFailed(writeWhole(handleOf(file), bytes, std::nullopt, written));
}

void WindowsHost::writeAt(HostHandle file, std::uint64_t offset, std::string_view bytes, bool& written)
{
    throwIfFailed(writeWhole(handleOf(file), bytes, offset, written));
}

bool WindowsHost::blank(HostHandle file, std::uint64_t length) noexcept
{
    try {
        const std::string zeros(static_cast<std::size_t>(length), '\0');
        bool written = false;
        return writeWhole(handleOf(file), zeros, 0, written) == ERROR_SUCCESS;
    } catch (...) {
        return false;
    }
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

HostHandle WindowsHost::openToRead(const fs::path& path, ReadOutcome& outcome, std::uint64_t maxBytes)
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

bool WindowsHost::seekTo(HostHandle file, std::uint64_t offset, std::string& reason)
{
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (SetFilePointerEx(handleOf(file), at, nullptr, FILE_BEGIN))
        return true;
    reason = systemMessage(GetLastError());
    return false;
}

std::size_t WindowsHost::readSome(HostHandle file, char* buffer, std::size_t size, std::string& reason)
{
    // The host's one read loop (one ReadFile: Windows has no interrupted
    // read to ask again).
    DWORD got = 0;
    if (ReadFile(handleOf(file), buffer, static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30)), &got, nullptr))
        return got;
    const DWORD error = GetLastError();
    if (error != ERROR_HANDLE_EOF && error != ERROR_BROKEN_PIPE)
        reason = systemMessage(error);
    return 0;
}

} // namespace qal
