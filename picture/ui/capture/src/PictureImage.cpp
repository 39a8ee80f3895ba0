#include "PictureImage.h"

#include "orka/picture/Animation.h"

#include <algorithm>

namespace orka::picture::ui {

QImage imageFromPicture(const DibPicture& picture)
{
    if (picture.empty())
        return {};
    if (picture.bytesPerPixel() != 3)
        return imageFromPicture(picture.toRgb());
    // Rows are padded to whole groups of 4 pixels, so every stride is a multiple of 4 bytes.
    const QImage view(picture.pixels(), int(picture.width()), int(picture.height()), qsizetype(picture.stride()),
                      QImage::Format_BGR888);
    return view.copy();
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
