#include "fakes/RunEndingPlay.h"

#include "fakes/FaultyHost.h"
#include "fakes/FormOnFakes.h"
#include "paging/LessonLimits.h"
#include "paging/LessonLineText.h"
#include "platform/RunError.h"

#include <memory>

namespace qal::test {

namespace {

// Every open fails: the run keeps to memory, and start-up's header block
// fails after the header search has placed the reader.
class NoFiles : public FaultyHost {
public:
    int beforeOpen(int, FileMode) override { return err::PathFileAccessError; }
};

struct Run {
    NoFiles noFiles;
    FormOnCurrentDrive form;
    std::size_t startMessages = 0;

    Run(const std::vector<std::string>& lesson, int assignment)
    {
        form.files.setHost(noFiles);
        form.startUp(annLee(std::to_string(assignment)), lesson);
        startMessages = form.toolkit.messages.size();
    }

    // Clicks; returns what went otherwise, or empty while the run goes on.
    std::string clicks(int nextQuestion, bool nextPicture, bool endsOnLast)
    {
        if (form.form.ended())
            return "start-up ended the run";
        for (int c = 1; c <= nextQuestion; ++c) {
            form.form.cmdNextQuestion_Click();
            const bool last = c == nextQuestion && !nextPicture;
            if (form.form.ended() && !(last && endsOnLast))
                return "Next Question click " + std::to_string(c) + " ended the run";
        }
        if (nextPicture) {
            form.form.cmd_next_picture_Click();
            if (form.form.ended() && !endsOnLast)
                return "next picture ended the run";
        }
        return {};
    }
};

std::string lessonLine(const std::vector<std::string>& lesson, std::size_t line)
{
    return line >= 1 && line <= lesson.size() ? lesson[line - 1] : std::string();
}

} // namespace

const char* reasonName(RunEnd reason)
{
    switch (reason) {
    case RunEnd::None:
        return "none";
    case RunEnd::NextAssignment:
        return "next assignment";
    case RunEnd::EndMarker:
        return "end marker";
    case RunEnd::Routine:
        return "routine";
    case RunEnd::RanOff:
        return "ran off";
    }
    return "?";
}

std::string formDisagrees(const std::vector<std::string>& lesson, const RunEnding& ending)
{
    Run run(lesson, ending.assignment);
    std::string otherwise = run.clicks(ending.nextQuestionClicks, ending.byNextPicture, true);
    if (!otherwise.empty())
        return otherwise;
    const LessonForm& form = run.form.form;
    if (!form.ended())
        return "the run goes on";
    const RunState& s = form.state();
    if (s.lineCounter != ending.counter)
        return "the line counter is " + std::to_string(s.lineCounter) + ", not " + std::to_string(ending.counter);
    const std::vector<std::string> messages(run.form.toolkit.messages.begin() +
                                                static_cast<std::ptrdiff_t>(run.startMessages),
                                            run.form.toolkit.messages.end());
    if (ending.reason == RunEnd::RanOff) {
        if (messages != std::vector<std::string>{invalidAssignmentMessage})
            return "ran off without the invalid-assignment message alone";
        if (ending.line != maxLessonLines + 1)
            return "ran off at " + std::to_string(ending.line);
        return {};
    }
    if (!messages.empty())
        return "a message was shown: " + messages.front();
    // What the line holds says why the run ended there.
    const std::string line = lessonLine(lesson, ending.line);
    if (!ending.byNextPicture && s.lineCounter != static_cast<int>(ending.line))
        return "Next Question ended on slot " + std::to_string(s.lineCounter);
    switch (ending.reason) {
    case RunEnd::NextAssignment:
        if (line.substr(0, 3) != padAssignmentNumber(std::to_string(ending.assignment + 1)))
            return "line " + std::to_string(ending.line) + " does not begin with the next assignment's number";
        return {};
    case RunEnd::EndMarker:
        if (line.substr(0, endMarker.size()) != endMarker)
            return "line " + std::to_string(ending.line) + " does not begin with the end marker";
        return {};
    case RunEnd::Routine:
        if (!startsWithRoutineMarker(line) || !routineEndsRun(routineName(line)))
            return "line " + std::to_string(ending.line) + " holds no routine that ends the run";
        if (!ending.byNextPicture && !runByNextQuestion(line))
            return "Next Question does not run line " + std::to_string(ending.line);
        return {};
    default:
        return "no reason";
    }
}

std::string formEndsUnannounced(const std::vector<std::string>& lesson, int assignment, int nextQuestionClicks,
                                bool withNextPicture)
{
    Run run(lesson, assignment);
    return run.clicks(nextQuestionClicks, withNextPicture, false);
}

} // namespace qal::test
