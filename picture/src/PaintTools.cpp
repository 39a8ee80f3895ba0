#include "orka/picture/PaintTools.h"

#include "orka/picture/PictureError.h"

#include <algorithm>
#include <cstdlib>

namespace orka {

namespace {

void requireRgb(const DibPicture& picture)
{
    if (!picture.empty() && picture.bytesPerPixel() != 3)
        throw PictureError(PictureMessage::BadArguments, PictureSource::Dib);
}

void setPixel(DibPicture& picture, int x, int y, PaintColour colour)
{
    std::uint8_t* p = picture.row(std::uint32_t(y)) + std::size_t(x) * 3;
    p[0] = colour.blue;
    p[1] = colour.green;
    p[2] = colour.red;
}

// The pixels a round nib of `width` covers around a centre, as offsets per row: a row dy
// spans -reach[dy]..reach[dy] (or nothing when reach is negative). Even widths lean to the
// top left, as a nib centred between pixels would.
struct Nib {
    int low = 0;  // first row offset
    int high = 0; // last row offset
    std::vector<int> from, to;
};

Nib makeNib(int width)
{
    Nib nib;
    nib.low = -(width / 2);
    nib.high = (width - 1) / 2;
    // The circle of diameter `width` around the nib's centre, measured at pixel centres.
    const double centre = (nib.low + nib.high) / 2.0;
    const double radius = width / 2.0;
    for (int dy = nib.low; dy <= nib.high; ++dy) {
        int first = 1, last = 0;
        for (int dx = nib.low; dx <= nib.high; ++dx) {
            const double ex = dx - centre, ey = dy - centre;
            if (width <= 2 || ex * ex + ey * ey <= radius * radius) {
                if (first > last) {
                    first = dx;
                }
                last = dx;
            }
        }
        nib.from.push_back(first);
        nib.to.push_back(last);
    }
    return nib;
}

void stampNib(DibPicture& picture, const Nib& nib, int cx, int cy, PaintColour colour)
{
    const int w = int(picture.width()), h = int(picture.height());
    for (int dy = nib.low; dy <= nib.high; ++dy) {
        const int y = cy + dy;
        if (y < 0 || y >= h)
            continue;
        const int first = std::max(0, cx + nib.from[std::size_t(dy - nib.low)]);
        const int last = std::min(w - 1, cx + nib.to[std::size_t(dy - nib.low)]);
        for (int x = first; x <= last; ++x)
            setPixel(picture, x, y, colour);
    }
}

// Every point of the line from a to b (Bresenham), the nib stamped at each.
void stampLine(DibPicture& picture, const Nib& nib, PaintPoint a, PaintPoint b, PaintColour colour)
{
    // Far outside points are brought near the picture first so a wild coordinate cannot make
    // the walk long; the part that matters lies within the picture plus the nib.
    const long dxTotal = std::labs(long(b.x) - a.x), dyTotal = std::labs(long(b.y) - a.y);
    const long steps = std::max(dxTotal, dyTotal);
    const long limit = 4L * (long(picture.width()) + picture.height() + kMaxPenWidth);
    if (steps > limit) {
        // Split the walk: walk only the pieces that come near the picture.
        const PaintPoint middle{int((long(a.x) + b.x) / 2), int((long(a.y) + b.y) / 2)};
        const auto near = [&](PaintPoint p, PaintPoint q) {
            const long margin = kMaxPenWidth;
            return !(std::max(p.x, q.x) < -margin || std::min(p.x, q.x) > long(picture.width()) + margin ||
                     std::max(p.y, q.y) < -margin || std::min(p.y, q.y) > long(picture.height()) + margin);
        };
        if (near(a, middle))
            stampLine(picture, nib, a, middle, colour);
        if (near(middle, b))
            stampLine(picture, nib, middle, b, colour);
        return;
    }
    long x = a.x, y = a.y;
    const long sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
    long error = dxTotal - dyTotal;
    for (;;) {
        stampNib(picture, nib, int(x), int(y), colour);
        if (x == b.x && y == b.y)
            break;
        const long twice = 2 * error;
        if (twice > -dyTotal) {
            error -= dyTotal;
            x += sx;
        }
        if (twice < dxTotal) {
            error += dxTotal;
            y += sy;
        }
    }
}

} // namespace

void drawPenStroke(DibPicture& picture, std::span<const PaintPoint> points, int width, PaintColour colour)
{
    requireRgb(picture);
    if (picture.empty() || points.empty())
        return;
    const Nib nib = makeNib(std::clamp(width, kMinPenWidth, kMaxPenWidth));
    if (points.size() == 1) {
        stampNib(picture, nib, points[0].x, points[0].y, colour);
        return;
    }
    for (std::size_t i = 1; i < points.size(); ++i)
        stampLine(picture, nib, points[i - 1], points[i], colour);
}

void blendCoverage(DibPicture& picture, const CoverageMask& mask, int left, int top, PaintColour colour)
{
    requireRgb(picture);
    if (picture.empty() || mask.width <= 0 || mask.height <= 0 ||
        mask.coverage.size() < std::size_t(mask.width) * std::size_t(mask.height))
        return;
    const long w = long(picture.width()), h = long(picture.height());
    const long x0 = std::max(0L, long(left)), x1 = std::min(w, long(left) + mask.width);
    const long y0 = std::max(0L, long(top)), y1 = std::min(h, long(top) + mask.height);
    const auto mix = [](std::uint8_t under, std::uint8_t over, unsigned a) {
        return std::uint8_t((under * (255 - a) + over * a + 127) / 255);
    };
    for (long y = y0; y < y1; ++y) {
        std::uint8_t* p = picture.row(std::uint32_t(y)) + std::size_t(x0) * 3;
        for (long x = x0; x < x1; ++x, p += 3) {
            const unsigned a = mask.at(int(x - left), int(y - top));
            if (a == 0)
                continue;
            p[0] = mix(p[0], colour.blue, a);
            p[1] = mix(p[1], colour.green, a);
            p[2] = mix(p[2], colour.red, a);
        }
    }
}

void placeOverlay(DibPicture& picture, const DibPicture& overlay, int left, int top)
{
    requireRgb(picture);
    if (picture.empty() || overlay.empty())
        return;
    if (overlay.bytesPerPixel() != 3) {
        placeOverlay(picture, overlay.toRgb(), left, top);
        return;
    }
    const long w = long(picture.width()), h = long(picture.height());
    const long x0 = std::max(0L, long(left)), x1 = std::min(w, long(left) + long(overlay.width()));
    const long y0 = std::max(0L, long(top)), y1 = std::min(h, long(top) + long(overlay.height()));
    for (long y = y0; y < y1; ++y) {
        std::uint8_t* p = picture.row(std::uint32_t(y)) + std::size_t(x0) * 3;
        const std::uint8_t* s = overlay.row(std::uint32_t(y - top)) + std::size_t(x0 - left) * 3;
        for (long x = x0; x < x1; ++x, p += 3, s += 3) {
            const bool key = s[0] == kTransparentKey.blue && s[1] == kTransparentKey.green &&
                             s[2] == kTransparentKey.red;
            if (!key)
                std::copy_n(s, 3, p);
        }
    }
}

DibPicture resizedNearest(const DibPicture& source, int width, int height)
{
    if (source.empty() || width <= 0 || height <= 0)
        return DibPicture();
    const DibPicture rgb = source.bytesPerPixel() == 3 ? DibPicture() : source.toRgb();
    const DibPicture& from = source.bytesPerPixel() == 3 ? source : rgb;
    DibPicture out(width, height, 3);
    const std::uint64_t sw = from.width(), sh = from.height();
    for (int y = 0; y < height; ++y) {
        const auto sy = std::uint32_t(std::uint64_t(y) * sh / std::uint64_t(height));
        const std::uint8_t* s = from.row(sy);
        std::uint8_t* o = out.row(std::uint32_t(y));
        for (int x = 0; x < width; ++x) {
            const auto sx = std::size_t(std::uint64_t(x) * sw / std::uint64_t(width));
            std::copy_n(s + sx * 3, 3, o + std::size_t(x) * 3);
        }
    }
    return out;
}

void placeFrame(DibPicture& picture, const DibPicture& frame)
{
    if (picture.empty())
        return;
    placeOverlay(picture, resizedNearest(frame, int(picture.width()), int(picture.height())), 0, 0);
}

} // namespace orka
