#include "instructor/CsvReport.h"

#include <string_view>

namespace qal {

namespace {

void appendField(std::string& out, std::string_view field)
{
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += field;
        return;
    }
    // Each quote doubled.
    out += '"';
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
           "file,student,initials,assignment,date,time,kind,record,question,text\r\n";
}

void appendCsvRow(std::string& out, const ReportRecord& r)
{
    const std::string_view fields[] = {
        r.file,
        r.student,
        r.initials,
        r.assignment,
        r.date,
        r.time,
        r.kind == ReportRecord::Kind::Notes ? "notes" : "response",
        r.record,
        r.question,
        r.text,
    };
    bool first = true;
    for (std::string_view field : fields) {
        if (!first)
            out += ',';
        first = false;
        appendField(out, field);
    }
    out += "\r\n";
}

} // namespace qal
