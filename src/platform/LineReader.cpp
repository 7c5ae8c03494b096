#include "platform/LineReader.h"

#include "platform/LineBreaks.h"

namespace qal {

namespace {

// How much is read at a time: a notes file of many records takes few reads,
// and a line longer than this is simply read in several.
constexpr std::size_t readChunk = 1 << 16;

} // namespace

void LineReader::fill()
{
    if (drained_)
        return;
    // Drop what was handed out already, then read the next chunk.
    buffer_.erase(0, pos_);
    pos_ = 0;
    const std::size_t old = buffer_.size();
    buffer_.resize(old + readChunk);
    std::size_t n = 0;
    try {
        n = host_->read(file_, buffer_.data() + old, readChunk);
    } catch (...) {
        buffer_.resize(old);
        throw;
    }
    buffer_.resize(old + n);
    if (n == 0)
        drained_ = true;
}

bool LineReader::atEnd()
{
    if (pos_ >= buffer_.size())
        fill();
    return pos_ >= buffer_.size();
}

std::string LineReader::readLine()
{
    std::size_t scanned = pos_;
    for (;;) {
        std::size_t i = scanned;
        while (i < buffer_.size() && !isLineBreak(static_cast<unsigned char>(buffer_[i])))
            ++i;
        if (i < buffer_.size()) {
            // A CR may be followed by an LF still unread: make sure it is here.
            if (buffer_[i] == '\r' && i + 1 == buffer_.size() && !drained_) {
                const std::size_t offset = i - pos_;
                fill();
                i = pos_ + offset;
            }
            std::string line = buffer_.substr(pos_, i - pos_);
            pos_ = i + lineBreakLength(buffer_.data() + i, buffer_.data() + buffer_.size());
            return line;
        }
        if (drained_) {
            std::string line = buffer_.substr(pos_);
            pos_ = buffer_.size();
            return line;
        }
        const std::size_t offset = i - pos_;
        fill();
        scanned = pos_ + offset;
    }
}

} // namespace qal
