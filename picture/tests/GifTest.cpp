#include "TestPictures.h"
#include "orka/picture/GifCodec.h"
#include "orka/picture/PictureError.h"
#include "orka/picture/PictureFile.h"
#include "orka/common/ByteOrder.h"

#include <gtest/gtest.h>

#include <random>

using namespace orka;
using test::errorOf;
using test::rgbAt;

namespace {

const std::vector<GifColor> kFourColours = {{255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}, {255, 255, 255, 0}};

// Raw GIF pieces for files the writer would never make.
struct RawGif {
    std::vector<std::uint8_t> b;
    explicit RawGif(std::uint16_t w, std::uint16_t h)
    {
        b = {'G', 'I', 'F', '8', '9', 'a'};
        common::appendLE16(b, w);
        common::appendLE16(b, h);
        b.insert(b.end(), {0x81, 0, 0});
        for (const auto& c : kFourColours)
            b.insert(b.end(), {c.red, c.green, c.blue});
    }
    void control(std::uint16_t delay, int transparent, unsigned disposal = 0)
    {
        b.insert(b.end(), {0x21, 0xF9, 4, std::uint8_t(disposal * 4 + (transparent >= 0 ? 1 : 0))});
        common::appendLE16(b, delay);
        b.insert(b.end(), {std::uint8_t(transparent >= 0 ? transparent : 0), 0});
    }
    void image(std::uint16_t left, std::uint16_t top, std::uint16_t w, std::uint16_t h,
               const std::vector<std::uint8_t>& indices)
    {
        b.insert(b.end(), {0x2C, std::uint8_t(left), 0, std::uint8_t(top), 0, std::uint8_t(w), 0, std::uint8_t(h), 0, 0});
        const auto data = gifLzwEncode(indices, 2);
        b.insert(b.end(), data.begin(), data.end());
    }
    void comment()
    {
        b.insert(b.end(), {0x21, 0xFE, 3, 'h', 'e', 'y', 0});
    }
    std::vector<std::uint8_t> done()
    {
        b.push_back(0x3B);
        return b;
    }
};

} // namespace

TEST(GifReader, ReadsFilesOtherToolsWrite)
{
    for (const char* name : {"pattern.gif", "pattern_interlaced.gif"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(test::samePixels(loadPicture(test::sampleFile(name)), test::makePattern()));
    }
    GifAnimationReader reader = GifAnimationReader::open(test::sampleFile("anim6.gif"));
    ASSERT_EQ(reader.frameCount(), 6u);
    EXPECT_EQ(reader.screenWidth(), 8);
    const std::array<std::array<int, 3>, 6> colours = {
        {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {0, 255, 255}, {255, 0, 255}}};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(reader.frame(i).delay, i == 5 ? 50 : 10);
        EXPECT_EQ(rgbAt(reader.decodeFrame(i), 7, 5), colours[i]) << i;
    }
    EXPECT_EQ(rgbAt(reader.decodeFrame(1), 0, 0), colours[1]) << "going back composes again";
}

