// Reading a whole file a piece at a time, and a file by number's reads, on
// the host's one read loop (Host::readSome).

#include "platform/Host.h"

#include "platform/RunError.h"

#include <string>

namespace qal {

std::string readRefusal(const ReadOutcome& outcome, std::string_view what, std::uint64_t maxBytes)
{
    switch (outcome.kind) {
    case ReadOutcome::Read:
        break;
    case ReadOutcome::Missing:
        return "it does not exist";
    case ReadOutcome::Folder:
        return "it is a folder, not a file";
    case ReadOutcome::NotAFile:
        return "it is not a plain file (a pipe or a device)";
    case ReadOutcome::TooLarge: {
        const bool gibibytes = maxBytes % (std::uint64_t{1} << 30) == 0;
        const std::string size =
            gibibytes ? std::to_string(maxBytes >> 30) + " GiB" : std::to_string(maxBytes >> 20) + " MiB";
        return "it is longer than any " + std::string(what) + " can be (" + size + ")";
    }
    case ReadOutcome::CannotOpen:
        return "it cannot be opened: " + outcome.reason;
    case ReadOutcome::CannotRead:
        return "it cannot be read: " + outcome.reason;
    }
    return {};
}

std::size_t Host::read(HostHandle file, char* buffer, std::size_t size)
{
    std::string reason;
    const std::size_t got = readSome(file, buffer, size, reason);
    if (!reason.empty())
        throw RunError(err::DeviceIOError);
    return got;
}

ReadOutcome readFilePieces(Host& host, const std::filesystem::path& path,
                           const std::function<bool(std::string_view)>& piece, std::uint64_t maxBytes)
{
    ReadOutcome outcome;
    const HostHandle file = host.openToRead(path, outcome, maxBytes);
    if (file == noHandle)
        return outcome;
    // Pieces of 64 KiB: a lesson file that cannot be one is refused after
    // its first piece, never held whole.
    std::string chunk(1 << 16, '\0');
    for (;;) {
        std::string reason;
        const std::size_t got = host.readSome(file, chunk.data(), chunk.size(), reason);
        if (got == 0) {
            if (!reason.empty())
                outcome = {ReadOutcome::CannotRead, reason};
            break;
        }
        if (!piece(std::string_view(chunk.data(), got)))
            break;
    }
    host.close(file);
    return outcome;
}

} // namespace qal
