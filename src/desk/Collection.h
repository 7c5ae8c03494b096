#pragma once

#include "instructor/ClassOverview.h"
#include "instructor/ReportCommand.h"

#include <cstddef>
#include <string>
#include <vector>

namespace qal {

// What the desk's "Collect answers" does with the files students mailed
// back: the report's reading and workbook, with what they say as lines to
// show.

// The record files of a folder the instructor chose: the send files
// (send_*.txt, in any letter case) it holds, by name; none of its folders.
std::vector<std::string> recordFilesIn(const std::string& folder);

// Where the workbook goes unless the instructor says otherwise:
// answers.xlsx beside the first file.
std::string defaultWorkbookPath(const std::vector<std::string>& files);

struct CollectionSummary {
    int status = 0; // as the report's: 0, 1 something skipped, 2 a file unreadable; reportStopped
    std::size_t records = 0;
    std::size_t students = 0;          // by name and initials
    std::size_t assignments = 0;       // by number and lesson
    std::vector<std::string> messages; // the report's warnings and refusals, a line each
    std::vector<OverviewRow> overview; // the class sheet's rows
};

// Reads every record of the files (with the lesson's questions and the
// roster's students when their paths are not empty) and counts them.
CollectionSummary summarizeCollection(const std::vector<std::string>& files, const std::string& lesson,
                                      const std::string& roster, const KeepGoing& keepGoing = {});

struct WrittenWorkbook {
    int status = 0;
    bool written = false; // the workbook is there, whole
    std::vector<std::string> messages;
    std::vector<OverviewRow> overview;
};

WrittenWorkbook writeCollectionWorkbook(const WorkbookRequest& request, const KeepGoing& keepGoing = {});

// The report's lines on its error stream, each without its trailing line end
// and without the program's name in front ("qalesson-report: "), which a
// window needs no more than a terminal needs its title.
std::vector<std::string> reportMessageLines(const std::string& err);

} // namespace qal