TEST(GifReader, AFirstImageWithoutGraphicControlHasNoDelayOrTransparency)
{
    RawGif g(2, 1);
    g.comment();
    g.image(0, 0, 2, 1, {0, 1});
    g.control(7, 1);
    g.image(0, 0, 2, 1, {1, 2});
    g.image(0, 0, 2, 1, {3, 1});
    GifAnimationReader reader(g.done());
    ASSERT_EQ(reader.frameCount(), 3u);
    EXPECT_EQ(reader.frame(0).controlOffset, 0u);
    EXPECT_EQ(reader.frame(0).delay, 0);
    EXPECT_FALSE(reader.frame(0).transparentIndex);
    EXPECT_NE(reader.frame(1).controlOffset, 0u);
    EXPECT_EQ(reader.frame(1).delay, 7);
    EXPECT_EQ(reader.frame(1).transparentIndex, 1);
    // A graphic-control extension governs only the image right after it.
    EXPECT_EQ(reader.frame(2).controlOffset, 0u);
    EXPECT_EQ(reader.frame(2).delay, 0);
    EXPECT_FALSE(reader.frame(2).transparentIndex);
    // Frame 1 is transparent where it has index 1: frame 0's red shows through there.
    const DibPicture shown = reader.decodeFrame(1);
    EXPECT_EQ(rgbAt(shown, 0, 0), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(rgbAt(shown, 1, 0), (std::array<int, 3>{0, 0, 255}));
    // Frame 2 has no transparency, so its index 1 is drawn.
    EXPECT_EQ(rgbAt(reader.decodeFrame(2), 1, 0), (std::array<int, 3>{0, 255, 0}));
}

TEST(GifReader, DisposalMethodsAndOffsets)
{
    RawGif g(3, 2);
    g.control(0, -1, 2); // restore to background after showing
    g.image(0, 0, 3, 2, {0, 0, 0, 0, 0, 0});
    g.control(0, -1, 3); // restore to previous after showing
    g.image(1, 1, 1, 1, {2});
    g.control(0, -1, 1);
    g.image(2, 0, 1, 1, {3});
    GifAnimationReader reader(g.done());
    const DibPicture first = reader.decodeFrame(0);
    EXPECT_EQ(first.maskRow(1)[2], 0xFF);
    const DibPicture second = reader.decodeFrame(1);
    EXPECT_EQ(second.maskRow(0)[0], 0) << "frame 0 went back to the background";
    EXPECT_EQ(rgbAt(second, 1, 1), (std::array<int, 3>{0, 0, 255}));
    const DibPicture third = reader.decodeFrame(2);
    EXPECT_EQ(third.maskRow(1)[1], 0) << "frame 1 was undone";
    EXPECT_EQ(rgbAt(third, 2, 0), (std::array<int, 3>{255, 255, 255}));
}

TEST(GifReader, RefusesBrokenFilesCleanly)
{
    const std::string bad = "檔案格式不正確.";
    RawGif noImages(2, 1);
    EXPECT_EQ(errorOf([&] { GifAnimationReader(noImages.done()); }), bad);
    auto wrongSignature = RawGif(2, 1).done();
    wrongSignature[4] = '8';
    EXPECT_EQ(errorOf([&] { GifAnimationReader reader(wrongSignature); }), bad);
    EXPECT_EQ(errorOf([] { GifAnimationReader(std::vector<std::uint8_t>{'G', 'I', 'F'}); }), bad);

    // The first code after a clear must be a literal: code 7 is not defined yet.
    RawGif undefinedCode(2, 1);
    undefinedCode.b.insert(undefinedCode.b.end(), {0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0, 2, 2, 0x3C, 0x00, 0});
    GifAnimationReader undefinedReader(undefinedCode.done());
    EXPECT_EQ(errorOf([&] { undefinedReader.decodeFrame(0); }), bad);

    // Index 3 past a local table of 2 colours.
    RawGif pastTable(2, 1);
    pastTable.b.insert(pastTable.b.end(), {0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0x80, 1, 2, 3, 4, 5, 6});
    const auto data = gifLzwEncode(std::vector<std::uint8_t>{0, 3}, 2);
    pastTable.b.insert(pastTable.b.end(), data.begin(), data.end());
    GifAnimationReader pastReader(pastTable.done());
    EXPECT_EQ(errorOf([&] { pastReader.decodeFrame(0); }), bad);

    RawGif huge(2, 1);
    huge.b.insert(huge.b.end(), {0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 0}); // 65535 x 65535
    EXPECT_EQ(errorOf([&] { GifAnimationReader(huge.done()); }), "檔案格式不支援.");
    RawGif hugeScreen(65535, 65535);
    hugeScreen.image(0, 0, 1, 1, {0});
    EXPECT_EQ(errorOf([&] { GifAnimationReader(hugeScreen.done()); }), "檔案格式不支援.");

    RawGif badCodeSize(2, 1);
    badCodeSize.b.insert(badCodeSize.b.end(), {0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0, 12, 1, 0, 0});
    GifAnimationReader badCodeReader(badCodeSize.done());
    EXPECT_EQ(errorOf([&] { badCodeReader.decodeFrame(0); }), bad);
}

TEST(GifReader, TruncatedFilesKeepWhatTheyHave)
{
    const auto whole = readPictureFile(test::sampleFile("anim6.gif"));
    for (std::size_t cut = 40; cut < whole.size(); cut += 7) {
        std::vector<std::uint8_t> part(whole.begin(), whole.begin() + std::ptrdiff_t(cut));
        try {
            GifAnimationReader reader(std::move(part));
            for (std::size_t i = 0; i < reader.frameCount(); ++i)
                reader.decodeFrame(i);
        } catch (const PictureError& e) {
            EXPECT_STREQ(e.what(), "檔案格式不正確.");
        }
    }
    // An image whose data stops early shows the pixels it has.
    RawGif g(4, 1);
    g.b.insert(g.b.end(), {0x2C, 0, 0, 0, 0, 4, 0, 1, 0, 0});
    auto data = gifLzwEncode(std::vector<std::uint8_t>{1, 1, 2, 3}, 2);
    data.resize(2); // code size and a block length with no data
    g.b.insert(g.b.end(), data.begin(), data.end());
    GifAnimationReader reader(std::move(g.b));
    const DibPicture p = reader.decodeFrame(0);
    EXPECT_EQ(p.maskRow(0)[3], 0);
}

TEST(GifWriter, WritesTheExactFields)
{
    GifWriter w;
    w.putScreen(3, 2, std::vector<GifColor>(kFourColours.begin(), kFourColours.begin() + 3), 1);
    w.putGraphicControl(2, true, 300, 5);
    const std::vector<GifColor> local = {{1, 2, 3, 0}, {4, 5, 6, 0}};
    w.putImageDescriptor(1, 0, 2, 2, local, true);
    w.putPixelLine(std::vector<std::uint8_t>{0, 3}); // 3 is masked to 1 bit
    w.putPixelLine(std::vector<std::uint8_t>{1, 0});
    const auto b = w.finish();
    ASSERT_GE(b.size(), 13u + 12u + 8u + 10u + 6u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 6), "GIF89a");
    EXPECT_EQ(b[6], 3);
    EXPECT_EQ(b[8], 2);
    EXPECT_EQ(b[10], 0x80 + 0x10 + 1) << "3 colours need 2 bits";
    EXPECT_EQ(b[11], 1);
    EXPECT_EQ(b[12], 0);
    EXPECT_EQ(b[13 + 9], 0) << "the table is padded to 4 entries";
    const std::size_t gce = 13 + 12;
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + gce, b.begin() + gce + 8),
              (std::vector<std::uint8_t>{0x21, 0xF9, 4, 2 * 4 + 2 + 1, 0x2C, 0x01, 5, 0}));
    const std::size_t descriptor = gce + 8;
    EXPECT_EQ(b[descriptor], 0x2C);
    EXPECT_EQ(b[descriptor + 1], 1);
    EXPECT_EQ(b[descriptor + 9], 0x80 + 0x40 + 0);
    EXPECT_EQ(b.back(), 0x3B);

    GifAnimationReader reader(b);
    EXPECT_TRUE(reader.frame(0).interlaced);
    EXPECT_EQ(reader.frame(0).disposal, 2);
    EXPECT_TRUE(reader.frame(0).userInput);
    const DibPicture frame = reader.decodeFrameIndexed(0);
    EXPECT_EQ(frame.row(0)[1], 1);
    EXPECT_EQ(frame.row(1)[0], 1);
    EXPECT_EQ(frame.palette()[1], (PaletteEntry{4, 5, 6, 0}));

    GifWriter noTransparency;
    noTransparency.putScreen(1, 1, {}, 0);
    noTransparency.putGraphicControl(0, false, 0, 256);
    const auto plain = [&] {
        noTransparency.putImageDescriptor(0, 0, 1, 1, {}, false);
        noTransparency.putPixelLine(std::vector<std::uint8_t>{0});
        return noTransparency.finish();
    }();
    EXPECT_EQ(plain[10], 0) << "no colour table";
    EXPECT_EQ(plain[13 + 3], 0) << "no transparency flag for an index past 255";
}

