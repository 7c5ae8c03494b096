#include "run/LessonFile.h"

#include "platform/CodePage.h"
#include "platform/Host.h"
#include "platform/LineBreaks.h"
#include "platform/Printable.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace qal {

namespace {

bool continuesUtf8Character(char c)
{
    return isUtf8Continuation(static_cast<unsigned char>(c));
}

} // namespace

void LessonLineSplitter::feed(std::string_view bytes)
{
    std::size_t at = 0;
    if (afterCr_ && !bytes.empty() && bytes.front() == '\n')
        at = 1; // the LF of a CR LF whose CR ended the last piece
    if (!bytes.empty())
        afterCr_ = false;
    while (at < bytes.size()) {
        const std::optional<LineEnd> end = findLineEnd(bytes, at, false);
        take(bytes.substr(at, (end ? end->end : bytes.size()) - at));
        if (!end)
            return;
        endLine();
        afterCr_ = endsInCr(bytes, *end);
        at = end->next;
    }
}

void LessonLineSplitter::take(std::string_view text)
{
    if (text.empty())
        return;
    current_.append(text);
    inLine_ = true;
    for (const char c : text)
        if (!continuesUtf8Character(c))
            ++currentCharacters_;
    if (current_.size() > maxLessonLineLength && firstLongLine_ == 0)
        firstLongLine_ = lines_.size() + 1;
    if (currentCharacters_ > maxLessonLineLength && firstLongUtf8Line_ == 0)
        firstLongUtf8Line_ = lines_.size() + 1;
}

void LessonLineSplitter::endLine()
{
    lines_.push_back(std::move(current_));
    current_.clear();
    currentCharacters_ = 0;
    inLine_ = false;
}

std::vector<std::string> LessonLineSplitter::finish()
{
    if (inLine_)
        endLine();
    current_.clear();
    currentCharacters_ = 0;
    afterCr_ = false;
    return std::move(lines_);
}

namespace {

// The longest UTF-8 character, in bytes.
constexpr std::size_t longestUtf8 = 4;

// True when text ends before the character it starts is complete, and some
// continuation would make it a character: finished with the lowest or the
// highest continuation byte, it decodes. (Only the byte after the lead has a
// narrower range, and one of the two ends lies in it.)
bool cutShortCharacter(std::string_view text)
{
    if (text.size() >= longestUtf8)
        return false;
    for (const char fill : {'\x80', '\xBF'}) {
        std::string finished(text);
        finished.append(longestUtf8 - text.size(), fill);
        if (decodeUtf8(finished, 0).length > text.size())
            return true;
    }
    return false;
}

} // namespace

void Utf8Check::feed(std::string_view bytes)
{
    if (!valid_)
        return;
    if (!cut_.empty()) {
        // Finish the character the last piece cut, from this piece's start.
        const std::size_t before = cut_.size();
        const std::size_t taken = std::min(bytes.size(), longestUtf8 - before);
        cut_.append(bytes.substr(0, taken));
        const std::size_t length = decodeUtf8(cut_, 0).length;
        if (length == 0) {
            // Still cut short only when this piece was too short to finish it.
            valid_ = taken == bytes.size() && cutShortCharacter(cut_);
            if (!valid_)
                cut_.clear();
            return;
        }
        bytes.remove_prefix(length - before);
        cut_.clear();
    }
    for (std::size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        beyondAscii_ = true;
        const std::size_t length = decodeUtf8(bytes, i).length;
        if (length == 0) {
            const std::string_view rest = bytes.substr(i);
            valid_ = cutShortCharacter(rest);
            if (valid_)
                cut_ = rest;
            return;
        }
        i += length;
    }
}

std::vector<std::string> splitLessonLines(std::string_view bytes)
{
    LessonLineSplitter splitter;
    splitter.feed(bytes);
    return splitter.finish();
}

