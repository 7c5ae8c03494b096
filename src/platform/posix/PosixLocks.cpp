// What keeps a unit whole while it is open on POSIX: the lock on its files
// (flock, which other runs of the program take too) and the termination
// signals held back until it is done.

#include "platform/posix/PosixHost.h"

#include <cerrno>
#include <sys/file.h>

namespace qal {

LockAnswer PosixHost::tryLock(HostHandle file, bool shared)
{
    for (;;) {
        if (::flock(fdOf(file), (shared ? LOCK_SH : LOCK_EX) | LOCK_NB) == 0)
            return LockAnswer::Locked;
        if (errno == EINTR)
            continue;
        // Any answer but "held by another run" means the file system keeps
        // no locks (NFS without its lock service answers ENOLCK).
        return errno == EWOULDBLOCK ? LockAnswer::Held : LockAnswer::NotSupported;
    }
}

void PosixHost::holdTermination()
{
    if (held_++ > 0)
        return;
    sigset_t terminating;
    sigemptyset(&terminating);
    sigaddset(&terminating, SIGTERM);
    sigaddset(&terminating, SIGHUP);
    sigaddset(&terminating, SIGINT);
    pthread_sigmask(SIG_BLOCK, &terminating, &before_);
}

void PosixHost::releaseTermination()
{
    if (held_ == 0 || --held_ > 0)
        return;
    // A signal that came meanwhile takes effect here, with the unit done.
    pthread_sigmask(SIG_SETMASK, &before_, nullptr);
}

} // namespace qal
