#pragma once

#include "window/FittedCaption.h"

#include <QLabel>

namespace qal {

// A label whose caption breaks between words from the top-left corner, as
// the original platform's labels do, in the label's font; what still does
// not fit is cut at the edges. text() is the caption.
class CaptionLabel : public QLabel {
    Q_OBJECT

public:
    CaptionLabel(const QString& caption, QWidget* parent);

    // The caption as it is drawn.
    Caption caption() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace qal
