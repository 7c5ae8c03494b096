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

namespace {

// One run: start-up with the four replies at the given time, then each step
// a click of Next Question or of a record command.
class Run {
public:
    Run(const std::string& name, const std::string& initials, const std::string& assignment, const char* time)
    {
        run_.clock.reading = {"12-07-2026", time, 0.0f};
        run_.startUp({"1", name, initials, assignment}, scenarioLesson());
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
}

} // namespace qal::test
