#pragma once

#include "platform/FileTable.h"
#include "recording/RecordLayout.h"

#include <cstddef>
#include <span>
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

    // Writes the lines of a block in the layout's order, each to the files
    // it goes to. A line with a fixed text is written as it is; any other is
    // makeText(part, place), called once for each file it goes to (place is
    // the file's place in the unit, from 0), in the order of the files: a
    // line coded per file or reading the clock is made again for each.
    template <typename MakeText> void writeLines(std::span<const recordLayout::Line> layout, MakeText makeText)
    {
        for (const recordLayout::Line& line : layout) {
            for (std::size_t place = 0; place < numbers_.size(); ++place) {
                if (line.in == recordLayout::In::FirstOnly && place > 0)
                    break;
                if (const auto fixed = recordLayout::fixedText(line.part))
                    files_.writeLine(numbers_[place], *fixed);
                else
                    files_.writeLine(numbers_[place], makeText(line.part, place));
            }
        }
    }

    // Writes, flushes and closes every file of the unit. finishing: the unit
    // is the same one the table's last failed unit was (the same record tried
    // again), to be finished where it is missing (FileTable::closeUnit).
    void close(bool finishing = false);

private:
    void abandonQuietly() noexcept;

    FileTable& files_;
    std::vector<int> numbers_;
    bool closed_ = false;
};

} // namespace qal
