#include "platform/Console.h"

#include "platform/windows/WideText.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

namespace qal {

void useBinaryStandardOutput()
{
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
}

std::vector<std::string> commandLineArguments(int argc, char* argv[])
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        arguments.push_back(utf8FromWide(wide[i]));
    LocalFree(wide);
    return arguments;
}

void useParentConsole()
{
    // A stream that goes somewhere already (a file, a pipe: `qalesson
    // --check x > out.txt`) keeps going there; only those with no handle are
    // pointed at the parent's console, when there is one.
    auto unset = [](DWORD which) {
        const HANDLE handle = GetStdHandle(which);
        return handle == nullptr || handle == INVALID_HANDLE_VALUE;
    };
    const bool outUnset = unset(STD_OUTPUT_HANDLE);
    const bool errUnset = unset(STD_ERROR_HANDLE);
    if (!outUnset && !errUnset)
        return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    std::FILE* ignored = nullptr;
    if (outUnset)
        ignored = std::freopen("CONOUT$", "w", stdout);
    if (errUnset)
        ignored = std::freopen("CONOUT$", "w", stderr);
    (void)ignored;
    // The streams were reopened in text mode; the program's line breaks are
    // LF and the console shows them as lines.
}

} // namespace qal
