#pragma once

#include "instructor/RecordFileReader.h"

#include <string>

namespace qal {

// The report as CSV (RFC 4180): UTF-8 with a byte order mark, so that
// spreadsheet programs on Windows read the accents right, CR LF after each
// row, a field quoted when it holds a comma, a quote or a line break. Line
// breaks inside a field are LF, as a spreadsheet writes them within a cell.

// The byte order mark and the header row:
// file,student,initials,assignment,date,time,kind,record,question,text
std::string csvHeader();

// One row; appended to out.
void appendCsvRow(std::string& out, const ReportRecord& record);

} // namespace qal
