#include "run/LessonFile.h"

#include "fakes/CaseTable.h"
#include "fakes/FormOnFakes.h"
#include "fakes/StepFault.h"
#include "platform/CodePage.h"
#include "platform/FileTable.h"
#include "platform/RunError.h"
#include "run/LessonForm.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qal {
namespace {

using test::caseName;
using test::PrintTo; // where GoogleTest looks for it

using test::readBytes;
using test::writeBytes;
using Lines = std::vector<std::string>;

struct SplitCase {
    const char* name;
    std::string bytes;
    Lines lines;
};

const SplitCase splitCases[] = {
    {"CrLfWithFinalLineEnd", "a\r\nb\r\n", {"a", "b"}},
    {"CrLfWithoutFinalLineEnd", "a\r\nb", {"a", "b"}},
    {"LfLines", "a\nb\n", {"a", "b"}},
    {"StrayCrInLfFileEndsALine", "a\rb\nc\n", {"a", "b", "c"}},
    {"CrThenCrLfIsTwoLines", "a\r\r\nb", {"a", "", "b"}},
    {"LfThenCrIsTwoLineEnds", "a\n\rb", {"a", "", "b"}},
    {"BlankLinesAreKept", "001.  X\r\n\r\n\r\nq\r\n", {"001.  X", "", "", "q"}},
    {"OnlyALineEndIsOneBlankLine", "\r\n", {""}},
    {"TwoLineEndsAreTwoBlankLines", "\r\n\r\n", {"", ""}},
    {"NothingIsNoLine", "", {}},
    {"BlanksAndTabsAreKept", "  x \t \r\n", {"  x \t "}},
    {"Windows1252BytesAreKept", "10\xB0 \x93q\x94\r\n\xFF", {"10\xB0 \x93q\x94", "\xFF"}},
};

class SplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTest, WholeText)
{
    EXPECT_EQ(splitLessonLines(GetParam().bytes), GetParam().lines);
}

