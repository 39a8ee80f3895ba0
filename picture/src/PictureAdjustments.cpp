#include "orka/picture/PictureAdjustments.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace orka {

namespace {

std::uint8_t clampChannel(long value) { return std::uint8_t(std::clamp<long>(value, 0, 255)); }

// Runs `change(blue, green, red)` on every pixel, or on every palette entry of a 1-byte picture.
template <typename Change>
void forEachColour(DibPicture& picture, Change change)
{
    if (picture.empty())
        return;
    if (picture.bytesPerPixel() == 1) {
        for (PaletteEntry& e : picture.palette())
            change(e.blue, e.green, e.red);
        return;
    }
    for (std::uint32_t y = 0; y < picture.height(); ++y) {
        std::uint8_t* p = picture.row(y);
        for (std::uint32_t x = 0; x < picture.width(); ++x, p += 3)
            change(p[0], p[1], p[2]);
    }
}

// Builds the turned picture from `source` by asking, for each destination pixel, which
// source pixel lands there.
template <typename SourceOf>
DibPicture remap(const DibPicture& source, std::uint32_t width, std::uint32_t height, SourceOf sourceOf)
{
    DibPicture out(int(width), int(height), source.bytesPerPixel(), source.hasMask());
    if (source.hasPalette())
        out.palette() = source.palette();
    const unsigned bpp = source.bytesPerPixel();
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint8_t* o = out.row(y);
        for (std::uint32_t x = 0; x < width; ++x) {
            const auto [sx, sy] = sourceOf(x, y);
            const std::uint8_t* s = source.row(sy) + std::size_t(sx) * bpp;
            std::copy_n(s, bpp, o + std::size_t(x) * bpp);
            if (source.hasMask())
                out.maskRow(y)[x] = source.maskRow(sy)[sx];
        }
    }
    return out;
}

struct Point {
    std::uint32_t x, y;
};

} // namespace

int scrollPositionFor(double value)
{
    return int(std::round(value * 100.0)); // std::round rounds halves away from zero
}

int AdjustmentScrollBar::apply(int position, Action action, int thumbPosition) const
{
    switch (action) {
    case Action::LineDown: return std::min(maximum, position + line);
    case Action::LineUp: return std::max(minimum, position - line);
    case Action::PageDown: return position + page > maximum ? position : position + page;
    case Action::PageUp: return position - page < minimum ? position : position - page;
    case Action::Thumb: return std::clamp(thumbPosition, minimum, maximum);
    }
    return position;
}

void PictureAdjustments::setHslPositions(int hue, int saturationPosition, int lightnessPosition)
{
    hueShift = float(hue);
    saturation = float(1.0 + saturationPosition / 100.0);
    lightness = float(lightnessPosition / 100.0);
}

void PictureAdjustments::setContrastPositions(int contrastPosition, int brightnessPosition)
{
    contrast = float(contrastPosition / 100.0);
    gamma = float(1.0 + brightnessPosition / 100.0);
}

int PictureAdjustments::saturationPosition() const { return scrollPositionFor(saturation - 1.0); }
int PictureAdjustments::lightnessPosition() const { return scrollPositionFor(lightness); }
int PictureAdjustments::contrastPosition() const { return scrollPositionFor(contrast); }
int PictureAdjustments::brightnessPosition() const { return scrollPositionFor(gamma - 1.0); }

void rotateRight(DibPicture& picture, PictureAdjustments& adjustments)
{
    if (!picture.empty()) {
        const std::uint32_t oldHeight = picture.height();
        // (x, y) moves to (oldHeight - 1 - y, x): destination (X, Y) comes from (Y, oldHeight - 1 - X).
        picture = remap(picture, oldHeight, picture.width(),
                        [&](std::uint32_t x, std::uint32_t y) { return Point{y, oldHeight - 1 - x}; });
    }
    adjustments.rotation = (adjustments.rotation + 90) % 360;
}

void rotateLeft(DibPicture& picture, PictureAdjustments& adjustments)
{
    if (!picture.empty()) {
        const std::uint32_t oldWidth = picture.width();
        // (x, y) moves to (y, oldWidth - 1 - x): destination (X, Y) comes from (oldWidth - 1 - Y, X).
        picture = remap(picture, picture.height(), oldWidth,
                        [&](std::uint32_t x, std::uint32_t y) { return Point{oldWidth - 1 - y, x}; });
    }
    adjustments.rotation = ((adjustments.rotation - 90) % 360 + 360) % 360;
}

void flipVertical(DibPicture& picture)
{
    if (picture.empty())
        return;
    const std::uint32_t h = picture.height();
    picture = remap(picture, picture.width(), h, [&](std::uint32_t x, std::uint32_t y) { return Point{x, h - 1 - y}; });
}

void flipHorizontal(DibPicture& picture)
{
    if (picture.empty())
        return;
    const std::uint32_t w = picture.width();
    picture = remap(picture, w, picture.height(), [&](std::uint32_t x, std::uint32_t y) { return Point{w - 1 - x, y}; });
}

