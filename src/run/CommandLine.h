#pragma once

#include <string>
#include <vector>

namespace qal {

// What the program was asked to do on its command line.
//
// Our own options are --lesson FILE (also --lesson=FILE), --check FILE
// (also --check=FILE), --help (-h) and --version (-v). A lone FILE is the
// lesson, as with --lesson FILE; after "--" every argument is such a FILE. The window toolkit's own options (-platform
// NAME, -style NAME, -reverse, ...) are recognised with their values and handed on, in their order, in
// toolkitArguments, so the toolkit still sees them. Anything else is refused.
struct CommandLine {
    enum class Action {
        Run,         // start the lesson
        ShowHelp,    // print helpText() to standard output, exit 0
        ShowVersion, // print versionText() to standard output, exit 0
        Check,       // check the lesson in lessonPath, run nothing
        Refuse,      // print problem and usageText() to standard error, exit 2
    };

    Action action = Action::Run;
    std::string lessonPath; // empty: the built-in lesson; for Check the file to check
    std::string problem;    // for Refuse, e.g. "unknown option: --lessons"
    // The program name followed by the toolkit's options, for the toolkit.
    std::vector<std::string> toolkitArguments;
};

// Parses the arguments as main() receives them, the program name first.
// A problem anywhere refuses the whole line, even beside --help; otherwise
// --help wins over --version, and both over checking and running.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// Texts printed by the program; each ends with a line end.
std::string usageText();
std::string helpText();
std::string versionText();

} // namespace qal
