#include "TestPictures.h"
#include "orka/picture/DibPicture.h"
#include "orka/picture/PictureError.h"

#include <gtest/gtest.h>

#include <utility>

using namespace orka;

TEST(DibPicture, RowsArePaddedInWholePixelsToAMultipleOfFour)
{
    DibPicture p;
    p.create(5, 2, 3, false);
    EXPECT_EQ(p.rowPadding(), 3u);
    EXPECT_EQ(p.paddedWidth(), 8u);
    EXPECT_EQ(p.stride(), 24u);
    EXPECT_EQ(p.pixelBytes(), 48u);
    EXPECT_EQ(p.row(1) - p.row(0), 24);

    p.create(1, 1, 3, false);
    EXPECT_EQ(p.stride(), 12u) << "a width of 1 gives rows of 4 pixels";
    p.create(8, 1, 1, false);
    EXPECT_EQ(p.rowPadding(), 0u);
    EXPECT_EQ(p.stride(), 8u);
}

TEST(DibPicture, NegativeOrZeroSizesGiveAnEmptyPicture)
{
    DibPicture p(4, 4, 3);
    p.create(-3, 10, 3, false);
    EXPECT_TRUE(p.empty());
    EXPECT_EQ(p.width(), 0u);
    EXPECT_EQ(p.height(), 0u);
    EXPECT_EQ(p.pixels(), nullptr);
    p.create(10, 0, 3, true);
    EXPECT_TRUE(p.empty());
    EXPECT_FALSE(p.hasMask());
}

TEST(DibPicture, MaskAndPaletteFollowTheDepth)
{
    DibPicture p(6, 3, 1, true);
    EXPECT_TRUE(p.hasPalette());
    ASSERT_TRUE(p.hasMask());
    EXPECT_EQ(p.maskStride(), 8u);
    EXPECT_EQ(p.stride(), 8u);
    p.create(6, 3, 3, false);
    EXPECT_FALSE(p.hasPalette());
    EXPECT_FALSE(p.hasMask());
    p.release();
    EXPECT_TRUE(p.empty());
}

TEST(DibPicture, RefusesOddDepthsAndHugeTotalsButNotLongStrips)
{
    DibPicture p;
    try {
        p.create(4, 4, 2, false);
        FAIL();
    } catch (const PictureError& e) {
        EXPECT_STREQ(e.what(), "參數錯誤.");
    }
    // The total counts, not one side: a 20000 x 1 strip is 60 KB.
    p.create(20000, 1, 3, false);
    EXPECT_EQ(p.width(), 20000u);
    EXPECT_EQ(p.height(), 1u);
    p.create(1, 20000, 1, true);
    EXPECT_EQ(p.height(), 20000u);
    for (const auto& [w, h] : {std::pair{1 << 20, 1 << 9}, std::pair{0x7FFFFFFF, 0x7FFFFFFF}}) {
        try {
            p.create(w, h, 3, false);
            FAIL() << w << " x " << h;
        } catch (const PictureError& e) {
            EXPECT_STREQ(e.what(), "檔案格式不支援.");
            EXPECT_TRUE(p.empty());
        }
    }
}

TEST(DibPicture, ToRgbExpandsThroughThePalette)
{
    DibPicture p(3, 1, 1, true);
    p.palette()[7] = PaletteEntry{10, 20, 30, 0};
    p.row(0)[1] = 7;
    p.maskRow(0)[1] = 0xFF;
    const DibPicture rgb = p.toRgb();
    EXPECT_EQ(rgb.bytesPerPixel(), 3);
    EXPECT_EQ(test::rgbAt(rgb, 1, 0), (std::array<int, 3>{10, 20, 30}));
    EXPECT_EQ(test::rgbAt(rgb, 0, 0), (std::array<int, 3>{0, 0, 0}));
    ASSERT_TRUE(rgb.hasMask());
    EXPECT_EQ(rgb.maskRow(0)[1], 0xFF);
}
