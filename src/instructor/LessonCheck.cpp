#include "instructor/LessonCheck.h"

#include "paging/LessonLineText.h"
#include "paging/LessonReader.h"
#include "platform/CodePage.h"
#include "platform/Numbers.h"
#include "platform/Printable.h"
#include "run/LessonFile.h"
#include "paging/LessonLimits.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string_view>
#include <tuple>
#include <utility>

namespace qal {

namespace {

using Severity = Finding::Severity;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string inQuotes(std::string_view cp1252)
{
    std::string quoted = "\"";
    return quoted.append(cp1252ToUtf8(cp1252)).append("\"");
}

class Checker {
public:
    explicit Checker(const std::vector<std::string>& lines)
        : lines_(lines), last_(std::min(lines.size(), maxLessonLines)), slots_(maxLessonLines + 1)
    {
        std::copy(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(last_), slots_.begin() + 1);
        findHeaders();
    }

    const std::vector<RunEnding>& endings() const { return endings_; }

    std::vector<Finding> run()
    {
        for (std::size_t i = 1; i <= last_; ++i)
            checkLine(i);
        if (firstHeader_.empty() && !lines_.empty())
            error(1, "the lesson has no assignment header (three digits and a point: \"001.  Title\"), so every "
                     "student gets the invalid-assignment message at start-up");
        for (const auto& [number, line] : firstHeader_)
            if (number <= highestAssignment)
                walkAssignment(number, line);

        std::vector<Finding> sorted(found_.begin(), found_.end());
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const Finding& a, const Finding& b) { return a.line < b.line; });
        return sorted;
    }

private:
    struct Order {
        bool operator()(const Finding& a, const Finding& b) const
        {
            return std::tie(a.line, a.severity, a.text) < std::tie(b.line, b.severity, b.text);
        }
    };

    // Slot i of the lesson line table: lines past the file's end are empty.
    std::string_view slot(std::size_t i) const { return i >= 1 && i <= last_ ? lines_[i - 1] : std::string_view(); }

    // Every header start-up's search finds for an assignment number of three
    // digits, the first of each number and those after it: each line that
    // begins as such a header is one where the search, asked from the line
    // before it, stops.
    void findHeaders()
    {
        std::map<std::string, int, std::less<>> numbers; // "001." -> 1
        for (int number = 0; number <= 999; ++number)
            numbers.emplace(padAssignmentNumber(std::to_string(number)) + ".", number);
        for (std::size_t i = 1; i <= last_; ++i) {
            const auto number = numbers.find(slot(i).substr(0, 4));
            if (number == numbers.end())
                continue;
            const HeaderSearch search = findHeader(slots_, number->first, static_cast<int>(i) - 1);
            if (search.found && static_cast<std::size_t>(search.slot) == i)
                headerAt_.emplace(i, number->second);
        }
    }

    void error(std::size_t line, std::string text) { found_.insert({Severity::Error, line, std::move(text)}); }
    void warning(std::size_t line, std::string text) { found_.insert({Severity::Warning, line, std::move(text)}); }

    // What holds for a line wherever it stands.
    void checkLine(std::size_t i)
    {
        const std::string_view line = slot(i);
        if (const auto header = headerAt_.find(i); header != headerAt_.end()) {
            const int number = header->second;
            const std::string digits(line.substr(0, 3));
            if (number > highestAssignment)
                error(i, "assignment " + digits + " can never be opened: assignment numbers run from 000 to 100, " +
                             std::string("and a student who types ") + digits + " gets the invalid-assignment message");
            const auto [first, inserted] = firstHeader_.emplace(number, i);
            if (!inserted)
                warning(i, "a second header of assignment " + digits + " (the first is on line " +
                               std::to_string(first->second) + "): a student who types " + std::to_string(number) +
                               " always opens the first, so this one is never opened");
        }
        if (startsWithRoutineMarker(line)) {
            if (line.size() == routineMarker.size()) {
                warning(i, "a routine line without a routine name: Next Question shows it as text, and next "
                           "picture ends the student's run on it");
                return;
            }
            const std::string name = routineName(line);
            if (line[routineMarker.size()] != ' ')
                warning(i, "the ninth character of a routine line is skipped, whatever it is, so the routine's " +
                               std::string("name is read as ") + inQuotes(name) + "; write one blank after `routine");
            if (!isKnownRoutine(name))
                error(i, "unknown routine " + inQuotes(name) +
                             ": the student's run ends here (the routines are exitprog, graph1, graph2 and graph3)");
        }
        if (lowerPrefix(line, questionNumberMarker.size()) == questionNumberMarker) {
            const std::string_view rest = line.substr(questionNumberMarker.size());
            std::size_t digits = 0;
            while (digits < rest.size() && isDigit(rest[digits]))
                ++digits;
            const bool fraction = digits + 1 < rest.size() && rest[digits] == '.' && isDigit(rest[digits + 1]);
            if (digits != 3 || fraction)
                warning(i, "the question number is not written with three digits (`q003): the program reads it as " +
                               numberText(lenientNumber(rest)) + ", and the records of this question carry that");
        }
    }

