#include "instructor/RecordFileReader.h"

#include "instructor/CsvReport.h"
#include "instructor/ReportColumns.h"

#include "ReportScenario.h"
#include "fakes/PieceSource.h"
#include "fakes/TempDrive.h"
#include "platform/CodePage.h"
#include "recording/RecordLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <set>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

namespace qal {
namespace {

using Kind = ReportRecord::Kind;

// The fields of a record that a test compares, in the report's order.
using Row = std::tuple<std::size_t, std::string, std::string, std::string, std::string, std::string, std::string,
                       std::string, std::string, std::string, std::string>;

Row row(const ReportRecord& r)
{
    return {r.line,   r.student,  r.initials, r.assignment,
            r.title,  r.date,     r.time,     r.kind == Kind::Notes ? "notes" : "response",
            r.record, r.question, r.text};
}

std::vector<Row> rows(const RecordFileContents& contents)
{
    std::vector<Row> out;
    for (const ReportRecord& r : contents.records)
        out.push_back(row(r));
    return out;
}

const std::string renee = "Ren\xC3\xA9"
                          "e Dubois";
const std::string q1 = "`q001  What is 1/2 + 1/3?";
const std::string q2 = "`q002  O\xC3\xB9 est la diff\xC3\xA9rence?  Explain, \"carefully\".";
const std::string q21 = "`q001  The second assignment's question";
const std::string title1 = "001.  Fractions & <ratios>";
const std::string title2 = "002.  Second part";
const std::string multiLine = "line one\nline two, with a comma and \"quotes\"";
const std::string accents = "\xE2\x82\xAC"
                            "5 \xE2\x80\x94 na\xC3\xAF"
                            "ve";
const std::string note = "<b>not bold</b> & a note";

// The files the scenario's runs leave behind, read once.
class ReaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        test::TempDrive drive;
        test::recordScenario();
        const auto dir = drive.root() / "drovnel";
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            const std::string name = entry.path().filename().string();
            const std::string bytes = test::readBytes(entry.path());
            if (name.starts_with("masterFile_Ren"))
                master = bytes;
            else if (name.starts_with("send_1207Ren"))
                send = bytes;
            else if (name.starts_with("notes_Ren"))
                notes = bytes;
            else if (name.starts_with("masterFile_Zo"))
                zoeMaster = bytes;
            else if (name.starts_with("send_1207Zo"))
                zoeSend = bytes;
        }
    }

    static inline std::string master, send, notes, zoeMaster, zoeSend;
};

TEST_F(ReaderTest, MasterFileOfTwoRuns)
{
    const RecordFileContents read = readRecordText(master, "m.txt");
    EXPECT_TRUE(read.skipped.empty());
    const std::vector<Row> expected = {
        {7, renee, "RD", "001", title1, "2026-12-07", "14:05:10", "response", "10001", q1, "5/6"},
        {17, renee, "RD", "001", title1, "2026-12-07", "14:07:00", "response", "10002", q2, multiLine},
        {28, renee, "RD", "001", title1, "2026-12-07", "14:08:30", "notes", "", q2, note},
        {41, renee, "RD", "002", title2, "2026-12-07", "15:12:00", "response", "20001", q21, accents},
    };
    EXPECT_EQ(rows(read), expected);
    ASSERT_FALSE(read.records.empty());
    EXPECT_EQ(read.records[0].file, "m.txt");
}

TEST_F(ReaderTest, SendFileOfTwoRuns)
{
    const RecordFileContents read = readRecordText(send, "s.txt");
    EXPECT_TRUE(read.skipped.empty());
    const std::vector<Row> expected = {
        {7, renee, "RD", "001", title1, "2026-12-07", "14:05:10", "response", "", q1, "5/6"},
        {14, renee, "RD", "001", title1, "2026-12-07", "14:07:00", "response", "", q2, multiLine},
        {22, renee, "RD", "001", title1, "2026-12-07", "14:08:30", "notes", "", q2, note},
        {35, renee, "RD", "002", title2, "2026-12-07", "15:12:00", "response", "", q21, accents},
    };
    EXPECT_EQ(rows(readRecordText(send, "s.txt")), expected);
}

TEST_F(ReaderTest, NotesFileHasNoHeader)
{
    const RecordFileContents read = readRecordText(notes, "n.txt");
    EXPECT_TRUE(read.skipped.empty());
    const std::vector<Row> expected = {{1, "", "", "", "", "2026-12-07", "14:08:30", "notes", "", q2, note}};
    EXPECT_EQ(rows(read), expected);
}

