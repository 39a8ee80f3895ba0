#include "orka/app/ItemPictures.h"

#include "orka/app/COrkaDoc.h"

#include <algorithm>
#include <cstring>

namespace orka::app {
namespace {
constexpr unsigned kStrBadArguments = 61100;
constexpr std::size_t kBytesPerPixel = 3;
} // namespace

Bitmap bitmapFromPicture(const DibPicture& source)
{
    if (source.width() > kMaxBitmapSide || source.height() > kMaxBitmapSide)
        throw GalleryRefusal(kStrBadArguments);
    const DibPicture rgb = source.bytesPerPixel() == kBytesPerPixel ? DibPicture() : source.toRgb();
    const DibPicture& picture = source.bytesPerPixel() == kBytesPerPixel ? source : rgb;
    Bitmap b;
    b.width = std::uint8_t(picture.width());
    b.height = std::uint8_t(picture.height());
    b.padding = std::uint8_t(picture.rowPadding());
    b.pixels.assign(picture.pixels(), picture.pixels() + picture.pixelBytes());
    return b;
}

DibPicture pictureFromBitmap(const Bitmap& bitmap)
{
    DibPicture picture(bitmap.width, bitmap.height, int(kBytesPerPixel));
    if (picture.empty())
        return picture;
    const std::size_t from = std::size_t(bitmap.width + bitmap.padding) * kBytesPerPixel;
    const std::size_t rowBytes = std::size_t(bitmap.width) * kBytesPerPixel;
    for (std::uint32_t y = 0; y < bitmap.height; ++y) {
        const std::size_t at = from * y;
        if (at >= bitmap.pixels.size())
            break;
        std::memcpy(picture.row(y), bitmap.pixels.data() + at, std::min(rowBytes, bitmap.pixels.size() - at));
    }
    return picture;
}

} // namespace orka::app
