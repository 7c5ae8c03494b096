// FileTable's journal: written in place before a unit and made void after
// it, and a journal left by a writer that is gone put right (under the locks
// of every file it names) before anything is added after its unit. Its text
// and its rules are Journal.h's; this is where the table reads and writes it.

#include "platform/FileTable.h"

#include "platform/Journal.h"
#include "platform/RunError.h"
#include "platform/WinPath.h"

#include <algorithm>
#include <filesystem>

namespace qal {

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
    journal.owner = {machineName(), machineId(), processId()};
    const std::filesystem::path path = journalPath(first);
    const Host::Opened opened = host_->open(path, FileMode::Update);
    if (opened.created)
        host_->syncFolder(path.parent_path());
    // Removed at the run's end, made here or not: a journal made void stays
    // at its fixed size, holding nothing but zeros.
    if (std::none_of(journals_.begin(), journals_.end(), [&](const MadeJournal& j) { return j.journal == path; }))
        journals_.push_back({path, first});
    // Over the journal before, in place and at the same length: a data-only
    // flush puts it on the disk, with no change to the file's record.
    const std::string text = journalText(journal);
    try {
        bool written = false;
        host_->writeAt(opened.handle, 0, text, written);
        host_->syncData(opened.handle);
    } catch (const RunError&) {
        // Nothing of the unit is written yet: a journal torn or cut short
        // fails its checksum and reads as none, and is made void all the same.
        emptyJournal(opened.handle, text.size());
        throw;
    }
    journalLength_ = text.size();
    return opened.handle;
}

void FileTable::emptyJournal(HostHandle journal, std::uint64_t length) noexcept
{
    if (journal == noHandle)
        return;
    // Made void in place, not flushed: every file of the unit is on the disk
    // already, so a journal that comes back whole after a power cut tells of
    // a unit that is whole (and is written over, and flushed, before the
    // next unit). Should this fail, the same holds.
    (void)host_->blank(journal, length);
    host_->close(journal);
}

void FileTable::recoverLeftUnit(Slot& s)
{
    const std::filesystem::path at = journalPath(s.path);
    const std::string text = host_->readSmallFile(at);
    if (journalVoid(text))
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
            if (journalVoid(host_->readSmallFile(made.journal)))
                host_->remove(made.journal);
        } catch (const RunError&) {
        }
        release(h);
    }
    lockTimeoutMs_ = timeout;
    journals_.clear();
}

} // namespace qal
