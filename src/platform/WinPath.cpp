#include "platform/WinPath.h"

#include "platform/RunError.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace qal {

namespace {

namespace fs = std::filesystem;

std::string lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

fs::path homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

fs::path driveRoot(char letter)
{
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    const std::string variable = std::string("QALESSON_DRIVE_") + upper;
    if (const char* mapped = std::getenv(variable.c_str()); mapped && *mapped)
        return mapped;
    if (upper == 'C')
        return homeFolder();
    throw RunError(err::PathNotFound);
}

// The entry of folder whose name equals name regardless of letter case
// (an exact match wins); empty when there is none.
std::string matchingEntry(const fs::path& folder, const std::string& name)
{
    std::error_code ec;
    if (fs::exists(folder / name, ec))
        return name;
    const std::string wanted = lower(name);
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (lower(entry) == wanted)
            return entry;
    }
    return {};
}

} // namespace

fs::path hostPath(std::string_view windowsPath)
{
    fs::path result;
    std::string_view rest = windowsPath;
    if (rest.size() >= 2 && rest[1] == ':' && std::isalpha(static_cast<unsigned char>(rest[0]))) {
        result = driveRoot(rest[0]);
        rest.remove_prefix(2);
    } else if (!rest.empty() && (rest[0] == '\\' || rest[0] == '/')) {
        result = driveRoot('C');
    } else {
        result = fs::current_path();
    }

    std::vector<std::string> parts;
    std::string part;
    for (char c : rest) {
        if (c == '\\' || c == '/') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);

    for (const auto& name : parts) {
        if (name == ".")
            continue;
        if (name == "..") {
            result = result.parent_path();
            continue;
        }
        const std::string existing = matchingEntry(result, name);
        result /= existing.empty() ? name : existing;
    }
    return result;
}

} // namespace qal
