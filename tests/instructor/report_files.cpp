// Writes the report scenario's master, send and notes files into
// FOLDER/drovnel, for the tests that run qalesson-report on them.
//
//   report_files FOLDER

#include "ReportScenario.h"

#include "fakes/TestEnvironment.h"

#include <cstdlib>
#include <exception>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: report_files FOLDER\n";
        return 2;
    }
    qal::test::setVariable("QALESSON_DRIVE_C", argv[1]);
    try {
        qal::test::recordScenario();
    } catch (const std::exception& e) {
        std::cerr << "report_files: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
