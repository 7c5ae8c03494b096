// Closing the window reaches the core, which ends the program as quit
// program does; and the event table the window connects. The form runs on
// the scripted toolkit with the real clock and random numbers: nothing here
// depends on either.

#include "fakes/FakeToolkit.h"
#include "fakes/TempDrive.h"
#include "platform/Clock.h"
#include "platform/FileTable.h"
#include "platform/Random.h"
#include "run/LessonForm.h"
#include "run/RunState.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

namespace qal::test {
namespace {

// A toolkit whose message box runs something while it is open, as a real
// dialog's event loop would.
class DialogToolkit : public FakeToolkit {
public:
    std::function<void()> whileShown;
    void messageBox(const std::string& text) override
    {
        FakeToolkit::messageBox(text);
        if (whileShown)
            whileShown();
    }
};

class WindowClosedTest : public ::testing::Test {
protected:
    TempDrive drive;
    DialogToolkit toolkit;
    FileTable files;
    SystemClock clock;
    Random random;
    LessonForm form{toolkit, files, clock, random};
};

TEST_F(WindowClosedTest, EndsTheProgramAsQuitDoes)
{
    drive.drovnel();
    files.open(1, "c:\\drovnel\\masterFile_Ann_Lee.txt", FileMode::Append);
    form.cmd_pend_exp_Click();
    ASSERT_TRUE(toolkit.timerOn);
    form.windowClosed();
    EXPECT_TRUE(form.ended());
    EXPECT_EQ(toolkit.endCalls, 1);
    EXPECT_FALSE(files.isOpen(1));
    EXPECT_TRUE(toolkit.messages.empty()); // nothing asked, nothing shown
    // Later events, a second close among them, run nothing.
    form.tmr_pend_exp_Timer();
    form.windowClosed();
    form.cmd_clear_answer_box_Click();
    EXPECT_EQ(toolkit.beeps, 0);
    EXPECT_EQ(toolkit.endCalls, 1);
    EXPECT_EQ(toolkit.answerBox, " ");
}

TEST_F(WindowClosedTest, DuringACommandEndsTheProgramOnceTheCommandIsDone)
{
    // display notes with no notes file shows a run-time error; the window is
    // closed while that message is open, and a tick of the timer comes too.
    stateOf(form).notesFilePath = "c:\\drovnel\\notes_Ann_Lee.txt";
    form.cmd_pend_exp_Click();
    bool endedInside = true;
    toolkit.whileShown = [&] {
        form.windowClosed();
        form.tmr_pend_exp_Timer();
        endedInside = form.ended();
    };
    form.cmd_display_note_file_Click();
    EXPECT_FALSE(endedInside);
    EXPECT_EQ(toolkit.beeps, 1);
    EXPECT_EQ(toolkit.messages.size(), 1u);
    EXPECT_TRUE(form.ended());
    EXPECT_EQ(toolkit.endCalls, 1);
}

TEST_F(WindowClosedTest, EventTableNamesEachControlAndHandlerOnce)
{
    std::set<std::string> controls, handlers;
    for (const EventRow& event : eventTable()) {
        EXPECT_TRUE(controls.insert(event.control).second) << event.control;
        EXPECT_TRUE(handlers.insert(event.handlerName).second) << event.handlerName;
    }
    EXPECT_EQ(controls.size(), 11u); // ten buttons and the timer
    // Each control's row runs that control's handler: a button's click, the
    // timer's tick, by the names the window and the lesson form share.
    for (const EventRow& event : eventTable()) {
        const std::string control = event.control;
        const std::string handler = event.handlerName;
        EXPECT_EQ(handler, control + (control.rfind("tmr_", 0) == 0 ? "_Timer" : "_Click"));
    }
    // A row runs its own handler: the pend exp row switches the timer on.
    for (const EventRow& event : eventTable())
        if (std::string(event.control) == "cmd_pend_exp")
            form.handle(event);
    EXPECT_TRUE(toolkit.timerOn);
}

} // namespace
} // namespace qal::test
