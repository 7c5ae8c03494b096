#include "run/LessonForm.h"

#include "paging/LessonLineText.h"
#include "platform/FileTable.h"
#include "platform/RunError.h"
#include "run/RunState.h"

#include <string>

namespace qal {

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
            // The key: the first six characters, lower-cased.
            const std::string key = lowerPrefix(line, 6);
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
        files_.closeQuietly({1, 2});
        throw;
    }
}

} // namespace qal
