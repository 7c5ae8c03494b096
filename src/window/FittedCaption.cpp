#include "window/FittedCaption.h"

#include <QFontMetricsF>
#include <QRect>
#include <QString>

namespace qal {

namespace {
constexpr qreal smallestPointSize = 6.0;
constexpr qreal step = 0.25;
} // namespace

QFont fittedFont(const QFont& base, const QString& caption, const QRect& area, int flags)
{
    QFont font = base;
    for (;;) {
        const QRectF needed = QFontMetricsF(font).boundingRect(QRectF(area), flags, caption);
        if ((needed.width() <= area.width() && needed.height() <= area.height()) ||
            font.pointSizeF() - step < smallestPointSize)
            return font;
        font.setPointSizeF(font.pointSizeF() - step);
    }
}

} // namespace qal