TEST(GifWriter, RefusesCallsOutOfOrder)
{
    const std::string internal = "內部運作錯誤.";
    const std::vector<std::uint8_t> line = {0, 0};
    GifWriter early;
    EXPECT_EQ(errorOf([&] { early.putImageDescriptor(0, 0, 2, 1, {}, false); }), internal);
    EXPECT_EQ(errorOf([&] { early.putGraphicControl(0, false, 0, -1); }), internal);
    EXPECT_EQ(errorOf([&] { early.putPixelLine(line); }), internal);
    GifWriter w;
    w.putScreen(2, 1, kFourColours, 0);
    EXPECT_EQ(errorOf([&] { w.putScreen(2, 1, kFourColours, 0); }), internal);
    EXPECT_EQ(errorOf([&] { w.putPixelLine(line); }), internal);
    w.putGraphicControl(0, false, 0, -1);
    EXPECT_EQ(errorOf([&] { w.putGraphicControl(0, false, 0, -1); }), internal);
    w.putImageDescriptor(0, 0, 2, 2, {}, false);
    w.putPixelLine(line);
    EXPECT_EQ(errorOf([&] { w.finish(); }), internal) << "a frame still waits for its last row";
    w.putPixelLine(line);
    EXPECT_EQ(errorOf([&] { w.putPixelLine(line); }), internal);
    EXPECT_NO_THROW(w.finish());
}

