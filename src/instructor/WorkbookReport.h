#pragma once

#include "instructor/ClassOverview.h"
#include "instructor/RecordFileReader.h"

#include <memory>
#include <string>

namespace qal {

// The report as an Excel workbook (.xlsx), which LibreOffice Calc and Excel
// open without an import dialog: the CSV's columns on a sheet, every text a
// text cell (nothing is taken for a formula, "002" stays "002"), the date and
// the time as date and time cells shown as 2026-12-07 and 14:05:10, the
// question and the text wrapped, the header row frozen, an autofilter.
//
// Written with libxlsxwriter in its constant-memory mode: each row goes to a
// temporary file as it is added, so the memory held does not grow with the
// rows. A sheet holds at most 1,048,575 records below its header row; the
// records after that go on a further sheet with the same header.
class WorkbookReport {
public:
    // The longest text a cell holds, in characters.
    static constexpr std::size_t maxCellCharacters = 32767;

    // A workbook that close() writes to path. large asks for the ZIP64 form,
    // which a workbook needs once a sheet's data passes 4 GB. Until it is
    // whole the workbook is written beside it, to path + ".part", so a
    // workbook that fails never takes the place of an earlier one.
    explicit WorkbookReport(const std::string& path, bool large = false);
    ~WorkbookReport();
    WorkbookReport(const WorkbookReport&) = delete;
    WorkbookReport& operator=(const WorkbookReport&) = delete;

    // False, with why, when the workbook cannot be written where it goes;
    // known at once, before any row.
    bool writable(std::string& reason) const;

    // What adding a row did to its texts.
    struct Added {
        bool cut = false;        // a text longer than a cell holds, cut at maxCellCharacters
        bool unholdable = false; // a NUL or another control character XML cannot hold, shown as "\0" or "\x1b"
    };

    // One row. False when a text could not go into its cell as it is;
    // lastAdded() then says why.
    bool add(const ReportRecord& record);
    const Added& lastAdded() const { return lastAdded_; }

    // The sheet "class" after the records sheets: the overview's rows, the
    // counts as numbers and the days as date cells.
    void addOverview(const std::vector<OverviewRow>& rows);

    // Writes the file. False, with why, when it cannot be written; then any
    // part of it that was written is removed.
    bool close(std::string& reason);

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
    Added lastAdded_;
};

} // namespace qal
