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
    explicit MemorySource(std::string_view bytes) : all_(bytes), bytes_(bytes) {}

    std::size_t read(char* into, std::size_t size) override
    {
        const std::size_t n = std::min(size, bytes_.size());
        std::copy_n(bytes_.data(), n, into);
        bytes_.remove_prefix(n);
        return n;
    }

    bool readFrom(std::uint64_t offset) override
    {
        bytes_ = all_.substr(static_cast<std::size_t>(std::min<std::uint64_t>(offset, all_.size())));
        return true;
    }

private:
    std::string_view all_;
    std::string_view bytes_;
};

// How much of a line is held. No line of a block is anywhere near as long
// (a question is a lesson line, of at most 65535 characters), so the start
// of a longer line tells it from them as well as the whole line would; the
// rest of it is read and let go.
constexpr std::size_t shownLength = 64 * 1024;

// The bytes of a record held while its end is looked for. The text of a
// longer record is read again from the source once its end is known, so that
// its bytes are never held beside its text.
constexpr std::size_t heldRecordBytes = std::size_t{4} << 20;

constexpr std::size_t readSize = 64 * 1024;

// The lines of a record's text as the file holds them (Windows-1252, cut by
// findLineEnd), appended to a string as typed (lineAsTyped), in UTF-8, joined
// by LF, with the record's marker left off the first. Fed in pieces; the text
// ends with the line end of its last line, which starts no further line.
class TextLines {
public:
    TextLines(std::string& out, std::size_t marker) : out_(out), skip_(marker) {}

    // Takes what it can of bytes; returns how many bytes at the end it left
    // (a CR that may be the first half of a CR LF), to come again first in
    // the next piece. With last, everything is taken.
    std::size_t feed(std::string_view bytes, bool last)
    {
        std::size_t at = 0;
        while (const std::optional<LineEnd> end = findLineEnd(bytes, at, !last)) {
            const std::string_view line = bytes.substr(at, end->end - at);
            if (started_) {
                part(line);
                if (!decided_)
                    decide();
            } else {
                emit(lineAsTyped(line));
            }
            endLine();
            at = end->next;
        }
        const std::size_t left = !last && at < bytes.size() && bytes.back() == '\r' ? 1 : 0;
        if (at + left < bytes.size())
            part(bytes.substr(at, bytes.size() - at - left));
        return left;
    }

private:
    // The lines lineAsTyped looks for are far shorter than this: the blanks
    // a line starts with and this many bytes after them tell what it makes
    // of the line as well as the whole line would.
    static constexpr std::size_t telling = 256;

    // Bytes of a line that comes in more than one piece: its start is held
    // until lineAsTyped can be asked, the rest goes out as it comes.
    void part(std::string_view bytes)
    {
        started_ = true;
        if (decided_) {
            emit(bytes);
            return;
        }
        if (head_.empty()) {
            const std::size_t blanks = std::min(bytes.find_first_not_of(' '), bytes.size());
            blanks_ += blanks;
            bytes.remove_prefix(blanks);
        }
        const std::size_t taken = std::min(bytes.size(), telling + 1 - head_.size());
        head_.append(bytes.substr(0, taken));
        if (head_.size() > telling) {
            decide();
            emit(bytes.substr(taken));
        }
    }

    // One blank stands for the line's blanks: lineAsTyped takes off one or
    // none.
    void decide()
    {
        decided_ = true;
        const std::string probe = (blanks_ > 0 ? " " : "") + head_;
        std::uint64_t blanks = blanks_ - (probe.size() - lineAsTyped(probe).size());
        static constexpr std::string_view someBlanks = "                                ";
        for (; blanks > 0; blanks -= std::min<std::uint64_t>(blanks, someBlanks.size()))
            emit(someBlanks.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(blanks, someBlanks.size()))));
        emit(head_);
    }

    void emit(std::string_view bytes)
    {
        if (skip_ > 0) {
            const std::size_t skipped = std::min(skip_, bytes.size());
            bytes.remove_prefix(skipped);
            skip_ -= skipped;
        }
        if (bytes.empty())
            return;
        if (lineEnded_)
            out_ += '\n';
        lineEnded_ = false;
        appendCp1252AsUtf8(out_, bytes);
    }

    void endLine()
    {
        if (lineEnded_)
            out_ += '\n';
        lineEnded_ = true;
        started_ = decided_ = false;
        blanks_ = 0;
        head_.clear();
    }

    std::string& out_;
    std::size_t skip_;       // bytes still to leave off: the marker
    bool lineEnded_ = false; // a line has ended whose LF is not written yet
    bool started_ = false;   // part of the current line came in an earlier piece
    bool decided_ = false;   // what lineAsTyped makes of the current line is known
    std::uint64_t blanks_ = 0;
    std::string head_; // the current line's start after its blanks, until decided_
};

