#pragma once

#include "paging/LessonLimits.h"
#include "platform/Host.h"
#include "platform/LineBreaks.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qal {

// The longest lesson line, in characters. Every command puts a line into the
// question box and the transcript; a line of many megabytes would make each
// Next Question copy it again and again.
constexpr std::size_t maxLessonLineLength = 65535;
// A lesson file longer than this is refused before it is read: no lesson
// comes near it, while one at the limits of lines and line length would be
// held whole at more than a gigabyte.
constexpr std::uint64_t maxLessonBytes = std::uint64_t{64} << 20;

// Cuts text into lesson lines. CR LF, a lone LF and a lone CR each end a
// line (LineBreaks.h, whose findLineEnd cuts them), so no line ever holds a line break. A line end at the very end
// starts no further line ("a\r\nb\r\n" is two lines); a last line without one still counts ("a\r\nb" is two lines too).
// Bytes are kept as they are.
//
// Fed in pieces, so a file is never held whole just to learn that it is too
// long; a CR LF split between two pieces is still one line end.
class LessonLineSplitter {
public:
    void feed(std::string_view bytes);
    // Lines so far, the unfinished last one included.
    std::size_t lineCount() const { return lines_.size() + (inLine_ ? 1 : 0); }
    // Lines ended so far; the next byte belongs to line endedLines() + 1.
    std::size_t endedLines() const { return lines_.size(); }
    // The number (from 1) of the first line so far longer than
    // maxLessonLineLength characters, each byte a character (Windows-1252);
    // 0 when there is none.
    std::size_t firstLongLine() const { return firstLongLine_; }
    // The same with the characters of UTF-8 text counted: every byte but
    // those that continue a character. A line this long is too long in
    // either code.
    std::size_t firstLongUtf8Line() const { return firstLongUtf8Line_; }
    // Ends the text and hands out its lines.
    std::vector<std::string> finish();

private:
    void take(std::string_view text);
    void endLine();

    std::vector<std::string> lines_;
    std::string current_;
    std::size_t currentCharacters_ = 0; // characters of current_ read as UTF-8
    std::size_t firstLongLine_ = 0;
    std::size_t firstLongUtf8Line_ = 0;
    bool afterCr_ = false; // the last piece ended in a CR that ended a line
    bool inLine_ = false;  // bytes have come since the last line end
};

// Follows text fed in pieces and tells whether it is well-formed UTF-8 as
// the code page's decoder (decodeUtf8) takes it, no sequence cut short at the
// end, and whether it holds any byte beyond ASCII. A character cut by the end
// of a piece is finished with the next.
class Utf8Check {
public:
    void feed(std::string_view bytes);
    // The text so far is UTF-8, as far as it goes.
    bool valid() const { return valid_; }
    // The whole text, ended here, is UTF-8.
    bool validAtEnd() const { return valid_ && cut_.empty(); }
    bool beyondAscii() const { return beyondAscii_; }

private:
    bool valid_ = true;
    bool beyondAscii_ = false;
    std::string cut_; // the start of a character cut by the end of the last piece
};

std::vector<std::string> splitLessonLines(std::string_view bytes);

// A refusal that is about one line of a lesson file.
struct LineRefusal {
    std::size_t line = 0; // 1-based
    std::string text;     // "line 8, column 3 holds ..."
};

// A lesson file read for the lesson line table, or why it cannot be used.
struct LessonFile {
    std::vector<std::string> lines; // line 1 of the file first; empty when refused (but see unholdable)
    std::string refusal;            // empty when usable, else e.g. "it does not exist"
    std::size_t refusedLine = 0;    // the line the refusal is about; 0 when it is about the whole file
    bool unreadable = false;        // refused before a byte was read: missing, a folder, not to be opened
    // Every character of a UTF-8 file that Windows-1252 lacks, in the order
    // of the file; the refusal names the first. When there are any and
    // nothing else is wrong, lines holds the file with a "?" for each of
    // them (as the window shows such a character), so that the lesson
    // checker can read on and find everything else too.
    std::vector<LineRefusal> unholdable = {};

    bool usable() const { return refusal.empty(); }
};

// Reads and checks the lesson file at a path of this host.
//
// The file is UTF-8 when it is well-formed UTF-8 and holds a character beyond
// ASCII, or starts with UTF-8's byte order mark (which is dropped); its lines
// are then turned into Windows-1252, the program's code page. Any other file
// is Windows-1252 already and is taken byte for byte.
//
// Refused: a file that is missing, a folder or unreadable; one of no bytes
// at all (an empty lesson would leave the student with nothing but the
// invalid-assignment message); one of more than maxLessonLines lines or with
// a line of more than maxLessonLineLength characters; UTF-8 text holding a
// character that Windows-1252 lacks (named with its line and column, each
// of them in unholdable), or a
// byte order mark before text that is not UTF-8; and text that is plainly
// neither (a UTF-16 byte order mark, or a NUL byte), whose header lines
// could never match an assignment number. The file is read on host.
LessonFile readLessonFile(const std::string& path, Host& host = systemHost());

// The one line that tells the user why a lesson file was refused, for a
// message box and standard error alike.
std::string lessonFileRefusalLine(const std::string& path, const std::string& refusal);

} // namespace qal
