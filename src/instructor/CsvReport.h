#pragma once

#include "instructor/RecordFileReader.h"

#include <iosfwd>
#include <string>

namespace qal {

// The report as CSV (RFC 4180): UTF-8 with a byte order mark, so that
// spreadsheet programs on Windows read the accents right, CR LF after each
// row, a field quoted when it holds a comma, a quote, a line break or a
// semicolon (the separator of spreadsheets set up for many languages). Line
// breaks inside a field are LF, as a spreadsheet writes them within a cell.

// How the cells are written. A spreadsheet program that opens a CSV file
// takes a cell beginning with "=", "+", "-" or "@" for a formula, blanks
// before it or not (and a tab or a carriage return may hide one), so by
// default such a cell gets an
// apostrophe in front, as the common advice for CSV files that spreadsheets
// open has it; Raw writes every text exactly as it is.
enum class CsvCells { SpreadsheetSafe, Raw };

// The byte order mark and the header row, the CSV's columns of
// reportColumns: file,student,initials,assignment,lesson,date,time,kind,
// record,question,text,id
std::string csvHeader();

// One row; appended to out.
void appendCsvRow(std::string& out, const ReportRecord& record, CsvCells cells = CsvCells::SpreadsheetSafe);
// The same row written to out as it is made, for a record too long to copy.
void writeCsvRow(std::ostream& out, const ReportRecord& record, CsvCells cells = CsvCells::SpreadsheetSafe);

} // namespace qal
