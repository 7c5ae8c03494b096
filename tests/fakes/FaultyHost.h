#pragma once

#include "platform/Host.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

namespace qal::test {

// The real host with faults put in where a file system could fail. Before
// each operation on a file it asks a hook, by the number the program gives
// that file; a hook that answers an error number makes the operation fail
// with it (0 lets it go ahead). Tests override the hooks they need.
//
// A file's number is told by its name, as the program names its files
// (masterFile_ 1, send_ 2, notes_ 3; query 1 and queri 2, as query file
// coding opens them), or as a test set it with setNumber; 0 for any other.
class FaultyHost : public Host {
public:
    explicit FaultyHost(Host& real = systemHost()) : real_(real) {}

    void setNumber(const std::string& fileName, int number) { numbers_[fileName] = number; }
    // How many files it opened are open still: none once the work is done.
    std::size_t openFiles() const { return open_.size(); }

    virtual int beforeOpen(int /*number*/, FileMode /*mode*/) { return 0; }
    // Each line (with its CR LF) about to reach a file. Failing one lets
    // every line before it reach the file and stops there.
    virtual int beforeWrite(int /*number*/) { return 0; }
    // The bytes of one write. With an error number, only the first `bytes` of
    // them (all unless lowered) reach the file before it fails: a short write.
    virtual int beforeFlush(int /*number*/, std::size_t& /*bytes*/) { return 0; }
    // Flushing a written file to the disk.
    virtual int beforeSync(int /*number*/) { return 0; }
    // Asking the file system, before a unit's files are let go, whether a
    // write failed late (as closing a file on NFS does).
    virtual int beforeClose(int /*number*/) { return 0; }
    // Cutting a file back to its length from before a failed unit, or
    // making a journal void once its unit is on the disk.
    virtual int beforeCutBack(int /*number*/) { return 0; }
    // Each read of a file opened to read (by number, or by readers of
    // lessons and record files). With an error number the read fails, as
    // a disk's bad sector fails it, and that error's text is the host's
    // words for it.
    virtual int beforeRead(int /*number*/) { return 0; }
    // True for a file system that keeps no locks.
    virtual bool refusesLocks(int /*number*/) { return false; }
    // True refuses renaming the file (a student's file found under the older
    // byte form of its name), as a file system may.
    virtual bool refusesRename(int /*number*/) { return false; }
    // Told of each name the path lookup asks whether it exists, and of each
    // folder whose names it reads (to match a name in another letter case).
    virtual void lookedAt(const std::filesystem::path& /*path*/) noexcept {}
    virtual void listed(const std::filesystem::path& /*folder*/) noexcept {}
    // Told after a folder was flushed to the disk, its new entry with it.
    virtual void folderSynced(const std::filesystem::path& /*folder*/) {}

    Opened open(const std::filesystem::path& path, FileMode mode) override;
    std::uint64_t size(HostHandle file) override { return real_.size(file); }
    void writeAll(HostHandle file, std::string_view bytes, bool& written) override;
    void writeAt(HostHandle file, std::uint64_t offset, std::string_view bytes, bool& written) override;
    void sync(HostHandle file) override;
    void syncData(HostHandle file) override;
    bool truncate(HostHandle file, std::uint64_t length, bool flush = true) noexcept override;
    bool blank(HostHandle file, std::uint64_t length) noexcept override;
    void checkWritten(HostHandle file) override;
    void close(HostHandle file) noexcept override;
    HostHandle openToRead(const std::filesystem::path& path, ReadOutcome& outcome, std::uint64_t maxBytes) override;
    bool seekTo(HostHandle file, std::uint64_t offset, std::string& reason) override
    {
        return real_.seekTo(file, offset, reason);
    }
    std::size_t readSome(HostHandle file, char* buffer, std::size_t size, std::string& reason) override;
    LockAnswer tryLock(HostHandle file, bool shared) override;
    void makeFolder(const std::filesystem::path& path) override { real_.makeFolder(path); }
    void syncFolder(const std::filesystem::path& folder) noexcept override;
    bool createExclusive(const std::filesystem::path& path, std::string_view contents) override
    {
        return real_.createExclusive(path, contents);
    }
    std::string readSmallFile(const std::filesystem::path& path) noexcept override { return real_.readSmallFile(path); }
    std::time_t modified(const std::filesystem::path& path) noexcept override { return real_.modified(path); }
    bool touch(const std::filesystem::path& path) noexcept override { return real_.touch(path); }
    Entry entry(const std::filesystem::path& path) noexcept override { return real_.entry(path); }
    bool remove(const std::filesystem::path& path) noexcept override { return real_.remove(path); }
    bool renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) noexcept override
    {
        return !refusesRename(numberOf(from)) && real_.renameNoReplace(from, to);
    }
    bool exists(const std::filesystem::path& path) noexcept override
    {
        lookedAt(path);
        return real_.exists(path);
    }
    std::vector<std::filesystem::path> folderNames(const std::filesystem::path& folder) override
    {
        listed(folder);
        return real_.folderNames(folder);
    }
    bool isFolder(const std::filesystem::path& path) noexcept override { return real_.isFolder(path); }
    std::string environment(std::string_view name) override { return real_.environment(name); }
    std::filesystem::path currentFolder() override { return real_.currentFolder(); }
    std::string machineName() override { return real_.machineName(); }
    std::string machineId() override { return real_.machineId(); }
    long long processId() override { return real_.processId(); }
    bool processGone(long long pid) override { return real_.processGone(pid); }
    void holdTermination() override { real_.holdTermination(); }
    void releaseTermination() override { real_.releaseTermination(); }

private:
    // The hooks of one write (beforeFlush, then beforeWrite line by line),
    // then write itself with the bytes that may reach the file.
    void hookedWrite(HostHandle file, std::string_view bytes, bool& written,
                     const std::function<void(std::string_view, bool&)>& write);
    int numberOf(const std::filesystem::path& path) const;
    int numberOf(HostHandle file) const;

    Host& real_;
    std::map<std::string, int> numbers_; // file name -> number, set by the test
    std::map<HostHandle, int> open_;     // the number of each file open
};

} // namespace qal::test
