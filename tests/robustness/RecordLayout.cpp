#include "robustness/RecordLayout.h"

#include <functional>
#include <utility>

namespace qal::test {

namespace {

const std::string opening = "......!!!!!!!!...................................";
const std::string closing(49, '.');
const std::string indent(36, ' ');
const std::string responseMarker = "RESPONSE -->  ";
const std::string notesMarker = "NOTES -------> ";
const std::string numberMarker = "`questionNumber";

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// "HH:MM:SS" or "MM-DD-YYYY" by pattern: 9 a digit, anything else itself.
bool matches(const std::string& text, std::size_t at, const std::string& pattern)
{
    if (text.size() < at + pattern.size())
        return false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = text[at + i];
        if (pattern[i] == '9' ? !isDigit(c) : c != pattern[i])
            return false;
    }
    return true;
}

const std::string timePattern = "99:99:99";
const std::string datePattern = "99-99-9999";

bool isTimeLine(const std::string& line)
{
    return line.size() == 36 + 8 && startsWith(line, indent) && matches(line, 36, timePattern);
}

bool isDateTimeLine(const std::string& line)
{
    return line.size() == 36 + 10 + 8 && startsWith(line, indent) && matches(line, 36, datePattern) &&
           matches(line, 46, timePattern);
}

// A code line: codes 66..116 each followed at once by one of 118..255, and
// ending with one of 118..255.
bool isCodeLine(const std::string& line)
{
    if (line.empty())
        return false;
    bool needHigh = false;
    for (char ch : line) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 66 && c <= 116 && !needHigh)
            needHigh = true;
        else if (c >= 118)
            needHigh = false;
        else
            return false;
    }
    return !needHigh && static_cast<unsigned char>(line.back()) >= 118;
}

// How far a block's lines went: all there, cut off by the end of the lines
// available (a prefix of a whole block), or wrong.
enum class Fit { Whole, Short, Wrong };

class Parser {
public:
    Parser(std::vector<std::string> lines, RecordFileKind kind, bool allowTorn)
        : lines_(std::move(lines)), kind_(kind), allowTorn_(allowTorn), limit_(lines_.size())
    {
    }

    bool endsTorn = false; // the last block was cut short by the end of the lines

    void run(RecordFile& out)
    {
        std::size_t i = 0;
        while (i < lines_.size()) {
            RecordBlock block;
            std::size_t next = i;
            limit_ = lines_.size();
            if (parse(i, block, next) == Fit::Whole) {
                out.blocks.push_back(block);
                i = next;
                continue;
            }
            // Cut short: acceptable only where the next block starts (a new
            // run's header, or a record when the run went on after a failed
            // write), or at the end of the file, and only if the lines up to
            // there are the start of a whole block.
            std::size_t resume = i + 1;
            while (resume < lines_.size() && !blockStartsAt(resume))
                ++resume;
            limit_ = resume;
            if (!allowTorn_ || parse(i, block, next) != Fit::Short) {
                out.error = "block on line " + std::to_string(i + 1) + " is not whole";
                return;
            }
            ++out.torn;
            endsTorn = resume == lines_.size();
            i = resume;
        }
    }

private:
    Fit parse(std::size_t i, RecordBlock& block, std::size_t& next) const
    {
        if (lines_[i] == opening)
            return record(i, block, next);
        if (kind_ != RecordFileKind::Notes && isCodeLine(lines_[i]))
            return header(i, block, next);
        return Fit::Wrong;
    }

    // A header block, or a record: its opening separator is followed by the
    // time line, where inside a record it is followed by the response or notes.
    bool blockStartsAt(std::size_t i) const
    {
        return (kind_ != RecordFileKind::Notes && headerStartsAt(i)) ||
               (lines_[i] == opening && i + 1 < lines_.size() && isTimeLine(lines_[i + 1]));
    }

    bool headerStartsAt(std::size_t i) const
    {
        return i + 1 < lines_.size() && isCodeLine(lines_[i]) && startsWith(lines_[i + 1], "Student Name:  ");
    }

    // Line i, or null past the lines this block may use.
    const std::string* line(std::size_t i) const { return i < limit_ ? &lines_[i] : nullptr; }

    // Checks line i with test: Short when it is missing, Wrong when it fails.
    template <typename Test> Fit check(std::size_t i, Test test) const
    {
        const std::string* l = line(i);
        if (!l)
            return Fit::Short;
        return test(*l) ? Fit::Whole : Fit::Wrong;
    }

