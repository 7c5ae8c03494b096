#include "run/LessonForm.h"

#include "platform/FileTable.h"
#include "platform/RunError.h"
#include "run/Toolkit.h"

namespace qal {

const char* const LessonForm::invalidAssignmentMessage =
    "You have probably not entered a valid assignment number.  Make sure the assignment number "
    "is a number, like 1 or 8 or 15 or 27 etc., and make sure that this assignment is supposed "
    "to be in the current plenk_.  This program will end and you will need to start over.  If "
    "you are sure you have entered a valid assignment number email the instructor and specify "
    "that you have received a 'subscript out of range' error";

const char* const LessonForm::generalErrorMessage =
    "You have encountered an error.  If you are encountering this error repeatedly you should "
    "report the error number to the instructor and explain exactly what you were doing, "
    "keystroke by keystroke, when the error occurred.  The error is:  ";

namespace {

// Added to the message of a failure after which a header block or a record
// could not be taken back out of some files, so that it never reads as if
// nothing had been written.
std::string partialNote(const RunError& e)
{
    std::string note;
    for (const std::string& path : e.partialFiles())
        note += "\r\n\r\nThe file " + path + " may now hold a partial record.";
    return note;
}

} // namespace

LessonForm::LessonForm(Toolkit& toolkit, FileTable& files, const Clock& clock, Random& random)
    : toolkit_(toolkit), files_(files), clock_(clock), random_(random)
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
    if (index < 0 || index > RunState::lastSlot)
        throw RunError(err::SubscriptOutOfRange);
    return s_.lessonLines[static_cast<std::size_t>(index)];
}

void LessonForm::reportError(int number)
{
    if (number == err::SubscriptOutOfRange) {
        toolkit_.messageBox(invalidAssignmentMessage);
        endProgram();
    }
    toolkit_.messageBox(generalErrorMessage + std::to_string(number));
}

void LessonForm::reportError(const RunError& e)
{
    if (e.partialFiles().empty())
        reportError(e.number());
    else
        toolkit_.messageBox(generalErrorMessage + std::to_string(e.number()) + partialNote(e));
}

void LessonForm::endProgram()
{
    throw EndProgram{};
}

void LessonForm::dispatch(const std::function<void()>& handler)
{
    if (ended_)
        return;
    try {
        try {
            handler();
        } catch (const RunError& e) {
            // The command had no failure handling of its own. Report it the way
            // the platform words a run-time error, and keep the program running:
            // whatever the student typed is still in the boxes.
            toolkit_.messageBox("Run-time error '" + std::to_string(e.number()) + "':\r\n\r\n" + errorText(e.number()) +
                                partialNote(e));
        }
    } catch (const EndProgram&) {
        ended_ = true;
        timerOn_ = false;
        try {
            files_.closeAll(); // closes every number even when one fails
        } catch (const RunError&) {
            // The program ends all the same; there is no one left to tell.
        }
        toolkit_.endProgram();
    }
}

void LessonForm::Form_Load()
{
    // initProgram and openAssignment each report their own failures; the load
    // handler runs both, in this order, whatever the first one did.
    dispatch([this] {
        initProgram();
        openAssignment();
    });
}

// clang-format off
void LessonForm::cmdNextQuestion_Click() { dispatch([this] { nextQuestion(); }); }
void LessonForm::cmd_enter_response_Click() { dispatch([this] { enterResponse(); }); }
void LessonForm::cmd_save_as_notes_Click() { dispatch([this] { saveAsNotes(); }); }
void LessonForm::cmd_display_note_file_Click() { dispatch([this] { displayNotes(); }); }
void LessonForm::cmd_displayCumulativeText_Click() { dispatch([this] { displayEverything(); }); }
void LessonForm::cmd_clear_answer_box_Click() { dispatch([this] { clearBox(); }); }
void LessonForm::cmd_next_picture_Click() { dispatch([this] { nextPicture(); }); }
void LessonForm::cmd_copy_picture_Click() { dispatch([this] { copyPicture(); }); }
void LessonForm::cmd_quit_Click() { dispatch([this] { endProgram(); }); }
// clang-format on

void LessonForm::cmd_pend_exp_Click()
{
    dispatch([this] {
        // Switching on a timer that is already on changes nothing.
        if (!timerOn_) {
            timerOn_ = true;
            toolkit_.setTimerEnabled(true);
        }
    });
}

void LessonForm::tmr_pend_exp_Timer()
{
    dispatch([this] {
        if (timerOn_)
            pendulumTick();
    });
}

} // namespace qal