namespace {

constexpr std::string_view utf8Mark = "\xEF\xBB\xBF";

// Byte order marks are only ever written by editors saving UTF-8 or UTF-16;
// Windows-1252 text never begins with them in practice.
bool isUtf16(std::string_view start)
{
    return start.substr(0, 2) == "\xFF\xFE" || start.substr(0, 2) == "\xFE\xFF";
}

LessonFile refused(std::string reason, std::size_t line = 0)
{
    return LessonFile{{}, std::move(reason), line, false};
}

LessonFile unreadable(std::string reason)
{
    return LessonFile{{}, std::move(reason), 0, true};
}

std::string tooLong(std::size_t line)
{
    return "line " + std::to_string(line) + " has more than " + std::to_string(maxLessonLineLength) + " characters";
}

std::string hex(char32_t c)
{
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

// Turns a line of well-formed UTF-8 into Windows-1252. A character the code
// page lacks becomes "?", and its column (counted in characters from 1) is
// named in a refusal added to unholdable.
std::string fromUtf8(const std::string& line, std::size_t lineNumber, std::vector<LineRefusal>& unholdable)
{
    // The line was checked with the same decoder, so every character
    // decodes; a byte that did not would be refused, never skipped over.
    return utf8ToCp1252(line, [&](const Unheld& u) {
        const std::string where = "line " + std::to_string(lineNumber) + ", column " + std::to_string(u.column);
        const Utf8Character& decoded = u.character;
        unholdable.push_back({lineNumber, decoded.length == 0
                                              ? where + " is not UTF-8"
                                              : where + " holds \"" + line.substr(u.at, decoded.length) + "\" (" +
                                                    hex(decoded.code) + "), which Windows-1252 cannot hold"});
    });
}

} // namespace

LessonFile readLessonFile(const std::string& path, Host& host)
{
    LessonLineSplitter splitter;
    Utf8Check utf8;
    const char* const notUtf8 = "it starts with a UTF-8 byte order mark but is not UTF-8 text";
    bool marked = false; // starts with UTF-8's byte order mark
    std::size_t total = 0;
    std::optional<LessonFile> refusal; // set when a piece showed the file cannot be a lesson
    const auto refuse = [&](std::string reason, std::size_t line = 0) {
        refusal = refused(std::move(reason), line);
        return false;
    };
    const ReadOutcome read = readFilePieces(
        host, hostPathFromUtf8(path),
        [&](std::string_view piece) {
            const std::size_t got = piece.size();
            if (total == 0) {
                if (isUtf16(piece))
                    return refuse("it is UTF-16 text; save it as UTF-8 or Windows-1252 (ANSI) text");
                // A mark cut by the end of the first piece is taken for text:
                // pieces are far longer than three bytes, so only a file that
                // short could cut it.
                if (piece.starts_with(utf8Mark)) {
                    marked = true;
                    piece.remove_prefix(utf8Mark.size());
                }
            }
            total += got;
            if (const std::size_t nul = piece.find('\0'); nul != std::string_view::npos) {
                splitter.feed(piece.substr(0, nul));
                const std::size_t line = splitter.endedLines() + 1;
                return refuse("line " + std::to_string(line) + " holds a NUL byte, so it is not a text file", line);
            }
            splitter.feed(piece);
            utf8.feed(piece);
            if (splitter.lineCount() > maxLessonLines)
                return refuse("it has more than " + std::to_string(maxLessonLines) + " lines", maxLessonLines + 1);
            // A line too long in both codes is refused at once, so a file of one
            // endless line is never held whole; one too long as Windows-1252
            // only once the text is known to be that (while it is UTF-8 a line
            // holds at most four bytes a character).
            if (splitter.firstLongUtf8Line() != 0)
                return refuse(tooLong(splitter.firstLongUtf8Line()), splitter.firstLongUtf8Line());
            if (marked && !utf8.valid())
                return refuse(notUtf8);
            if (!utf8.valid() && splitter.firstLongLine() != 0)
                return refuse(tooLong(splitter.firstLongLine()), splitter.firstLongLine());
            return true;
        },
        maxLessonBytes);
    switch (read.kind) {
    case ReadOutcome::Read:
        break;
    case ReadOutcome::TooLarge:
    case ReadOutcome::CannotRead:
        // Known only once the file was opened: said as a finding of --check.
        return refused(readRefusal(read, "lesson", maxLessonBytes));
    default:
        return unreadable(readRefusal(read, "lesson", maxLessonBytes));
    }
    if (refusal)
        return std::move(*refusal);
    if (total == 0 || (marked && total == utf8Mark.size()))
        return refused("it is empty");

    const bool isUtf8 = utf8.validAtEnd() && (marked || utf8.beyondAscii());
    if (marked && !isUtf8)
        return refused(notUtf8);
    if (!isUtf8 && splitter.firstLongLine() != 0)
        return refused(tooLong(splitter.firstLongLine()), splitter.firstLongLine());
    std::vector<std::string> lines = splitter.finish();
    if (!isUtf8)
        return LessonFile{std::move(lines), {}};
    std::vector<LineRefusal> unholdable;
    for (std::size_t i = 0; i < lines.size(); ++i)
        lines[i] = fromUtf8(lines[i], i + 1, unholdable);
    if (unholdable.empty())
        return LessonFile{std::move(lines), {}};
    LessonFile lesson{std::move(lines), unholdable.front().text, unholdable.front().line};
    lesson.unholdable = std::move(unholdable);
    return lesson;
}

std::string lessonFileRefusalLine(const std::string& path, const std::string& refusal)
{
    return "qalesson: cannot use the lesson file \"" + printable(path) + "\": " + printable(refusal) + ".";
}

} // namespace qal
