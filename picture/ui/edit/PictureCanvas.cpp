#include "PictureCanvas.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace orka::ui {

PictureCanvas::PictureCanvas(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Clicking the picture takes the focus from the text field, so Ctrl+Z undoes the edit
    // rather than the typing.
    setFocusPolicy(Qt::ClickFocus);
}

void PictureCanvas::setImage(QImage image)
{
    image_ = std::move(image);
    clampPan();
    update();
}

void PictureCanvas::setZoom(double factor)
{
    zoom_ = factor;
    clampPan();
    update();
}

void PictureCanvas::setMoveTool(bool on)
{
    moveTool_ = on;
    setCursor(on ? Qt::OpenHandCursor : Qt::CrossCursor);
}

void PictureCanvas::setMarker(std::optional<QPoint> picturePoint)
{
    marker_ = picturePoint;
    update();
}

QSize PictureCanvas::zoomedSize() const
{
    return QSize(int(std::lround(image_.width() * zoom_)), int(std::lround(image_.height() * zoom_)));
}

// The picture can be moved only as far as it exceeds the view on each side.
void PictureCanvas::clampPan()
{
    const QSize z = zoomedSize();
    const int spareX = std::max(0, (z.width() - width()) / 2);
    const int spareY = std::max(0, (z.height() - height()) / 2);
    pan_.setX(std::clamp(pan_.x(), -spareX, spareX));
    pan_.setY(std::clamp(pan_.y(), -spareY, spareY));
}

QPoint PictureCanvas::pictureOrigin() const
{
    const QSize z = zoomedSize();
    return QPoint((width() - z.width()) / 2 + pan_.x(), (height() - z.height()) / 2 + pan_.y());
}

QPoint PictureCanvas::toPicture(QPoint widgetPoint) const
{
    const QPoint d = widgetPoint - pictureOrigin();
    return QPoint(int(std::floor(d.x() / zoom_)), int(std::floor(d.y() / zoom_)));
}

void PictureCanvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Dark));
    if (image_.isNull())
        return;
    painter.drawImage(QRect(pictureOrigin(), zoomedSize()), image_);
    if (marker_) {
        constexpr int kArm = 6;
        const QPoint at = pictureOrigin() + QPoint(int(marker_->x() * zoom_), int(marker_->y() * zoom_));
        // Drawn inverted so it shows on any colour.
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.setPen(Qt::white);
        painter.drawLine(at - QPoint(kArm, 0), at + QPoint(kArm, 0));
        painter.drawLine(at - QPoint(0, kArm), at + QPoint(0, kArm));
    }
}

void PictureCanvas::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    dragging_ = true;
    if (moveTool_) {
        dragStart_ = event->position().toPoint();
        panAtDragStart_ = pan_;
        setCursor(Qt::ClosedHandCursor);
        return;
    }
    Q_EMIT pressedAt(toPicture(event->position().toPoint()));
}

void PictureCanvas::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging_)
        return;
    if (moveTool_) {
        pan_ = panAtDragStart_ + (event->position().toPoint() - dragStart_);
        clampPan();
        update();
        return;
    }
    Q_EMIT draggedTo(toPicture(event->position().toPoint()));
}

void PictureCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !dragging_)
        return;
    dragging_ = false;
    if (moveTool_) {
        setCursor(Qt::OpenHandCursor);
        return;
    }
    Q_EMIT releasedAt(toPicture(event->position().toPoint()));
}

void PictureCanvas::resizeEvent(QResizeEvent*)
{
    clampPan();
}

} // namespace orka::ui
