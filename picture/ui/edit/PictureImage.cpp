#include "PictureImage.h"

namespace orka::ui {

QImage toQImage(const DibPicture& picture)
{
    if (picture.empty())
        return QImage();
    if (picture.bytesPerPixel() != 3)
        return toQImage(picture.toRgb());
    // Rows are padded to whole pixels, so the stride is the stored row, not width x 3.
    const QImage view(picture.pixels(), int(picture.width()), int(picture.height()), qsizetype(picture.stride()),
                      QImage::Format_BGR888);
    return view.convertToFormat(QImage::Format_RGB32);
}

DibPicture fromQImage(const QImage& image)
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

CoverageMask coverageOf(const QImage& image)
{
    CoverageMask mask;
    if (image.isNull())
        return mask;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    mask.width = argb.width();
    mask.height = argb.height();
    mask.coverage.resize(std::size_t(mask.width) * std::size_t(mask.height));
    for (int y = 0; y < mask.height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < mask.width; ++x)
            mask.coverage[std::size_t(y) * std::size_t(mask.width) + std::size_t(x)] = std::uint8_t(qAlpha(line[x]));
    }
    return mask;
}

} // namespace orka::ui
