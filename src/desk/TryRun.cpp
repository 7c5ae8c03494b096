#include "desk/TryRun.h"

#include "platform/Host.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace qal {

std::string lessonProgramBeside(const std::string& deskProgram)
{
#ifdef _WIN32
    const char* const name = "qalesson.exe";
#else
    const char* const name = "qalesson";
#endif
    return utf8FromHostPath(hostPathFromUtf8(deskProgram).parent_path() / name);
}

std::string makeScratchDrive(std::string& reason)
{
    std::error_code ec;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(ec);
    if (ec) {
        reason = ec.message();
        return {};
    }
    // A name no other trial has: the time in microseconds, and the next one
    // up when a folder of that name is there already.
    auto stamp =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    for (int attempt = 0; attempt < 100; ++attempt, ++stamp) {
        const std::filesystem::path folder = temporary / ("qalesson-trial-" + std::to_string(stamp));
        if (std::filesystem::create_directory(folder, ec))
            return utf8FromHostPath(folder);
        if (ec)
            break;
    }
    reason = ec ? ec.message() : std::string("every name tried is taken");
    return {};
}

std::vector<std::string> filesUnder(const std::string& folder)
{
    std::vector<std::string> files;
    const std::filesystem::path root = hostPathFromUtf8(folder);
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code kind;
        if (it->is_regular_file(kind))
            files.push_back(utf8FromHostPath(it->path().lexically_relative(root)));
    }
    for (std::string& file : files)
        std::replace(file.begin(), file.end(), '\\', '/');
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace qal
