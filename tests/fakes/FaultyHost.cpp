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

void FaultyHost::hookedWrite(HostHandle file, std::string_view bytes, bool& written,
                             const std::function<void(std::string_view, bool&)>& write)
{
    const int number = numberOf(file);
    std::size_t allowed = bytes.size();
    if (const int e = beforeFlush(number, allowed)) {
        write(bytes.substr(0, std::min(allowed, bytes.size())), written);
        throw RunError(e);
    }
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t end = bytes.find("\r\n", start);
        const std::size_t next = end == std::string_view::npos ? bytes.size() : end + 2;
        if (const int e = beforeWrite(number)) {
            write(bytes.substr(0, start), written);
            throw RunError(e);
        }
        start = next;
    }
    write(bytes, written);
}

void FaultyHost::writeAll(HostHandle file, std::string_view bytes, bool& written)
{
    hookedWrite(file, bytes, written, [&](std::string_view part, bool& done) { real_.writeAll(file, part, done); });
}

void FaultyHost::writeAt(HostHandle file, std::uint64_t offset, std::string_view bytes, bool& written)
{
    hookedWrite(file, bytes, written,
                [&](std::string_view part, bool& done) { real_.writeAt(file, offset, part, done); });
}

void FaultyHost::sync(HostHandle file)
{
    if (const int e = beforeSync(numberOf(file)))
        throw RunError(e);
    real_.sync(file);
}

void FaultyHost::syncData(HostHandle file)
{
    if (const int e = beforeSync(numberOf(file)))
        throw RunError(e);
    real_.syncData(file);
}

bool FaultyHost::blank(HostHandle file, std::uint64_t length) noexcept
{
    if (beforeCutBack(numberOf(file)))
        return false;
    return real_.blank(file, length);
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

HostHandle FaultyHost::openToRead(const std::filesystem::path& path, ReadOutcome& outcome, std::uint64_t maxBytes)
{
    const HostHandle file = real_.openToRead(path, outcome, maxBytes);
    if (file != noHandle)
        open_[file] = numberOf(path);
    return file;
}

std::size_t FaultyHost::readSome(HostHandle file, char* buffer, std::size_t size, std::string& reason)
{
    if (const int e = beforeRead(numberOf(file))) {
        reason = errorText(e);
        return 0;
    }
    return real_.readSome(file, buffer, size, reason);
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
