#include "platform/Journal.h"

#include "platform/Host.h"
#include "platform/WinPath.h"

#include <array>
#include <charconv>

namespace qal {

namespace {

constexpr std::string_view firstLine = "qalesson journal 2\n";
constexpr std::string_view checkWord = "check ";
// The journal of the version before: truncated between units, closed by a
// line that says it is whole.
constexpr std::string_view firstLineBefore = "qalesson journal 1\n";
constexpr std::string_view lastLineBefore = "whole\n";

// CRC-32 (the polynomial of zip and PNG), from a table made at compile time.
constexpr std::array<std::uint32_t, 256> crcTable = [] {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}();

std::uint32_t crc32(std::string_view bytes)
{
    std::uint32_t c = 0xFFFFFFFFu;
    for (const char b : bytes)
        c = crcTable[(c ^ static_cast<unsigned char>(b)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::string hex8(std::uint32_t value)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string out(8, '0');
    for (int i = 7; i >= 0; --i, value >>= 4)
        out[static_cast<std::size_t>(i)] = digits[value & 0xF];
    return out;
}

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

std::filesystem::path journalPath(const std::filesystem::path& firstFile, std::size_t choice)
{
    return besideFile(firstFile, ".", choice == 0 ? "-journal" : "-journal-" + std::to_string(choice + 1));
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
    text += std::string(checkWord) + hex8(crc32(text)) + "\n";
    text.resize((text.size() + journalBlock - 1) / journalBlock * journalBlock, '\0');
    return text;
}

bool journalVoid(std::string_view text)
{
    return text.empty() || text.front() == '\0';
}

namespace {

// The owner line and the file lines of a journal, text holding them whole
// (after the first line, before the last). isLast tells the closing line.
std::optional<Journal> parseLines(std::string_view& text, bool (*isLast)(std::string_view))
{
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
    while (!isLast(text)) {
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

} // namespace

std::optional<Journal> parseJournal(std::string_view text)
{
    if (text.starts_with(firstLineBefore)) {
        if (!text.ends_with(lastLineBefore))
            return std::nullopt;
        text.remove_prefix(firstLineBefore.size());
        text.remove_suffix(lastLineBefore.size());
        return parseLines(text, [](std::string_view rest) { return rest.empty(); });
    }
    if (!text.starts_with(firstLine))
        return std::nullopt;
    const std::string_view whole = text;
    text.remove_prefix(firstLine.size());
    std::optional<Journal> journal =
        parseLines(text, [](std::string_view rest) { return rest.starts_with(checkWord); });
    if (!journal)
        return std::nullopt;
    const std::string_view checked = whole.substr(0, whole.size() - text.size());
    text.remove_prefix(checkWord.size());
    if (text.size() < 9 || text.substr(0, 8) != hex8(crc32(checked)) || text[8] != '\n')
        return std::nullopt;
    return journal;
}

bool mayCutBack(std::uint64_t length, std::uint64_t adding, std::uint64_t now)
{
    return now > length && now <= length + adding;
}

UnitHeld unitHeld(std::uint64_t length, std::uint64_t adding, std::uint64_t now)
{
    if (now == length)
        return UnitHeld::None;
    if (now == length + adding)
        return UnitHeld::Whole;
    return mayCutBack(length, adding, now) ? UnitHeld::Part : UnitHeld::Changed;
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
        else if (mayCutBack(length, files[i].adding, size))
            out.push_back(Recovery::CutBack);
        else
            out.push_back(Recovery::Leave);
    }
    return out;
}

} // namespace qal
