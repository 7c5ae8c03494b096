#include "platform/WinPath.h"

#include "platform/CodePage.h"
#include "platform/Host.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace qal {

std::filesystem::path besideFile(const std::filesystem::path& file, std::string_view prefix, std::string_view suffix)
{
    std::string name = utf8FromHostPath(file.filename());
    if (prefix.size() + name.size() + suffix.size() > hostNameLimit) {
        std::size_t cut = hostNameLimit - prefix.size() - suffix.size();
        while (cut > 0 && isUtf8Continuation(static_cast<unsigned char>(name[cut])))
            --cut;
        name.resize(cut);
    }
    return file.parent_path() / hostPathFromUtf8(std::string(prefix).append(name).append(suffix));
}

namespace {

namespace fs = std::filesystem;

// A Windows-1252 character with letter case folded as Windows folds it in
// file names: every small letter of the code page stands for its capital
// (a-z, the accented letters, š œ ž ÿ). Letters whose capital the code page
// lacks (ß, µ, ƒ) and the signs × and ÷ stay as they are.
unsigned char foldCase(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned char>(c - 'a' + 'A');
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return static_cast<unsigned char>(c - 0x20);
    switch (c) {
    case 0x9A: // š
    case 0x9C: // œ
    case 0x9E: // ž
        return static_cast<unsigned char>(c - 0x10);
    case 0xFF: // ÿ
        return 0x9F;
    default:
        return c;
    }
}

std::string folded(std::string_view cp1252)
{
    std::string out(cp1252);
    for (char& c : out)
        c = static_cast<char>(foldCase(static_cast<unsigned char>(c)));
    return out;
}

// A host file name as Windows-1252 text: false when it is not well-formed
// UTF-8 or holds a character that the code page lacks.
bool hostNameAsCp1252(std::string_view utf8, std::string& out)
{
    bool whole = true;
    out = utf8ToCp1252(utf8, [&](const Unheld&) { whole = false; });
    return whole;
}

// An existing entry of a folder, and whether its name is in the older byte
// form (Windows-1252 bytes as they are, not UTF-8).
struct Entry {
    std::string name; // empty: none
    bool byteForm = false;
};

// The entry of folder that stands for name (Windows-1252 text, hostName its
// UTF-8 form) regardless of letter case. In turn: the name itself, then the
// name in the older byte form, then an entry equal but for letter case, of
// the kind wanted before any other, and among several the first in byte
// order. An entry is read as UTF-8 where it is that, and as Windows-1252
// bytes too, so that files made under the older byte form are found as well.
Entry matchingEntry(Host& host, const fs::path& folder, const std::string& name, const std::string& hostName,
                    PathKind kind)
{
    if (host.exists(folder / hostPathFromUtf8(hostName)))
        return {hostName, false};
    if (hostName != name && host.exists(folder / hostPathFromUtf8(name)))
        return {name, true};
    const std::string wanted = folded(name);
    Entry best;
    bool bestFits = false;
    std::string asText;
    for (const fs::path& found : host.folderNames(folder)) {
        const std::string entry = utf8FromHostPath(found);
        if (entry.size() < wanted.size() || entry.size() > 4 * wanted.size())
            continue;
        const bool asUtf8 = hostNameAsCp1252(entry, asText) && folded(asText) == wanted;
        if (!asUtf8 && folded(entry) != wanted)
            continue;
        const bool fits = host.isFolder(folder / found) == (kind == PathKind::Folder);
        if (best.name.empty() || (fits && !bestFits) || (fits == bestFits && entry < best.name)) {
            // Found only as bytes: a name of the older form (an ASCII name
            // reads the same either way).
            best = {entry, !asUtf8};
            bestFits = fits;
        }
    }
    return best;
}

} // namespace

fs::path PathLookup::driveRoot(char letter)
{
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    if (const std::string mapped = host_->environment(std::string("QALESSON_DRIVE_") + upper); !mapped.empty())
        return hostPathFromUtf8(mapped);
    return defaultDriveRoot(upper);
}

fs::path PathLookup::hostPath(std::string_view windowsPath, PathKind last, fs::path* utf8Form)
{
    if (utf8Form)
        utf8Form->clear();
    std::string_view rest = windowsPath;
    // Where the path starts: a drive (c: and C: alike), the current drive,
    // or the current folder (the folder's key in folders_ starts so too).
    std::string start;
    if (rest.size() >= 2 && rest[1] == ':' && std::isalpha(static_cast<unsigned char>(rest[0]))) {
        start = {static_cast<char>(std::toupper(static_cast<unsigned char>(rest[0]))), ':'};
        rest.remove_prefix(2);
    } else if (!rest.empty() && (rest[0] == '\\' || rest[0] == '/')) {
        start = "\\";
    }

    std::vector<std::string> parts;
    std::string part;
    for (char c : rest) {
        if (c == '\\' || c == '/') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);

    // The folder the last name lies in, as found before, or looked up now.
    std::string key = start;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i)
        key.append("\\").append(parts[i]);
    const auto known = parts.empty() ? folders_.end() : folders_.find(key);
    fs::path result;
    std::size_t from = 0;
    if (known != folders_.end()) {
        result = known->second;
        from = parts.size() - 1;
    } else if (start.size() == 2) {
        result = driveRoot(start[0]);
    } else if (!start.empty()) {
        result = driveRoot('C');
    } else {
        result = host_->currentFolder();
    }

    for (std::size_t i = from; i < parts.size(); ++i) {
        const std::string& name = parts[i];
        if (i + 1 == parts.size() && known == folders_.end())
            folders_.emplace(key, result);
        if (name == ".")
            continue;
        if (name == "..") {
            result = result.parent_path();
            continue;
        }
        const PathKind kind = i + 1 == parts.size() ? last : PathKind::Folder;
        // Windows-1252 text on the Windows side, UTF-8 on the host. A host
        // that matches letter case itself is left to do it.
        const std::string hostName = cp1252ToUtf8(name);
        const Entry existing = hostMatchesLetterCase() ? Entry{} : matchingEntry(*host_, result, name, hostName, kind);
        if (utf8Form && existing.byteForm && i + 1 == parts.size())
            *utf8Form = result / hostPathFromUtf8(cp1252ToUtf8(existing.name));
        result /= hostPathFromUtf8(existing.name.empty() ? hostName : existing.name);
    }
    return result;
}

fs::path hostPath(std::string_view windowsPath, PathKind last, fs::path* utf8Form)
{
    PathLookup once(systemHost());
    return once.hostPath(windowsPath, last, utf8Form);
}

} // namespace qal
