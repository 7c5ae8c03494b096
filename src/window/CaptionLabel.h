#pragma once

#include <QLabel>

namespace qal {

// A label whose caption breaks between words from the top-left corner, as
// the original platform's labels do, in a font small enough that it is never
// cut at the edges. text() is the caption.
class CaptionLabel : public QLabel {
    Q_OBJECT

public:
    CaptionLabel(const QString& caption, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace qal
