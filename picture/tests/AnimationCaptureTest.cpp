// Opening animations for the capture page and fitting their frames to the item size.
#include "TestPictures.h"
#include "orka/picture/AnimationCapture.h"
#include "orka/picture/CaptureFrame.h"

#include <gtest/gtest.h>

using namespace orka;

namespace {

// `frames` frames of 2 x 2 pixels on a logical screen of the given size.
std::vector<std::uint8_t> gifOnScreen(std::uint16_t width, std::uint16_t height, int frames)
{
    const std::vector<GifColor> table = {{255, 0, 0, 0}, {0, 0, 255, 0}};
    GifWriter w;
    w.putScreen(width, height, table, 0);
    for (int i = 0; i < frames; ++i) {
        w.putGraphicControl(1, false, 10, -1);
        w.putImageDescriptor(0, 0, 2, 2, {}, false);
        const std::vector<std::uint8_t> line(2, std::uint8_t(i % 2));
        w.putPixelLine(line);
        w.putPixelLine(line);
    }
    return w.finish();
}

std::array<int, 3> rgbAt(const DibPicture& p, std::uint32_t x, std::uint32_t y)
{
    const std::uint8_t* px = p.row(y) + 3 * x;
    return {px[2], px[1], px[0]};
}

} // namespace

TEST(AnimationForCapture, RefusesTooFewFramesAndAnimationsPastTheMemoryBudget)
{
    EXPECT_EQ(test::errorOf([] { openAnimationForCapture(gifOnScreen(2, 2, 4)); }), "非有效動畫檔案，畫格數少於5。");
    // Five frames on a 16000 x 16000 screen would need 5 GB once decoded: refused at once.
    EXPECT_EQ(test::errorOf([] { openAnimationForCapture(gifOnScreen(16000, 16000, 5)); }), "記憶體不足.");
    // Four such frames are refused for their count, the message the user can act on.
    EXPECT_EQ(test::errorOf([] { openAnimationForCapture(gifOnScreen(16000, 16000, 4)); }),
              "非有效動畫檔案，畫格數少於5。");
    Animation fine = openAnimationForCapture(gifOnScreen(128, 160, 100));
    EXPECT_EQ(fine.frameCount(), 100);
    EXPECT_EQ(fine.picture(99).width(), 128u);
    EXPECT_EQ(test::errorOf([] { openAnimationForCapture(std::vector<std::uint8_t>{'B', 'M', 0, 0}); }),
              "檔案格式不正確.");
}

TEST(FitPicture, KeepsTheShapeCentredOnTheBackground)
{
    DibPicture wide(40, 10, 3);
    for (std::uint32_t y = 0; y < 10; ++y)
        for (std::uint32_t x = 0; x < 40; ++x)
            wide.row(y)[3 * x + 2] = 200; // red
    // 40 x 10 into 128 x 160: 128 x 32, rows 64 to 95.
    const DibPicture out = fitPicture(wide, 128, 160, {0, 0, 255});
    ASSERT_EQ(out.width(), 128u);
    ASSERT_EQ(out.height(), 160u);
    EXPECT_EQ(rgbAt(out, 0, 63), (std::array<int, 3>{0, 0, 255}));
    EXPECT_EQ(rgbAt(out, 0, 64), (std::array<int, 3>{200, 0, 0}));
    EXPECT_EQ(rgbAt(out, 127, 95), (std::array<int, 3>{200, 0, 0}));
    EXPECT_EQ(rgbAt(out, 127, 96), (std::array<int, 3>{0, 0, 255}));
    // A tall picture: columns centred; a picture of the item size is copied as it is.
    const DibPicture tall = fitPicture(DibPicture(10, 400, 3), 128, 160, {9, 9, 9});
    EXPECT_EQ(rgbAt(tall, 61, 0), (std::array<int, 3>{9, 9, 9}));
    EXPECT_EQ(rgbAt(tall, 62, 0), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(rgbAt(tall, 65, 159), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(rgbAt(tall, 66, 159), (std::array<int, 3>{9, 9, 9}));
    const DibPicture same = test::makeNoise(128, 160, 4);
    EXPECT_EQ(fitPicture(same, 128, 160), same);
    EXPECT_EQ(rgbAt(fitPicture(DibPicture(), 4, 4, {1, 2, 3}), 3, 3), (std::array<int, 3>{1, 2, 3}));
    EXPECT_TRUE(fitPicture(same, 0, 4).empty());
}
