#include "window/PicturePane.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QShowEvent>

#include <cmath>

namespace qal {

namespace {
constexpr int borderWidth = 2; // the sunken 3-D border
constexpr float twipsPerPixel = 15.0f;
} // namespace

PicturePane::PicturePane(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(borderWidth);
    // Every pixel inside the border is painted here.
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    colours.setColor(QPalette::WindowText, Qt::black);
    setPalette(colours);
}

void PicturePane::setScaleWidth(float units)
{
    scaleWidth_ = units;
}
void PicturePane::setScaleHeight(float units)
{
    scaleHeight_ = units;
}

float PicturePane::scaleWidth() const
{
    return scaleWidth_ ? scaleWidth_ : static_cast<float>(contentsRect().width()) * twipsPerPixel;
}

float PicturePane::scaleHeight() const
{
    return scaleHeight_ ? scaleHeight_ : static_cast<float>(contentsRect().height()) * twipsPerPixel;
}

void PicturePane::drawCircle(float x, float y, float radius)
{
    const QRect inner = contentsRect();
    const float unitsWide = scaleWidth();
    const float unitsHigh = scaleHeight();
    if (inner.isEmpty() || unitsWide == 0 || unitsHigh == 0)
        return;
    const qreal ratio = devicePixelRatioF();
    if (drawing_.size() != inner.size() * ratio || drawing_.devicePixelRatio() != ratio) {
        drawing_ = QImage(inner.size() * ratio, QImage::Format_ARGB32_Premultiplied);
        drawing_.setDevicePixelRatio(ratio);
        drawing_.fill(Qt::transparent);
        circlesShown_ = 0;
    }
    const double unitX = inner.width() / static_cast<double>(unitsWide);
    const double unitY = inner.height() / static_cast<double>(unitsHigh);
    const QPointF centre(x * unitX, y * unitY);
    const double r = std::abs(radius * unitX);
    {
        QPainter painter(&drawing_);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawEllipse(centre, r, r);
    }
    ++circlesShown_;
    const QRectF bounds(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
    update(bounds.toAlignedRect().adjusted(-1, -1, 2, 2).translated(inner.topLeft()) & inner);
}

void PicturePane::setPicture(const QImage& picture)
{
    picture_ = picture;
    clearDrawing();
    update();
}

QImage PicturePane::shownImage() const
{
    QImage image(contentsRect().size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(palette().color(QPalette::Window));
    QPainter painter(&image);
    if (!picture_.isNull())
        painter.drawImage(0, 0, picture_);
    if (!drawing_.isNull())
        painter.drawImage(QRectF(QPointF(0, 0), QSizeF(image.size())), drawing_);
    return image;
}

void PicturePane::paintEvent(QPaintEvent* event)
{
    const QRect inner = contentsRect();
    {
        QPainter painter(this);
        const QRect area = event->rect() & inner;
        painter.setClipRect(area);
        painter.fillRect(area, palette().color(QPalette::Window));
        if (!picture_.isNull())
            painter.drawImage(inner.topLeft(), picture_);
        if (!drawing_.isNull()) {
            const QRect source = area.translated(-inner.topLeft());
            painter.drawImage(
                area.topLeft(), drawing_,
                QRectF(source.topLeft() * drawing_.devicePixelRatio(), source.size() * drawing_.devicePixelRatio()));
        }
    }
    QFrame::paintEvent(event); // the border
}

void PicturePane::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    clearDrawing();
}

void PicturePane::showEvent(QShowEvent* event)
{
    // Shown again (the window restored, or shown after being hidden): the
    // pane is painted afresh, with its background and picture only.
    QFrame::showEvent(event);
    clearDrawing();
}

void PicturePane::clearDrawing()
{
    drawing_ = QImage(); // made again, empty, by the next circle
    circlesShown_ = 0;
}

} // namespace qal
