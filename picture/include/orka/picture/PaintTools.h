#pragma once
// The picture editor's paint tools on 3-byte pictures: pen strokes with a round nib, text
// given as a coverage mask (the window layer rasterises the font), and frames and stamps
// whose magenta pixels (0xFF00FF) are transparent.
#include "orka/picture/DibPicture.h"

#include <cstdint>
#include <span>
#include <vector>

namespace orka {

struct PaintColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const PaintColour&, const PaintColour&) = default;
};

// Frames and stamps are drawn with this colour where they have no pixel of their own.
inline constexpr PaintColour kTransparentKey{0xFF, 0x00, 0xFF};

struct PaintPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const PaintPoint&, const PaintPoint&) = default;
};

inline constexpr int kMinPenWidth = 1;
inline constexpr int kMaxPenWidth = 32;

// Paints the polyline through `points` with a round nib `width` pixels across (clamped to
// kMinPenWidth..kMaxPenWidth); a single point paints one dot. Parts outside the picture are
// clipped. Painting is opaque, so drawing a stroke piece by piece gives the same pixels as
// drawing it whole.
void drawPenStroke(DibPicture& picture, std::span<const PaintPoint> points, int width, PaintColour colour);

// How much of each pixel a shape covers, 0 (none) to 255 (all), rows top to bottom.
struct CoverageMask {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> coverage; // width * height
    std::uint8_t at(int x, int y) const { return coverage[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

// Blends `colour` into the picture through the mask placed with its top-left corner at
// (left, top); the parts outside the picture are clipped.
void blendCoverage(DibPicture& picture, const CoverageMask& mask, int left, int top, PaintColour colour);

// Copies the overlay's pixels with its top-left corner at (left, top), leaving the picture
// as it is under the overlay's magenta pixels and outside the picture. A palette overlay is
// expanded through its palette first.
void placeOverlay(DibPicture& picture, const DibPicture& overlay, int left, int top);

// A 3-byte copy resized to width x height by nearest neighbour (a frame drawn for one size
// laid over a picture of another). Either size 0 gives an empty picture.
DibPicture resizedNearest(const DibPicture& source, int width, int height);

// Lays the frame, resized to the picture, over the whole picture.
void placeFrame(DibPicture& picture, const DibPicture& frame);

} // namespace orka
