// The capture frame: its shape per item size, zoom and move limits, and the crop and scale
// that takes the picture.
#include "TestPictures.h"
#include "orka/picture/CaptureFrame.h"

#include <gtest/gtest.h>

using namespace orka;

namespace {

// Pixel (x, y) is (x, y, x + y) as red, green, blue.
DibPicture ramp(int width, int height)
{
    DibPicture p(width, height, 3);
    for (std::uint32_t y = 0; y < p.height(); ++y)
        for (std::uint32_t x = 0; x < p.width(); ++x) {
            p.row(y)[3 * x + 2] = std::uint8_t(x);
            p.row(y)[3 * x + 1] = std::uint8_t(y);
            p.row(y)[3 * x] = std::uint8_t(x + y);
        }
    return p;
}

std::array<int, 3> rgbAt(const DibPicture& p, std::uint32_t x, std::uint32_t y)
{
    const std::uint8_t* px = p.row(y) + 3 * x;
    return {px[2], px[1], px[0]};
}

} // namespace

TEST(CaptureFrame, StartsAsTheLargestFrameOfTheTargetShapeCentred)
{
    // Wallpaper 128 x 124 on a wide 640 x 200 source: limited by the height.
    EXPECT_EQ(CaptureFrame(640, 200, 128, 124).rect(), (PixelRect{217, 0, 206, 200}));
    // Caller photo 45 x 55 on the same source: still the height.
    EXPECT_EQ(CaptureFrame(640, 200, 45, 55).rect(), (PixelRect{238, 0, 163, 199}));
    // Animation 128 x 160 on a tall 100 x 400 source: limited by the width.
    EXPECT_EQ(CaptureFrame(100, 400, 128, 160).rect(), (PixelRect{0, 137, 100, 125}));
    // A source of exactly the item size is taken whole.
    EXPECT_EQ(CaptureFrame(128, 84, 128, 84).rect(), (PixelRect{0, 0, 128, 84}));
    // A 1 x 1 source still has a frame.
    EXPECT_EQ(CaptureFrame(1, 1, 128, 84).rect(), (PixelRect{0, 0, 1, 1}));
}

TEST(CaptureFrame, EmptySourceOrTargetIgnoresEveryChange)
{
    for (CaptureFrame f : {CaptureFrame(0, 10, 128, 84), CaptureFrame(10, 10, 0, 84), CaptureFrame()}) {
        f.zoomIn();
        f.zoomOut();
        f.moveBy(5, 5);
        f.fit();
        EXPECT_TRUE(f.empty());
        EXPECT_FALSE(f.canZoomIn());
        EXPECT_FALSE(f.canZoomOut());
    }
}

TEST(CaptureFrame, ZoomKeepsTheCentreAndStopsAtBothLimits)
{
    CaptureFrame f(1000, 1000, 128, 84);
    EXPECT_FALSE(f.canZoomOut());
    const PixelRect full = f.rect();
    f.zoomIn();
    EXPECT_EQ(f.rect().width, 800);
    EXPECT_EQ(f.rect().height, 525);
    EXPECT_NEAR(double(f.rect().left) + f.rect().width / 2.0, full.left + full.width / 2.0, 0.5);
    EXPECT_NEAR(double(f.rect().top) + f.rect().height / 2.0, full.top + full.height / 2.0, 0.5);
    int steps = 0;
    while (f.canZoomIn() && steps < 100) {
        f.zoomIn();
        ++steps;
    }
    // At most four item pixels per source pixel: 128 / 4.
    EXPECT_EQ(f.rect().width, 32);
    EXPECT_EQ(f.rect().width, f.smallestWidth());
    f.zoomIn();
    EXPECT_EQ(f.rect().width, 32);
    while (f.canZoomOut())
        f.zoomOut();
    EXPECT_EQ(f.rect().width, full.width);
    EXPECT_EQ(f.rect().height, full.height);
    EXPECT_LE(f.rect().bottom(), 1000);
}

