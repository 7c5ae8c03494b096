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
        // Only the bytes not yet scanned are searched again after a read.
        if (const auto end = findLineEnd(buffer_, scanned, !drained_)) {
            std::string line = buffer_.substr(pos_, end->end - pos_);
            pos_ = end->next;
            return line;
        }
        if (drained_) {
            std::string line = buffer_.substr(pos_);
            pos_ = buffer_.size();
            return line;
        }
        // A CR at the end is looked at again once the byte after it is here.
        const std::size_t held = buffer_.size() - pos_;
        const std::size_t offset = held - (held > 0 && buffer_.back() == '\r' ? 1 : 0);
        fill();
        scanned = pos_ + offset;
    }
}

} // namespace qal