// Zoë's answers hold a line of 49 points, the lines of a whole response
// record (with and without its closing separator), of a header block naming
// another student, and such lines after blanks; each is read whole, as typed,
// as the text of the record it is in, under her name, and forges no record.
// Her second run is of another lesson numbered 001.
TEST_F(ReaderTest, AnswersHoldingRecordLinesAreReadWhole)
{
    const std::string zoe = "Zo\xC3\xAB"
                            " Ann";
    const std::string lenses = "001.  Lenses and mirrors \xE2\x80\x93 premi\xC3\xA8"
                               "re partie";
    // The texts as the reader gives them: lines joined by LF.
    std::string dotLine = test::fooledReaderAnswer(test::FoolingAnswer::DotLine);
    std::string forged = test::fooledReaderAnswer(test::FoolingAnswer::ForgedRecord);
    std::string headerBlock = test::fooledReaderAnswer(test::FoolingAnswer::HeaderBlock);
    std::string closed = test::fooledReaderAnswer(test::FoolingAnswer::ClosedRecord);
    std::string otherStudent = cp1252ToUtf8(test::fooledReaderAnswer(test::FoolingAnswer::OtherStudent));
    std::string indented = test::fooledReaderAnswer(test::FoolingAnswer::Indented);
    for (std::string* text : {&dotLine, &forged, &headerBlock, &closed, &otherStudent, &indented})
        std::erase(*text, '\r');
    const std::string formula = "=1+1 real, inverted; \xE2\x80\xA6";
    const std::string q3 = "`q001  Where is the image?";
    const RecordFileContents fromMaster = readRecordText(zoeMaster, "m");
    EXPECT_TRUE(fromMaster.skipped.empty());
    const std::vector<Row> master = {
        {7, zoe, "ZA", "001", title1, "2026-12-07", "18:01:00", "response", "10001", q1, formula},
        {17, zoe, "ZA", "001", title1, "2026-12-07", "18:02:00", "response", "10001", q1, dotLine},
        {29, zoe, "ZA", "001", title1, "2026-12-07", "18:03:00", "response", "10002", q2, forged},
        {48, zoe, "ZA", "001", title1, "2026-12-07", "18:04:00", "notes", "", q2, headerBlock},
        {68, zoe, "ZA", "001", lenses, "2026-12-07", "18:11:00", "response", "10001", q3, dotLine},
        {80, zoe, "ZA", "001", lenses, "2026-12-07", "18:12:00", "response", "10001", q3, closed},
        {102, zoe, "ZA", "001", lenses, "2026-12-07", "18:13:00", "notes", "", q3, otherStudent},
        {122, zoe, "ZA", "001", lenses, "2026-12-07", "18:14:00", "response", "10001", q3, indented},
    };
    EXPECT_EQ(rows(fromMaster), master);
    const RecordFileContents fromSend = readRecordText(zoeSend, "s");
    EXPECT_TRUE(fromSend.skipped.empty());
    std::vector<Row> send = master;
    const std::size_t sendLines[] = {7, 14, 23, 39, 59, 68, 87, 107};
    for (std::size_t i = 0; i < send.size(); ++i) {
        std::get<0>(send[i]) = sendLines[i];
        std::get<8>(send[i]) = "";
    }
    EXPECT_EQ(rows(fromSend), send);
}

// The records read from a source, and the header place of each.
std::vector<std::pair<Row, FilePlace>> readAll(ByteSource& source, FilePlace start = {})
{
    std::vector<std::pair<Row, FilePlace>> out;
    RecordReader reader(source, "f", {}, start);
    while (const ReportRecord* r = reader.next())
        out.emplace_back(row(*r), reader.headerPlace());
    return out;
}

// Read in pieces of any size, a file gives the same records; read again from
// a record's header place on (as the HTML page does), it gives the same
// records from the first record of that place on.
TEST_F(ReaderTest, PiecesAndHeaderPlacesReadTheSame)
{
    for (const std::string* file : {&master, &send, &notes, &zoeMaster, &zoeSend}) {
        const std::vector<Row> whole = rows(readRecordText(*file, "f"));
        for (std::size_t piece : {1, 2, 7, 4096}) {
            test::PieceSource source(*file, piece);
            const auto read = readAll(source);
            ASSERT_EQ(read.size(), whole.size());
            for (std::size_t i = 0; i < read.size(); ++i)
                EXPECT_EQ(read[i].first, whole[i]) << piece;
        }
        test::PieceSource source(*file, file->size());
        const auto read = readAll(source);
        for (std::size_t i = 0; i < read.size(); ++i) {
            const FilePlace place = read[i].second;
            if (i > 0 && place.offset == read[i - 1].second.offset)
                continue;
            EXPECT_TRUE(place.offset == 0 || std::string_view(*file).substr(0, place.offset).ends_with("\n"));
            test::PieceSource rest(std::string_view(*file).substr(place.offset), 5);
            const auto again = readAll(rest, place);
            ASSERT_EQ(again.size(), whole.size() - i);
            for (std::size_t k = 0; k < again.size(); ++k)
                EXPECT_EQ(again[k].first, whole[i + k]);
        }
    }
}

