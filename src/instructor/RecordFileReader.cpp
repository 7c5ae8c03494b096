#include "instructor/RecordFileReader.h"

#include "platform/CodePage.h"
#include "recording/RecordTexts.h"

#include <optional>

namespace qal {

namespace {

using namespace recordText;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Text against a pattern in which '9' stands for any digit.
bool matches(std::string_view text, std::string_view pattern)
{
    if (text.size() != pattern.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (pattern[i] == '9' ? !isDigit(text[i]) : text[i] != pattern[i])
            return false;
    return true;
}

constexpr std::string_view datePattern = "99-99-9999";
constexpr std::string_view timePattern = "99:99:99";

bool isIndent(std::string_view line)
{
    return line.size() >= timeIndent && line.find_first_not_of(' ') >= timeIndent;
}

// The 36 blanks and the time.
bool isTimeLine(std::string_view line)
{
    return line.size() == timeIndent + 8 && isIndent(line) && matches(line.substr(timeIndent), timePattern);
}

// The 36 blanks, the date and the time run together: a note's date line.
bool isDateTimeLine(std::string_view line)
{
    return line.size() == timeIndent + 18 && isIndent(line) && matches(line.substr(timeIndent, 10), datePattern) &&
           matches(line.substr(timeIndent + 10), timePattern);
}

// MM-DD-YYYY as YYYY-MM-DD.
std::string isoDate(std::string_view date)
{
    return std::string(date.substr(6, 4)) + "-" + std::string(date.substr(0, 2)) + "-" + std::string(date.substr(3, 2));
}

struct Header {
    std::string student, initials, assignment, title, date;
};

class Reader {
public:
    Reader(std::string_view bytes, const std::string& fileName, const RecordSink& sink)
        : fileName_(fileName), sink_(sink)
    {
        // Lines end at LF; the CR of a CR LF is dropped with it, and so is
        // the CR of a last line cut short after it.
        std::size_t start = 0;
        while (start < bytes.size()) {
            std::size_t end = bytes.find('\n', start);
            if (end == std::string_view::npos)
                end = bytes.size();
            std::string_view line = bytes.substr(start, end - start);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            lines_.push_back(line);
            start = end + 1;
        }
    }

    std::vector<SkippedPiece> read()
    {
        std::size_t i = 0;
        while (i < lines_.size()) {
            if (lines_[i].empty()) {
                ++i; // an empty line between blocks carries nothing
                continue;
            }
            if (std::optional<std::size_t> next = header(i)) {
                i = *next;
                continue;
            }
            if (std::optional<std::size_t> next = record(i)) {
                i = *next;
                continue;
            }
            i = skip(i);
        }
        return std::move(skipped_);
    }

private:
    std::string_view line(std::size_t i) const { return i < lines_.size() ? lines_[i] : std::string_view(); }
    bool exists(std::size_t i) const { return i < lines_.size(); }

    bool recordStartsAt(std::size_t i) const
    {
        return line(i) == openingSeparator && exists(i + 1) && isTimeLine(line(i + 1));
    }

    // A header block may start here: its second line names the student.
    bool headerMayStartAt(std::size_t i) const
    {
        return exists(i + 1) && !line(i).empty() && line(i + 1).starts_with(studentNamePrefix);
    }

    // The six lines of a header block at i, when they are whole.
    std::optional<Header> headerAt(std::size_t i) const
    {
        if (!exists(i + 5) || line(i).empty() || !line(i + 1).starts_with(studentNamePrefix) ||
            !line(i + 2).starts_with(assignmentPrefix) || !line(i + 4).starts_with(initialsPrefix) ||
            !line(i + 5).starts_with(dateAndTimePrefix))
            return std::nullopt;
        // The master file has the date and time run together, the send file
        // one blank between them.
        const std::string_view when = line(i + 5).substr(dateAndTimePrefix.size());
        if (!matches(when, "99-99-999999:99:99") && !matches(when, "99-99-9999 99:99:99"))
            return std::nullopt;
        return Header{cp1252ToUtf8(line(i + 1).substr(studentNamePrefix.size())),
                      cp1252ToUtf8(line(i + 4).substr(initialsPrefix.size())),
                      cp1252ToUtf8(line(i + 2).substr(assignmentPrefix.size())), cp1252ToUtf8(line(i + 3)),
                      isoDate(when.substr(0, 10))};
    }

    // A header block at i becomes the one records belong to; the index after it.
    std::optional<std::size_t> header(std::size_t i)
    {
        std::optional<Header> found = headerAt(i);
        if (!found)
            return std::nullopt;
        header_ = std::move(*found);
        return i + 6;
    }

    // The lines from j up to the closing separator, joined by LF, the first
    // without its first `skip` characters; the index after the separator.
    // Nothing when the file ends or the next block starts first: the record
    // was cut short.
    std::optional<std::size_t> textUntilClosing(std::size_t j, std::size_t skip, std::string& text) const
    {
        for (std::size_t k = j; exists(k); ++k) {
            if (line(k) == closingSeparator)
                return k + 1;
            if (recordStartsAt(k) || headerAt(k))
                return std::nullopt;
            if (k > j)
                text += '\n';
            text += cp1252ToUtf8(line(k).substr(k == j ? skip : 0));
        }
        return std::nullopt;
    }

    // A whole response or notes record at i; the index after it.
    std::optional<std::size_t> record(std::size_t i)
    {
        if (!recordStartsAt(i))
            return std::nullopt;
        ReportRecord r;
        r.file = fileName_;
        r.line = i + 1;
        r.time = std::string(line(i + 1).substr(timeIndent));
        if (header_) {
            r.student = header_->student;
            r.initials = header_->initials;
            r.assignment = header_->assignment;
            r.title = header_->title;
            r.date = header_->date;
        }
        std::size_t j = i + 2;
        std::optional<std::size_t> next;
        if (exists(j) && isDateTimeLine(line(j))) {
            // Notes: the date line, the question, the opening separator, the
            // marker and the note.
            r.kind = ReportRecord::Kind::Notes;
            r.date = isoDate(line(j).substr(timeIndent, 10));
            if (!exists(j + 2) || line(j + 2) != openingSeparator || !line(j + 3).starts_with(notesMarker))
                return std::nullopt;
            r.question = cp1252ToUtf8(line(j + 1));
            next = textUntilClosing(j + 3, notesMarker.size(), r.text);
        } else {
            // A response: in the master file two empty lines and the question
            // number line come before the question.
            if (line(j).empty() && line(j + 1).empty() && line(j + 2).starts_with(questionNumberMarker) &&
                exists(j + 3)) {
                std::string_view number = line(j + 2).substr(questionNumberMarker.size());
                while (!number.empty() && number.front() == ' ')
                    number.remove_prefix(1);
                while (!number.empty() && number.back() == ' ')
                    number.remove_suffix(1);
                r.record = cp1252ToUtf8(number);
                j += 3;
            }
            if (!exists(j + 2) || line(j + 1) != openingSeparator || line(j + 2) != responseMarker)
                return std::nullopt;
            r.question = cp1252ToUtf8(line(j));
            next = textUntilClosing(j + 3, 0, r.text);
        }
        if (next)
            sink_(std::move(r));
        return next;
    }

    // Skips the piece at i that is no whole block, up to where a block may
    // start, and reports it; the index after it.
    std::size_t skip(std::size_t i)
    {
        std::size_t end = i + 1;
        while (exists(end) && !recordStartsAt(end) && !headerMayStartAt(end))
            ++end;
        std::size_t last = end; // 1-based number of the piece's last line
        while (last > i + 1 && line(last - 1).empty())
            --last;
        const char* what = line(i) == openingSeparator ? "a record cut short"
                           : headerMayStartAt(i)       ? "a header block cut short"
                                                       : "text that is not a header block or record";
        skipped_.push_back({i + 1, last, what});
        return end;
    }

    const std::string& fileName_;
    std::vector<std::string_view> lines_;
    const RecordSink& sink_;
    std::optional<Header> header_;
    std::vector<SkippedPiece> skipped_;
};

} // namespace

std::string SkippedPiece::warning() const
{
    const std::string where = firstLine == lastLine
                                  ? "line " + std::to_string(firstLine)
                                  : "lines " + std::to_string(firstLine) + " to " + std::to_string(lastLine);
    return what + " (" + where + "): skipped";
}

std::vector<SkippedPiece> readRecordText(std::string_view bytes, const std::string& fileName, const RecordSink& sink)
{
    return Reader(bytes, fileName, sink).read();
}

RecordFileContents readRecordText(std::string_view bytes, const std::string& fileName)
{
    RecordFileContents contents;
    contents.skipped =
        readRecordText(bytes, fileName, [&contents](ReportRecord&& r) { contents.records.push_back(std::move(r)); });
    return contents;
}

} // namespace qal
