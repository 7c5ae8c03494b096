// The desk's tasks on real files: the scenario's record files written by
// the real form, lessons written here byte for byte.
#include "desk/Collection.h"
#include "desk/FeedbackReturn.h"
#include "desk/LessonReview.h"
#include "desk/TryRun.h"
#include "fakes/StepFault.h"
#include "fakes/TempDrive.h"
#include "instructor/LessonCheck.h"
#include "instructor/ReportScenario.h"
#include "instructor/SpreadsheetReader.h"
#include "platform/Host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace qal {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::TempDrive;
using test::writeBytes;

struct ExcerptCase {
    const char* name;
    std::size_t line;
    std::size_t around;
    const char* excerpt;
};

// Cases print as their names.
void PrintTo(const ExcerptCase& c, std::ostream* os)
{
    *os << c.name;
}

class ExcerptTest : public ::testing::TestWithParam<ExcerptCase> {};

TEST_P(ExcerptTest, ShowsTheLineAndItsNeighbours)
{
    const std::vector<std::string> lines = {"001.  Title", "Question one", "", "Question two", "00X"};
    EXPECT_EQ(excerptAround(lines, GetParam().line, GetParam().around), GetParam().excerpt);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ExcerptTest,
    ::testing::Values(ExcerptCase{"First", 1, 1, ">     1  001.  Title\n      2  Question one"},
                      ExcerptCase{"Middle", 3, 1, "      2  Question one\n>     3  \n      4  Question two"},
                      ExcerptCase{"Last", 5, 2, "      3  \n      4  Question two\n>     5  00X"},
                      ExcerptCase{"AllAround", 2, 9,
                                  "      1  001.  Title\n>     2  Question one\n      3  \n      4  Question two\n"
                                  "      5  00X"},
                      ExcerptCase{"NoLineZero", 0, 3, ""}, ExcerptCase{"NoLinePastTheEnd", 6, 3, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A lesson is reviewed with the findings --check prints, line for line, and
// its lines as the instructor's editor shows them.
struct ReviewCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines; // UTF-8
};

void PrintTo(const ReviewCase& c, std::ostream* os)
{
    *os << c.name;
}

class ReviewTest : public ::testing::TestWithParam<ReviewCase> {};

TEST_P(ReviewTest, FindsWhatTheCheckCommandFinds)
{
    TempDrive drive;
    const fs::path lesson = drive.root() / "lesson.txt";
    writeBytes(lesson, GetParam().bytes);
    const LessonReview review = reviewLesson(lesson.string());
    ASSERT_TRUE(review.checked()) << review.problem;
    std::ostringstream out, err;
    checkLessonCommand(lesson.string(), out, err);
    std::string lines;
    for (const Finding& finding : review.findings)
        lines += findingLine(lesson.string(), finding) + "\n";
    EXPECT_EQ(lines, out.str());
    EXPECT_FALSE(review.findings.empty());
    EXPECT_EQ(review.lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Lessons, ReviewTest,
    ::testing::Values(
        // No end marker: the run falls off the table.
        ReviewCase{"Windows1252", "001.  Caf\xe9\r\nWhat is 2+2?\r\n", {"001.  Caf\xc3\xa9", "What is 2+2?"}},
        // A character Windows-1252 lacks: the line is shown as written.
        ReviewCase{"Utf8Unholdable",
                   "001.  \xe2\x82\xac and \xce\xa9\nQuestion\n999.\n",
                   {"001.  \xe2\x82\xac and \xce\xa9", "Question", "999."}},
        // Empty: refused, at line 1, with nothing to show.
        ReviewCase{"Empty", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReviewTest, MissingFileIsAProblemNotAFinding)
{
    TempDrive drive;
    const LessonReview review = reviewLesson((drive.root() / "gone.txt").string());
    EXPECT_FALSE(review.checked());
    EXPECT_NE(review.problem.find("gone.txt"), std::string::npos) << review.problem;
    EXPECT_TRUE(review.findings.empty());
}

// Which names of a folder are taken as mailed files.
TEST(CollectionTest, TakesTheSendFilesOfAFolder)
{
    TempDrive drive;
    const std::pair<const char*, bool> names[] = {{"send_1208Ann_Lee.txt", true}, {"SEND_1209Bob.TXT", true},
                                                  {"send_.txt", false},           {"masterFile_Ann.txt", false},
                                                  {"notes_Ann.txt", false},       {"send_1208Ann_Lee.txt.lock", false},
                                                  {"send_1208Eve.csv", false},    {"answers.xlsx", false}};
    std::vector<std::string> wanted;
    for (const auto& [name, taken] : names) {
        writeBytes(drive.root() / name, "x");
        if (taken)
            wanted.push_back((drive.root() / name).string());
    }
    fs::create_directory(drive.root() / "send_1210Folder.txt"); // a folder is no file
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(recordFilesIn(drive.root().string()), wanted);
    EXPECT_EQ(defaultWorkbookPath(wanted), (drive.root() / "answers.xlsx").string());
}

// The scenario's files: Renée's two runs, Bob, Eve and Zoë's two lessons.
class ScenarioTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::recordScenario();
        files = recordFilesIn(drive.drovnel().string());
        ASSERT_EQ(files.size(), 4u);
    }
    TempDrive drive;
    std::vector<std::string> files;
};

TEST_F(ScenarioTest, CountsRecordsStudentsAndAssignments)
{
    const CollectionSummary summary = summarizeCollection(files, "", "");
    EXPECT_EQ(summary.status, 0);
    EXPECT_TRUE(summary.messages.empty());
    // The same counts as the report's own reading.
    std::size_t records = 0;
    std::ostringstream err;
    forEachRecord(files, err, {}, [&](const ReportRecord&) { ++records; });
    EXPECT_EQ(summary.records, records);
    EXPECT_EQ(summary.students, 4u);
    // 001 and 002 of the scenario's lesson, and 001 of Zoë's other lesson.
    EXPECT_EQ(summary.assignments, 3u);
    EXPECT_FALSE(summary.overview.empty());
}

TEST_F(ScenarioTest, TornFileIsAWarningAndTheRestIsCounted)
{
    const CollectionSummary whole = summarizeCollection(files, "", "");
    // The files' names are UTF-8 ("Zoë"), a path of this host only through hostPathFromUtf8.
    const fs::path last = hostPathFromUtf8(files.back());
    writeBytes(last, readBytes(last) + "#### a record cut short\r\n");
    const CollectionSummary torn = summarizeCollection(files, "", "");
    EXPECT_EQ(torn.status, 1);
    EXPECT_EQ(torn.records, whole.records);
    ASSERT_EQ(torn.messages.size(), 1u);
    EXPECT_NE(torn.messages[0].find(": warning: "), std::string::npos) << torn.messages[0];
}

// A record file that opens but whose reading fails: the report says so in
// its one line, with the host's words, ends with status 2 and still reports
// every record of the other files (and those of the failing file read
// before the failure); the file is closed.
TEST_F(ScenarioTest, FileWhoseReadFailsIsSaidAndTheOthersAreReported)
{
    const auto recordsOf = [](const std::vector<std::string>& some) {
        std::size_t records = 0;
        std::ostringstream err;
        EXPECT_EQ(forEachRecord(some, err, {}, [&](const ReportRecord&) { ++records; }), 0) << err.str();
        return records;
    };
    const std::size_t all = recordsOf(files);
    const struct {
        const char* what;
        std::size_t failing; // which of the files
        int nthRead;
        bool readBefore; // its records were read before the failure, and count
    } cases[] = {
        {"the first file, at its first read", 0, 1, false},
        {"a file in the middle", 1, 1, false},
        {"the last file", 3, 1, false},
        {"a file whose records were read, at the read after them", 1, 2, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> others = files;
        others.erase(others.begin() + static_cast<std::ptrdiff_t>(c.failing));
        test::StepFault fault(test::StepFault::Read, 9, 57, c.nthRead);
        fault.setNumber(utf8FromHostPath(hostPathFromUtf8(files[c.failing]).filename()), 9);
        std::size_t records = 0;
        std::ostringstream err;
        EXPECT_EQ(forEachRecord(
                      files, err, {}, [&](const ReportRecord&) { ++records; }, fault),
                  2);
        EXPECT_EQ(err.str(), "qalesson-report: cannot read \"" + files[c.failing] + "\": Device I/O error.\n");
        EXPECT_EQ(records, c.readBefore ? all : recordsOf(others));
        EXPECT_LT(recordsOf(others), all);
        EXPECT_EQ(fault.openFiles(), 0u);
    }
}

TEST_F(ScenarioTest, WorkbookWrittenAndReadBack)
{
    const std::string workbook = defaultWorkbookPath(files);
    const WrittenWorkbook written = writeCollectionWorkbook({workbook, "", "", files});
    ASSERT_TRUE(written.written) << ::testing::PrintToString(written.messages);
    std::size_t recordRows = 0, classRows = 0;
    std::string refusal;
    ASSERT_TRUE(readSpreadsheet(
        workbook, [&](const SheetRow& row) { ++(row.sheet == "class" ? classRows : recordRows); }, refusal))
        << refusal;
    EXPECT_EQ(recordRows, summarizeCollection(files, "", "").records + 1); // and the header row
    EXPECT_EQ(classRows, written.overview.size() + 1);
    EXPECT_FALSE(fs::exists(workbook + ".part"));
}

// Cancelled at each point the work asks: no workbook and no part file, and
// an earlier workbook of the name stays to the byte.
TEST_F(ScenarioTest, CancelLeavesNothingHalfWritten)
{
    const std::string workbook = defaultWorkbookPath(files);
    for (const int askedBeforeNo : {0, 1, 3}) {
        SCOPED_TRACE(askedBeforeNo);
        fs::remove(workbook);
        int asked = 0;
        const WrittenWorkbook written =
            writeCollectionWorkbook({workbook, "", "", files}, [&] { return asked++ < askedBeforeNo; });
        EXPECT_EQ(written.status, reportStopped);
        EXPECT_FALSE(written.written);
        EXPECT_FALSE(fs::exists(workbook));
        EXPECT_FALSE(fs::exists(workbook + ".part"));
    }
    writeBytes(workbook, "an earlier workbook");
    writeCollectionWorkbook({workbook, "", "", files}, [] { return false; });
    EXPECT_EQ(readBytes(workbook), "an earlier workbook");
}

TEST_F(ScenarioTest, UnreadableLessonIsSaidAndNothingCounted)
{
    const CollectionSummary summary = summarizeCollection(files, (drive.root() / "no-lesson.txt").string(), "");
    EXPECT_EQ(summary.status, 2);
    ASSERT_EQ(summary.messages.size(), 1u);
    EXPECT_EQ(summary.messages[0].rfind("cannot use the lesson file", 0), 0u) << summary.messages[0];
    EXPECT_EQ(summary.records, 0u);
}

TEST(FeedbackReturnTest, UnreadableWorkbooksAreRefused)
{
    TempDrive drive;
    writeBytes(drive.root() / "marks.csv", "id,mark\r\n");
    writeBytes(drive.root() / "marks.xlsx", "not a workbook");
    for (const char* name : {"marks.csv", "marks.xlsx", "missing.ods"}) {
        SCOPED_TRACE(name);
        const FeedbackPreview preview = previewFeedback((drive.root() / name).string());
        EXPECT_EQ(preview.status, 2);
        EXPECT_TRUE(preview.sets.empty());
        ASSERT_EQ(preview.messages.size(), 1u);
        EXPECT_EQ(preview.messages[0].rfind("cannot read", 0), 0u) << preview.messages[0];
    }
}

TEST(FeedbackReturnTest, MailingLinesNameFileAndStudent)
{
    FeedbackPreview preview;
    preview.marked = "/class/marked.xlsx";
    FeedbackSet ann{"001", "Pendulum", "Ann_Lee", "Ann Lee", "AL", {MarkedRecord{}, MarkedRecord{}}};
    FeedbackSet bob{"002", "Springs", "Bob", "Bob", "BN", {MarkedRecord{}}};
    preview.sets = {{feedbackFileStem(ann), ann}, {feedbackFileStem(bob), bob}};
    EXPECT_EQ(mailingLines(preview),
              (std::vector<std::string>{"feedback_001_Ann_Lee.txt and .html to Ann Lee (AL): 2 marked records",
                                        "feedback_002_Bob.txt and .html to Bob (BN): 1 marked record"}));
    EXPECT_EQ(feedbackStudents(preview), 2u);
    preview.messages = {"marked.xlsx:7: warning: its id names no record", "no row of \"x\" has a mark"};
    EXPECT_EQ(skippedRows(preview), 1u);
    preview.sets.emplace("feedback_002_Ann_Lee", FeedbackSet{"002", "Springs", "Ann_Lee", "Ann Lee", "AL", {}});
    EXPECT_EQ(feedbackStudents(preview), 2u); // Ann twice is one student
}

// Feedback cancelled after the first student: that student's two files
// whole, nobody else's, and no part file.
TEST(FeedbackReturnTest, CancelLeavesOnlyWholeFiles)
{
    TempDrive drive;
    FeedbackPreview preview;
    preview.marked = (drive.root() / "marked.xlsx").string();
    MarkedRecord marked;
    marked.record.question = "What is 2+2?";
    marked.record.text = "4";
    marked.mark = "7";
    for (const char* name : {"Ann", "Bob", "Eve"}) {
        FeedbackSet set{"001", "Sums", name, name, "X", {marked}};
        preview.sets.emplace(feedbackFileStem(set), set);
    }
    int asked = 0;
    const ReturnedFeedback returned = returnFeedback(preview, "", [&] { return asked++ < 1; });
    EXPECT_EQ(returned.status, reportStopped);
    const fs::path folder = drive.root() / "feedback";
    EXPECT_EQ(returned.folder, folder.string());
    EXPECT_EQ(returned.written, (std::vector<std::string>{(folder / "feedback_001_Ann.txt").string(),
                                                          (folder / "feedback_001_Ann.html").string()}));
    EXPECT_EQ(readBytes(folder / "feedback_001_Ann.txt"), feedbackLesson(preview.sets.begin()->second));
    std::vector<std::string> there;
    for (const auto& entry : fs::directory_iterator(folder))
        there.push_back(entry.path().filename().string());
    std::sort(there.begin(), there.end());
    EXPECT_EQ(there, (std::vector<std::string>{"feedback_001_Ann.html", "feedback_001_Ann.txt"}));
}

TEST(TryRunTest, ScratchDrivesAreNewAndTheirFilesListed)
{
    std::string reason;
    const std::string first = makeScratchDrive(reason), second = makeScratchDrive(reason);
    ASSERT_FALSE(first.empty()) << reason;
    ASSERT_FALSE(second.empty()) << reason;
    EXPECT_NE(first, second);
    EXPECT_TRUE(filesUnder(first).empty());
    fs::create_directories(fs::path(first) / "drovnel" / "empty");
    writeBytes(fs::path(first) / "drovnel" / "send_1208Ann.txt", "x");
    writeBytes(fs::path(first) / "a.txt", "x");
    EXPECT_EQ(filesUnder(first), (std::vector<std::string>{"a.txt", "drovnel/send_1208Ann.txt"}));
#ifdef _WIN32
    const char* const lessonProgram = "qalesson.exe";
#else
    const char* const lessonProgram = "qalesson";
#endif
    EXPECT_EQ(lessonProgramBeside("/opt/q/bin/qalesson-desk"), (fs::path("/opt/q/bin") / lessonProgram).string());
    fs::remove_all(first);
    fs::remove_all(second);
}

} // namespace
} // namespace qal