    // The line the reader ended assignment `digits` on, by `end`.
    void noteEnd(std::size_t i, RunEnd end, const std::string& digits, const std::string& next)
    {
        if (end == RunEnd::NextAssignment && headerAt_.count(i) == 0) {
            std::string text = "this line begins with " + next + ", the number of the next assignment, so ";
            text += "the student's run of assignment " + digits + " ends here before it is shown; write it ";
            text += "another way, or with a point after the number (\"" + next + ".  Title\") if it starts ";
            warning(i, text + "assignment " + next);
        }
    }

    // A line the reader hands out in assignment `digits` without ending the
    // run.
    void noteRead(std::size_t i, const std::string& digits, const std::string& next)
    {
        if (headerAt_.count(i) != 0)
            warning(i, "the header of assignment " + std::string(slot(i).substr(0, 3)) + " inside assignment " +
                           digits + ": only a line beginning with " + next + " ends assignment " + digits +
                           ", so the student is shown this header as a question and reads on");
    }

    // next picture, clicked while line `shown` is the last one shown. When it
    // runs the exit routine, that click ends the student's run; an unknown
    // routine ends it too, but that is an error at its own line.
    void checkNextPicture(std::size_t shown, bool header = false)
    {
        const NextPictureClick click = nextPictureClick(slots_, static_cast<int>(shown));
        if (click.end() != RunEnd::Routine)
            return;
        const std::size_t i = static_cast<std::size_t>(click.endSlot());
        if (!walk_.ended)
            endings_.push_back({walk_.assignment, walk_.clicks, true, i, RunEnd::Routine, click.counter});
        // Clicked before the first question, it is one of the ways the run
        // ends; the findings speak of the questions shown.
        if (header)
            return;
        if (routineName(slot(i)) == exitRoutine)
            warning(shown, "next picture, clicked while this line is shown, runs the exit routine on line " +
                               std::to_string(i) +
                               " and ends the student's run; next picture looks at the two lines after the "
                               "one shown, so leave two blank lines before the exit routine");
    }

    // The first end of the walk is the student's; after an unknown routine
    // the walk reads on for findings only.
    void noteRunEnd(const NextQuestionClick& click)
    {
        if (walk_.ended || click.end() == RunEnd::None)
            return;
        walk_.ended = true;
        const int slot = click.endSlot();
        endings_.push_back({walk_.assignment, walk_.clicks, false, static_cast<std::size_t>(slot), click.end(), slot});
    }

