#pragma once

#include <array>
#include <string>
#include <string_view>

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
    virtual int beforeWrite(int /*number*/) { return 0; }
    virtual int beforeClose(int /*number*/) { return 0; }
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
// An Append file is held under an exclusive advisory lock from open to close,
// so two runs writing to the same files never interleave their lines; since
// records open their files in number order, two runs cannot deadlock. A lock
// not had within lockTimeoutMs fails with 70.
//
// Closing a written file flushes it to the disk (fsync), so a header or a
// record whose files are closed survives a crash.
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
    // Closing a number that is not open does nothing.
    void close(int number);
    void closeAll();
    bool isOpen(int number) const;

    // Creates one folder; fails with 75 when it exists, 76 when its parent does not.
    void createFolder(std::string_view windowsPath);

    void setFaults(FileFaults* faults) { faults_ = faults; }
    void setLockTimeoutMs(int ms) { lockTimeoutMs_ = ms; }

private:
    struct Slot {
        int fd = -1;
        FileMode mode = FileMode::Input;
        std::string path;     // host path, for messages and tests
        std::string buffer;   // Input: read-ahead bytes not yet handed out
        std::size_t pos = 0;  // Input: position in buffer
        bool atEnd = false;   // Input: nothing left to read from fd
        bool written = false; // something was written since open
    };

    Slot& slot(int number);
    const Slot* find(int number) const;
    void fill(Slot& s);
    void lock(Slot& s);

    std::array<Slot, maxNumber + 1> slots_{};
    FileFaults* faults_ = nullptr;
    int lockTimeoutMs_ = 10000;
};

} // namespace qal
