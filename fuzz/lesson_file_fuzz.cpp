// Fuzzes the lesson file reader: any bytes in a file either make lesson
// lines without line breaks or are refused with a reason.

#include "FuzzSupport.h"

#include "run/LessonFile.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <unistd.h>

using namespace qal;

namespace {
std::string lessonPath;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    lessonPath = "/tmp/qalesson-fuzz-lesson-" + std::to_string(getpid()) + ".txt";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> whole = splitLessonLines(bytes);
    for (const auto& line : whole)
        fuzz::require(line.find_first_of("\r\n") == std::string::npos, "no line break in a line");

    // Fed in two pieces, anywhere, the lines are the same.
    if (size > 0) {
        const std::size_t cut = data[0] % (size + 1);
        LessonLineSplitter splitter;
        splitter.feed(bytes.substr(0, cut));
        splitter.feed(bytes.substr(cut));
        fuzz::require(splitter.finish() == whole, "split in pieces");
    }

    {
        std::ofstream out(lessonPath, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    const LessonFile file = readLessonFile(lessonPath);
    if (file.usable()) {
        // UTF-8 lines become Windows-1252, one byte a character; any other
        // text is kept byte for byte.
        fuzz::require(file.lines.size() == whole.size(), "file lines are the split lines");
        for (const auto& line : file.lines)
            fuzz::require(line.size() <= maxLessonLineLength, "line length");
        fuzz::require(!file.lines.empty() && file.lines.size() <= maxLessonLines, "line count");
    } else if (!file.unholdable.empty()) {
        // Refused for its characters alone: every one named in the order of
        // the file, the first the refusal, the lines kept for the checker.
        fuzz::require(file.refusal == file.unholdable.front().text && file.refusedLine == file.unholdable.front().line,
                      "the first character is the refusal");
        for (std::size_t i = 0; i < file.unholdable.size(); ++i)
            fuzz::require(file.unholdable[i].line >= 1 && file.unholdable[i].line <= whole.size() &&
                              (i == 0 || file.unholdable[i - 1].line <= file.unholdable[i].line),
                          "characters in the order of the lines");
        fuzz::require(file.lines.size() == whole.size(), "the lines of a file refused for its characters");
    } else {
        fuzz::require(file.lines.empty(), "refused file has no lines");
        fuzz::require(!lessonFileRefusalLine(lessonPath, file.refusal).empty(), "refusal line");
    }
    return 0;
}
