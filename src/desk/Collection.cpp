#include "desk/Collection.h"

#include "platform/Host.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>
#include <utility>

namespace qal {

namespace {

bool isSendFileName(std::string name)
{
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return name.size() > 9 && name.compare(0, 5, "send_") == 0 && name.compare(name.size() - 4, 4, ".txt") == 0;
}

} // namespace

std::vector<std::string> recordFilesIn(const std::string& folder)
{
    std::vector<std::string> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(hostPathFromUtf8(folder), ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code kind;
        if (!it->is_regular_file(kind))
            continue;
        if (isSendFileName(utf8FromHostPath(it->path().filename())))
            files.push_back(utf8FromHostPath(it->path()));
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string defaultWorkbookPath(const std::vector<std::string>& files)
{
    if (files.empty())
        return "answers.xlsx";
    return utf8FromHostPath(hostPathFromUtf8(files.front()).parent_path() / "answers.xlsx");
}

std::vector<std::string> reportMessageLines(const std::string& err)
{
    static const std::string name = "qalesson-report: ";
    std::vector<std::string> lines;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, name.size(), name) == 0)
            line.erase(0, name.size());
        if (!line.empty())
            lines.push_back(std::move(line));
    }
    return lines;
}

CollectionSummary summarizeCollection(const std::vector<std::string>& files, const std::string& lesson,
                                      const std::string& roster, const KeepGoing& keepGoing)
{
    CollectionSummary summary;
    std::ostringstream err;
    std::optional<ClassOverview> overview = classOverview(lesson, roster, err);
    if (!overview) {
        summary.status = 2;
        summary.messages = reportMessageLines(err.str());
        return summary;
    }
    std::set<std::pair<std::string, std::string>> students, assignments;
    summary.status = forEachRecord(files, err, keepGoing, [&](const ReportRecord& record) {
        ++summary.records;
        students.emplace(record.student, record.initials);
        assignments.emplace(record.assignment, std::string(record.lesson()));
        overview->add(record);
    });
    summary.students = students.size();
    summary.assignments = assignments.size();
    summary.messages = reportMessageLines(err.str());
    if (summary.status != reportStopped)
        summary.overview = overview->rows();
    return summary;
}

WrittenWorkbook writeCollectionWorkbook(const WorkbookRequest& request, const KeepGoing& keepGoing)
{
    WrittenWorkbook result;
    std::ostringstream err;
    result.status = writeWorkbookReport(request, err, keepGoing, &result.overview);
    result.messages = reportMessageLines(err.str());
    result.written = result.status == 0 || result.status == 1;
    return result;
}

} // namespace qal
