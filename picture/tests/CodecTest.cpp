#include "TestPictures.h"
#include "orka/picture/BmpCodec.h"
#include "orka/picture/JpegCodec.h"
#include "orka/picture/PictureError.h"
#include "orka/picture/PictureFile.h"
#include "orka/common/ByteOrder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

using namespace orka;
using test::errorOf;
using test::rgbAt;

namespace {

std::vector<std::uint8_t> fileBytes(const std::string& name) { return readPictureFile(test::sampleFile(name)); }

void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) { orka::common::writeLE16(&b.at(at + 1) - 1, v); }
void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) { orka::common::writeLE32(&b.at(at + 3) - 3, v); }

// A bitmap file of the given header fields and raw data after a 40-byte header.
std::vector<std::uint8_t> bitmap(int width, int height, unsigned bits, unsigned compression,
                                 const std::vector<std::uint8_t>& table, const std::vector<std::uint8_t>& data,
                                 unsigned colorsUsed = 0)
{
    std::vector<std::uint8_t> b(54, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 10, std::uint32_t(54 + table.size()));
    put32(b, 14, 40);
    put32(b, 18, std::uint32_t(width));
    put32(b, 22, std::uint32_t(height));
    put16(b, 26, 1);
    put16(b, 28, bits);
    put32(b, 30, compression);
    put32(b, 46, colorsUsed);
    b.insert(b.end(), table.begin(), table.end());
    b.insert(b.end(), data.begin(), data.end());
    put32(b, 2, std::uint32_t(b.size()));
    return b;
}

// Four grey levels: index i is (i*80, i*80, i*80).
std::vector<std::uint8_t> greyTable(unsigned entries)
{
    std::vector<std::uint8_t> t;
    for (unsigned i = 0; i < entries; ++i) {
        const std::uint8_t v = std::uint8_t(i * 80);
        t.insert(t.end(), {v, v, v, 0});
    }
    return t;
}

int greyAt(const DibPicture& p, std::uint32_t x, std::uint32_t y) { return rgbAt(p, x, y)[0] / 80; }

} // namespace

TEST(BmpReader, ReadsTheVariantsOtherToolsWrite)
{
    const DibPicture expected = test::makePattern();
    for (const char* name : {"pattern_24.bmp", "pattern_v5.bmp", "pattern_os2.bmp", "pattern_rle8.bmp",
                             "pattern_565.bmp", "pattern_32.bmp", "pattern_4.bmp"}) {
        SCOPED_TRACE(name);
        const DibPicture p = loadPicture(test::sampleFile(name));
        EXPECT_TRUE(test::samePixels(p, expected));
    }
    const DibPicture mono = loadPicture(test::sampleFile("pattern_1.bmp"), true);
    EXPECT_EQ(mono.bytesPerPixel(), 1);
    EXPECT_EQ(mono.width(), 7u);
    for (std::uint32_t y = 0; y < mono.height(); ++y)
        for (std::uint32_t x = 0; x < mono.width(); ++x)
            EXPECT_LE(mono.row(y)[x], 1);
}

TEST(BmpReader, KeepsThePaletteWhenAsked)
{
    const DibPicture p = loadPicture(test::sampleFile("pattern_4.bmp"), true);
    ASSERT_EQ(p.bytesPerPixel(), 1);
    EXPECT_TRUE(p.hasPalette());
    EXPECT_TRUE(test::samePixels(p.toRgb(), test::makePattern()));
}

