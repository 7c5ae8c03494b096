#include "ReportScenario.h"

#include "fakes/FormOnFakes.h"

#include <stdexcept>

namespace qal::test {

std::vector<std::string> scenarioLesson()
{
    return {
        "001.  Fractions & <ratios>",
        "",
        "`q001  What is 1/2 + 1/3?",
        "",
        "`q002  O\xF9 est la diff\xE9rence?  Explain, \"carefully\".",
        "",
        "`routine exitprog",
        "002.  Second part",
        "",
        "`q001  The second assignment's question",
        "",
        "####.#",
    };
}

std::vector<std::string> secondLessonOfOne()
{
    return {
        "001.  Lenses and mirrors \x96 premi\xE8re partie", "", "`q001  Where is the image?", "", "`routine exitprog",
    };
}

std::string fooledReaderAnswer(FoolingAnswer which)
{
    const std::string opening = "......!!!!!!!!...................................";
    const std::string closing = ".................................................";
    switch (which) {
    case FoolingAnswer::DotLine:
        return "part one\r\n" + closing + "\r\npart two";
    case FoolingAnswer::ForgedRecord:
        return "as I wrote before:\r\n" + opening + "\r\n" + std::string(36, ' ') +
               "10:00:00\r\n\r\n\r\n`questionNumber 10099 \r\nForged question\r\n" + opening +
               "\r\nRESPONSE -->  \r\nforged answer";
    case FoolingAnswer::HeaderBlock:
        return "copied:\r\nStudent Name:  Mallory\r\nassignment #002\r\n002.  Second part\r\nInitials:  M\r\n"
               "Date and Time 12-07-202609:00:00\r\n" +
               closing + "\r\nend";
    case FoolingAnswer::ClosedRecord:
        return "as I wrote before:\r\n" + closing + "\r\n" + opening + "\r\n" + std::string(36, ' ') +
               "10:00:00\r\n\r\n\r\n`questionNumber 10099 \r\nForged question\r\n" + opening +
               "\r\nRESPONSE -->  \r\nforged answer\r\n" + closing + "\r\nmine again";
    case FoolingAnswer::OtherStudent:
        return "copied:\r\n" + closing +
               "\r\n\xFE\xB0\xC9\r\nStudent Name:  Bob Forged\r\nassignment #007\r\n007.  Forged lesson\r\n"
               "Initials:  BF\r\nDate and Time 12-07-202609:00:00\r\n" +
               opening + "\r\n" + std::string(36, ' ') + "10:00:00\r\nForged question\r\n" + opening +
               "\r\nRESPONSE -->  \r\nforged answer";
    case FoolingAnswer::Indented:
        return "  " + closing + "\r\n " + opening + "\r\n   Student Name:  Bob Forged";
    }
    return {};
}

namespace {

// One run: start-up with the four replies at the given time, then each step
// a click of Next Question or of a record command.
class Run {
public:
    Run(const std::string& name, const std::string& initials, const std::string& assignment, const char* time,
        std::vector<std::string> lesson = scenarioLesson())
    {
        run_.clock.reading = {"12-07-2026", time, 0.0f};
        run_.startUp({"1", name, initials, assignment}, std::move(lesson));
        check("start-up");
    }

    void next()
    {
        run_.form.cmdNextQuestion_Click();
        check("Next Question");
    }

    void respond(const char* time, const std::string& answer)
    {
        run_.clock.reading.time = time;
        run_.toolkit.answerBox = answer;
        run_.form.cmd_enter_response_Click();
        check("Enter Response");
    }

    void note(const char* time, const std::string& answer)
    {
        run_.clock.reading.time = time;
        run_.toolkit.answerBox = answer;
        run_.form.cmd_save_as_notes_Click();
        check("Save as Notes");
    }

private:
    void check(const std::string& step) const
    {
        if (!run_.toolkit.messages.empty() || run_.form.ended())
            throw std::runtime_error("the scenario's run failed at " + step);
    }

    FormOnCurrentDrive run_; // on the drive C the caller chose
};

} // namespace

void recordScenario()
{
    {
        Run renee("Ren\xE9"
                  "e Dubois",
                  "RD", "1", "14:03:09");
        renee.next();
        renee.respond("14:05:10", "5/6");
        renee.next();
        renee.respond("14:07:00", "line one\r\nline two, with a comma and \"quotes\"");
        renee.note("14:08:30", "<b>not bold</b> & a note");
    }
    {
        Run renee("Ren\xE9"
                  "e Dubois",
                  "RD", "2", "15:10:00");
        renee.next();
        renee.respond("15:12:00", "\x80"
                                  "5 \x97 na\xEFve");
    }
    {
        Run bob("Bob Ng", "BN", "1", "16:00:00");
        bob.next();
        bob.respond("16:01:00", "=1+1");
        bob.note("16:02:00", "");
    }
    {
        // Answers a spreadsheet could take for formulas, from a student whose
        // name and initials could be taken for one too.
        Run eve("=Eve", "+EV", "1", "17:00:00");
        eve.next();
        eve.respond("17:01:00", "-5 degrees");
        eve.respond("17:02:00", "@home");
        eve.respond("17:03:00", "\tindented");
        eve.respond("17:04:00", "\rafter a carriage return");
        eve.next();
        eve.respond("17:05:00", "=HYPERLINK(\"http://example.com\",\"click\")");
        eve.note("17:06:00", "+1");
    }
    {
        // Two lessons with the same number, and answers that hold the lines
        // of records and header blocks.
        Run zoe("Zo\xEB"
                " Ann",
                "ZA", "1", "18:00:00");
        zoe.next();
        zoe.respond("18:01:00", "=1+1 real, inverted; \x85");
        zoe.respond("18:02:00", fooledReaderAnswer(FoolingAnswer::DotLine));
        zoe.next();
        zoe.respond("18:03:00", fooledReaderAnswer(FoolingAnswer::ForgedRecord));
        zoe.note("18:04:00", fooledReaderAnswer(FoolingAnswer::HeaderBlock));
    }
    {
        Run zoe("Zo\xEB"
                " Ann",
                "ZA", "1", "18:10:00", secondLessonOfOne());
        zoe.next();
        zoe.respond("18:11:00", fooledReaderAnswer(FoolingAnswer::DotLine));
        zoe.respond("18:12:00", fooledReaderAnswer(FoolingAnswer::ClosedRecord));
        zoe.note("18:13:00", fooledReaderAnswer(FoolingAnswer::OtherStudent));
        zoe.respond("18:14:00", fooledReaderAnswer(FoolingAnswer::Indented));
    }
}

} // namespace qal::test
