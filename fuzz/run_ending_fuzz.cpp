// The differential target of the lesson checker: for a lesson made of the
// input, every way --check says a student's run ends (the line, the reason)
// is the way the real form's run ends when the fake toolkit clicks Next
// Question and next picture through it.
// Input: each byte picks a lesson line from the kinds that decide how a run
// ends (headers, end markers, routine lines in their spellings, questions,
// blank and empty lines); one value jumps to near the end of the table.

#include "FuzzSupport.h"

#include "fakes/RunEndingPlay.h"
#include "instructor/LessonCheck.h"
#include "paging/LessonLimits.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string_view>
#include <utility>

using namespace qal;

namespace {

constexpr std::array<std::string_view, 31> lineKinds = {
    "",
    " ",
    "a question",
    "`q003 a numbered question",
    "000.  Assignment zero",
    "001.  Assignment one",
    "002.  Assignment two",
    "002 begins with two",
    "003.",
    "001. again",
    "100.  The last",
    "101. past the last",
    "101",
    "####.#",
    "####.# the end",
    "####. not quite",
    "`routine exitprog",
    "`ROUTINE Exit-Prog",
    "`routinexexitprog",
    "`routine graph1",
    "`routine graph2",
    "`Routine GRAPH 3",
    "`routine",
    "`routine ",
    "`routine bogus",
    "`routine g-raph1",
    "`routin",
    "001",
    "00",
    "0a1. not digits",
    "`q",
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::useTemporaryDriveC();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A few hundred lines at most (a click's question box grows with every
    // line shown, and every ending is played from start-up), and no more
    // than the table holds: a longer lesson ends the run at start-up.
    std::vector<std::string> lesson;
    for (std::size_t i = 0; i < size && i < 300 && lesson.size() < maxLessonLines; ++i) {
        const std::uint8_t pick = data[i];
        if (pick == 0xff) {
            // Near the end of the table, where next picture and the reader
            // run past it.
            lesson.resize(std::max(lesson.size(), maxLessonLines - 6));
            continue;
        }
        lesson.emplace_back(lineKinds[pick % lineKinds.size()]);
    }

    const std::vector<RunEnding> endings = lessonRunEndings(lesson);
    std::set<std::pair<int, int>> pictureEnds;
    std::set<int> walked;
    // Every ending is played when there are few; otherwise an even spread,
    // each assignment's end by Next Question among them.
    const std::size_t step = endings.size() / 12 + 1;
    for (std::size_t e = 0; e < endings.size(); ++e) {
        const RunEnding& ending = endings[e];
        if (ending.byNextPicture)
            pictureEnds.insert({ending.assignment, ending.nextQuestionClicks});
        if (e % step != 0 && ending.byNextPicture)
            continue;
        const std::string otherwise = test::formDisagrees(lesson, ending);
        fuzz::require(otherwise.empty(), "the form ends the run as the checker says",
                      "assignment " + std::to_string(ending.assignment) + " " + test::reasonName(ending.reason) +
                          " at " + std::to_string(ending.line) + ": " + otherwise);
        if (ending.byNextPicture)
            continue;
        fuzz::require(walked.insert(ending.assignment).second, "one end by Next Question an assignment");
        // Next picture after a click that the checker names no ending for
        // leaves the run going; the first and the last click are tried.
        for (int clicks : {0, ending.nextQuestionClicks - 1}) {
            if (clicks < 0 || clicks >= ending.nextQuestionClicks || pictureEnds.count({ending.assignment, clicks}))
                continue;
            const std::string unannounced = test::formEndsUnannounced(lesson, ending.assignment, clicks, true);
            fuzz::require(unannounced.empty(), "no end the checker does not name",
                          "assignment " + std::to_string(ending.assignment) + " after " + std::to_string(clicks) +
                              " clicks: " + unannounced);
        }
    }
    return 0;
}
