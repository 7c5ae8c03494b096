#pragma once

#include "platform/RunError.h"

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
// (as a lock file's is). The program's own name, so that something another
// user (or nobody) put there is never obeyed and never blocks the student:
// the unit takes the first of journalNames names (choice 0, then
// ".<name>-journal-2" and on) where nothing foreign or unusable stands, and
// recovery looks at every one.
constexpr std::size_t journalNames = 3;
std::filesystem::path journalPath(const std::filesystem::path& firstFile, std::size_t choice = 0);

// The journal is written in place, over the one before it, at a fixed size
// (a whole number of blocks, padded with zeros), so that its file keeps its
// length from one unit to the next and a data-only flush puts it on the disk.
constexpr std::size_t journalBlock = 4096;

// The journal as it is written: lines of text, closed by a line holding the
// checksum (CRC-32) of every byte before it, then zeros up to the fixed size.
std::string journalText(const Journal& journal);
// The journal in text; nothing when the text is empty, made void, or not
// whole: its writer died while writing it (before any file of the unit was
// touched), and what reached the disk may be part of it over part of the
// one before, which the checksum tells. The journal an earlier version
// wrote (its text closed by "whole", the file emptied between units) is
// read too, so that a unit it left is put right after an update.
std::optional<Journal> parseJournal(std::string_view text);
// True for a journal that holds no unit: an empty file, or one made void
// (zeros where its first line was) once its unit was on the disk.
bool journalVoid(std::string_view text);

// The cut-back rule: a file that was length bytes long before a unit that
// adds `adding` to it, and is now bytes long, may be cut back to length only
// while nothing but that unit can lie beyond length (another writer that
// added to it since, after a lock was taken over, keeps its lines). A file
// at length holds nothing of the unit and needs no cut.
bool mayCutBack(std::uint64_t length, std::uint64_t adding, std::uint64_t now);

// What a file holds of a unit that adds `adding` to its length bytes, told
// by its length now: the unit whole (length + adding), part of it (between
// the two), none of it (length), or something else since (shorter than
// length or longer than length + adding: another writer changed it).
UnitHeld unitHeld(std::uint64_t length, std::uint64_t adding, std::uint64_t now);

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
