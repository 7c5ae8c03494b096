#include "instructor/RecordFileReader.h"

#include "platform/CodePage.h"
#include "platform/LineBreaks.h"
#include "recording/RecordLayout.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <optional>
#include <span>

namespace qal {

namespace {

using namespace recordLayout;

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

// The 36 blanks and the time.
const std::string timeLinePattern = std::string(timeIndent, ' ') + std::string(timePattern);
// The 36 blanks, the date and the time run together: a note's date line.
const std::string dateTimeLinePattern =
    std::string(timeIndent, ' ') + std::string(datePattern) + std::string(timePattern);

// The date and time of the last line of a header block, with the gap of any
// file between them.
bool isHeaderWhen(std::string_view when)
{
    return std::any_of(std::begin(headerWhenGap), std::end(headerWhenGap), [&](std::string_view gap) {
        return matches(when, std::string(datePattern) + std::string(gap) + std::string(timePattern));
    });
}

// A line is one of this part as the program writes it. The question and the
// title may be anything; the text of a record is matched by its first line.
bool isLineOf(Part part, std::string_view line)
{
    if (const auto fixed = fixedText(part))
        return line == *fixed;
    switch (part) {
    case Part::CodeLine:
        return !line.empty();
    case Part::Time:
        return matches(line, timeLinePattern);
    case Part::NoteWhen:
        return matches(line, dateTimeLinePattern);
    case Part::HeaderWhen:
        return line.starts_with(dateAndTimePrefix) && isHeaderWhen(line.substr(dateAndTimePrefix.size()));
    default:
        return line.starts_with(prefixOf(part));
    }
}

// MM-DD-YYYY as YYYY-MM-DD.
std::string isoDate(std::string_view date)
{
    std::string iso;
    iso.reserve(10);
    iso.append(date.substr(6, 4)).append("-").append(date.substr(0, 2)).append("-").append(date.substr(3, 2));
    return iso;
}

// A field of the record, its room kept from one record to the next.
void assignUtf8(std::string& field, std::string_view cp1252)
{
    field.clear();
    appendCp1252AsUtf8(field, cp1252);
}

class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}

    std::size_t read(char* into, std::size_t size) override
    {
        const std::size_t n = std::min(size, bytes_.size());
        std::copy_n(bytes_.data(), n, into);
        bytes_.remove_prefix(n);
        return n;
    }

private:
    std::string_view bytes_;
};

// The lines of a byte source from the current one on, found as far ahead as
// they are asked for. Lines end at LF; the CR of a CR LF is dropped with it,
// and so is the CR of a last line cut short after it. Only the bytes from the
// current line to the farthest line asked for are held.
class LineWindow {
public:
    LineWindow(ByteSource& source, FilePlace start)
        : source_(source), buffer_(std::make_unique_for_overwrite<char[]>(64 * 1024)), capacity_(64 * 1024),
          number_(start.line), offset_(start.offset)
    {
    }

    // Line k after the current one (0: the current line) exists.
    bool has(std::size_t k) { return k < lines_.size() - first_ || findUpTo(k); }

    // Line k, or the empty text past the end.
    std::string_view line(std::size_t k)
    {
        if (!has(k))
            return {};
        const Span& span = lines_[first_ + k];
        return {buffer_.get() + span.start, span.length};
    }

    std::size_t number() const { return number_; }

    // The byte offset of the current line's start, or where it would start.
    std::uint64_t offset() const { return offset_; }
    // The byte offset of line k's start; line k must exist.
    std::uint64_t offset(std::size_t k) const { return offset_ + (lines_[first_ + k].start - begin_); }

    // Goes n lines on; those lines must exist.
    void advance(std::size_t n)
    {
        const std::size_t next = lines_[first_ + n - 1].next;
        offset_ += next - begin_;
        begin_ = next;
        number_ += n;
        first_ += n;
        if (first_ == lines_.size()) {
            lines_.clear();
            first_ = 0;
        }
    }

private:
    // A line in buffer_: where it starts, its length without the line end,
    // and where the line after it starts.
    struct Span {
        std::size_t start, length, next;
    };

