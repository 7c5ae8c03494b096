#include "recording/RecordLayout.h"

#include "platform/LineBreaks.h"

namespace qal::recordLayout {

std::string textAsWritten(std::string text)
{
    // Most texts hold no shifted line: they are handed back as they came.
    std::string written;
    std::size_t copied = 0; // text before this is in written
    const auto shift = [&](std::size_t start, std::size_t end) {
        if (isShiftedTextLine(std::string_view(text).substr(start, end - start))) {
            written.append(text, copied, start - copied).push_back(' ');
            copied = start;
        }
    };
    std::size_t start = 0;
    while (const std::optional<LineEnd> end = findLineEnd(text, start, false)) {
        shift(start, end->end);
        start = end->next;
    }
    shift(start, text.size());
    if (copied == 0 && written.empty())
        return text;
    written.append(text, copied, std::string::npos);
    return written;
}

} // namespace qal::recordLayout
