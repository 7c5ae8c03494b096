#pragma once

#include "run/RunState.h"

#include <functional>
#include <string>
#include <vector>

namespace qal {

class Clock;
class FileTable;
class Random;
class RunError;
class Toolkit;

// The program's one object: it plays the part of the lesson window, owns the
// run state and holds every procedure. It knows nothing of the toolkit beyond
// the Toolkit interface, so tests drive it through a fake.
//
// Its member functions are spread over the subsystem folders: start-up here in
// run/, the reader and routine lines in paging/, the records and viewing
// commands in recording/, the line code in coding/.
//
// Event handlers (Form_Load and the *_Click / *_Timer functions) are the only
// entry points the window calls. Each runs to its end; when the program ends
// during one, every file is closed, Toolkit::endProgram is called, and every
// later event is ignored (ended() is true).
class LessonForm {
public:
    LessonForm(Toolkit& toolkit, FileTable& files, const Clock& clock, Random& random);
    ~LessonForm();
    LessonForm(const LessonForm&) = delete;
    LessonForm& operator=(const LessonForm&) = delete;

    // Lines to store in the lesson line table instead of the built-in lesson
    // (line 1 in slot 1 and so on). Set before Form_Load.
    void setLessonLines(std::vector<std::string> lines);

    // --- Events of the window ---
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

    // True once the program has ended; the window runs nothing after that.
    bool ended() const { return ended_; }

    // --- Public operations ---
    // They may throw RunError (those without failure handling of their own)
    // or EndProgram; called from outside an event handler, the caller sees it.
    void readNextQuestion();
    std::string code(const std::string& aLine, const double& codeNbr);
    std::string makeCodeLine(const double& codeNbr);
    std::string decode(const std::string& aLine, const double& codeNbr);
    void codeFile();
    std::string remSpaces(const std::string& aLine);
    void runRoutine(const std::string& routine);

    RunState& state() { return s_; }
    const RunState& state() const { return s_; }

    // Fixed texts of the program.
    static const char* const invalidAssignmentMessage;
    static const char* const generalErrorMessage; // followed by the error number

private:
    // --- Start-up (run/) ---
    void initProgram();
    void openAssignment();
    void loadLessonLines();
    // The error-reporting pattern of initProgram, openAssignment,
    // readNextQuestion and Next Question: 9 shows the invalid-assignment
    // message and ends the program; any other number shows the general error
    // message and returns.
    void reportError(int number);
    // The same for a failure that may have left part of a header block or a
    // record in some files: the message says so.
    void reportError(const RunError& e);

    // --- Commands (paging/, recording/) ---
    void nextQuestion();
    void nextPicture();
    void enterResponse();
    void saveAsNotes();
    void displayNotes();
    void displayEverything();
    void clearBox();
    void copyPicture();
    void pendulumTick();

    // Runs one event handler. A RunError that the handler did not handle is
    // reported as the platform's standard run-time error message and the
    // program goes on; EndProgram ends the program.
    void dispatch(const std::function<void()>& handler);
    // Ends the program at once (unwinds out of the running command).
    [[noreturn]] void endProgram();

    // The slot of lessonLines at index; fails with 9 outside 0..5000.
    std::string& lessonSlot(int index);

    Toolkit& toolkit_;
    FileTable& files_;
    const Clock& clock_;
    Random& random_;
    RunState s_;
    std::vector<std::string> lessonSource_; // what loadLessonLines stores
    bool ended_ = false;
    bool timerOn_ = false;
};

} // namespace qal
