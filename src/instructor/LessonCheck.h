#pragma once

#include "paging/LessonReader.h"

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

namespace qal {

// One thing the lesson checker found, at a line of the lesson file.
struct Finding {
    enum class Severity { Error, Warning };
    Severity severity = Severity::Error;
    std::size_t line = 1; // 1-based line of the lesson file
    std::string text;     // UTF-8, one line, says what the student would see

    bool operator==(const Finding&) const = default;
};

// Checks lesson lines (line 1 of the file first, Windows-1252 as the lesson
// readers hold them) by the rules the program itself follows when it opens
// an assignment and pages through it: it walks every assignment a student can
// open click by click, as Next Question reads it, and looks at every header,
// routine line and question-number line. Sorted by line; the same finding is
// given once even when several assignments walk over its line.
std::vector<Finding> checkLessonLines(const std::vector<std::string>& lines);

// One way a student's run of an assignment ends, as the checker pages
// through it: after `nextQuestionClicks` clicks of Next Question from the
// header (and then one of next picture, when byNextPicture), the run ends on
// `line` of the lesson for `reason`; on RanOff, line is the slot past the
// table that the reader failed on. `counter` is the form's line counter as
// the run ends.
struct RunEnding {
    int assignment = 0;
    int nextQuestionClicks = 0;
    bool byNextPicture = false;
    std::size_t line = 0;
    RunEnd reason = RunEnd::None;
    int counter = 0;

    bool operator==(const RunEnding&) const = default;
};

// Every way the checker finds a student's run ending, for each assignment it
// walks: the one end Next Question comes to, and each click of next picture
// on the way that ends the run. In the order of the assignments and clicks.
std::vector<RunEnding> lessonRunEndings(const std::vector<std::string>& lines);

// "LESSON:LINE: error: TEXT", the form compilers use, so editors can jump to
// the line.
std::string findingLine(const std::string& path, const Finding& finding);

struct LessonFile;

// What --check finds in a lesson file that was read (readLessonFile) and is
// not unreadable: its refusal as a finding at the line concerned, every
// character the code page cannot hold, and what checkLessonLines finds.
// Sorted by line.
std::vector<Finding> lessonFileFindings(const LessonFile& lesson);

// qalesson --check LESSON. Reads the file as --lesson does (its refusals are
// findings at the line concerned), runs nothing and writes no file. Every
// character the code page cannot hold is a finding of its own, and the lines
// are then checked with a "?" in its place, so one run finds everything.
// Prints one finding a line on out, sorted by line, and on err why a file
// cannot be read at all.
// Returns the exit status: 0 nothing found, 1 findings, 2 the file cannot be
// read.
int checkLessonCommand(const std::string& path, std::ostream& out, std::ostream& err);

} // namespace qal
