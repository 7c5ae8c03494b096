#include "window/CaptionLabel.h"

#include <QPainter>

namespace qal {

CaptionLabel::CaptionLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

Caption CaptionLabel::caption() const
{
    return {text(), contentsRect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap};
}

void CaptionLabel::paintEvent(QPaintEvent* /*event*/)
{
    const Caption c = caption();
    QPainter painter(this);
    painter.setClipRect(c.area);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(c.area, c.flags, c.text);
}

} // namespace qal
