#pragma once

#include <QFont>
#include <QRect>
#include <QString>

#include <vector>

namespace qal {

// A caption as a control draws it: its text, the area it may take, and the
// flags of QPainter::drawText it is drawn with (Qt::TextWordWrap among
// them, so that it breaks between words).
struct Caption {
    QString text;
    QRect area;
    int flags;
};

// True when the caption, broken between words, fits its area in the font.
bool captionFits(const QFont& font, const Caption& caption);

// The one font for every caption of the window: base itself when every
// caption fits in it, otherwise base a little smaller, as large as lets
// them all fit, but never below a smallest readable size. Every caption is
// then drawn in the same font, as the original platform drew them; one that
// still cannot fit is cut at the edges of its control, not made smaller on
// its own.
QFont captionFont(const QFont& base, const std::vector<Caption>& captions);

} // namespace qal
