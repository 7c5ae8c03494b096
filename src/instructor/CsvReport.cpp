#include "instructor/CsvReport.h"

#include "instructor/ReportColumns.h"

#include <array>
#include <cstring>
#include <ostream>
#include <string_view>

namespace qal {

namespace {

// The bytes that make a field need quotes: a comma, a quote, CR or LF, and a
// semicolon, which a spreadsheet set to a semicolon as its separator would
// otherwise split the cell at (and "a;=1+2" would start a cell with a
// formula). A long field is searched for each with memchr, which looks at
// many bytes at once; a short one byte by byte.
constexpr std::string_view special = ",\"\r\n;";

constexpr std::array<bool, 256> isSpecial = [] {
    std::array<bool, 256> table{};
    for (char c : special)
        table[static_cast<unsigned char>(c)] = true;
    return table;
}();

bool needsQuotes(std::string_view field)
{
    if (field.size() < 64) {
        for (char c : field)
            if (isSpecial[static_cast<unsigned char>(c)])
                return true;
        return false;
    }
    for (char c : special)
        if (std::memchr(field.data(), c, field.size()) != nullptr)
            return true;
    return false;
}

// A spreadsheet skips blanks before a formula's sign, so " =1+2" is a
// formula as much as "=1+2" is.
bool mayBeTakenForFormula(std::string_view field)
{
    const std::size_t first = field.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return false;
    switch (field[first]) {
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

// Where a row goes: a string, or a stream written to as the row is made.
class StreamOut {
public:
    explicit StreamOut(std::ostream& out) : out_(out) {}
    StreamOut& operator+=(char c)
    {
        out_.put(c);
        return *this;
    }
    StreamOut& operator+=(std::string_view text)
    {
        out_.write(text.data(), static_cast<std::streamsize>(text.size()));
        return *this;
    }

private:
    std::ostream& out_;
};

template <typename Out> void appendField(Out& out, std::string_view field, CsvCells cells)
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
    return "\xEF\xBB\xBF" + csvColumnNames() + "\r\n";
}

namespace {

template <typename Out> void appendRow(Out& out, const ReportRecord& r, CsvCells cells)
{
    std::string id;
    const ReportRow row = reportRow(r, id);
    bool first = true;
    for (std::size_t column = 0; column < reportColumns.size(); ++column) {
        if (!reportColumns[column].inCsv)
            continue;
        if (!first)
            out += ',';
        first = false;
        appendField(out, row[column], cells);
    }
    out += std::string_view("\r\n");
}

} // namespace

void appendCsvRow(std::string& out, const ReportRecord& record, CsvCells cells)
{
    appendRow(out, record, cells);
}

void writeCsvRow(std::ostream& out, const ReportRecord& record, CsvCells cells)
{
    StreamOut stream(out);
    appendRow(stream, record, cells);
}

} // namespace qal
