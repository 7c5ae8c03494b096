#include "instructor/HtmlReport.h"

#include "paging/LessonLineText.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace qal {

namespace {

constexpr std::string_view style = R"(
body { font-family: sans-serif; margin: 1.5em auto; max-width: 60em; padding: 0 1em; color: #222; }
h1 { font-size: 1.5em; }
h2 { font-size: 1.25em; border-bottom: 2px solid #666; margin-top: 2em; }
h3 { font-size: 1em; background: #eef2f7; padding: 0.5em; margin: 1.5em 0 0.5em; white-space: pre-wrap; }
.title { font-weight: normal; color: #555; white-space: pre-wrap; }
.number { color: #555; font-weight: normal; }
.files { color: #555; }
.entry { border-left: 4px solid #8ab; padding: 0.2em 0.8em; margin: 0.6em 0 0.6em 1em; }
.entry.notes { border-left-color: #db5; }
.who { margin: 0; font-size: 0.9em; color: #444; }
.kind { text-transform: uppercase; font-size: 0.8em; letter-spacing: 0.05em; }
.source { color: #777; }
.text { margin: 0.3em 0 0; white-space: pre-wrap; overflow-wrap: anywhere; }
.empty { color: #888; font-style: italic; }
.overview table { border-collapse: collapse; font-size: 0.9em; }
.overview th, .overview td { border: 1px solid #ccd; padding: 0.2em 0.5em; text-align: left; vertical-align: top; }
.overview th { background: #eef2f7; }
)";

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
    else {
        // Escaped into the page itself: a long text is not copied on the way.
        out += "<p class=\"text\">";
        appendHtmlEscaped(out, r.text);
        out += "</p>";
    }
    out += "</article>\n";
}

// A question's heading: a question-number line ("`q003  Shorten the
// string") shows its number once and its own text, without the marker.
void appendQuestionHeading(std::string& out, std::string_view question)
{
    out += "<h3>";
    std::size_t digits = questionNumberMarker.size();
    if (lowerPrefix(question, digits) == questionNumberMarker) {
        while (digits < question.size() && question[digits] >= '0' && question[digits] <= '9')
            ++digits;
    }
    if (digits > questionNumberMarker.size()) {
        std::size_t text = digits;
        while (text < question.size() && question[text] == ' ')
            ++text;
        out += "<span class=\"number\">Question ";
        out += htmlEscaped(question.substr(questionNumberMarker.size(), digits - questionNumberMarker.size()));
        out += "</span> ";
        out += htmlEscaped(question.substr(text));
    } else {
        out += question.empty() ? std::string("(no question)") : htmlEscaped(question);
    }
    out += "</h3>\n";
}

} // namespace

HtmlAssignmentKey HtmlAssignmentKey::of(const ReportRecord& record)
{
    return {record.assignment.empty(), record.assignment, std::string(record.lesson())};
}

std::string htmlEscaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    appendHtmlEscaped(out, text);
    return out;
}

void appendHtmlEscaped(std::string& out, std::string_view text)
{
    // Room for a long text at once, rather than by doubling as it comes.
    if (text.size() > out.capacity() - out.size())
        out.reserve(out.size() + text.size() + text.size() / 16);
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
}

std::string htmlPageStart(std::size_t records, const std::vector<std::string>& files)
{
    std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                      "<title>Responses and notes</title>\n<style>";
    out += style;
    out += "</style>\n</head>\n<body>\n<main>\n<h1>Responses and notes</h1>\n<p class=\"files\">";
    out += std::to_string(records) + (records == 1 ? " record" : " records") + " from ";
    for (std::size_t i = 0; i < files.size(); ++i)
        out += (i == 0 ? "" : ", ") + htmlEscaped(files[i]);
    out += "</p>\n";
    return out;
}

void appendHtmlAssignment(std::string& out, std::vector<ReportRecord>& records)
{
    if (records.empty())
        return;
    const HtmlAssignmentKey key = HtmlAssignmentKey::of(records.front());
    out += "<section class=\"assignment\">\n<h2>";
    out += key.withoutHeader ? std::string("Without a header block") : "Assignment " + htmlEscaped(key.assignment);
    if (!key.lesson.empty())
        out += " <span class=\"title\">" + htmlEscaped(key.lesson) + "</span>";
    out += "</h2>\n";

    // Questions in the order first met; under each, each student's records
    // together, in the order they were made.
    std::map<std::string_view, std::size_t> firstMet;
    for (const ReportRecord& r : records)
        firstMet.emplace(r.question, firstMet.size());
    std::vector<const ReportRecord*> order;
    order.reserve(records.size());
    for (const ReportRecord& r : records)
        order.push_back(&r);
    std::stable_sort(order.begin(), order.end(), [&firstMet](const ReportRecord* x, const ReportRecord* y) {
        return std::tie(firstMet.at(x->question), x->student, x->date, x->time) <
               std::tie(firstMet.at(y->question), y->student, y->date, y->time);
    });
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i == 0 || order[i]->question != order[i - 1]->question) {
            if (i > 0)
                out += "</section>\n";
            out += "<section class=\"question\">\n";
            appendQuestionHeading(out, order[i]->question);
        }
        appendEntry(out, *order[i]);
    }
    out += "</section>\n</section>\n";
}

std::string htmlPageEnd(std::size_t records)
{
    std::string out;
    if (records == 0)
        out += "<p class=\"empty\">No records.</p>\n";
    out += "</main>\n</body>\n</html>\n";
    return out;
}

std::string htmlReport(const std::vector<ReportRecord>& records, const std::vector<std::string>& files)
{
    std::map<HtmlAssignmentKey, std::vector<ReportRecord>> assignments;
    for (const ReportRecord& r : records)
        assignments[HtmlAssignmentKey::of(r)].push_back(r);
    std::string out = htmlPageStart(records.size(), files);
    for (auto& [key, group] : assignments)
        appendHtmlAssignment(out, group);
    out += htmlPageEnd(records.size());
    return out;
}

} // namespace qal
