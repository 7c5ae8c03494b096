// Fuzzes the question reader, Next Question and next picture over any lesson.
// Input: the first line is the typed assignment number, the other lines are
// the lesson (cut into lines as a lesson file is).

#include "FuzzSupport.h"

#include "run/LessonFile.h"
#include "run/RunState.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace qal;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::useTemporaryDriveC();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> lines = splitLessonLines({reinterpret_cast<const char*>(data), size});
    std::string assignment;
    if (!lines.empty()) {
        assignment = lines.front();
        lines.erase(lines.begin());
    }

    test::FormOnCurrentDrive run; // every file refused, so no drive is needed
    fuzz::NoFiles noFiles;
    run.files.setHost(noFiles);
    run.startUp({"1", "Ann Lee", "ALX", assignment}, std::move(lines));
    const test::FakeToolkit& toolkit = run.toolkit;
    LessonForm& form = run.form;

    const RunState& s = form.state();
    std::size_t shown = 0;
    for (int click = 0; click < 64 && !form.ended(); ++click) {
        const std::string before = toolkit.questionBox;
        form.cmdNextQuestion_Click();
        fuzz::require(s.lineCounter >= 0 && s.lineCounter <= static_cast<int>(maxLessonLines) + 1,
                      "lineCounter in range", std::to_string(s.lineCounter));
        if (!form.ended()) {
            // The box only ever grows by what was read.
            fuzz::require(toolkit.questionBox.compare(0, before.size(), before) == 0, "question box grows");
            fuzz::require(s.nextBlock.empty(), "nextBlock emptied");
        }
        if (click % 5 == 4)
            form.cmd_next_picture_Click();
        for (; shown < toolkit.messages.size(); ++shown)
            fuzz::require(fuzz::knownMessage(toolkit.messages[shown]), "known message", toolkit.messages[shown]);
    }
    fuzz::require(toolkit.endCalls == (form.ended() ? 1 : 0), "ended once");
    for (int n = 1; n <= 3; ++n)
        fuzz::require(!run.files.isOpen(n), "no file left open");
    return 0;
}
