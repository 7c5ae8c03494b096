#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qal {

// A lesson fills slots 1 to 5000 of the lesson line table, one line a slot.
constexpr std::size_t maxLessonLines = 5000;

// Cuts Windows-1252 text into lesson lines. CR LF, a lone LF and a lone CR
// each end a line, so no line ever holds a line break. A line end at the very
// end starts no further line ("a\r\nb\r\n" is two lines); a last line without
// one still counts ("a\r\nb" is two lines too). Bytes are kept as they are.
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
    // Ends the text and hands out its lines.
    std::vector<std::string> finish();

private:
    std::vector<std::string> lines_;
    std::string current_;
    bool afterCr_ = false; // the last byte was a CR, so a LF now ends nothing
    bool inLine_ = false;  // bytes have come since the last line end
};

std::vector<std::string> splitLessonLines(std::string_view bytes);

// A lesson file read for the lesson line table, or why it cannot be used.
struct LessonFile {
    std::vector<std::string> lines; // line 1 of the file first; empty when refused
    std::string refusal;            // empty when usable, else e.g. "it does not exist"

    bool usable() const { return refusal.empty(); }
};

// Reads and checks the lesson file at a path of this host. Refused: a file
// that is missing, a folder or unreadable; one of no bytes at all (an empty
// lesson would leave the student with nothing but the invalid-assignment
// message); one of more than maxLessonLines lines; and one that is plainly
// not Windows-1252 text (a UTF-8 or UTF-16 byte order mark, or a NUL byte),
// whose header lines could never match an assignment number.
LessonFile readLessonFile(const std::string& path);

// The one line that tells the user why a lesson file was refused, for a
// message box and standard error alike.
std::string lessonFileRefusalLine(const std::string& path, const std::string& refusal);

} // namespace qal
