#include "PicturePreview.h"

#include <QPainter>

#include <cmath>

namespace orka::picture::ui {

PicturePreview::PicturePreview(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
}

void PicturePreview::setImage(const QImage& image)
{
    const bool resized = image.size() != image_.size();
    image_ = image;
    if (resized)
        updateGeometry();
    update();
}

void PicturePreview::setZoom(double factor)
{
    zoom_ = factor;
    updateGeometry();
    update();
}

QSize PicturePreview::zoomedSize() const
{
    if (image_.isNull())
        return {0, 0};
    return {std::max(1, int(std::lround(image_.width() * zoom_))), std::max(1, int(std::lround(image_.height() * zoom_)))};
}

void PicturePreview::paintEvent(QPaintEvent*)
{
    if (image_.isNull())
        return;
    QPainter painter(this);
    const QSize size = zoomedSize();
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    painter.drawImage(target, image_);
}

} // namespace orka::picture::ui
