// Sound checks on rendered pieces and the end of rendering.
#include "SmafTestUtil.h"

#include <gtest/gtest.h>

namespace orka::smaf::test {
namespace {

TEST(SmafPlayback, NoteSixtyNineOnASineVoiceSoundsAt440Hz)
{
    SmafRenderer r({});
    ASSERT_TRUE(r.start(oneNoteTune(2, 9, 1000)));
    const Rendered out = renderAll(r);
    ASSERT_GT(out.left.size(), 22050u);
    const double f = measuredFrequency(out.left, 2205, 19845);
    EXPECT_NEAR(f, 440.0, 4.4);
    EXPECT_GT(peak(out.left, 2205, 19845), 1000);
}

TEST(SmafPlayback, HardLeftPanPutsTheEnergyOnTheLeft)
{
    SmafRenderer r({});
    ASSERT_TRUE(r.start(oneNoteTune(2, 9, 500, 8, {0x00, 0x3A, 0x00})));
    const Rendered out = renderAll(r);
    EXPECT_GT(energy(out.left), 1e9);
    EXPECT_EQ(energy(out.right), 0.0);
}

TEST(SmafPlayback, ReleaseDecaysToZeroAndRenderingEnds)
{
    SmafRenderer r({});
    ASSERT_TRUE(r.start(oneNoteTune(2, 9, 400, 10)));
    const Rendered out = renderAll(r);
    ASSERT_TRUE(out.ended);
    const std::size_t gateEnd = 400 * 22050 / 1000;
    EXPECT_GT(out.left.size(), gateEnd);
    // Sounding during the gate, quieter and quieter in the release, silent at the very end.
    const int during = peak(out.left, gateEnd - 2000, gateEnd);
    const std::size_t n = out.left.size();
    EXPECT_GT(during, 5000);
    EXPECT_LT(peak(out.left, n - 500, n), during / 50);
    EXPECT_EQ(out.left.back(), 0);
}

TEST(SmafPlayback, StartingPartWayRendersTheTailOfTheWholePiece)
{
    // A pan change at 0, a note at 300 ms; the start at 250 ms falls between them, inside a
    // chunk, and the buffers are not a whole number of chunks.
    Sequence s;
    s.control(0, {0x00, 0x3A, 0x20}).note(75, 0, 2, 9, 50);
    const Bytes piece = smafFile({scoreTrack(1, voiceDefinition(VoiceBytes::sine(8), 0, 0, false), s.end())});
    SmafRenderer whole({});
    ASSERT_TRUE(whole.start(piece));
    const Rendered all = renderAll(whole);
    SmafRenderer part({});
    ASSERT_TRUE(part.start(piece, 250));
    const Rendered tail = renderAll(part);
    const std::size_t from = SmafRenderer::startFrame(250);
    EXPECT_EQ(from % SmafRenderer::kChunkFrames, 0u);
    EXPECT_LE(250 * 22050 / 1000 - from, std::size_t(SmafRenderer::kChunkFrames));
    ASSERT_EQ(tail.left.size() + from, all.left.size());
    EXPECT_TRUE(std::equal(tail.left.begin(), tail.left.end(), all.left.begin() + std::ptrdiff_t(from)));
    EXPECT_TRUE(std::equal(tail.right.begin(), tail.right.end(), all.right.begin() + std::ptrdiff_t(from)));
    EXPECT_GT(energy(tail.left), 1e9);

    SmafRenderer late({});
    EXPECT_FALSE(late.start(piece, 501)); // past the last event, the note's end at 500 ms
    EXPECT_TRUE(late.start(piece, 500));
}

} // namespace
} // namespace orka::smaf::test
