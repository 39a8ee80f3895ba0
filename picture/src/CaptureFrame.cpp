#include "orka/picture/CaptureFrame.h"

#include "orka/picture/Animation.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orka {

CaptureFrame::CaptureFrame(std::uint32_t sourceWidth, std::uint32_t sourceHeight, std::uint32_t targetWidth,
                           std::uint32_t targetHeight)
    : sourceWidth_(sourceWidth), sourceHeight_(sourceHeight), targetWidth_(targetWidth), targetHeight_(targetHeight)
{
    if (sourceWidth_ == 0 || sourceHeight_ == 0 || targetWidth_ == 0 || targetHeight_ == 0)
        return;
    // A source wider than the target's shape limits the frame by its height, else by its width.
    if (sourceWidth_ * targetHeight_ >= sourceHeight_ * targetWidth_)
        maxWidth_ = std::max<std::int64_t>(1, sourceHeight_ * targetWidth_ / targetHeight_);
    else
        maxWidth_ = sourceWidth_;
    const std::int64_t enlargedLimit = (targetWidth_ + kMostEnlargement - 1) / kMostEnlargement;
    minWidth_ = std::min(maxWidth_, std::max<std::int64_t>(1, enlargedLimit));
    fit();
}

std::int64_t CaptureFrame::heightFor(std::int64_t width) const
{
    const std::int64_t rounded = (width * targetHeight_ + targetWidth_ / 2) / targetWidth_;
    return std::clamp<std::int64_t>(rounded, 1, sourceHeight_);
}

void CaptureFrame::fit()
{
    if (maxWidth_ == 0)
        return;
    rect_.width = maxWidth_;
    rect_.height = heightFor(maxWidth_);
    rect_.left = (sourceWidth_ - rect_.width) / 2;
    rect_.top = (sourceHeight_ - rect_.height) / 2;
}

void CaptureFrame::zoomIn()
{
    if (!canZoomIn())
        return;
    auto width = std::int64_t(std::floor(double(rect_.width) / kZoomStep));
    // Small frames would stay where they are without at least one pixel of change.
    width = std::min(width, rect_.width - 1);
    resizeAroundCentre(std::max(width, minWidth_));
}

void CaptureFrame::zoomOut()
{
    if (!canZoomOut())
        return;
    auto width = std::int64_t(std::ceil(double(rect_.width) * kZoomStep));
    width = std::max(width, rect_.width + 1);
    resizeAroundCentre(std::min(width, maxWidth_));
}

void CaptureFrame::resizeAroundCentre(std::int64_t width)
{
    // Centres kept doubled so odd sizes lose no half pixel.
    const std::int64_t centreX2 = 2 * rect_.left + rect_.width;
    const std::int64_t centreY2 = 2 * rect_.top + rect_.height;
    rect_.width = width;
    rect_.height = heightFor(width);
    rect_.left = (centreX2 - rect_.width) / 2;
    rect_.top = (centreY2 - rect_.height) / 2;
    keepInside();
}

void CaptureFrame::moveBy(std::int64_t dx, std::int64_t dy)
{
    moveTo(rect_.left + dx, rect_.top + dy);
}

void CaptureFrame::moveTo(std::int64_t left, std::int64_t top)
{
    if (empty())
        return;
    rect_.left = left;
    rect_.top = top;
    keepInside();
}

void CaptureFrame::keepInside()
{
    rect_.left = std::clamp<std::int64_t>(rect_.left, 0, sourceWidth_ - rect_.width);
    rect_.top = std::clamp<std::int64_t>(rect_.top, 0, sourceHeight_ - rect_.height);
}

DibPicture cropPicture(const DibPicture& original, const PixelRect& area)
{
    const DibPicture rgb = original.bytesPerPixel() == 3 ? DibPicture() : original.toRgb();
    const DibPicture& source = original.bytesPerPixel() == 3 ? original : rgb;
    const std::int64_t left = std::max<std::int64_t>(area.left, 0);
    const std::int64_t top = std::max<std::int64_t>(area.top, 0);
    const std::int64_t right = std::min<std::int64_t>(area.right(), source.width());
    const std::int64_t bottom = std::min<std::int64_t>(area.bottom(), source.height());
    if (right <= left || bottom <= top)
        return {};
    DibPicture out(int(right - left), int(bottom - top), 3);
    for (std::int64_t y = top; y < bottom; ++y)
        std::memcpy(out.row(std::uint32_t(y - top)), source.row(std::uint32_t(y)) + 3 * left,
                    std::size_t(right - left) * 3);
    return out;
}

DibPicture cropAndScale(const DibPicture& source, const PixelRect& area, std::uint32_t width, std::uint32_t height)
{
    const DibPicture cropped = cropPicture(source, area);
    if (cropped.empty())
        return {};
    if (cropped.width() == width && cropped.height() == height)
        return cropped;
    return scalePicture(cropped, width, height);
}

} // namespace orka

namespace orka {

DibPicture fitPicture(const DibPicture& source, std::uint32_t width, std::uint32_t height,
                      std::array<std::uint8_t, 3> background)
{
    DibPicture out(int(width), int(height), 3);
    if (out.empty())
        return out;
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x) {
            out.row(y)[3 * x] = background[2];
            out.row(y)[3 * x + 1] = background[1];
            out.row(y)[3 * x + 2] = background[0];
        }
    if (source.empty())
        return out;
    const std::uint64_t sw = source.width(), sh = source.height();
    std::uint64_t fw = width, fh = height;
    if (sw * height > sh * width)
        fh = std::max<std::uint64_t>(1, sh * width / sw);
    else
        fw = std::max<std::uint64_t>(1, sw * height / sh);
    const DibPicture scaled = cropAndScale(source, {0, 0, std::int64_t(sw), std::int64_t(sh)}, std::uint32_t(fw),
                                           std::uint32_t(fh));
    const std::uint64_t left = (width - fw) / 2, top = (height - fh) / 2;
    for (std::uint32_t y = 0; y < fh; ++y)
        std::memcpy(out.row(std::uint32_t(top + y)) + 3 * left, scaled.row(y), std::size_t(fw) * 3);
    return out;
}

} // namespace orka