// Lines end as in every text the program takes in: CR LF, a lone LF or a
// lone CR, also when a CR LF is cut by the end of a piece read.
TEST_F(ReaderTest, EveryLineEndReadsTheSame)
{
    for (const char* lineEnd : {"\n", "\r"}) {
        for (const std::string* file : {&master, &send, &notes}) {
            std::string other;
            for (std::size_t i = 0; i < file->size(); ++i) {
                const bool crLf = file->compare(i, 2, "\r\n") == 0;
                other += crLf ? lineEnd : file->substr(i, 1);
                i += crLf ? 1 : 0;
            }
            const RecordFileContents read = readRecordText(other, "f");
            EXPECT_TRUE(read.skipped.empty()) << lineEnd;
            const std::vector<Row> expected = rows(readRecordText(*file, "f"));
            EXPECT_EQ(rows(read), expected) << lineEnd;
            test::PieceSource byteByByte(other, 1);
            std::vector<Row> pieces;
            for (const auto& [r, place] : readAll(byteByByte))
                pieces.push_back(r);
            EXPECT_EQ(pieces, expected) << lineEnd;
        }
    }
}

// A file cut after any byte, as a crash or a full disk leaves it: the whole
// records before the cut are read as they are, the piece after the last
// whole block is the one thing skipped, and a cut between blocks skips
// nothing.
TEST_F(ReaderTest, CutAfterAnyByte)
{
    for (const std::string* file : {&master, &send}) {
        const std::vector<Row> all = rows(readRecordText(*file, "f"));
        std::size_t previous = 0;
        for (std::size_t n = 0; n <= file->size(); ++n) {
            const std::string_view cut = std::string_view(*file).substr(0, n);
            const RecordFileContents read = readRecordText(cut, "f");
            const std::vector<Row> got = rows(read);
            ASSERT_LE(got.size(), all.size()) << n;
            EXPECT_TRUE(std::equal(got.begin(), got.end(), all.begin())) << n;
            EXPECT_GE(got.size(), previous) << n;
            previous = got.size();
            ASSERT_LE(read.skipped.size(), 1u) << n;
            // A block starts after the cut: a record (opening separator, then
            // the time line's blanks) or a header block (the code line, then
            // the student's name).
            const std::string_view rest = std::string_view(*file).substr(n);
            const bool recordNext = rest.starts_with("......!!!!") && rest.substr(51).starts_with(std::string(36, ' '));
            const std::size_t lineEnd = rest.find("\r\n");
            const bool headerNext =
                lineEnd != std::string_view::npos && rest.substr(lineEnd + 2).starts_with("Student Name:");
            const bool betweenBlocks =
                n == 0 || n == file->size() || (cut.ends_with("\r\n") && (recordNext || headerNext));
            if (betweenBlocks) {
                EXPECT_TRUE(read.skipped.empty()) << n;
            }
            if (!read.skipped.empty()) {
                // The skipped piece runs to the last line left that is not empty.
                std::string_view left = cut;
                while (!left.empty() && (left.back() == '\r' || left.back() == '\n'))
                    left.remove_suffix(1);
                const auto lines = static_cast<std::size_t>(std::count(left.begin(), left.end(), '\n')) + 1;
                EXPECT_EQ(read.skipped[0].lastLine, lines) << n;
            }
        }
        EXPECT_EQ(previous, all.size());
    }
}

TEST_F(ReaderTest, RecordCutShortThenANewRun)
{
    // The first run was stopped in its notes record, within the date line;
    // the second run's header block follows on a line of its own.
    const std::size_t notesStart = master.rfind("......!!!!", master.find("14:08:30"));
    const std::size_t secondName = master.find("Student Name:", master.find(note));
    const std::size_t secondHeader = master.rfind("\r\n", secondName - 3) + 2;
    const std::string torn = master.substr(0, notesStart + 130) + "\r\n" + master.substr(secondHeader);
    const RecordFileContents read = readRecordText(torn, "f");
    ASSERT_EQ(read.skipped.size(), 1u);
    EXPECT_EQ(read.skipped[0].warning(), "a record cut short (lines 28 to 30): skipped");
    std::vector<Row> expected = rows(readRecordText(master, "f"));
    expected.erase(expected.begin() + 2);
    std::get<0>(expected[2]) = 37; // four lines of the notes record are missing
    EXPECT_EQ(rows(read), expected);
}

