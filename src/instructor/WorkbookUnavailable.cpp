// WorkbookReport in a build made without libxlsxwriter (the Windows cross
// build: Debian has the library for Linux only). It refuses at once, before
// any file is read or written, and says why.

#include "instructor/WorkbookReport.h"

namespace qal {

class WorkbookReport::Impl {};

WorkbookReport::WorkbookReport(const std::string&, bool) {}

WorkbookReport::~WorkbookReport() = default;

bool WorkbookReport::writable(std::string& reason) const
{
    reason = "this build of qalesson-report cannot write workbooks (it was made without libxlsxwriter); "
             "write the CSV instead";
    return false;
}

bool WorkbookReport::add(const ReportRecord&)
{
    return false;
}

void WorkbookReport::addOverview(const std::vector<OverviewRow>&) {}

bool WorkbookReport::close(std::string& reason)
{
    return writable(reason);
}

} // namespace qal

// Nor does it read a marked workbook (it was made without minizip and expat).

#include "instructor/SpreadsheetReader.h"

namespace qal {

bool readSpreadsheet(const std::string&, const std::function<void(const SheetRow&)>&, std::string& refusal)
{
    refusal = "this build of qalesson-report cannot read workbooks (it was made without minizip and expat)";
    return false;
}

} // namespace qal
