#include "instructor/Feedback.h"

#include "instructor/HtmlReport.h"
#include "instructor/ReportColumns.h"
#include "paging/LessonLimits.h"
#include "paging/LessonLineText.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <tuple>

namespace qal {

namespace {

constexpr std::size_t absent = static_cast<std::size_t>(-1);

std::string trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1));
}

// <name> of the student's own file that the record came from:
// masterFile_<name>.txt, send_<MMDD><name>.txt or notes_<name>.txt. A file
// the instructor renamed gives the student's name with every character that
// cannot stand in a file name as "_".
std::string nameOfFile(const std::string& file, const std::string& student)
{
    std::string_view base = file;
    if (const std::size_t slash = base.find_last_of("/\\"); slash != std::string_view::npos)
        base.remove_prefix(slash + 1);
    if (base.ends_with(".txt")) {
        base.remove_suffix(4);
        auto digits = [](std::string_view t) {
            return t.size() >= 4 && std::all_of(t.begin(), t.begin() + 4, [](char c) { return c >= '0' && c <= '9'; });
        };
        for (std::string_view prefix : {"masterFile_", "notes_"})
            if (base.starts_with(prefix) && base.size() > prefix.size())
                return std::string(base.substr(prefix.size()));
        if (base.starts_with("send_") && digits(base.substr(5)) && base.size() > 9)
            return std::string(base.substr(9));
    }
    std::string name = student.empty() ? std::string("student") : student;
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 32 || std::string_view(" \\/:*?\"<>|").find(c) != std::string_view::npos)
            c = '_';
    return name;
}

// The assignment's number in three digits, or empty when it is no number
// a lesson can have.
std::string threeDigits(const std::string& assignment)
{
    if (assignment.empty() || assignment.size() > 3 ||
        !std::all_of(assignment.begin(), assignment.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return {};
    const int number = std::atoi(assignment.c_str());
    if (number > highestAssignment)
        return {};
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%03d", number);
    return buffer;
}

// The question's number and its own text: "003" and "Shorten the string" of
// "`q003  Shorten the string"; "000" and the whole line for a line that is
// no question-number line.
std::pair<std::string, std::string_view> questionParts(std::string_view question)
{
    std::size_t digits = questionNumberMarker.size();
    if (lowerPrefix(question, digits) == questionNumberMarker)
        while (digits < question.size() && question[digits] >= '0' && question[digits] <= '9')
            ++digits;
    if (digits == questionNumberMarker.size() || digits > questionNumberMarker.size() + 6)
        return {"000", question};
    const long number = std::strtol(std::string(question.substr(2, digits - 2)).c_str(), nullptr, 10);
    std::size_t text = digits;
    while (text < question.size() && question[text] == ' ')
        ++text;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%03ld", number > 999 ? 0L : number);
    return {buffer, question.substr(text)};
}

// A text put inside a lesson line: in Windows-1252 (a character the code
// page lacks as "?"), its line breaks as " / ", every other control
// character as a blank, cut at `most` characters with "...".
std::string inLine(std::string_view utf8, std::size_t most)
{
    std::string line = utf8ToCp1252(utf8);
    std::string out;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\n') {
            out += " / ";
        } else if (c == '\r') {
            if (i + 1 < line.size() && line[i + 1] == '\n')
                continue;
            out += " / ";
        } else {
            out += static_cast<unsigned char>(c) < 32 || c == '\x7F' ? ' ' : c;
        }
        if (out.size() >= most) {
            out.resize(most);
            out += '\x85'; // the ellipsis
            break;
        }
    }
    return out;
}

// The longest piece of each kind in a line, so that the whole line stays
// within the longest a lesson line can be (65,535 characters).
constexpr std::size_t questionMost = 8000, textMost = 25000, markMost = 200;

std::string numberText(double value)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    return buffer;
}

} // namespace

bool markNumber(const std::string& mark, double& value)
{
    std::string text = trimmed(mark);
    if (text.empty())
        return false;
    // A decimal comma, as many instructors write it.
    if (std::count(text.begin(), text.end(), ',') == 1 && text.find('.') == std::string::npos)
        std::replace(text.begin(), text.end(), ',', '.');
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value))
        return false;
    // Only plain decimals: no "0x1p3", "inf" or "1e5".
    return text.find_first_not_of("+-0123456789.") == std::string::npos;
}

std::string isoDateOfDayNumber(const std::string& cell)
{
    char* end = nullptr;
    const double serial = std::strtod(cell.c_str(), &end);
    if (cell.empty() || end != cell.c_str() + cell.size() || serial < 61 || serial > 2958465)
        return cell;
    // Day 61 is 1900-03-01 (day 60 is the 29 February 1900 that spreadsheets
    // count and that never was); days count from 1899-12-30 from there on.
    // The civil date of a day count, from 1970-01-01 (Howard Hinnant's way).
    long z = static_cast<long>(std::floor(serial)) - 25569 + 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const long day = doy - (153 * mp + 2) / 5 + 1;
    const long month = mp < 10 ? mp + 3 : mp - 9;
    const long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04ld-%02ld-%02ld", year, month, day);
    return buffer;
}