    bool findUpTo(std::size_t k)
    {
        while (lines_.size() - first_ <= k)
            if (!findLine())
                return false;
        return true;
    }

    // Lines end as they do in every text the program takes in (LineBreaks.h):
    // CR LF, a lone LF or a lone CR.
    bool findLine()
    {
        for (;;) {
            const char* const start = buffer_.get() + scanned_;
            const char* const end = buffer_.get() + filled_;
            const auto* lf = static_cast<const char*>(std::memchr(start, '\n', filled_ - scanned_));
            const auto* cr = static_cast<const char*>(
                std::memchr(start, '\r', static_cast<std::size_t>((lf != nullptr ? lf : end) - start)));
            const char* const lineBreak = cr != nullptr ? cr : lf;
            // A CR that ends what has been read may be the first half of a
            // CR LF: read on before deciding.
            const bool undecided = lineBreak == cr && cr != nullptr && cr + 1 == end && !ended_;
            if (lineBreak != nullptr && !undecided) {
                const auto at = static_cast<std::size_t>(lineBreak - buffer_.get());
                addLine(at, at + lineBreakLength(lineBreak, end));
                return true;
            }
            if (lineBreak == nullptr && ended_) {
                if (scanned_ == filled_)
                    return false;
                addLine(filled_, filled_); // the last line, without a line end
                return true;
            }
            refill();
        }
    }

    void addLine(std::size_t end, std::size_t next)
    {
        lines_.push_back({scanned_, end - scanned_, next});
        scanned_ = next;
    }

    // Drops the bytes before the current line, makes room when the lines
    // held fill the buffer, and reads on.
    void refill()
    {
        if (begin_ > 0) {
            std::copy(buffer_.get() + begin_, buffer_.get() + filled_, buffer_.get());
            lines_.erase(lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(first_));
            first_ = 0;
            for (Span& span : lines_) {
                span.start -= begin_;
                span.next -= begin_;
            }
            filled_ -= begin_;
            scanned_ -= begin_;
            begin_ = 0;
        }
        if (filled_ == capacity_) {
            auto larger = std::make_unique_for_overwrite<char[]>(capacity_ * 2);
            std::copy(buffer_.get(), buffer_.get() + filled_, larger.get());
            buffer_ = std::move(larger);
            capacity_ *= 2;
        }
        const std::size_t got = source_.read(buffer_.get() + filled_, capacity_ - filled_);
        if (got == 0)
            ended_ = true;
        filled_ += got;
    }

    ByteSource& source_;
    std::unique_ptr<char[]> buffer_; // grows to hold the lines looked at, once they pass its size
    std::size_t capacity_;
    std::size_t begin_ = 0;   // where the current line starts
    std::size_t scanned_ = 0; // where the next line to find starts
    std::size_t filled_ = 0;  // bytes read into buffer_
    bool ended_ = false;      // the source has no more bytes
    std::vector<Span> lines_; // lines found; the current one is lines_[first_]
    std::size_t first_ = 0;
    std::size_t number_;   // of the current line
    std::uint64_t offset_; // of begin_
};

struct Header {
    std::string student, initials, assignment, title, date;
};

} // namespace

