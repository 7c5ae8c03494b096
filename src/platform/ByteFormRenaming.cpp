// The renaming of names made by earlier versions, which wrote a name's
// Windows-1252 bytes as they were: a file opened to append under such a
// name takes its UTF-8 form (hostPath finds both and gives the new one).

#include "platform/FileTable.h"

#include <filesystem>

namespace qal {

void FileTable::renameToUtf8(Slot& s, const std::filesystem::path& utf8Form) noexcept
{
    // Only under the file's own lock: a lock file is tied to the name, so a
    // run opening the new name would not wait for it.
    if (!s.lockFile.empty())
        return;
    // Never over a file of that name (another run may have renamed it
    // first); a rename refused leaves the old name in use, as before.
    if (!host_->renameNoReplace(s.path, utf8Form))
        return;
    s.path = utf8Form;
    host_->syncFolder(utf8Form.parent_path());
}

} // namespace qal
