#pragma once

#include <functional>

namespace qal {

class LessonForm;

// What the window runs for each event of its event table, one entry per
// handler and named after it. An empty entry runs nothing.
struct FormHandlers {
    std::function<void()> cmdNextQuestion_Click;
    std::function<void()> cmd_enter_response_Click;
    std::function<void()> cmd_save_as_notes_Click;
    std::function<void()> cmd_display_note_file_Click;
    std::function<void()> cmd_displayCumulativeText_Click;
    std::function<void()> cmd_clear_answer_box_Click;
    std::function<void()> cmd_next_picture_Click;
    std::function<void()> cmd_copy_picture_Click;
    std::function<void()> cmd_pend_exp_Click;
    std::function<void()> cmd_quit_Click;
    std::function<void()> tmr_pend_exp_Timer;

    // The lesson form's own handlers; the form must outlive the window.
    static FormHandlers of(LessonForm& form);
};

} // namespace qal
