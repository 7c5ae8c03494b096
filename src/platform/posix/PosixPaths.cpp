// Folders, paths and time on POSIX: making and flushing a folder, the drive
// a letter stands for (the home folder for C), host paths from and to
// UTF-8, and local time.

#include "platform/posix/PosixHost.h"

#include "platform/RunError.h"
#include "platform/posix/PosixErrors.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <pwd.h>
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
