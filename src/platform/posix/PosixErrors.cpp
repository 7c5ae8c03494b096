#include "platform/posix/PosixErrors.h"

#include "platform/RunError.h"

#include <cerrno>

namespace qal {

int openErrorNumber(int error, bool reading)
{
    switch (error) {
    case ENOENT:
        return reading ? err::FileNotFound : err::PathNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
        return err::PathNotFound;
    case ENOSPC:
    case EDQUOT:
        return err::DiskFull;
    case EMFILE:
    case ENFILE:
        return err::TooManyFiles;
    case EIO:
        return err::DeviceIOError;
    case ETXTBSY:
    case EWOULDBLOCK:
        return err::PermissionDenied;
    default: // EACCES, EPERM, EROFS, EISDIR and the rest
        return err::PathFileAccessError;
    }
}

int writeErrorNumber(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return err::DiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
        return err::PermissionDenied;
    default:
        return err::DeviceIOError;
    }
}

int folderErrorNumber(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return err::PathNotFound;
    case ENOSPC:
        return err::DiskFull;
    default: // EEXIST: the folder is there already; EACCES and the rest
        return err::PathFileAccessError;
    }
}

} // namespace qal
