// FileTable's units: the files of one header block or record, written whole
// in every one of them or in none. The order is the rule: the journal on the
// disk first, then every file written, every file flushed, late failures
// asked for, and the journal made void, all under the files' locks; on a
// failure, every file cut back to where it was (Journal.h's mayCutBack).

#include "platform/FileTable.h"

#include "platform/Journal.h"
#include "platform/RunError.h"

namespace qal {

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
        emptyJournal(journal, journalLength_);
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
            cut = (now == s.length || mayCutBack(s.length, s.adding, now)) && host_->truncate(s.file, s.length);
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

} // namespace qal
