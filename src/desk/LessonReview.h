#pragma once

#include "instructor/LessonCheck.h"

#include <cstddef>
#include <string>
#include <vector>

namespace qal {

// What the desk's "Check a lesson" shows of a lesson file: what --check finds
// in it and its lines to look at.
struct LessonReview {
    std::string path;    // the file, as given
    std::string problem; // why the file cannot be checked at all; empty when it was
    std::vector<Finding> findings;
    std::vector<std::string> lines; // the file's lines as UTF-8, line 1 first; empty when it cannot be read

    bool checked() const { return problem.empty(); }
};

// Reads and checks the lesson file at path (UTF-8) as qalesson --check does.
LessonReview reviewLesson(const std::string& path);

// "error" or "warning".
const char* findingKind(const Finding& finding);

// The lines around a finding's line: up to `around` before and after it,
// each "   12  text", the finding's own marked "> " in place of the first two
// blanks. Empty when the line is not in lines (a refusal of the whole file).
std::string excerptAround(const std::vector<std::string>& lines, std::size_t line, std::size_t around = 3);

} // namespace qal
