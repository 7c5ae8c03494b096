// Reading a whole file a piece at a time, on the host's byte reading.

#include "platform/Host.h"

#include <string>

namespace qal {

ReadOutcome readFilePieces(const std::filesystem::path& path, const std::function<bool(std::string_view)>& piece,
                           std::uint64_t maxBytes)
{
    ReadOutcome outcome;
    const HostHandle file = openToRead(path, outcome, maxBytes);
    if (file == noHandle)
        return outcome;
    // Pieces of 64 KiB: a lesson file that cannot be one is refused after
    // its first piece, never held whole.
    std::string chunk(1 << 16, '\0');
    for (;;) {
        std::string reason;
        const std::size_t got = readSome(file, chunk.data(), chunk.size(), reason);
        if (got == 0) {
            if (!reason.empty())
                outcome = {ReadOutcome::CannotRead, reason};
            break;
        }
        if (!piece(std::string_view(chunk.data(), got)))
            break;
    }
    closeToRead(file);
    return outcome;
}

} // namespace qal