TEST_F(ReaderTest, StrayTextBetweenRecords)
{
    const std::size_t at = master.rfind("......!!!!", master.find("14:08:30"));
    const std::string stray = master.substr(0, at) + "Hello,\r\nplease read this.\r\n" + master.substr(at);
    const RecordFileContents read = readRecordText(stray, "f");
    ASSERT_EQ(read.skipped.size(), 1u);
    EXPECT_EQ(read.skipped[0].warning(), "text that is not a header block or record (lines 28 to 29): skipped");
    std::vector<Row> expected = rows(readRecordText(master, "f"));
    std::get<0>(expected[2]) += 2;
    std::get<0>(expected[3]) += 2;
    EXPECT_EQ(rows(read), expected);
}

// Lines inside a response that look like the start of a block are text, as
// long as they are not a whole block start.
TEST(ReaderTextTest, ResponseLinesThatLookLikeBlocks)
{
    const std::string sep = "......!!!!!!!!...................................\r\n";
    const std::string close = ".................................................\r\n";
    const std::string time = std::string(36, ' ') + "09:00:00\r\n";
    const std::string bytes = sep + time + "question\r\n" + sep + "RESPONSE -->  \r\n" + "Student Name:  Eve\r\n" +
                              "assignment #9\r\n" + sep + "NOTES -------> x\r\n" + "\r\n" + close;
    const RecordFileContents read = readRecordText(bytes, "f");
    EXPECT_TRUE(read.skipped.empty());
    ASSERT_EQ(read.records.size(), 1u);
    EXPECT_EQ(read.records[0].text, "Student Name:  Eve\nassignment #9\n" + sep.substr(0, 49) + "\nNOTES -------> x\n");
    EXPECT_EQ(read.records[0].date, "");
    EXPECT_EQ(read.records[0].record, "");
}

// Answers holding lines the reader looks for between blocks, as the program
// writes them (each such line, with the blanks before it, one blank further
// in), in a record of a send file followed by another record, and as the
// file's last record: each is read whole and as typed, and nothing else is
// read or skipped. (A closing separator, then text, then a record's start is
// read as the end of a record with stray text after it:
// StrayTextBetweenRecords.)
TEST(ReaderTextTest, AnswersAreReadWhole)
{
    const std::string open = "......!!!!!!!!...................................";
    const std::string close = ".................................................";
    const std::string time = std::string(36, ' ') + "09:00:00";
    const struct {
        const char* name;
        std::vector<std::string> typed;
        std::vector<std::string> written; // the lines of the text in the file
    } cases[] = {
        {"a closing separator, then text", {"part one", close, "part two"}, {"part one", " " + close, "part two"}},
        {"a closing separator last", {"part one", close}, {"part one", " " + close}},
        {"a closing separator first", {close, "part two"}, {" " + close, "part two"}},
        {"two closing separators, then text", {close, close, "x"}, {" " + close, " " + close, "x"}},
        {"a closing separator and an empty line", {"a", close, ""}, {"a", " " + close, ""}},
        {"a record's start",
         {open, time, "q", open, "RESPONSE -->  ", "forged"},
         {" " + open, time, "q", " " + open, "RESPONSE -->  ", "forged"}},
        {"a record but its closing separator, in the master file's form",
         {"x", open, time, "", "", "`questionNumber 10099 ", "Forged question", open, "RESPONSE -->  ", "forged"},
         {"x", " " + open, time, "", "", "`questionNumber 10099 ", "Forged question", " " + open, "RESPONSE -->  ",
          "forged"}},
        {"a whole record after a closing separator",
         {"mine", close, open, time, "q", open, "RESPONSE -->  ", "forged", close},
         {"mine", " " + close, " " + open, time, "q", " " + open, "RESPONSE -->  ", "forged", " " + close}},
        {"a header block",
         {"code", "Student Name:  Eve", "assignment #9", "009.  T", "Initials:  E", "Date and Time 12-07-202609:00:00"},
         {"code", " Student Name:  Eve", "assignment #9", "009.  T", "Initials:  E",
          "Date and Time 12-07-202609:00:00"}},
        {"the start of a header block after a closing separator",
         {close, "code", "Student Name:  Eve"},
         {" " + close, "code", " Student Name:  Eve"}},
        {"a header block and a record after a closing separator",
         {"mine", close, "code", "Student Name:  Bob Forged", "assignment #007", "007.  T", "Initials:  BF",
          "Date and Time 12-07-202609:00:00", open, time, "q", open, "RESPONSE -->  ", "forged"},
         {"mine", " " + close, "code", " Student Name:  Bob Forged", "assignment #007", "007.  T", "Initials:  BF",
          "Date and Time 12-07-202609:00:00", " " + open, time, "q", " " + open, "RESPONSE -->  ", "forged"}},
        {"such lines with blanks before them",
         {" " + close, "   " + open, "  Student Name:  Eve", " "},
         {"  " + close, "    " + open, "   Student Name:  Eve", " "}},
        {"lines like them that the reader does not look for",
         {" a", close + ".", close.substr(1), open + " ", "Student Name: Eve", "student Name:  Eve", "\t" + close},
         {" a", close + ".", close.substr(1), open + " ", "Student Name: Eve", "student Name:  Eve", "\t" + close}},
    };
    for (const auto& c : cases) {
        std::string answer, bytes;
        for (std::size_t i = 0; i < c.typed.size(); ++i)
            answer += (i == 0 ? "" : "\n") + c.typed[i];
        for (const char* at : {"10:00:00", "11:00:00"}) {
            bytes += open + "\r\n" + std::string(36, ' ') + at + "\r\nquestion\r\n" + open + "\r\nRESPONSE -->  \r\n";
            for (const std::string& line : c.written)
                bytes += line + "\r\n";
            bytes += close + "\r\n";
        }
        const RecordFileContents read = readRecordText(bytes, "f");
        EXPECT_TRUE(read.skipped.empty()) << c.name;
        ASSERT_EQ(read.records.size(), 2u) << c.name;
        EXPECT_EQ(read.records[0].text, answer) << c.name;
        EXPECT_EQ(read.records[1].text, answer) << c.name;
        EXPECT_EQ(read.records[1].time, "11:00:00") << c.name;
    }
}

