#pragma once

#include "fakes/FakeToolkit.h"
#include "fakes/TempDrive.h"
#include "platform/FileTable.h"
#include "run/LessonForm.h"
#include "run/RunState.h"

#include <string>

namespace qal::test {

// A lesson form wired to fakes: a scripted toolkit, a clock that stands
// still, scripted random numbers, and real files in a temporary drive C: of
// its own, so every test starts from nothing and leaves nothing behind.
struct FakeForm {
    TempDrive drive;
    FakeToolkit toolkit;
    FileTable files;
    FakeClock clock;
    ScriptedRandom random;
    LessonForm form{toolkit, files, clock, random};
    RunState& s = form.state();
};

// The message a command shows for a run-time error it does not handle itself,
// worded as the platform words it. Written out here, not taken from the
// program, so that a change of wording fails the tests.
inline std::string runtimeError(int number, const std::string& text)
{
    return "Run-time error '" + std::to_string(number) + "':\r\n\r\n" + text;
}

} // namespace qal::test
