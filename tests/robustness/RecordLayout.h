#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qal::test {

// Which of the program's files a text came from: the layouts differ.
enum class RecordFileKind { Master, Send, Notes };

// One block of a master, send or notes file, as the program appends it.
struct RecordBlock {
    enum Kind { Header, Response, Notes };
    Kind kind = Header;
    std::size_t firstLine = 0; // 1-based line of the file the block starts on
    std::string question;      // Header: the lesson's header line; records: the question line
    std::string text;          // Header: the student name; Response: the response; Notes: after the marker
    std::string recordNumber;  // Response in the master file: the number of the "`questionNumber" line
};

// What a file holds, block by block.
//
// A file is whole when it splits into CR LF lines with no stray CR or LF and
// every line belongs to a header block or a record of exactly the program's
// layout. Records are told apart by their lines alone, so lines of two
// records written at once, or a record cut short, never pass.
//
// With allowTorn, a block cut short (its lines so far are the start of a
// whole block) is accepted where the file goes on with the next block (a new
// run's header after the program was killed, or a record after a failed
// write) or ends, even in a line missing its CR LF; it is counted in torn and
// left out of blocks. Anything else wrong is an error.
struct RecordFile {
    std::vector<RecordBlock> blocks;
    std::size_t torn = 0;
    std::string error; // empty when the file is as described above

    bool whole() const { return error.empty(); }
};

RecordFile parseRecordFile(const std::string& bytes, RecordFileKind kind, bool allowTorn = false);

} // namespace qal::test
