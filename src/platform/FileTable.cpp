#include "platform/FileTable.h"

#include "platform/RunError.h"
#include "platform/WinPath.h"

#include <filesystem>

namespace qal {

FileTable::~FileTable()
{
    closeAllQuietly();
}

FileTable::Slot& FileTable::slot(int number)
{
    if (number < 1 || number > maxNumber)
        throw RunError(err::BadFileNameOrNumber);
    return slots_[static_cast<std::size_t>(number)];
}

const FileTable::Slot* FileTable::find(int number) const
{
    if (number < 1 || number > maxNumber)
        return nullptr;
    const Slot& s = slots_[static_cast<std::size_t>(number)];
    return s.file != noHandle ? &s : nullptr;
}

bool FileTable::isOpen(int number) const
{
    return find(number) != nullptr;
}

void FileTable::open(int number, std::string_view windowsPath, FileMode mode)
{
    Slot& s = slot(number);
    if (s.file != noHandle)
        throw RunError(err::FileAlreadyOpen);
    std::filesystem::path utf8Form;
    const std::filesystem::path path = hostPath(windowsPath, PathKind::File, &utf8Form);
    const Host::Opened opened = host_->open(path, mode);
    if (opened.created)
        host_->syncFolder(path.parent_path());
    Slot fresh;
    fresh.file = opened.handle;
    fresh.mode = mode;
    fresh.windowsPath = std::string(windowsPath);
    fresh.path = path;
    if (mode == FileMode::Input)
        fresh.reader = LineReader(*host_, opened.handle);
    s = std::move(fresh);
    if (mode == FileMode::Output)
        return;
    if (mode == FileMode::Append)
        host_->holdTermination();
    try {
        // Input is read under a shared lock, so that a header or a record
        // another run is writing (or taking back) is never read half-way.
        lock(s, mode == FileMode::Input);
        // The length the unit cuts the file back to should it fail; under
        // the lock, so no other run's lines lie beyond it.
        if (mode == FileMode::Append)
            s.length = host_->size(s.file);
    } catch (...) {
        release(s);
        throw;
    }
    if (mode == FileMode::Append && !utf8Form.empty())
        renameToUtf8(s, utf8Form);
}

void FileTable::renameToUtf8(Slot& s, const std::filesystem::path& utf8Form) noexcept
{
    // Only under the file's own lock: a lock file is tied to the name, so a
    // run opening the new name would not wait for it.
    if (!s.lockFile.empty())
        return;
    // Never over a file of that name (another run may have renamed it
    // first); a rename refused leaves the old name in use, as before.
    if (!host_->renameNoReplace(s.path, utf8Form))
        return;
    s.path = utf8Form;
    host_->syncFolder(utf8Form.parent_path());
}

void FileTable::flush(Slot& s)
{
    if (s.pending.empty())
        return;
    host_->writeAll(s.file, s.pending, s.written);
    s.pending.clear();
}

void FileTable::sync(Slot& s)
{
    if (s.written)
        host_->sync(s.file);
}

void FileTable::release(Slot& s) noexcept
{
    if (s.file == noHandle)
        return;
    host_->close(s.file);
    if (!s.lockFile.empty())
        host_->remove(s.lockFile);
    const bool wasAppend = s.mode == FileMode::Append;
    s = Slot{};
    if (wasAppend)
        host_->releaseTermination();
}

void FileTable::writeLine(int number, std::string_view text)
{
    Slot& s = slot(number);
    if (s.file == noHandle)
        throw RunError(err::BadFileNameOrNumber);
    if (s.mode == FileMode::Input)
        throw RunError(err::BadFileMode);
    if (s.mode == FileMode::Append) {
        // Held until the unit closes, then written with the rest in one go.
        s.pending.append(text);
        s.pending.append("\r\n");
        return;
    }
    // One write of the whole line.
    std::string line;
    line.reserve(text.size() + 2);
    line.append(text);
    line.append("\r\n");
    host_->writeAll(s.file, line, s.written);
}

bool FileTable::eof(int number)
{
    Slot& s = slot(number);
    if (s.file == noHandle)
        throw RunError(err::BadFileNameOrNumber);
    if (s.mode != FileMode::Input)
        return true;
    return s.reader.atEnd();
}

std::string FileTable::readLine(int number)
{
    Slot& s = slot(number);
    if (s.file == noHandle)
        throw RunError(err::BadFileNameOrNumber);
    if (s.mode != FileMode::Input)
        throw RunError(err::BadFileMode);
    if (s.reader.atEnd())
        throw RunError(err::InputPastEndOfFile);
    return s.reader.readLine();
}

void FileTable::close(int number)
{
    if (number < 1 || number > maxNumber)
        return;
    closeUnit({number});
}

void FileTable::closeUnit(const std::vector<int>& numbers)
{
    int failure = 0;
    try {
        for (int number : numbers)
            if (find(number))
                flush(slots_[static_cast<std::size_t>(number)]);
        // Every file on the disk before any is let go: a finished header or
        // record survives a crash or a power cut, and one that could not
        // be finished can still be cut back under its locks.
        for (int number : numbers)
            if (find(number))
                sync(slots_[static_cast<std::size_t>(number)]);
        // A file system may report a late write failure only on close (NFS
        // does): asked while every file still holds its lock.
        for (int number : numbers)
            if (const Slot* open = find(number))
                host_->checkWritten(open->file);
    } catch (const RunError& e) {
        failure = e.number();
    }
    if (failure) {
        abandonUnit(numbers, failure);
        throw RunError(failure);
    }
    for (int number : numbers)
        if (find(number))
            release(slots_[static_cast<std::size_t>(number)]);
}

void FileTable::abandonUnit(const std::vector<int>& numbers, int failure)
{
    std::vector<std::string> partial;
    for (int number : numbers) {
        if (!find(number))
            continue;
        Slot& s = slots_[static_cast<std::size_t>(number)];
        s.pending.clear();
        if (s.mode == FileMode::Append && s.written && !host_->truncate(s.file, s.length))
            partial.push_back(s.windowsPath);
    }
    for (int number : numbers)
        if (find(number))
            release(slots_[static_cast<std::size_t>(number)]);
    if (!partial.empty())
        throw RunError(failure, std::move(partial));
}

void FileTable::closeAll()
{
    int failure = 0;
    for (int n = 1; n <= maxNumber; ++n) {
        try {
            close(n);
        } catch (const RunError& e) {
            if (!failure)
                failure = e.number();
        }
    }
    if (failure)
        throw RunError(failure);
}

void FileTable::closeQuietly(std::initializer_list<int> numbers) noexcept
{
    for (int number : numbers) {
        try {
            close(number);
        } catch (const RunError&) {
        }
    }
}

void FileTable::closeAllQuietly() noexcept
{
    try {
        closeAll(); // closes every number even when one fails
    } catch (const RunError&) {
    }
}

void FileTable::createFolder(std::string_view windowsPath)
{
    const std::filesystem::path path = hostPath(windowsPath, PathKind::Folder);
    host_->makeFolder(path);
    // The new folder's entry in its parent, durable like the files made in it.
    host_->syncFolder(path.parent_path());
}

} // namespace qal
