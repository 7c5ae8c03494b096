#pragma once

#include "instructor/Feedback.h"
#include "instructor/ReportCommand.h"

#include <map>
#include <string>
#include <vector>

namespace qal {

// What the desk's "Return feedback" shows before it writes and what it
// writes: the report's --feedback in its two halves.

struct FeedbackPreview {
    std::string marked; // the marked workbook, as given
    int status = 0;     // the report's: 0; 1 rows skipped or nothing marked; 2 the workbook unreadable
    std::map<std::string, FeedbackSet> sets; // by file name, each student's and assignment's
    std::vector<std::string> messages;       // each skipped row and why, or why nothing can be returned
};

FeedbackPreview previewFeedback(const std::string& marked);

// The students who get feedback: one a name and initials, however many
// assignments they get it for.
std::size_t feedbackStudents(const FeedbackPreview& preview);

// The rows skipped: the warnings among the messages, "ROW: warning: ...".
std::size_t skippedRows(const FeedbackPreview& preview);

// What to mail to whom, a line a set:
// "feedback_001_Ann_Lee.txt and .html to Ann Lee (AL): 2 marked records".
std::vector<std::string> mailingLines(const FeedbackPreview& preview);

struct ReturnedFeedback {
    int status = 0;
    std::string folder;
    std::vector<std::string> written; // the files written, whole
    std::vector<std::string> messages;
};

// Writes the preview's files into folder (the folder feedback beside the
// workbook when empty).
ReturnedFeedback returnFeedback(const FeedbackPreview& preview, const std::string& folder,
                                const KeepGoing& keepGoing = {});

} // namespace qal
