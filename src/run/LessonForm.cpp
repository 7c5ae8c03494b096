#include "run/LessonForm.h"

#include "paging/LessonLineText.h"
#include "platform/FileTable.h"
#include "platform/RunError.h"
#include "run/RunState.h"
#include "run/Toolkit.h"

namespace qal {

const char* const LessonForm::generalErrorMessage =
    "You have encountered an error.  If you are encountering this error repeatedly you should "
    "report the error number to the instructor and explain exactly what you were doing, "
    "keystroke by keystroke, when the error occurred.  The error is:  ";

namespace {

// Added to the message of a failure after which a header block or a record
// could not be taken back out of every file: what each file of it holds now,
// so that it never reads as if nothing had been written, nor as if a whole
// one were cut short.
std::string unitNote(const RunError& e, const std::string& what)
{
    std::string note;
    if (!e.leftInFiles())
        return note;
    for (const UnitFileHeld& file : e.unitFiles()) {
        note += "\r\n\r\nThe file " + file.path;
        switch (file.held) {
        case UnitHeld::Whole:
            note += " holds the whole " + what + ".";
            break;
        case UnitHeld::Part:
            note += " holds only part of the " + what + ".";
            break;
        case UnitHeld::None:
            note += " does not hold the " + what + ".";
            break;
        case UnitHeld::Changed:
            note += " was changed by another program and may now hold a partial " + what + ".";
            break;
        }
    }
    return note;
}

} // namespace

LessonForm::LessonForm(Toolkit& toolkit, FileTable& files, const Clock& clock, Random& random)
    : toolkit_(toolkit), files_(files), clock_(clock), random_(random), state_(std::make_unique<RunState>()),
      s_(*state_), answerBoxSet_(toolkit.answerBoxText())
{
    // A record waiting for another run to let go of a file shows the student
    // that the program is busy.
    files_.setWaitNotice([this](bool waiting) { toolkit_.setWaitCursor(waiting); });
}

LessonForm::~LessonForm()
{
    files_.setWaitNotice({});
}

void LessonForm::setLessonLines(std::vector<std::string> lines)
{
    lessonSource_ = std::move(lines);
}

std::string& LessonForm::lessonSlot(int index)
{
    if (index < 0 || index > static_cast<int>(maxLessonLines))
        throw RunError(err::SubscriptOutOfRange);
    return s_.lessonLines[static_cast<std::size_t>(index)];
}

void LessonForm::reportError(const RunError& e)
{
    if (e.number() == err::SubscriptOutOfRange) {
        toolkit_.messageBox(invalidAssignmentMessage);
        endByLesson();
    }
    // The one unit start-up writes is the header block.
    toolkit_.messageBox(generalErrorMessage + std::to_string(e.number()) + unitNote(e, "header"));
}

void LessonForm::throwEndProgram()
{
    throw EndProgram{};
}

void LessonForm::dispatch(void (LessonForm::*command)())
{
    if (ended_)
        return;
    // A tick of the timer may run inside another command's dialog.
    struct Depth {
        int& running;
        explicit Depth(int& r) : running(++r) {}
        ~Depth() { --running; }
    } depth(running_);
    try {
        runCommand(command);
        if (closedWhileRunning_ && running_ == 1) {
            closedWhileRunning_ = false;
            runCommand(&LessonForm::quitProgram);
        }
    } catch (const EndProgram&) {
        ended_ = true;
        timerOn_ = false;
        files_.endRun(); // the program ends all the same; no one is left to tell
        toolkit_.closeForGood();
    }
    if (running_ == 1)
        commandStart_.reset();
}

void LessonForm::runCommand(void (LessonForm::*command)())
{
    try {
        (this->*command)();
    } catch (const RunError& e) {
        // The command had no failure handling of its own. Report it the way
        // the platform words a run-time error, and keep the program running:
        // whatever the student typed is still in the boxes.
        reportRunTimeError(e);
    } catch (const CommandStopped&) {
        // Cancelled, or a failure reported already: the program goes on.
    }
}

void LessonForm::reportRunTimeError(const RunError& e)
{
    std::string note = unitNote(e, "record");
    // Records.cpp finishes the same record where it is missing when it is
    // tried again, so the student may do just that.
    if (!note.empty())
        note += "\r\n\r\nRecording the same answer again completes the record where it is missing, and "
                "never writes it twice.";
    toolkit_.messageBox(runTimeErrorMessage(e.number()) + note);
}

// The event table: the window connects each control named here to its
// handler, and runs nothing else. A row names its handler once: the name
// shown in tests and messages is made from the member it runs.
namespace {
// clang-format off
#define QAL_EVENT_ROW(control, handler) EventRow{#control, #handler, &LessonForm::handler}
// clang-format on
constexpr EventRow rows[] = {
    QAL_EVENT_ROW(cmdNextQuestion, cmdNextQuestion_Click),
    QAL_EVENT_ROW(cmd_enter_response, cmd_enter_response_Click),
    QAL_EVENT_ROW(cmd_save_as_notes, cmd_save_as_notes_Click),
    QAL_EVENT_ROW(cmd_display_note_file, cmd_display_note_file_Click),
    QAL_EVENT_ROW(cmd_displayCumulativeText, cmd_displayCumulativeText_Click),
    QAL_EVENT_ROW(cmd_clear_answer_box, cmd_clear_answer_box_Click),
    QAL_EVENT_ROW(cmd_next_picture, cmd_next_picture_Click),
    QAL_EVENT_ROW(cmd_copy_picture, cmd_copy_picture_Click),
    QAL_EVENT_ROW(cmd_pend_exp, cmd_pend_exp_Click),
    QAL_EVENT_ROW(cmd_quit, cmd_quit_Click),
    QAL_EVENT_ROW(tmr_pend_exp, tmr_pend_exp_Timer),
};
#undef QAL_EVENT_ROW
} // namespace

std::span<const EventRow> eventTable()
{
    return rows;
}

// clang-format off
void LessonForm::cmdNextQuestion_Click() { dispatch(&LessonForm::nextQuestion); }
void LessonForm::cmd_enter_response_Click() { dispatch(&LessonForm::enterResponse); }
void LessonForm::cmd_save_as_notes_Click() { dispatch(&LessonForm::saveAsNotes); }
void LessonForm::cmd_display_note_file_Click() { dispatch(&LessonForm::displayNotes); }
void LessonForm::cmd_displayCumulativeText_Click() { dispatch(&LessonForm::displayEverything); }
void LessonForm::cmd_clear_answer_box_Click() { dispatch(&LessonForm::clearBox); }
void LessonForm::cmd_next_picture_Click() { dispatch(&LessonForm::nextPicture); }
void LessonForm::cmd_copy_picture_Click() { dispatch(&LessonForm::copyPicture); }
void LessonForm::cmd_pend_exp_Click() { dispatch(&LessonForm::switchTimerOn); }
void LessonForm::cmd_quit_Click() { dispatch(&LessonForm::quitProgram); }
void LessonForm::tmr_pend_exp_Timer() { dispatch(&LessonForm::pendulumTick); }
// clang-format on

void LessonForm::windowClosed()
{
    // Closing the window while a command waits in one of its dialogs ends
    // the program once that command is done, never half-way through it.
    if (running_ > 0)
        closedWhileRunning_ = true;
    else
        dispatch(&LessonForm::quitProgram);
}

void LessonForm::Form_Load()
{
    dispatch(&LessonForm::startUp);
}

void LessonForm::startUp()
{
    // initProgram and openAssignment each report their own failures; the load
    // handler runs both, in this order, whatever the first one did.
    initProgram();
    openAssignment();
}

void LessonForm::switchTimerOn()
{
    if (!timerOn_) {
        timerOn_ = true;
        toolkit_.setTimerEnabled(true);
    }
}

} // namespace qal
