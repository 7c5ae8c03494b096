// One rule for where a line ends, followed alike by the reader of files by
// number and the lesson file splitter, whether the text comes whole or a
// byte at a time.

#include "fakes/CaseTable.h"
#include "fakes/TempDrive.h"
#include "platform/LineBreaks.h"
#include "platform/LineReader.h"
#include "run/LessonFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace qal {
namespace {

using test::PrintTo;
using test::TempDrive;
using test::writeBytes;

struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> lines;
};

const Case cases[] = {
    {"CrLf", "a\r\nb", {"a", "b"}},
    {"LoneCr", "a\rb", {"a", "b"}},
    {"LoneLf", "a\nb", {"a", "b"}},
    {"LfThenCrIsTwoBreaks", "a\n\rb", {"a", "", "b"}},
    {"CrBeforeCrLf", "a\r\r\nb", {"a", "", "b"}},
    {"LfAfterCrLf", "a\r\n\nb", {"a", "", "b"}},
    {"BreakAtTheEndStartsNoLine", "a\r\n", {"a"}},
    {"OnlyABreak", "\r\n", {""}},
    {"Nothing", "", {}},
    {"NoBreak", "a", {"a"}},
};

std::vector<std::string> readerLines(const std::string& text)
{
    const TempDrive drive;
    const std::filesystem::path path = drive.root() / "lines.txt";
    writeBytes(path, text);
    Host& host = systemHost();
    const HostHandle file = host.open(path, FileMode::Input).handle;
    LineReader reader(host, file);
    std::vector<std::string> lines;
    while (!reader.atEnd())
        lines.push_back(reader.readLine());
    host.close(file);
    return lines;
}

// The text fed in two pieces, cut after `cut` bytes.
std::vector<std::string> splitterLines(const std::string& text, std::size_t cut)
{
    LessonLineSplitter splitter;
    splitter.feed(std::string_view(text).substr(0, cut));
    splitter.feed(std::string_view(text).substr(cut));
    return splitter.finish();
}

std::vector<std::string> splitterLines(const std::string& text, bool byteByByte)
{
    LessonLineSplitter splitter;
    if (byteByByte)
        for (char c : text)
            splitter.feed(std::string_view(&c, 1));
    else
        splitter.feed(text);
    return splitter.finish();
}

class LineBreaksTest : public ::testing::TestWithParam<Case> {};

TEST_P(LineBreaksTest, EveryReaderEndsLinesAlike)
{
    const Case& c = GetParam();
    EXPECT_EQ(readerLines(c.text), c.lines);
    EXPECT_EQ(splitterLines(c.text, false), c.lines);
    EXPECT_EQ(splitterLines(c.text, true), c.lines);
    for (std::size_t cut = 0; cut <= c.text.size(); ++cut)
        EXPECT_EQ(splitterLines(c.text, cut), c.lines) << "cut after " << cut;
}

INSTANTIATE_TEST_SUITE_P(Texts, LineBreaksTest, ::testing::ValuesIn(cases), test::caseName);

} // namespace
} // namespace qal
