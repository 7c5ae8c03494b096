#pragma once

#include <string>
#include <vector>

namespace qal {

// The file arguments of a command as the user meant them. On POSIX the
// shell has expanded "*" and "?" already, and the arguments are returned as
// they are. On Windows the shell (cmd.exe, PowerShell) leaves that to the
// program: an argument whose last part holds "*" or "?" becomes the files
// of its folder that match it, sorted by name, each written with the
// argument's own folder part; one that matches nothing stays as it is, so
// that reading it says why.
std::vector<std::string> expandedFileArguments(const std::vector<std::string>& arguments);

} // namespace qal
