#pragma once

#include "instructor/RecordFileReader.h"

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace qal {

// The class at a glance: one row per student (name and initials) and
// assignment (number and lesson) with how many responses and notes came
// back, the first and the last day, and which questions of the lesson have
// no response yet; with a roster, every student of it, those with nothing
// received too.

// A student of the roster: the name as the student types it, the initials.
struct RosterStudent {
    std::string name;
    std::string initials;
};

// The roster file's text: one student a line, "name, initials" (UTF-8, or
// Windows-1252 when it is not UTF-8; any line end). A line without a comma
// is a warning ("LINE: warning: ..."); blank lines are skipped.
std::vector<RosterStudent> readRoster(std::string_view bytes, std::vector<std::string>& warnings);

// The questions of each assignment of a lesson (lines in Windows-1252, as
// the lesson readers hold them), by the assignment's header line in UTF-8
// ("001.  Timing a pendulum"): its question-number lines where it has any,
// else every line a student is shown; up to the next header, the end marker
// or an exit routine.
std::map<std::string, std::vector<std::string>> lessonQuestions(const std::vector<std::string>& lines);

struct OverviewRow {
    std::string student;
    std::string initials;
    std::string assignment; // empty for a student of the roster with nothing received
    std::string lesson;
    std::size_t responses = 0;
    std::size_t notes = 0;
    std::string first; // ISO dates
    std::string last;
    std::string unanswered; // "002, 003", "all answered", "(lesson not given)" or "nothing received"
};

class ClassOverview {
public:
    ClassOverview(std::vector<RosterStudent> roster, std::map<std::string, std::vector<std::string>> questions);

    void add(const ReportRecord& record);

    // By student, then assignment and lesson; the roster's students with
    // nothing received among them.
    std::vector<OverviewRow> rows() const;

private:
    struct Tally {
        std::size_t responses = 0, notes = 0;
        std::string first, last;
        std::string title;
        std::set<std::string> answered; // question lines with a response
    };
    using Key = std::tuple<std::string, std::string, std::string, std::string>; // student, initials, number, lesson
    std::vector<RosterStudent> roster_;
    std::map<std::string, std::vector<std::string>> questions_;
    std::map<Key, Tally> tallies_;
};

// The overview as a table for the top of the HTML page.
std::string htmlOverview(const std::vector<OverviewRow>& rows);

} // namespace qal
