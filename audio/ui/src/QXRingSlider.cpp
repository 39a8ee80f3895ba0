#include "orka/audio/ui/QXRingSlider.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimerEvent>

#include <algorithm>
#include <cmath>

namespace orka::audio::ui {
namespace {

// The value a screen reader reads is the play position; the range is told in its text.
class RingSliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit RingSliderAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QStringLiteral("%1 [%2 - %3]")
                .arg(qint64(slider()->position()))
                .arg(qint64(slider()->rangeStart()))
                .arg(qint64(slider()->rangeEnd()));
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return slider()->position(); }
    void setCurrentValue(const QVariant& value) override { slider()->setPosition(value.toDouble()); }
    QVariant maximumValue() const override { return slider()->maximum(); }
    QVariant minimumValue() const override { return slider()->minimum(); }
    QVariant minimumStepSize() const override { return 1.0; }

private:
    QXRingSlider* slider() const { return static_cast<QXRingSlider*>(widget()); }
};

QAccessibleInterface* ringSliderAccessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("orka::audio::ui::QXRingSlider") && object && object->isWidgetType())
        return new RingSliderAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

int index(QXRingSlider::Part part)
{
    return static_cast<int>(part);
}

constexpr QXRingSlider::Part kGrabbableParts[] = {QXRingSlider::Part::StartMarker, QXRingSlider::Part::EndMarker,
                                                  QXRingSlider::Part::Thumb};

} // namespace

QXRingSlider::QXRingSlider(QWidget* parent) : QWidget(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(ringSliderAccessibleFactory);
        return true;
    }();
    (void)factoryInstalled;
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true); // hover looks need moves without a button
    setCursor(Qt::ArrowCursor);
}

QXRingSlider::~QXRingSlider() = default;

void QXRingSlider::setRange(double a, double b)
{
    minimum_ = std::min(a, b);
    maximum_ = std::max(a, b);
    // Markers and thumb stay on the track.
    start_ = clampValue(start_);
    end_ = clampValue(end_);
    position_ = clampValue(position_);
    update();
}

void QXRingSlider::setMarkers(double start, double end)
{
    start_ = clampValue(std::min(start, end));
    end_ = clampValue(std::max(start, end));
    update();
}

void QXRingSlider::setPosition(double position)
{
    position_ = clampValue(position);
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, position_);
        QAccessible::updateAccessibility(&event);
    }
    update();
}

void QXRingSlider::setMinimumRangeLength(double ticks)
{
    minimumRange_ = std::max(0.0, ticks);
}

void QXRingSlider::setMarkerWidth(int pixels)
{
    markerWidth_ = std::max(2, pixels);
    updateGeometry();
    update();
}

int QXRingSlider::trackWidth() const
{
    // The start marker sits left of its value and the end marker right of it, so the track
    // leaves room for two markers.
    return std::max(1, width() - 2 * markerWidth_);
}

QXRingSlider::Look QXRingSlider::look(Part part) const
{
    return part == Part::None ? Look::Normal : looks_[static_cast<std::size_t>(index(part))];
}

bool QXRingSlider::hoverTimerActive(Part part) const
{
    return part != Part::None && hoverTimers_[static_cast<std::size_t>(index(part))].isActive();
}

double QXRingSlider::fraction(double value) const
{
    const double span = maximum_ - minimum_;
    return span > 0.0 ? (value - minimum_) / span : 0.0;
}

int QXRingSlider::pixelOf(double value) const
{
    return static_cast<int>(std::lround(fraction(value) * trackWidth()));
}

double QXRingSlider::clampValue(double v) const
{
    return std::clamp(v, minimum_, maximum_);
}

