#pragma once
// The source picture with the capture frame over it. The frame is dragged with the mouse,
// zoomed with the wheel and moved and zoomed with the keyboard (arrows, Shift for larger
// steps; + and - to zoom; Home for the largest frame).
#include "orka/picture/CaptureFrame.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace orka::picture::ui {

class CaptureView : public QWidget {
    Q_OBJECT
public:
    explicit CaptureView(QWidget* parent = nullptr);

    void setPicture(const QImage& image, const CaptureFrame& frame);
    void clear();
    const CaptureFrame& frame() const { return frame_; }

    void zoomIn();
    void zoomOut();
    void fit();
    // Moves the frame by source pixels.
    void moveFrameBy(std::int64_t dx, std::int64_t dy);

    // Where the picture is drawn and how many view pixels one source pixel takes.
    QRectF pictureArea() const;
    double scale() const;

    QSize sizeHint() const override { return {360, 300}; }

Q_SIGNALS:
    void frameChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void changed();
    // A step of the keyboard: one view pixel's worth of source pixels, at least one.
    std::int64_t keyStep() const;

    QImage image_;
    QPixmap scaled_; // the picture at the current view size, made when the size changes
    CaptureFrame frame_;
    bool dragging_ = false;
    QPointF dragStart_;
    PixelRect dragFrom_;
    int wheelRemainder_ = 0;
};

} // namespace orka::picture::ui
