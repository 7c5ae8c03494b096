#include "desk/LessonReview.h"

#include "platform/CodePage.h"
#include "platform/Host.h"
#include "run/LessonFile.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace qal {

namespace {

// The file's lines for the view, as the instructor's editor shows them: a
// refused file is still shown as far as it can be read, so that the line a
// refusal names can be looked at.
std::vector<std::string> viewLines(const std::string& path, const LessonFile& lesson)
{
    if (lesson.usable() && lesson.unholdable.empty()) {
        std::vector<std::string> lines;
        lines.reserve(lesson.lines.size());
        for (const std::string& line : lesson.lines)
            lines.push_back(cp1252ToUtf8(line));
        return lines;
    }
    std::string bytes;
    std::ifstream file(hostPathFromUtf8(path), std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(file), {});
    if (bytes.size() > maxLessonBytes)
        bytes.resize(maxLessonBytes);
    const bool utf8 = isUtf8(bytes);
    std::vector<std::string> lines = splitLessonLines(bytes);
    if (!utf8)
        for (std::string& line : lines)
            line = cp1252ToUtf8(line);
    return lines;
}

} // namespace

LessonReview reviewLesson(const std::string& path)
{
    LessonReview review;
    review.path = path;
    const LessonFile lesson = readLessonFile(path);
    if (lesson.unreadable) {
        review.problem = "Cannot check \"" + path + "\": " + lesson.refusal + ".";
        return review;
    }
    review.findings = lessonFileFindings(lesson);
    review.lines = viewLines(path, lesson);
    return review;
}

const char* findingKind(const Finding& finding)
{
    return finding.severity == Finding::Severity::Error ? "error" : "warning";
}

std::string excerptAround(const std::vector<std::string>& lines, std::size_t line, std::size_t around)
{
    if (line == 0 || line > lines.size())
        return {};
    const std::size_t first = line > around ? line - around : 1;
    const std::size_t last = std::min(lines.size(), line + around);
    std::string out;
    char number[32];
    for (std::size_t n = first; n <= last; ++n) {
        std::snprintf(number, sizeof number, "%s%5zu  ", n == line ? "> " : "  ", n);
        out += number;
        out += lines[n - 1];
        if (n != last)
            out += '\n';
    }
    return out;
}

} // namespace qal
