#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

namespace qal {

// The longest file name the host's file systems take, in bytes (of UTF-8).
constexpr std::size_t hostNameLimit = 255;

// The file beside `file` whose name is prefix, file's name and suffix (a lock
// file, a journal). Where that would pass hostNameLimit, file's name is cut
// where a character starts (never inside a UTF-8 sequence): two files cut to
// the same name then share it.
std::filesystem::path besideFile(const std::filesystem::path& file, std::string_view prefix, std::string_view suffix);

// Maps a Windows path such as "c:\drovnel\masterFile_Ann_Lee.txt" onto the
// host's file system.
//
// Drive letter X maps to the folder named by the environment variable
// QALESSON_DRIVE_X (letter in capitals) when it is set. Otherwise, on Windows
// the drive is the real one; elsewhere drive C maps to the home folder and
// any other drive fails with 76 (path not found), as an unmapped network
// drive does. Backslashes (and slashes) separate
// folders. A path without a drive is taken relative to the current folder.
//
// The path is Windows-1252 text; on the host its names are UTF-8 (Zoë stays
// Zoë in a file manager). Each component that already exists under another
// letter case is matched to it, as Windows matches names, for every letter of
// the code page; so is one made by earlier versions, which wrote the
// Windows-1252 bytes as they were. A missing component keeps the case given.
//
// On Windows the file system does that matching itself. Where a folder holds
// several names that differ only in letter case (Windows never has two, the
// host may), the exact name wins (UTF-8 before the older
// byte form); otherwise an entry of the kind wanted (a folder on the way, and
// for the last component what `last` says), and among those the first in byte
// order, so the same one every time.
//
// When the last component is found under the older byte form, *utf8Form (if
// given) is set to the same path with that name in UTF-8 (its letter case
// kept): the name to rename it to. Otherwise it is cleared.
enum class PathKind { File, Folder };
std::filesystem::path hostPath(std::string_view windowsPath, PathKind last = PathKind::File,
                               std::filesystem::path* utf8Form = nullptr);

} // namespace qal
