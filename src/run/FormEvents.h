#pragma once

#include <span>

namespace qal {

class LessonForm;

// One row of the window's event table: a control, and the lesson form's
// handler that the control's click (for the timer tmr_pend_exp, its tick)
// runs.
struct EventRow {
    const char* control;     // the control's name, its object name in the window
    const char* handlerName; // the handler's name, for tests and messages
    void (LessonForm::*handler)();
};

// The event table, one row for each control that runs anything; defined
// beside the handlers (LessonForm.cpp). The window connects every row in one
// place (MainWindow). The load handler is not in it: the program runs
// Form_Load itself, before the window is first shown.
std::span<const EventRow> eventTable();

// All the window tells the core. LessonForm is the one implementation in the
// program; the window's own tests put a recorder in its place.
class FormEvents {
public:
    virtual ~FormEvents() = default;

    // A row of the event table happened: run its handler.
    virtual void handle(const EventRow& event) = 0;
    // The window was closed (by the student, or asked to close by a
    // termination signal). The program ends as quit program ends it, asking
    // first about an unrecorded answer; a student who cancels keeps the
    // window (it closes only once the toolkit is told closeForGood).
    virtual void windowClosed() = 0;
};

} // namespace qal
