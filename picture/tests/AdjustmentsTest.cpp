#include "TestPictures.h"
#include "orka/picture/PictureAdjustments.h"
#include "orka/picture/PictureZoom.h"

#include <gtest/gtest.h>

using namespace orka;
using test::rgbAt;

namespace {
DibPicture onePixel(int r, int g, int b)
{
    DibPicture p(1, 1, 3);
    test::setRgb(p, 0, 0, r, g, b);
    return p;
}
} // namespace

TEST(Turns, RotateRightMovesColumnsToRows)
{
    DibPicture p = test::makePattern(); // 7 x 5
    PictureAdjustments a;
    const DibPicture before = p;
    rotateRight(p, a);
    ASSERT_EQ(p.width(), 5u);
    ASSERT_EQ(p.height(), 7u);
    EXPECT_EQ(a.rotation, 90);
    // (x, y) -> (oldHeight - 1 - y, x)
    for (std::uint32_t y = 0; y < 5; ++y)
        for (std::uint32_t x = 0; x < 7; ++x)
            EXPECT_EQ(rgbAt(p, 4 - y, x), rgbAt(before, x, y));
}

TEST(Turns, RotateLeftAndItsRotationField)
{
    DibPicture p = test::makePattern();
    PictureAdjustments a;
    const DibPicture before = p;
    rotateLeft(p, a);
    EXPECT_EQ(a.rotation, 270);
    for (std::uint32_t y = 0; y < 5; ++y)
        for (std::uint32_t x = 0; x < 7; ++x)
            EXPECT_EQ(rgbAt(p, y, 6 - x), rgbAt(before, x, y));
    rotateRight(p, a);
    EXPECT_EQ(a.rotation, 0);
    EXPECT_TRUE(test::samePixels(p, before));
}

TEST(Turns, FourRightTurnsGiveBackThePicture)
{
    DibPicture p = test::makeNoise(13, 6, 1);
    const DibPicture before = p;
    PictureAdjustments a;
    for (int i = 0; i < 4; ++i)
        rotateRight(p, a);
    EXPECT_EQ(a.rotation, 0);
    EXPECT_TRUE(test::samePixels(p, before));
}

TEST(Turns, FlipsMirrorRowsAndColumnsWithTheMask)
{
    DibPicture p = test::makePattern();
    p.create(3, 2, 1, true);
    p.row(0)[0] = 1;
    p.maskRow(0)[0] = 9;
    DibPicture v = p;
    flipVertical(v);
    EXPECT_EQ(v.row(1)[0], 1);
    EXPECT_EQ(v.maskRow(1)[0], 9);
    DibPicture h = p;
    flipHorizontal(h);
    EXPECT_EQ(h.row(0)[2], 1);
    EXPECT_EQ(h.maskRow(0)[2], 9);
    EXPECT_TRUE(h.hasPalette());
    DibPicture empty;
    PictureAdjustments a;
    rotateRight(empty, a);
    flipHorizontal(empty);
    EXPECT_TRUE(empty.empty());
}

TEST(RgbAdjustment, OffsetsClampEachChannel)
{
    DibPicture p = onePixel(10, 77, 200);
    applyRgbOffsets(p, 255, 0, -255);
    EXPECT_EQ(rgbAt(p, 0, 0), (std::array<int, 3>{255, 77, 0}));
}

TEST(ContrastAdjustment, IdentityAndFullNegativeContrast)
{
    DibPicture p = test::makeNoise(16, 16, 2);
    DibPicture same = p;
    applyContrast(same, 1.0f, 0.0f);
    EXPECT_TRUE(test::samePixels(same, p));

    DibPicture flat = p;
    applyContrast(flat, 1.0f, -1.0f);
    for (std::uint32_t y = 0; y < 16; ++y)
        for (std::uint32_t x = 0; x < 16; ++x)
            EXPECT_EQ(rgbAt(flat, x, y), (std::array<int, 3>{128, 128, 128}));
}

TEST(ContrastAdjustment, GammaCurveAndDoubleContrast)
{
    // gamma 2: T[64] = (64 * 0.003921569)^0.5 * 255 = 128.0 -> 128; contrast 1: (128-128)*2+128 = 128
    DibPicture p = onePixel(64, 0, 255);
    applyContrast(p, 2.0f, 0.0f);
    EXPECT_EQ(rgbAt(p, 0, 0), (std::array<int, 3>{127, 0, 255}));
    DibPicture q = onePixel(100, 200, 128);
    applyContrast(q, 1.0f, 1.0f);
    EXPECT_EQ(rgbAt(q, 0, 0), (std::array<int, 3>{72, 255, 128}));
    DibPicture dark = onePixel(100, 200, 255);
    applyContrast(dark, 0.0f, 0.0f); // gamma 0: every channel below 255 goes to 0
    EXPECT_EQ(rgbAt(dark, 0, 0)[0], 0);
}

