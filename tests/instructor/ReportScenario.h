#pragma once

#include <string>
#include <vector>

namespace qal::test {

// Runs of the lesson program on the fake toolkit that leave master, send and
// notes files for the report to read: Renée Dubois with two runs (two header
// blocks in each of her files), responses of one line and of several, notes
// and accented letters; Bob Ng; "=Eve", whose name, initials and answers
// begin as formulas do; Zoë Ann, with two lessons numbered 001 and answers
// that hold the lines of records and header blocks. The files go to drive C:
// as QALESSON_DRIVE_C names it, in its drovnel folder.
void recordScenario();

// The lesson the runs page through (Windows-1252).
std::vector<std::string> scenarioLesson();

// Another lesson whose only assignment is numbered 001 too.
std::vector<std::string> secondLessonOfOne();

// Answers that hold what the report's reader looks for between records.
enum class FoolingAnswer {
    DotLine,      // a line of a closing separator's 49 points, and text after it
    ForgedRecord, // the lines of a whole response record of the master file, but its closing separator
    HeaderBlock,  // after the marker's line, the five lines of a header block that follow
                  // its code line; then a closing separator and text
    // Written as the program writes them, these would read, without a care,
    // as records of their own or of another student:
    ClosedRecord, // a closing separator, then a whole response record of the master file, then text
    OtherStudent, // a closing separator, a whole header block of another student and a record's start
    Indented,     // a closing separator, an opening one and a name line, each after blanks
};
std::string fooledReaderAnswer(FoolingAnswer which);

} // namespace qal::test
