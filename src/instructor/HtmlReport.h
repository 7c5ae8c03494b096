#pragma once

#include "instructor/RecordFileReader.h"

#include <compare>
#include <string>
#include <string_view>
#include <vector>

namespace qal {

// The report as one self-contained HTML page (no script, no external
// resource): by assignment (its number and its lesson's title, so two
// lessons of one number stay apart), then by question in the order first
// met, under each question every student's responses and notes with date and
// time. Every text is escaped; line breaks and runs of blanks are kept.
//
// The page is written in pieces, so that only one assignment's records need
// be held at a time: its start, each assignment's section in the order of
// their keys, its end.

// The assignment a record belongs to, in the order the page shows them:
// by number, then by lesson title; records without a header block last.
struct HtmlAssignmentKey {
    bool withoutHeader = false;
    std::string assignment;
    std::string lesson;

    static HtmlAssignmentKey of(const ReportRecord& record);
    auto operator<=>(const HtmlAssignmentKey&) const = default;
};

// The page's head and heading: how many records from which files.
std::string htmlPageStart(std::size_t records, const std::vector<std::string>& files);

// The section of one assignment: records all of one key, in the order they
// were read (they are put in the page's order here).
void appendHtmlAssignment(std::string& out, std::vector<ReportRecord>& records);

std::string htmlPageEnd(std::size_t records);

// The whole page of records held at once.
std::string htmlReport(const std::vector<ReportRecord>& records, const std::vector<std::string>& files);

// Text escaped for HTML content and attribute values.
std::string htmlEscaped(std::string_view text);
// The same appended to out.
void appendHtmlEscaped(std::string& out, std::string_view text);

} // namespace qal
