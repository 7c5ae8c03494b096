#include "platform/Console.h"

namespace qal {

void useBinaryStandardOutput()
{
    // POSIX streams have no text mode: bytes go out as they are.
}

std::vector<std::string> commandLineArguments(int argc, char* argv[])
{
    // The arguments are the bytes the shell passed, UTF-8 on any current
    // system.
    return std::vector<std::string>(argv, argv + argc);
}

void useParentConsole()
{
    // A program started from a terminal writes to it already.
}

} // namespace qal
