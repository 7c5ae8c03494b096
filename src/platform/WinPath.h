#pragma once

#include "platform/Host.h"

#include <cstddef>
#include <filesystem>
#include <map>
#include <string>
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
//
// What it looks at (whether a name exists, what a folder holds, the drive
// variables, the current folder) it asks the host (Host.h) for; it changes
// nothing. This one asks the system's host and remembers nothing.
enum class PathKind { File, Folder };
std::filesystem::path hostPath(std::string_view windowsPath, PathKind last = PathKind::File,
                               std::filesystem::path* utf8Form = nullptr);

// The same lookup on a host given, remembering the folder each path lies in
// until told to forget: the files of a unit (a record's master and send
// files, in one folder) look their folder up once. The file table forgets
// at the start of each unit, and whenever it makes a folder; what stood in
// the file system in between is taken to stand still.
class PathLookup {
public:
    explicit PathLookup(Host& host) : host_(&host) {}

    std::filesystem::path hostPath(std::string_view windowsPath, PathKind last = PathKind::File,
                                   std::filesystem::path* utf8Form = nullptr);
    void forget() { folders_.clear(); }
    void setHost(Host& host)
    {
        host_ = &host;
        forget();
    }

private:
    std::filesystem::path driveRoot(char letter);

    Host* host_;
    // The host folder of each Windows folder looked up, by its drive (a
    // backslash for the current drive, nothing for the current folder) and
    // its names, as given.
    std::map<std::string, std::filesystem::path> folders_;
};

} // namespace qal
