#include "orka/picture/DibPicture.h"

#include "orka/picture/PictureError.h"

#include <new>

namespace orka {

void DibPicture::create(int width, int height, int bytesPerPixel, bool withMask)
{
    release();
    if (bytesPerPixel != 1 && bytesPerPixel != 3)
        throw PictureError(PictureMessage::BadArguments, PictureSource::Dib);
    bytesPerPixel_ = static_cast<std::uint8_t>(bytesPerPixel);
    if (width <= 0 || height <= 0)
        return;
    if (!pictureSizeSupported(std::uint64_t(width), std::uint64_t(height)))
        throw PictureError(PictureMessage::Unsupported, PictureSource::Dib);
    const std::uint32_t padding = rowPaddingFor(std::uint32_t(width));
    const std::size_t rowPixels = std::size_t(width) + padding;
    try {
        pixels_.assign(rowPixels * std::size_t(height) * std::size_t(bytesPerPixel), 0);
        if (withMask)
            mask_.assign(rowPixels * std::size_t(height), 0);
    } catch (const std::bad_alloc&) {
        release();
        throw PictureError(PictureMessage::OutOfMemory, PictureSource::Dib);
    }
    width_ = std::uint32_t(width);
    height_ = std::uint32_t(height);
    rowPadding_ = padding;
    if (bytesPerPixel == 1) {
        hasPalette_ = true;
        palette_ = Palette{};
    }
}

void DibPicture::release()
{
    pixels_.clear();
    pixels_.shrink_to_fit();
    mask_.clear();
    mask_.shrink_to_fit();
    width_ = height_ = rowPadding_ = 0;
    hasPalette_ = false;
    palette_ = Palette{};
}

DibPicture DibPicture::toRgb() const
{
    if (bytesPerPixel_ == 3 || empty())
        return *this;
    DibPicture out(int(width_), int(height_), 3, hasMask());
    for (std::uint32_t y = 0; y < height_; ++y) {
        const std::uint8_t* in = row(y);
        std::uint8_t* o = out.row(y);
        for (std::uint32_t x = 0; x < width_; ++x) {
            const PaletteEntry& e = palette_[in[x]];
            o[3 * x] = e.blue;
            o[3 * x + 1] = e.green;
            o[3 * x + 2] = e.red;
        }
    }
    if (hasMask())
        out.mask_ = mask_;
    return out;
}

} // namespace orka
