// The lock files' calls on Windows: made only where nothing is, read, dated,
// refreshed and removed without following a link; and who holds one (the
// machine, its GUID, the process).

#include "platform/windows/WindowsHost.h"

#include "platform/RunError.h"
#include "platform/windows/WideText.h"
#include "platform/windows/WindowsErrors.h"
#include "platform/windows/WindowsHandles.h"

#include <windows.h>

namespace qal {

namespace fs = std::filesystem;

namespace {

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
    // Up to 64 KiB, through the host's one read loop; nothing at all when
    // reading fails.
    std::string bytes(1 << 16, '\0');
    std::size_t got = 0;
    std::string reason;
    for (std::size_t n = 1; n > 0 && got < bytes.size(); got += n)
        n = readSome(reinterpret_cast<HostHandle>(file.handle), bytes.data() + got, bytes.size() - got, reason);
    if (!reason.empty())
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

Host::Entry WindowsHost::entry(const fs::path& path) noexcept
{
    const DWORD attributes = GetFileAttributesW(extendedPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return {};
    Entry found;
    found.kind = attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)
                     ? Entry::Other
                     : Entry::PlainFile;
    // No owner is told here, so no file is refused for its owner on
    // Windows. Who may read or change a file in a Windows share is its
    // access list's to say, which the share hands down to every file made
    // in it; the owner is a poor stand-in: a file made by a member of the
    // Administrators group may be owned by that group, not by its maker, so
    // comparing owners could refuse a student's own files. And Wine, on
    // which this host is tested, cannot give a file another owner, so such
    // a refusal could not be tested at all. A class share on Windows keeps
    // students apart by its access lists.
    return found;
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

} // namespace qal
