#pragma once

#include "platform/Host.h"

#include <csignal>
#include <filesystem>
#include <string>

namespace qal {

// The descriptor a handle of this host stands for.
inline int fdOf(HostHandle file)
{
    return static_cast<int>(file);
}

// The host on POSIX systems (Linux, and the BSDs and macOS in principle):
// file descriptors, flock, fsync, and the termination signals held back
// while a unit is open. Its calls are defined by their part, each in a file
// of its own, as in the Windows host:
//   PosixFiles.cpp     files by handle: open, write, the one read loop
//                      (readSome), flush, cut back, and the readers'
//                      openToRead and seekTo
//   PosixLocks.cpp     the lock on a unit's files, the signals held meanwhile
//   PosixLockFiles.cpp the lock files' calls, and who holds one (machine,
//                      process)
//   PosixPaths.cpp     folders, what the path lookup looks at, drives, host
//                      paths and local time
//   PosixErrors.cpp    errno to the program's error numbers
//   PosixHost.cpp      the one host object
class PosixHost final : public Host {
public:
    Opened open(const std::filesystem::path& path, FileMode mode) override;
    std::uint64_t size(HostHandle file) override;
    void writeAll(HostHandle file, std::string_view bytes, bool& written) override;
    void writeAt(HostHandle file, std::uint64_t offset, std::string_view bytes, bool& written) override;
    void sync(HostHandle file) override;
    void syncData(HostHandle file) override;
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

private:
    int held_ = 0;      // nesting of holdTermination
    sigset_t before_{}; // the thread's mask before the signals were held
};

} // namespace qal
