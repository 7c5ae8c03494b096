#pragma once

#include "run/FormEvents.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qal {

class Clock;
class FileTable;
class Random;
class RecordFiles;
class RunError;
class Toolkit;
class LessonForm;
struct RunState;

namespace test {
// The one way in for tests that set the run's variables directly (tests/fakes).
RunState& stateOf(LessonForm& form);
} // namespace test

// The program's one object: it plays the part of the lesson window, owns the
// run state and holds every procedure. It knows nothing of the toolkit beyond
// the Toolkit interface, so tests drive it through a fake.
//
// Its member functions are spread over the subsystem folders: start-up here in
// run/, the reader and routine lines in paging/, the records and viewing
// commands in recording/, the line code in coding/.
//
// Event handlers (Form_Load and the *_Click / *_Timer functions) are the only
// entry points the window calls (through FormEvents; the rows of eventTable()
// name them). Each runs to its end; when the program ends during one, every
// file is closed, Toolkit::closeForGood is called, and every later event is
// ignored (ended() is true).
class LessonForm final : public FormEvents {
public:
    LessonForm(Toolkit& toolkit, FileTable& files, const Clock& clock, Random& random);
    ~LessonForm() override;
    LessonForm(const LessonForm&) = delete;
    LessonForm& operator=(const LessonForm&) = delete;

    // Lines to store in the lesson line table instead of the built-in lesson
    // (line 1 in slot 1 and so on). Set before Form_Load.
    void setLessonLines(std::vector<std::string> lines);

    // --- Events of the window ---
    // The event table (docs/ARCHITECTURE.md follows each row on to the files
    // it writes). Every other event of every control runs nothing.
    //   Event                             Handler                          Command
    //   load, before the window shows     Form_Load                        initProgram, openAssignment
    //   click cmdNextQuestion             cmdNextQuestion_Click            nextQuestion
    //   click cmd_enter_response          cmd_enter_response_Click         enterResponse
    //   click cmd_save_as_notes           cmd_save_as_notes_Click          saveAsNotes
    //   click cmd_display_note_file       cmd_display_note_file_Click      displayNotes
    //   click cmd_displayCumulativeText   cmd_displayCumulativeText_Click  displayEverything
    //   click cmd_clear_answer_box        cmd_clear_answer_box_Click       clearBox
    //   click cmd_next_picture            cmd_next_picture_Click           nextPicture
    //   click cmd_copy_picture            cmd_copy_picture_Click           copyPicture
    //   click cmd_pend_exp                cmd_pend_exp_Click               switchTimerOn
    //   click cmd_quit                    cmd_quit_Click                   quitProgram
    //   tick of tmr_pend_exp              tmr_pend_exp_Timer               pendulumTick
    //   the window closed                 windowClosed                     quitProgram
    void Form_Load();
    void cmdNextQuestion_Click();
    void cmd_enter_response_Click();
    void cmd_save_as_notes_Click();
    void cmd_display_note_file_Click();
    void cmd_displayCumulativeText_Click();
    void cmd_clear_answer_box_Click();
    void cmd_next_picture_Click();
    void cmd_copy_picture_Click();
    void cmd_pend_exp_Click();
    void cmd_quit_Click();
    void tmr_pend_exp_Timer();

    // FormEvents: the window's way in.
    void handle(const EventRow& event) override { (this->*event.handler)(); }
    // Ends the program as quit program does: typed text in the answer box is
    // asked about first (and the student may cancel: the program goes on);
    // then every file is closed. During a command (inside one of its
    // dialogs) this happens when that command is done.
    void windowClosed() override;

    // True once the program has ended; the window runs nothing after that.
    bool ended() const { return ended_; }

    // Thrown to stop the running command where it stands while the program
    // goes on: the student cancelled at the question about typed text, or
    // the record asked for there failed (and was reported). Only dispatch
    // catches it; like EndProgram it is no std::exception.
    struct CommandStopped {};

    // --- Public operations ---
    // They may throw RunError (those without failure handling of their own),
    // EndProgram or CommandStopped; called from outside an event handler, the
    // caller sees it.
    void readNextQuestion();
    std::string code(const std::string& aLine, const double& codeNbr);
    std::string makeCodeLine(const double& codeNbr);
    std::string decode(const std::string& aLine, const double& codeNbr);
    void codeFile();
    std::string remSpaces(const std::string& aLine);
    void runRoutine(const std::string& routine);

    // The run's variables, to look at; tests set them through test::stateOf.
    const RunState& state() const { return s_; }