std::string timeOfDayFraction(const std::string& cell)
{
    char* end = nullptr;
    const double fraction = std::strtod(cell.c_str(), &end);
    if (cell.empty() || end != cell.c_str() + cell.size() || fraction < 0 || fraction >= 1)
        return cell;
    long seconds = std::lround(fraction * 86400);
    if (seconds >= 86400)
        seconds = 86399;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return buffer;
}

void FeedbackRows::take(const std::string& sheetName, std::size_t row, const std::vector<std::string>& cells,
                        std::vector<std::string>& warnings)
{
    auto [at, first] = sheets_.try_emplace(sheetName);
    Sheet& sheet = at->second;
    if (first) {
        // The header: each of the report's columns where it stands now
        // (the instructor may have moved them, or added others).
        sheet.columnOf.assign(reportColumns.size(), absent);
        for (std::size_t c = 0; c < cells.size(); ++c)
            for (std::size_t k = 0; k < reportColumns.size(); ++k)
                if (sheet.columnOf[k] == absent && trimmed(cells[c]) == reportColumns[k].name)
                    sheet.columnOf[k] = c;
        sheet.records = sheet.columnOf[columnAt("id")] != absent;
        sawRecords_ = sawRecords_ || sheet.records;
        return;
    }
    if (!sheet.records)
        return;
    auto cell = [&](std::size_t column) -> std::string {
        const std::size_t c = sheet.columnOf[column];
        return c < cells.size() ? cells[c] : std::string();
    };
    MarkedRecord marked;
    marked.row = row;
    marked.mark = trimmed(cell(columnAt("mark")));
    marked.comment = cell(columnAt("comment"));
    if (marked.mark.empty() && trimmed(marked.comment).empty())
        return; // not marked
    const std::string where = std::to_string(row) + ": warning: ";
    const std::string id = trimmed(cell(columnAt("id")));
    if (id.empty()) {
        warnings.push_back(where + "a mark or a comment in a row without an id: left out");
        return;
    }
    ReportRecord& r = marked.record;
    r.file = cell(columnAt("file"));
    r.line = 0;
    r.student = cell(columnAt("student"));
    r.initials = cell(columnAt("initials"));
    r.assignment = cell(columnAt("assignment"));
    const std::string lesson = cell(columnAt("lesson"));
    r.title = r.assignment.empty() ? lesson : r.assignment + ".  " + lesson;
    r.date = isoDateOfDayNumber(cell(columnAt("date")));
    r.time = timeOfDayFraction(cell(columnAt("time")));
    r.kind = cell(columnAt("kind")) == "notes" ? ReportRecord::Kind::Notes : ReportRecord::Kind::Response;
    r.record = cell(columnAt("record"));
    r.question = cell(columnAt("question"));
    r.text = cell(columnAt("text"));
    if (recordId(r) != id) {
        warnings.push_back(where + "the id " + id +
                           " names no record of the workbook (a cell of the row, or the id, was changed): left out");
        return;
    }
    // The same record is in a student's master file and send file, so a
    // workbook of both has it twice: marked alike, it is one record;
    // marked otherwise, the first row counts.
    const std::size_t marks = std::hash<std::string>{}(marked.mark + '\0' + marked.comment);
    const auto [seen, isNew] = marked_.try_emplace(id, Marked{row, marks});
    if (!isNew) {
        if (seen->second.marks != marks)
            warnings.push_back(where + "the id " + id + " is marked otherwise in row " +
                               std::to_string(seen->second.row) + ": this row left out");
        return;
    }
    const std::string number = threeDigits(r.assignment);
    if (number.empty()) {
        warnings.push_back(where + "a record of no assignment (a notes file's): left out");
        return;
    }
    FeedbackSet probe;
    probe.assignment = number;
    probe.name = nameOfFile(r.file, r.student);
    FeedbackSet& set = sets_[feedbackFileStem(probe)];
    if (set.records.empty()) {
        set = probe;
        set.lesson = std::string(r.lesson());
        set.student = r.student;
        set.initials = r.initials;
    }
    set.records.push_back(std::move(marked));
}

std::map<std::string, FeedbackSet> FeedbackRows::takeSets()
{
    std::map<std::string, FeedbackSet> sets = std::move(sets_);
    sets_.clear();
    for (auto& [stem, set] : sets)
        std::stable_sort(set.records.begin(), set.records.end(), [](const MarkedRecord& a, const MarkedRecord& b) {
            return std::tie(a.record.date, a.record.time, a.row) < std::tie(b.record.date, b.record.time, b.row);
        });
    return sets;
}

std::string feedbackFileStem(const FeedbackSet& set)
{
    return "feedback_" + set.assignment + "_" + set.name;
}

