#include "platform/windows/WindowsErrors.h"

#include "platform/RunError.h"
#include "platform/windows/WideText.h"

#include <windows.h>

namespace qal {

namespace {
// Missing from mingw-w64's headers.
constexpr unsigned long errorDiskQuotaExceeded = 1295; // ERROR_DISK_QUOTA_EXCEEDED
} // namespace

int windowsErrorNumber(unsigned long error, HostCall call)
{
    const bool opening = call != HostCall::Write;
    switch (error) {
    // A missing file is "file not found" only to a reader (its folder is
    // there: a missing folder answers ERROR_PATH_NOT_FOUND). Opening to write
    // creates a missing file, so there it can only mean that the folder went
    // away meanwhile, as POSIX's ENOENT does.
    case ERROR_FILE_NOT_FOUND:
        return call == HostCall::OpenToRead ? err::FileNotFound : opening ? err::PathNotFound : err::DeviceIOError;
    // A folder on the way is missing, the drive is not there (an unmapped
    // letter, a network share gone, a card reader without a card) or the path
    // is too long: "path not found", as for an unmapped drive letter.
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
        return opening ? err::PathNotFound : err::DeviceIOError;
    // A character Windows does not take in a name (? * : < > | "): the
    // original's "bad file name".
    case ERROR_INVALID_NAME:
        return opening ? err::BadFileNameOrNumber : err::DeviceIOError;
    // Not allowed, or a folder where a file was wanted (Windows refuses to
    // open a folder as a file with this error): "path/file access error" on
    // an open as on POSIX; while writing, as EACCES there, "permission
    // denied".
    case ERROR_ACCESS_DENIED:
        return opening ? err::PathFileAccessError : err::PermissionDenied;
    // A folder or a file (a lock file) that is there already.
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        return err::PathFileAccessError;
    // Another program holds the file open without sharing it, or holds a lock
    // on its bytes; a write-protected disk: the original's "permission
    // denied", as POSIX answers for a file held busy.
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return err::PermissionDenied;
    // The disk, the user's quota or the file's size limit (4 GiB on FAT32).
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case errorDiskQuotaExceeded:
    case ERROR_FILE_TOO_LARGE:
        return err::DiskFull;
    case ERROR_TOO_MANY_OPEN_FILES:
        return opening ? err::TooManyFiles : err::DeviceIOError;
    // The device or the network failed on the way.
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_CRC:
    case ERROR_SEEK:
    case ERROR_IO_DEVICE:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_NETNAME_DELETED:
        return err::DeviceIOError;
    // Anything else: as POSIX maps what it does not know.
    default:
        return opening ? err::PathFileAccessError : err::DeviceIOError;
    }
}

std::string systemMessage(unsigned long error)
{
    wchar_t text[512];
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                        text, sizeof text / sizeof text[0], nullptr);
    std::string message = utf8FromWide(std::wstring_view(text, length));
    while (!message.empty() &&
           (message.back() == '.' || message.back() == ' ' || message.back() == '\r' || message.back() == '\n'))
        message.pop_back();
    return message.empty() ? "system error " + std::to_string(error) : message;
}

} // namespace qal
