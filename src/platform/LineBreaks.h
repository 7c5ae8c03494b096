#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string_view>

namespace qal {

// Where a line ends, one rule for every text the program takes in: files read
// by number, lesson files, record files and the boxes' texts. CR LF, a lone LF and a lone CR
// each end a line; the LF of a CR LF ends nothing more.

constexpr bool isLineBreak(char32_t c)
{
    return c == U'\r' || c == U'\n';
}

// How many units the line break at `at` takes: 2 for CR LF, 1 otherwise.
// `at` points into [at, end) at a line break.
template <typename Char> constexpr std::size_t lineBreakLength(const Char* at, const Char* end)
{
    return *at == Char('\r') && at + 1 < end && at[1] == Char('\n') ? 2 : 1;
}

// Where a line ends in text, and where the line after it starts.
struct LineEnd {
    std::size_t end;  // the line's text ends here, at its line break
    std::size_t next; // the next line starts here, after the line break
};

// The one line splitter: every reader of lines (files by number, lesson
// files, record files) cuts its text with it. It finds the end of the line
// that starts at `from` in text by the rule above, and tells nothing when
// the text holds no line break from there on. While more text may follow
// (`more`), a CR that ends the text tells nothing either: it may be the CR
// of a CR LF, so the caller reads on and asks again. A caller that takes the
// text in pieces it cannot hold back asks with more = false and drops an LF
// that comes first in the next piece after a line that ended in a CR
// (endsInCr).
inline std::optional<LineEnd> findLineEnd(std::string_view text, std::size_t from, bool more)
{
    // Looked for a stretch at a time, so that a text whose lines end in one
    // of the two alone is never searched to its end for the other.
    constexpr std::size_t stretch = 512;
    const char* lineBreak = nullptr;
    for (std::size_t at = from; at < text.size() && lineBreak == nullptr; at += stretch) {
        const char* const begin = text.data() + at;
        const std::size_t size = std::min(stretch, text.size() - at);
        const auto* lf = static_cast<const char*>(std::memchr(begin, '\n', size));
        const auto* cr = static_cast<const char*>(
            std::memchr(begin, '\r', lf != nullptr ? static_cast<std::size_t>(lf - begin) : size));
        lineBreak = cr != nullptr ? cr : lf;
    }
    if (lineBreak == nullptr)
        return std::nullopt;
    const char* const end = text.data() + text.size();
    if (more && *lineBreak == '\r' && lineBreak + 1 == end)
        return std::nullopt;
    const auto at = static_cast<std::size_t>(lineBreak - text.data());
    return LineEnd{at, at + lineBreakLength(lineBreak, end)};
}

// The line found ended in a lone CR with nothing after it in its text: an LF
// that starts the next piece is the second half of that CR LF.
inline bool endsInCr(std::string_view text, const LineEnd& line)
{
    return line.next == text.size() && line.next == line.end + 1 && text[line.end] == '\r';
}

} // namespace qal
