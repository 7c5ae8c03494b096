#include "instructor/CsvReport.h"

#include <cstdint>
#include <cstring>
#include <string_view>

namespace qal {

namespace {

// The bytes that make a field need quotes: a comma, a quote, CR or LF.
bool needsQuotes(std::string_view field)
{
    // Eight bytes at a time: a word holds one of the bytes when the word
    // XOR that byte repeated holds a zero byte.
    constexpr std::uint64_t ones = 0x0101010101010101u;
    constexpr std::uint64_t highs = 0x8080808080808080u;
    constexpr auto zeroByteIn = [](std::uint64_t v) { return (v - ones) & ~v & highs; };
    std::size_t at = 0;
    for (std::uint64_t w; at + 8 <= field.size(); at += 8) {
        std::memcpy(&w, field.data() + at, 8);
        if ((zeroByteIn(w ^ (ones * ',')) | zeroByteIn(w ^ (ones * '"')) | zeroByteIn(w ^ (ones * '\r')) |
             zeroByteIn(w ^ (ones * '\n'))) != 0)
            return true;
    }
    return field.substr(at).find_first_of(",\"\r\n") != std::string_view::npos;
}

bool mayBeTakenForFormula(std::string_view field)
{
    if (field.empty())
        return false;
    switch (field.front()) {
    case '=':
    case '+':
    case '-':
    case '@':
    case '\t':
    case '\r':
        return true;
    default:
        return false;
    }
}

void appendField(std::string& out, std::string_view field, CsvCells cells)
{
    const bool apostrophe = cells == CsvCells::SpreadsheetSafe && mayBeTakenForFormula(field);
    if (!needsQuotes(field)) {
        if (apostrophe)
            out += '\'';
        out += field;
        return;
    }
    // Each quote doubled.
    out += '"';
    if (apostrophe)
        out += '\'';
    for (std::size_t at = 0;;) {
        const std::size_t quote = field.find('"', at);
        if (quote == std::string_view::npos) {
            out += field.substr(at);
            break;
        }
        out += field.substr(at, quote + 1 - at);
        out += '"';
        at = quote + 1;
    }
    out += '"';
}

} // namespace

std::string csvHeader()
{
    return "\xEF\xBB\xBF"
           "file,student,initials,assignment,lesson,date,time,kind,record,question,text\r\n";
}

void appendCsvRow(std::string& out, const ReportRecord& r, CsvCells cells)
{
    const std::string_view fields[] = {
        r.file,     r.student,  r.initials, r.assignment,
        r.lesson(), r.date,     r.time,     r.kind == ReportRecord::Kind::Notes ? "notes" : "response",
        r.record,   r.question, r.text,
    };
    bool first = true;
    for (std::string_view field : fields) {
        if (!first)
            out += ',';
        first = false;
        appendField(out, field, cells);
    }
    out += "\r\n";
}

} // namespace qal
