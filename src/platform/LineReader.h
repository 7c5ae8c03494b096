#pragma once

#include "platform/Host.h"

#include <cstddef>
#include <string>

namespace qal {

// Hands out the lines of a file open on the host, reading it a chunk at a
// time. Lines end as LineBreaks.h says; the last line needs no line end. It
// neither owns nor closes the file. Failures throw RunError: 57 when reading
// fails.
class LineReader {
public:
    LineReader() = default;
    LineReader(Host& host, HostHandle file) : host_(&host), file_(file) {}

    // True when every byte of the file has been handed out.
    bool atEnd();
    // The next line without its line end. Call only when !atEnd().
    std::string readLine();

private:
    void fill();

    Host* host_ = nullptr;
    HostHandle file_ = noHandle;
    std::string buffer_;   // bytes read ahead, not yet handed out from pos_ on
    std::size_t pos_ = 0;  // the first byte not handed out
    bool drained_ = false; // the descriptor has nothing more to give
};

} // namespace qal
