#include "run/LessonForm.h"

#include "platform/Random.h"
#include "run/Toolkit.h"

namespace qal {

void LessonForm::copyPicture()
{
    // Only the pane's picture travels; circles drawn on Picture1 are not part
    // of it. The picture stays on the clipboard for other programs.
    toolkit_.copyPaneToClipboard(Pane::Picture1);
    toolkit_.pasteClipboardIntoPane(Pane::Picture2);
}

void LessonForm::pendulumTick()
{
    // A tick already on its way when the timer was switched off does nothing.
    if (!timerOn_)
        return;
    toolkit_.beep();
    const float r = random_.next();
    const float radius = r * 500.0f;
    toolkit_.drawCircle(Pane::Picture1, 500.0f, 500.0f, radius);
}

} // namespace qal
