#include "window/FormHandlers.h"

#include "run/LessonForm.h"

namespace qal {

FormHandlers FormHandlers::of(LessonForm& form)
{
    FormHandlers h;
    h.cmdNextQuestion_Click = [&form] { form.cmdNextQuestion_Click(); };
    h.cmd_enter_response_Click = [&form] { form.cmd_enter_response_Click(); };
    h.cmd_save_as_notes_Click = [&form] { form.cmd_save_as_notes_Click(); };
    h.cmd_display_note_file_Click = [&form] { form.cmd_display_note_file_Click(); };
    h.cmd_displayCumulativeText_Click = [&form] { form.cmd_displayCumulativeText_Click(); };
    h.cmd_clear_answer_box_Click = [&form] { form.cmd_clear_answer_box_Click(); };
    h.cmd_next_picture_Click = [&form] { form.cmd_next_picture_Click(); };
    h.cmd_copy_picture_Click = [&form] { form.cmd_copy_picture_Click(); };
    h.cmd_pend_exp_Click = [&form] { form.cmd_pend_exp_Click(); };
    h.cmd_quit_Click = [&form] { form.cmd_quit_Click(); };
    h.tmr_pend_exp_Timer = [&form] { form.tmr_pend_exp_Timer(); };
    return h;
}

} // namespace qal
