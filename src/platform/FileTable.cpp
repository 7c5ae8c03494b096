#include "platform/FileTable.h"

#include "platform/Journal.h"
#include "platform/Printable.h"
#include "platform/RunError.h"
#include "platform/WinPath.h"

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
        if (mode == FileMode::Append) {
            // A unit left half-way by a run that is gone is put right before
            // anything is added after it.
            recoverLeftUnit(s);
            // The length the unit cuts the file back to should it fail;
            // under the lock, so no other run's lines lie beyond it.
            s.length = host_->size(s.file);
        }
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
    s.adding = s.pending.size();
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
    HostHandle journal = noHandle;
    try {
        // The journal first, on the disk before any file of the unit
        // changes: a run killed from here on leaves a unit the next one can
        // take back out.
        journal = writeJournal(numbers);
        refreshLockFiles();
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
    std::vector<std::string> partial;
    if (failure)
        partial = cutBack(numbers);
    // Emptied under the files' locks, so that no other run finds it before
    // it is; kept where a file may still hold part of the unit, for the
    // next run to take it out.
    if (partial.empty())
        emptyJournal(journal);
    else if (journal != noHandle)
        host_->close(journal);
    for (int number : numbers)
        if (find(number))
            release(slots_[static_cast<std::size_t>(number)]);
    if (!partial.empty())
        throw RunError(failure, std::move(partial));
    if (failure)
        throw RunError(failure);
}

std::vector<std::string> FileTable::cutBack(const std::vector<int>& numbers) noexcept
{
    std::vector<std::string> partial;
    for (int number : numbers) {
        if (!find(number))
            continue;
        Slot& s = slots_[static_cast<std::size_t>(number)];
        s.pending.clear();
        if (s.mode != FileMode::Append || !s.written)
            continue;
        // Only what this unit wrote: a file longer than that has had
        // another writer since (a lock taken over), whose lines stay.
        bool cut = false;
        try {
            const std::uint64_t now = host_->size(s.file);
            cut = now >= s.length && now <= s.length + s.adding && host_->truncate(s.file, s.length);
        } catch (const RunError&) {
        }
        if (!cut)
            partial.push_back(s.windowsPath);
    }
    return partial;
}

