#include "instructor/LessonCheck.h"

#include "fakes/CaseTable.h"
#include "fakes/FormOnFakes.h"
#include "paging/LessonLineText.h"
#include "run/LessonForm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace qal {
namespace {

using test::caseName;
using test::PrintTo; // where GoogleTest looks for it

using Lines = std::vector<std::string>;
using Severity = Finding::Severity;
constexpr Severity E = Severity::Error;
constexpr Severity W = Severity::Warning;

// A finding as a test expects it: its line, its severity and a piece of its text.
struct Expected {
    std::size_t line;
    Severity severity;
    std::string part;
};

struct CheckCase {
    const char* name;
    Lines lesson;
    std::vector<Expected> findings;
};

std::string shown(const std::vector<Finding>& findings)
{
    std::string text;
    for (const Finding& f : findings)
        text += findingLine("L", f) + "\n";
    return text;
}

void expectFindings(const std::vector<Finding>& found, const std::vector<Expected>& expected)
{
    ASSERT_EQ(found.size(), expected.size()) << shown(found);
    for (std::size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].line, expected[i].line) << shown(found);
        EXPECT_EQ(found[i].severity, expected[i].severity) << shown(found);
        EXPECT_NE(found[i].text.find(expected[i].part), std::string::npos) << shown(found);
    }
}

const CheckCase checkCases[] = {
    {"EndMarkerEnds", {"001.  A", "", "`q001  one", "", "####.#"}, {}},
    {"ExitRoutineEnds", {"001.  A", "`q001  one", "", "", "`ROUTINE EXIT-PROG"}, {}},
    {"NextHeaderEnds", {"001.  A", "one", "002.  B", "two", "", "", "`routine exitprog"}, {}},
    {"ExitRoutineInReachOfNextPicture",
     {"001.  A", "`q001  one", "", "`routine exitprog"},
     {{2, W,
       "next picture, clicked while this line is shown, runs the exit routine on line 4 and ends the "
       "student's run"}}},
    {"ExitRoutineRightAfter", {"001.  A", "one", "`ROUTINE EXIT-PROG"}, {{2, W, "exit routine on line 3"}}},
    {"ExitRoutinePastAPictureRoutine",
     {"001.  A", "one", "`routine graph1", "two", "`routine exitprog"},
     {{2, W, "exit routine on line 5"}, {4, W, "exit routine on line 5"}}},
    {"LooselyWrittenRoutineName", {"001.  A", "`Routine Graph - 1", "one", "####.#"}, {}},
    {"HighestAssignmentOpens", {"100.  A", "one", "####.#"}, {}},
    {"UnknownRoutineBeforeTheFirstHeader",
     {"notes to self", "`routine nothing", "001.  A", "one", "####.#"},
     {{2, E, "unknown routine \"nothing\""}}},
    {"UnknownRoutine",
     {"001.  A", "one", "`routine grpah1", "two", "####.#"},
     {{3, E, "unknown routine \"grpah1\": the student's run ends here"}}},
    {"UnknownNameIsTheOnlyEnd", {"001.  A", "one", "`routine exitprg"}, {{3, E, "unknown routine \"exitprg\""}}},
    {"NinthCharacterLost",
     {"001.  A", "`routineexitprog"},
     {{2, E, "unknown routine \"xitprog\""}, {2, W, "read as \"xitprog\""}}},
    {"NinthCharacterTab", {"001.  A", "`routine\tgraph1", "one", "####.#"}, {{2, W, "ninth character"}}},
    {"BareMarker", {"001.  A", "`routine", "one", "####.#"}, {{2, W, "without a routine name"}}},
    {"NoEnd", {"001.  A", "", "one", "", "two", ""}, {{1, E, "assignment 001 has no end"}}},
    {"NoEndInTheSecondAssignment",
     {"001.  A", "one", "002.  B", "two"},
     {{3, E,
       "assignment 002 has no end: after its last question the student gets the message \"You have "
       "probably not entered a valid assignment number."}}},
    {"AGraphRoutineIsNoEnd", {"001.  A", "one", "`routine graph3"}, {{1, E, "has no end"}}},
    {"HeaderAbove100", {"101.  A", "one", "####.#"}, {{1, E, "assignment 101 can never be opened"}}},
    {"NextNumberAsText",
     {"001.  A", "Weigh it.", "002 kg of sand fill the bucket", "####.#"},
     {{3, W,
       "begins with 002, the number of the next assignment, so the student's run of assignment 001 ends "
       "here"}}},
    {"NextNumberWithPointIsAHeader", {"001.  A", "one", "002.", "two", "####.#"}, {}},
    {"QuestionNumbers",
     {"001.  A", "`q1  one", "`Q0012  two", "`q 003  three", "`q002.5  four", "`questionNumber", "`Q007  fine",
      "`q008.", "####.#"},
     {{2, W, "reads it as 1,"},
      {3, W, "reads it as 12,"},
      {4, W, "reads it as 3,"},
      {5, W, "reads it as 2.5,"},
      {6, W, "reads it as 0,"}}},
    {"TwoRoutineLines",
     {"001.  A", "`routine graph1", "", "`routine graph2", "one", "####.#"},
     {{4, W, "a routine line right after another"}}},
    {"ThreeRoutineLinesTheThirdRunsAgain",
     {"001.  A", "`routine graph1", "`routine graph2", "`routine graph3", "one", "####.#"},
     {{3, W, "right after another"}}},
    {"DuplicateHeader",
     {"001.  A", "one", "####.#", "001.  B", "two", "####.#"},
     {{4, W, "a second header of assignment 001 (the first is on line 1)"}}},
    {"OtherHeaderInside",
     {"001.  A", "one", "003.  C", "three", "####.#"},
     {{3, W, "the header of assignment 003 inside assignment 001"}}},
    {"NoHeader", {"one", "two"}, {{1, E, "no assignment header"}}},
    {"BlankOnlyLineIsShown", {"001.  A", " "}, {{1, E, "has no end"}}},
    {"Nothing", {}, {}},
};

class CheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CheckTest, Finds)
{
    expectFindings(checkLessonLines(GetParam().lesson), GetParam().findings);
}

INSTANTIATE_TEST_SUITE_P(Lessons, CheckTest, ::testing::ValuesIn(checkCases), caseName);

// What a student meets in a real run of the program on each lesson, beside
// what the checker says of it: the findings are about what really happens.
struct RunCase {
    const char* name;
    Lines lesson;
    Expected finding;
    std::string assignment; // typed at start-up
    int clicks;             // of Next Question, then one Enter Response when record
    bool record;
    bool ends;                  // the program has ended
    bool invalidMessage;        // ... after the invalid-assignment message
    std::string questionBox;    // what the question box shows (when the run goes on)
    std::string masterContains; // a piece of the master file
};

const RunCase runCases[] = {
    {"UnknownRoutineEndsTheRun",
     {"001.  A", "one", "`routine grpah1", "two", "####.#"},
     {3, E, "unknown routine"},
     "1",
     2,
     false,
     true,
     false,
     "",
     ""},
    {"LostNinthCharacterEndsTheRun",
     {"001.  A", "one", "`routinegraph1", "two", "####.#"},
     {3, E, "unknown routine \"raph1\""},
     "1",
     2,
     false,
     true,
     false,
     "",
     ""},
    {"NoEndGivesTheInvalidAssignmentMessage",
     {"001.  A", "one"},
     {1, E, "has no end"},
     "1",
     2,
     false,
     true,
     true,
     "",
     ""},
    {"HeaderAbove100NeverOpens",
     {"101.  A", "one", "####.#"},
     {1, E, "can never be opened"},
     "101",
     0,
     false,
     true,
     true,
     "",
     ""},
    {"NextNumberAsTextEndsTheRun",
     {"001.  A", "one", "002 kg of sand", "####.#"},
     {3, W, "begins with 002"},
     "1",
     2,
     false,
     true,
     false,
     "",
     ""},
    {"SecondRoutineLineIsShown",
     {"001.  A", "`routine graph1", "`routine graph2", "one", "####.#"},
     {3, W, "right after another"},
     "1",
     1,
     false,
     false,
     false,
     "`routine graph2",
     ""},
    {"QuestionNumberOfOneDigit",
     {"001.  A", "`q1  one", "####.#"},
     {2, W, "reads it as 1,"},
     "1",
     1,
     true,
     false,
     false,
     "",
     "`questionNumber 10001 \r\n"},
    {"QuestionNumberOfFourDigits",
     {"001.  A", "`q0012  one", "####.#"},
     {2, W, "reads it as 12,"},
     "1",
     1,
     true,
     false,
     false,
     "",
     "`questionNumber 10012 \r\n"},
    {"SecondHeaderIsNeverOpened",
     {"001.  A", "first", "####.#", "001.  B", "second", "####.#"},
     {4, W, "never opened"},
     "1",
     1,
     false,
     false,
     false,
     "first",
     ""},
    {"OtherHeaderIsShown",
     {"001.  A", "one", "003.  C", "three", "####.#"},
     {3, W, "inside assignment 001"},
     "1",
     2,
     false,
     false,
     false,
     "one003.  C",
     ""},
};

class CheckAgainstRunTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(CheckAgainstRunTest, FindingIsWhatTheStudentMeets)
{
    const RunCase& c = GetParam();
    const std::vector<Finding> found = checkLessonLines(c.lesson);
    bool named = false;
    for (const Finding& f : found)
        named = named || (f.line == c.finding.line && f.severity == c.finding.severity &&
                          f.text.find(c.finding.part) != std::string::npos);
    EXPECT_TRUE(named) << shown(found);

    test::FormOnFakes run;
    run.startUp({"1", "Ann Lee", "AL", c.assignment}, c.lesson);
    for (int i = 0; i < c.clicks; ++i)
        run.form.cmdNextQuestion_Click();
    if (c.record) {
        run.toolkit.answerBox = "an answer";
        run.form.cmd_enter_response_Click();
    }
    EXPECT_EQ(run.form.ended(), c.ends);
    if (c.invalidMessage) {
        EXPECT_EQ(run.toolkit.messages, Lines{invalidAssignmentMessage});
    } else {
        EXPECT_TRUE(run.toolkit.messages.empty());
    }
    if (!c.ends && !c.record) {
        EXPECT_EQ(run.toolkit.questionBox, c.questionBox);
    }
    if (!c.masterContains.empty()) {
        const std::string master = test::readBytes(run.drive.root() / "drovnel" / "masterFile_Ann_Lee.txt");
        EXPECT_NE(master.find(c.masterContains), std::string::npos) << master;
    }
}

INSTANTIATE_TEST_SUITE_P(Lessons, CheckAgainstRunTest, ::testing::ValuesIn(runCases), caseName);

// A routine line without a name: Next Question shows it, next picture ends
// the run on it.
TEST(CheckAgainstRunTest, BareMarkerIsShownThenEndsNextPicture)
{
    const Lines lesson = {"001.  A", "one", "`routine", "two", "####.#"};
    expectFindings(checkLessonLines(lesson), {{3, W, "without a routine name"}});
    for (const bool picture : {false, true}) {
        test::FormOnFakes run;
        run.startUp({"1", "Ann Lee", "AL", "1"}, lesson);
        run.form.cmdNextQuestion_Click();
        if (picture)
            run.form.cmd_next_picture_Click();
        else
            run.form.cmdNextQuestion_Click();
        EXPECT_EQ(run.form.ended(), picture);
        EXPECT_TRUE(run.toolkit.messages.empty());
        if (!picture) {
            EXPECT_EQ(run.toolkit.questionBox, "one`routine");
        }
    }
}

// The exit routine within next picture's reach ends the run at that click;
// two blank lines before it keep it for Next Question.
TEST(CheckAgainstRunTest, ExitRoutineInReachEndsNextPicture)
{
    for (const bool inReach : {true, false}) {
        Lines lesson = {"001.  A", "`q001  one", "", "`routine exitprog"};
        if (!inReach)
            lesson.insert(lesson.begin() + 2, "");
        const std::vector<Finding> found = checkLessonLines(lesson);
        if (inReach)
            expectFindings(found, {{2, W, "runs the exit routine on line 4"}});
        else
            EXPECT_TRUE(found.empty()) << shown(found);
        test::FormOnFakes run;
        run.startUp({"1", "Ann Lee", "AL", "1"}, lesson);
        run.form.cmdNextQuestion_Click();
        run.form.cmd_next_picture_Click();
        EXPECT_EQ(run.form.ended(), inReach);
        run.form.cmdNextQuestion_Click();
        EXPECT_TRUE(run.form.ended());
        EXPECT_TRUE(run.toolkit.messages.empty());
    }
}

// The same walk over a real lesson of the full length: a lesson of 5000
// lines whose last line ends it is whole; one line short of that, it is not.
TEST(CheckTest, LessonOfFullLength)
{
    Lines lesson(5000);
    lesson[0] = "001.  A";
    lesson[1] = "one";
    lesson[4999] = "####.#";
    EXPECT_TRUE(checkLessonLines(lesson).empty());
    lesson[4999] = "last";
    expectFindings(checkLessonLines(lesson), {{1, E, "has no end"}});
}