// The lines of a byte source from the current one on, found as far ahead as
// they are asked for, cut by findLineEnd. Only the bytes from the current
// line to the farthest line asked for are held (from the pinned line on,
// while they are few), and of each line no more than shownLength bytes; for
// each line held, where it starts and ends. The source is read again from a
// place that is no longer held.
class LineWindow {
public:
    LineWindow(ByteSource& source, FilePlace start)
        : source_(source), base_(start.offset), buffer_(std::make_unique_for_overwrite<char[]>(2 * readSize)),
          capacity_(2 * readSize), bufferOffset_(start.offset), number_(start.line), offset_(start.offset)
    {
    }

    // Line k after the current one (0: the current line) exists.
    bool has(std::size_t k) { return k < spans_.size() - first_ || findUpTo(k); }

    // Line k, or the empty text past the end; of a line longer than
    // shownLength, its start.
    std::string_view line(std::size_t k)
    {
        if (!has(k))
            return {};
        const Span& span = spans_[first_ + k];
        return {buffer_.get() + span.start, span.shown};
    }

    std::size_t number() const { return number_; }

    // The byte offset of the current line's start, or where it would start.
    std::uint64_t offset() const { return offset_; }
    // Where line k starts, and where the line after it starts; line k must
    // exist.
    FilePlace place(std::size_t k) const { return {spans_[first_ + k].offset, number_ + k}; }
    FilePlace after(std::size_t k) const { return {spans_[first_ + k].next, number_ + k + 1}; }

    // Goes n lines on; those lines must exist.
    void advance(std::size_t n)
    {
        offset_ = spans_[first_ + n - 1].next;
        number_ += n;
        first_ += n;
        if (first_ == spans_.size()) {
            spans_.clear();
            first_ = 0;
        } else if (first_ >= 64) {
            spans_.erase(spans_.begin(), spans_.begin() + static_cast<std::ptrdiff_t>(first_));
            first_ = 0;
        }
    }

    // Keeps the bytes from the current line on, as long as they are no more
    // than heldRecordBytes and no line among them is longer than shownLength.
    void pin()
    {
        pinned_ = true;
        pin_ = currentStart();
    }
    void unpin() { pinned_ = false; }

    // The bytes from `from` to `to` of the file, when they are all held
    // since the pin.
    std::optional<std::string_view> held(std::uint64_t from, std::uint64_t to) const
    {
        // Only from linearFrom_ on do the held bytes stand as in the file.
        if (!pinned_ || from < bufferOffset_ + std::max(pin_, linearFrom_) || to > bufferOffset_ + filled_)
            return std::nullopt;
        return std::string_view(buffer_.get() + (from - bufferOffset_), static_cast<std::size_t>(to - from));
    }

    // Goes back, or on, to a place where a line starts, reading the source
    // again from there when its bytes are not held.
    void restart(FilePlace at)
    {
        for (std::size_t i = first_; i < spans_.size(); ++i) {
            if (spans_[i].offset == at.offset) {
                number_ = at.line;
                offset_ = at.offset;
                first_ = i;
                return;
            }
        }
        spans_.clear();
        first_ = 0;
        number_ = at.line;
        offset_ = at.offset;
        if (!stale_ && at.offset >= bufferOffset_ + linearFrom_ && at.offset <= bufferOffset_ + filled_) {
            scanned_ = static_cast<std::size_t>(at.offset - bufferOffset_);
            searched_ = 0;
            return;
        }
        readAgainFrom(at.offset);
    }

    // Appends the bytes from `from` to `to` of the file to text as TextLines
    // does, read again from the source; restart must follow.
    void readText(std::uint64_t from, std::uint64_t to, std::size_t marker, std::string& text)
    {
        readAgainFrom(from);
        TextLines lines(text, marker);
        std::uint64_t left = to - from;
        std::size_t carried = 0;
        for (;;) {
            const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(left, capacity_ - carried));
            const std::size_t got = wanted == 0 ? 0 : source_.read(buffer_.get() + carried, wanted);
            left -= got;
            const bool last = left == 0 || got == 0;
            const std::size_t size = carried + got;
            carried = lines.feed({buffer_.get(), size}, last);
            if (last)
                break;
            std::copy(buffer_.get() + size - carried, buffer_.get() + size, buffer_.get());
        }
        stale_ = true; // nothing held is of any use now
    }

