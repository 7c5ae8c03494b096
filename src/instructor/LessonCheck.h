#pragma once

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

// "LESSON:LINE: error: TEXT", the form compilers use, so editors can jump to
// the line.
std::string findingLine(const std::string& path, const Finding& finding);

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
