#pragma once

#include <string>

namespace qal {

// What the program was doing when a Windows call failed: the same error
// means a different thing to the student (a missing file to read is "File
// not found", a missing file while writing means its folder went away).
enum class HostCall {
    OpenToRead,  // opening a file for Input
    OpenToWrite, // opening a file for Append or Output, or a lock file
    Write,       // writing, flushing to the disk, the file's size
    MakeFolder,  // creating a folder
};

// The program's error number (RunError.h) for GetLastError()'s answer, as
// the original's runtime reported it on Windows and as the POSIX host maps
// the same failures: one table for the whole Windows host.
int windowsErrorNumber(unsigned long error, HostCall call);

// The system's words for an error, without the closing point and line end
// ("Access is denied"), for the lesson and report readers' messages.
std::string systemMessage(unsigned long error);

} // namespace qal
