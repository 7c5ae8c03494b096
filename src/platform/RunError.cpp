#include "platform/RunError.h"

namespace qal {

std::string errorText(int number)
{
    switch (number) {
    case err::InvalidProcedureCall:
        return "Invalid procedure call or argument";
    case err::Overflow:
        return "Overflow";
    case err::SubscriptOutOfRange:
        return "Subscript out of range";
    case err::TypeMismatch:
        return "Type mismatch";
    case err::BadFileNameOrNumber:
        return "Bad file name or number";
    case err::FileNotFound:
        return "File not found";
    case err::BadFileMode:
        return "Bad file mode";
    case err::FileAlreadyOpen:
        return "File already open";
    case err::DeviceIOError:
        return "Device I/O error";
    case err::DiskFull:
        return "Disk full";
    case err::InputPastEndOfFile:
        return "Input past end of file";
    case err::TooManyFiles:
        return "Too many files";
    case err::PermissionDenied:
        return "Permission denied";
    case err::PathFileAccessError:
        return "Path/File access error";
    case err::PathNotFound:
        return "Path not found";
    case err::CantOpenClipboard:
        return "Can't open Clipboard";
    default:
        return "Application-defined or object-defined error";
    }
}

std::string runTimeErrorMessage(int number)
{
    return "Run-time error '" + std::to_string(number) + "':\r\n\r\n" + errorText(number);
}

RunError::RunError(int number) : std::runtime_error(runTimeErrorMessage(number)), number_(number) {}

RunError::RunError(int number, std::vector<UnitFileHeld> unitFiles) : RunError(number)
{
    unitFiles_ = std::move(unitFiles);
}

bool RunError::leftInFiles() const noexcept
{
    for (const UnitFileHeld& file : unitFiles_)
        if (file.held != UnitHeld::None)
            return true;
    return false;
}

} // namespace qal
