#pragma once
// The range slider of the ring-tone editor: two markers (the start and the end of the range
// to keep) above a track, and a thumb below it for the play position. All values are song
// ticks. Every change a user makes is announced through midiRangeChanged with one of the
// RangeChange codes, as the slider's parent expects from the "MIDI_RANGE_CHANGED" message.
#include <QBasicTimer>
#include <QWidget>

#include <array>

class QPainter;

namespace orka::audio::ui {

// The name under which the parent knows the slider's notification.
inline constexpr const char* kMidiRangeChangedMessage = "MIDI_RANGE_CHANGED";

// What changed; the numbers are those of the notification.
enum class RangeChange : int {
    StartDragged = 0,  // value: the range start
    EndDragged = 1,    // value: the range end
    RangeDragged = 2,  // value: the range start (the end moved by as much)
    PositionMoved = 3, // the thumb was pressed or dragged; value: the position
    TrackClicked = 4,  // the position jumped to a click on the track; value: the position
    DragEnded = 5,     // the button went up after a drag; value: the position
};

class QXRingSlider : public QWidget {
    Q_OBJECT
public:
    // The parts a user can grab; also the index of their hover timer (timers 1, 2, 3).
    enum class Part : int { None = -1, StartMarker = 0, EndMarker = 1, Thumb = 2 };
    enum class Look : int { Normal, Hover, Pressed };
    // How the pointer is dragging: the numbers are those the drag sends while moving.
    enum class DragMode : int { None = -1, Start = 0, End = 1, Range = 2, Position = 3 };

    static constexpr int kDefaultMarkerWidth = 10;
    static constexpr int kHoverIntervalMs = 50;

    explicit QXRingSlider(QWidget* parent = nullptr);
    ~QXRingSlider() override;

    // The smaller of a and b becomes the minimum, the larger the maximum.
    void setRange(double a, double b);
    void setMarkers(double start, double end);
    void setPosition(double position);
    // The shortest range the markers may enclose, in ticks (the editor's choice).
    void setMinimumRangeLength(double ticks);
    void setMarkerWidth(int pixels);

    double minimum() const { return minimum_; }
    double maximum() const { return maximum_; }
    double rangeStart() const { return start_; }
    double rangeEnd() const { return end_; }
    double position() const { return position_; }
    double minimumRangeLength() const { return minimumRange_; }
    int markerWidth() const { return markerWidth_; }
    int trackWidth() const;
    DragMode dragMode() const { return drag_; }
    Look look(Part part) const;
    bool hoverTimerActive(Part part) const;

    // Where each part is drawn, for hit tests and for tests that press on them.
    QRect partRect(Part part) const;
    // The band between the markers that drags the whole range.
    QRect rangeBandRect() const;
    // The value under a mouse x for a drag mode (None: a click on the track).
    double valueAt(int x, DragMode mode) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // The "MIDI_RANGE_CHANGED" notification: `what` is a RangeChange code.
    void midiRangeChanged(int what, double value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    double fraction(double value) const;
    int pixelOf(double value) const;
    double clampValue(double v) const;
    Part partAt(const QPoint& point) const;
    void notify(RangeChange what, double value);
    void hoverOver(Part part);
    void endHover(Part part);
    void moveStartTo(double v);
    void moveEndTo(double v);
    void moveRangeBy(double delta);
    void movePositionTo(double v, RangeChange what);
    double keyStep(bool large) const;
    void paintTrack(QPainter& painter) const;
    void paintMarker(QPainter& painter, Part part) const;
    void paintThumb(QPainter& painter) const;

    double minimum_ = 0.0;
    double maximum_ = 0.0;
    double start_ = 0.0;
    double end_ = 0.0;
    double position_ = 0.0;
    double minimumRange_ = 0.0;
    int markerWidth_ = kDefaultMarkerWidth;
    DragMode drag_ = DragMode::None;
    double dragLastValue_ = 0.0; // the value under the pointer at the last move of a range drag
    std::array<Look, 3> looks_{Look::Normal, Look::Normal, Look::Normal};
    std::array<QBasicTimer, 3> hoverTimers_;
};

} // namespace orka::audio::ui