    // Fixed texts of the program.
    static const char* const generalErrorMessage; // followed by the error number

private:
    friend RunState& test::stateOf(LessonForm& form);

    // --- Start-up (run/) ---
    void initProgram();
    void openAssignment();
    void loadLessonLines();
    // The error-reporting pattern of initProgram, openAssignment,
    // readNextQuestion and Next Question: 9 shows the invalid-assignment
    // message and ends the program; any other number shows the general error
    // message and returns. A failure that may have left part of a header
    // block or a record in some files says so after the number.
    void reportError(const RunError& e);

    // --- Commands (paging/, recording/) ---
    void nextQuestion();
    void nextPicture();
    void enterResponse();
    void saveAsNotes();
    // Closes a record's unit, finishing the unfinished one when key names
    // it, and notes what stays unfinished after a failure.
    void closeRecord(RecordFiles& record, const std::string& key);
    void displayNotes();
    void displayEverything();
    void clearBox();
    void copyPicture();
    void pendulumTick();

    // Runs one event's command. A RunError that the command did not handle is
    // reported as the platform's standard run-time error message and the
    // program goes on; EndProgram ends the program.
    void dispatch(void (LessonForm::*command)());
    // The command, with its unhandled RunError reported and CommandStopped
    // caught; EndProgram passes.
    void runCommand(void (LessonForm::*command)());
    // The platform's run-time error message for a failure no handler took
    // care of, with the partial-record note.
    void reportRunTimeError(const RunError& e);
    // Form_Load's command: both parts, in this order, whatever the first did.
    void startUp();
    // Switching on a timer that is already on changes nothing.
    void switchTimerOn();
    // Ends the program at once: throws EndProgram, which unwinds out of the
    // running command to dispatch.
    [[noreturn]] void throwEndProgram();

    // --- Typed text in the answer box (run/TypedAnswer.cpp) ---
    // Typed text: the answer box holds something other than what the program
    // last put there (or, before that, what it held when the form was made).
    bool answerTyped() const;
    // Replaces the answer box's text; the program's own text, not typed.
    void setAnswerBox(const std::string& text);
    // Before typed text is replaced or let go (Next Question's refill of the
    // default prompt; quit program and closing the window, see quitProgram):
    // asks to record it, discard it or cancel. Returns when the program may
    // go on (nothing typed, recorded, discarded); Cancel, and a record that
    // fails, throw CommandStopped.
    void askBeforeRefill();
    void askBeforeGoingOn(const std::string& question);
    // The lesson ends the program (the exit routine or a routine name outside
    // the table, the next assignment's header, the end marker, the
    // invalid-assignment message). Typed text is asked about first, with no
    // Cancel. A record goes to the question shown when the command started:
    // the reading goes back there first, so that when the record fails (the
    // command stops, the program goes on) the next click meets the same end.
    [[noreturn]] void endByLesson();
    // Records the answer box as Enter Response does. Its failure is reported
    // as Enter Response's is, and stops the command: the text stays, and so
    // does resetAnswerBox.
    void recordTypedAnswer();
    // quit program, and closing the window.
    void quitProgram();
    // Notes the reading variables as a command that may meet the end of the
    // lesson starts (Next Question, next picture); dispatch forgets them
    // when the command is done.
    void markCommandStart();

    // The slot of lessonLines at index; fails with 9 outside 0..5000.
    std::string& lessonSlot(int index);

    // The reading variables that Next Question and next picture change.
    struct ReadingPosition {
        int lineCounter = 0;
        bool resetAnswerBox = false;
        std::string nextBlock;
        std::string questionText;
        std::string questionNumber;
        std::string cumulativeText;
    };

    Toolkit& toolkit_;
    FileTable& files_;
    const Clock& clock_;
    Random& random_;
    // The run state lives apart so that the many includers of this header
    // need not see it; s_ is the one name the procedures use for it.
    std::unique_ptr<RunState> state_;
    RunState& s_;
    std::vector<std::string> lessonSource_; // what loadLessonLines stores
    bool ended_ = false;
    bool timerOn_ = false;
    int running_ = 0;                             // commands running, one inside another's dialog
    bool closedWhileRunning_ = false;             // the window was closed meanwhile
    std::string answerBoxSet_;                    // what the program last put into the answer box
    std::optional<ReadingPosition> commandStart_; // see markCommandStart
    // A record that failed and stays in some of its files (whole or in
    // part): its kind, question and answer, so that recording the same again
    // finishes it rather than writing it twice (Records.cpp).
    std::string unfinishedRecord_;
};

} // namespace qal
