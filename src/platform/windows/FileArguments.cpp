#include "platform/FileArguments.h"

#include "platform/windows/WideText.h"

#include <windows.h>

#include <algorithm>
#include <string_view>

namespace qal {

std::vector<std::string> expandedFileArguments(const std::vector<std::string>& arguments)
{
    std::vector<std::string> expanded;
    for (const std::string& argument : arguments) {
        const std::size_t slash = argument.find_last_of("\\/:");
        const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
        if (argument.find_first_of("*?", nameStart) == std::string::npos) {
            expanded.push_back(argument);
            continue;
        }
        const std::string folder = argument.substr(0, nameStart);
        std::vector<std::string> names;
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW(wideFromUtf8(argument).c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                    names.push_back(folder + utf8FromWide(found.cFileName));
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        if (names.empty()) {
            expanded.push_back(argument);
            continue;
        }
        std::sort(names.begin(), names.end());
        expanded.insert(expanded.end(), names.begin(), names.end());
    }
    return expanded;
}

} // namespace qal
