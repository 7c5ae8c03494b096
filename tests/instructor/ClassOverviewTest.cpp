#include "instructor/ClassOverview.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qal {
namespace {

TEST(ClassOverviewTest, RosterLines)
{
    const struct {
        std::string bytes;
        std::vector<std::pair<std::string, std::string>> students;
        std::vector<std::string> warnings;
    } cases[] = {
        {"Ann Lee, AL\r\nBob Ng,BN\r\n", {{"Ann Lee", "AL"}, {"Bob Ng", "BN"}}, {}},
        {"\xEF\xBB\xBFRen\xC3\xA9"
         "e Dubois, RD\n\n  \nZo\xC3\xAB, ZA",
         {{"Ren\xC3\xA9"
           "e Dubois",
           "RD"},
          {"Zo\xC3\xAB", "ZA"}},
         {}},
        // Windows-1252, as Notepad of old saves it; a lone CR ends a line too.
        {"Ren\xE9"
         "e Dubois, RD\rAnn, AL",
         {{"Ren\xC3\xA9"
           "e Dubois",
           "RD"},
          {"Ann", "AL"}},
         {}},
        {"Lee, Ann, AL\r\nno initials\r\n, XX\r\nBob,\r\n",
         {{"Lee, Ann", "AL"}, {"Bob", ""}},
         {"2: warning: no \"name, initials\" on this line: skipped",
          "3: warning: no \"name, initials\" on this line: skipped"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> warnings;
        std::vector<std::pair<std::string, std::string>> got;
        for (const RosterStudent& s : readRoster(c.bytes, warnings))
            got.emplace_back(s.name, s.initials);
        EXPECT_EQ(got, c.students) << c.bytes;
        EXPECT_EQ(warnings, c.warnings) << c.bytes;
    }
}

// The questions a student is shown: the question-number lines where there
// are any; a picture routine is passed, the exit routine and the end
// marker end the assignment.
TEST(ClassOverviewTest, QuestionsOfALesson)
{
    const std::vector<std::string> lines = {
        "001.  Timing",
        "",
        "`q001  First?",
        "`q002  Second?",
        "`routine graph1",
        "`q003  Third?",
        "002.  Marble",
        "Roll it.",
        "What now?",
        "",
        "`routine exitprog",
        "after the end",
        "003.  Na\xEFve",
        "`Q004 Fourth",
        "####.#",
        "`q005 never",
    };
    const std::map<std::string, std::vector<std::string>> expected = {
        {"001.  Timing", {"`q001  First?", "`q002  Second?", "`q003  Third?"}},
        {"002.  Marble", {"Roll it.", "What now?"}},
        {"003.  Na\xC3\xAFve", {"`Q004 Fourth"}},
    };
    EXPECT_EQ(lessonQuestions(lines), expected);
}

ReportRecord record(const std::string& student, const std::string& title, const std::string& date,
                    ReportRecord::Kind kind, const std::string& question)
{
    ReportRecord r;
    r.student = student;
    r.initials = student.substr(0, 1);
    r.assignment = title.substr(0, 3);
    r.title = title;
    r.date = date;
    r.kind = kind;
    r.question = question;
    return r;
}

TEST(ClassOverviewTest, RowsWithTheLessonAndTheRoster)
{
    using Kind = ReportRecord::Kind;
    const std::vector<std::string> lines = {"001.  Timing", "`q001  First?", "`q002  Second?", "`q003  Third?",
                                            "002.  Marble", "Roll it.",      "What now?"};
    ClassOverview overview({{"Ann", "A"}, {"Cy", "C"}}, lessonQuestions(lines));
    overview.add(record("Ann", "001.  Timing", "2026-12-08", Kind::Response, "`q002  Second?"));
    overview.add(record("Ann", "001.  Timing", "2026-12-07", Kind::Response, "`q001  First?"));
    overview.add(record("Ann", "001.  Timing", "2026-12-09", Kind::Notes, "`q003  Third?"));
    overview.add(record("Ann", "002.  Marble", "2026-12-09", Kind::Response, "Roll it."));
    overview.add(record("Ann", "002.  Marble", "2026-12-09", Kind::Response, "What now?"));
    overview.add(record("Bob", "001.  Other", "2026-12-07", Kind::Response, "x"));
    const auto rows = overview.rows();
    std::vector<std::tuple<std::string, std::string, std::size_t, std::size_t, std::string, std::string, std::string>>
        got;
    for (const OverviewRow& r : rows)
        got.emplace_back(r.student, r.assignment, r.responses, r.notes, r.first, r.last, r.unanswered);
    const decltype(got) expected = {
        {"Ann", "001", 2, 1, "2026-12-07", "2026-12-09", "003"},
        {"Ann", "002", 2, 0, "2026-12-09", "2026-12-09", "all answered"},
        {"Bob", "001", 1, 0, "2026-12-07", "2026-12-07", "(not in the lesson given)"},
        {"Cy", "", 0, 0, "", "", "nothing received"},
    };
    EXPECT_EQ(got, expected);

    ClassOverview without({}, {});
    without.add(record("Ann", "001.  Timing", "2026-12-08", Kind::Response, "`q002  Second?"));
    ASSERT_EQ(without.rows().size(), 1U);
    EXPECT_EQ(without.rows()[0].unanswered, "(no lesson given)");
}

} // namespace
} // namespace qal
