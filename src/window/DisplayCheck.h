#pragma once

#include <string>
#include <vector>

namespace qal {

// What the program says on standard error when it cannot open its window,
// before it exits with status 2.
inline constexpr const char* noDisplayMessage =
    "qalesson: cannot open a window: no display (DISPLAY or WAYLAND_DISPLAY is not set, or the display cannot be "
    "reached)";

// Whether the window toolkit, started with these arguments (the program's
// name first, then the toolkit's own options, as CommandLine hands them on)
// in this environment, finds a display to open its window on. Asked before
// the toolkit starts, because the toolkit aborts the program when it finds
// none.
//
// The toolkit's platform is the one named by -platform, or else by
// QT_QPA_PLATFORM (a list separated by ";" is tried in its order), or else
// the desktop's own: X or Wayland. Only X and Wayland need a display: an X
// display (-display, or else DISPLAY) that accepts a connection, or a
// Wayland display (WAYLAND_DISPLAY, a socket in XDG_RUNTIME_DIR unless it is
// a path) that listens. Any other platform (offscreen, for instance) is left
// to the toolkit, and this is true. On Windows and macOS it is always true.
bool displayReachable(const std::vector<std::string>& toolkitArguments);

// From here until toolkitStarted(), a fatal failure of the toolkit (a
// display found above that refuses the program after all) ends the program
// with the toolkit's message, then noDisplayMessage, and status 2, rather than
// an abort.
void toolkitStarting();
void toolkitStarted();

} // namespace qal
