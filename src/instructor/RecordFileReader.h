#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
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

    // The lesson's title: the header line after the assignment's number, its
    // point and the blanks that follow ("Part B" of "001.  Part B"); the
    // whole line when it does not start with the number and a point.
    std::string_view lesson() const;
};

// A piece of a file that is not a whole header block or record.
struct SkippedPiece {
    std::size_t firstLine = 0; // 1-based
    std::size_t lastLine = 0;
    std::string what; // "a record cut short", ...

    std::string warning() const; // "a record cut short (lines 12 to 15): skipped"
};

// Where the reader takes a file's bytes from.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to size bytes into `into`; 0 at the end of the bytes.
    virtual std::size_t read(char* into, std::size_t size) = 0;
    // Reads on from `offset`, counted from the first byte the source gave;
    // false when it cannot (it then gives no more bytes).
    virtual bool readFrom(std::uint64_t offset) = 0;
};

// A record longer than this, from its opening separator to its closing
// one, is skipped and reported: no student types as much, and its text
// would be held whole.
inline constexpr std::uint64_t maxRecordBytes = std::uint64_t{64} << 20;

// A place in a file: the byte offset of a line's start and its number.
struct FilePlace {
    std::uint64_t offset = 0;
    std::size_t line = 1;
};

// Reads the text of a master, send or notes file as the program appends it:
// header blocks and records, CR LF line ends (a lone LF is taken too). The
// kind of file need not be known: the records of each kind are told apart by
// their lines. A torn block or stray text is skipped and reported, and every
// whole block after it is still read.
//
// A record's text ends at its first closing separator. The response or note
// may hold anything the student typed: a line of it that the reader would
// take for a separator or a header block's name line is written with one
// blank more before it and read with one blank less (recordLayout's
// textAsWritten and lineAsTyped), so no text ends a record early or forges
// one, and every other line that looks like a time line or a header is a
// line of the text as it is.
//
// The bytes are read piece by piece and a record is handed out as soon as it
// is read. What is held is the record's text, once, and a few lines about
// the place being read (of a line no more than its first 64 KiB): never the
// file, nor anything for each line of a text. The text of a long record is
// read again from the source once its end is known, rather than held twice.
// Linear in the size of the text.
class RecordReader {
public:
    using SkippedSink = std::function<void(const SkippedPiece&)>;

    // Reads the bytes of `source`, which begin at `start` of the file named
    // fileName; each skipped piece goes to `skipped` as it is found.
    RecordReader(ByteSource& source, std::string fileName, SkippedSink skipped = {}, FilePlace start = {});
    ~RecordReader();
    RecordReader(const RecordReader&) = delete;
    RecordReader& operator=(const RecordReader&) = delete;

    // The next whole record, or null at the end. Valid until the next call.
    const ReportRecord* next();
    // The record next() handed out last, moved out of the reader (which
    // need not hold it twice).
    ReportRecord take();

    // Where the header block starts that the record last handed out belongs
    // to; the start of the bytes when no header block came before it.
    // Reading again from there gives the same records.
    FilePlace headerPlace() const;

    // Where the reading stands: after next(), the line after the closing
    // separator of the record it handed out.
    FilePlace place() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

struct RecordFileContents {
    std::vector<ReportRecord> records;
    std::vector<SkippedPiece> skipped;
};

// The whole text of a file at once, read as RecordReader reads it.
RecordFileContents readRecordText(std::string_view bytes, const std::string& fileName);

} // namespace qal
