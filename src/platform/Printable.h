#pragma once

#include <string>
#include <string_view>

namespace qal {

// Text fit to be shown on a terminal or in one line of a warning: every
// control character (ESC, a line end, DEL) written as an escape ("\x1b",
// "\n"), so that a file name cannot move the cursor, recolour the terminal
// or split a message. Other bytes, UTF-8 included, are left as they are.
std::string printable(std::string_view text);

} // namespace qal
