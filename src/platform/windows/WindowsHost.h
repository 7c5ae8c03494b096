#pragma once

#include "platform/Host.h"

#include <filesystem>
#include <string>

namespace qal {

// path as the wide calls take it. An absolute path too long for Windows'
// MAX_PATH (260 characters, which a deep folder and a long student name
// reach) gets the \\?\ prefix that lifts the limit to 32,767; a short one is
// left as it is.
std::wstring extendedPath(const std::filesystem::path& path);

// The host on Windows: the wide (UTF-16) file API, byte-range locks
// (LockFileEx) and FlushFileBuffers. Every failure is mapped by
// windowsErrorNumber (WindowsErrors.h).
//
// Files are opened sharing reading, writing and deleting with everyone, so
// another run of the program (or the instructor's report, an editor, a
// backup) can open the same file at the same time, as on POSIX; the lock
// alone keeps two runs' records apart.
//
// Its calls are defined by their part, each in a file of its own, as in the
// POSIX host:
//   WindowsFiles.cpp     files by handle: open, write, the one read loop
//                        (readSome), flush, cut back, and the readers'
//                        openToRead and seekTo
//   WindowsLocks.cpp     the lock on a unit's files (no signal to hold back)
//   WindowsLockFiles.cpp the lock files' calls, and who holds one (machine,
//                        process)
//   WindowsPaths.cpp     the long form of a path, folders, what the path
//                        lookup looks at, drives, host paths
//                        and local time
//   WindowsErrors.cpp    GetLastError to the program's error numbers, and
//                        the system's words for an error
//   WindowsHost.cpp      the one host object
// WindowsHandles.h holds what the parts share about handles.
class WindowsHost final : public Host {
public:
    Opened open(const std::filesystem::path& path, FileMode mode) override;
    std::uint64_t size(HostHandle file) override;
    void writeAll(HostHandle file, std::string_view bytes, bool& written) override;
    void writeAt(HostHandle file, std::uint64_t offset, std::string_view bytes, bool& written) override;
    void sync(HostHandle file) override;
    void syncData(HostHandle file) override { sync(file); }
    bool blank(HostHandle file, std::uint64_t length) noexcept override;
    bool truncate(HostHandle file, std::uint64_t length, bool flush = true) noexcept override;
    void checkWritten(HostHandle file) override;
    void close(HostHandle file) noexcept override;
    HostHandle openToRead(const std::filesystem::path& path, ReadOutcome& outcome, std::uint64_t maxBytes) override;
    bool seekTo(HostHandle file, std::uint64_t offset, std::string& reason) override;
    std::size_t readSome(HostHandle file, char* buffer, std::size_t size, std::string& reason) override;

    LockAnswer tryLock(HostHandle file, bool shared) override;
    void holdTermination() override;
    void releaseTermination() override;

    void makeFolder(const std::filesystem::path& path) override;
    void syncFolder(const std::filesystem::path& folder) noexcept override;

    bool createExclusive(const std::filesystem::path& path, std::string_view contents) override;
    std::string readSmallFile(const std::filesystem::path& path) noexcept override;
    std::time_t modified(const std::filesystem::path& path) noexcept override;
    bool touch(const std::filesystem::path& path) noexcept override;
    Entry entry(const std::filesystem::path& path) noexcept override;
    bool remove(const std::filesystem::path& path) noexcept override;
    bool renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) noexcept override;
    bool exists(const std::filesystem::path& path) noexcept override;
    std::vector<std::filesystem::path> folderNames(const std::filesystem::path& folder) override;
    bool isFolder(const std::filesystem::path& path) noexcept override;
    std::string environment(std::string_view name) override;
    std::filesystem::path currentFolder() override;
    std::string machineName() override;
    std::string machineId() override;
    long long processId() override;
    bool processGone(long long pid) override;
};

} // namespace qal