TEST(GifLzw, RoundTripsAcrossTableResets)
{
    std::mt19937 rng(11);
    for (unsigned bits = 2; bits <= 8; ++bits) {
        SCOPED_TRACE(bits);
        std::vector<std::uint8_t> pixels(40000);
        // Runs and noise, so both long strings and a full table occur.
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = std::uint8_t((i / 300 % 2 ? rng() : i / 7) & ((1u << bits) - 1));
        const auto coded = gifLzwEncode(pixels, bits);
        EXPECT_EQ(coded[0], bits);
        EXPECT_EQ(gifLzwDecode(std::span(coded).subspan(1), bits, pixels.size()), pixels);
    }
    const auto one = gifLzwEncode(std::vector<std::uint8_t>{3}, 2);
    EXPECT_EQ(gifLzwDecode(std::span(one).subspan(1), 2, 1), std::vector<std::uint8_t>{3});
}

TEST(GifEncode, PicturesOfManyColoursAndTransparency)
{
    const DibPicture noise = test::makeNoise(40, 30, 12);
    const DibPicture back = GifAnimationReader(encodeGif(noise)).decodeFrame(0);
    ASSERT_EQ(back.width(), 40u);
    double error = 0;
    for (std::uint32_t y = 0; y < 30; ++y)
        for (std::uint32_t x = 0; x < 40; ++x)
            for (int c = 0; c < 3; ++c)
                error += std::abs(rgbAt(back, x, y)[std::size_t(c)] - rgbAt(noise, x, y)[std::size_t(c)]);
    EXPECT_LT(error / (40 * 30 * 3), 40.0) << "a median-cut palette stays near the colours";

    DibPicture masked = test::makePattern();
    DibPicture withMask(7, 5, 3, true);
    for (std::uint32_t y = 0; y < 5; ++y) {
        std::copy_n(masked.row(y), 21, withMask.row(y));
        for (std::uint32_t x = 0; x < 7; ++x)
            withMask.maskRow(y)[x] = x == 3 ? 0 : 0xFF;
    }
    GifAnimationReader reader(encodeGif(withMask));
    ASSERT_TRUE(reader.frame(0).transparentIndex);
    const DibPicture shown = reader.decodeFrame(0);
    EXPECT_EQ(shown.maskRow(2)[3], 0);
    EXPECT_EQ(shown.maskRow(2)[4], 0xFF);
    EXPECT_EQ(rgbAt(shown, 4, 2), rgbAt(masked, 4, 2));
}

TEST(GifEncode, AnimationsKeepFramesAndDelays)
{
    std::vector<DibPicture> frames;
    for (unsigned i = 0; i < 6; ++i)
        frames.push_back(i % 2 ? test::makePattern() : test::makeNoise(7, 5, i));
    const std::vector<int> delays = {10, 0, 25, 70000, 5, 1};
    GifAnimationReader reader(encodeAnimationGif(frames, delays));
    ASSERT_EQ(reader.frameCount(), 6u);
    EXPECT_EQ(reader.frame(2).delay, 25);
    EXPECT_EQ(reader.frame(3).delay, 0xFFFF) << "delays beyond 16 bits are clamped";
    EXPECT_FALSE(reader.frame(0).localTable.empty());
    EXPECT_TRUE(test::samePixels(reader.decodeFrame(3), test::makePattern()));
    EXPECT_EQ(errorOf([&] { encodeAnimationGif(frames, std::vector<int>{1}); }), "參數錯誤.");
}

TEST(GifReader, OptimisedAnimationsComposeLikeTheirFullFrames)
{
    // The same seven frames as another tool writes them whole, as changed rectangles, with
    // transparency, and with its own choice of disposal methods.
    GifAnimationReader full = GifAnimationReader::open(test::sampleFile("anim_full.gif"));
    ASSERT_EQ(full.frameCount(), 7u);
    for (const char* name : {"anim_opt.gif", "anim_optt.gif", "anim_plus.gif"}) {
        SCOPED_TRACE(name);
        GifAnimationReader optimised = GifAnimationReader::open(test::sampleFile(name));
        ASSERT_EQ(optimised.frameCount(), 7u);
        for (std::size_t i = 0; i < 7; ++i)
            EXPECT_TRUE(test::samePixels(optimised.decodeFrame(i), full.decodeFrame(i))) << "frame " << i;
    }
}