// A file whose shifted line someone took back by hand: the record ends at
// that line, what follows it up to the next block is reported and skipped,
// and the next record is read whole.
TEST(ReaderTextTest, ShiftTakenBackByHand)
{
    const std::string open = "......!!!!!!!!...................................\r\n";
    const std::string close = ".................................................\r\n";
    const std::string time = std::string(36, ' ') + "09:00:00\r\n";
    const std::string record = open + time + "question\r\n" + open + "RESPONSE -->  \r\n";
    const std::string bytes = record + "mine\r\n" + close + "forged\r\n" + close + record + "next\r\n" + close;
    const RecordFileContents read = readRecordText(bytes, "f");
    ASSERT_EQ(read.skipped.size(), 1u);
    EXPECT_EQ(read.skipped[0].warning(), "text that is not a header block or record (lines 8 to 9): skipped");
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.records[0].text, "mine");
    EXPECT_EQ(read.records[1].text, "next");
    EXPECT_EQ(read.records[1].line, 10u);
}

std::string joined(const std::vector<std::string>& lines, std::string_view lineEnd)
{
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i)
        text.append(i == 0 ? "" : lineEnd).append(lines[i]);
    return text;
}

// Texts far longer than students type, as a crafted or damaged file may hold
// them: more bytes than the reader keeps while it looks for a record's end
// (it reads the text again once the end is known), a line longer than it
// holds of any line, lines the writer shifts (textAsWritten) among them, in
// a response and in a note, with every line end, whole and in pieces. Each
// text reads back as typed, and the records around it as they are.
TEST(ReaderTextTest, LongTextsReadAsTyped)
{
    const std::string open = "......!!!!!!!!...................................";
    const std::string close = ".................................................";
    std::vector<std::string> many;
    for (std::size_t i = 0; i < 250'000; ++i)
        many.push_back("line " + std::to_string(i) + " of it");
    std::vector<std::string> shifted = many;
    shifted.insert(shifted.begin() + 1000, {close, "Student Name:  Mallory", "   " + open,
                                            std::string(300'000, ' ') + close, std::string(70'000, ' ')});
    const struct {
        const char* name;
        bool note;
        std::vector<std::string> lines;
    } cases[] = {
        {"many short lines", false, many},
        {"a line longer than any line held", false, {"before", std::string(200'000, 'x') + "y", "after", ""}},
        {"a first line a little longer than any line held", false, {std::string(65'546, 'x'), "after"}},
        {"a note's first line longer than any line held", true, {std::string(100'000, 'x'), "after"}},
        {"shifted lines among many", false, shifted},
        {"a note of many lines and shifted ones", true, shifted},
    };
    for (const auto& c : cases) {
        for (const std::string_view lineEnd : {"\r\n", "\n", "\r"}) {
            const auto line = [&](std::string_view text) { return std::string(text) + std::string(lineEnd); };
            const auto response = [&](const char* at, const std::string& text) {
                return line(open) + line(std::string(36, ' ') + at) + line("question") + line(open) +
                       line("RESPONSE -->  ") + line(text) + line(close);
            };
            const std::string written = recordLayout::textAsWritten(joined(c.lines, lineEnd));
            const std::string longOne = c.note
                                            ? line(open) + line(std::string(36, ' ') + "10:30:00") +
                                                  line(std::string(36, ' ') + "12-07-202610:30:00") + line("question") +
                                                  line(open) + line("NOTES -------> " + written) + line(close)
                                            : response("10:30:00", written);
            const std::string before = response("10:00:00", "before");
            const std::string bytes = before + longOne + response("11:00:00", "after");
            // The line the third record starts on.
            const std::string_view upTo = std::string_view(bytes).substr(0, before.size() + longOne.size());
            std::size_t third = 1;
            for (std::size_t at = 0; (at = upTo.find(lineEnd, at)) != std::string_view::npos; at += lineEnd.size())
                ++third;
            // Byte by byte too where the text is short: a line is cut as
            // soon as it is longer than is held.
            const bool isShort = bytes.size() < 400'000;
            for (const std::size_t piece : {std::size_t{0}, std::size_t{4099}, std::size_t{70'001}, std::size_t{1}}) {
                if (piece == 1 && !isShort)
                    continue;
                RecordFileContents read;
                if (piece == 0) {
                    read = readRecordText(bytes, "f");
                } else {
                    test::PieceSource source(bytes, piece);
                    RecordReader reader(source, "f",
                                        [&read](const SkippedPiece& skipped) { read.skipped.push_back(skipped); });
                    while (const ReportRecord* r = reader.next())
                        read.records.push_back(*r);
                }
                const std::string what = std::string(c.name) + ", line end " +
                                         std::to_string(static_cast<int>(lineEnd.back())) + ", pieces of " +
                                         std::to_string(piece);
                EXPECT_TRUE(read.skipped.empty()) << what;
                ASSERT_EQ(read.records.size(), 3u) << what;
                EXPECT_EQ(read.records[0].text, "before") << what;
                EXPECT_TRUE(read.records[1].text == joined(c.lines, "\n")) << what;
                EXPECT_EQ(read.records[1].kind, c.note ? Kind::Notes : Kind::Response) << what;
                EXPECT_EQ(read.records[1].time, "10:30:00") << what;
                EXPECT_EQ(read.records[2].text, "after") << what;
                EXPECT_EQ(read.records[2].line, third) << what;
            }
        }
    }
}

// A record of more than 64 MiB, from its opening separator to its closing
// one, is skipped with a warning; one of 64 MiB is read; the records around
// either are read as they are.
TEST(ReaderTextTest, RecordsOverTheirLimitAreSkipped)
{
    const std::string open = "......!!!!!!!!...................................\r\n";
    const std::string close = ".................................................\r\n";
    const std::string head = open + std::string(36, ' ') + "10:30:00\r\nquestion\r\n" + open + "RESPONSE -->  \r\n";
    const std::string before =
        open + std::string(36, ' ') + "10:00:00\r\nquestion\r\n" + open + "RESPONSE -->  \r\nbefore\r\n" + close;
    const std::string after =
        open + std::string(36, ' ') + "11:00:00\r\nquestion\r\n" + open + "RESPONSE -->  \r\nafter\r\n" + close;
    for (const std::uint64_t size : {maxRecordBytes, maxRecordBytes + 1}) {
        // Lines of "ab" and one of c's, to make the record `size` bytes long.
        const std::size_t text = static_cast<std::size_t>(size) - head.size() - close.size();
        const std::size_t lines = (text - 2) / 4 - 1;
        std::string bytes = before + head;
        bytes.reserve(before.size() + static_cast<std::size_t>(size) + after.size());
        for (std::size_t i = 0; i < lines; ++i)
            bytes += "ab\r\n";
        bytes.append(text - 4 * lines - 2, 'c').append("\r\n");
        bytes += close + after;
        const std::size_t lastLine = 7 + 5 + lines + 1 + 1; // the long record's closing separator
        const RecordFileContents read = readRecordText(bytes, "f");
        const bool over = size > maxRecordBytes;
        ASSERT_EQ(read.records.size(), over ? 2u : 3u) << size;
        EXPECT_EQ(read.records.front().text, "before") << size;
        EXPECT_EQ(read.records.back().text, "after") << size;
        EXPECT_EQ(read.records.back().line, lastLine + 1) << size;
        if (over) {
            ASSERT_EQ(read.skipped.size(), 1u) << size;
            EXPECT_EQ(read.skipped[0].warning(),
                      "a record of more than 64 MiB (lines 8 to " + std::to_string(lastLine) + "): skipped");
        } else {
            EXPECT_TRUE(read.skipped.empty()) << size;
            EXPECT_EQ(read.records[1].text.size(), 3 * lines + (text - 4 * lines - 2)) << size;
        }
    }
}

// Every character of the code page comes out as the code page's own
// conversion gives it.
TEST(ReaderTextTest, EveryCharacterToUtf8)
{
    std::string all;
    for (int c = 1; c < 256; ++c)
        if (c != '\r' && c != '\n')
            all += static_cast<char>(c);
    const std::string sep = "......!!!!!!!!...................................\r\n";
    const std::string bytes = sep + std::string(36, ' ') + "09:00:00\r\n" + all + "\r\n" + sep + "RESPONSE -->  \r\n" +
                              all + "\r\n.................................................\r\n";
    const RecordFileContents read = readRecordText(bytes, "f");
    ASSERT_EQ(read.records.size(), 1u);
    EXPECT_EQ(read.records[0].question, cp1252ToUtf8(all));
    EXPECT_EQ(read.records[0].text, cp1252ToUtf8(all));

    // The master file's question number line, as written, whatever it holds.
    const std::string master = sep + std::string(36, ' ') + "09:00:00\r\n\r\n\r\n`questionNumber \xB9" + all +
                               " \r\nq\r\n" + sep +
                               "RESPONSE -->  \r\nx\r\n.................................................";
    const RecordFileContents fromMaster = readRecordText(master, "f");
    ASSERT_EQ(fromMaster.records.size(), 1u);
    EXPECT_EQ(fromMaster.records[0].record, cp1252ToUtf8("\xB9" + all));
}

// The lesson's title is the header line after the assignment's number.
TEST(ReaderTextTest, LessonIsTheHeaderLineAfterItsNumber)
{
    const struct {
        std::string assignment, title, lesson;
    } cases[] = {
        {"001", "001.  Part B", "Part B"},
        {"001", "001.Part B  ", "Part B  "},
        {"001", "001.", ""},
        {"002", "001.  Part B", "001.  Part B"}, // a header line of another number, as written
        {"", "Part B", "Part B"},
        {"abc", "abc.  Letters", "Letters"},
    };
    for (const auto& c : cases) {
        ReportRecord r;
        r.assignment = c.assignment;
        r.title = c.title;
        EXPECT_EQ(r.lesson(), c.lesson) << c.title;
    }
}

TEST(ReaderTextTest, NothingAndEmptyLines)
{
    EXPECT_TRUE(readRecordText("", "f").records.empty());
    EXPECT_TRUE(readRecordText("", "f").skipped.empty());
    EXPECT_TRUE(readRecordText("\r\n\r\n\n", "f").skipped.empty());
}

// The same record in a master file and in a send file has one id; the
// records of the scenario's files, apart from that, have an id each.
TEST_F(ReaderTest, AnIdForEachRecordTheSameInEveryFile)
{
    const RecordFileContents inMaster = readRecordText(master, "m.txt");
    const RecordFileContents inSend = readRecordText(send, "s.txt");
    ASSERT_EQ(inMaster.records.size(), inSend.records.size());
    std::set<std::string> ids;
    for (std::size_t i = 0; i < inMaster.records.size(); ++i) {
        const std::string id = recordId(inMaster.records[i]);
        EXPECT_EQ(id, recordId(inSend.records[i])) << i;
        EXPECT_EQ(id.size(), 33U);
        EXPECT_EQ(id.find_first_not_of("0123456789abcdef", 1), std::string::npos) << id;
        ids.insert(id);
    }
    for (const std::string* file : {&zoeMaster, &notes})
        for (const ReportRecord& r : readRecordText(*file, "z.txt").records)
            ids.insert(recordId(r));
    const std::size_t zoe = readRecordText(zoeMaster, "z.txt").records.size();
    EXPECT_EQ(ids.size(), inMaster.records.size() + zoe + 1);
}

// Every field the id is made of changes it, and so does a byte moved from
// one field to the next; where the record stands does not.
TEST(RecordIdTest, MadeOfWhatTheRecordHolds)
{
    ReportRecord base;
    base.file = "masterFile_Ann.txt";
    base.line = 7;
    base.student = "Ann Lee";
    base.initials = "AL";
    base.assignment = "001";
    base.title = "001.  Pendulum";
    base.date = "2026-12-07";
    base.time = "14:05:10";
    base.record = "10001";
    base.question = "`q001  How long?";
    base.text = "1.9 s";
    const std::string id = recordId(base);
    EXPECT_EQ(id, "q414fd19b975e45b8ea575d5c6dd33867") << "the id of a record never changes between versions";

    struct Change {
        const char* what;
        void (*apply)(ReportRecord&);
        bool changesId;
    };
    const Change changes[] = {
        {"file", [](ReportRecord& r) { r.file = "send_1207Ann.txt"; }, false},
        {"line", [](ReportRecord& r) { r.line = 99; }, false},
        {"record", [](ReportRecord& r) { r.record.clear(); }, false},
        {"header line beyond the title", [](ReportRecord& r) { r.title = "001. Pendulum"; }, false},
        {"student", [](ReportRecord& r) { r.student = "Ann Leo"; }, true},
        {"initials", [](ReportRecord& r) { r.initials = "AM"; }, true},
        {"assignment", [](ReportRecord& r) { r.assignment = "002"; }, true},
        {"lesson", [](ReportRecord& r) { r.title = "001.  Pendulums"; }, true},
        {"date", [](ReportRecord& r) { r.date = "2026-12-08"; }, true},
        {"time", [](ReportRecord& r) { r.time = "14:05:11"; }, true},
        {"kind", [](ReportRecord& r) { r.kind = ReportRecord::Kind::Notes; }, true},
        {"question", [](ReportRecord& r) { r.question += " "; }, true},
        {"text", [](ReportRecord& r) { r.text = "1.9 s\n"; }, true},
        {"a byte from the student to the initials",
         [](ReportRecord& r) {
             r.student = "Ann Le";
             r.initials = "eAL";
         },
         true},
        {"a byte from the question to the text",
         [](ReportRecord& r) {
             r.question.pop_back();
             r.text = "?" + r.text;
         },
         true},
    };
    for (const Change& change : changes) {
        ReportRecord changed = base;
        change.apply(changed);
        EXPECT_EQ(recordId(changed) != id, change.changesId) << change.what;
    }
}

// FIPS 180-4's examples, and lengths about the block's end where the
// length in bits takes a block of its own.
TEST(RecordIdTest, Sha256)
{
    const struct {
        std::string bytes;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {std::string(63, 'a'), "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {std::string(1000, 'a'), "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3"},
    };
    for (const auto& c : cases) {
        std::string hex;
        for (unsigned char byte : sha256(c.bytes)) {
            hex += "0123456789abcdef"[byte >> 4];
            hex += "0123456789abcdef"[byte & 0xF];
        }
        EXPECT_EQ(hex, c.digest) << c.bytes.size() << " bytes";
    }
}

// The CSV's header and a row, to the byte: the id last.
TEST(RecordIdTest, CsvEndsInTheId)
{
    ReportRecord r;
    r.file = "f.txt";
    r.student = "Ann";
    r.date = "2026-12-07";
    r.time = "14:05:10";
    r.text = "=1,\"2\"";
    EXPECT_EQ(csvHeader(), "\xEF\xBB\xBF"
                           "file,student,initials,assignment,lesson,date,time,kind,record,question,text,id\r\n");
    std::string row;
    appendCsvRow(row, r);
    EXPECT_EQ(row, "f.txt,Ann,,,,2026-12-07,14:05:10,response,,,\"'=1,\"\"2\"\"\"," + recordId(r) + "\r\n");
}

// A text's cell, to the byte, safe and raw: the apostrophe before a sign a
// spreadsheet takes for a formula, blanks before it too, and quotes around
// a separator of either kind.
TEST(RecordIdTest, CsvCells)
{
    const struct {
        const char* text;
        const char* safe;
        const char* raw;
    } cases[] = {
        {"plain", "plain", "plain"},
        {"=1+2", "'=1+2", "=1+2"},
        {" =1+2", "' =1+2", " =1+2"},
        {"   +1", "'   +1", "   +1"},
        {"  -5 degrees", "'  -5 degrees", "  -5 degrees"},
        {" @home", "' @home", " @home"},
        {"  ", "  ", "  "},
        {" 1+2=3", " 1+2=3", " 1+2=3"},
        {"a=1", "a=1", "a=1"},
        {"\tx", "'\tx", "\tx"},
        {"a;=1+2;b", "\"a;=1+2;b\"", "\"a;=1+2;b\""},
        {" =1;2", "\"' =1;2\"", "\" =1;2\""},
        {"=1,\"2\"", "\"'=1,\"\"2\"\"\"", "\"=1,\"\"2\"\"\""},
        {"x\ny", "\"x\ny\"", "\"x\ny\""},
    };
    ReportRecord r;
    r.file = "f.txt";
    const std::string before = "f.txt,,,,,,,response,,,";
    for (const auto& c : cases) {
        r.text = c.text;
        const std::string after = "," + recordId(r) + "\r\n";
        std::string safe, raw;
        appendCsvRow(safe, r);
        appendCsvRow(raw, r, CsvCells::Raw);
        EXPECT_EQ(safe, before + c.safe + after) << c.text;
        EXPECT_EQ(raw, before + c.raw + after) << c.text;
    }
}

} // namespace
} // namespace qal
