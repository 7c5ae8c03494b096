#include "window/FittedCaption.h"

#include <QFontMetricsF>

namespace qal {

namespace {
constexpr qreal smallestPointSize = 6.0;
constexpr qreal step = 0.25;
} // namespace

bool captionFits(const QFont& font, const Caption& caption)
{
    const QRectF needed = QFontMetricsF(font).boundingRect(QRectF(caption.area), caption.flags, caption.text);
    return needed.width() <= caption.area.width() && needed.height() <= caption.area.height();
}

QFont captionFont(const QFont& base, const std::vector<Caption>& captions)
{
    QFont font = base;
    for (;;) {
        bool all = true;
        for (const Caption& caption : captions)
            all = all && captionFits(font, caption);
        if (all || font.pointSizeF() - step < smallestPointSize)
            return font;
        font.setPointSizeF(font.pointSizeF() - step);
    }
}

} // namespace qal
