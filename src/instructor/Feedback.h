#pragma once

#include "instructor/RecordFileReader.h"
#include "paging/LessonLimits.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace qal {

// The way back: the rows of a marked workbook, matched by their id alone,
// turned into what each student gets, a lesson file to page through (and
// answer) in the program and a page to read or print.

// A record of the workbook with the instructor's mark and comment.
struct MarkedRecord {
    std::size_t row = 0; // the workbook's row
    ReportRecord record; // file, student, ..., text as the row holds them
    std::string mark;
    std::string comment;
};

// The marked records of one student and assignment, in the order they were
// recorded, and the name their files take.
struct FeedbackSet {
    std::string assignment; // three digits
    std::string lesson;     // the lesson's title, from the first record
    std::string name;       // <name> of the student's own files
    std::string student;
    std::string initials;
    std::vector<MarkedRecord> records;
};

// Takes the rows of a workbook's sheets one at a time, as they are read.
class FeedbackRows {
public:
    // One row of a sheet: the first row of each sheet is its header, and a
    // sheet whose header has no id column is none of the report's (the
    // instructor's own, the class overview) and is passed over. Each
    // warning is "ROW: warning: ..." without the file's name.
    void take(const std::string& sheet, std::size_t row, const std::vector<std::string>& cells,
              std::vector<std::string>& warnings);

    // Whether any sheet had an id column.
    bool sawRecords() const { return sawRecords_; }

    // The sets, by file name (feedback_001_Ann_Lee, ...), each in the order
    // its records were made; taken out, so that they are not held twice.
    std::map<std::string, FeedbackSet> takeSets();

private:
    struct Sheet {
        bool records = false;
        std::vector<std::size_t> columnOf; // by reportColumns' place; npos where absent
    };
    std::map<std::string, Sheet> sheets_;
    struct Marked {
        std::size_t row;
        std::size_t marks; // a hash of the mark and the comment
    };
    std::map<std::string, Marked> marked_; // by id: the row it was first marked on
    std::map<std::string, FeedbackSet> sets_;
    bool sawRecords_ = false;
};

// The file name of a set's two files, without ".txt" or ".html".
std::string feedbackFileStem(const FeedbackSet& set);

// The most marked records a feedback lesson shows: a lesson's lines are the
// header, the lines before the questions, each question and its blank line,
// the two blank lines and the two lines of the end. The page shows them all.
inline constexpr std::size_t maxFeedbackQuestions = (maxLessonLines - 8) / 2;

// The lesson file (Windows-1252, CR LF): the header "NNN.  <title> —
// feedback", a line that tells what to do, then a question-number line for
// each marked record holding the question, the student's text, the mark and
// the comment, and the exit routine. Every text stands inside a line, never
// at its start, so nothing of it reads as a marker; a text's line breaks
// become " / ".
std::string feedbackLesson(const FeedbackSet& set);

// The same as a self-contained HTML page, every text escaped, with a total
// where the marks are numbers.
std::string feedbackPage(const FeedbackSet& set);

// A mark as a number ("7", "7.5", "-1", "7,5"): false when it is none ("A-",
// "7/10").
bool markNumber(const std::string& mark, double& value);

// The ISO date of a spreadsheet's day number (45998 for 2025-12-07), and
// HH:MM:SS of a fraction of a day, as a workbook's date and time cells hold
// them; the text as it is when it is no number.
std::string isoDateOfDayNumber(const std::string& cell);
std::string timeOfDayFraction(const std::string& cell);

} // namespace qal
