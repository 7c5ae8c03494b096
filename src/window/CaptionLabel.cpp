#include "window/CaptionLabel.h"

#include "window/FittedCaption.h"

#include <QPainter>

namespace qal {

CaptionLabel::CaptionLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void CaptionLabel::paintEvent(QPaintEvent* /*event*/)
{
    constexpr int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    const QRect area = contentsRect();
    QPainter painter(this);
    painter.setFont(fittedFont(font(), text(), area, flags));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(area, flags, text());
}

} // namespace qal
