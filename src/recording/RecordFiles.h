#pragma once

#include "platform/FileTable.h"

#include <string>
#include <vector>

namespace qal {

// The files one record is appended to, by number (1 master, 2 send, 3 notes).
//
// Each line goes to every file, in number order, before the next line is
// written, so a record cut short by a failure stops at the same line in every
// file (the first files at most one line ahead).
//
// A failure leaves no number open: whatever the record opened is closed
// before the failure goes on to the caller, so that trying again does not
// fail with "File already open". Lines already written stay.
class RecordFiles {
public:
    // Closes each number first (a number left open elsewhere must not make
    // the record fail), then opens paths[i] for appending as numbers[i].
    RecordFiles(FileTable& files, std::vector<int> numbers, const std::vector<std::string>& paths);
    // Closes whatever is still open when the record did not get to close().
    ~RecordFiles();
    RecordFiles(const RecordFiles&) = delete;
    RecordFiles& operator=(const RecordFiles&) = delete;

    // Writes the same line to every file.
    void write(const std::string& text);

    // Writes makeText() to every file, calling it once per file: for lines
    // that are coded per file or read the clock when written.
    template <typename MakeText> void writeEach(MakeText makeText)
    {
        for (int number : numbers_)
            files_.writeLine(number, makeText());
    }

    // Closes every file of the record (each is flushed to the disk).
    void close();

private:
    void closeQuietly() noexcept;

    FileTable& files_;
    std::vector<int> numbers_;
    bool closed_ = false;
};

} // namespace qal
