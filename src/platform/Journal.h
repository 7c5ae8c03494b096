#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qal {

// The rollback journal of a unit (the files of one header block or record).
// Before the first byte of a unit reaches any of its files, the journal
// names each file with its length L and the number of bytes W the unit adds
// to it, and who writes it; it is on the disk before the unit starts and
// emptied once every file of the unit is on the disk. A journal found
// holding a unit whose writer is gone (killed, or the machine lost its power)
// tells how to put the files back: see recover.
//
// One journal lies beside the first file of a unit, under a name no student
// mails and no reader takes for a record file (see journalPath). These are
// the journal's rules and its text, with no system call: FileTable reads and
// writes it through its Host.
struct JournalFile {
    std::filesystem::path path;
    std::uint64_t length = 0; // L: before the unit
    std::uint64_t adding = 0; // W: the unit's bytes
};

struct JournalOwner {
    std::string machineName;
    std::string machineId;
    long long processId = 0;
};

struct Journal {
    JournalOwner owner;
    std::vector<JournalFile> files;
};

// ".<name>-journal" beside the file, the name cut where it would be too long
// (as a lock file's is).
std::filesystem::path journalPath(const std::filesystem::path& firstFile);

// The journal as it is written: lines of text, closed by a line that says it
// is whole.
std::string journalText(const Journal& journal);
// The journal in text; nothing when the text is empty or not whole (its
// writer died while writing it, before any file of the unit was touched).
std::optional<Journal> parseJournal(std::string_view text);

// What recovery does to one file of a unit whose writer is gone.
enum class Recovery {
    Keep,    // the unit is whole there (and everywhere), or never reached it
    CutBack, // part of the unit is there: back to L
    Leave,   // shorter than L or longer than L + W: someone changed it since
};
// sizes[i] is the length of files[i] now. The unit stays where it reached
// every file whole; otherwise each file holding part of it is cut back.
std::vector<Recovery> recover(const std::vector<JournalFile>& files, const std::vector<std::uint64_t>& sizes);

} // namespace qal