TEST(HslAdjustment, IdentityGivesBackEveryPixel)
{
    DibPicture p = test::makeNoise(32, 32, 3);
    DibPicture q = p;
    applyHsl(q, 0.0f, 1.0f, 0.0f);
    int worst = 0;
    for (std::uint32_t y = 0; y < 32; ++y)
        for (std::uint32_t x = 0; x < 32; ++x)
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(rgbAt(p, x, y)[c] - rgbAt(q, x, y)[c]));
    EXPECT_LE(worst, 1) << "only truncation may differ";
}

TEST(HslAdjustment, LightnessTwoTurnsEverythingWhite)
{
    DibPicture p = test::makeNoise(8, 8, 4);
    applyHsl(p, 0.0f, 1.0f, 2.0f);
    for (std::uint32_t y = 0; y < 8; ++y)
        for (std::uint32_t x = 0; x < 8; ++x)
            EXPECT_EQ(rgbAt(p, x, y), (std::array<int, 3>{255, 255, 255}));
    DibPicture q = test::makeNoise(8, 8, 5);
    applyHsl(q, 0.0f, 1.0f, -2.0f);
    EXPECT_EQ(rgbAt(q, 3, 3), (std::array<int, 3>{0, 0, 0}));
}

TEST(HslAdjustment, HueTurnsRedTowardsTheNextPrimaries)
{
    DibPicture p = onePixel(200, 0, 0);
    applyHsl(p, 120.0f, 1.0f, 0.0f);
    EXPECT_EQ(rgbAt(p, 0, 0), (std::array<int, 3>{0, 200, 0}));
    DibPicture q = onePixel(200, 0, 0);
    applyHsl(q, -120.0f, 1.0f, 0.0f);
    EXPECT_EQ(rgbAt(q, 0, 0), (std::array<int, 3>{0, 0, 200}));
    DibPicture grey = onePixel(200, 100, 50);
    applyHsl(grey, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(rgbAt(grey, 0, 0), (std::array<int, 3>{125, 125, 125})) << "saturation 0 gives truncate(l)";
}

TEST(HslAdjustment, ZeroDenominatorUsesTheDirectForm)
{
    // Lightness -1 shifts (150, 106, 128) to (22, -22, 0): max + min = 0 with max != min.
    DibPicture p = onePixel(150, 106, 128);
    applyHsl(p, 0.0f, 1.0f, -1.0f);
    const auto c = rgbAt(p, 0, 0);
    EXPECT_EQ(c[0], 22);
    EXPECT_EQ(c[1], 0);
    EXPECT_EQ(c[2], 0);
}

TEST(Adjustments, AppliedToAFreshCopyInOrderOnlyForChangedGroups)
{
    const DibPicture original = onePixel(100, 100, 100);
    PictureAdjustments a;
    EXPECT_FALSE(a.rgbChanged() || a.hslChanged() || a.contrastChanged());
    DibPicture same = applyAdjustments(original, a);
    EXPECT_TRUE(test::samePixels(same, original));

    a.redOffset = 200;              // RGB first: red 255
    a.setContrastPositions(-100, 0); // then contrast -1: everything 128
    const DibPicture out = applyAdjustments(original, a);
    EXPECT_EQ(rgbAt(out, 0, 0), (std::array<int, 3>{128, 128, 128}));
    EXPECT_EQ(rgbAt(original, 0, 0), (std::array<int, 3>{100, 100, 100})) << "the unadjusted pixels stay";

    // RGB before HSL: the offset colour is what loses its saturation.
    PictureAdjustments b;
    b.redOffset = 100;
    b.setHslPositions(0, -100, 0);
    EXPECT_EQ(rgbAt(applyAdjustments(original, b), 0, 0), (std::array<int, 3>{150, 150, 150}));
}

TEST(Adjustments, DialogPositionsMapToValuesAndBack)
{
    PictureAdjustments a;
    a.setHslPositions(-180, -100, 200);
    EXPECT_FLOAT_EQ(a.hueShift, -180.0f);
    EXPECT_FLOAT_EQ(a.saturation, 0.0f);
    EXPECT_FLOAT_EQ(a.lightness, 2.0f);
    a.setContrastPositions(35, -15);
    EXPECT_FLOAT_EQ(a.contrast, 0.35f);
    EXPECT_FLOAT_EQ(a.gamma, 0.85f);
    EXPECT_EQ(a.contrastPosition(), 35);
    EXPECT_EQ(a.brightnessPosition(), -15);
    EXPECT_EQ(a.saturationPosition(), -100);
    EXPECT_EQ(scrollPositionFor(0.125), 13);
    EXPECT_EQ(scrollPositionFor(-0.125), -13);
}

TEST(Adjustments, ScrollBarStepsOfTheContrastDialog)
{
    using Action = AdjustmentScrollBar::Action;
    const AdjustmentScrollBar bar;
    EXPECT_EQ(bar.apply(0, Action::LineDown), 1);
    EXPECT_EQ(bar.apply(100, Action::LineDown), 100);
    EXPECT_EQ(bar.apply(0, Action::PageUp), -5);
    EXPECT_EQ(bar.apply(97, Action::PageDown), 97) << "a page that would pass the end is not taken";
    EXPECT_EQ(bar.apply(95, Action::PageDown), 100);
    EXPECT_EQ(bar.apply(-96, Action::PageUp), -96);
    EXPECT_EQ(bar.apply(0, Action::Thumb, 130), 100);
}

TEST(Adjustments, PalettePicturesAdjustTheirPalette)
{
    DibPicture p(2, 1, 1);
    p.palette()[1] = PaletteEntry{10, 20, 30, 0};
    p.row(0)[0] = 1;
    PictureAdjustments a;
    a.blueOffset = 100;
    const DibPicture out = applyAdjustments(p, a);
    EXPECT_EQ(out.palette()[1], (PaletteEntry{10, 20, 130, 0}));
    EXPECT_EQ(out.row(0)[0], 1);
}

TEST(Zoom, LadderSteps)
{
    EXPECT_DOUBLE_EQ(zoomIn(1.1).factor, 1.25);
    EXPECT_DOUBLE_EQ(zoomOut(1.1).factor, 1.0);
    const ZoomState bottom = zoomOut(0.05);
    EXPECT_DOUBLE_EQ(bottom.factor, 0.05);
    EXPECT_FALSE(bottom.zoomOutEnabled);
    EXPECT_TRUE(bottom.zoomInEnabled);
    EXPECT_DOUBLE_EQ(zoomIn(0.01).factor, 0.05);
    EXPECT_DOUBLE_EQ(zoomIn(1.0).factor, 1.25);
    const ZoomState top = zoomIn(3.0);
    EXPECT_DOUBLE_EQ(top.factor, 5.0);
    EXPECT_FALSE(top.zoomInEnabled);
    EXPECT_DOUBLE_EQ(zoomIn(7.0).factor, 7.0);
    EXPECT_FALSE(zoomIn(7.0).zoomInEnabled);
    EXPECT_DOUBLE_EQ(zoomOut(7.0).factor, 3.0);
    EXPECT_DOUBLE_EQ(zoomOut(5.0).factor, 3.0);
    EXPECT_DOUBLE_EQ(zoomOut(0.1).factor, 0.07);
    EXPECT_TRUE(zoomOut(0.1).zoomOutEnabled);
    EXPECT_DOUBLE_EQ(zoomOut(0.07).factor, 0.05);
    EXPECT_FALSE(zoomOut(0.07).zoomOutEnabled);
    double f = 0.05;
    int steps = 0;
    while (zoomIn(f).zoomInEnabled) {
        f = zoomIn(f).factor;
        ++steps;
    }
    EXPECT_EQ(steps, 12);
}

TEST(Zoom, FitToFrameKeepsTheAspectWithIntegers)
{
    FitResult fit = fitToFrame(128, 160, 100, 100);
    EXPECT_EQ(fit.height, 100);
    EXPECT_EQ(fit.width, 80);
    EXPECT_EQ(fit.left, 10);
    EXPECT_EQ(fit.top, 0);
    EXPECT_DOUBLE_EQ(fit.factor, 80.0 / 128.0);
    fit = fitToFrame(45, 55, 300, 200);
    EXPECT_EQ(fit.width, 45);
    EXPECT_EQ(fit.height, 55) << "a frame that fits stays as it is";
    EXPECT_EQ(fit.left, 127);
    EXPECT_DOUBLE_EQ(fit.factor, 1.0);
    fit = fitToFrame(300, 7, 100, 100);
    EXPECT_EQ(fit.width, 100);
    EXPECT_EQ(fit.height, 2); // 7 * 100 / 300 truncated
    EXPECT_TRUE(zoomedPictureExceedsView(128, 160, 1.0, 100, 200));
    EXPECT_FALSE(zoomedPictureExceedsView(128, 160, 0.5, 100, 200));
}
