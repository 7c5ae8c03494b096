#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qal {

enum class FileMode {
    Append, // created when missing, every write goes to the end
    Input,  // read from the start; the file must exist
    Output, // created, or emptied when it exists
    Update, // created when missing, never emptied: written in place (writeAt)
};

// An open file of the host: a file descriptor on POSIX, a HANDLE on Windows.
using HostHandle = std::intptr_t;
constexpr HostHandle noHandle = -1;

// What the host answered when asked for a lock without waiting.
enum class LockAnswer {
    Locked,       // the lock is this run's until the file is closed
    Held,         // another run holds it: try again later
    NotSupported, // the file system keeps no locks (a lock file stands in)
};

// What reading a file as bytes came to, for the readers of lesson files and
// record files, with the host's own words for what went wrong (as its
// messages say it, e.g. "Permission denied").
struct ReadOutcome {
    enum Kind { Read, Missing, Folder, NotAFile, TooLarge, CannotOpen, CannotRead } kind = Read;
    std::string reason;
};
constexpr std::uint64_t noSizeLimit = ~std::uint64_t{0};

// The system calls under the file table, and the few other services of the
// host that differ between systems. Everything above it (files by number,
// units, the lock-file rules, Windows paths) is portable and calls only
// this. Every failure is a RunError carrying the program's error number,
// mapped from the host's own error in one table per host.
//
// One implementation per host (platform/posix, platform/windows); tests wrap
// the real one to make any operation fail as a file system would.
class Host {
public:
    virtual ~Host() = default;

    struct Opened {
        HostHandle handle = noHandle;
        bool created = false; // the file did not exist before
    };
    // Opens the file at path. Append and Output create a missing file (with
    // created set); Input needs the file to exist. Append and Output never
    // follow a symbolic link (or a Windows reparse point) in the last place
    // of the path: a link there is refused as a file that may not be opened
    // (75), so nothing is written through it. Anything but a plain file (a
    // folder, a FIFO, a device) is refused (75) without waiting on it.
    // Fails with 53 for a missing file to read, 76 for a missing folder on
    // the way, 75 where the file may not be opened, 61, 67, 57, 70.
    virtual Opened open(const std::filesystem::path& path, FileMode mode) = 0;
    // The file's length now.
    virtual std::uint64_t size(HostHandle file) = 0;
    // Writes the bytes whole (an Append file at its end), going on after a
    // write that took only part of them. written is set once any byte has
    // reached the file, even when the write then fails.
    virtual void writeAll(HostHandle file, std::string_view bytes, bool& written) = 0;
    // Writes the bytes whole at offset (an Update file), over what is there,
    // the file's length growing only where they reach past its end. written
    // as for writeAll.
    virtual void writeAt(HostHandle file, std::uint64_t offset, std::string_view bytes, bool& written) = 0;
    // Reads up to size bytes into buffer; 0 at the end of the file. Built on
    // readSome, the host's one read loop: a failure there is 57.
    std::size_t read(HostHandle file, char* buffer, std::size_t size);
    // Flushes what was written to the disk. A file that cannot be flushed by
    // its nature (a terminal, a device) is no failure.
    virtual void sync(HostHandle file) = 0;
    // Flushes what was written to the disk, and of the file's own record only
    // what reading it back needs (its length, not its times): for a file
    // written in place at the same length, only its data (fdatasync).
    virtual void syncData(HostHandle file) = 0;
    // Cuts the file back to length and, unless told not to, flushes it;
    // false when either failed.
    virtual bool truncate(HostHandle file, std::uint64_t length, bool flush = true) noexcept = 0;
    // Overwrites the file's first length bytes with zeros in place, without
    // flushing them (a journal made void); false when that failed.
    virtual bool blank(HostHandle file, std::uint64_t length) noexcept = 0;
    // Asks the file system whether a write it accepted has failed since
    // (a network file system may report that only on close), while the file
    // is still open and locked.
    virtual void checkWritten(HostHandle file) = 0;
    // Closes the file, letting go of its lock; a file opened to read
    // (openToRead) too.
    virtual void close(HostHandle file) noexcept = 0;

    // Reading as the lesson and record readers do (readFilePieces below),
    // saying why in the host's words rather than by an error number.
    // Opens a plain file (a link to one will do) to be read from its start or
    // from any offset: noHandle, with why in outcome, when it cannot be. A
    // folder, a FIFO or a device is refused at once, never waited on; so is a
    // file longer than maxBytes.
    virtual HostHandle openToRead(const std::filesystem::path& path, ReadOutcome& outcome, std::uint64_t maxBytes) = 0;
    // Reads on from offset. False, with why, when the host cannot.
    virtual bool seekTo(HostHandle file, std::uint64_t offset, std::string& reason) = 0;
    // Up to size bytes; 0 at the end, or when reading fails (with why in
    // reason). The host's one read loop: every read of a file goes through it.
    virtual std::size_t readSome(HostHandle file, char* buffer, std::size_t size, std::string& reason) = 0;
    // Takes the file's lock without waiting: shared for reading, exclusive
    // for writing.
    virtual LockAnswer tryLock(HostHandle file, bool shared) = 0;

