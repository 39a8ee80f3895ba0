#pragma once
// The edit page's picture view: the picture drawn at the view's zoom factor, centred while it
// fits and moved with the move tool when it does not. Presses, drags and releases are handed
// on in picture coordinates for the paint tools.
#include <QImage>
#include <QPoint>
#include <QWidget>

#include <optional>

namespace orka::ui {

class PictureCanvas : public QWidget {
    Q_OBJECT
public:
    explicit PictureCanvas(QWidget* parent = nullptr);

    void setImage(QImage image);
    const QImage& image() const { return image_; }
    void setZoom(double factor);
    double zoom() const { return zoom_; }
    // While the move tool is on, dragging moves the picture instead of painting.
    void setMoveTool(bool on);
    bool moveTool() const { return moveTool_; }
    // A small cross at a picture point (where the next text goes), or none.
    void setMarker(std::optional<QPoint> picturePoint);

    // The top-left corner of the drawn picture in the widget, and where a widget point lies
    // in the picture.
    QPoint pictureOrigin() const;
    QPoint toPicture(QPoint widgetPoint) const;

    QSize sizeHint() const override { return {320, 320}; }

Q_SIGNALS:
    void pressedAt(QPoint picturePoint);
    void draggedTo(QPoint picturePoint);
    void releasedAt(QPoint picturePoint);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QSize zoomedSize() const;
    void clampPan();

    QImage image_;
    double zoom_ = 1.0;
    bool moveTool_ = false;
    std::optional<QPoint> marker_;
    QPoint pan_;          // offset of the picture from its centred place, while it exceeds the view
    QPoint dragStart_;
    QPoint panAtDragStart_;
    bool dragging_ = false;
};

} // namespace orka::ui
