#include "fakes/CaseTable.h"
#include "fakes/FormOnFakes.h"
#include "fakes/FakeToolkit.h"
#include "fakes/TempDrive.h"
#include "platform/FileTable.h"
#include "platform/RunError.h"
#include "run/LessonForm.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <ostream>

namespace qal::test {
namespace {

using test::PrintTo; // where GoogleTest looks for it

// The query files live in the base folder of a temporary drive C; the code
// number starts at a start-up value so a change is visible.
class QueryFileTest : public ::testing::Test, protected FormOnFakes {
protected:
    QueryFileTest()
    {
        drive.drovnel();
        s.baseFolder = "c:\\drovnel";
        s.codeNumber = 19;
    }

    std::filesystem::path queryPath() const { return drive.root() / "drovnel" / "query.txt"; }
    std::filesystem::path codedPath() const { return drive.root() / "drovnel" / "queri.txt"; }

    // The error number codeFile failed with, or 0.
    int codeFileError()
    {
        try {
            form.codeFile();
        } catch (const RunError& e) {
            return e.number();
        }
        return 0;
    }
};

struct QueryCase {
    const char* name;
    std::string query; // the whole query file
    std::string coded; // the whole coded query file
    float codeNumber;  // the first line's length
};

// Test output names the case instead of dumping its bytes.
class QueryFileRuleTest : public QueryFileTest, public ::testing::WithParamInterface<QueryCase> {};

TEST_P(QueryFileRuleTest, CodesEachLineByItsKey)
{
    writeBytes(queryPath(), GetParam().query);
    ASSERT_EQ(codeFileError(), 0);
    EXPECT_EQ(readBytes(codedPath()), GetParam().coded);
    EXPECT_EQ(s.codeNumber, GetParam().codeNumber);
}

// One case a row.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, QueryFileRuleTest,
    ::testing::Values(
        QueryCase{"OneLineOf23", "Three questions on dep\xE9\r\n", "Three questions on dep\xE9\r\n", 23},
        QueryCase{"AssignmentAnyCaseCopied", "ASSIGNMENT 3\r\nassignment 4\r\nAssign\r\n",
                  "ASSIGNMENT 3\r\nassignment 4\r\nAssign\r\n", 12},
        QueryCase{"QueryDropsCharactersSixAndSeven", "query 1 text\r\n", "query text\r\n", 12},
        QueryCase{"QueryKeyInCapitals", "QUERY 2 more\r\n", "query more\r\n", 12},
        QueryCase{"SevenCharacterQueryLine", "query x\r\n", "query\r\n", 7},
        QueryCase{"QueryWithoutBlankIsCodedWhole", "query\r\nqueryx y\r\n", "query\r\nqueryx y\r\n", 5},
        QueryCase{"EmptyAndShortLines", "abc\r\n\r\nab\r\n", "abc\r\n\r\nab\r\n", 3},
        QueryCase{"EmptyFirstLine", "\r\nassignment 1\r\n", "\r\nassignment 1\r\n", 0},
        QueryCase{"NoFinalLineEnd", "first\r\nquery 9 last", "first\r\nquery last\r\n", 5},
        QueryCase{"LinuxLineEnds", "first\nsecond\n", "first\r\nsecond\r\n", 5}),
    caseName);
// clang-format on

TEST_F(QueryFileTest, EmptiesAnOldCodedFile)
{
    writeBytes(codedPath(), "an older and much longer coded file\r\nline 2\r\n");
    writeBytes(queryPath(), "new\r\n");
    ASSERT_EQ(codeFileError(), 0);
    EXPECT_EQ(readBytes(codedPath()), "new\r\n");
}

TEST_F(QueryFileTest, ClosesItsFilesSoARecordCanFollow)
{
    writeBytes(queryPath(), "query 1 a\r\n");
    ASSERT_EQ(codeFileError(), 0);
    EXPECT_FALSE(files.isOpen(1));
    EXPECT_FALSE(files.isOpen(2));

    s.masterFilePath = "c:\\drovnel\\masterFile_Ann_Lee.txt";
    s.sendFilePath = "c:\\drovnel\\send_1207Ann_Lee.txt";
    toolkit.answerBox = "A";
    form.cmd_enter_response_Click();
    EXPECT_TRUE(toolkit.messages.empty());
    EXPECT_EQ(toolkit.answerBox, "");
}

struct FailureCase {
    const char* name;
    const char* baseFolder;
    bool writeEmptyQueryFile;
    int error;
};

// Test output names the case instead of dumping its bytes.
class QueryFileFailureTest : public QueryFileTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(QueryFileFailureTest, FailsBeforeTheCodeNumberChanges)
{
    s.baseFolder = GetParam().baseFolder;
    if (GetParam().writeEmptyQueryFile)
        writeBytes(queryPath(), "");
    EXPECT_EQ(codeFileError(), GetParam().error);
    EXPECT_EQ(s.codeNumber, 19);
    EXPECT_FALSE(std::filesystem::exists(codedPath()));
    EXPECT_FALSE(files.isOpen(1));
    EXPECT_FALSE(files.isOpen(2));
}

// One case a row.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, QueryFileFailureTest,
    ::testing::Values(FailureCase{"MissingQueryFile", "c:\\drovnel", false, 53},
                      FailureCase{"EmptyQueryFile", "c:\\drovnel", true, 62},
                      FailureCase{"MissingBaseFolder", "c:\\nofolder", false, 76}),
    caseName);
// clang-format on

} // namespace
} // namespace qal::test
