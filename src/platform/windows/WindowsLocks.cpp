// What keeps a unit whole while it is open on Windows: the lock on its files
// (LockFileEx, which other runs of the program take too); no signal to hold
// back.

#include "platform/windows/WindowsHost.h"

#include "platform/windows/WindowsHandles.h"

#include <windows.h>

namespace qal {

namespace {

// The lock is one byte far beyond the end any file reaches (2^63 - 2^32),
// not the file's bytes. Windows locks are mandatory over the bytes they
// cover: locking the data would make every other reader that takes no lock
// (the instructor's report, an editor, a backup) fail while a unit is open.
// A byte no file reaches holds off only the program's other runs, as flock
// does on POSIX. Below 2^63, so that a server mapping the lock onto a POSIX
// lock (Samba) takes it as well.
constexpr DWORD lockOffsetLow = 0;
constexpr DWORD lockOffsetHigh = 0x7FFFFFFF;

} // namespace

LockAnswer WindowsHost::tryLock(HostHandle file, bool shared)
{
    OVERLAPPED where{};
    where.Offset = lockOffsetLow;
    where.OffsetHigh = lockOffsetHigh;
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (shared ? 0 : LOCKFILE_EXCLUSIVE_LOCK);
    if (LockFileEx(handleOf(file), flags, 0, 1, 0, &where))
        return LockAnswer::Locked;
    const DWORD error = GetLastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING)
        return LockAnswer::Held;
    // Any other answer (ERROR_NOT_SUPPORTED, ERROR_INVALID_FUNCTION from a
    // file system without locks) means no lock can be had on this file: a
    // lock file stands in, so no line is ever written unlocked.
    return LockAnswer::NotSupported;
}

void WindowsHost::holdTermination()
{
    // Windows sends a console program no signal to hold back here; the end
    // of a session reaches the window as a message, handled there.
}

void WindowsHost::releaseTermination() {}

} // namespace qal
