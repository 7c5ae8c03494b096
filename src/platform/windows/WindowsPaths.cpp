// Folders, paths and time on Windows: the long form of a path, making a
// folder (and no folder sync), what the path lookup looks at (names,
// folders' entries, the environment, the current folder), the drive a letter
// stands for, host paths from and to UTF-8, and local time.

#include "platform/windows/WindowsHost.h"

#include "platform/RunError.h"
#include "platform/windows/WideText.h"
#include "platform/windows/WindowsErrors.h"

#include <cstdlib>
#include <ctime>
#include <string>
#include <system_error>
#include <windows.h>

namespace qal {

namespace fs = std::filesystem;

std::wstring extendedPath(const fs::path& path)
{
    // CreateDirectoryW's limit (MAX_PATH less room for an 8.3 name) is the
    // lowest of the calls here.
    constexpr std::size_t shortLimit = MAX_PATH - 12;
    std::wstring text = path.native();
    // A network path (\\server\share\...), which the standard library does
    // not take for absolute.
    const bool network = text.starts_with(L"\\\\") || text.starts_with(L"//");
    if (text.size() < shortLimit || text.starts_with(L"\\\\?\\") || !(network || path.is_absolute()))
        return text;
    // The prefix turns off Windows' own handling of ".", ".." and "/": done
    // here instead (a network path made by the program holds neither . nor
    // ..).
    if (!network)
        text = path.lexically_normal().native();
    for (wchar_t& c : text)
        if (c == L'/')
            c = L'\\';
    if (network)
        return L"\\\\?\\UNC\\" + text.substr(2);
    return L"\\\\?\\" + text;
}

void WindowsHost::makeFolder(const fs::path& path)
{
    if (!CreateDirectoryW(extendedPath(path).c_str(), nullptr))
        throw RunError(windowsErrorNumber(GetLastError(), HostCall::MakeFolder));
}

void WindowsHost::syncFolder(const fs::path&) noexcept
{
    // Nothing to do: NTFS journals its metadata, so a new entry in a folder
    // survives a power cut once the file's own data is flushed; and a folder
    // cannot be opened for flushing by a standard user (FlushFileBuffers on
    // a folder handle needs administrator rights).
}

bool WindowsHost::exists(const fs::path& path) noexcept
{
    // Never following a link: a reparse point's own attributes.
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

std::vector<fs::path> WindowsHost::folderNames(const fs::path& folder)
{
    std::vector<fs::path> names;
    std::error_code ec;
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
        names.push_back(it->path().filename());
    return names;
}

bool WindowsHost::isFolder(const fs::path& path) noexcept
{
    std::error_code ec;
    return fs::is_directory(path, ec);
}

std::string WindowsHost::environment(std::string_view name)
{
    // As the C library has it: in the ANSI code page, which the program's
    // manifest makes UTF-8.
    const char* value = std::getenv(std::string(name).c_str());
    return value ? value : "";
}

fs::path WindowsHost::currentFolder()
{
    return fs::current_path();
}

fs::path defaultDriveRoot(char upperLetter)
{
    // The drive itself, as the original used it: "c:\drovnel" is C:\drovnel.
    return fs::path(std::wstring{static_cast<wchar_t>(upperLetter), L':', L'\\'});
}

bool hostMatchesLetterCase()
{
    return true;
}

fs::path hostPathFromUtf8(std::string_view utf8)
{
    return fs::path(wideFromUtf8(utf8));
}

std::string utf8FromHostPath(const fs::path& path)
{
    return utf8FromWide(path.native());
}

std::tm localTime(std::time_t seconds)
{
    std::tm local{};
    localtime_s(&local, &seconds);
    return local;
}

} // namespace qal
