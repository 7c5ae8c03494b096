#pragma once

#include <string>
#include <vector>

namespace qal {

// What the desk's "Try it" needs besides starting the program: where the
// student's drive C: goes for the trial, and what the run left there.

// The lesson program beside the desk's own program file (qalesson, or
// qalesson.exe on Windows), as a UTF-8 path.
std::string lessonProgramBeside(const std::string& deskProgram);

// A new empty folder for one trial's drive C:, under the system's folder
// for temporary files; empty, with why, when none can be made.
std::string makeScratchDrive(std::string& reason);

// Every file under folder, its path from folder with "/" between the parts,
// sorted: what the trial wrote.
std::vector<std::string> filesUnder(const std::string& folder);

} // namespace qal
