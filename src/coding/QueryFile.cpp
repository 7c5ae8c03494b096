#include "run/LessonForm.h"

#include "platform/FileTable.h"
#include "platform/RunError.h"

#include <string>
#include <string_view>

namespace qal {

namespace {

// The first six characters, ASCII letters lower-cased: the keys compared
// with are ASCII, and no other letter of the code page lower-cases into ASCII.
std::string lineKey(std::string_view line)
{
    std::string key(line.substr(0, 6));
    for (char& c : key)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return key;
}

} // namespace

void LessonForm::codeFile()
{
    const std::string queryPath = s_.baseFolder + "\\query" + s_.queryName + ".txt";
    const std::string codedPath = s_.baseFolder + "\\queri" + s_.queryName + ".txt";
    try {
        // The first line's length becomes the run's code number. A missing or
        // empty query file fails here, before anything else changes.
        files_.open(1, queryPath, FileMode::Input);
        const std::string firstLine = files_.readLine(1);
        s_.codeNumber = static_cast<float>(firstLine.size());
        files_.closeAll();

        files_.open(1, queryPath, FileMode::Input);
        files_.open(2, codedPath, FileMode::Output);
        while (!files_.eof(1)) {
            const std::string line = files_.readLine(1);
            const std::string key = lineKey(line);
            if (key == "assign") {
                files_.writeLine(2, line);
            } else if (key == "query ") {
                // Characters 6 and 7 (the blank and the one after it) are dropped.
                const std::string rest = line.size() > 7 ? line.substr(7) : std::string();
                files_.writeLine(2, "query" + code(rest, s_.codeNumber));
            } else {
                files_.writeLine(2, code(line, s_.codeNumber));
            }
        }
        // Closed here, not left open: the coded file is complete on disk, and
        // a following record can open numbers 1 and 2 again.
        files_.close(1);
        files_.close(2);
    } catch (const RunError&) {
        for (int number : {1, 2}) {
            try {
                files_.close(number);
            } catch (const RunError&) {
            }
        }
        throw;
    }
}

} // namespace qal
