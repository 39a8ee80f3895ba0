#include "orka/picture/ui/PictureImage.h"

#include "orka/picture/Animation.h"

#include <algorithm>

namespace orka::picture::ui {

QImage imageFromPicture(const DibPicture& picture)
{
    if (picture.empty())
        return {};
    if (picture.bytesPerPixel() != 3)
        return imageFromPicture(picture.toRgb());
    // Rows are padded, so the stride is the stored row, not width x 3.
    const QImage view(picture.pixels(), int(picture.width()), int(picture.height()), qsizetype(picture.stride()),
                      QImage::Format_BGR888);
    return view.convertToFormat(QImage::Format_RGB32);
}

DibPicture pictureFromImage(const QImage& image)
{
    if (image.isNull())
        return DibPicture();
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    DibPicture picture(rgb.width(), rgb.height(), 3);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        std::uint8_t* out = picture.row(std::uint32_t(y));
        for (int x = 0; x < rgb.width(); ++x, out += 3) {
            out[0] = std::uint8_t(qBlue(line[x]));
            out[1] = std::uint8_t(qGreen(line[x]));
            out[2] = std::uint8_t(qRed(line[x]));
        }
    }
    return picture;
}

QImage thumbnailOf(const DibPicture& picture, QSize box)
{
    if (picture.empty() || box.isEmpty())
        return {};
    const std::uint64_t w = picture.width(), h = picture.height();
    std::uint64_t tw = std::uint64_t(box.width()), th = std::uint64_t(box.height());
    if (w * th > h * tw)
        th = std::max<std::uint64_t>(1, h * tw / w);
    else
        tw = std::max<std::uint64_t>(1, w * th / h);
    if (tw >= w && th >= h)
        return imageFromPicture(picture);
    return imageFromPicture(scalePicture(picture, std::uint32_t(tw), std::uint32_t(th)));
}

} // namespace orka::picture::ui
