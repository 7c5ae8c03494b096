#pragma once

#include "platform/Host.h"
#include "platform/LineReader.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace qal {

// Files by number, as the original platform offered them. Paths are Windows
// paths (see hostPath). Lines are written as the text and CR LF, byte for
// byte: texts are already in the program's code page.
//
// Failures throw RunError with the platform's numbers: 52 for a number out of
// range or not open, 54 for the wrong mode, 55 for a number already open, 53 for
// a missing file opened for input, 76 for a missing folder on the way, 75 for
// a file that may not be opened, 70 for a file another run holds locked, 61 for
// a full disk, 57 for an I/O error, 62 for reading past the end.
//
// Append files are written in units: the files of a header block or of a
// record, opened together and closed together by closeUnit. A unit reaches
// every one of its files whole or not at all:
// - open takes an exclusive lock on the file and notes its length. Units open
//   their files in number order, so two runs cannot deadlock. Where the file
//   system refuses locks, a lock file beside the file stands in for the lock
//   (see lockFilePath). A lock not had within lockTimeoutMs fails with 70.
//   Input files are read under a shared lock, so no unit is read half-way.
// - writeLine only gathers the lines in memory; closeUnit writes each file's
//   lines in one write, flushes every file to the disk (fsync) and closes
//   them. If any of that fails, every file of the unit is cut back to the
//   length it had when opened and flushed again, before any lock is let go;
//   then the failure is thrown. When cutting back fails too, the RunError
//   names the files that may now end in part of the unit. A file the unit
//   made stays, empty: another run may be waiting for it already.
// - While an Append file is open, the host holds termination back (the
//   POSIX signals SIGTERM, SIGHUP, SIGINT on this thread): it takes effect
//   once the unit is closed.
// - A file or folder this table creates is made durable by flushing its
//   folder too.
// - An Append file found under the older byte form of its name (see
//   hostPath) is renamed to the UTF-8 form in the same folder, under its
//   lock and before anything is written to it, so that a student's files
//   carry one encoding. The rename never replaces a file; when it is refused
//   (or only a lock file stands in for the lock), the old name stays in use.
//
// Every call to the system goes through the Host it is given; the rules
// above are the table's own and the same on every host.
class FileTable {
public:
    static constexpr int maxNumber = 255;

    explicit FileTable(Host& host = systemHost()) : host_(&host) {}
    ~FileTable();
    FileTable(const FileTable&) = delete;
    FileTable& operator=(const FileTable&) = delete;

    void open(int number, std::string_view windowsPath, FileMode mode);
    void writeLine(int number, std::string_view text);
    // The next line without its line end (CR LF, LF or CR).
    std::string readLine(int number);
    bool eof(int number);
    // Closing a number that is not open does nothing. An Append file is
    // closed as a unit of its own.
    void close(int number);
    void closeAll();
    // Closes each number as close() does, going on past a failure and saying
    // nothing of it: for clearing up after a failure that is being reported
    // already, or at the end of the run, when there is no one left to tell.
    void closeQuietly(std::initializer_list<int> numbers) noexcept;
    void closeAllQuietly() noexcept;
    bool isOpen(int number) const;

    // Writes, flushes and closes the Append files numbers as one unit (see
    // above). Every number is closed afterwards, whether or not it failed.
    void closeUnit(const std::vector<int>& numbers);
    // Gives up a unit: whatever reached the files is cut back, nothing held
    // in memory is written, and every number is closed. Throws only when a
    // file could not be cut back (with the number given).
    void abandonUnit(const std::vector<int>& numbers, int failure);

    // Creates one folder; fails with 75 when it exists, 76 when its parent does not.
    void createFolder(std::string_view windowsPath);

    // The host every later call goes through (tests put a faulty one in).
    void setHost(Host& host) { host_ = &host; }
    void setLockTimeoutMs(int ms) { lockTimeoutMs_ = ms; }
    // Told true when a lock has been waited for a moment (so the student can
    // be shown that the program is busy), and false when the wait is over.
    void setWaitNotice(std::function<void(bool waiting)> notice) { waitNotice_ = std::move(notice); }

    // The lock file that stands in for the lock of the file at hostPath: its
    // name with ".lock" added, the name cut where that would be too long.
    static std::filesystem::path lockFilePath(const std::filesystem::path& hostPath);

private:
    struct Slot {
        HostHandle file = noHandle;
        FileMode mode = FileMode::Input;
        std::string windowsPath;        // as the program named it, for messages
        std::filesystem::path path;     // host path (its lock file lies beside it)
        LineReader reader;              // Input: the lines not yet read
        bool written = false;           // something reached the file since open
        std::uint64_t length = 0;       // Append: the file's length when opened
        std::string pending;            // Append: lines not yet written
        std::filesystem::path lockFile; // Append: the lock file held, if any
    };

    Slot& slot(int number);
    const Slot* find(int number) const;
    void flush(Slot& s);
    void sync(Slot& s);
    void release(Slot& s) noexcept;
    void renameToUtf8(Slot& s, const std::filesystem::path& utf8Form) noexcept;

    // Locking (FileLocking.cpp): the lock of a file, or the lock file that
    // stands in for it.
    void lock(Slot& s, bool shared);
    bool takeLockFile(Slot& s);
    void takeOverIfLeft(const std::filesystem::path& lockPath);

    std::array<Slot, maxNumber + 1> slots_{};
    Host* host_;
    int lockTimeoutMs_ = 10000;
    std::function<void(bool)> waitNotice_;
};

} // namespace qal
