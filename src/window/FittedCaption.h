#pragma once

#include <QFont>

class QRect;
class QString;

namespace qal {

// The font in which a caption fits the area when broken between words
// (flags are those of QPainter::drawText, Qt::TextWordWrap among them): base
// itself when the caption fits in it, otherwise base a little smaller, down
// to a smallest readable size, so that no caption is cut at the edges.
QFont fittedFont(const QFont& base, const QString& caption, const QRect& area, int flags);

} // namespace qal