TEST(BmpReader, TopDownAndRunLengthCoding)
{
    // 2 x 2, 8 bits, negative height: rows are stored top first.
    auto topDown = bitmap(2, -2, 8, 0, greyTable(4), {1, 2, 0, 0, 3, 0, 0, 0});
    DibPicture p = decodeBmp(topDown);
    EXPECT_EQ(greyAt(p, 0, 0), 1);
    EXPECT_EQ(greyAt(p, 1, 0), 2);
    EXPECT_EQ(greyAt(p, 0, 1), 3);

    // RLE8, 5 x 3: bottom row a run of 2 then 3 literals (padded to a word); a delta over
    // the middle row; top row a run.
    const std::vector<std::uint8_t> rle8 = {2, 1, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 0, 1, 5, 2, 0, 1};
    p = decodeBmp(bitmap(5, 3, 8, 1, greyTable(4), rle8));
    EXPECT_EQ(greyAt(p, 0, 2), 1);
    EXPECT_EQ(greyAt(p, 2, 2), 2);
    EXPECT_EQ(greyAt(p, 3, 2), 3);
    EXPECT_EQ(greyAt(p, 4, 2), 1);
    EXPECT_EQ(greyAt(p, 2, 1), 0) << "skipped by the delta";
    EXPECT_EQ(greyAt(p, 4, 0), 2);

    // RLE4, 5 x 1: a run of 2 alternating 1 and 2, then 3 literal pixels 3, 1, 2.
    const std::vector<std::uint8_t> rle4 = {2, 0x12, 0, 3, 0x31, 0x20, 0, 1};
    p = decodeBmp(bitmap(5, 1, 4, 2, greyTable(4), rle4));
    EXPECT_EQ(greyAt(p, 0, 0), 1);
    EXPECT_EQ(greyAt(p, 1, 0), 2);
    EXPECT_EQ(greyAt(p, 2, 0), 3);
    EXPECT_EQ(greyAt(p, 3, 0), 1);
    EXPECT_EQ(greyAt(p, 4, 0), 2);
}

TEST(BmpReader, SixteenBitFields)
{
    // 40-byte header followed by the 5-6-5 masks; one pixel of pure green, one of pure red.
    std::vector<std::uint8_t> masks(12);
    put32(masks, 0, 0xF800);
    put32(masks, 4, 0x07E0);
    put32(masks, 8, 0x001F);
    auto b = bitmap(2, 1, 16, 3, masks, {0xE0, 0x07, 0x00, 0xF8});
    const DibPicture p = decodeBmp(b);
    EXPECT_EQ(rgbAt(p, 0, 0), (std::array<int, 3>{0, 255, 0}));
    EXPECT_EQ(rgbAt(p, 1, 0), (std::array<int, 3>{255, 0, 0}));
    // Without bit fields 16 bits are 5-5-5: 0x7C00 is red.
    const DibPicture q = decodeBmp(bitmap(1, 1, 16, 0, {}, {0x00, 0x7C, 0, 0}));
    EXPECT_EQ(rgbAt(q, 0, 0), (std::array<int, 3>{255, 0, 0}));
}

TEST(BmpReader, RefusesBrokenFilesWithTheRightMessage)
{
    const std::string bad = "檔案格式不正確.";
    const std::string unsupported = "檔案格式不支援.";
    auto good = bitmap(2, 2, 8, 0, greyTable(4), {1, 2, 0, 0, 3, 0, 0, 0});

    auto wrongHeader = good;
    put32(wrongHeader, 14, 52);
    EXPECT_EQ(errorOf([&] { decodeBmp(wrongHeader); }), bad);
    auto wrongMagic = good;
    wrongMagic[1] = 'X';
    EXPECT_EQ(errorOf([&] { decodeBmp(wrongMagic); }), bad);
    auto truncated = good;
    truncated.resize(truncated.size() - 5);
    EXPECT_EQ(errorOf([&] { decodeBmp(truncated); }), bad);
    EXPECT_EQ(errorOf([&] { decodeBmp(std::vector<std::uint8_t>(good.begin(), good.begin() + 30)); }), bad);
    auto pastTable = bitmap(2, 1, 8, 0, greyTable(2), {1, 5, 0, 0}, 2);
    EXPECT_EQ(errorOf([&] { decodeBmp(pastTable); }), bad) << "index 5 of a 2-colour table";
    auto runPastRow = bitmap(5, 1, 8, 1, greyTable(4), {9, 1, 0, 1});
    EXPECT_EQ(errorOf([&] { decodeBmp(runPastRow); }), bad);
    auto literalPastFile = bitmap(5, 1, 8, 1, greyTable(4), {0, 5, 1});
    EXPECT_EQ(errorOf([&] { decodeBmp(literalPastFile); }), bad);

    auto huge = good; // refused by its pixel count, whatever the shape
    put32(huge, 18, 0x40000000);
    EXPECT_EQ(errorOf([&] { decodeBmp(huge); }), unsupported);
    auto hugeTall = good;
    put32(hugeTall, 22, std::uint32_t(-2000000000));
    EXPECT_EQ(errorOf([&] { decodeBmp(hugeTall); }), unsupported);
    auto oddDepth = good;
    put16(oddDepth, 28, 7);
    EXPECT_EQ(errorOf([&] { decodeBmp(oddDepth); }), unsupported);
    auto negativeWidth = good;
    put32(negativeWidth, 18, std::uint32_t(-2));
    EXPECT_EQ(errorOf([&] { decodeBmp(negativeWidth); }), bad);
    auto noWidth = good;
    put32(noWidth, 18, 0);
    EXPECT_EQ(errorOf([&] { decodeBmp(noWidth); }), "指定的檔案未包含任何的影像資料.");
    EXPECT_EQ(errorOf([&] { decodeBmp({}); }), "指定的檔案未包含任何的影像資料.");
}

