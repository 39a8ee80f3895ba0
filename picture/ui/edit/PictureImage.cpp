#include "PictureImage.h"

namespace orka::ui {

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
