#pragma once

#include "instructor/RecordFileReader.h"

#include <string>
#include <vector>

namespace qal {

// The report as one self-contained HTML page (no script, no external
// resource): by assignment, then by question in the order first met, under
// each question every student's responses and notes with date and time.
// Every text is escaped; line breaks and runs of blanks are kept.
std::string htmlReport(const std::vector<ReportRecord>& records, const std::vector<std::string>& files);

// Text escaped for HTML content and attribute values.
std::string htmlEscaped(std::string_view text);

} // namespace qal
