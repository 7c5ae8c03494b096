#include "run/CommandLine.h"
#include "fakes/CaseTable.h"

#include <gtest/gtest.h>

#include <ostream>
#include <regex>
#include <string>
#include <vector>

namespace qal {
namespace {

using test::caseName;
using test::PrintTo; // where GoogleTest looks for it

using Action = CommandLine::Action;
using Args = std::vector<std::string>;

struct ParseCase {
    const char* name;
    Args arguments; // after the program name
    Action action;
    std::string lessonPath;
    Args toolkitOptions; // after the program name
    std::string problem;
};

const ParseCase parseCases[] = {
    {"Nothing", {}, Action::Run, "", {}, ""},
    {"LessonThenFile", {"--lesson", "lessons/a.txt"}, Action::Run, "lessons/a.txt", {}, ""},
    {"LessonJoined", {"--lesson=my lessons/a b.txt"}, Action::Run, "my lessons/a b.txt", {}, ""},
    {"LessonFileMayStartWithDash", {"--lesson", "-odd.txt"}, Action::Run, "-odd.txt", {}, ""},
    {"Help", {"--help"}, Action::ShowHelp, "", {}, ""},
    {"ShortHelp", {"-h"}, Action::ShowHelp, "", {}, ""},
    {"HelpBesideLesson", {"--lesson", "a.txt", "--help"}, Action::ShowHelp, "a.txt", {}, ""},
    {"Version", {"--version"}, Action::ShowVersion, "", {}, ""},
    {"ShortVersion", {"-v"}, Action::ShowVersion, "", {}, ""},
    {"HelpWinsOverVersion", {"--version", "--help"}, Action::ShowHelp, "", {}, ""},
    {"ToolkitOptionWithValue",
     {"-platform", "offscreen", "--lesson", "a.txt", "-style", "fusion"},
     Action::Run,
     "a.txt",
     {"-platform", "offscreen", "-style", "fusion"},
     ""},
    {"ToolkitOptionWithTwoDashes", {"--platform", "xcb"}, Action::Run, "", {"--platform", "xcb"}, ""},
    {"ToolkitOptionJoined",
     {"-style=fusion", "-qmljsdebugger=port:1234"},
     Action::Run,
     "",
     {"-style=fusion", "-qmljsdebugger=port:1234"},
     ""},
    {"ToolkitFlags", {"-reverse", "--widgetcount"}, Action::Run, "", {"-reverse", "--widgetcount"}, ""},
    {"ToolkitValueMayLookLikeOurOption", {"-display", "--lesson"}, Action::Run, "", {"-display", "--lesson"}, ""},
    {"UnknownLongOption", {"--lessons", "a.txt"}, Action::Refuse, "", {}, "unknown option: --lessons"},
    {"UnknownShortOption", {"-x"}, Action::Refuse, "", {}, "unknown option: -x"},
    {"FlagWithValue", {"-reverse=1"}, Action::Refuse, "", {}, "unknown option: -reverse=1"},
    // The toolkit would silently ignore -platform=NAME, so it is refused.
    {"JoinedValueTheToolkitIgnores",
     {"-platform=offscreen"},
     Action::Refuse,
     "",
     {},
     "unknown option: -platform=offscreen"},
    {"JoinedOnlyOptionAlone", {"-qmljsdebugger"}, Action::Refuse, "", {}, "unknown option: -qmljsdebugger"},
    // A lone file name is the lesson, as a file manager's "Open with" gives it.
    {"BareFileName", {"a.txt"}, Action::Run, "a.txt", {}, ""},
    {"BareFileNameBesideToolkitOptions",
     {"-platform", "offscreen", "my lessons/a b.txt"},
     Action::Run,
     "my lessons/a b.txt",
     {"-platform", "offscreen"},
     ""},
    {"FileNameAfterDoubleDash", {"--", "-odd.txt"}, Action::Run, "-odd.txt", {}, ""},
    {"TwoFileNames", {"a.txt", "b.txt"}, Action::Refuse, "", {}, "two lesson files given: \"a.txt\" and \"b.txt\""},
    {"LessonAndFileName",
     {"--lesson", "a.txt", "b.txt"},
     Action::Refuse,
     "",
     {},
     "two lesson files given: \"a.txt\" and \"b.txt\""},
    {"FileNameAndLesson",
     {"a.txt", "--lesson=b.txt"},
     Action::Refuse,
     "",
     {},
     "two lesson files given: \"a.txt\" and \"b.txt\""},
    {"EmptyFileName", {""}, Action::Refuse, "", {}, "unexpected argument: "},
    {"LoneDash", {"-"}, Action::Refuse, "", {}, "unexpected argument: -"},
    {"Check", {"--check", "a.txt"}, Action::Check, "a.txt", {}, ""},
    {"CheckJoined", {"--check=a b.txt"}, Action::Check, "a b.txt", {}, ""},
    {"CheckIgnoresToolkitOptions",
     {"--check", "a.txt", "-platform", "xcb"},
     Action::Check,
     "a.txt",
     {"-platform", "xcb"},
     ""},
    {"HelpWinsOverCheck", {"--check", "a.txt", "--help"}, Action::ShowHelp, "a.txt", {}, ""},
    {"CheckWithoutFile", {"--check"}, Action::Refuse, "", {}, "--check needs a file name"},
    {"CheckAndLesson",
     {"--check", "a.txt", "--lesson", "b.txt"},
     Action::Refuse,
     "",
     {},
     "two lesson files given: \"a.txt\" and \"b.txt\""},
    {"CheckAndFileName",
     {"--check", "a.txt", "b.txt"},
     Action::Refuse,
     "",
     {},
     "two lesson files given: \"a.txt\" and \"b.txt\""},
    {"LessonWithoutFile", {"--lesson"}, Action::Refuse, "", {}, "--lesson needs a file name"},
    {"LessonWithEmptyFile", {"--lesson="}, Action::Refuse, "", {}, "--lesson needs a file name"},
    {"LessonTwice",
     {"--lesson", "a.txt", "--lesson=b.txt"},
     Action::Refuse,
     "b.txt",
     {},
     "--lesson given more than once"},
    {"ToolkitOptionWithoutValue",
     {"--lesson", "a.txt", "-platform"},
     Action::Refuse,
     "a.txt",
     {},
     "-platform needs a value"},
    {"ProblemWinsOverHelp", {"--help", "--bogus"}, Action::Refuse, "", {}, "unknown option: --bogus"},
    {"FirstProblemIsNamed", {"--bogus", "-x"}, Action::Refuse, "", {}, "unknown option: --bogus"},
};

class ParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, Parses)
{
    const ParseCase& c = GetParam();
    Args arguments{"/usr/bin/qalesson"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const CommandLine line = parseCommandLine(arguments);
    EXPECT_EQ(line.action, c.action);
    EXPECT_EQ(line.problem, c.problem);
    if (c.action != Action::Refuse) {
        EXPECT_EQ(line.lessonPath, c.lessonPath);
        Args toolkit{"/usr/bin/qalesson"};
        toolkit.insert(toolkit.end(), c.toolkitOptions.begin(), c.toolkitOptions.end());
        EXPECT_EQ(line.toolkitArguments, toolkit);
    }
}

INSTANTIATE_TEST_SUITE_P(CommandLines, ParseTest, ::testing::ValuesIn(parseCases), caseName);

TEST(CommandLineTexts, HelpNamesEveryOptionAfterTheUsage)
{
    const std::string help = helpText();
    EXPECT_EQ(help.substr(0, usageText().size()), usageText());
    for (const char* option : {"--lesson FILE", "--check FILE", "-h, --help", "-v, --version", "-platform", "~/drovnel",
                               "QALESSON_DRIVE_C", "QALESSON_DRIVE_X", "Exit status"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    for (const std::string& text : {usageText(), help, versionText()})
        EXPECT_EQ(text.back(), '\n');
}

TEST(CommandLineTexts, VersionIsTheProgramNameAndANumber)
{
    EXPECT_TRUE(std::regex_match(versionText(), std::regex("qalesson [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << versionText();
}

TEST(CommandLineTexts, EmptyArgumentListStillNamesTheProgram)
{
    const CommandLine line = parseCommandLine({});
    EXPECT_EQ(line.action, Action::Run);
    EXPECT_EQ(line.toolkitArguments, Args{"qalesson"});
}

} // namespace
} // namespace qal
