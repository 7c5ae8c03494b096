#include "run/CommandLine.h"

#include <algorithm>
#include <array>
#include <string_view>

#ifndef QALESSON_VERSION
#error "QALESSON_VERSION must be defined by the build"
#endif

namespace qal {

namespace {

using namespace std::string_view_literals;

// The toolkit's own options, without their dash. It accepts them with one
// dash or two, and takes the value of most only as the next argument.
constexpr std::array toolkitOptionsWithValue = {
    "platform"sv,    "platformpluginpath"sv, "platformtheme"sv, "plugin"sv, "qwindowgeometry"sv,
    "qwindowicon"sv, "qwindowtitle"sv,       "session"sv,       "style"sv,  "stylesheet"sv,
    "display"sv,     "geometry"sv,           "icon"sv,          "name"sv,   "title"sv,
};
constexpr std::array toolkitFlags = {
    "reverse"sv, "widgetcount"sv, "sync"sv, "nograb"sv, "dograb"sv, "testability"sv,
};
// The options the toolkit also reads as -option=value.
constexpr std::array toolkitOptionsWithJoinedValue = {"style"sv, "stylesheet"sv, "qmljsdebugger"sv};

template <std::size_t N> bool contains(const std::array<std::string_view, N>& names, std::string_view name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The option's name without its one or two leading dashes.
std::string_view withoutDashes(std::string_view argument)
{
    argument.remove_prefix(argument.starts_with("--") ? 2 : 1);
    return argument;
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments)
{
    CommandLine result;
    result.toolkitArguments.push_back(arguments.empty() ? std::string("qalesson") : arguments.front());
    bool help = false;
    bool version = false;
    bool check = false;
    // How the lesson file was given, for the refusal of a second one.
    std::string lessonGivenBy;
    auto refuse = [&result](std::string problem) {
        if (result.problem.empty())
            result.problem = std::move(problem);
    };
    auto setLesson = [&](const std::string& path, const std::string& by) {
        if (path.empty())
            refuse(by + " needs a file name");
        else if (lessonGivenBy == by && by != "a file name")
            refuse(by + " given more than once");
        else if (!lessonGivenBy.empty())
            refuse("two lesson files given: \"" + result.lessonPath + "\" and \"" + path + "\"");
        if (lessonGivenBy.empty())
            lessonGivenBy = by;
        result.lessonPath = path;
    };

    bool optionsEnded = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        const bool hasNext = i + 1 < arguments.size();
        if (arg == "-" || arg.empty()) {
            refuse("unexpected argument: " + arg); // no lesson from standard input
        } else if (optionsEnded || arg[0] != '-') {
            setLesson(arg, "a file name");
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--version" || arg == "-v") {
            version = true;
        } else if (arg == "--lesson" || arg == "--check") {
            if (arg == "--check")
                check = true;
            if (!hasNext)
                refuse(arg + " needs a file name");
            else
                setLesson(arguments[++i], arg);
        } else if (arg.starts_with("--lesson=") || arg.starts_with("--check=")) {
            const std::size_t equals = arg.find('=');
            if (arg.starts_with("--check="))
                check = true;
            setLesson(arg.substr(equals + 1), arg.substr(0, equals));
        } else {
            const std::string_view option = withoutDashes(arg);
            const std::string_view name = option.substr(0, option.find('='));
            const bool joined = name.size() != option.size();
            if (!joined && contains(toolkitOptionsWithValue, name)) {
                if (!hasNext) {
                    refuse(arg + " needs a value");
                } else {
                    result.toolkitArguments.push_back(arg);
                    result.toolkitArguments.push_back(arguments[++i]);
                }
            } else if (joined ? contains(toolkitOptionsWithJoinedValue, name) : contains(toolkitFlags, name)) {
                result.toolkitArguments.push_back(arg);
            } else {
                refuse("unknown option: " + arg);
            }
        }
    }

    if (!result.problem.empty())
        result.action = CommandLine::Action::Refuse;
    else if (help)
        result.action = CommandLine::Action::ShowHelp;
    else if (version)
        result.action = CommandLine::Action::ShowVersion;
    else if (check)
        result.action = CommandLine::Action::Check;
    return result;
}

std::string usageText()
{
    return "Usage: qalesson [--lesson] [FILE] [toolkit options]\n"
           "       qalesson --check FILE\n"
           "       qalesson --help | --version\n";
}

std::string helpText()
{
    const char* const description = "\n"
                                    "A question-and-answer lesson: answer the start-up questions, then page\n"
                                    "through the assignment's questions and record your responses.\n"
                                    "\n"
                                    "Options:\n"
                                    "  FILE, --lesson FILE\n"
                                    "                  use the lesson in FILE (UTF-8 or Windows-1252 text, CR LF\n"
                                    "                  or LF line ends, at most 5000 lines of at most 65535\n"
                                    "                  characters) instead of the built-in one\n"
                                    "  --check FILE    check the lesson in FILE and print what a student would\n"
                                    "                  run into, one \"FILE:LINE: error: ...\" or \"warning\" a\n"
                                    "                  line; runs nothing, writes nothing, needs no display\n"
                                    "  -h, --help      print this help and exit\n"
                                    "  -v, --version   print the version and exit\n"
                                    "\n"
                                    "The toolkit's own options, such as -platform NAME or -style NAME, are\n"
                                    "passed on to it.\n"
                                    "\n"
                                    "Files: the master, send and notes files go to c:\\drovnel (a home user),\n"
                                    "which is ~/drovnel, or to a folder on drive I: (a LAN user). Drive C: is\n"
                                    "your home folder unless QALESSON_DRIVE_C names another folder; any other\n"
                                    "drive X: is the folder QALESSON_DRIVE_X names (QALESSON_DRIVE_I=/mnt/lan).\n"
                                    "\n"
                                    "Exit status: 0 when the lesson ends or the window is closed; 2 for a wrong\n"
                                    "option or a lesson file that cannot be used. With --check: 0 when nothing\n"
                                    "was found, 1 when something was, 2 when the file cannot be read.\n";
    return usageText() + description;
}

std::string versionText()
{
    return std::string("qalesson ") + QALESSON_VERSION + "\n";
}

} // namespace qal
