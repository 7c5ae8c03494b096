#include "instructor/Feedback.h"

#include "instructor/ReportColumns.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qal {
namespace {

// A record as the workbook's row holds it.
ReportRecord record(const std::string& time, const std::string& question, const std::string& text)
{
    ReportRecord r;
    r.file = "send_1207Ren\xC3\xA9"
             "e_Dubois.txt";
    r.student = "Ren\xC3\xA9"
                "e Dubois";
    r.initials = "RD";
    r.assignment = "001";
    r.title = "001.  Fractions";
    r.date = "2026-12-07";
    r.time = time;
    r.question = question;
    r.text = text;
    return r;
}

// The header of a sheet the instructor reworked: the columns in another
// order, one of the instructor's own among them, the date and time as the
// day number and the fraction of a day a spreadsheet keeps.
const std::vector<std::string> header = {"comment", "id",   "student", "initials", "assignment", "lesson", "my notes",
                                         "date",    "time", "kind",    "question", "text",       "mark",   "file"};

std::vector<std::string> cells(const ReportRecord& r, const std::string& mark, const std::string& comment,
                               std::string id = {})
{
    if (id.empty())
        id = recordId(r);
    return {comment,    id,           r.student,
            r.initials, r.assignment, std::string(r.lesson()),
            "",         "46363",      r.time == "14:05:10" ? "0.5869212962962963" : r.time,
            "response", r.question,   r.text,
            mark,       r.file};
}

TEST(FeedbackTest, RowsMatchedByTheirIdAlone)
{
    const ReportRecord first = record("14:05:10", "`q001  What is 1/2 + 1/3?", "5/6");
    const ReportRecord second = record("14:07:00", "`q002  Why?", "line one\nline two");
    const ReportRecord third = record("14:09:00", "`q003  And?", "x");
    ReportRecord notes = record("14:08:30", "`q002  Why?", "a note");
    notes.assignment.clear();
    notes.title.clear();
    notes.file = "notes_Ren\xC3\xA9"
                 "e_Dubois.txt";
    ReportRecord changed = third;
    changed.text = "y";

    FeedbackRows rows;
    std::vector<std::string> warnings;
    const struct {
        std::size_t row;
        std::vector<std::string> cells;
        std::vector<std::string> warnings;
    } steps[] = {
        {1, header, {}},
        {3, cells(second, "7/10", "Good.\nBut show the steps."), {}},
        {4, cells(first, "", ""), {}},      // not marked
        {5, cells(first, "  ", " \n"), {}}, // blanks alone are no mark
        {6, cells(first, "7", ""), {}},
        {7, cells(second, "7/10", "Good.\nBut show the steps."), {}}, // the same record marked alike
        {8,
         cells(first, "8", ""),
         {"8: warning: the id " + recordId(first) + " is marked otherwise in row 6: this row left out"}},
        {9,
         cells(changed, "5", "", recordId(third)),
         {"9: warning: the id " + recordId(third) +
          " names no record of the workbook (a cell of the row, or the id, was changed): left out"}},
        {10,
         cells(third, "A-", "", "q0"),
         {"10: warning: the id q0 names no record of the workbook (a cell of the row, or the id, was changed): left "
          "out"}},
        {11, cells(third, "A-", "", " "), {"11: warning: a mark or a comment in a row without an id: left out"}},
        {12, cells(notes, "", "seen"), {"12: warning: a record of no assignment (a notes file's): left out"}},
    };
    for (const auto& step : steps) {
        rows.take("records", step.row, step.cells, warnings);
        EXPECT_EQ(warnings, step.warnings) << "row " << step.row;
        warnings.clear();
    }
    // A sheet with no id column is none of the report's.
    rows.take("class", 1, {"student", "initials", "mark"}, warnings);
    rows.take("class", 2, {"Ann", "AL", "9"}, warnings);
    EXPECT_TRUE(warnings.empty());
    EXPECT_TRUE(rows.sawRecords());

    const auto sets = rows.takeSets();
    ASSERT_EQ(sets.size(), 1U);
    const FeedbackSet& set = sets.begin()->second;
    EXPECT_EQ(sets.begin()->first, "feedback_001_Ren\xC3\xA9"
                                   "e_Dubois");
    EXPECT_EQ(set.lesson, "Fractions");
    ASSERT_EQ(set.records.size(), 2U);
    // In the order they were recorded, the date and time as the files have them.
    EXPECT_EQ(set.records[0].row, 6U);
    EXPECT_EQ(set.records[0].record.date, "2026-12-07");
    EXPECT_EQ(set.records[0].record.time, "14:05:10");
    EXPECT_EQ(set.records[0].mark, "7");
    EXPECT_EQ(set.records[1].row, 3U);
    EXPECT_EQ(set.records[1].comment, "Good.\nBut show the steps.");
}

// The lesson to the byte: every piece of lesson syntax in a text stands
// inside a line, a text's line breaks are " / ", a character the code page
// lacks is "?", a tab a blank; two blank lines before the exit routine.
TEST(FeedbackTest, LessonToTheByte)
{
    FeedbackSet set;
    set.assignment = "002";
    set.lesson = "Part B";
    set.name = "Ann_Lee";
    set.student = "Ann Lee";
    MarkedRecord m;
    m.record = record("14:05:10", "`q003  Shorten the string", "####.#\n002.  Part C\n`routine exitprog\n`q9\tend");
    m.record.assignment = "002";
    m.mark = "7/10";
    m.comment = "\xE2\x89\x88 right.\n003 next";
    set.records.push_back(m);
    m.record = record("14:06:00", "an intro line", "");
    m.record.kind = ReportRecord::Kind::Notes;
    m.mark.clear();
    m.comment = "Seen.";
    set.records.push_back(m);
    EXPECT_EQ(feedbackFileStem(set), "feedback_002_Ann_Lee");
    EXPECT_EQ(feedbackLesson(set),
              "002.  Part B \x97 feedback\r\n"
              "\r\n"
              "Your instructor's marks and comments on assignment 002, Part B, for Ann Lee. Each click of Next "
              "Question / Answer shows one of your answers with its mark and comment. To answer a comment, type your "
              "reply in the answer box and click Enter Response: it goes to your instructor in your next send file.   "
              "\r\n"
              "\r\n"
              "`q003  Shorten the string   Your answer (2026-12-07 14:05:10): ####.# / 002.  Part C / `routine "
              "exitprog / `q9 end   Mark: 7/10   Comment: ? right. / 003 next   \r\n"
              "\r\n"
              "`q000  an intro line   Your note (2026-12-07 14:06:00): (empty)   Mark: none   Comment: Seen.   \r\n"
              "\r\n"
              "\r\n"
              "`routine exitprog\r\n"
              "####.#\r\n");
}

TEST(FeedbackTest, PageEscapedWithATotalOfNumbers)
{
    FeedbackSet set;
    set.assignment = "001";
    set.lesson = "<Fractions>";
    set.student = "Ann & Lee";
    for (const char* mark : {"7", "2,5", "A-"}) {
        MarkedRecord m;
        m.record = record("14:05:10", "`q001  <b>1/2</b>?", "</p><script>x</script>");
        m.mark = mark;
        m.comment = "a\nb";
        set.records.push_back(m);
    }
    std::string page = feedbackPage(set);
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("<b>"), std::string::npos);
    EXPECT_NE(page.find("<h1>Assignment 001 &lt;Fractions&gt; \xE2\x80\x94 feedback</h1>"), std::string::npos);
    EXPECT_NE(page.find("<p class=\"text comment\">a\nb</p>"), std::string::npos);
    EXPECT_NE(page.find("Total of the marks that are numbers (2 of 3): 9.5"), std::string::npos);
    set.records.pop_back();
    page = feedbackPage(set);
    EXPECT_NE(page.find("<p class=\"total\">Total: 9.5</p>"), std::string::npos);
}

