// One rule for where a line ends, followed alike by the reader of files by
// number and the lesson file splitter, whether the text comes whole or a
// byte at a time.

#include "fakes/CaseTable.h"
#include "platform/LineBreaks.h"
#include "platform/LineReader.h"
#include "run/LessonFile.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

namespace qal {
namespace {

using test::PrintTo;

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
    {"BreakAtTheEndStartsNoLine", "a\r\n", {"a"}},
    {"OnlyABreak", "\r\n", {""}},
    {"Nothing", "", {}},
    {"NoBreak", "a", {"a"}},
};

std::vector<std::string> readerLines(const std::string& text)
{
    int ends[2];
    EXPECT_EQ(::pipe(ends), 0);
    EXPECT_EQ(::write(ends[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(ends[1]);
    LineReader reader(ends[0]);
    std::vector<std::string> lines;
    while (!reader.atEnd())
        lines.push_back(reader.readLine());
    ::close(ends[0]);
    return lines;
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
}

INSTANTIATE_TEST_SUITE_P(Texts, LineBreaksTest, ::testing::ValuesIn(cases), test::caseName);

} // namespace
} // namespace qal