std::string_view ReportRecord::lesson() const
{
    std::string_view rest = title;
    if (assignment.empty() || !rest.starts_with(assignment) || rest.substr(assignment.size(), 1) != ".")
        return rest;
    rest.remove_prefix(assignment.size() + 1);
    while (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    return rest;
}

std::string SkippedPiece::warning() const
{
    const std::string where = firstLine == lastLine
                                  ? "line " + std::to_string(firstLine)
                                  : "lines " + std::to_string(firstLine) + " to " + std::to_string(lastLine);
    return what + " (" + where + "): skipped";
}

class RecordReader::Impl {
public:
    Impl(ByteSource& source, std::string fileName, SkippedSink skipped, FilePlace start)
        : lines_(source, start), skipped_(std::move(skipped)), headerPlace_(start)
    {
        record_.file = std::move(fileName);
    }

    const ReportRecord* next()
    {
        while (lines_.has(0)) {
            if (lines_.line(0).empty()) {
                lines_.advance(1); // an empty line between blocks carries nothing
                continue;
            }
            if (header())
                continue;
            if (record())
                return &record_;
            skip();
        }
        return nullptr;
    }

    FilePlace headerPlace() const { return headerPlace_; }
    FilePlace place() const { return {lines_.offset(), lines_.number()}; }

private:
    std::string_view line(std::size_t k) { return lines_.line(k); }
    bool exists(std::size_t k) { return lines_.has(k); }

    bool isTimeLine(std::size_t k) { return matches(line(k), timeLinePattern); }

    bool recordStartsAt(std::size_t k) { return line(k) == openingSeparator && exists(k + 1) && isTimeLine(k + 1); }

    // A header block may start at k: its second line names the student.
    bool headerMayStartAt(std::size_t k)
    {
        return exists(k + 1) && !line(k).empty() && line(k + 1).starts_with(studentNamePrefix);
    }

    bool headerAt(std::size_t k)
    {
        for (std::size_t t = 0; t < std::size(headerBlock); ++t)
            if (!exists(k + t) || !isLineOf(headerBlock[t].part, line(k + t)))
                return false;
        return true;
    }

    // The value a header block's line of this part holds after its prefix.
    std::string headerValue(Part part)
    {
        return cp1252ToUtf8(line(placeOf(headerBlock, part)).substr(prefixOf(part).size()));
    }

    // A whole header block at the current line becomes the one records
    // belong to.
    bool header()
    {
        if (!headerAt(0))
            return false;
        header_ = Header{headerValue(Part::StudentName), headerValue(Part::Initials), headerValue(Part::Assignment),
                         headerValue(Part::Title),
                         isoDate(line(placeOf(headerBlock, Part::HeaderWhen)).substr(dateAndTimePrefix.size(), 10))};
        headerPlace_ = {lines_.offset(), lines_.number()};
        lines_.advance(std::size(headerBlock));
        return true;
    }

    // The closing separator that ends the text starting at line `from`: the
    // first one (no line of a text is one, as written); nothing when the
    // file ends first (the record was cut short).
    std::optional<std::size_t> closingOf(std::size_t from)
    {
        if (!exists(from) || lines_.offset(from) >= noClosingFrom_)
            return std::nullopt;
        for (std::size_t k = from; exists(k); ++k)
            if (line(k) == closingSeparator)
                return k;
        // With no closing separator at all from here on, every record that
        // starts later is cut short too: known at once, not by reading to
        // the end again.
        noClosingFrom_ = lines_.offset(from);
        return std::nullopt;
    }

    // A whole response or notes record at the current line, handed out as
    // record_.
    bool record()
    {
        if (!recordStartsAt(0))
            return false;
        // The line after the time tells a note (its date and time) from a
        // response.
        const bool notes = exists(2) && isLineOf(Part::NoteWhen, line(2));
        const std::span<const Line> layout = notes ? std::span<const Line>(notesRecord) : responseRecord;
        // The layout's lines in turn, up to the record's text: lineOf[i] is
        // where layout line i stands. The lines of the master file only are
        // there all together or not at all.
        constexpr std::size_t absent = std::numeric_limits<std::size_t>::max();
        std::array<std::size_t, std::max(std::size(responseRecord), std::size(notesRecord))> lineOf;
        lineOf.fill(absent);
        std::size_t k = 0;
        std::size_t i = 0;
        while (!isText(layout[i].part)) {
            std::size_t run = 1;
            while (layout[i].in == In::FirstOnly && layout[i + run].in == In::FirstOnly)
                ++run;
            bool there = true;
            for (std::size_t r = 0; r < run && there; ++r)
                there = exists(k + r) && isLineOf(layout[i + r].part, line(k + r));
            if (there) {
                for (std::size_t r = 0; r < run; ++r)
                    lineOf[i + r] = k + r;
                k += run;
            } else if (layout[i].in != In::FirstOnly) {
                return false;
            }
            i += run;
        }
        const Part textPart = layout[i].part;
        if (!isLineOf(textPart, line(k)))
            return false;
        const std::size_t textFrom = k;
        const std::size_t markerSize = prefixOf(textPart).size();
        const auto lineOfPart = [&](Part part) { return lineOf[placeOf(layout, part)]; };
        // Looking for the end reads on, which may move the lines held: they
        // are taken only after it.
        const std::optional<std::size_t> closing = closingOf(textFrom);
        if (!closing)
            return false;

        ReportRecord& r = record_;
        r.line = lines_.number();
        r.kind = notes ? ReportRecord::Kind::Notes : ReportRecord::Kind::Response;
        r.time.assign(line(lineOfPart(Part::Time)).substr(timeIndent));
        if (header_) {
            r.student = header_->student;
            r.initials = header_->initials;
            r.assignment = header_->assignment;
            r.title = header_->title;
            r.date = header_->date;
        } else {
            r.student.clear();
            r.initials.clear();
            r.assignment.clear();
            r.title.clear();
            r.date.clear();
        }
        if (notes)
            r.date = isoDate(line(lineOfPart(Part::NoteWhen)).substr(timeIndent, 10));
        const std::size_t numberLine = notes ? absent : lineOfPart(Part::RecordNumber);
        std::string_view number =
            numberLine == absent ? std::string_view() : line(numberLine).substr(questionNumberMarker.size());
        while (!number.empty() && number.front() == ' ')
            number.remove_prefix(1);
        while (!number.empty() && number.back() == ' ')
            number.remove_suffix(1);
        assignUtf8(r.record, number);
        assignUtf8(r.question, line(lineOfPart(Part::Question)));
        r.text.clear();
        for (std::size_t k = textFrom; k < *closing; ++k) {
            if (k > textFrom)
                r.text += '\n';
            appendCp1252AsUtf8(r.text, lineAsTyped(line(k)).substr(k == textFrom ? markerSize : 0));
        }
        lines_.advance(*closing + 1);
        return true;
    }

    // Skips the piece at the current line that is no whole block, up to where
    // a block may start, and reports it.
    void skip()
    {
        const char* what = line(0) == openingSeparator ? "a record cut short"
                           : headerMayStartAt(0)       ? "a header block cut short"
                                                       : "text that is not a header block or record";
        SkippedPiece piece{lines_.number(), lines_.number(), what};
        lines_.advance(1);
        while (exists(0) && !recordStartsAt(0) && !headerMayStartAt(0)) {
            if (!line(0).empty())
                piece.lastLine = lines_.number();
            lines_.advance(1);
        }
        if (skipped_)
            skipped_(piece);
    }

    LineWindow lines_;
    SkippedSink skipped_;
    std::optional<Header> header_;
    FilePlace headerPlace_;
    ReportRecord record_;
    // No closing separator lies at or after this offset.
    std::uint64_t noClosingFrom_ = std::numeric_limits<std::uint64_t>::max();
};

RecordReader::RecordReader(ByteSource& source, std::string fileName, SkippedSink skipped, FilePlace start)
    : impl_(std::make_unique<Impl>(source, std::move(fileName), std::move(skipped), start))
{
}

RecordReader::~RecordReader() = default;

const ReportRecord* RecordReader::next()
{
    return impl_->next();
}

FilePlace RecordReader::headerPlace() const
{
    return impl_->headerPlace();
}

FilePlace RecordReader::place() const
{
    return impl_->place();
}

RecordFileContents readRecordText(std::string_view bytes, const std::string& fileName)
{
    RecordFileContents contents;
    MemorySource source(bytes);
    RecordReader reader(source, fileName,
                        [&contents](const SkippedPiece& piece) { contents.skipped.push_back(piece); });
    while (const ReportRecord* record = reader.next())
        contents.records.push_back(*record);
    return contents;
}

} // namespace qal