TEST(FeedbackTest, MarksThatAreNumbers)
{
    const struct {
        const char* mark;
        bool number;
        double value;
    } cases[] = {
        {"7", true, 7},     {" 7.5 ", true, 7.5}, {"7,5", true, 7.5},    {"-1", true, -1},
        {"7/10", false, 0}, {"A-", false, 0},     {"", false, 0},        {"1e5", false, 0},
        {"inf", false, 0},  {"0x10", false, 0},   {"1,000.5", false, 0},
    };
    for (const auto& c : cases) {
        double value = 0;
        EXPECT_EQ(markNumber(c.mark, value), c.number) << c.mark;
        if (c.number) {
            EXPECT_EQ(value, c.value) << c.mark;
        }
    }
}

TEST(FeedbackTest, DayNumbersAndFractionsOfADay)
{
    const struct {
        const char* cell;
        const char* date;
    } dates[] = {
        {"61", "1900-03-01"},
        {"25569", "1970-01-01"},
        {"46363", "2026-12-07"},
        {"2958465", "9999-12-31"},
        {"46363.5", "2026-12-07"},
        {"2026-12-07", "2026-12-07"},
        {"60", "60"},
        {"x", "x"},
    };
    for (const auto& d : dates)
        EXPECT_EQ(isoDateOfDayNumber(d.cell), d.date) << d.cell;
    const struct {
        const char* cell;
        const char* time;
    } times[] = {
        {"0", "00:00:00"}, {"0.5869212962962963", "14:05:10"}, {"0.99999", "23:59:59"}, {"14:05:10", "14:05:10"},
        {"1", "1"},
    };
    for (const auto& t : times)
        EXPECT_EQ(timeOfDayFraction(t.cell), t.time) << t.cell;
}

} // namespace
} // namespace qal
