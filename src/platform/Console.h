#pragma once

#include <string>
#include <vector>

namespace qal {

// A console program's standard streams and command line as the host gives
// them, for the programs' main functions.

// Standard output takes the program's bytes as they are. Windows opens it in
// text mode, where every LF written becomes CR LF, so a CR LF the program
// writes would arrive as CR CR LF; POSIX has nothing to change.
void useBinaryStandardOutput();

// The command line's arguments as UTF-8 text, the program's name first.
// Windows hands main its arguments in the ANSI code page, which lacks most
// of the characters a file name may hold; they are read in UTF-16 instead.
std::vector<std::string> commandLineArguments(int argc, char* argv[]);

// A window program's standard output and error go to the console it was
// started from, so that its options that only print (--help, --version,
// --check) are seen there. A Windows GUI program has no console of its own
// and prints nowhere unless it attaches to its parent's; streams already
// redirected to a file or a pipe stay as they are. POSIX has nothing to do.
void useParentConsole();

} // namespace qal
