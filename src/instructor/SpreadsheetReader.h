#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace qal {

// One row of a sheet of a spreadsheet: its number (1-based, as the
// spreadsheet program shows it) and the value of each cell by column
// (0 for A), "" where a cell is empty. A text cell gives its text (rich
// text runs joined, its lines joined by LF), a number its shortest decimal
// form ("7", "7.5"), a formula its cached value. A date cell of an .ods file
// gives its ISO date ("2026-12-07") and a time cell HH:MM:SS; in an .xlsx
// file both are numbers, as the file holds them.
struct SheetRow {
    std::string sheet;
    std::size_t number = 0;
    std::vector<std::string> cells;
};

// Reads the sheets of an .xlsx (Office Open XML) or .ods (OpenDocument)
// workbook at a path of this host, in the order of the workbook, handing
// each row that holds something to `use` as it is read: the XML is streamed,
// so only the shared strings of an .xlsx file are held whole. Hidden,
// filtered and sorted rows are rows like any other.
//
// False, with why (to follow "cannot read ...: "), when the file is no
// workbook of these kinds, is encrypted, or is larger than a class's
// workbook can be; `use` may have had rows of it by then.
bool readSpreadsheet(const std::string& path, const std::function<void(const SheetRow&)>& use, std::string& refusal);

// The most a workbook file, and any part of it unpacked, may take.
inline constexpr unsigned long long maxWorkbookBytes = 512ULL << 20;
inline constexpr unsigned long long maxWorkbookPartBytes = 4ULL << 30;

} // namespace qal