double QXRingSlider::valueAt(int x, DragMode mode) const
{
    // Each part is grabbed at its middle; a click on the track counts from two markers in.
    double offset = 2.0 * markerWidth_;
    switch (mode) {
    case DragMode::Start: offset = markerWidth_ / 2.0; break;
    case DragMode::End: offset = 3.0 * markerWidth_ / 2.0; break;
    case DragMode::Range:
    case DragMode::Position: offset = markerWidth_; break;
    case DragMode::None: break;
    }
    return (x - offset) / trackWidth() * (maximum_ - minimum_) + minimum_;
}

QRect QXRingSlider::partRect(Part part) const
{
    const int mid = height() / 2;
    switch (part) {
    case Part::StartMarker: return {pixelOf(start_), 0, markerWidth_, mid};
    case Part::EndMarker: return {pixelOf(end_) + markerWidth_, 0, markerWidth_, mid};
    case Part::Thumb: return {pixelOf(position_) + markerWidth_ / 2, mid, markerWidth_, height() - mid};
    case Part::None: break;
    }
    return {};
}

QRect QXRingSlider::rangeBandRect() const
{
    const QRect start = partRect(Part::StartMarker);
    const QRect end = partRect(Part::EndMarker);
    return QRect(QPoint(start.right() + 1, 0), QPoint(end.left() - 1, start.bottom()));
}

QXRingSlider::Part QXRingSlider::partAt(const QPoint& point) const
{
    for (Part part : {Part::Thumb, Part::StartMarker, Part::EndMarker})
        if (partRect(part).contains(point))
            return part;
    return Part::None;
}

QSize QXRingSlider::sizeHint() const
{
    return {400, 4 * markerWidth_};
}

QSize QXRingSlider::minimumSizeHint() const
{
    return {6 * markerWidth_, 3 * markerWidth_};
}

void QXRingSlider::notify(RangeChange what, double value)
{
    Q_EMIT midiRangeChanged(static_cast<int>(what), value);
}

// --- mouse ---

void QXRingSlider::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPoint at = event->position().toPoint();
    const Part part = partAt(at);
    // Qt keeps sending the moves to this widget until the button goes up (the capture).
    if (part == Part::Thumb) {
        drag_ = DragMode::Position;
        looks_[static_cast<std::size_t>(index(part))] = Look::Pressed;
        notify(RangeChange::PositionMoved, position_);
    } else if (part == Part::StartMarker) {
        drag_ = DragMode::Start;
        looks_[static_cast<std::size_t>(index(part))] = Look::Pressed;
    } else if (part == Part::EndMarker) {
        drag_ = DragMode::End;
        looks_[static_cast<std::size_t>(index(part))] = Look::Pressed;
    } else if (rangeBandRect().contains(at)) {
        drag_ = DragMode::Range;
        dragLastValue_ = valueAt(at.x(), DragMode::Range);
    } else {
        movePositionTo(valueAt(at.x(), DragMode::None), RangeChange::TrackClicked);
    }
    update();
}

void QXRingSlider::mouseMoveEvent(QMouseEvent* event)
{
    const int x = qRound(event->position().x());
    switch (drag_) {
    case DragMode::Start:
        moveStartTo(valueAt(x, drag_));
        notify(RangeChange::StartDragged, start_);
        return;
    case DragMode::End:
        moveEndTo(valueAt(x, drag_));
        notify(RangeChange::EndDragged, end_);
        return;
    case DragMode::Range: {
        const double v = valueAt(x, drag_);
        moveRangeBy(v - dragLastValue_);
        dragLastValue_ = v;
        notify(RangeChange::RangeDragged, start_);
        return;
    }
    case DragMode::Position:
        movePositionTo(valueAt(x, drag_), RangeChange::PositionMoved);
        return;
    case DragMode::None: break;
    }
    const Part over = partAt(event->position().toPoint());
    for (Part part : kGrabbableParts) {
        if (part == over)
            hoverOver(part);
        else
            endHover(part);
    }
}

