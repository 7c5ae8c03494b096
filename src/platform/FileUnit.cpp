// FileTable's units: the files of one header block or record, written whole
// in every one of them or in none. The order is the rule: the journal on the
// disk first, then every file written, every file flushed, late failures
// asked for, and the journal made void, all under the files' locks; on a
// failure, every file cut back to where it was (Journal.h's mayCutBack).

#include "platform/FileTable.h"

#include "platform/Journal.h"
#include "platform/RunError.h"

#include <algorithm>
#include <utility>

namespace qal {

void FileTable::flush(Slot& s)
{
    if (s.pending.empty())
        return;
    s.adding = s.pending.size();
    host_->writeAll(s.file, s.pending, s.written);
    // Kept until the unit is over: a unit that fails and stays in the file
    // is finished with these very bytes when it is tried again.
    s.unitText = std::move(s.pending);
    s.pending.clear();
}

void FileTable::sync(Slot& s)
{
    if (s.written)
        host_->sync(s.file);
}

void FileTable::takeUpUnfinished(const std::vector<int>& numbers, const std::vector<UnfinishedFile>& last)
{
    std::size_t at = 0;
    for (int number : numbers) {
        if (!find(number))
            continue;
        Slot& s = slots_[static_cast<std::size_t>(number)];
        if (s.mode != FileMode::Append)
            continue;
        if (at >= last.size() || last[at].path != s.path)
            return; // another unit after all: written as it is
        ++at;
    }
    if (at != last.size())
        return;
    at = 0;
    for (int number : numbers) {
        if (!find(number) || slots_[static_cast<std::size_t>(number)].mode != FileMode::Append)
            continue;
        Slot& s = slots_[static_cast<std::size_t>(number)];
        const UnfinishedFile& file = last[at++];
        // What the file holds of the unit now, by its length against the
        // unit's start and end (recovery may have put it right meanwhile).
        const UnitHeld held = unitHeld(file.length, file.text.size(), s.length);
        // Someone else wrote to it since: what stands there is not known to
        // be this unit, so it is written there as a new one.
        if (held == UnitHeld::Changed)
            continue;
        s.unitLength = file.length;
        s.unitText = file.text;
        switch (held) {
        case UnitHeld::Whole:
            // There already: nothing more to write, but flushed again, as a
            // failed flush may have been what failed.
            s.pending.clear();
            s.written = true;
            break;
        case UnitHeld::Part:
            // Cut back to its start first; should that fail again, the unit
            // fails as it did, and says what the file holds.
            if (!host_->truncate(s.file, file.length))
                throw RunError(err::DeviceIOError);
            s.length = file.length;
            s.pending = file.text;
            break;
        default:
            s.pending = file.text;
            break;
        }
    }
}

void FileTable::closeUnit(const std::vector<int>& numbers, Finish finish)
{
    int failure = 0;
    HostHandle journal = noHandle;
    // A unit tried again is the last failed unit; any other unit that
    // writes is new, and the failed one is left as its message said.
    std::vector<UnfinishedFile> last;
    if (std::any_of(numbers.begin(), numbers.end(), [this](int n) { return find(n) && !find(n)->pending.empty(); })) {
        last = std::move(unfinished_);
        unfinished_.clear();
    }
    try {
        if (finish == Finish::Unfinished && !last.empty())
            takeUpUnfinished(numbers, last);
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
    std::vector<UnitFileHeld> held;
    if (failure)
        held = cutBack(numbers);
    const RunError failed(failure, held);
    // Emptied under the files' locks, so that no other run finds it before
    // it is; kept where a file may still hold part of the unit, for the
    // next run to take it out.
    if (!failed.leftInFiles())
        emptyJournal(journal, journalLength_);
    else if (journal != noHandle)
        host_->close(journal);
    if (failed.leftInFiles())
        keepUnfinished(numbers);
    for (int number : numbers)
        if (find(number))
            release(slots_[static_cast<std::size_t>(number)]);
    if (failed.leftInFiles())
        throw failed;
    if (failure)
        throw RunError(failure);
}

std::vector<UnitFileHeld> FileTable::cutBack(const std::vector<int>& numbers) noexcept
{
    std::vector<UnitFileHeld> held;
    for (int number : numbers) {
        if (!find(number))
            continue;
        Slot& s = slots_[static_cast<std::size_t>(number)];
        if (s.unitText.empty())
            s.unitText = std::move(s.pending); // never written: the whole unit is still here
        s.pending.clear();
        if (s.mode != FileMode::Append)
            continue;
        // Only what this unit wrote: a file longer than that has had
        // another writer since (a lock taken over), whose lines stay.
        UnitHeld now = UnitHeld::None;
        try {
            std::uint64_t length = host_->size(s.file);
            if (s.written && mayCutBack(s.length, s.adding, length) && host_->truncate(s.file, s.length))
                length = s.length;
            // Told against the whole unit, from where it started in this
            // file (before an earlier try of it, when it is one).
            now = unitHeld(s.unitLength, s.unitText.size(), length);
            if (!s.written && now == UnitHeld::Changed)
                now = UnitHeld::None; // nothing of it was written here
        } catch (const RunError&) {
            now = UnitHeld::Changed; // not known
        }
        held.push_back({s.windowsPath, now});
    }
    return held;
}

void FileTable::keepUnfinished(const std::vector<int>& numbers)
{
    // What each file's unit is, from where it starts: the next try of the
    // same unit is finished with these bytes where they are missing.
    for (int number : numbers) {
        const Slot* s = find(number);
        if (!s || s->mode != FileMode::Append)
            continue;
        unfinished_.push_back({s->path, s->unitLength, s->unitText});
    }
}

void FileTable::abandonUnit(const std::vector<int>& numbers, int failure)
{
    const RunError failed(failure, cutBack(numbers));
    for (int number : numbers)
        if (find(number))
            release(slots_[static_cast<std::size_t>(number)]);
    if (failed.leftInFiles())
        throw failed;
}

} // namespace qal
