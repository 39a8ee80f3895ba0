#pragma once
// The picture editor's operations: turns and mirrors that change the stored pixels at
// once, and the colour adjustments kept as settings and applied to a fresh copy whenever
// the picture is drawn.
#include "orka/picture/DibPicture.h"

#include <cstdint>

namespace orka {

struct PictureAdjustments {
    std::int32_t redOffset = 0;     // -255 to 255
    std::int32_t greenOffset = 0;
    std::int32_t blueOffset = 0;
    float gamma = 1.0f;             // brightness, 0.0 to 2.0
    float contrast = 0.0f;          // -1.0 to 1.0
    float hueShift = 0.0f;          // degrees, -180 to 180
    float saturation = 1.0f;        // factor, 0.0 to 2.0
    float lightness = 0.0f;         // -2.0 to 2.0
    std::int32_t rotation = 0;      // 0, 90, 180, 270

    bool rgbChanged() const { return redOffset != 0 || greenOffset != 0 || blueOffset != 0; }
    bool hslChanged() const { return hueShift != 0.0f || saturation != 1.0f || lightness != 0.0f; }
    bool contrastChanged() const { return gamma != 1.0f || contrast != 0.0f; }

    // The dialogs' scroll-bar positions and the values they stand for.
    void setHslPositions(int hue, int saturationPosition, int lightnessPosition);
    void setContrastPositions(int contrastPosition, int brightnessPosition);
    int saturationPosition() const;
    int lightnessPosition() const;
    int contrastPosition() const;
    int brightnessPosition() const;
};

// round-half-away-from-zero(value x 100): what a scroll bar shows for a stored factor.
int scrollPositionFor(double value);

// The adjustment dialogs' scroll bars: arrows move by 1, a page by 5; a page step that
// would pass either end is not taken, an arrow stops at the end; the thumb goes where it
// is dragged, within the range.
struct AdjustmentScrollBar {
    enum class Action { LineDown, LineUp, PageDown, PageUp, Thumb };
    int minimum = -100;
    int maximum = 100;
    int line = 1;
    int page = 5;
    int apply(int position, Action action, int thumbPosition = 0) const;
};

// Turns and mirrors, on 1- or 3-byte pictures (the mask turns with them).
void rotateRight(DibPicture& picture, PictureAdjustments& adjustments);
void rotateLeft(DibPicture& picture, PictureAdjustments& adjustments);
void flipVertical(DibPicture& picture);
void flipHorizontal(DibPicture& picture);

// Each adjustment in place on a 3-byte picture, or on the palette of a 1-byte one.
void applyRgbOffsets(DibPicture& picture, int red, int green, int blue);
void applyContrast(DibPicture& picture, float gamma, float contrast);
void applyHsl(DibPicture& picture, float hueShift, float saturation, float lightness);

// A fresh copy of the unadjusted picture with, in this order and only where the group
// counts as changed, the RGB, HSL and contrast adjustments applied.
DibPicture applyAdjustments(const DibPicture& unadjusted, const PictureAdjustments& adjustments);

} // namespace orka
