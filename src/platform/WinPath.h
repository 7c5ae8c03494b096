#pragma once

#include <filesystem>
#include <string_view>

namespace qal {

// Maps a Windows path such as "c:\drovnel\masterFile_Ann_Lee.txt" onto the
// host's file system.
//
// Drive letter X maps to the folder named by the environment variable
// QALESSON_DRIVE_X (letter in capitals) when it is set; drive C otherwise maps
// to the home folder. Any other unmapped drive fails with 76 (path not found),
// as an unmapped network drive does. Backslashes (and slashes) separate
// folders. Each component that already exists under another letter case is
// matched to it, as Windows matches names; a missing component keeps the case
// given. A path without a drive is taken relative to the current folder.
//
// Where a folder holds several names that differ only in letter case (Windows
// never has two, the host may), the exact name wins; otherwise an entry of the
// kind wanted (a folder on the way, and for the last component what `last`
// says), and among those the first in byte order, so the same one every time.
enum class PathKind { File, Folder };
std::filesystem::path hostPath(std::string_view windowsPath, PathKind last = PathKind::File);

} // namespace qal
