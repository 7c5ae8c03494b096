#pragma once

#include "instructor/RecordFileReader.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace qal {

// The report's columns, named once: the CSV, the workbook, the help text and
// the reading of a marked workbook all take them from here, in this order.
enum class ColumnKind {
    Text,    // a text cell
    Wrapped, // a text cell, wrapped in a wide column
    Date,    // YYYY-MM-DD: a date cell where it is a real day
    Time,    // HH:MM:SS: a time cell where it is a time of the 24-hour clock
    ToFill,  // the workbook's alone: empty, for the instructor to fill in, wrapped
    Hidden,  // a text cell of a hidden column in the workbook
};

struct ReportColumn {
    std::string_view name;
    double width; // in the workbook, in characters of the default font
    ColumnKind kind;
    bool inCsv; // also a column of the CSV (in the same order)
};

inline constexpr std::array<ReportColumn, 14> reportColumns = {{
    {"file", 28, ColumnKind::Text, true},
    {"student", 20, ColumnKind::Text, true},
    {"initials", 9, ColumnKind::Text, true},
    {"assignment", 11, ColumnKind::Text, true},
    {"lesson", 28, ColumnKind::Text, true},
    {"date", 11, ColumnKind::Date, true},
    {"time", 9, ColumnKind::Time, true},
    {"kind", 10, ColumnKind::Text, true},
    {"record", 9, ColumnKind::Text, true},
    {"question", 50, ColumnKind::Wrapped, true},
    {"text", 70, ColumnKind::Wrapped, true},
    {"mark", 12, ColumnKind::ToFill, false},
    {"comment", 60, ColumnKind::ToFill, false},
    {"id", 34, ColumnKind::Hidden, true},
}};

// The place of a column in reportColumns, by its name; the build fails for
// a name that is not there.
consteval std::size_t columnAt(std::string_view name)
{
    for (std::size_t i = 0; i < reportColumns.size(); ++i)
        if (reportColumns[i].name == name)
            return i;
    throw "no such column";
}

// The names of the CSV's columns, joined by commas: "file,student,...,id".
std::string csvColumnNames();

// The record's identifier: the same for the same record in any file (a
// master file or a send file, this report or the next), and different for
// any two records that differ in what they hold. "q" and 32 lowercase hex
// digits: the first 128 bits of SHA-256 over the record's student, initials,
// assignment, lesson, date, time, kind, question and text, each preceded by
// its length (so that no two lists of texts give the same bytes). Where the
// record stands (its file, its line, the master file's question number line)
// is left out on purpose: it differs between the files that hold it.
std::string recordId(const ReportRecord& record);

// The texts of a record's cells, one per column; id is where recordId() is
// kept while they are used.
using ReportRow = std::array<std::string_view, reportColumns.size()>;
ReportRow reportRow(const ReportRecord& record, std::string& id);

// SHA-256 of bytes (FIPS 180-4).
std::array<unsigned char, 32> sha256(std::string_view bytes);

} // namespace qal
