#pragma once

#include "platform/FileTable.h"

#include <string>
#include <string_view>
#include <vector>

namespace qal {

// The files one header block or record is appended to, by number (1 master,
// 2 send, 3 notes), written as one unit: it reaches every file whole, or none
// of them at all (see FileTable::closeUnit).
//
// The lines are gathered in memory and go to the files only at close(), each
// file's in one write. A failure before that (a file that will not open, a
// line that cannot be made) leaves every file as it was; a failure in close()
// cuts every file back to where it was. Either way no number is left open, so
// trying again neither fails with "File already open" nor writes the unit
// twice.
class RecordFiles {
public:
    // Closes each number first (a number left open elsewhere must not make
    // the unit fail), then opens paths[i] for appending as numbers[i].
    RecordFiles(FileTable& files, std::vector<int> numbers, const std::vector<std::string>& paths);
    // Gives the unit up when it did not get to close(): nothing is written.
    ~RecordFiles();
    RecordFiles(const RecordFiles&) = delete;
    RecordFiles& operator=(const RecordFiles&) = delete;

    // Writes the same line to every file.
    void write(std::string_view text);
    // Writes a line to one file of the unit only.
    void writeTo(int number, std::string_view text);

    // Writes makeText() to every file, calling it once per file: for lines
    // that are coded per file or read the clock when written.
    template <typename MakeText> void writeEach(MakeText makeText)
    {
        for (int number : numbers_)
            files_.writeLine(number, makeText());
    }

    // Writes, flushes and closes every file of the unit.
    void close();

private:
    void abandonQuietly() noexcept;

    FileTable& files_;
    std::vector<int> numbers_;
    bool closed_ = false;
};

} // namespace qal