    Fit header(std::size_t i, RecordBlock& b, std::size_t& next) const
    {
        const std::string dateAndTime = "Date and Time ";
        const bool master = kind_ == RecordFileKind::Master;
        const std::function<bool(const std::string&)> tests[] = {
            isCodeLine,
            [](const std::string& l) { return startsWith(l, "Student Name:  "); },
            [](const std::string& l) { return startsWith(l, "assignment #"); },
            [](const std::string&) { return true; },
            [](const std::string& l) { return startsWith(l, "Initials:  "); },
            [&](const std::string& l) {
                return startsWith(l, dateAndTime) && matches(l, 14, datePattern) &&
                       (master ? l.size() == 14 + 18 && matches(l, 24, timePattern)
                               : l.size() == 14 + 19 && l[24] == ' ' && matches(l, 25, timePattern));
            },
        };
        for (std::size_t k = 0; k < 6; ++k)
            if (Fit f = check(i + k, tests[k]); f != Fit::Whole)
                return f;
        b.kind = RecordBlock::Header;
        b.firstLine = i + 1;
        b.text = lines_[i + 1].substr(15);
        b.question = lines_[i + 3];
        next = i + 6;
        return Fit::Whole;
    }

    // The lines from j up to the closing separator, joined by CR LF. An
    // opening separator or the start of a header on the way is Wrong.
    Fit untilClosing(std::size_t j, std::string& text, std::size_t& next) const
    {
        for (std::size_t k = j;; ++k) {
            const std::string* l = line(k);
            if (!l)
                return Fit::Short;
            if (*l == closing) {
                next = k + 1;
                return Fit::Whole;
            }
            if (*l == opening || (kind_ != RecordFileKind::Notes && headerStartsAt(k)))
                return Fit::Wrong;
            if (k > j)
                text += "\r\n";
            text += *l;
        }
    }

    Fit record(std::size_t i, RecordBlock& b, std::size_t& next) const
    {
        b.firstLine = i + 1;
        if (Fit f = check(i + 1, isTimeLine); f != Fit::Whole)
            return f;
        const auto isOpening = [](const std::string& l) { return l == opening; };
        const auto any = [](const std::string&) { return true; };
        const std::string* third = line(i + 2);
        if (!third)
            return Fit::Short;
        if (isDateTimeLine(*third)) {
            b.kind = RecordBlock::Notes;
            const auto marker = [](const std::string& l) { return startsWith(l, notesMarker); };
            for (Fit f : {check(i + 3, any), check(i + 4, isOpening), check(i + 5, marker)})
                if (f != Fit::Whole)
                    return f;
            b.question = lines_[i + 3];
            std::string text;
            if (Fit f = untilClosing(i + 5, text, next); f != Fit::Whole)
                return f;
            b.text = text.substr(notesMarker.size());
            return Fit::Whole;
        }
        if (kind_ == RecordFileKind::Notes)
            return Fit::Wrong;
        b.kind = RecordBlock::Response;
        std::size_t j = i + 2;
        if (kind_ == RecordFileKind::Master) {
            const auto empty = [](const std::string& l) { return l.empty(); };
            const auto number = [](const std::string& l) {
                return startsWith(l, numberMarker) && l.size() >= numberMarker.size() + 3 && l.back() == ' ';
            };
            for (Fit f : {check(j, empty), check(j + 1, empty), check(j + 2, number)})
                if (f != Fit::Whole)
                    return f;
            const std::string& n = lines_[j + 2];
            b.recordNumber = n.substr(numberMarker.size() + 1, n.size() - numberMarker.size() - 2);
            j += 3;
        }
        for (Fit f : {check(j, any), check(j + 1, isOpening),
                      check(j + 2, [](const std::string& l) { return l == responseMarker; })})
            if (f != Fit::Whole)
                return f;
        b.question = lines_[j];
        return untilClosing(j + 3, b.text, next);
    }

    std::vector<std::string> lines_;
    RecordFileKind kind_;
    bool allowTorn_;
    std::size_t limit_; // lines from limit_ on are not there for the block being read
};

} // namespace

RecordFile parseRecordFile(const std::string& bytes, RecordFileKind kind, bool allowTorn)
{
    RecordFile out;
    std::vector<std::string> lines;
    std::size_t start = 0;
    bool tornTail = false;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            // A last line without its line end: a write cut short.
            tornTail = true;
            break;
        }
        std::string line = bytes.substr(start, end - start);
        if (line.find_first_of("\r\n") != std::string::npos) {
            out.error = "line " + std::to_string(lines.size() + 1) + " holds a stray CR or LF";
            return out;
        }
        lines.push_back(std::move(line));
        start = end + 2;
    }
    if (tornTail && !allowTorn) {
        out.error = "the last line has no CR LF";
        return out;
    }
    Parser parser(std::move(lines), kind, allowTorn);
    parser.run(out);
    // The unfinished line belongs to the block cut short before it, if any,
    // or else starts a block of its own.
    if (tornTail && out.error.empty() && !parser.endsTorn)
        ++out.torn;
    return out;
}

} // namespace qal::test
