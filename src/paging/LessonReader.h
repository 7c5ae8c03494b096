#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace qal {

// The question reader's rule, with no toolkit and no files behind it: lesson
// lines and a position go in, and out comes the line to show next, the
// routine to run, or the way the run ends. Start-up's header search, the
// question reader, Next Question and next picture play what these say on the
// form; the lesson checker pages through every assignment with them, click
// by click, so that what --check says is what the program does.

// The lesson line table: slot 0 unused, the lesson from slot 1 to
// maxLessonLines; a slot past the vector's end is empty.
using LessonSlots = std::vector<std::string>;

// How a read, or a click, ends the student's run.
enum class RunEnd {
    None,           // it does not
    NextAssignment, // a line starting with the next assignment's number
    EndMarker,      // a line starting with the end marker
    Routine,        // a routine that ends the run (the exit routine, or a name outside the table)
    RanOff,         // the reader ran past the last slot: the invalid-assignment message, then the end
};

// The header search: the first slot after `from` whose first four characters
// are `header` (the padded assignment number and a point). When there is
// none, the slot past the table where the search fails (the run then fails
// with 9, as running off the table does), and found is false.
struct HeaderSearch {
    int slot = 0;
    bool found = false;
};
HeaderSearch findHeader(const LessonSlots& slots, std::string_view header, int from = 0);

// One read of the question reader from `counter`, the slot last read: the
// next non-empty slot (a slot of blanks is not empty) and whether the run
// ends on it. On RanOff, slot is the number that failed.
struct LessonRead {
    int slot = 0;
    RunEnd end = RunEnd::None;
};
LessonRead readNextLine(const LessonSlots& slots, int counter, std::string_view nextAssignmentMarker);

// One click of Next Question from `counter`. The line read first is run as
// a routine when it is a routine line longer than the marker; the same click
// then reads the next line and shows it, even a routine line (only one such
// check a click).
struct NextQuestionClick {
    LessonRead first;
    bool runsRoutine = false; // first's line is run, not shown
    bool routineEnds = false; // and running it ends the run
    LessonRead second;        // read after the routine; what the click would read were the routine to let it go on
    // The slot shown by the click, or 0 when the run ends in it.
    int shown() const;
    // How the click ends the run (None when it does not), and on which slot.
    RunEnd end() const;
    int endSlot() const;
};
NextQuestionClick nextQuestionClick(const LessonSlots& slots, int counter, std::string_view nextAssignmentMarker);

// One click of next picture from `counter`: two passes over the slots after
// it. A pass that finds a routine line runs it and moves the counter on by
// the pass number, so after a find in pass 1 pass 2 looks three slots past
// the start. A pass past the table fails (a run-time error; the program goes
// on); a routine that ends the run ends the click.
struct PicturePass {
    int slot = 0;           // the slot the pass looks at
    bool pastTable = false; // the slot is outside the table: the click fails here
    bool routine = false;   // the slot holds a routine line, which runs
    bool endsRun = false;   // and running it ends the run
};
struct NextPictureClick {
    std::array<PicturePass, 2> passes{};
    int passCount = 0; // the passes the click makes (it stops at a failure or an end)
    int counter = 0;   // the counter after the click
    RunEnd end() const;
    int endSlot() const;
};
NextPictureClick nextPictureClick(const LessonSlots& slots, int counter);

} // namespace qal
