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
    std::filesystem::path path;
    const Host::Opened opened = openJournal(first, path);
    if (opened.handle == noHandle)
        return noHandle;
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

Host::Opened FileTable::openJournal(const std::filesystem::path& first, std::filesystem::path& path)
{
    // The journal's names are the program's own: whatever stands at one
    // that this run cannot use as its own plain file (another user's file,
    // a link, a folder, a read-only file) is stepped around and told of,
    // never written to, never followed and never a reason to fail.
    for (std::size_t choice = 0; choice < journalNames; ++choice) {
        path = journalPath(first, choice);
        const std::string name = utf8FromHostPath(path);
        const auto othersJournal = [&](const std::string& owner) {
            warnOnce(path, "the journal \"" + name + "\" belongs to " + owner + ", not to you; it is left as it is.");
        };
        if (const std::string owner = foreignOwner(path); !owner.empty()) {
            othersJournal(owner);
            continue;
        }
        try {
            Host::Opened opened = host_->open(path, FileMode::Update);
            // Made by someone else in the moment since (a folder anyone may
            // write to): not this run's to write its unit's lengths into.
            if (const std::string owner = foreignOwner(path); !owner.empty()) {
                host_->close(opened.handle);
                othersJournal(owner);
                continue;
            }
            return opened;
        } catch (const RunError& e) {
            if (e.number() != err::PathFileAccessError)
                throw;
            warnOnce(path, "the journal \"" + name + "\" cannot be written (it is read-only, a link or a folder); " +
                               "it is left as it is.");
        }
    }
    warnOnce(first, "no journal can be written beside \"" + utf8FromHostPath(first) +
                        "\"; records are written without one, so a run killed while writing one may leave it cut " +
                        "short.");
    return {};
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
    // The unit may have taken any of the journal's names.
    for (std::size_t choice = 0; choice < journalNames; ++choice)
        recoverLeftUnit(s, journalPath(s.path, choice));
}

void FileTable::recoverLeftUnit(Slot& s, const std::filesystem::path& at)
{
    const std::string text = host_->readSmallFile(at);
    if (journalVoid(text))
        return;
    // Only a journal of this user's own, naming files of its own folder
    // that are this user's own: one that another user put there (in a
    // folder every student of a class may write to), or that names a file
    // elsewhere or someone else's, is never followed to cut a file.
    std::optional<Journal> journal = parseJournal(text);
    if (const std::string owner = foreignOwner(at); !owner.empty()) {
        warnOnce(at, "the journal \"" + utf8FromHostPath(at) + "\" belongs to " + owner + ", not to you; it is " +
                         "left as it is.");
        return;
    }
    for (std::size_t i = 0; journal && i < journal->files.size(); ++i)
        if (journal->files[i].path.has_parent_path() || journal->files[i].path.is_absolute())
            journal.reset();
    for (std::size_t i = 0; journal && i < journal->files.size(); ++i) {
        const std::filesystem::path path = at.parent_path() / journal->files[i].path;
        if (const std::string owner = foreignOwner(path); !owner.empty()) {
            warnOnce(at, "the journal \"" + utf8FromHostPath(at) + "\" names \"" + utf8FromHostPath(path) +
                             "\", a file of " + owner + "; it is left as it is.");
            return;
        }
    }
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