// A file arrives in pieces; a CR LF split between two of them is still one
// line end.
TEST_P(SplitTest, ByteByByte)
{
    LessonLineSplitter splitter;
    for (char c : GetParam().bytes)
        splitter.feed(std::string_view(&c, 1));
    EXPECT_EQ(splitter.lineCount(), GetParam().lines.size());
    EXPECT_EQ(splitter.finish(), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Lines, SplitTest, ::testing::ValuesIn(splitCases), caseName);

// The lesson reader's check of UTF-8, fed the text whole or cut anywhere into
// pieces, takes every text as the code page's decoder does: every sequence of
// one to three bytes from the bytes where the rules change (ASCII, the ends of
// each lead and continuation range, the overlong and surrogate edges, bytes
// that never occur), and four-byte ones starting with each lead of four.
TEST(Utf8CheckTest, AgreesWithTheDecoderHoweverTheTextIsCut)
{
    const std::string edges = std::string("\x00\x41\x7F\x80\x8F\x90\x9F\xA0\xBF\xC0\xC1\xC2\xDF\xE0\xE1"
                                          "\xEC\xED\xEE\xEF\xF0\xF1\xF3\xF4\xF5\xFF",
                                          25);
    std::vector<std::string> texts;
    for (char a : edges) {
        texts.push_back({a});
        for (char b : edges) {
            texts.push_back({a, b});
            for (char c : edges) {
                texts.push_back({a, b, c});
                if (static_cast<unsigned char>(a) >= 0xF0)
                    texts.push_back({a, b, c, '\xBF'});
            }
        }
    }
    for (const std::string& text : texts) {
        const bool expected = isUtf8(text);
        for (std::size_t cut = 0; cut <= text.size(); ++cut) {
            Utf8Check check;
            check.feed(std::string_view(text).substr(0, cut));
            check.feed(std::string_view(text).substr(cut));
            ASSERT_EQ(check.validAtEnd(), expected) << testing::PrintToString(text) << " cut at " << cut;
        }
        Utf8Check byteByByte;
        for (char c : text)
            byteByByte.feed(std::string_view(&c, 1));
        ASSERT_EQ(byteByByte.validAtEnd(), expected) << testing::PrintToString(text) << " byte by byte";
    }
}

std::string repeated(const std::string& text, std::size_t times)
{
    std::string all;
    all.reserve(text.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        all += text;
    return all;
}

// Files live in a fresh temporary folder of their own.
class LessonFileTest : public ::testing::Test {
protected:
    test::TempDrive drive;

    std::string write(const std::string& name, const std::string& bytes)
    {
        const auto path = drive.root() / name;
        writeBytes(path, bytes);
        return path.string();
    }
    static std::string numbered(std::size_t count, const char* lineEnd)
    {
        std::string text;
        for (std::size_t i = 1; i <= count; ++i)
            text += "line " + std::to_string(i) + lineEnd;
        return text;
    }
};

TEST_F(LessonFileTest, RefusesWhatCannotBeALesson)
{
    const struct {
        const char* name;
        std::string bytes;
        const char* refusal;
    } cases[] = {
        {"empty", "", "it is empty"},
        {"5001 lines", numbered(5001, "\r\n"), "it has more than 5000 lines"},
        {"5000 lines and a blank one", numbered(5000, "\r\n") + "\r\n", "it has more than 5000 lines"},
        {"5000 lines and one without a line end", numbered(5000, "\n") + "x", "it has more than 5000 lines"},
        {"utf-16 little-endian",
         std::string("\xFF\xFE"
                     "0\0"
                     "0\0",
                     6),
         "it is UTF-16 text; save it as UTF-8 or Windows-1252 (ANSI) text"},
        {"utf-16 big-endian",
         std::string("\xFE\xFF\0"
                     "0",
                     4),
         "it is UTF-16 text; save it as UTF-8 or Windows-1252 (ANSI) text"},
        {"only a utf-8 mark", "\xEF\xBB\xBF", "it is empty"},
        {"utf-8 mark before Windows-1252 text",
         "\xEF\xBB\xBF"
         "10\xB0\r\n",
         "it starts with a UTF-8 byte order mark but is not UTF-8 text"},
        {"utf-8 check mark", "001.  A\r\nTick \xE2\x9C\x93 here\r\n",
         "line 2, column 6 holds \"\xE2\x9C\x93\" (U+2713), which Windows-1252 cannot hold"},
        {"utf-8 emoji after a mark and an accent", "\xEF\xBB\xBF\xC3\xA9\xF0\x9F\x98\x80",
         "line 1, column 2 holds \"\xF0\x9F\x98\x80\" (U+1F600), which Windows-1252 cannot hold"},
        {"utf-8 control character that Windows-1252 puts a sign at", "a\xC2\x80",
         "line 1, column 2 holds \"\xC2\x80\" (U+0080), which Windows-1252 cannot hold"},
        {"a utf-8 mark later in the file", "a\r\n\xEF\xBB\xBF",
         "line 2, column 1 holds \"\xEF\xBB\xBF\" (U+FEFF), which Windows-1252 cannot hold"},
        {"line of 65536 characters", "001.  A\r\n" + std::string(65536, 'x') + "\r\n",
         "line 2 has more than 65535 characters"},
        {"line of 65536 Windows-1252 characters", std::string(65536, '\xE9'), "line 1 has more than 65535 characters"},
        {"line of 65536 utf-8 characters", repeated("\xC3\xA9", 65536), "line 1 has more than 65535 characters"},
        {"long as Windows-1252 though short as utf-8", repeated("\xC3\xA9", 40000) + "\r\n\xE9",
         "line 1 has more than 65535 characters"},
        {"nul in line 3", std::string("001.  A\r\n\r\nab\0c\r\n", 16),
         "line 3 holds a NUL byte, so it is not a text file"},
        {"nul first", std::string("\0", 1), "line 1 holds a NUL byte, so it is not a text file"},
    };
    for (const auto& c : cases) {
        const LessonFile file = readLessonFile(write("lesson.txt", c.bytes));
        EXPECT_FALSE(file.usable()) << c.name;
        EXPECT_EQ(file.refusal, c.refusal) << c.name;
        // Only a file refused for its characters alone keeps its lines, for
        // the checker.
        EXPECT_EQ(file.lines.empty(), file.unholdable.empty()) << c.name;
    }
}

// Every character that Windows-1252 lacks is named, in the order of the
// file; the refusal is the first, and the lines hold a "?" for each.
TEST_F(LessonFileTest, NamesEveryCharacterTheCodePageLacks)
{
    const LessonFile file = readLessonFile(write("lesson.txt", "001.  \xC3\x89tude\r\n"
                                                               "n\xE2\x82\x80 and n\xE1\xB5\xA2\r\n"
                                                               "\r\n"
                                                               "x \xE2\x89\x88 2\r\n"));
    const std::vector<std::pair<std::size_t, std::string>> expected = {
        {2, "line 2, column 2 holds \"\xE2\x82\x80\" (U+2080), which Windows-1252 cannot hold"},
        {2, "line 2, column 9 holds \"\xE1\xB5\xA2\" (U+1D62), which Windows-1252 cannot hold"},
        {4, "line 4, column 3 holds \"\xE2\x89\x88\" (U+2248), which Windows-1252 cannot hold"},
    };
    std::vector<std::pair<std::size_t, std::string>> named;
    for (const LineRefusal& character : file.unholdable)
        named.emplace_back(character.line, character.text);
    EXPECT_EQ(named, expected);
    EXPECT_FALSE(file.usable());
    EXPECT_EQ(file.refusal, expected[0].second);
    EXPECT_EQ(file.refusedLine, 2u);
    EXPECT_EQ(file.lines, (Lines{"001.  \xC9tude", "n? and n?", "", "x ? 2"}));
}

// UTF-8 text with a character beyond ASCII is turned into Windows-1252;
// everything else is Windows-1252 already and kept byte for byte.
TEST_F(LessonFileTest, ReadsUtf8AndWindows1252)
{
    const struct {
        const char* name;
        std::string bytes;
        Lines lines;
    } cases[] = {
        {"utf-8 degree and quotes",
         "001.  A\n10\xC2\xB0 \xE2\x80\x9Cthe\xE2\x80\x9D\n",
         {"001.  A", "10\xB0 \x93the\x94"}},
        {"utf-8 with a mark",
         "\xEF\xBB\xBF"
         "001.  \xC3\x9C"
         "bung\r\n\xE2\x82\xAC",
         {"001.  \xDC"
          "bung",
          "\x80"}},
        {"ascii with a utf-8 mark",
         "\xEF\xBB\xBF"
         "001.  A\r\n",
         {"001.  A"}},
        {"the five bytes Windows-1252 leaves undefined",
         "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D",
         {"\x81\x8D\x8F\x90\x9D"}},
        {"every Windows-1252 letter of the top half", "\xC3\xA0\xC3\xBF\xC5\x93\xC5\xB8", {"\xE0\xFF\x9C\x9F"}},
        {"plain ascii", "001.  A\r\nq\r\n", {"001.  A", "q"}},
        {"windows-1252 degree", "10\xB0 \x93the\x94\r\n", {"10\xB0 \x93the\x94"}},
        {"utf-8 first, windows-1252 later", "\xC3\xA9\r\n\xE9", {"\xC3\xA9", "\xE9"}},
        {"overlong form", "\xC0\xAF", {"\xC0\xAF"}},
        {"surrogate", "\xED\xA0\x80", {"\xED\xA0\x80"}},
        {"past U+10FFFF", "\xF4\x90\x80\x80", {"\xF4\x90\x80\x80"}},
        {"character cut short at the end", "a\xE2\x82", {"a\xE2\x82"}},
        {"character cut short by a line end", "\xE2\x82\r\n\xAC", {"\xE2\x82", "\xAC"}},
        {"line of 65535 characters", std::string(65535, 'x'), {std::string(65535, 'x')}},
        {"line of 65535 utf-8 characters", repeated("\xC3\xA9", 65535), {std::string(65535, '\xE9')}},
    };
    for (const auto& c : cases) {
        const LessonFile file = readLessonFile(write("lesson.txt", c.bytes));
        ASSERT_TRUE(file.usable()) << c.name << ": " << file.refusal;
        EXPECT_EQ(file.lines, c.lines) << c.name;
    }
}

// A file of one endless line is refused once the line is too long, long
// before it would be held whole.
TEST_F(LessonFileTest, RefusesAHugeOneLineFile)
{
    const std::string path = (drive.root() / "huge.txt").string();
    {
        std::ofstream out(path, std::ios::binary);
        const std::string piece(1024 * 1024, 'x');
        for (int i = 0; i < 50; ++i)
            out << piece;
    }
    EXPECT_EQ(readLessonFile(path).refusal, "line 1 has more than 65535 characters");
}

TEST_F(LessonFileTest, RefusesMissingFileAndFolder)
{
    EXPECT_EQ(readLessonFile((drive.root() / "none.txt").string()).refusal, "it does not exist");
    EXPECT_EQ(readLessonFile((drive.root() / "no" / "none.txt").string()).refusal, "it does not exist");
    EXPECT_EQ(readLessonFile(drive.root().string()).refusal, "it is a folder, not a file");
}

// Only a plain file is read, and only one no longer than a lesson can be:
// each is refused at once, never waited on nor held whole.
TEST_F(LessonFileTest, RefusesSpecialFilesAndAnOversizedOneAtOnce)
{
    const std::string oversized = write("huge.txt", "001.  A\r\n");
    std::filesystem::resize_file(oversized, maxLessonBytes + 1); // sparse: nothing is written
    const std::string limit = write("limit.txt", "001.  A\r\n");
    std::filesystem::resize_file(limit, maxLessonBytes);
    struct {
        const char* what;
        std::string path;
        const char* refusal;
    } cases[] = {
        {"one byte longer than any lesson", oversized, "it is longer than any lesson can be (64 MiB)"},
        {"as long as a lesson can be", limit, "line 2 holds a NUL byte, so it is not a text file"},
        {"a folder", drive.root().string(), "it is a folder, not a file"},
#ifndef _WIN32
        {"a FIFO no one writes to", "", "it is not a plain file (a pipe or a device)"},
        {"an endless device", "/dev/zero", "it is not a plain file (a pipe or a device)"},
        {"a terminal or nothing", "/dev/null", "it is not a plain file (a pipe or a device)"},
#else
        {"the NUL device", "NUL", "it is not a plain file (a pipe or a device)"},
#endif
    };
#ifndef _WIN32
    const std::string fifo = (drive.root() / "fifo.txt").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    cases[3].path = fifo;
#endif
    for (const auto& c : cases)
        EXPECT_EQ(readLessonFile(c.path).refusal, c.refusal) << c.what;
}

#ifdef _WIN32
// A file another program holds open without sharing it (an editor that
// locks what it edits) cannot be opened: the reason is the system's own.
TEST_F(LessonFileTest, RefusesAnUnreadableFile)
{
    const std::string path = write("locked.txt", "001.  A\r\n");
    const HANDLE held = CreateFileW(std::filesystem::path(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const std::string refusal = readLessonFile(path).refusal;
    CloseHandle(held);
    EXPECT_EQ(refusal.rfind("it cannot be opened: ", 0), 0u) << refusal;
    EXPECT_GT(refusal.size(), std::string("it cannot be opened: ").size()) << refusal;
}
#else
TEST_F(LessonFileTest, RefusesAnUnreadableFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    const std::string path = write("locked.txt", "001.  A\r\n");
    std::filesystem::permissions(path, std::filesystem::perms::none);
    EXPECT_EQ(readLessonFile(path).refusal, "it cannot be opened: Permission denied");
}
#endif

// Opening succeeds but reading fails, at once or midway: refused as a
// finding (not as a file that cannot be opened), with the host's words, no
// line of it kept, and the file closed. The first page of a process's
// memory is never mapped, so reading /proc/self/mem gives a real I/O error;
// the faulty host fails the nth read of a lesson that opened.
TEST_F(LessonFileTest, RefusesAFileThatFailsToRead)
{
    // Two pieces and more: the second read is midway through the file.
    std::string lesson;
    while (lesson.size() < (std::size_t{1} << 17))
        lesson += "001.  What does a pendulum do?\r\n";
    const std::string path = write("lesson.txt", lesson);
    const struct {
        const char* what;
        std::string path;
        int failingRead; // 0: the real host
        const char* refusal;
    } cases[] = {
        {"the first read fails", path, 1, "it cannot be read: Device I/O error"},
        {"a read midway fails", path, 2, "it cannot be read: Device I/O error"},
        {"the read after the last piece fails", path, 3, "it cannot be read: Device I/O error"},
#ifndef _WIN32
        {"memory never mapped", "/proc/self/mem", 0, "it cannot be read: Input/output error"},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::StepFault fault(test::StepFault::Read, 0, err::DeviceIOError, c.failingRead);
        const LessonFile file = readLessonFile(c.path, c.failingRead ? static_cast<Host&>(fault) : systemHost());
        EXPECT_EQ(file.refusal, c.refusal);
        EXPECT_FALSE(file.unreadable);
        EXPECT_EQ(file.refusedLine, 0u);
        EXPECT_TRUE(file.lines.empty());
        EXPECT_EQ(fault.openFiles(), 0u);
    }
    // The same file on a host whose reads do not fail is a lesson.
    test::StepFault none(test::StepFault::Read, 0, err::DeviceIOError, 4);
    const LessonFile whole = readLessonFile(path, none);
    EXPECT_TRUE(whole.usable()) << whole.refusal;
    EXPECT_EQ(whole.lines.size(), lesson.size() / 32);
}

TEST_F(LessonFileTest, AcceptsFullTable)
{
    for (const char* lineEnd : {"\r\n", "\n"}) {
        std::string text = numbered(5000, lineEnd);
        const LessonFile withEnd = readLessonFile(write("full.txt", text));
        ASSERT_TRUE(withEnd.usable()) << withEnd.refusal;
        ASSERT_EQ(withEnd.lines.size(), 5000u);
        EXPECT_EQ(withEnd.lines.front(), "line 1");
        EXPECT_EQ(withEnd.lines.back(), "line 5000");

        text.resize(text.size() - std::string(lineEnd).size());
        const LessonFile withoutEnd = readLessonFile(write("full.txt", text));
        EXPECT_EQ(withoutEnd.lines, withEnd.lines);
    }
}

// The file is read 64 KiB at a time; a line end astride the boundary, and a
// line of the longest length across the next one, come out whole.
TEST_F(LessonFileTest, LinesAcrossReadPieces)
{
    const std::size_t piece = 64 * 1024;
    const std::string first(piece - 1, 'a');
    const std::string second(maxLessonLineLength, 'b');
    const LessonFile file = readLessonFile(write("long.txt", first + "\r\n" + second + "\r\n\r\nc"));
    ASSERT_TRUE(file.usable()) << file.refusal;
    EXPECT_EQ(file.lines, (Lines{first, second, "", "c"}));
}

TEST_F(LessonFileTest, OneBlankLineIsALesson)
{
    const LessonFile file = readLessonFile(write("blank.txt", "\r\n"));
    EXPECT_TRUE(file.usable());
    EXPECT_EQ(file.lines, Lines{""});
}

TEST(LessonFileRefusalLine, NamesFileAndReason)
{
    EXPECT_EQ(lessonFileRefusalLine("lessons/x.txt", "it does not exist"),
              "qalesson: cannot use the lesson file \"lessons/x.txt\": it does not exist.");
    // A name cannot move the terminal's cursor, recolour it or split the line.
    const struct {
        const char* path;
        const char* shown;
    } names[] = {
        {"a\x1b[2Jb.txt", "a\\x1b[2Jb.txt"},
        {"two\nlines.txt", "two\\nlines.txt"},
        {"cr\rtab\t.txt", "cr\\rtab\\t.txt"},
        {"del\x7f bell\x07.txt", "del\\x7f bell\\x07.txt"},
        // The C1 controls as UTF-8; U+00A0 and U+00BF, a byte away, stay.
        {"csi\xc2\x9b"
         "2J nel\xc2\x85 pad\xc2\x80.txt",
         "csi\\u009b2J nel\\u0085 pad\\u0080.txt"},
        {"nbsp\xc2\xa0 \xc2\xbf end\xc2", "nbsp\xc2\xa0 \xc2\xbf end\xc2"},
        {"Ren\xc3\xa9"
         "e \\ c:\\x.txt",
         "Ren\xc3\xa9"
         "e \\ c:\\x.txt"},
    };
    for (const auto& n : names)
        EXPECT_EQ(lessonFileRefusalLine(n.path, "it does not exist"),
                  std::string("qalesson: cannot use the lesson file \"") + n.shown + "\": it does not exist.")
            << n.shown;
}

// The shipped sample lesson, run through the whole core with the student's
// replies scripted, so what a student meets is checked byte for byte.
class SampleLessonTest : public ::testing::Test, protected test::FormOnFakes {
protected:
    static std::string samplePath() { return QALESSON_SOURCE_DIR "/lessons/sample.txt"; }

    void start(const char* assignment)
    {
        const LessonFile sample = readLessonFile(samplePath());
        ASSERT_TRUE(sample.usable()) << sample.refusal;
        startUp(test::annLee(assignment), sample.lines);
        ASSERT_FALSE(form.ended());
        ASSERT_TRUE(toolkit.messages.empty());
    }
    void answer(const std::string& text)
    {
        toolkit.answerBox = text;
        form.cmd_enter_response_Click();
    }
    std::string master() const { return readBytes(drive.root() / "drovnel" / "masterFile_Ann_Lee.txt"); }
    // The master file without its first line, the random code line.
    std::string masterAfterCodeLine() const
    {
        const std::string all = master();
        return all.substr(all.find("\r\n") + 2);
    }

    static std::string response(const std::string& numberLine, const std::string& question, const std::string& text)
    {
        const std::string opening = "......!!!!!!!!...................................\r\n";
        return opening + "                                    14:03:09\r\n\r\n\r\n" + numberLine + "\r\n" + question +
               "\r\n" + opening + "RESPONSE -->  \r\n" + text + "\r\n" +
               ".................................................\r\n";
    }
    static std::string header(const std::string& number, const std::string& title)
    {
        return "Student Name:  Ann Lee\r\nassignment #" + number + "\r\n" + title +
               "\r\nInitials:  ALX\r\nDate and Time 12-07-202614:03:09\r\n";
    }
};

const std::string q001 = "`q001  Hang a small weight on a string about 1 m long, pull it aside about 10\xB0 and let it "
                         "go.  Time 10 complete swings, three times over, and report your data.  What is the period "
                         "of one swing?";
const std::string q002 = "`q002  Predict the period when the string is only one quarter as long.  Explain how you "
                         "arrived at your prediction.";
const std::string q003 = "`q003  Shorten the string to one quarter of its length and time 10 swings again.  Was your "
                         "prediction supported by your data?  Describe any insight you had or any error you made.";

TEST_F(SampleLessonTest, FileIsWindows1252WithCrLf)
{
    const std::string bytes = readBytes(samplePath());
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ASSERT_EQ(bytes[i - 1], '\r') << "bare LF at byte " << i;
        }
        if (bytes[i] == '\r') {
            ASSERT_EQ(bytes[i + 1], '\n') << "bare CR at byte " << i;
        }
    }
    EXPECT_NE(bytes.find("10\xB0 and"), std::string::npos);
}

// The sample lesson saved by a Linux editor (UTF-8, LF line ends, with or
// without a byte order mark) is the same lesson.
TEST_F(SampleLessonTest, Utf8CopyIsTheSameLesson)
{
    const LessonFile original = readLessonFile(samplePath());
    ASSERT_TRUE(original.usable()) << original.refusal;
    std::string utf8 = cp1252ToUtf8(readBytes(samplePath()));
    ASSERT_NE(utf8.find("10\xC2\xB0 and"), std::string::npos);
    std::erase(utf8, '\r');
    for (const std::string& bytes : {utf8, "\xEF\xBB\xBF" + utf8}) {
        const auto path = drive.root() / "sample-utf8.txt";
        writeBytes(path, bytes);
        const LessonFile copy = readLessonFile(path.string());
        ASSERT_TRUE(copy.usable()) << copy.refusal;
        EXPECT_EQ(copy.lines, original.lines);
    }
}

TEST_F(SampleLessonTest, AssignmentOneNumbersRecordsSkipsGraphAndEndsAtTwo)
{
    start("1");
    form.cmdNextQuestion_Click();
    EXPECT_EQ(toolkit.questionBox, q001);
    answer("About 2 s.");

    // The graph routine right after question 2 runs unseen; the click shows
    // question 3 after question 2, exactly as the box accumulates blocks.
    form.cmdNextQuestion_Click();
    form.cmdNextQuestion_Click();
    EXPECT_EQ(toolkit.questionBox, q002 + q003);
    EXPECT_EQ(form.state().questionNumber, "3");
    answer("Yes, half the period.");

    EXPECT_EQ(masterAfterCodeLine(), header("001", "001.  Timing a pendulum") +
                                         response("`questionNumber 10001 ", q001, "About 2 s.") +
                                         response("`questionNumber 10003 ", q003, "Yes, half the period."));

    // The header of assignment 002 ends the run without showing or writing.
    const std::string before = master();
    form.cmdNextQuestion_Click();
    EXPECT_TRUE(form.ended());
    EXPECT_EQ(toolkit.endCalls, 1);
    EXPECT_EQ(toolkit.questionBox, "");
    EXPECT_TRUE(toolkit.messages.empty());
    EXPECT_EQ(master(), before);
}

TEST_F(SampleLessonTest, NextPictureRunsTheGraphRoutine)
{
    start("1");
    form.cmdNextQuestion_Click();
    answer("ok");
    form.cmdNextQuestion_Click(); // question 2; the graph routine is the next slot
    const int atQuestionTwo = form.state().lineCounter;
    form.cmd_next_picture_Click();
    EXPECT_EQ(form.state().lineCounter, atQuestionTwo + 1);
    EXPECT_FALSE(form.ended());
    form.cmdNextQuestion_Click();
    EXPECT_EQ(toolkit.questionBox, q002 + q003);
}

TEST_F(SampleLessonTest, AssignmentTwoEndsAtTheExitRoutine)
{
    start("2");
    EXPECT_EQ(masterAfterCodeLine(), header("002", "002.  A marble on an incline"));
    form.cmdNextQuestion_Click();
    answer("1.4 s");
    EXPECT_NE(master().find("`questionNumber 20001 \r\n`q001  Make an incline"), std::string::npos);
    form.cmdNextQuestion_Click();
    EXPECT_EQ(toolkit.questionBox.substr(0, 6), "`q002 ");
    EXPECT_FALSE(form.ended());
    form.cmdNextQuestion_Click(); // `ROUTINE EXIT-PROG
    EXPECT_TRUE(form.ended());
    EXPECT_TRUE(toolkit.messages.empty());
    EXPECT_EQ(toolkit.questionBox.substr(0, 6), "`q002 ");
}

} // namespace
} // namespace qal