void QXRingSlider::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || drag_ == DragMode::None) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    drag_ = DragMode::None;
    const Part over = partAt(event->position().toPoint());
    for (Part part : kGrabbableParts) {
        auto& look = looks_[static_cast<std::size_t>(index(part))];
        if (look == Look::Pressed)
            look = part == over ? Look::Hover : Look::Normal;
    }
    update();
    notify(RangeChange::DragEnded, position_);
}

void QXRingSlider::leaveEvent(QEvent* event)
{
    for (Part part : kGrabbableParts)
        endHover(part);
    QWidget::leaveEvent(event);
}

void QXRingSlider::hoverOver(Part part)
{
    auto& look = looks_[static_cast<std::size_t>(index(part))];
    if (look != Look::Normal)
        return;
    look = Look::Hover;
    hoverTimers_[static_cast<std::size_t>(index(part))].start(kHoverIntervalMs, this);
    update(partRect(part));
}

void QXRingSlider::endHover(Part part)
{
    hoverTimers_[static_cast<std::size_t>(index(part))].stop();
    auto& look = looks_[static_cast<std::size_t>(index(part))];
    if (look != Look::Hover)
        return;
    look = Look::Normal;
    update(partRect(part));
}

void QXRingSlider::timerEvent(QTimerEvent* event)
{
    // The hover timers notice a pointer that left the part without a move reaching us (it
    // left the window, or another window came over it).
    for (Part part : kGrabbableParts) {
        if (event->timerId() != hoverTimers_[static_cast<std::size_t>(index(part))].timerId())
            continue;
        if (drag_ == DragMode::None && partAt(mapFromGlobal(QCursor::pos())) != part)
            endHover(part);
        return;
    }
    QWidget::timerEvent(event);
}

// --- the rules of each drag ---

void QXRingSlider::moveStartTo(double v)
{
    double start = std::max(v, minimum_);
    if (start >= end_ - minimumRange_)
        start = end_ - minimumRange_;
    start_ = std::max(start, minimum_); // a range shorter than the minimum keeps its start
    update();
}

void QXRingSlider::moveEndTo(double v)
{
    end_ = std::min(std::max(v, start_ + minimumRange_), maximum_);
    update();
}

void QXRingSlider::moveRangeBy(double delta)
{
    if (start_ + delta < minimum_)
        delta = minimum_ - start_;
    if (end_ + delta > maximum_)
        delta = maximum_ - end_;
    start_ += delta;
    end_ += delta;
    update();
}

void QXRingSlider::movePositionTo(double v, RangeChange what)
{
    setPosition(v);
    notify(what, position_);
}

// --- keyboard ---

double QXRingSlider::keyStep(bool large) const
{
    const double span = maximum_ - minimum_;
    return std::max(1.0, std::floor(span / (large ? 10.0 : 100.0)));
}

void QXRingSlider::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool left = event->key() == Qt::Key_Left || event->key() == Qt::Key_Down;
    const bool right = event->key() == Qt::Key_Right || event->key() == Qt::Key_Up;
    const double step = keyStep(false);
    // Shift moves the start marker, Ctrl the end marker, plain keys the position; [ and ]
    // put a marker at the position. A marker change ends like a drag, with DragEnded.
    if ((left || right) && (mods & Qt::ShiftModifier)) {
        moveStartTo(std::min(start_ + (right ? step : -step), end_));
        notify(RangeChange::StartDragged, start_);
        notify(RangeChange::DragEnded, position_);
    } else if ((left || right) && (mods & Qt::ControlModifier)) {
        moveEndTo(end_ + (right ? step : -step));
        notify(RangeChange::EndDragged, end_);
        notify(RangeChange::DragEnded, position_);
    } else if (event->key() == Qt::Key_BracketLeft) {
        moveStartTo(position_);
        notify(RangeChange::StartDragged, start_);
        notify(RangeChange::DragEnded, position_);
    } else if (event->key() == Qt::Key_BracketRight) {
        moveEndTo(position_);
        notify(RangeChange::EndDragged, end_);
        notify(RangeChange::DragEnded, position_);
    } else if (left || right) {
        movePositionTo(position_ + (right ? step : -step), RangeChange::PositionMoved);
    } else if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) {
        const double big = keyStep(true);
        movePositionTo(position_ + (event->key() == Qt::Key_PageUp ? big : -big), RangeChange::PositionMoved);
    } else if (event->key() == Qt::Key_Home) {
        movePositionTo(minimum_, RangeChange::PositionMoved);
    } else if (event->key() == Qt::Key_End) {
        movePositionTo(maximum_, RangeChange::PositionMoved);
    } else {
        QWidget::keyPressEvent(event);
    }
}

