#include "fakes/FaultyHost.h"

#include "platform/RunError.h"

#include <algorithm>

namespace qal::test {

int FaultyHost::numberOf(const std::filesystem::path& path) const
{
    const std::string name = utf8FromHostPath(path.filename());
    if (const auto set = numbers_.find(name); set != numbers_.end())
        return set->second;
    const struct {
        const char* prefix;
        int number;
    } byName[] = {{"masterFile_", 1}, {"send_", 2}, {"notes_", 3}, {"queri", 2}, {"query", 1}};
    for (const auto& n : byName)
        if (name.starts_with(n.prefix))
            return n.number;
    return 0;
}

int FaultyHost::numberOf(HostHandle file) const
{
    const auto found = open_.find(file);
    return found == open_.end() ? 0 : found->second;
}

Host::Opened FaultyHost::open(const std::filesystem::path& path, FileMode mode)
{
    const int number = numberOf(path);
    if (const int e = beforeOpen(number, mode))
        throw RunError(e);
    const Opened opened = real_.open(path, mode);
    open_[opened.handle] = number;
    return opened;
}

void FaultyHost::writeAll(HostHandle file, std::string_view bytes, bool& written)
{
    const int number = numberOf(file);
    std::size_t allowed = bytes.size();
    if (const int e = beforeFlush(number, allowed)) {
        real_.writeAll(file, bytes.substr(0, std::min(allowed, bytes.size())), written);
        throw RunError(e);
    }
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t end = bytes.find("\r\n", start);
        const std::size_t next = end == std::string_view::npos ? bytes.size() : end + 2;
        if (const int e = beforeWrite(number)) {
            real_.writeAll(file, bytes.substr(0, start), written);
            throw RunError(e);
        }
        start = next;
    }
    real_.writeAll(file, bytes, written);
}

void FaultyHost::sync(HostHandle file)
{
    if (const int e = beforeSync(numberOf(file)))
        throw RunError(e);
    real_.sync(file);
}

bool FaultyHost::truncate(HostHandle file, std::uint64_t length, bool flush) noexcept
{
    if (beforeCutBack(numberOf(file)))
        return false;
    return real_.truncate(file, length, flush);
}

void FaultyHost::checkWritten(HostHandle file)
{
    if (const int e = beforeClose(numberOf(file)))
        throw RunError(e);
    real_.checkWritten(file);
}

void FaultyHost::close(HostHandle file) noexcept
{
    open_.erase(file);
    real_.close(file);
}

LockAnswer FaultyHost::tryLock(HostHandle file, bool shared)
{
    if (refusesLocks(numberOf(file)))
        return LockAnswer::NotSupported;
    return real_.tryLock(file, shared);
}

void FaultyHost::syncFolder(const std::filesystem::path& folder) noexcept
{
    real_.syncFolder(folder);
    folderSynced(folder);
}

} // namespace qal::test