TEST(BmpWriter, RoundTripsBothDepths)
{
    const DibPicture noise = test::makeNoise(13, 7, 9);
    const auto bytes = encodeBmp(noise);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(bytes[14], 40);
    EXPECT_EQ(bytes.size(), 54u + 7u * 40u) << "13 pixels of 3 bytes padded to 40";
    EXPECT_TRUE(test::samePixels(decodeBmp(bytes), noise));

    DibPicture indexed(5, 3, 1);
    for (int i = 0; i < 256; ++i)
        indexed.palette()[std::size_t(i)] = PaletteEntry{std::uint8_t(i), std::uint8_t(255 - i), 7, 0};
    for (std::uint32_t y = 0; y < 3; ++y)
        for (std::uint32_t x = 0; x < 5; ++x)
            indexed.row(y)[x] = std::uint8_t(x * 50 + y);
    const DibPicture back = decodeBmp(encodeBmp(indexed), true);
    EXPECT_TRUE(test::samePixels(back, indexed));
    EXPECT_EQ(back.palette(), indexed.palette());
}

TEST(JpegCodec, ReadsFilesOtherToolsWrite)
{
    for (const char* name : {"quad.jpg", "quad_progressive.jpg"}) {
        SCOPED_TRACE(name);
        const DibPicture p = loadPicture(test::sampleFile(name));
        ASSERT_EQ(p.width(), 16u);
        ASSERT_EQ(p.height(), 16u);
        const std::array<std::array<int, 3>, 4> quadrants = {{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}}};
        for (int q = 0; q < 4; ++q) {
            const auto c = rgbAt(p, std::uint32_t(q % 2 * 8 + 4), std::uint32_t(q / 2 * 8 + 4));
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(c[std::size_t(k)], quadrants[std::size_t(q)][std::size_t(k)], 24) << q;
        }
    }
    const DibPicture grey = loadPicture(test::sampleFile("quad_gray.jpg"));
    const auto g = rgbAt(grey, 12, 12);
    EXPECT_EQ(g[0], g[1]);
    EXPECT_EQ(g[1], g[2]);
    // CMYK (with Adobe's inverted values) is turned into RGB by the reader itself.
    const DibPicture cmyk = loadPicture(test::sampleFile("quad_cmyk.jpg"));
    EXPECT_NEAR(rgbAt(cmyk, 4, 4)[0], 255, 8);
    EXPECT_NEAR(rgbAt(cmyk, 4, 4)[1], 0, 8);
    EXPECT_NEAR(rgbAt(cmyk, 12, 4)[1], 255, 8);
    EXPECT_NEAR(rgbAt(cmyk, 4, 12)[2], 255, 8);
    EXPECT_NEAR(rgbAt(cmyk, 4, 12)[0], 0, 8);
}

TEST(JpegCodec, QualityAbove100WritesAt75)
{
    const DibPicture noise = test::makeNoise(24, 16, 4);
    JpegWriterSettings s;
    s.quality = 120;
    const auto at120 = encodeJpeg(noise, s);
    s.quality = 75;
    EXPECT_EQ(at120, encodeJpeg(noise, s));
    EXPECT_EQ(encodeJpeg(noise), at120) << "75 unless set";
    s.quality = 100;
    EXPECT_NE(encodeJpeg(noise, s), at120);
    EXPECT_EQ(effectiveJpegQuality(101), 75);
    EXPECT_EQ(effectiveJpegQuality(100), 100);
}

