#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qal {

// One response or notes record of a master, send or notes file, with what the
// header block before it says. Texts are UTF-8 (the files are Windows-1252).
struct ReportRecord {
    enum class Kind { Response, Notes };

    std::string file;       // the file's name as the instructor gave it
    std::size_t line = 0;   // 1-based line of the file the record starts on
    std::string student;    // from the last header block before the record
    std::string initials;   // likewise
    std::string assignment; // likewise, as written ("001")
    std::string title;      // likewise: the lesson's header line ("001.  Part B")
    std::string date;       // ISO 8601: a note's own date, else the header block's
    std::string time;       // HH:MM:SS of the record's time line
    Kind kind = Kind::Response;
    std::string record;   // the master file's question number line ("10003"); empty elsewhere
    std::string question; // the question line
    std::string text;     // the response, or the note without its marker; lines joined by LF
};

// A piece of a file that is not a whole header block or record.
struct SkippedPiece {
    std::size_t firstLine = 0; // 1-based
    std::size_t lastLine = 0;
    std::string what; // "a record cut short", ...

    std::string warning() const; // "a record cut short (lines 12 to 15): skipped"
};

struct RecordFileContents {
    std::vector<ReportRecord> records;
    std::vector<SkippedPiece> skipped;
};

// Reads the text of a master, send or notes file as the program appends it:
// header blocks and records, CR LF line ends (a lone LF is taken too). The
// kind of file need not be known: the records of each kind are told apart by
// their lines. A torn block or stray text is skipped and reported, and every
// whole block after it is still read. Linear in the size of the text.
RecordFileContents readRecordText(std::string_view bytes, const std::string& fileName);

// The same, handing each record to sink as soon as it is read, so that a
// large file's records need not all be held at once.
using RecordSink = std::function<void(ReportRecord&&)>;
std::vector<SkippedPiece> readRecordText(std::string_view bytes, const std::string& fileName, const RecordSink& sink);

} // namespace qal
