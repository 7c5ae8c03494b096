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

bool WorkbookReport::close(std::string& reason)
{
    return writable(reason);
}

} // namespace qal