void applyRgbOffsets(DibPicture& picture, int red, int green, int blue)
{
    forEachColour(picture, [&](std::uint8_t& b, std::uint8_t& g, std::uint8_t& r) {
        b = clampChannel(long(b) + blue);
        g = clampChannel(long(g) + green);
        r = clampChannel(long(r) + red);
    });
}

void applyContrast(DibPicture& picture, float gamma, float contrast)
{
    // The gamma curve once per call; every channel then goes through the table.
    std::array<float, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[std::size_t(i)] = float(std::pow(i * 0.003921569, 1.0 / gamma) * 255.0);
    std::array<std::uint8_t, 256> result{};
    for (int c = 0; c < 256; ++c) {
        // Gamma 0 makes 1/gamma infinite; pow then gives 0 or 1, never a fault, but keep
        // NaN away from the integer conversion all the same.
        const float t = std::isfinite(table[std::size_t(c)]) ? table[std::size_t(c)] : 0.0f;
        double v = double(long(t)) - 128.0;
        v = double(long(v * (double(contrast) + 1.0) + 128.0));
        result[std::size_t(c)] = clampChannel(long(v));
    }
    forEachColour(picture, [&](std::uint8_t& b, std::uint8_t& g, std::uint8_t& r) {
        b = result[b];
        g = result[g];
        r = result[r];
    });
}

namespace {

// Truncation toward zero; the values here are far inside the range of a 64-bit integer,
// and the conversion instruction is much cheaper than a library call.
inline double truncated(double v) { return double(static_cast<long long>(v)); }

// The colour model works on the 0 to 255 scale with the hue 120 degrees ahead of the usual
// convention; hslValue() below is matched to it.
inline double hslValue(double m1, double m2, double x)
{
    if (x > 360.0)
        x -= 360.0;
    else if (x < 0.0)
        x += 360.0;
    if (x < 60.0)
        return m1 + (m2 - m1) * x / 60.0;
    if (x < 180.0)
        return m2;
    if (x < 240.0)
        return m1 + (m2 - m1) * (240.0 - x) / 60.0;
    return m1;
}

inline std::uint8_t toChannel(double v) { return v <= 0.0 ? 0 : v >= 255.0 ? 255 : std::uint8_t(v); }

inline void hslPixel(std::uint8_t& blue, std::uint8_t& green, std::uint8_t& red, double lift, double hueShift,
                     double saturation)
{
    const double b = truncated(blue - 128.0 + lift);
    const double g = truncated(green - 128.0 + lift);
    const double r = truncated(red - 128.0 + lift);
    const double max = std::max(r, std::max(g, b));
    const double min = std::min(r, std::min(g, b));
    const double l = (max + min) * 0.5;
    if (max == min || saturation == 0.0) {
        // Saturation 0 either way: every channel is the lightness.
        red = green = blue = toChannel(truncated(l));
        return;
    }
    const double d = max - min;
    const double denominator = l <= 0.5 ? (max + min) : (2.0 - max - min);
    // Of rc, gc and bc each case needs two.
    double h;
    if (r == max)
        h = (max - b) / d + 2.0 - (max - g) / d;
    else if (g == max)
        h = 4.0 + (max - r) / d - (max - b) / d;
    else
        h = 6.0 + (max - g) / d - (max - r) / d;
    h *= 60.0;
    if (h < 0.0)
        h += 360.0;
    h += hueShift;
    if (h >= 360.0)
        h -= 360.0;
    if (h < 0.0)
        h += 360.0;
    double m2;
    if (denominator == 0.0) {
        m2 = l + saturation * d / 2.0; // the same value without the division by 0
    } else {
        const double s = d / denominator * saturation;
        m2 = l <= 0.5 ? l * (1.0 + s) : l + s - l * s;
    }
    const double m1 = 2.0 * l - m2;
    red = toChannel(truncated(hslValue(m1, m2, h)));
    green = toChannel(truncated(hslValue(m1, m2, h - 120.0)));
    blue = toChannel(truncated(hslValue(m1, m2, h - 240.0)));
}

} // namespace

void applyHsl(DibPicture& picture, float hueShift, float saturation, float lightness)
{
    const double lift = (double(lightness) + 1.0) * 128.0;
    forEachColour(picture, [&](std::uint8_t& b, std::uint8_t& g, std::uint8_t& r) {
        hslPixel(b, g, r, lift, hueShift, saturation);
    });
}

DibPicture applyAdjustments(const DibPicture& unadjusted, const PictureAdjustments& a)
{
    DibPicture picture = unadjusted;
    if (picture.empty())
        return picture;
    if (a.rgbChanged())
        applyRgbOffsets(picture, a.redOffset, a.greenOffset, a.blueOffset);
    if (a.hslChanged())
        applyHsl(picture, a.hueShift, a.saturation, a.lightness);
    if (a.contrastChanged())
        applyContrast(picture, a.gamma, a.contrast);
    return picture;
}

} // namespace orka