    // Pages through the assignment as a student clicking Next Question would,
    // click by click, and notes how the run ends.
    void walkAssignment(int number, std::size_t header)
    {
        // The markers start-up makes of the number a student types.
        const std::string digits = padAssignmentNumber(std::to_string(number));
        const std::string next = padAssignmentNumber(std::to_string(number + 1));
        bool endedByUnknownRoutine = false;
        walk_ = {number, 0, false};
        checkNextPicture(header, true);
        for (int counter = static_cast<int>(header);;) {
            const NextQuestionClick click = nextQuestionClick(slots_, counter, next);
            ++walk_.clicks;
            noteRunEnd(click);
            if (click.first.end == RunEnd::RanOff)
                break;
            if (click.first.end != RunEnd::None)
                return noteEnd(static_cast<std::size_t>(click.first.slot), click.first.end, digits, next);
            noteRead(static_cast<std::size_t>(click.first.slot), digits, next);
            if (!click.runsRoutine) {
                checkNextPicture(static_cast<std::size_t>(click.first.slot));
                counter = click.first.slot;
                continue;
            }
            // The exit routine ends the run. So does an unknown name, but
            // that is an error of its own: read on as if it were mended, so
            // that one check finds what lies behind it too.
            const std::string name = routineName(slot(static_cast<std::size_t>(click.first.slot)));
            if (name == exitRoutine)
                return;
            endedByUnknownRoutine = endedByUnknownRoutine || click.routineEnds;
            // The same click reads the next line and shows it, even a
            // routine line.
            const LessonRead& read = click.second;
            if (read.end == RunEnd::RanOff)
                break;
            if (read.end != RunEnd::None)
                return noteEnd(static_cast<std::size_t>(read.slot), read.end, digits, next);
            noteRead(static_cast<std::size_t>(read.slot), digits, next);
            if (runByNextQuestion(slot(static_cast<std::size_t>(read.slot))))
                warning(static_cast<std::size_t>(read.slot),
                        "a routine line right after another: the first runs, and this one is shown to the "
                        "student as text");
            checkNextPicture(static_cast<std::size_t>(read.slot));
            counter = read.slot;
        }
        if (endedByUnknownRoutine)
            return;
        const std::string message = invalidAssignmentMessage;
        const std::string firstSentence = message.substr(0, message.find('.') + 1);
        error(header, "assignment " + digits + " has no end: after its last question the student gets the message \"" +
                          firstSentence + " ...\" and the run ends; end it with \"`routine exitprog\", the end " +
                          "marker \"####.#\" or the header of assignment " + next);
    }

    const std::vector<std::string>& lines_;
    std::size_t last_;
    LessonSlots slots_;                      // the lesson line table the program would hold
    std::map<std::size_t, int> headerAt_;    // line -> assignment number of each header the search finds
    std::map<int, std::size_t> firstHeader_; // assignment number -> line of its first header
    std::set<Finding, Order> found_;
    struct Walk {
        int assignment = 0;
        int clicks = 0;     // Next Question clicks so far
        bool ended = false; // the student's run has ended
    } walk_;
    std::vector<RunEnding> endings_;
};

} // namespace

std::vector<Finding> checkLessonLines(const std::vector<std::string>& lines)
{
    return Checker(lines).run();
}

std::vector<RunEnding> lessonRunEndings(const std::vector<std::string>& lines)
{
    Checker checker(lines);
    checker.run();
    return checker.endings();
}

std::string findingLine(const std::string& path, const Finding& finding)
{
    return printable(path) + ":" + std::to_string(finding.line) +
           (finding.severity == Severity::Error ? ": error: " : ": warning: ") + printable(finding.text);
}

std::vector<Finding> lessonFileFindings(const LessonFile& lesson)
{
    std::vector<Finding> findings;
    const std::string refuses = "the program refuses this file: ";
    if (!lesson.unholdable.empty()) {
        // Every character the code page lacks, then what the lines say with
        // a "?" in their place, together in the order of their lines.
        for (const LineRefusal& character : lesson.unholdable)
            findings.push_back({Severity::Error, character.line, refuses + character.text});
        const std::vector<Finding> others = checkLessonLines(lesson.lines);
        findings.insert(findings.end(), others.begin(), others.end());
        std::stable_sort(findings.begin(), findings.end(),
                         [](const Finding& a, const Finding& b) { return a.line < b.line; });
    } else if (!lesson.usable()) {
        findings.push_back({Severity::Error, std::max<std::size_t>(lesson.refusedLine, 1), refuses + lesson.refusal});
    } else {
        findings = checkLessonLines(lesson.lines);
    }
    return findings;
}

int checkLessonCommand(const std::string& path, std::ostream& out, std::ostream& err)
{
    const LessonFile lesson = readLessonFile(path);
    if (lesson.unreadable) {
        err << "qalesson: cannot check the lesson file \"" << printable(path) << "\": " << printable(lesson.refusal)
            << ".\n";
        return 2;
    }
    const std::vector<Finding> findings = lessonFileFindings(lesson);
    for (const Finding& finding : findings)
        out << findingLine(path, finding) << '\n';
    out.flush();
    return findings.empty() ? 0 : 1;
}

} // namespace qal