private:
    // A line held in buffer_: where its held bytes start and how many there
    // are; where it starts in the file, and where the line after it starts.
    struct Span {
        std::size_t start, shown;
        std::uint64_t offset, next;
    };

    std::size_t currentStart() const { return first_ < spans_.size() ? spans_[first_].start : scanned_; }

    bool findUpTo(std::size_t k)
    {
        while (spans_.size() - first_ <= k)
            if (!findLine())
                return false;
        return true;
    }

    std::string_view filled() const { return {buffer_.get(), filled_}; }

    bool findLine()
    {
        for (;;) {
            // The bytes searched already hold no line end: a source that
            // gives a few bytes at a time does not make a long line's start
            // be searched again and again.
            if (const std::optional<LineEnd> end = findLineEnd(filled(), scanned_ + searched_, !ended_)) {
                addLine(end->end - scanned_, end->next);
                return true;
            }
            searched_ = filled_ - scanned_ - (filled_ > scanned_ && buffer_[filled_ - 1] == '\r' ? 1 : 0);
            if (ended_) {
                if (scanned_ == filled_)
                    return false;
                addLine(filled_ - scanned_, filled_); // the last line, without a line end
                return true;
            }
            if (filled_ - scanned_ > shownLength) {
                cutLine();
                return true;
            }
            refill();
        }
    }

    void addLine(std::size_t length, std::size_t next)
    {
        spans_.push_back({scanned_, length, bufferOffset_ + scanned_, bufferOffset_ + next});
        scanned_ = next;
        searched_ = 0;
    }

    // The line from scanned_ on is longer than shownLength: its first
    // shownLength bytes are held, and the rest is read up to its end and let
    // go. The bytes after it follow the held ones.
    void cutLine()
    {
        const std::uint64_t lineOffset = bufferOffset_ + scanned_;
        std::size_t keep = scanned_ + shownLength;
        pinned_ = false; // the bytes held are no longer those of the file
        for (;;) {
            const std::optional<LineEnd> end = findLineEnd(filled(), keep, !ended_);
            if (end || ended_) {
                const std::size_t next = end ? end->next : filled_;
                const std::uint64_t nextOffset = bufferOffset_ + next;
                std::copy(buffer_.get() + next, buffer_.get() + filled_, buffer_.get() + keep);
                filled_ = keep + (filled_ - next);
                bufferOffset_ = nextOffset - keep;
                linearFrom_ = keep;
                spans_.push_back({scanned_, shownLength, lineOffset, nextOffset});
                scanned_ = keep;
                searched_ = 0;
                return;
            }
            // No line end among the bytes after the held ones (but perhaps a
            // CR at the very end, which is kept to be looked at again).
            const std::size_t kept = buffer_[filled_ - 1] == '\r' ? 1 : 0;
            const std::size_t dropped = filled_ - keep - kept;
            if (kept != 0)
                buffer_[keep] = '\r';
            bufferOffset_ += dropped;
            filled_ -= dropped;
            keep -= refill();
        }
    }

    // Drops the bytes before the current line (or the pin), makes room when
    // the lines held fill the buffer, and reads on. Returns how far the held
    // bytes moved down.
    std::size_t refill()
    {
        if (pinned_ && filled_ - pin_ > heldRecordBytes)
            pinned_ = false;
        const std::size_t from = pinned_ ? std::min(pin_, currentStart()) : currentStart();
        if (from > 0) {
            std::copy(buffer_.get() + from, buffer_.get() + filled_, buffer_.get());
            spans_.erase(spans_.begin(), spans_.begin() + static_cast<std::ptrdiff_t>(first_));
            first_ = 0;
            for (Span& span : spans_)
                span.start -= from;
            filled_ -= from;
            scanned_ -= from;
            pin_ -= std::min(pin_, from);
            linearFrom_ -= std::min(linearFrom_, from);
            bufferOffset_ += from;
        }
        if (capacity_ - filled_ < readSize) {
            auto larger = std::make_unique_for_overwrite<char[]>(capacity_ * 2);
            std::copy(buffer_.get(), buffer_.get() + filled_, larger.get());
            buffer_ = std::move(larger);
            capacity_ *= 2;
        }
        const std::size_t got = source_.read(buffer_.get() + filled_, capacity_ - filled_);
        if (got == 0)
            ended_ = true;
        filled_ += got;
        return from;
    }

    // Empties the buffer and reads the source again from `offset` of the
    // file; a source that cannot go there has no more bytes.
    void readAgainFrom(std::uint64_t offset)
    {
        spans_.clear();
        first_ = 0;
        filled_ = scanned_ = searched_ = pin_ = linearFrom_ = 0;
        pinned_ = stale_ = false;
        bufferOffset_ = offset;
        ended_ = !source_.readFrom(offset - base_);
    }

    ByteSource& source_;
    std::uint64_t base_;             // the offset of the source's first byte in the file
    std::unique_ptr<char[]> buffer_; // grows to hold the lines looked at
    std::size_t capacity_;
    std::size_t filled_ = 0;   // bytes read into buffer_
    std::size_t scanned_ = 0;  // where the next line to find starts
    std::size_t searched_ = 0; // bytes from scanned_ on that hold no line end
    // The offset in the file of buffer_[0], for the bytes from linearFrom_
    // on: they follow each other as in the file. A line cut before them
    // (cutLine) lets its rest go between.
    std::uint64_t bufferOffset_;
    std::size_t linearFrom_ = 0;
    bool ended_ = false;  // the source has no more bytes
    bool stale_ = false;  // the buffer was used to read a text again (readText)
    bool pinned_ = false; // the bytes from pin_ on are kept
    std::size_t pin_ = 0;
    std::vector<Span> spans_; // lines found; the current one is spans_[first_]
    std::size_t first_ = 0;
    std::size_t number_;   // of the current line
    std::uint64_t offset_; // where the current line starts
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
            switch (record()) {
            case Found::Record:
                return &record_;
            case Found::TooLarge:
                continue;
            case Found::None:
                break;
            }
            skip();
        }
        return nullptr;
    }

    FilePlace headerPlace() const { return headerPlace_; }
    FilePlace place() const { return {lines_.offset(), lines_.number()}; }

    ReportRecord take()
    {
        ReportRecord taken = std::move(record_);
        record_ = ReportRecord{};
        record_.file = taken.file;
        return taken;
    }