TEST(JpegCodec, RoundTripAndDensity)
{
    DibPicture flat(20, 10, 3);
    for (std::uint32_t y = 0; y < 10; ++y)
        for (std::uint32_t x = 0; x < 20; ++x)
            test::setRgb(flat, x, y, 200, 40, 90);
    JpegWriterSettings s;
    s.densityUnit = 1;
    s.xDensity = 300;
    s.yDensity = 150;
    const auto bytes = encodeJpeg(flat, s);
    ASSERT_GT(bytes.size(), 20u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    EXPECT_EQ(bytes[bytes.size() - 2], 0xFF);
    EXPECT_EQ(bytes.back(), 0xD9);
    // JFIF APP0: "JFIF\0", version, unit, X density, Y density (big-endian).
    ASSERT_EQ(std::memcmp(bytes.data() + 6, "JFIF", 5), 0);
    EXPECT_EQ(bytes[13], 1);
    EXPECT_EQ(bytes[14] * 256 + bytes[15], 300);
    EXPECT_EQ(bytes[16] * 256 + bytes[17], 150);
    const DibPicture back = decodeJpeg(bytes);
    ASSERT_EQ(back.width(), 20u);
    const auto c = rgbAt(back, 7, 5);
    EXPECT_NEAR(c[0], 200, 4);
    EXPECT_NEAR(c[1], 40, 4);
    EXPECT_NEAR(c[2], 90, 4);
}

TEST(JpegCodec, BrokenDataEndsInAnErrorNotAnExit)
{
    auto bytes = fileBytes("quad.jpg");
    EXPECT_EQ(errorOf([&] { decodeJpeg(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 30)); }),
              "檔案格式不正確.");
    EXPECT_EQ(errorOf([] { decodeJpeg(std::vector<std::uint8_t>{1, 2, 3, 4}); }), "檔案格式不正確.");
    EXPECT_EQ(errorOf([] { decodeJpeg({}); }), "指定的檔案未包含任何的影像資料.");
    // A file cut in its scan data is refused rather than read with a grey remainder; one that
    // lacks only its closing marker has every pixel and is read.
    const auto big = encodeJpeg(test::makeNoise(64, 64, 3));
    EXPECT_EQ(errorOf([&] { decodeJpeg(std::vector<std::uint8_t>(big.begin(), big.end() - 500)); }),
              "檔案格式不正確.");
    EXPECT_EQ(errorOf([&] { decodeJpeg(std::vector<std::uint8_t>(big.begin(), big.end() - 3)); }),
              "檔案格式不正確.");
    EXPECT_EQ(decodeJpeg(std::vector<std::uint8_t>(big.begin(), big.end() - 2)), decodeJpeg(big));
    // A frame header declaring 65000 x 65000 pixels is refused before any allocation.
    for (std::size_t i = 0; i + 8 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC2)) {
            for (std::size_t k = 5; k <= 7; k += 2) {
                bytes[i + k] = 65000 >> 8;
                bytes[i + k + 1] = 65000 & 0xFF;
            }
            break;
        }
    EXPECT_EQ(errorOf([&] { decodeJpeg(bytes); }), "檔案格式不支援.");
}

TEST(PictureErrors, CarryMessageCodeSourceAndLine)
{
    try {
        decodeBmp(std::vector<std::uint8_t>{'B', 'X'});
        FAIL();
    } catch (const PictureError& e) {
        EXPECT_EQ(e.message(), PictureMessage::BadFormat);
        EXPECT_EQ(e.messageId(), 61102u);
        EXPECT_EQ(e.source(), PictureSource::Bmp);
        EXPECT_GT(e.line(), 0u);
        EXPECT_GT(e.code(), 0);
    }
}

