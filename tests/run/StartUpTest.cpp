#include "paging/LessonLineText.h"
#include "run/LessonForm.h"

#include "fakes/FormOnFakes.h"

#include <gtest/gtest.h>

namespace qal {
namespace {

using test::annLee;
using test::FormOnFakes;

const char* const lanFolder = "i:\\bkp_000416\\My Documents\\distance students\\interactive problems\\lb1";

// Start-up on fakes, in a temporary drive C:, so every run starts afresh;
// a table of cases makes a form of its own for each row.
class StartUpTest : public ::testing::Test, protected FormOnFakes {
protected:
    std::string general(int number) const { return LessonForm::generalErrorMessage + std::to_string(number); }
};

TEST_F(StartUpTest, AsksTheFourQuestionsInOrder)
{
    startUp(annLee());
    EXPECT_EQ(toolkit.prompts,
              (std::vector<std::string>{
                  "Enter 1 for home user, 2 for Quelby LAN user", "Your full name:  ",
                  "Your initials (use all 3 initials and always use the same three initials when submitting work):  ",
                  "Assignment Number:  "}));
    EXPECT_TRUE(toolkit.messages.empty());
    EXPECT_FALSE(form.ended());
    const RunState& s = form.state();
    EXPECT_EQ(s.studentName, "Ann Lee");
    EXPECT_EQ(s.initials, "ALX");
    EXPECT_EQ(s.assignmentNumber, "001");
    EXPECT_EQ(s.nextAssignmentMarker, "002");
    EXPECT_EQ(s.readingMode, 1);
    EXPECT_EQ(s.lineCounter, 1);
    EXPECT_EQ(s.questionLabel, " <-<-<-<-  Q/A:   ");
    EXPECT_EQ(s.answerLabel, " YOUR ANSWER  ->->->->  ");
    EXPECT_EQ(s.defaultAnswerPrompt.substr(0, 33), "Enter, as appropriate, an answer ");
    EXPECT_NE(s.defaultAnswerPrompt.find("just an OK.\r\n\r\nAlways critique"), std::string::npos);
    EXPECT_EQ(s.defaultAnswerPrompt.size(), 502u);
    EXPECT_EQ(toolkit.scaleCalls, (std::vector<std::string>{"Picture1 height 1000", "Picture1 width 1000",
                                                            "Picture2 height 1000", "Picture2 width 1000"}));
    EXPECT_EQ(random.seededWith, clock.reading.secondsSinceMidnight);
}

TEST_F(StartUpTest, FirstReplyChoosesTheBaseFolder)
{
    const struct {
        const char* reply;
        bool lan;
    } cases[] = {{"2", true}, {" 2 ", true}, {"2.0", true}, {"1", false}, {"0", false}, {"3", false}, {"-2", false}};
    for (const auto& c : cases) {
        FormOnFakes run;
        // Assignment 5 has no header, so the run ends before any file is written.
        run.startUp({c.reply, "Ann Lee", "ALX", "5"});
        EXPECT_EQ(run.s.baseFolder, c.lan ? lanFolder : "c:\\drovnel") << c.reply;
    }
}

TEST_F(StartUpTest, ANonNumericFirstReplyReportsThirteenThenEnds)
{
    for (const char* reply : {"x", "", "two"}) {
        FormOnFakes run;
        run.startUp({reply, "Ann Lee", "ALX", "1"});
        EXPECT_EQ(run.toolkit.prompts.size(), 1u) << "later questions are skipped";
        ASSERT_EQ(run.toolkit.messages.size(), 2u);
        EXPECT_EQ(run.toolkit.messages[0], general(13));
        EXPECT_EQ(run.toolkit.messages[1], invalidAssignmentMessage);
        EXPECT_TRUE(run.form.ended());
        EXPECT_EQ(run.toolkit.endCalls, 1);
        EXPECT_EQ(run.s.studentName, "");
        // The local base folder is made all the same.
        EXPECT_TRUE(std::filesystem::is_directory(run.drive.root() / "drovnel"));
    }
}

TEST_F(StartUpTest, AssignmentNumberPaddingAndNextMarker)
{
    const struct {
        const char* reply;
        const char* number;
        const char* marker;
    } cases[] = {
        {"1", "001", "002"},   {"01", "001", "002"},  {"7", "007", "008"},     {"12", "012", "013"},
        {"99", "099", "100"},  {"100", "100", "101"}, {"0001", "0001", "002"}, {"", "", "001"},
        {"abc", "abc", "001"}, {"1.5", "1.5", "2.5"}, {" 3", "0 3", "001"},    {"-1", "0-1", "001"},
    };
    for (const auto& c : cases) {
        FormOnFakes run;
        run.startUp({"1", "Ann Lee", "ALX", c.reply});
        EXPECT_EQ(run.s.assignmentNumber, c.number) << '"' << c.reply << '"';
        EXPECT_EQ(run.s.nextAssignmentMarker, c.marker) << '"' << c.reply << '"';
    }
}

TEST_F(StartUpTest, FileNamesFromTheName)
{
    const struct {
        const char* name;
        const char* form;
    } cases[] = {
        {"Ann Lee", "Ann_Lee"},
        {"Ann  Lee", "Ann__Lee"},
        {"", ""},
        {"..\\..\\etc/passwd", ".._.._etc_passwd"},
        {"a:b*c?d\"e<f>g|h", "a_b_c_d_e_f_g_h"},
        {"tab\there\r\n", "tab_here__"},
        {"Jos\xE9", "Jos\xE9"},
    };
    for (const auto& c : cases) {
        FormOnFakes run;
        run.startUp({"1", c.name, "ALX", "5"});
        const RunState& s = run.s;
        EXPECT_EQ(s.studentName, c.name);
        EXPECT_EQ(s.masterFilePath, std::string("c:\\drovnel\\masterFile_") + c.form + ".txt");
        EXPECT_EQ(s.sendFilePath, std::string("c:\\drovnel\\send_1207") + c.form + ".txt");
        EXPECT_EQ(s.notesFilePath, std::string("c:\\drovnel\\notes_") + c.form + ".txt");
    }
}

TEST_F(StartUpTest, CodeNumberIsAWholeValueFrom19To28)
{
    const struct {
        float r;
        float codeNumber;
    } cases[] = {{0.0f, 19}, {0.05f, 19}, {0.1f, 20}, {0.5f, 24}, {0.99999994f, 28}};
    for (const auto& c : cases) {
        FormOnFakes run;
        run.random.values = {c.r};
        run.startUp(annLee("5"));
        EXPECT_EQ(run.s.codeNumber, c.codeNumber) << c.r;
    }
}

TEST_F(StartUpTest, BuiltInLessonFillsSlotsOneToTen)
{
    startUp(annLee());
    const auto& lines = form.state().lessonLines;
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "001.  Part B");
    EXPECT_EQ(lines[3].substr(0, 74), "Give your depth vs. clock time data and explain how you obtained it.  How ");
    EXPECT_EQ(lines[7].substr(lines[7].size() - 22), "?  Support your answer");
    EXPECT_EQ(lines[9].back(), '.');
    for (int i : {2, 4, 6, 8, 10, 11, 5000})
        EXPECT_EQ(lines[static_cast<std::size_t>(i)], "") << i;
}

TEST_F(StartUpTest, LessonLinesGivenInsteadOfTheBuiltInOne)
{
    startUp(annLee(), {"001.  Mine", "", "Question one"});
    EXPECT_EQ(form.state().lessonLines[1], "001.  Mine");
    EXPECT_EQ(form.state().lessonLines[3], "Question one");
    EXPECT_EQ(form.state().lessonLines[4], "");
}

} // namespace
} // namespace qal