private:
    enum class Found { None, Record, TooLarge };

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

    // A closing separator and the line after it.
    struct Closing {
        FilePlace at, after;
    };

    // The closing separator that ends the text starting at the current
    // line: the first one (no line of a text is one, as written); nothing
    // when the file ends first (the record was cut short). The lines go by
    // as it reads.
    std::optional<Closing> closingOfText()
    {
        const std::uint64_t from = lines_.offset();
        if (!exists(0) || from >= noClosingFrom_)
            return std::nullopt;
        for (; exists(0); lines_.advance(1))
            if (line(0) == closingSeparator)
                return Closing{lines_.place(0), lines_.after(0)};
        // With no closing separator at all from here on, every record that
        // starts later is cut short too: known at once, not by reading to
        // the end again.
        noClosingFrom_ = from;
        return std::nullopt;
    }

    // A whole response or notes record at the current line, handed out as
    // record_; or one too large, skipped.
    Found record()
    {
        if (!recordStartsAt(0))
            return Found::None;
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
                return Found::None;
            }
            i += run;
        }
        const Part textPart = layout[i].part;
        if (!isLineOf(textPart, line(k)))
            return Found::None;
        const std::size_t textFrom = k;
        const auto lineOfPart = [&](Part part) { return lineOf[placeOf(layout, part)]; };

        // The lines before the text are taken now: looking for the end lets
        // them go.
        ReportRecord& r = record_;
        const FilePlace start{lines_.offset(), lines_.number()};
        r.line = start.line;
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
        const std::uint64_t textStart = lines_.place(textFrom).offset;
        const std::size_t marker = prefixOf(textPart).size();

        lines_.pin();
        lines_.advance(textFrom);
        const std::optional<Closing> closing = closingOfText();
        if (!closing) {
            lines_.restart(start);
            lines_.unpin();
            return Found::None;
        }
        if (closing->after.offset - start.offset > maxRecordBytes) {
            lines_.unpin();
            lines_.restart(closing->after);
            if (skipped_)
                skipped_({start.line, closing->at.line, "a record of more than 64 MiB"});
            return Found::TooLarge;
        }
        r.text.clear();
        if (const std::optional<std::string_view> text = lines_.held(textStart, closing->at.offset)) {
            TextLines(r.text, marker).feed(*text, true);
        } else {
            r.text.reserve(static_cast<std::size_t>(closing->at.offset - textStart));
            lines_.readText(textStart, closing->at.offset, marker, r.text);
        }
        lines_.unpin();
        lines_.restart(closing->after);
        return Found::Record;
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

ReportRecord RecordReader::take()
{
    return impl_->take();
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
