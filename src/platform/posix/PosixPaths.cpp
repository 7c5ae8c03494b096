// Folders, paths and time on POSIX: making and flushing a folder, what the
// path lookup looks at (names, folders' entries, the environment, the
// current folder), the drive a letter stands for (the home folder for C),
// host paths from and to UTF-8, and local time.

#include "platform/posix/PosixHost.h"

#include "platform/RunError.h"
#include "platform/posix/PosixErrors.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <pwd.h>
#include <string>
#include <system_error>
#include <sys/stat.h>
#include <unistd.h>

namespace qal {

void PosixHost::makeFolder(const std::filesystem::path& path)
{
    if (::mkdir(path.c_str(), 0777) != 0)
        throw RunError(folderErrorNumber(errno));
}

void PosixHost::syncFolder(const std::filesystem::path& folder) noexcept
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    (void)::fsync(fd);
    ::close(fd);
}

bool PosixHost::exists(const std::filesystem::path& path) noexcept
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::filesystem::path> PosixHost::folderNames(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> names;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec))
        names.push_back(it->path().filename());
    return names;
}

bool PosixHost::isFolder(const std::filesystem::path& path) noexcept
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string PosixHost::environment(std::string_view name)
{
    const char* value = std::getenv(std::string(name).c_str());
    return value ? value : "";
}

std::filesystem::path PosixHost::currentFolder()
{
    return std::filesystem::current_path();
}

std::filesystem::path defaultDriveRoot(char upperLetter)
{
    if (upperLetter != 'C')
        throw RunError(err::PathNotFound);
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

bool hostMatchesLetterCase()
{
    return false;
}

std::filesystem::path hostPathFromUtf8(std::string_view utf8)
{
    return std::filesystem::path(std::string(utf8));
}

std::string utf8FromHostPath(const std::filesystem::path& path)
{
    return path.string();
}

std::tm localTime(std::time_t seconds)
{
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}

} // namespace qal