std::string feedbackLesson(const FeedbackSet& set)
{
    const std::string crlf = "\r\n";
    // The em dash is Windows-1252's 0x97, a byte no UTF-8 text holds alone,
    // so the file is always read as the code page it is.
    const std::string title = inLine(set.lesson, questionMost);
    std::string out = set.assignment + ".  " + title + " \x97 feedback" + crlf + crlf;
    out += "Your instructor's marks and comments on assignment " + set.assignment + ", " + title + ", for " +
           inLine(set.student, markMost) +
           ". Each click of Next Question / Answer shows one of your answers with its mark and comment. "
           "To answer a comment, type your reply in the answer box and click Enter Response: it goes to your "
           "instructor in your next send file.   " +
           crlf + crlf;
    std::size_t shown = 0;
    for (const MarkedRecord& m : set.records) {
        if (shown++ == maxFeedbackQuestions)
            break;
        const ReportRecord& r = m.record;
        const auto [number, question] = questionParts(r.question);
        const bool note = r.kind == ReportRecord::Kind::Notes;
        std::string line = "`q" + number + "  " + inLine(question, questionMost) + "   ";
        line += note ? "Your note (" : "Your answer (";
        line += r.date + " " + r.time + "): " + (r.text.empty() ? std::string("(empty)") : inLine(r.text, textMost));
        line += "   Mark: " + (m.mark.empty() ? std::string("none") : inLine(m.mark, markMost));
        if (!trimmed(m.comment).empty())
            line += "   Comment: " + inLine(trimmed(m.comment), textMost);
        out += line + "   " + crlf + crlf;
    }
    // Two blank lines before the exit routine, so that next picture on the
    // last question does not end the run.
    out += crlf + "`routine exitprog" + crlf + "####.#" + crlf;
    return out;
}

std::string feedbackPage(const FeedbackSet& set)
{
    std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>";
    out += "Assignment " + set.assignment + " " + htmlEscaped(set.lesson) + " \u2014 feedback for " +
           htmlEscaped(set.student) +
           "</title>\n<style>\n"
           "body { font-family: sans-serif; margin: 1.5em auto; max-width: 50em; padding: 0 1em; color: #222; }\n"
           "h1 { font-size: 1.5em; }\n"
           "h2 { font-size: 1.1em; background: #eef2f7; padding: 0.5em; margin: 2em 0 0.5em; white-space: pre-wrap; }\n"
           ".number, .when { color: #555; font-weight: normal; }\n"
           ".label { font-size: 0.8em; text-transform: uppercase; letter-spacing: 0.05em; color: #555; margin: 0.8em "
           "0 0.2em; }\n"
           ".text { margin: 0; white-space: pre-wrap; overflow-wrap: anywhere; }\n"
           ".answer { border-left: 4px solid #8ab; padding: 0.2em 0.8em; }\n"
           ".mark { font-size: 1.2em; font-weight: bold; margin: 0; }\n"
           ".comment { border-left: 4px solid #db5; padding: 0.2em 0.8em; }\n"
           ".total { font-size: 1.2em; font-weight: bold; border-top: 2px solid #666; margin-top: 2em; "
           "padding-top: 0.5em; }\n"
           "@media print { h2 { break-after: avoid; } section { break-inside: avoid; } }\n"
           "</style>\n</head>\n<body>\n<main>\n";
    out += "<h1>Assignment " + set.assignment + " " + htmlEscaped(set.lesson) + " \u2014 feedback</h1>\n";
    out += "<p class=\"student\">" + htmlEscaped(set.student);
    if (!set.initials.empty())
        out += " (" + htmlEscaped(set.initials) + ")";
    out += "</p>\n";
    double total = 0;
    std::size_t numbers = 0, marks = 0;
    for (const MarkedRecord& m : set.records) {
        const ReportRecord& r = m.record;
        const auto [number, question] = questionParts(r.question);
        out += "<section>\n<h2>";
        if (number != "000" || question != r.question)
            out += "<span class=\"number\">Question " + number + "</span> ";
        out += htmlEscaped(question.empty() ? std::string_view("(no question)") : question) + "</h2>\n";
        out += std::string("<p class=\"label\">") +
               (r.kind == ReportRecord::Kind::Notes ? "Your note" : "Your answer") + " <span class=\"when\">" +
               htmlEscaped(r.date + " " + r.time) + "</span></p>\n";
        out += "<p class=\"text answer\">" + (r.text.empty() ? std::string("(empty)") : htmlEscaped(r.text)) + "</p>\n";
        if (!m.mark.empty()) {
            ++marks;
            double value = 0;
            if (markNumber(m.mark, value)) {
                total += value;
                ++numbers;
            }
            out += "<p class=\"label\">Mark</p>\n<p class=\"mark\">" + htmlEscaped(m.mark) + "</p>\n";
        }
        if (!trimmed(m.comment).empty())
            out += "<p class=\"label\">Comment</p>\n<p class=\"text comment\">" + htmlEscaped(trimmed(m.comment)) +
                   "</p>\n";
        out += "</section>\n";
    }
    if (numbers > 0 && numbers == marks)
        out += "<p class=\"total\">Total: " + numberText(total) + "</p>\n";
    else if (numbers > 0)
        out += "<p class=\"total\">Total of the marks that are numbers (" + std::to_string(numbers) + " of " +
               std::to_string(marks) + "): " + numberText(total) + "</p>\n";
    out += "</main>\n</body>\n</html>\n";
    return out;
}

} // namespace qal