// The command: refusals of the lesson reader are findings at their line; a
// file that cannot be read at all is exit status 2.
struct CommandCase {
    const char* name;
    std::string bytes; // written to the file; "<missing>" writes none, "<folder>" makes a folder
    int status;
    std::string out; // the whole standard output, FILE standing for the path
};

const CommandCase commandCases[] = {
    {"Clean", "001.  A\r\n\r\none\r\n####.#\r\n", 0, ""},
    {"Finding", "001.  A\none\n`routine grpah1\n", 1,
     "FILE:3: error: unknown routine \"grpah1\": the student's run ends here (the routines are exitprog, graph1, "
     "graph2 and graph3)\n"},
    {"AccentedRoutineNameInUtf8", "001.  A\none\n`routine graph\xE9\n####.#\n", 1,
     "FILE:3: error: unknown routine \"graph\xC3\xA9\": the student's run ends here (the routines are exitprog, "
     "graph1, graph2 and graph3)\n"},
    {"NulByteAtItsLine", std::string("001.  A\r\none\r\ntw\0o\r\n", 18), 1,
     "FILE:3: error: the program refuses this file: line 3 holds a NUL byte, so it is not a text file\n"},
    {"Empty", "", 1, "FILE:1: error: the program refuses this file: it is empty\n"},
    // Every character the code page lacks, and what the lines hold besides,
    // in one run and in the order of the lines.
    {"EveryCharacterTheCodePageLacksAndAllElse",
     "001.  Optics\n\n`q001  Where is the focus?\n\nThe lens.\n`routine grpah2\n\n"
     "n\xE2\x82\x80 and n\xE1\xB5\xA2 are the indices\n\n\n\n\n\nf \xE2\x89\x88 2 cm\n####.#\n",
     1,
     "FILE:6: error: unknown routine \"grpah2\": the student's run ends here (the routines are exitprog, graph1, "
     "graph2 and graph3)\n"
     "FILE:8: error: the program refuses this file: line 8, column 2 holds \"\xE2\x82\x80\" (U+2080), which "
     "Windows-1252 cannot hold\n"
     "FILE:8: error: the program refuses this file: line 8, column 9 holds \"\xE1\xB5\xA2\" (U+1D62), which "
     "Windows-1252 cannot hold\n"
     "FILE:14: error: the program refuses this file: line 14, column 3 holds \"\xE2\x89\x88\" (U+2248), which "
     "Windows-1252 cannot hold\n"},
    // A character replaced by "?" still counts in what follows.
    {"ReplacedCharacterInARoutineName", "001.  A\none\n`routine graph\xE2\x82\x81\n####.#\n", 1,
     "FILE:3: error: the program refuses this file: line 3, column 15 holds \"\xE2\x82\x81\" (U+2081), which "
     "Windows-1252 cannot hold\n"
     "FILE:3: error: unknown routine \"graph?\": the student's run ends here (the routines are exitprog, graph1, "
     "graph2 and graph3)\n"},
    {"Missing", "<missing>", 2, ""},
    {"Folder", "<folder>", 2, ""},
};

class CheckCommandTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CheckCommandTest, PrintsAndExits)
{
    const CommandCase& c = GetParam();
    test::TempDrive dir;
    const std::string path = (dir.root() / "lesson.txt").string();
    if (c.bytes == "<folder>")
        std::filesystem::create_directory(path);
    else if (c.bytes != "<missing>")
        test::writeBytes(path, c.bytes);
    std::ostringstream out, err;
    EXPECT_EQ(checkLessonCommand(path, out, err), c.status);
    std::string expected = c.out;
    for (std::size_t at; (at = expected.find("FILE")) != std::string::npos;)
        expected.replace(at, 4, path);
    EXPECT_EQ(out.str(), expected);
    if (c.status == 2) {
        EXPECT_EQ(err.str().rfind("qalesson: cannot check the lesson file \"" + path + "\": ", 0), 0u) << err.str();
    } else {
        EXPECT_EQ(err.str(), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Files, CheckCommandTest, ::testing::ValuesIn(commandCases), caseName);

TEST(CheckCommandTest, TooLongLessonIsFoundAtTheFirstLineTooMany)
{
    test::TempDrive dir;
    const std::string path = (dir.root() / "long.txt").string();
    std::string bytes = "001.  A\r\n";
    for (int i = 0; i < 5000; ++i)
        bytes += "x\r\n";
    test::writeBytes(path, bytes);
    std::ostringstream out, err;
    EXPECT_EQ(checkLessonCommand(path, out, err), 1);
    EXPECT_EQ(out.str().rfind(path + ":5001: error: the program refuses this file: ", 0), 0u) << out.str();
}

TEST(CheckCommandTest, SampleLessonIsClean)
{
    std::ostringstream out, err;
    EXPECT_EQ(checkLessonCommand(QALESSON_SOURCE_DIR "/lessons/sample.txt", out, err), 0) << out.str();
    EXPECT_EQ(out.str(), "");
}

} // namespace
} // namespace qal

