#pragma once

#include "fakes/FakeClock.h"
#include "fakes/FakeToolkit.h"
#include "fakes/ScriptedRandom.h"
#include "fakes/TempDrive.h"
#include "platform/FileTable.h"
#include "run/LessonForm.h"
#include "run/RunState.h"

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace qal::test {

// The replies of Ann Lee, initials ALX, a home user, to the four start-up
// prompts for the given assignment: the student most tests follow.
std::deque<std::string> annLee(const std::string& assignment = "1");

// Start-up as the window runs it: the toolkit answers the four prompts with
// these replies (Cancel once they run out), on the given lesson, or the
// built-in one when it is empty.
void startUp(LessonForm& form, FakeToolkit& toolkit, std::deque<std::string> replies,
             std::vector<std::string> lesson = {});

// The real lesson form wired to fakes: a scripted toolkit, a clock that
// stands still, scripted random numbers. Its files go to whatever stands for
// drive C: now, so it serves as a second run of the program on the drive of
// an earlier one; FormOnFakes brings a drive of its own.
struct FormOnCurrentDrive {
    FakeToolkit toolkit;
    FileTable files;
    FakeClock clock;
    ScriptedRandom random;
    LessonForm form{toolkit, files, clock, random};
    RunState& s = stateOf(form);

    // The form after start-up with these replies, on this lesson.
    void startUp(std::deque<std::string> replies, std::vector<std::string> lesson = {})
    {
        test::startUp(form, toolkit, std::move(replies), std::move(lesson));
    }
};

// Holds the drive, so that it is made before the form and removed after it.
struct DriveOfItsOwn {
    TempDrive drive;
};

// The real lesson form on fakes, with real files in a temporary drive C: of
// its own, so every test starts from nothing and leaves nothing behind.
struct FormOnFakes : DriveOfItsOwn, FormOnCurrentDrive {
    // The form as start-up leaves it for Ann Lee on assignment 1 of this
    // lesson, with code number 23; then what start-up showed, drew and wrote
    // is forgotten (the header blocks go with their files), so that a test of
    // a later command sees only what that command does.
    void afterStartUp(std::vector<std::string> lesson);
};

// The message a command shows for a run-time error it does not handle itself,
// worded as the platform words it. Written out here, not taken from the
// program, so that a change of wording fails the tests.
inline std::string runtimeError(int number, const std::string& text)
{
    return "Run-time error '" + std::to_string(number) + "':\r\n\r\n" + text;
}

} // namespace qal::test
