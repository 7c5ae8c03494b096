#include "window/CaptionButton.h"

#include <QKeyEvent>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace qal {

CaptionButton::CaptionButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}

Caption CaptionButton::caption() const
{
    return {text(), rect().adjusted(2, 1, -2, -1), Qt::AlignCenter | Qt::TextWordWrap};
}

void CaptionButton::paintEvent(QPaintEvent* /*event*/)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    // The style draws the bevel and the focus frame; the caption is drawn
    // here, wrapped, because the style would draw it on one line.
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);

    Caption c = caption();
    if (isDown() || isChecked())
        c.area.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                         style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
    painter.setClipRect(c.area);
    painter.drawItemText(c.area, c.flags, palette(), isEnabled(), c.text, QPalette::ButtonText);
}

void CaptionButton::keyPressEvent(QKeyEvent* event)
{
    // Held down, the key clicks once, as Space does.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (!event->isAutoRepeat())
            click();
        event->accept();
        return;
    }
    QPushButton::keyPressEvent(event);
}

} // namespace qal
