#pragma once

#include "platform/Host.h"
#include "platform/LineReader.h"
#include "platform/RunError.h"
#include "platform/WinPath.h"

#include <array>
#include <cstdint>
#include <ctime>
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
//   then the failure is thrown. A file is cut back only while its length
//   is still at most its noted length plus what the unit writes to it (no
//   other writer has added to it since). When cutting back fails or is not
//   safe, the RunError tells what each file of the unit now holds of it
//   (unitFiles: whole, part, none, or changed by someone else), and the
//   table keeps the unit: the same unit closed again with Finish::Unfinished
//   is finished with the same bytes where they are missing, and is never
//   written twice where they are whole. A file the unit made stays, empty:
//   another run may be waiting for it already.
// - Before the first byte of a unit reaches any file, its rollback journal
//   (see Journal.h) is written beside the unit's first file and flushed; it
//   is made void once every file of the unit is on the disk, or cut back, and
//   removed at the run's end (endRun). A unit's first file
//   opened with a journal of a writer that is gone beside it (a run killed or
//   a machine that lost its power mid-unit) is put right first, under the
//   locks of the unit's files: the unit stays where it reached every file
//   whole, otherwise it is cut back out of each file that holds part of it;
//   a file changed since by someone else is left as it is and named in a
//   warning.
// - Append and Output never follow a symbolic link at the file's name, and
//   refuse anything but a plain file there (75), and a file another user
//   owns (75: in a folder every student may write to, a classmate may make
//   a student's file first). A FIFO in a file's place is refused, never
//   waited on. The journal's and the lock files' names are the program's
//   own: something else at one (another user's file, a link, a folder, a
//   read-only file) is left as it is, told of in a warning, and the next of
//   the names is used (see journalPath, lockFilePath).
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

    explicit FileTable(Host& host = systemHost()) : host_(&host), paths_(host) {}
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
    // At the end of the run: closes every number quietly, and removes the
    // journals this table wrote (each only when void and its first file's
    // lock is free at once; one left stays for good, void and harmless).
    void endRun() noexcept;
    bool isOpen(int number) const;

    // Writes, flushes and closes the Append files numbers as one unit (see
    // above). Every number is closed afterwards, whether or not it failed.
    enum class Finish {
        New,        // a unit of its own
        Unfinished, // the last unit that failed and stays in its files, tried again
    };
    void closeUnit(const std::vector<int>& numbers, Finish finish = Finish::New);
    // Gives up a unit: whatever reached the files is cut back, nothing held
    // in memory is written, and every number is closed. Throws only when a
    // file could not be cut back (with the number given).
    void abandonUnit(const std::vector<int>& numbers, int failure);

    // Creates one folder; fails with 75 when it exists, 76 when its parent does not.
    void createFolder(std::string_view windowsPath);
    // The user name of the owner of the file at windowsPath where that is
    // another user, whose file this run never writes; empty when the file
    // is this user's, is missing, or its owner cannot be told.
    std::string otherOwner(std::string_view windowsPath);

    // The host every later call goes through (tests put a faulty one in).
    void setHost(Host& host)
    {
        host_ = &host;
        paths_.setHost(host);
        processId_ = 0;
    }
    void setLockTimeoutMs(int ms) { lockTimeoutMs_ = ms; }
    // Told true when a lock has been waited for a moment (so the student can
    // be shown that the program is busy), and false when the wait is over.
    void setWaitNotice(std::function<void(bool waiting)> notice) { waitNotice_ = std::move(notice); }
    // Told each warning for the one who runs the program (a file changed by
    // someone else since a unit was cut short in it), one line without its
    // end. By default it goes to standard error, its control characters
    // escaped.
    void setWarning(std::function<void(const std::string& line)> warning) { warning_ = std::move(warning); }

    // The lock file that stands in for the lock of the file at hostPath: its
    // name with ".lock" added, the name cut where that would be too long;
    // choice 1 and on, ".lock-2" and on, stand in where something that is no
    // lock file of this user's stands at the name before.
    static constexpr std::size_t lockFileNames = 3;
    static std::filesystem::path lockFilePath(const std::filesystem::path& hostPath, std::size_t choice = 0);

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
        std::uint64_t adding = 0;       // Append: the bytes the unit writes
        std::filesystem::path lockFile; // Append: the lock file held, if any
        std::uint64_t unitLength = 0;   // Append: where the unit starts in it (an earlier try's start)
        std::string unitText;           // Append: the unit's bytes, once written
    };
    // What a failed unit left in one file, for the same unit tried again.
    struct UnfinishedFile {
        std::filesystem::path path;
        std::uint64_t length = 0; // where it starts
        std::string text;         // its bytes
    };
    struct MadeJournal {
        std::filesystem::path journal;
        std::filesystem::path firstFile;
    };

    Slot& slot(int number);
    const Slot* find(int number) const;
    // The host path of a Windows path. Within a unit (while an Append file
    // is open) the folders found are remembered, so that each is looked up
    // once; the first file of the next unit, and every file opened outside
    // a unit, looks afresh.
    std::filesystem::path lookUp(std::string_view windowsPath, PathKind last,
                                 std::filesystem::path* utf8Form = nullptr);
    void release(Slot& s) noexcept;
    // A file found under its older byte-form name takes its UTF-8 one
    // (ByteFormRenaming.cpp).
    void renameToUtf8(Slot& s, const std::filesystem::path& utf8Form) noexcept;
    void warn(const std::string& line);
    // The warning, only the first time in this run that it is about that path.
    void warnOnce(const std::filesystem::path& about, const std::string& line);
    // The owner's name where another user owns the entry at path and the
    // folder tells owners truly (ownersTold); empty otherwise.
    std::string foreignOwner(const std::filesystem::path& path);
    // False where a file this run makes in the folder shows another owner
    // (a network share mounted for one user gives every file one owner):
    // owners there tell nothing.
    bool ownersTold(const std::filesystem::path& folder);
    // The unit (FileUnit.cpp): each file's lines in one write, each file
    // flushed, and on a failure every file cut back.
    void flush(Slot& s);
    void sync(Slot& s);
    std::vector<UnitFileHeld> cutBack(const std::vector<int>& numbers) noexcept;
    // The last failed unit tried again: each file's unit put back as it
    // was, to be written only where it is missing.
    void takeUpUnfinished(const std::vector<int>& numbers, const std::vector<UnfinishedFile>& last);
    void keepUnfinished(const std::vector<int>& numbers);

    // The journal (JournalRecovery.cpp): written before a unit, made void after it;
    // a journal left by a writer that is gone, put right.
    HostHandle writeJournal(const std::vector<int>& numbers);
    void emptyJournal(HostHandle journal, std::uint64_t length) noexcept;
    void recoverLeftUnit(Slot& s);
    void recoverLeftUnit(Slot& s, const std::filesystem::path& journal);
    // The first of the journal's names this run can write its own journal
    // at, into path; no handle when none.
    Host::Opened openJournal(const std::filesystem::path& firstFile, std::filesystem::path& path);
    // Opens a file of a unit this table does not hold (to append, so it is
    // locked as a unit's file is) and takes its lock, into h, which release()
    // lets go of, whatever happened here.
    void holdForAWhile(Slot& h, const std::filesystem::path& path);
    void removeJournals() noexcept; // endRun
    const std::string& machineId(); // asked once
    const std::string& machineName();
    long long processId(); // asked once
    // Locking (FileLocking.cpp): the lock of a file, or the lock file that
    // stands in for it.
    void lock(Slot& s, bool shared);
    bool takeLockFile(Slot& s);
    bool takeLockFile(Slot& s, const std::filesystem::path& lockPath);
    void takeOverIfLeft(const std::filesystem::path& lockPath);
    bool lockFileLeft(const std::filesystem::path& lockPath, const std::string& holder);
    std::time_t fileSystemNow(const std::filesystem::path& folder);
    void refreshLockFiles() noexcept;

    std::array<Slot, maxNumber + 1> slots_{};
    Host* host_;
    PathLookup paths_;
    int lockTimeoutMs_ = 10000;
    std::function<void(bool)> waitNotice_;
    std::function<void(const std::string&)> warning_;
    std::vector<MadeJournal> journals_;         // written by this table, removed at its end
    std::vector<UnfinishedFile> unfinished_;    // the last failed unit that stays in its files
    std::vector<std::filesystem::path> warned_; // what a warning was given about (warnOnce)
    std::uint64_t journalLength_ = 0;           // the length of the last journal written
    std::string machineId_;                     // asked once
    std::string machineName_;                   // asked once
    long long processId_ = 0;                   // asked once
    // The file system's clock less this machine's, as last measured, and
    // when (steady clock, in seconds): lock files are judged by it.
    std::time_t clockOffset_ = 0;
    long long clockMeasuredAt_ = -1;
    long long lockFilesRefreshedAt_ = 0;
};

} // namespace qal
