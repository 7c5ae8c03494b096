#include "platform/FileTable.h"

#include "platform/Printable.h"
#include "platform/RunError.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

namespace qal {

FileTable::~FileTable()
{
    closeAllQuietly();
}

void FileTable::endRun() noexcept
{
    closeAllQuietly();
    removeJournals();
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

std::filesystem::path FileTable::lookUp(std::string_view windowsPath, PathKind last, std::filesystem::path* utf8Form)
{
    const bool inUnit = std::any_of(slots_.begin(), slots_.end(),
                                    [](const Slot& s) { return s.file != noHandle && s.mode == FileMode::Append; });
    if (!inUnit)
        paths_.forget();
    return paths_.hostPath(windowsPath, last, utf8Form);
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
    const std::filesystem::path path = lookUp(windowsPath, PathKind::File, &utf8Form);
    // Nothing of the student's goes into another user's file (who could read
    // or change it): an Output file is asked before it is emptied, an Append
    // file once it is open, before anything is written (and after a
    // classmate could have made it in the moment before).
    if (mode == FileMode::Output && !foreignOwner(path).empty())
        throw RunError(err::PathFileAccessError);
    const Host::Opened opened = host_->open(path, mode);
    if (mode != FileMode::Input && !opened.created && !foreignOwner(path).empty()) {
        host_->close(opened.handle);
        throw RunError(err::PathFileAccessError);
    }
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
        if (mode == FileMode::Append) {
            // A unit left half-way by a run that is gone is put right before
            // anything is added after it.
            recoverLeftUnit(s);
            // The length the unit cuts the file back to should it fail;
            // under the lock, so no other run's lines lie beyond it.
            s.length = host_->size(s.file);
            s.unitLength = s.length;
        }
    } catch (...) {
        release(s);
        throw;
    }
    if (mode == FileMode::Append && !utf8Form.empty())
        renameToUtf8(s, utf8Form);
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
    const std::filesystem::path path = lookUp(windowsPath, PathKind::Folder);
    // What the folders hold changes: the lookups after look afresh.
    paths_.forget();
    host_->makeFolder(path);
    // The new folder's entry in its parent, durable like the files made in it.
    host_->syncFolder(path.parent_path());
}

std::string FileTable::otherOwner(std::string_view windowsPath)
{
    try {
        return foreignOwner(lookUp(windowsPath, PathKind::File));
    } catch (const RunError&) {
        return {}; // no such place: nothing there is anyone's
    }
}

std::string FileTable::foreignOwner(const std::filesystem::path& path)
{
    std::string owner = host_->entry(path).otherOwner;
    if (!owner.empty() && !ownersTold(path.parent_path()))
        owner.clear();
    return owner;
}

bool FileTable::ownersTold(const std::filesystem::path& folder)
{
    // Asked only once another owner is seen, which is rare: a file made here
    // and removed at once.
    const std::filesystem::path probe =
        folder / hostPathFromUtf8(".qalesson-owner-" + std::to_string(host_->processId()));
    host_->remove(probe);
    bool told = true;
    try {
        if (host_->createExclusive(probe, "")) {
            told = host_->entry(probe).otherOwner.empty();
            host_->remove(probe);
        }
    } catch (const RunError&) {
        // Nothing can be made there: the owner seen stands.
    }
    return told;
}

void FileTable::warnOnce(const std::filesystem::path& about, const std::string& line)
{
    if (std::find(warned_.begin(), warned_.end(), about) != warned_.end())
        return;
    warned_.push_back(about);
    warn(line);
}

void FileTable::warn(const std::string& line)
{
    if (warning_)
        warning_(line);
    else
        std::cerr << "qalesson: " << printable(line) << std::endl;
}

const std::string& FileTable::machineId()
{
    if (machineId_.empty())
        machineId_ = host_->machineId();
    return machineId_;
}

long long FileTable::processId()
{
    if (processId_ == 0)
        processId_ = host_->processId();
    return processId_;
}

const std::string& FileTable::machineName()
{
    if (machineName_.empty())
        machineName_ = host_->machineName();
    return machineName_;
}

} // namespace qal