void FileTable::abandonUnit(const std::vector<int>& numbers, int failure)
{
    std::vector<std::string> partial = cutBack(numbers);
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

// The journal of a unit.

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

const std::string& FileTable::machineName()
{
    if (machineName_.empty())
        machineName_ = host_->machineName();
    return machineName_;
}

HostHandle FileTable::writeJournal(const std::vector<int>& numbers)
{
    Journal journal;
    std::filesystem::path first;
    for (int number : numbers) {
        const Slot* s = find(number);
        if (!s || s->mode != FileMode::Append)
            continue;
        if (first.empty())
            first = s->path;
        if (s->pending.empty())
            continue;
        // A file by its name alone, so that a run that reaches the folder by
        // another path still finds it; the files of a unit share its folder
        // (a journal naming another folder's file is never followed).
        journal.files.push_back({s->path.parent_path() == first.parent_path() ? s->path.filename() : s->path, s->length,
                                 s->pending.size()});
    }
    if (journal.files.empty())
        return noHandle;
    journal.owner = {machineName(), machineId(), host_->processId()};
    const std::filesystem::path path = journalPath(first);
    const Host::Opened opened = host_->open(path, FileMode::Output);
    if (opened.created) {
        host_->syncFolder(path.parent_path());
        journals_.push_back({path, first});
    }
    try {
        bool written = false;
        host_->writeAll(opened.handle, journalText(journal), written);
        host_->sync(opened.handle);
    } catch (const RunError&) {
        // Nothing of the unit is written yet: a journal cut short reads as
        // none, and is emptied all the same.
        emptyJournal(opened.handle);
        throw;
    }
    return opened.handle;
}

void FileTable::emptyJournal(HostHandle journal) noexcept
{
    if (journal == noHandle)
        return;
    // Not flushed: every file of the unit is on the disk already, so a
    // journal that comes back full after a power cut tells of a unit that
    // is whole (and is rewritten, and flushed, before the next unit). Should
    // this fail, the same holds.
    (void)host_->truncate(journal, 0, false);
    host_->close(journal);
}

void FileTable::recoverLeftUnit(Slot& s)
{
    const std::filesystem::path at = journalPath(s.path);
    const std::string text = host_->readSmallFile(at);
    if (text.empty())
        return;
    // Only a journal of the student's own, naming files of its own folder:
    // one that another user put there (in a folder every student of a class
    // may write to), or that names a file elsewhere, is never followed to
    // cut a file.
    std::optional<Journal> journal = parseJournal(text);
    if (journal && !host_->sameOwner(at, s.path)) {
        warn("the journal \"" + utf8FromHostPath(at) + "\" belongs to another user; it is left as it is.");
        return;
    }
    for (std::size_t i = 0; journal && i < journal->files.size(); ++i)
        if (journal->files[i].path.has_parent_path() || journal->files[i].path.is_absolute())
            journal.reset();
    if (journal) {
        // A run of this very machine that still runs may still be writing
        // (it lost its lock file to a run that judged it left): its unit
        // is its own to finish or take back. Any other writer is gone, or
        // no longer holds the lock this run holds now.
        const JournalOwner& owner = journal->owner;
        if (owner.machineName == machineName() && owner.machineId == machineId() &&
            owner.processId != host_->processId() && !host_->processGone(owner.processId))
            return;
        // Each file of the unit under its lock: the one being opened, one
        // this table holds open already, or one opened here for the while.
        std::vector<Slot> held;
        held.reserve(journal->files.size());
        std::vector<std::filesystem::path> paths;
        std::vector<HostHandle> handles;
        std::vector<std::uint64_t> sizes;
        try {
            for (const JournalFile& file : journal->files) {
                const std::filesystem::path path = at.parent_path() / file.path;
                HostHandle handle = noHandle;
                if (path == s.path)
                    handle = s.file;
                for (const Slot& other : slots_)
                    if (handle == noHandle && other.file != noHandle && other.mode == FileMode::Append &&
                        other.path == path)
                        handle = other.file;
                if (handle == noHandle && host_->modified(path) >= 0) {
                    Slot& h = held.emplace_back();
                    holdForAWhile(h, path);
                    handle = h.file;
                }
                // A file gone since has nothing of the unit to take back.
                paths.push_back(path);
                handles.push_back(handle);
                sizes.push_back(handle == noHandle ? 0 : host_->size(handle));
            }
        } catch (const RunError&) {
            // A file of the unit cannot be had now: the journal stays for a
            // later run, and this file is used as it is.
            for (Slot& h : held)
                release(h);
            return;
        }
        const std::vector<Recovery> actions = recover(journal->files, sizes);
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (handles[i] == noHandle)
                continue;
            const std::string name = utf8FromHostPath(paths[i]);
            if (actions[i] == Recovery::CutBack && !host_->truncate(handles[i], journal->files[i].length))
                warn("the file \"" + name + "\" may now hold a partial record: it could not be cut back.");
            else if (actions[i] == Recovery::Leave)
                warn("the file \"" + name + "\" was changed by another program since a record in it was cut " +
                     "short; it is left as it is and may hold a partial record.");
        }
        for (Slot& h : held)
            release(h);
    }
    host_->remove(at);
}

void FileTable::holdForAWhile(Slot& h, const std::filesystem::path& path)
{
    h.file = host_->open(path, FileMode::Append).handle;
    host_->holdTermination();
    h.mode = FileMode::Append;
    h.path = path;
    lock(h, false);
}

void FileTable::removeJournals() noexcept
{
    const int timeout = lockTimeoutMs_;
    lockTimeoutMs_ = 0; // had at once or not at all
    for (const MadeJournal& made : journals_) {
        // Only an empty one, under its first file's lock: another run may
        // be writing a unit to the same files.
        if (host_->modified(made.firstFile) < 0)
            continue;
        Slot h;
        try {
            holdForAWhile(h, made.firstFile);
            if (host_->readSmallFile(made.journal).empty())
                host_->remove(made.journal);
        } catch (const RunError&) {
        }
        release(h);
    }
    lockTimeoutMs_ = timeout;
    journals_.clear();
}

} // namespace qal
