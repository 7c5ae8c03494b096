#include "recording/RecordLayout.h"

#include "platform/LineBreaks.h"

namespace qal::recordLayout {

std::string textAsWritten(std::string text)
{
    // Most texts hold no shifted line: they are handed back as they came.
    std::string written;
    std::size_t copied = 0; // text before this is in written
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = start;
        while (end < text.size() && !isLineBreak(static_cast<unsigned char>(text[end])))
            ++end;
        if (isShiftedTextLine(std::string_view(text).substr(start, end - start))) {
            written.append(text, copied, start - copied).push_back(' ');
            copied = start;
        }
        if (end == text.size())
            break;
        start = end + lineBreakLength(text.data() + end, text.data() + text.size());
    }
    if (copied == 0 && written.empty())
        return text;
    written.append(text, copied, std::string::npos);
    return written;
}

} // namespace qal::recordLayout
