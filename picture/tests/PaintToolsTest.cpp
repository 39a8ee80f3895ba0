// The paint tools on pixels: nib shapes and clipping, text coverage blending, the magenta key
// of frames and stamps.
#include "TestPictures.h"
#include "orka/picture/PaintTools.h"

#include <gtest/gtest.h>

#include <climits>

using namespace orka;
using test::rgbAt;

namespace {
constexpr PaintColour kRed{255, 0, 0};
const std::array<int, 3> kRedRgb{255, 0, 0};
const std::array<int, 3> kBlack{0, 0, 0};

int paintedCount(const DibPicture& p)
{
    int n = 0;
    for (std::uint32_t y = 0; y < p.height(); ++y)
        for (std::uint32_t x = 0; x < p.width(); ++x)
            n += rgbAt(p, x, y) != kBlack;
    return n;
}
} // namespace

TEST(PenStroke, NibSizesAndDots)
{
    DibPicture p(20, 20, 3);
    const PaintPoint centre[] = {{10, 10}};
    drawPenStroke(p, centre, 1, kRed);
    EXPECT_EQ(paintedCount(p), 1);
    EXPECT_EQ(rgbAt(p, 10, 10), kRedRgb);

    DibPicture wide(20, 20, 3);
    drawPenStroke(wide, centre, 5, kRed);
    // A round nib: the centre row is 5 across, the corners of the 5 x 5 square stay clear.
    EXPECT_EQ(rgbAt(wide, 8, 10), kRedRgb);
    EXPECT_EQ(rgbAt(wide, 12, 10), kRedRgb);
    EXPECT_EQ(rgbAt(wide, 8, 8), kBlack);
    EXPECT_EQ(rgbAt(wide, 13, 10), kBlack);

    // Widths beyond the range are held to it.
    DibPicture zero(20, 20, 3), huge(200, 200, 3), widest(200, 200, 3);
    drawPenStroke(zero, centre, 0, kRed);
    EXPECT_EQ(paintedCount(zero), 1);
    const PaintPoint middle[] = {{100, 100}};
    drawPenStroke(huge, middle, 1000, kRed);
    drawPenStroke(widest, middle, kMaxPenWidth, kRed);
    EXPECT_TRUE(test::samePixels(huge, widest));
}

TEST(PenStroke, LinesJoinAndPiecesEqualTheWhole)
{
    DibPicture whole(30, 30, 3), pieces(30, 30, 3);
    const PaintPoint stroke[] = {{2, 3}, {25, 17}, {4, 28}};
    drawPenStroke(whole, stroke, 3, kRed);
    drawPenStroke(pieces, std::span(stroke, 2), 3, kRed);
    drawPenStroke(pieces, std::span(stroke + 1, 2), 3, kRed);
    EXPECT_TRUE(test::samePixels(whole, pieces));
    // A one-pixel line from (0,0) to (9,0) paints exactly 10 pixels, with no gaps.
    DibPicture line(10, 2, 3);
    const PaintPoint ends[] = {{0, 0}, {9, 0}};
    drawPenStroke(line, ends, 1, kRed);
    EXPECT_EQ(paintedCount(line), 10);
}

TEST(PenStroke, ClipsFarOutsideAndLeavesEmptyPictures)
{
    DibPicture p(10, 10, 3);
    // A line from far away through the picture paints its visible part without a long walk.
    const PaintPoint wild[] = {{INT_MIN / 2, 5}, {INT_MAX / 2, 5}};
    drawPenStroke(p, wild, 1, kRed);
    EXPECT_EQ(paintedCount(p), 10);
    const PaintPoint outside[] = {{-50, -50}, {-20, -40}};
    DibPicture q(10, 10, 3);
    drawPenStroke(q, outside, 5, kRed);
    EXPECT_EQ(paintedCount(q), 0);
    DibPicture empty;
    drawPenStroke(empty, outside, 5, kRed); // nothing to do, no failure
    DibPicture palette(4, 4, 1);
    EXPECT_EQ(test::errorOf([&] { drawPenStroke(palette, outside, 1, kRed); }), "參數錯誤.");
}

TEST(TextCoverage, BlendsByCoverageAndClips)
{
    DibPicture p(4, 4, 3);
    CoverageMask mask{3, 3, {255, 128, 0, 0, 0, 0, 0, 0, 255}};
    blendCoverage(p, mask, 2, 2, PaintColour{255, 255, 255});
    EXPECT_EQ(rgbAt(p, 2, 2), (std::array<int, 3>{255, 255, 255}));
    EXPECT_EQ(rgbAt(p, 3, 2), (std::array<int, 3>{128, 128, 128}));
    EXPECT_EQ(paintedCount(p), 2); // (4, 4) falls outside
    // A mask shorter than its declared size is ignored rather than read past its end.
    CoverageMask shortMask{3, 3, {255}};
    DibPicture q(4, 4, 3);
    blendCoverage(q, shortMask, 0, 0, kRed);
    EXPECT_EQ(paintedCount(q), 0);
}

TEST(Overlays, MagentaStaysTransparent)
{
    DibPicture under = test::makeNoise(6, 6, 7);
    DibPicture stamp(3, 2, 3);
    test::setRgb(stamp, 0, 0, 255, 0, 255);
    test::setRgb(stamp, 1, 0, 0, 200, 0);
    test::setRgb(stamp, 2, 0, 254, 0, 255); // near magenta is a real colour
    test::setRgb(stamp, 0, 1, 255, 0, 255);
    test::setRgb(stamp, 1, 1, 255, 0, 255);
    test::setRgb(stamp, 2, 1, 1, 2, 3);
    DibPicture p = under;
    placeOverlay(p, stamp, 4, -1); // clipped at the right and the top
    EXPECT_EQ(rgbAt(p, 4, 0), rgbAt(under, 4, 0));
    EXPECT_EQ(rgbAt(p, 5, 0), rgbAt(under, 5, 0));
    EXPECT_EQ(rgbAt(p, 5, 0), rgbAt(under, 5, 0));
    placeOverlay(p, stamp, 0, 0);
    EXPECT_EQ(rgbAt(p, 0, 0), rgbAt(under, 0, 0));
    EXPECT_EQ(rgbAt(p, 1, 0), (std::array<int, 3>{0, 200, 0}));
    EXPECT_EQ(rgbAt(p, 2, 0), (std::array<int, 3>{254, 0, 255}));
    EXPECT_EQ(rgbAt(p, 2, 1), (std::array<int, 3>{1, 2, 3}));
    placeOverlay(p, stamp, 100, 100); // entirely outside: nothing
}

TEST(Overlays, FramesStretchToThePicture)
{
    // A 2 x 2 frame: magenta centre column stays open after stretching to 6 x 4.
    DibPicture frame(2, 2, 3);
    test::setRgb(frame, 0, 0, 0, 0, 255);
    test::setRgb(frame, 1, 0, 255, 0, 255);
    test::setRgb(frame, 0, 1, 255, 0, 255);
    test::setRgb(frame, 1, 1, 0, 255, 0);
    DibPicture p(6, 4, 3);
    placeFrame(p, frame);
    EXPECT_EQ(rgbAt(p, 2, 1), (std::array<int, 3>{0, 0, 255}));
    EXPECT_EQ(rgbAt(p, 3, 1), kBlack);
    EXPECT_EQ(rgbAt(p, 2, 2), kBlack);
    EXPECT_EQ(rgbAt(p, 5, 3), (std::array<int, 3>{0, 255, 0}));
    EXPECT_TRUE(resizedNearest(frame, 0, 5).empty());
}
