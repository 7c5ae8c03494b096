#pragma once

#include <QFrame>
#include <QImage>

namespace qal {

// A picture pane: a white area inside a sunken border that shows its picture
// from the top-left corner and lets circles be drawn on it in user units.
//
// The picture and the drawing are kept apart: drawing never changes the
// picture, and what is drawn stays on the pane only until the pane is next
// repainted as a whole (shown again after being hidden or minimised, a
// resize, a new picture). Each circle is drawn once
// onto the drawing and only its own rectangle is repainted, so the cost of a
// circle does not grow with the number already drawn.
class PicturePane : public QFrame {
    Q_OBJECT

public:
    explicit PicturePane(QWidget* parent);

    // The user scale: the inner width and height in user units. Until set,
    // the units are twips, 15 to a pixel.
    void setScaleWidth(float units);
    void setScaleHeight(float units);
    float scaleWidth() const;
    float scaleHeight() const;

    // The outline of a circle centred at (x, y) in user units. The radius is
    // in horizontal units, so the circle is round on the screen; whatever
    // falls outside the pane is clipped.
    void drawCircle(float x, float y, float radius);
    // Circles drawn since the pane was last repainted as a whole.
    int circlesShown() const { return circlesShown_; }

    // The pane's picture; a null image is no picture.
    const QImage& picture() const { return picture_; }
    void setPicture(const QImage& picture);

    // The pane as the student sees it: background, picture and drawing.
    QImage shownImage() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void clearDrawing();

    float scaleWidth_ = 0; // 0: not set, twips
    float scaleHeight_ = 0;
    QImage picture_;
    QImage drawing_; // transparent except for what was drawn; inner size
    int circlesShown_ = 0;
};

} // namespace qal
