#include "instructor/HtmlReport.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <tuple>

namespace qal {

namespace {

constexpr std::string_view style = R"(
body { font-family: sans-serif; margin: 1.5em auto; max-width: 60em; padding: 0 1em; color: #222; }
h1 { font-size: 1.5em; }
h2 { font-size: 1.25em; border-bottom: 2px solid #666; margin-top: 2em; }
h3 { font-size: 1em; background: #eef2f7; padding: 0.5em; margin: 1.5em 0 0.5em; white-space: pre-wrap; }
.title { font-weight: normal; color: #555; white-space: pre-wrap; }
.files { color: #555; }
.entry { border-left: 4px solid #8ab; padding: 0.2em 0.8em; margin: 0.6em 0 0.6em 1em; }
.entry.notes { border-left-color: #db5; }
.who { margin: 0; font-size: 0.9em; color: #444; }
.kind { text-transform: uppercase; font-size: 0.8em; letter-spacing: 0.05em; }
.source { color: #777; }
.text { margin: 0.3em 0 0; white-space: pre-wrap; overflow-wrap: anywhere; }
.empty { color: #888; font-style: italic; }
)";

struct Question {
    std::string text;
    std::vector<const ReportRecord*> entries;
};

struct Assignment {
    std::string title;
    std::vector<Question> questions;
    std::map<std::string, std::size_t> questionIndex;
};

void appendEntry(std::string& out, const ReportRecord& r)
{
    const bool notes = r.kind == ReportRecord::Kind::Notes;
    out += notes ? "<article class=\"entry notes\">" : "<article class=\"entry response\">";
    out += "<p class=\"who\"><strong>";
    out += r.student.empty() ? "(no name)" : htmlEscaped(r.student);
    out += "</strong>";
    if (!r.initials.empty())
        out += " (" + htmlEscaped(r.initials) + ")";
    out += " &middot; <span class=\"kind\">" + std::string(notes ? "note" : "response") + "</span> &middot; ";
    out += "<time>" + htmlEscaped(r.date) + (r.date.empty() ? "" : " ") + htmlEscaped(r.time) + "</time>";
    out += " &middot; <span class=\"source\">" + htmlEscaped(r.file) + ":" + std::to_string(r.line) + "</span></p>";
    if (r.text.find_first_not_of(' ') == std::string::npos)
        out += "<p class=\"text empty\">(empty)</p>";
    else
        out += "<p class=\"text\">" + htmlEscaped(r.text) + "</p>";
    out += "</article>\n";
}

} // namespace

std::string htmlEscaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        case '\r':
            break; // a line break is the LF alone
        default:
            out += c;
        }
    }
    return out;
}

std::string htmlReport(const std::vector<ReportRecord>& records, const std::vector<std::string>& files)
{
    // Assignments in the order of their numbers; records without a header
    // block before them (a notes file) last.
    std::map<std::pair<bool, std::string>, Assignment> assignments;
    for (const ReportRecord& r : records) {
        Assignment& a = assignments[{r.assignment.empty(), r.assignment}];
        if (a.title.empty())
            a.title = r.title;
        const auto [it, added] = a.questionIndex.emplace(r.question, a.questions.size());
        if (added)
            a.questions.push_back({r.question, {}});
        a.questions[it->second].entries.push_back(&r);
    }

    std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                      "<title>Responses and notes</title>\n<style>";
    out += style;
    out += "</style>\n</head>\n<body>\n<main>\n<h1>Responses and notes</h1>\n<p class=\"files\">";
    out += std::to_string(records.size()) + (records.size() == 1 ? " record" : " records") + " from ";
    for (std::size_t i = 0; i < files.size(); ++i)
        out += (i == 0 ? "" : ", ") + htmlEscaped(files[i]);
    out += "</p>\n";

    for (auto& [key, a] : assignments) {
        out += "<section class=\"assignment\">\n<h2>";
        out += key.first ? std::string("Without a header block") : "Assignment " + htmlEscaped(key.second);
        if (!a.title.empty())
            out += " <span class=\"title\">" + htmlEscaped(a.title) + "</span>";
        out += "</h2>\n";
        for (Question& q : a.questions) {
            // Each student's records together, in the order they were made.
            std::stable_sort(q.entries.begin(), q.entries.end(), [](const ReportRecord* x, const ReportRecord* y) {
                return std::tie(x->student, x->date, x->time) < std::tie(y->student, y->date, y->time);
            });
            out += "<section class=\"question\">\n<h3>";
            out += q.text.empty() ? std::string("(no question)") : htmlEscaped(q.text);
            out += "</h3>\n";
            for (const ReportRecord* r : q.entries)
                appendEntry(out, *r);
            out += "</section>\n";
        }
        out += "</section>\n";
    }
    if (records.empty())
        out += "<p class=\"empty\">No records.</p>\n";
    out += "</main>\n</body>\n</html>\n";
    return out;
}

} // namespace qal
