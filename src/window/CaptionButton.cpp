#include "window/CaptionButton.h"

#include "window/FittedCaption.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace qal {

CaptionButton::CaptionButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}

void CaptionButton::paintEvent(QPaintEvent* /*event*/)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    // The style draws the bevel and the focus frame; the caption is drawn
    // here, wrapped, because the style would draw it on one line.
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);

    constexpr int flags = Qt::AlignCenter | Qt::TextWordWrap;
    QRect area = rect().adjusted(2, 1, -2, -1);
    painter.setFont(fittedFont(font(), caption, area, flags));
    if (isDown() || isChecked())
        area.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                       style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
    painter.drawItemText(area, flags, palette(), isEnabled(), caption, QPalette::ButtonText);
}

} // namespace qal
