#pragma once

#include <cstddef>

namespace qal {

// Where a line ends, one rule for every text the program takes in: files read
// by number, lesson files and the boxes' texts. CR LF, a lone LF and a lone CR
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

// The same rule for text that comes a piece at a time, where the byte after
// a CR may not have come yet: told each byte in turn, it says what the byte
// is to the lines.
class LineBreakFollower {
public:
    enum class Part {
        Text,    // a byte of a line
        LineEnd, // ends the line
        LfOfCrLf // the LF of a CR LF: the line has ended already
    };

    Part take(char c)
    {
        const bool afterCr = afterCr_;
        afterCr_ = c == '\r';
        if (c == '\n' && afterCr)
            return Part::LfOfCrLf;
        return isLineBreak(static_cast<unsigned char>(c)) ? Part::LineEnd : Part::Text;
    }
    // Forgets the last byte, as at the start of a new text.
    void reset() { afterCr_ = false; }

private:
    bool afterCr_ = false; // the last byte was a CR, so a LF now ends nothing
};

} // namespace qal