namespace qal {
namespace {

// Random lessons from the kinds of line the checker knows about, each
// assignment run on the fakes until it ends: the checker says "no end" for
// exactly the assignments whose run ends in the invalid-assignment message,
// and a run that ends without a message ends on a line the checker named
// (an unknown routine, a line beginning with the next number) or on a line
// that is meant to end it.
TEST(CheckAgainstRandomRunsTest, AgreesWithTheProgram)
{
    const Lines pool = {"",
                        "",
                        "text",
                        " ",
                        "`q001  a question",
                        "`q1  a question",
                        "`routine graph1",
                        "`ROUTINE Graph-2",
                        "`routine grpah1",
                        "`routine exitprog",
                        "`routineexitprog",
                        "`routine",
                        "002 kg of sand",
                        "003.  Another",
                        "####.#",
                        "####. not the end"};
    const Lines headers = {"000.  Zero", "001.  One", "002.  Two", "099.  Ninety-nine", "100.  Hundred"};
    std::mt19937 random(20261207);
    for (int lessonNumber = 0; lessonNumber < 100; ++lessonNumber) {
        Lines lesson;
        const int assignments = 1 + static_cast<int>(random() % 3);
        for (int a = 0; a < assignments; ++a) {
            lesson.push_back(headers[random() % headers.size()]);
            const int length = static_cast<int>(random() % 8);
            for (int i = 0; i < length; ++i)
                lesson.push_back(pool[random() % pool.size()]);
        }
        const std::vector<Finding> findings = checkLessonLines(lesson);
        auto named = [&findings](std::size_t line, const std::string& part) {
            return std::any_of(findings.begin(), findings.end(), [&](const Finding& f) {
                return f.line == line && f.text.find(part) != std::string::npos;
            });
        };
        std::string context;
        for (const std::string& line : lesson)
            context += line + "\n";

        for (std::size_t h = 0; h < lesson.size(); ++h) {
            const std::string& header = lesson[h];
            if (!(header.size() > 3 && header[3] == '.' && header[0] >= '0' && header[0] <= '9'))
                continue;
            const std::string number = header.substr(0, 3);
            if (std::find_if(lesson.begin(), lesson.begin() + static_cast<std::ptrdiff_t>(h),
                             [&](const std::string& l) { return l.starts_with(number + "."); }) !=
                lesson.begin() + static_cast<std::ptrdiff_t>(h))
                continue; // a later header of the same number is never opened

            test::FormOnFakes run;
            run.startUp({"1", "Ann Lee", "AL", number}, lesson);
            for (int click = 0; click < 200 && !run.form.ended(); ++click)
                run.form.cmdNextQuestion_Click();
            ASSERT_TRUE(run.form.ended()) << context;

            const bool invalid = !run.toolkit.messages.empty();
            EXPECT_EQ(named(h + 1, "has no end"), invalid) << "assignment " << number << " of\n" << context;
            if (invalid)
                continue;
            const std::size_t at = static_cast<std::size_t>(run.s.lineCounter);
            ASSERT_GE(at, 1u);
            ASSERT_LE(at, lesson.size()) << context;
            const std::string& last = lesson[at - 1];
            const bool meantToEnd = last.starts_with("####.#") || last == "`routine exitprog" ||
                                    last.starts_with(run.s.nextAssignmentMarker + ".");
            EXPECT_TRUE(meantToEnd || named(at, "unknown routine") || named(at, "begins with"))
                << "line " << at << " of\n"
                << context;
        }
    }
}

} // namespace
} // namespace qal
