// The checker that the concurrency and crash tests rely on: it must accept
// what the program writes and refuse every way two runs or a crash could
// spoil it, or those tests would prove nothing.

#include "platform/FileTable.h"
#include "run/LessonForm.h"

#include "fakes/FormOnFakes.h"
#include "fakes/FakeToolkit.h"
#include "fakes/TempDrive.h"
#include "robustness/RecordLayout.h"

#include <gtest/gtest.h>

#include <functional>

namespace qal::test {
namespace {

std::vector<std::string> splitCrLf(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", start);
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string joinCrLf(const std::vector<std::string>& lines)
{
    std::string out;
    for (const auto& l : lines)
        out += l + "\r\n";
    return out;
}

// Files written by the program itself: a header, a response, a note and a
// response of two lines, so that the checker is tried on the real layout.
class RecordLayoutTest : public ::testing::Test, protected FormOnFakes {
protected:
    std::string master, send, notes;

    void SetUp() override
    {
        startUp(annLee());
        form.cmdNextQuestion_Click();
        toolkit.answerBox = "answer one";
        form.cmd_enter_response_Click();
        toolkit.answerBox = "note two";
        form.cmd_save_as_notes_Click();
        toolkit.answerBox = "answer\r\nof two lines";
        form.cmd_enter_response_Click();
        ASSERT_TRUE(toolkit.messages.empty());
        master = readBytes(drive.drovnel() / "masterFile_Ann_Lee.txt");
        send = readBytes(drive.drovnel() / "send_1207Ann_Lee.txt");
        notes = readBytes(drive.drovnel() / "notes_Ann_Lee.txt");
    }
};

TEST_F(RecordLayoutTest, ProgramsOwnFilesParseIntoTheirBlocks)
{
    const std::string question =
        "Give your depth vs. clock time data and explain how you obtained it.  How do your results differ from "
        "your predictions?";
    const struct {
        const std::string* bytes;
        RecordFileKind kind;
        std::vector<RecordBlock::Kind> kinds;
    } cases[] = {
        {&master,
         RecordFileKind::Master,
         {RecordBlock::Header, RecordBlock::Response, RecordBlock::Notes, RecordBlock::Response}},
        {&send,
         RecordFileKind::Send,
         {RecordBlock::Header, RecordBlock::Response, RecordBlock::Notes, RecordBlock::Response}},
        {&notes, RecordFileKind::Notes, {RecordBlock::Notes}},
    };
    for (const auto& c : cases) {
        const RecordFile f = parseRecordFile(*c.bytes, c.kind);
        ASSERT_TRUE(f.whole()) << f.error;
        EXPECT_EQ(f.torn, 0u);
        std::vector<RecordBlock::Kind> kinds;
        for (const auto& b : f.blocks)
            kinds.push_back(b.kind);
        EXPECT_EQ(kinds, c.kinds);
    }
    const RecordFile m = parseRecordFile(master, RecordFileKind::Master);
    ASSERT_EQ(m.blocks.size(), 4u);
    EXPECT_EQ(m.blocks[0].text, "Ann Lee");
    EXPECT_EQ(m.blocks[0].question, "001.  Part B");
    EXPECT_EQ(m.blocks[1].text, "answer one");
    EXPECT_EQ(m.blocks[1].question, question);
    EXPECT_EQ(m.blocks[1].recordNumber, "10000");
    EXPECT_EQ(m.blocks[2].text, "note two");
    EXPECT_EQ(m.blocks[3].text, "answer\r\nof two lines");
    EXPECT_EQ(m.blocks[3].firstLine, 1u + 6 + 10 + 7);
}

TEST_F(RecordLayoutTest, RefusesMixedMissingAndCutLines)
{
    using Lines = std::vector<std::string>;
    // Master lines: 1-6 header, 7-16 response, 17-23 note, 24-34 response.
    const struct {
        const char* name;
        std::function<std::string(Lines)> spoil;
        // When cut records are allowed: 0, still refused; else, how many are cut.
        std::size_t tornWhenAllowed;
    } cases[] = {
        {"two lines of a record swapped",
         [](Lines l) {
             std::swap(l[9], l[10]);
             return joinCrLf(l);
         },
         0},
        {"a line of the next record inside this one",
         [](Lines l) {
             const std::string moved = l[17]; // the note's time line
             l.erase(l.begin() + 17);
             l.insert(l.begin() + 12, moved);
             return joinCrLf(l);
         },
         0},
        {"a line lost",
         [](Lines l) {
             l.erase(l.begin() + 13);
             return joinCrLf(l);
         },
         0},
        {"a record's lines twice over",
         [](Lines l) {
             l.insert(l.begin() + 16, l.begin() + 6, l.begin() + 10);
             return joinCrLf(l);
         },
         1},
        {"LF instead of CR LF",
         [](Lines l) {
             std::string bytes = joinCrLf(l);
             bytes.replace(bytes.find("\r\nRESPONSE"), 2, "\n");
             return bytes;
         },
         0},
        {"cut inside a line", [](Lines l) { return joinCrLf(l).substr(0, joinCrLf(l).size() - 7); }, 1},
        {"cut between lines of the last record",
         [](Lines l) {
             l.resize(30);
             return joinCrLf(l);
         },
         1},
        {"cut record followed by the next run's header",
         [](Lines l) {
             Lines out(l.begin(), l.begin() + 20);
             out.insert(out.end(), l.begin(), l.begin() + 6);
             out.insert(out.end(), l.begin() + 6, l.begin() + 16);
             return joinCrLf(out);
         },
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string spoilt = c.spoil(splitCrLf(master));
        EXPECT_FALSE(parseRecordFile(spoilt, RecordFileKind::Master).whole());
        const RecordFile lenient = parseRecordFile(spoilt, RecordFileKind::Master, true);
        if (c.tornWhenAllowed == 0) {
            EXPECT_FALSE(lenient.whole());
        } else {
            ASSERT_TRUE(lenient.whole()) << lenient.error;
            EXPECT_EQ(lenient.torn, c.tornWhenAllowed);
        }
    }
}

TEST_F(RecordLayoutTest, CutRecordCountsOnceAndTheBlocksAroundItStay)
{
    // The notes file has no headers: the next run's first note follows.
    std::vector<std::string> n = splitCrLf(notes);
    std::vector<std::string> cut(n.begin(), n.begin() + 4);
    cut.insert(cut.end(), n.begin(), n.end());
    const RecordFile f = parseRecordFile(joinCrLf(cut), RecordFileKind::Notes, true);
    ASSERT_TRUE(f.whole()) << f.error;
    EXPECT_EQ(f.torn, 1u);
    ASSERT_EQ(f.blocks.size(), 1u);
    EXPECT_EQ(f.blocks[0].text, "note two");
    EXPECT_EQ(f.blocks[0].firstLine, 5u);
}

} // namespace
} // namespace qal::test
