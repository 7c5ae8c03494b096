#pragma once

#include "platform/LineReader.h"

#include <array>
#include <csignal>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace qal {

enum class FileMode {
    Append, // created when missing, every write goes to the end
    Input,  // read from the start; the file must exist
    Output, // created, or emptied when it exists
};

// A hook for tests: consulted before each file operation. Returning an error
// number makes that operation fail with it (0 lets it go ahead).
class FileFaults {
public:
    virtual ~FileFaults() = default;
    virtual int beforeOpen(int /*number*/, FileMode /*mode*/) { return 0; }
    // Each line given to writeLine.
    virtual int beforeWrite(int /*number*/) { return 0; }
    // The bytes an Append file holds going to the file in one write. With an
    // error number, only the first `bytes` of them (all unless lowered)
    // reach the file before the write fails: a short write.
    virtual int beforeFlush(int /*number*/, std::size_t& /*bytes*/) { return 0; }
    // Flushing a written file to the disk (fsync).
    virtual int beforeSync(int /*number*/) { return 0; }
    virtual int beforeClose(int /*number*/) { return 0; }
    // Cutting a file back to its length from before a failed unit.
    virtual int beforeCutBack(int /*number*/) { return 0; }
    // An errno for the file system's lock call to fail with, as a file
    // system without locks answers (0: the real call).
    virtual int lockRefusal(int /*number*/) { return 0; }
    // Told after a folder was flushed to the disk, its new entry with it.
    virtual void folderSynced(const std::string& /*hostFolder*/) {}
};

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
// - While an Append file is open, the termination signals (SIGTERM, SIGHUP,
//   SIGINT) are held back on this thread: they take effect once the unit is
//   closed.
// - A file or folder this table creates is made durable by flushing its
//   folder too.
class FileTable {
public:
    static constexpr int maxNumber = 255;

    FileTable() = default;
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

    void setFaults(FileFaults* faults) { faults_ = faults; }
    void setLockTimeoutMs(int ms) { lockTimeoutMs_ = ms; }
    // Told true when a lock has been waited for a moment (so the student can
    // be shown that the program is busy), and false when the wait is over.
    void setWaitNotice(std::function<void(bool waiting)> notice) { waitNotice_ = std::move(notice); }

    // The lock file that stands in for the lock of the file at hostPath: its
    // name with ".lock" added, the name cut where that would be too long.
    static std::string lockFilePath(const std::string& hostPath);

private:
    struct Slot {
        int fd = -1;
        FileMode mode = FileMode::Input;
        std::string windowsPath; // as the program named it, for messages
        std::string path;        // host path (its lock file lies beside it)
        LineReader reader;       // Input: the lines not yet read
        bool written = false;    // something reached the file since open
        off_t length = 0;        // Append: the file's length when opened
        std::string pending;     // Append: lines not yet written
        std::string lockFile;    // Append: the lock file held, if any
    };

    Slot& slot(int number);
    const Slot* find(int number) const;
    void flush(Slot& s, int number);
    void sync(Slot& s, int number);
    bool cutBack(Slot& s, int number) noexcept;
    void release(Slot& s) noexcept;

    // Locking (FileLocking.cpp): the lock of a file, or the lock file that
    // stands in for it, and the termination signals held while a unit is open.
    void lock(Slot& s, int number, bool shared);
    bool takeLockFile(Slot& s);
    static void takeOverIfLeft(const std::string& lockPath);
    void holdSignals();
    void releaseSignals();

    std::array<Slot, maxNumber + 1> slots_{};
    FileFaults* faults_ = nullptr;
    int lockTimeoutMs_ = 10000;
    std::function<void(bool)> waitNotice_;
    int appendOpen_ = 0;  // Append files open: signals are held while any is
    sigset_t heldMask_{}; // the thread's mask before they were held
};

} // namespace qal
