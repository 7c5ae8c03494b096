// The instructor's report of the files that come back: no window, no toolkit,
// only the core.

#include "instructor/ReportCommand.h"
#include "platform/Console.h"

#include <iostream>

int main(int argc, char* argv[])
{
    std::ios::sync_with_stdio(false);
    // The report's CSV ends its lines in CR LF itself.
    qal::useBinaryStandardOutput();
    return qal::reportCommand(qal::commandLineArguments(argc, argv), std::cout, std::cerr);
}
