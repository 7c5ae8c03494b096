// The instructor's report of the files that come back: no window, no toolkit,
// only the core.

#include "instructor/ReportCommand.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    std::ios::sync_with_stdio(false);
    return qal::reportCommand(std::vector<std::string>(argv, argv + argc), std::cout, std::cerr);
}
