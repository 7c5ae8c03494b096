#pragma once

#include <cstddef>
#include <string>

namespace qal {

// Hands out the lines of an open file descriptor, reading it a chunk at a
// time. Lines end as LineBreaks.h says; the last line needs no line end. It
// neither owns nor closes the descriptor. Failures throw RunError: 57 when
// reading fails.
class LineReader {
public:
    LineReader() = default;
    explicit LineReader(int fd) : fd_(fd) {}

    // True when every byte of the file has been handed out.
    bool atEnd();
    // The next line without its line end. Call only when !atEnd().
    std::string readLine();

private:
    void fill();

    int fd_ = -1;
    std::string buffer_;   // bytes read ahead, not yet handed out from pos_ on
    std::size_t pos_ = 0;  // the first byte not handed out
    bool drained_ = false; // the descriptor has nothing more to give
};

} // namespace qal
