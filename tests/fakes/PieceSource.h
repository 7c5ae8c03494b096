#pragma once

#include "instructor/RecordFileReader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qal::test {

// Hands out the bytes `piece` at a time, as a slow file or a pipe may: the
// report's reader must read the same records however its bytes arrive.
class PieceSource : public ByteSource {
public:
    PieceSource(std::string_view bytes, std::size_t piece) : all_(bytes), bytes_(bytes), piece_(piece) {}

    std::size_t read(char* into, std::size_t size) override
    {
        const std::size_t n = std::min({size, piece_, bytes_.size()});
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
    std::size_t piece_;
};

} // namespace qal::test
