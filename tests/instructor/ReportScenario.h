#pragma once

#include <string>
#include <vector>

namespace qal::test {

// Runs of the lesson program on the fake toolkit that leave master, send and
// notes files for the report to read: two students, one of them with two
// runs (two header blocks in each of her files), responses of one line and of
// several, notes, and accented letters. The files go to drive C: as
// QALESSON_DRIVE_C names it, in its drovnel folder.
void recordScenario();

// The lesson the runs page through (Windows-1252).
std::vector<std::string> scenarioLesson();

} // namespace qal::test
