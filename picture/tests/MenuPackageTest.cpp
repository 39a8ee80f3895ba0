#include "TestPictures.h"
#include "orka/picture/BmpCodec.h"
#include "orka/picture/GifCodec.h"
#include "orka/picture/JpegCodec.h"
#include "orka/picture/MenuPackage.h"
#include "orka/picture/PictureError.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

using namespace orka;
using test::errorOf;

namespace {

// A package of 81 pictures in the three formats; sizes are spread over all four table bytes.
std::vector<std::uint8_t> makePackage(const char header[19])
{
    std::vector<std::uint8_t> b(header, header + 18);
    std::vector<std::vector<std::uint8_t>> pictures;
    for (int i = 0; i < 81; ++i) {
        const DibPicture p = test::makeNoise(4 + i % 5, 3 + i % 3, unsigned(i));
        pictures.push_back(i % 3 == 0 ? encodeBmp(p) : i % 3 == 1 ? encodeJpeg(p) : encodeGif(p));
    }
    for (const auto& p : pictures) {
        const unsigned size = unsigned(p.size());
        const unsigned low = size & 0xFF, high = size >> 8;
        b.insert(b.end(), {std::uint8_t(low / 2), std::uint8_t(high / 2), std::uint8_t(low - low / 2),
                           std::uint8_t(high - high / 2)});
    }
    for (const auto& p : pictures)
        b.insert(b.end(), p.begin(), p.end());
    return b;
}

} // namespace

TEST(MenuPackage, EntrySizesAddTheirHalvesAndWrapAtSixteenBits)
{
    EXPECT_EQ(menuPackageEntrySize(0x10, 0x00, 0x05, 0x01), 277);
    EXPECT_EQ(menuPackageEntrySize(0x80, 0x00, 0x80, 0x00), 256); // low halves carry into the high byte
    EXPECT_EQ(menuPackageEntrySize(0xFF, 0xFF, 0xFF, 0xFF), 65534);
    EXPECT_EQ(menuPackageEntrySize(0x00, 0x80, 0x00, 0x80), 0);
}

TEST(MenuPackage, ReadsAndDecodesAllEightyOnePictures)
{
    const auto bytes = makePackage("Q5 MENU PACK [AB]x");
    const MenuPackage package = readMenuPackage(bytes);
    EXPECT_EQ(package.keptCharacters, "AB");
    ASSERT_EQ(package.pictures.size(), 81u);
    const std::vector<DibPicture> pictures = decodeMenuPackage(package);
    ASSERT_EQ(pictures.size(), 81u);
    EXPECT_EQ(pictures[80].width(), 4u + 80 % 5);
    EXPECT_EQ(pictures[79].height(), 3u + 79 % 3);
    EXPECT_TRUE(test::samePixels(pictures[3], test::makeNoise(4 + 3 % 5, 3, 3))) << "bitmaps are exact";

    test::TempDir dir;
    std::ofstream(dir.path() / "m.pak", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                                 std::streamsize(bytes.size()));
    EXPECT_EQ(readMenuPackageFile(dir.path() / "m.pak").pictures.size(), 81u);
}

TEST(MenuPackage, HeaderCharactersAfterTheLastBracket)
{
    EXPECT_EQ(readMenuPackage(makePackage("[x] menu [1] [Z9]")).keptCharacters, "Z9");
    EXPECT_EQ(readMenuPackage(makePackage("no bracket here...")).keptCharacters, "");
    EXPECT_EQ(readMenuPackage(makePackage("seventeen chars [Q")).keptCharacters, "Q");
}

TEST(MenuPackage, RefusesSizesPastTheFile)
{
    auto bytes = makePackage("Q5 MENU PACK [AB]x");
    const std::string bad = "檔案格式不正確.";
    EXPECT_EQ(errorOf([&] { readMenuPackage(std::vector<std::uint8_t>(bytes.begin(), bytes.end() - 1)); }), bad);
    EXPECT_EQ(errorOf([&] { readMenuPackage(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 341)); }), bad);
    auto inflated = bytes;
    inflated[18 + 4 * 40 + 1] = 0xFF; // picture 40 claims about 32 KB more than there is
    inflated[18 + 4 * 40 + 3] = 0xFF;
    EXPECT_EQ(errorOf([&] { readMenuPackage(inflated); }), bad);
    EXPECT_EQ(errorOf([] { readMenuPackage({}); }), "指定的檔案未包含任何的影像資料.");

    auto unknown = bytes;
    std::memcpy(unknown.data() + kMenuPackageDataOffset, "PNG!", 4);
    const MenuPackage package = readMenuPackage(unknown);
    EXPECT_EQ(errorOf([&] { decodeMenuPackage(package); }), "檔案格式不支援.");
    EXPECT_EQ(errorOf([] { decodeMenuPicture({}); }), "指定的檔案未包含任何的影像資料.");
}
