#include "platform/Journal.h"

#include "platform/Host.h"
#include "platform/WinPath.h"

#include <charconv>

namespace qal {

namespace {

constexpr std::string_view firstLine = "qalesson journal 1\n";
constexpr std::string_view lastLine = "whole\n";

// Reads a number and the blank after it from the front of text.
bool takeNumber(std::string_view& text, std::uint64_t& number)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end == text.data() + text.size() || *end != ' ')
        return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()) + 1);
    return true;
}

// A word up to the next blank or line end, and that blank or line end.
std::string takeWord(std::string_view& text)
{
    const std::size_t end = text.find_first_of(" \n");
    if (end == std::string_view::npos || end == 0)
        return {};
    std::string word(text.substr(0, end));
    text.remove_prefix(end + 1);
    return word;
}

} // namespace

std::filesystem::path journalPath(const std::filesystem::path& firstFile)
{
    return besideFile(firstFile, ".", "-journal");
}

std::string journalText(const Journal& journal)
{
    // A file's path is the last thing on its line, its length given first,
    // so that a name holding blanks or line ends reads back as it was.
    std::string text(firstLine);
    text += "owner " + journal.owner.machineName + " " + journal.owner.machineId + " " +
            std::to_string(journal.owner.processId) + "\n";
    for (const JournalFile& file : journal.files) {
        const std::string path = utf8FromHostPath(file.path);
        text += "file " + std::to_string(file.length) + " " + std::to_string(file.adding) + " " +
                std::to_string(path.size()) + " " + path + "\n";
    }
    text += lastLine;
    return text;
}

std::optional<Journal> parseJournal(std::string_view text)
{
    if (!text.starts_with(firstLine) || !text.ends_with(lastLine))
        return std::nullopt;
    text.remove_prefix(firstLine.size());
    text.remove_suffix(lastLine.size());
    Journal journal;
    if (!text.starts_with("owner "))
        return std::nullopt;
    text.remove_prefix(6);
    journal.owner.machineName = takeWord(text);
    journal.owner.machineId = takeWord(text);
    std::uint64_t pid = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), pid);
    if (journal.owner.machineId.empty() || error != std::errc() || end == text.data() + text.size() || *end != '\n')
        return std::nullopt;
    journal.owner.processId = static_cast<long long>(pid);
    text.remove_prefix(static_cast<std::size_t>(end - text.data()) + 1);
    while (!text.empty()) {
        JournalFile file;
        std::uint64_t pathSize = 0;
        if (!text.starts_with("file "))
            return std::nullopt;
        text.remove_prefix(5);
        if (!takeNumber(text, file.length) || !takeNumber(text, file.adding) || !takeNumber(text, pathSize) ||
            pathSize >= text.size() || text[pathSize] != '\n')
            return std::nullopt;
        file.path = hostPathFromUtf8(text.substr(0, pathSize));
        text.remove_prefix(pathSize + 1);
        journal.files.push_back(std::move(file));
    }
    return journal;
}

std::vector<Recovery> recover(const std::vector<JournalFile>& files, const std::vector<std::uint64_t>& sizes)
{
    bool wholeEverywhere = true;
    for (std::size_t i = 0; i < files.size(); ++i)
        wholeEverywhere = wholeEverywhere && sizes[i] == files[i].length + files[i].adding;
    std::vector<Recovery> out;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::uint64_t length = files[i].length;
        const std::uint64_t size = sizes[i];
        if (wholeEverywhere || size == length)
            out.push_back(Recovery::Keep);
        else if (size > length && size <= length + files[i].adding)
            out.push_back(Recovery::CutBack);
        else
            out.push_back(Recovery::Leave);
    }
    return out;
}

} // namespace qal
