#include "instructor/ClassOverview.h"

#include "instructor/HtmlReport.h"
#include "paging/LessonLineText.h"
#include "platform/CodePage.h"

#include <algorithm>

namespace qal {

namespace {

std::string trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

bool isHeader(std::string_view line)
{
    return line.size() >= 4 &&
           std::all_of(line.begin(), line.begin() + 3, [](char c) { return c >= '0' && c <= '9'; }) && line[3] == '.';
}

} // namespace

std::vector<RosterStudent> readRoster(std::string_view bytes, std::vector<std::string>& warnings)
{
    const std::string text = isUtf8(bytes) ? std::string(bytes) : cp1252ToUtf8(bytes);
    std::vector<RosterStudent> roster;
    std::size_t number = 0;
    for (std::size_t at = 0; at <= text.size();) {
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line = std::string_view(text).substr(at, end - at);
        ++number;
        if (number == 1 && line.starts_with("\xEF\xBB\xBF"))
            line.remove_prefix(3);
        at = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        if (trimmed(line).empty())
            continue;
        const std::size_t comma = line.rfind(',');
        if (comma == std::string_view::npos || trimmed(line.substr(0, comma)).empty()) {
            warnings.push_back(std::to_string(number) + ": warning: no \"name, initials\" on this line: skipped");
            continue;
        }
        roster.push_back({trimmed(line.substr(0, comma)), trimmed(line.substr(comma + 1))});
    }
    return roster;
}

std::map<std::string, std::vector<std::string>> lessonQuestions(const std::vector<std::string>& lines)
{
    std::map<std::string, std::vector<std::string>> lesson;
    std::vector<std::string>* shown = nullptr;
    std::vector<std::string> numbered;
    auto close = [&] {
        if (shown != nullptr && !numbered.empty())
            *shown = numbered;
        shown = nullptr;
        numbered.clear();
    };
    for (const std::string& line : lines) {
        if (isHeader(line)) {
            close();
            shown = &lesson[cp1252ToUtf8(line)];
            shown->clear();
            continue;
        }
        if (shown == nullptr || line.empty())
            continue;
        // Next Question runs a routine line (the picture routines do nothing,
        // any other ends the run); the end marker ends the lesson.
        const bool routine = runByNextQuestion(line);
        if (line.starts_with(endMarker) || (routine && routineEndsRun(routineName(line)))) {
            close();
            continue;
        }
        if (routine)
            continue;
        shown->push_back(cp1252ToUtf8(line));
        if (lowerPrefix(line, questionNumberMarker.size()) == questionNumberMarker)
            numbered.push_back(shown->back());
    }
    close();
    return lesson;
}

ClassOverview::ClassOverview(std::vector<RosterStudent> roster,
                             std::map<std::string, std::vector<std::string>> questions)
    : roster_(std::move(roster)), questions_(std::move(questions))
{
}

void ClassOverview::add(const ReportRecord& r)
{
    Tally& t = tallies_[{r.student, r.initials, r.assignment, std::string(r.lesson())}];
    t.title = r.title;
    if (r.kind == ReportRecord::Kind::Notes) {
        ++t.notes;
    } else {
        ++t.responses;
        if (t.answered.size() < 10000)
            t.answered.insert(r.question);
    }
    if (!r.date.empty() && (t.first.empty() || r.date < t.first))
        t.first = r.date;
    if (r.date > t.last)
        t.last = r.date;
}

std::vector<OverviewRow> ClassOverview::rows() const
{
    std::vector<OverviewRow> rows;
    std::set<std::string> seen;
    for (const auto& [key, t] : tallies_) {
        OverviewRow row;
        std::tie(row.student, row.initials, row.assignment, row.lesson) = key;
        row.responses = t.responses;
        row.notes = t.notes;
        row.first = t.first;
        row.last = t.last;
        seen.insert(row.student);
        if (questions_.empty()) {
            row.unanswered = "(no lesson given)";
        } else if (const auto q = questions_.find(t.title); q == questions_.end()) {
            row.unanswered = "(not in the lesson given)";
        } else {
            std::string list;
            for (std::size_t i = 0; i < q->second.size(); ++i) {
                const std::string& question = q->second[i];
                if (t.answered.count(question) != 0)
                    continue;
                std::string name;
                if (lowerPrefix(question, questionNumberMarker.size()) == questionNumberMarker) {
                    std::size_t end = questionNumberMarker.size();
                    while (end < question.size() && question[end] >= '0' && question[end] <= '9')
                        ++end;
                    name = question.substr(questionNumberMarker.size(), end - questionNumberMarker.size());
                }
                list += (list.empty() ? "" : ", ") + (name.empty() ? std::to_string(i + 1) : name);
            }
            row.unanswered = list.empty() ? "all answered" : list;
        }
        rows.push_back(std::move(row));
    }
    for (const RosterStudent& student : roster_)
        if (seen.insert(student.name).second)
            rows.push_back({student.name, student.initials, "", "", 0, 0, "", "", "nothing received"});
    std::stable_sort(rows.begin(), rows.end(), [](const OverviewRow& a, const OverviewRow& b) {
        return std::tie(a.student, a.initials, a.assignment, a.lesson) <
               std::tie(b.student, b.initials, b.assignment, b.lesson);
    });
    return rows;
}

std::string htmlOverview(const std::vector<OverviewRow>& rows)
{
    std::string out = "<section class=\"overview\">\n<h2>The class</h2>\n<table>\n<thead><tr><th>student</th>"
                      "<th>initials</th><th>assignment</th><th>lesson</th><th>responses</th><th>notes</th>"
                      "<th>first</th><th>last</th><th>no response</th></tr></thead>\n<tbody>\n";
    for (const OverviewRow& r : rows) {
        out += "<tr><td>" + htmlEscaped(r.student) + "</td><td>" + htmlEscaped(r.initials) + "</td><td>" +
               htmlEscaped(r.assignment) + "</td><td>" + htmlEscaped(r.lesson) + "</td><td>" +
               std::to_string(r.responses) + "</td><td>" + std::to_string(r.notes) + "</td><td>" +
               htmlEscaped(r.first) + "</td><td>" + htmlEscaped(r.last) + "</td><td>" + htmlEscaped(r.unanswered) +
               "</td></tr>\n";
    }
    out += "</tbody>\n</table>\n</section>\n";
    return out;
}

} // namespace qal
