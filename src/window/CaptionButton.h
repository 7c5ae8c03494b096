#pragma once

#include <QPushButton>

namespace qal {

// A command button whose caption breaks between words to fit the button, as
// the original platform's buttons do, instead of being cut at the edges.
// text() is the caption.
class CaptionButton : public QPushButton {
    Q_OBJECT

public:
    CaptionButton(const QString& caption, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace qal