TEST(PictureFiles, ExtensionsChooseTheReaderWithoutRegardToCase)
{
    EXPECT_EQ(formatForFileName("a/PHOTO.JPG"), PictureFormat::Jpeg);
    EXPECT_EQ(formatForFileName("x.Jpeg"), PictureFormat::Jpeg);
    EXPECT_EQ(formatForFileName("x.jpe"), PictureFormat::Jpeg);
    EXPECT_EQ(formatForFileName("x.BMP"), PictureFormat::Bmp);
    EXPECT_EQ(formatForFileName("x.Gif"), PictureFormat::Gif);
    EXPECT_FALSE(formatForFileName("x.png"));
    EXPECT_FALSE(formatForFileName("jpg"));

    test::TempDir dir;
    const auto upper = dir.path() / "PHOTO.JPG";
    std::filesystem::copy_file(test::sampleFile("quad.jpg"), upper);
    EXPECT_EQ(loadPicture(upper).width(), 16u);
    EXPECT_EQ(errorOf([] { loadPicture(""); }), "參數錯誤.");
    EXPECT_EQ(errorOf([&] { loadPicture(dir.path() / "x.png"); }), "檔案格式不支援.");
    EXPECT_EQ(errorOf([&] { loadPicture(dir.path() / "missing.bmp"); }),
              "開啟檔案\"" + (dir.path() / "missing.bmp").string() + "\"失敗");
    std::ofstream(dir.path() / "empty.gif").close();
    EXPECT_EQ(errorOf([&] { loadPicture(dir.path() / "empty.gif"); }), "指定的檔案未包含任何的影像資料.");
}

TEST(PictureFiles, SaveAppendsTheKindsExtensionAndRoundTrips)
{
    test::TempDir dir;
    const DibPicture pattern = test::makePattern();
    const auto bmp = savePicture(pattern, dir.path() / "p", SaveKind::Bmp);
    EXPECT_EQ(bmp.filename(), "p.bmp");
    EXPECT_TRUE(test::samePixels(loadPicture(bmp), pattern));
    const auto gif = savePicture(pattern, dir.path() / "p", SaveKind::Gif);
    EXPECT_EQ(gif.filename(), "p.gif");
    EXPECT_TRUE(test::samePixels(loadPicture(gif), pattern));
    const auto jpg = savePicture(pattern, dir.path() / "q.JPG", SaveKind::Jpeg);
    EXPECT_EQ(jpg.filename(), "q.JPG");
    EXPECT_EQ(loadPicture(jpg).width(), 7u);
    EXPECT_EQ(errorOf([&] { savePicture(pattern, "", SaveKind::Bmp); }), "參數錯誤.");
    std::filesystem::create_directory(dir.path() / "taken.bmp");
    EXPECT_EQ(errorOf([&] { savePicture(pattern, dir.path() / "taken", SaveKind::Bmp); })
                  .rfind("寫入檔案", 0),
              0u);
}

TEST(UploadBytes, CallerPhotosAreSixteenBitLowByteFirst)
{
    DibPicture p(3, 2, 3);
    test::setRgb(p, 0, 0, 0x12, 0x34, 0x56);
    test::setRgb(p, 1, 0, 255, 255, 255);
    test::setRgb(p, 2, 1, 0x07, 0x03, 0x07);
    const auto bytes = uploadBytes(p, 4);
    ASSERT_EQ(bytes.size(), 3u * 2u * 2u) << "no row padding, no header";
    // (0x12 & 0xF8) * 256 + (0x34 & 0xFC) * 8 + 0x56 / 8 = 0x1000 + 0x1A0 + 0x0A
    EXPECT_EQ(bytes[0], 0xAA);
    EXPECT_EQ(bytes[1], 0x11);
    EXPECT_EQ(bytes[2], 0xFF);
    EXPECT_EQ(bytes[3], 0xFF);
    EXPECT_EQ(bytes[10], 0x00) << "channels below one step vanish";
    EXPECT_EQ(bytes[11], 0x00);
}

TEST(UploadBytes, WallpapersAndMenuPicturesAreJpegAt85)
{
    const DibPicture noise = test::makeNoise(16, 8, 6);
    JpegWriterSettings s;
    s.quality = 85;
    const auto expected = encodeJpeg(noise, s);
    EXPECT_EQ(uploadBytes(noise, 2), expected);
    EXPECT_EQ(uploadBytes(noise, 3), expected);
    EXPECT_EQ(encodeJpegForUpload(noise), expected);
    EXPECT_EQ(errorOf([&] { uploadBytes(noise, 5); }), "參數錯誤.");
    EXPECT_EQ(errorOf([&] { uploadBytes(DibPicture(), 2); }), "參數錯誤.");
}
