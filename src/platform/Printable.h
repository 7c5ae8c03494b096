#pragma once

#include <string>
#include <string_view>

namespace qal {

// Text fit to be shown on a terminal or in one line of a warning: every
// control character (ESC, a line end, DEL) written as an escape ("\x1b",
// "\n"), and so is each C1 control, U+0080 to U+009F in UTF-8 ("\u009b"), so
// that a file name or a text of a lesson or a record cannot move the cursor,
// recolour the terminal or split a message. Other bytes, UTF-8 included, are
// left as they are. Every message that shows such a text shows it through
// this.
std::string printable(std::string_view text);

} // namespace qal
