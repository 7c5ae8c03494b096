#pragma once

#include "instructor/ClassOverview.h"
#include "instructor/Feedback.h"
#include "platform/Host.h"

#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qal {

// qalesson-report [--html] FILE...: reads master, send and notes files and
// writes the CSV report (or with --html the HTML page) on out. A piece of a
// file that is no whole block is reported on err as "FILE:LINE: warning: ..."
// and skipped. Arguments as main() receives them, the program name first.
// Returns the exit status: 0; 1 when something was skipped; 2 when a file
// cannot be read or the arguments are wrong.
int reportCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// The report's work as a library, for the instructor's desk: each call
// writes on err the lines the command writes and returns the status it
// would. keepGoing, when given, is asked before each file and every thousand
// records it reads (and before each student's feedback); once it says no the
// work stops, nothing more is written, no file is left half-written (a
// workbook's part file is removed, an earlier workbook stays as it was) and
// the call returns reportStopped.
using KeepGoing = std::function<bool()>;
inline constexpr int reportStopped = -1;

// Every whole record of the record files, in order, read on host.
int forEachRecord(const std::vector<std::string>& files, std::ostream& err, const KeepGoing& keepGoing,
                  const std::function<void(const ReportRecord&)>& use, Host& host = systemHost());

// The class overview with --lesson's questions and --roster's students
// (either path may be empty); none when either cannot be read.
std::optional<ClassOverview> classOverview(const std::string& lesson, const std::string& roster, std::ostream& err);

// --xlsx: the workbook of the record files, with its class sheet, whose rows
// go to overview too when it is given and the workbook is written.
struct WorkbookRequest {
    std::string workbook;
    std::string lesson; // may be empty
    std::string roster; // may be empty
    std::vector<std::string> files;
};
int writeWorkbookReport(const WorkbookRequest& request, std::ostream& err, const KeepGoing& keepGoing,
                        std::vector<OverviewRow>* overview = nullptr);

// --feedback in its two halves: the sets of a marked workbook (none when it
// cannot be read or nothing is marked), and their files written into folder
// (defaultFeedbackFolder(marked) when empty), each path written going to
// written when given.
int readMarkedWorkbook(const std::string& path, std::ostream& err, std::map<std::string, FeedbackSet>& sets);
std::string defaultFeedbackFolder(const std::string& marked);
int writeFeedbackFiles(const std::map<std::string, FeedbackSet>& sets, const std::string& marked,
                       const std::string& folder, std::ostream& err, const KeepGoing& keepGoing,
                       std::vector<std::string>* written = nullptr);

} // namespace qal
