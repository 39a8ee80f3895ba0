#pragma once
// The capture frame: the area of a source picture that becomes an item picture. It keeps the
// shape of the item's size, never leaves the picture, and is zoomed and moved by the user;
// taking the picture crops that area and scales it to the item's size.
#include "orka/picture/DibPicture.h"

#include <array>
#include <cstdint>

namespace orka {

struct PixelRect {
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;

    std::int64_t right() const { return left + width; }
    std::int64_t bottom() const { return top + height; }
    bool empty() const { return width <= 0 || height <= 0; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

class CaptureFrame {
public:
    // Each zoom step changes the frame's sides by this factor.
    static constexpr double kZoomStep = 1.25;
    // The frame may shrink until one source pixel fills this many item pixels.
    static constexpr std::int64_t kMostEnlargement = 4;

    CaptureFrame() = default;
    // Starts as the largest frame of the target's shape, centred. An empty source or target
    // gives an empty frame that ignores every change.
    CaptureFrame(std::uint32_t sourceWidth, std::uint32_t sourceHeight, std::uint32_t targetWidth,
                 std::uint32_t targetHeight);

    const PixelRect& rect() const { return rect_; }
    bool empty() const { return rect_.empty(); }
    std::int64_t largestWidth() const { return maxWidth_; }
    std::int64_t smallestWidth() const { return minWidth_; }

    // Zooming in shows less of the picture (a smaller frame), zooming out more; both keep
    // the frame's centre where the picture allows it.
    bool canZoomIn() const { return rect_.width > minWidth_; }
    bool canZoomOut() const { return rect_.width < maxWidth_; }
    void zoomIn();
    void zoomOut();
    // Back to the largest frame, centred.
    void fit();

    void moveBy(std::int64_t dx, std::int64_t dy);
    void moveTo(std::int64_t left, std::int64_t top);

private:
    void resizeAroundCentre(std::int64_t width);
    std::int64_t heightFor(std::int64_t width) const;
    void keepInside();

    std::int64_t sourceWidth_ = 0, sourceHeight_ = 0;
    std::int64_t targetWidth_ = 0, targetHeight_ = 0;
    std::int64_t minWidth_ = 0, maxWidth_ = 0;
    PixelRect rect_;
};

// The pixels of `area` (cut to the picture) in a 3-byte picture of their own.
DibPicture cropPicture(const DibPicture& source, const PixelRect& area);
// The area scaled to width x height: shrinking averages the source pixels each item pixel
// covers, enlarging repeats them. Empty when the area and the picture do not meet.
DibPicture cropAndScale(const DibPicture& source, const PixelRect& area, std::uint32_t width,
                        std::uint32_t height);

// The whole picture scaled, keeping its shape, to the largest size inside width x height and
// centred there on the background colour (red, green, blue). An empty picture gives the
// background alone.
DibPicture fitPicture(const DibPicture& source, std::uint32_t width, std::uint32_t height,
                      std::array<std::uint8_t, 3> background = {0, 0, 0});

} // namespace orka