TEST(CaptureFrame, ZoomNearTheEdgeStaysInsideAndSmallFramesStillChange)
{
    CaptureFrame f(300, 300, 45, 55);
    f.zoomIn();
    f.zoomIn();
    f.moveTo(0, 0);
    f.zoomOut();
    EXPECT_EQ(f.rect().left, 0);
    EXPECT_EQ(f.rect().top, 0);
    f.moveTo(10000, 10000);
    EXPECT_EQ(f.rect().right(), 300);
    EXPECT_EQ(f.rect().bottom(), 300);
    f.zoomOut();
    EXPECT_LE(f.rect().right(), 300);
    EXPECT_LE(f.rect().bottom(), 300);

    // A small source: every step moves by at least a pixel until the limit.
    CaptureFrame small(5, 5, 4, 4);
    EXPECT_EQ(small.rect().width, 5);
    small.zoomIn();
    EXPECT_EQ(small.rect().width, 4);
    small.zoomIn();
    EXPECT_EQ(small.rect().width, 3);
    small.zoomOut();
    EXPECT_EQ(small.rect().width, 4);
}

TEST(CaptureFrame, MovesAreClampedToThePicture)
{
    CaptureFrame f(400, 100, 128, 84);
    const PixelRect start = f.rect();
    f.moveBy(0, 50); // the frame is as high as the picture: no room up or down
    EXPECT_EQ(f.rect(), start);
    f.moveBy(-1000, 0);
    EXPECT_EQ(f.rect().left, 0);
    f.moveBy(7, -3);
    EXPECT_EQ(f.rect().left, 7);
    f.moveBy(1000, 0);
    EXPECT_EQ(f.rect().right(), 400);
    f.fit();
    EXPECT_EQ(f.rect(), start);
}

TEST(CropAndScale, CropsExactlyAndCutsAreasToThePicture)
{
    const DibPicture p = ramp(10, 8);
    const DibPicture c = cropPicture(p, {3, 2, 4, 5});
    ASSERT_EQ(c.width(), 4u);
    ASSERT_EQ(c.height(), 5u);
    EXPECT_EQ(rgbAt(c, 0, 0), (std::array<int, 3>{3, 2, 5}));
    EXPECT_EQ(rgbAt(c, 3, 4), (std::array<int, 3>{6, 6, 12}));
    // Part outside the picture is cut away; wholly outside gives nothing.
    EXPECT_EQ(cropPicture(p, {8, 6, 10, 10}).width(), 2u);
    EXPECT_EQ(cropPicture(p, {-5, -5, 6, 6}).height(), 1u);
    EXPECT_TRUE(cropPicture(p, {10, 0, 3, 3}).empty());
    EXPECT_TRUE(cropAndScale(p, {0, 8, 3, 3}, 4, 4).empty());
    // Palette pictures come out in 3 bytes.
    DibPicture indexed(4, 4, 1);
    indexed.palette()[0] = {10, 20, 30, 0};
    EXPECT_EQ(rgbAt(cropPicture(indexed, {1, 1, 2, 2}), 1, 1), (std::array<int, 3>{10, 20, 30}));
}

TEST(CropAndScale, ShrinkingAveragesAndEnlargingRepeats)
{
    const DibPicture p = ramp(8, 8);
    const DibPicture half = cropAndScale(p, {0, 0, 8, 8}, 4, 4);
    // (2,2)-(3,3): red (2+3+2+3)/4 = 2.5 rounds to 3.
    EXPECT_EQ(rgbAt(half, 1, 1), (std::array<int, 3>{3, 3, 5}));
    const DibPicture twice = cropAndScale(p, {2, 4, 2, 2}, 4, 4);
    EXPECT_EQ(rgbAt(twice, 0, 0), (std::array<int, 3>{2, 4, 6}));
    EXPECT_EQ(rgbAt(twice, 1, 1), (std::array<int, 3>{2, 4, 6}));
    EXPECT_EQ(rgbAt(twice, 2, 3), (std::array<int, 3>{3, 5, 8}));
    // The item size whatever the area's shape.
    const DibPicture caller = cropAndScale(test::makeNoise(300, 200, 1), CaptureFrame(300, 200, 45, 55).rect(), 45, 55);
    EXPECT_EQ(caller.width(), 45u);
    EXPECT_EQ(caller.height(), 55u);
}