// --- drawing: the six looks of the markers and the thumb ---

namespace {

QColor lookColor(QColor base, QXRingSlider::Look look)
{
    switch (look) {
    case QXRingSlider::Look::Hover: return base.lighter(140);
    case QXRingSlider::Look::Pressed: return base.darker(150);
    case QXRingSlider::Look::Normal: break;
    }
    return base;
}

} // namespace

void QXRingSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintTrack(painter);
    paintMarker(painter, Part::StartMarker);
    paintMarker(painter, Part::EndMarker);
    paintThumb(painter);
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void QXRingSlider::paintTrack(QPainter& painter) const
{
    const int mid = height() / 2;
    const int left = markerWidth_;
    const int right = markerWidth_ + trackWidth();
    // The groove, then the kept range over it.
    painter.setPen(palette().color(QPalette::Mid));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRoundedRect(QRectF(left, mid - 3, right - left, 6), 3, 3);
    const int from = pixelOf(start_) + markerWidth_;
    const int to = pixelOf(end_) + markerWidth_;
    if (to > from) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette().color(QPalette::Highlight));
        painter.drawRect(QRectF(from, mid - 2, to - from, 4));
        QColor band = palette().color(QPalette::Highlight);
        band.setAlpha(40);
        painter.setBrush(band);
        painter.drawRect(rangeBandRect());
    }
}

void QXRingSlider::paintMarker(QPainter& painter, Part part) const
{
    // A flag whose straight side stands on the value: the start marker's on its right, the
    // end marker's on its left, so two markers on one value stand back to back.
    const QRectF r = QRectF(partRect(part)).adjusted(0.5, 1.5, -0.5, -0.5);
    const bool start = part == Part::StartMarker;
    const qreal edge = start ? r.right() : r.left();
    const qreal outer = start ? r.left() : r.right();
    QPainterPath flag;
    flag.moveTo(edge, r.top());
    flag.lineTo(outer, r.top());
    flag.lineTo(outer, r.top() + r.height() * 0.55);
    flag.lineTo(edge, r.bottom());
    flag.closeSubpath();
    const QColor base = start ? QColor(0x2e, 0x7d, 0x32) : QColor(0xc6, 0x28, 0x28);
    const QColor fill = lookColor(base, look(part));
    painter.setPen(QPen(fill.darker(140), 1));
    painter.setBrush(fill);
    painter.drawPath(flag);
}

void QXRingSlider::paintThumb(QPainter& painter) const
{
    // A pointer standing below the track, its tip on the position.
    const QRectF r = QRectF(partRect(Part::Thumb)).adjusted(0.5, 0.5, -0.5, -1.5);
    QPainterPath thumb;
    thumb.moveTo(r.center().x(), r.top());
    thumb.lineTo(r.right(), r.top() + r.height() * 0.4);
    thumb.lineTo(r.right(), r.bottom());
    thumb.lineTo(r.left(), r.bottom());
    thumb.lineTo(r.left(), r.top() + r.height() * 0.4);
    thumb.closeSubpath();
    const QColor fill = lookColor(QColor(0x15, 0x65, 0xc0), look(Part::Thumb));
    painter.setPen(QPen(fill.darker(150), 1));
    painter.setBrush(fill);
    painter.drawPath(thumb);
}

} // namespace orka::audio::ui
