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

// The entry of folder whose name equals name regardless of letter case; empty
// when there is none. The exact name first, then one of the kind wanted, then
// any; among several, the first in byte order.
std::string matchingEntry(const fs::path& folder, const std::string& name, PathKind kind)
{
    std::error_code ec;
    if (fs::exists(fs::symlink_status(folder / name, ec)))
        return name;
    const std::string wanted = lower(name);
    std::string best;
    bool bestFits = false;
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (lower(entry) != wanted)
            continue;
        std::error_code kindError;
        const bool fits = it->is_directory(kindError) == (kind == PathKind::Folder);
        if (best.empty() || (fits && !bestFits) || (fits == bestFits && entry < best)) {
            best = entry;
            bestFits = fits;
        }
    }
    return best;
}

} // namespace

fs::path hostPath(std::string_view windowsPath, PathKind last)
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

    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string& name = parts[i];
        if (name == ".")
            continue;
        if (name == "..") {
            result = result.parent_path();
            continue;
        }
        const PathKind kind = i + 1 == parts.size() ? last : PathKind::Folder;
        const std::string existing = matchingEntry(result, name, kind);
        result /= existing.empty() ? name : existing;
    }
    return result;
}

} // namespace qal
