#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace qal {

// qalesson-report [--html] FILE...: reads master, send and notes files and
// writes the CSV report (or with --html the HTML page) on out. A piece of a
// file that is no whole block is reported on err as "FILE:LINE: warning: ..."
// and skipped. Arguments as main() receives them, the program name first.
// Returns the exit status: 0; 1 when something was skipped; 2 when a file
// cannot be read or the arguments are wrong.
int reportCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

} // namespace qal
