#include "CaptureView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace orka::picture::ui {

namespace {
constexpr int kMargin = 6;
constexpr int kLargeKeySteps = 10;
constexpr int kWheelNotch = 120; // angle delta of one notch of a common wheel
const QColor kBackground(64, 64, 64);
const QColor kShade(0, 0, 0, 120);
} // namespace

CaptureView::CaptureView(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(160, 140);
    setCursor(Qt::SizeAllCursor);
}

void CaptureView::setPicture(const QImage& image, const CaptureFrame& frame)
{
    image_ = image;
    scaled_ = QPixmap();
    frame_ = frame;
    changed();
}

void CaptureView::clear()
{
    setPicture({}, {});
}

double CaptureView::scale() const
{
    if (image_.isNull())
        return 1.0;
    const double w = std::max(1, width() - 2 * kMargin);
    const double h = std::max(1, height() - 2 * kMargin);
    return std::min(w / image_.width(), h / image_.height());
}

QRectF CaptureView::pictureArea() const
{
    if (image_.isNull())
        return {};
    const double s = scale();
    const QSizeF size(image_.width() * s, image_.height() * s);
    return {QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size};
}

void CaptureView::zoomIn()
{
    frame_.zoomIn();
    changed();
}

void CaptureView::zoomOut()
{
    frame_.zoomOut();
    changed();
}

void CaptureView::fit()
{
    frame_.fit();
    changed();
}

void CaptureView::moveFrameBy(std::int64_t dx, std::int64_t dy)
{
    frame_.moveBy(dx, dy);
    changed();
}

void CaptureView::changed()
{
    update();
    Q_EMIT frameChanged();
}

std::int64_t CaptureView::keyStep() const
{
    return std::max<std::int64_t>(1, std::llround(1.0 / scale()));
}

void CaptureView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    if (image_.isNull())
        return;
    const QRectF area = pictureArea();
    const QSize target = area.size().toSize();
    if (scaled_.size() != target)
        scaled_ = QPixmap::fromImage(image_.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    painter.drawPixmap(area.topLeft(), scaled_);
    if (frame_.empty())
        return;
    const double s = scale();
    const PixelRect r = frame_.rect();
    const QRectF frameArea(area.left() + double(r.left) * s, area.top() + double(r.top) * s, double(r.width) * s,
                           double(r.height) * s);
    // What will be left out is shaded; the frame itself has a dashed edge seen on any colour.
    QPainterPath outside;
    outside.addRect(area);
    outside.addRect(frameArea);
    painter.fillPath(outside, kShade);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(frameArea.adjusted(0, 0, -1, -1));
    painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
    painter.drawRect(frameArea.adjusted(0, 0, -1, -1));
}

void CaptureView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || frame_.empty())
        return QWidget::mousePressEvent(event);
    dragging_ = true;
    dragStart_ = event->position();
    dragFrom_ = frame_.rect();
}

void CaptureView::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging_)
        return QWidget::mouseMoveEvent(event);
    // Measured from the press, so rounding never adds up while dragging.
    const QPointF moved = (event->position() - dragStart_) / scale();
    frame_.moveTo(dragFrom_.left + std::llround(moved.x()), dragFrom_.top + std::llround(moved.y()));
    changed();
}

void CaptureView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        dragging_ = false;
    QWidget::mouseReleaseEvent(event);
}

void CaptureView::wheelEvent(QWheelEvent* event)
{
    // Fine-grained wheels send small deltas: a step is taken per whole notch.
    wheelRemainder_ += event->angleDelta().y();
    while (wheelRemainder_ >= kWheelNotch) {
        wheelRemainder_ -= kWheelNotch;
        frame_.zoomIn();
    }
    while (wheelRemainder_ <= -kWheelNotch) {
        wheelRemainder_ += kWheelNotch;
        frame_.zoomOut();
    }
    changed();
    event->accept();
}

void CaptureView::keyPressEvent(QKeyEvent* event)
{
    const std::int64_t step = keyStep() * ((event->modifiers() & Qt::ShiftModifier) ? kLargeKeySteps : 1);
    switch (event->key()) {
    case Qt::Key_Left: moveFrameBy(-step, 0); break;
    case Qt::Key_Right: moveFrameBy(step, 0); break;
    case Qt::Key_Up: moveFrameBy(0, -step); break;
    case Qt::Key_Down: moveFrameBy(0, step); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: zoomIn(); break;
    case Qt::Key_Minus: zoomOut(); break;
    case Qt::Key_Home: fit(); break;
    default: return QWidget::keyPressEvent(event);
    }
    event->accept();
}

} // namespace orka::picture::ui