    // Makes one folder; 75 when it exists, 76 when its parent does not.
    virtual void makeFolder(const std::filesystem::path& path) = 0;
    // Makes a new entry in the folder durable (a file or a folder just made
    // in it), so that it survives a power cut. Where the file system needs
    // no such step, or cannot take it, this does nothing.
    virtual void syncFolder(const std::filesystem::path& folder) noexcept = 0;

    // Lock files, for file systems that keep no locks.
    // Creates path holding contents, only if nothing is there yet: false when
    // something is. Fails with 61 for a full disk, 70 when no lock file can
    // be made there at all.
    virtual bool createExclusive(const std::filesystem::path& path, std::string_view contents) = 0;
    // The first bytes (up to 64 KiB) of a small plain file; empty when it
    // cannot be read, or when a link or anything but a plain file is there.
    virtual std::string readSmallFile(const std::filesystem::path& path) noexcept = 0;
    // The last time the entry at path was changed, in seconds of the clock of
    // the file system that holds it (a file server's clock for a network
    // folder), never following a link; -1 when it cannot be told.
    virtual std::time_t modified(const std::filesystem::path& path) noexcept = 0;
    // Sets the plain file's time of change to the file system's time now by
    // writing its first byte again, as it was (never a time this machine
    // computed, never following a link): a lock file's holder shows it is
    // still there. False for an empty file.
    virtual bool touch(const std::filesystem::path& path) noexcept = 0;
    // What stands at path, never following a link: nothing, a plain file or
    // anything else (a link, a folder, a FIFO, a device); and the user name
    // of its owner where that is another user than the one this run is, so
    // that nothing of a student goes into a classmate's file and no
    // classmate's journal or lock file is obeyed (empty where the host
    // tells no owner: see WindowsHost::entry).
    struct Entry {
        enum Kind { Missing, PlainFile, Other } kind = Missing;
        std::string otherOwner;
    };
    virtual Entry entry(const std::filesystem::path& path) noexcept = 0;
    virtual bool remove(const std::filesystem::path& path) noexcept = 0;
    // Renames from to to, failing (false) rather than replacing anything at to.
    virtual bool renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) noexcept = 0;
    // Who this run is, for a lock file's holder line: the machine's name and
    // the process number.
    virtual std::string machineName() = 0;
    // What tells this machine (and its process numbers) from every other one
    // that may share the folder and its name: on Linux the boot's id and the
    // process namespace, on Windows the machine's GUID. One word, no blank;
    // "-" when it cannot be told.
    virtual std::string machineId() = 0;
    virtual long long processId() = 0;
    // True only when no process of that number runs on this machine.
    virtual bool processGone(long long pid) = 0;

    // Looking at names without changing anything, for the Windows path
    // lookup (PathLookup, WinPath.h) to match letter case as Windows does.
    // Whether anything stands at path (a link, dangling or not, counts: it
    // is never followed).
    virtual bool exists(const std::filesystem::path& path) noexcept = 0;
    // The names in folder (file names of this host, without the folder),
    // in the file system's order; those read before a failure, or none.
    virtual std::vector<std::filesystem::path> folderNames(const std::filesystem::path& folder) = 0;
    // True for a folder, or a link to one.
    virtual bool isFolder(const std::filesystem::path& path) noexcept = 0;
    // The value of an environment variable, empty when it is not set.
    virtual std::string environment(std::string_view name) = 0;
    // The folder a path without a drive starts from.
    virtual std::filesystem::path currentFolder() = 0;

    // Termination signals (POSIX) are held back while a unit is open, so it
    // completes; Windows has none to hold. Calls nest.
    virtual void holdTermination() = 0;
    virtual void releaseTermination() = 0;
};

// The host the program runs on.
Host& systemHost();

// Host services that tests need not replace.

// The folder a drive letter (a capital) stands for when QALESSON_DRIVE_<letter>
// names none: on Windows the drive itself (its root); elsewhere drive C is the
// home folder and any other letter fails with 76, as an unmapped network
// drive does.
std::filesystem::path defaultDriveRoot(char upperLetter);
// True where the file system matches names regardless of letter case itself
// (Windows), so the program need not look for another case.
bool hostMatchesLetterCase();
// A path of the host from UTF-8 text, and a host file name as UTF-8 text.
std::filesystem::path hostPathFromUtf8(std::string_view utf8);
std::string utf8FromHostPath(const std::filesystem::path& path);
// A time of the system clock as local time.
std::tm localTime(std::time_t seconds);

// Why a file could not be read, in the words both readers use ("it does not
// exist", "it is a folder, not a file", ...). `what` names what the file was
// to be ("lesson", "record file"), for one longer than maxBytes, the most
// any such file can hold; the host's own words follow "it cannot be opened: "
// and "it cannot be read: ". Empty for a file read.
std::string readRefusal(const ReadOutcome& outcome, std::string_view what, std::uint64_t maxBytes);

// Reads a file whole on host, a piece at a time. piece is called with each
// piece in order and returns false to stop reading.
// A file longer than maxBytes is refused (TooLarge) before it is read.
ReadOutcome readFilePieces(Host& host, const std::filesystem::path& path,
                           const std::function<bool(std::string_view)>& piece, std::uint64_t maxBytes = noSizeLimit);

} // namespace qal
