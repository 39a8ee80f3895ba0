#pragma once
// A picture drawn at a zoom factor, centred in whatever room it has; inside a scroll area it
// asks for the zoomed size so the area scrolls when the picture is larger than the view.
#include <QImage>
#include <QWidget>

namespace orka::picture::ui {

class PicturePreview : public QWidget {
    Q_OBJECT
public:
    explicit PicturePreview(QWidget* parent = nullptr);

    void setImage(const QImage& image);
    const QImage& image() const { return image_; }
    void setZoom(double factor);
    double zoom() const { return zoom_; }
    QSize zoomedSize() const;

    QSize sizeHint() const override { return zoomedSize(); }
    QSize minimumSizeHint() const override { return zoomedSize(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    double zoom_ = 1.0;
};

} // namespace orka::picture::ui
