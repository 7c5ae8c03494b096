#pragma once

#include "window/FittedCaption.h"

#include <QPushButton>

namespace qal {

// A command button whose caption breaks between words to fit the button, as
// the original platform's buttons do, in the button's font; what still does
// not fit is cut at the edges. text() is the caption.
//
// Return and Enter click a focused button, as Space does.
class CaptionButton : public QPushButton {
    Q_OBJECT

public:
    CaptionButton(const QString& caption, QWidget* parent);

    // The caption as it is drawn: inside the bevel, centred.
    Caption caption() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace qal
