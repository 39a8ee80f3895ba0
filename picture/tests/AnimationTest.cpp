#include "TestPictures.h"
#include "orka/picture/Animation.h"
#include "orka/picture/PictureError.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

using namespace orka;

namespace {

// An animated GIF of `delays.size()` 4 x 3 frames, frame i filled with colour index i % 4.
std::vector<std::uint8_t> animatedGif(const std::vector<int>& delays)
{
    const std::vector<GifColor> table = {{255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}, {255, 255, 255, 0}};
    GifWriter w;
    w.putScreen(4, 3, table, 0);
    for (std::size_t i = 0; i < delays.size(); ++i) {
        w.putGraphicControl(1, false, std::uint16_t(delays[i]), -1);
        w.putImageDescriptor(0, 0, 4, 3, {}, false);
        const std::vector<std::uint8_t> line(4, std::uint8_t(i % 4));
        for (int y = 0; y < 3; ++y)
            w.putPixelLine(line);
    }
    return w.finish();
}

FrameSelection sel(int a, int b, int c, int d, int e) { return {a, b, c, d, e}; }

} // namespace

TEST(AnimationOpen, FewerThanFiveFramesAreRefused)
{
    try {
        Animation::fromBytes(animatedGif({10, 10, 10, 10}));
        FAIL();
    } catch (const PictureError& e) {
        EXPECT_STREQ(e.what(), "非有效動畫檔案，畫格數少於5。");
    }
    Animation five = Animation::fromBytes(animatedGif({1, 2, 3, 4, 5}));
    EXPECT_EQ(five.frameCount(), 5);
    EXPECT_EQ(five.delays(), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(test::rgbAt(five.picture(2), 3, 2), (std::array<int, 3>{0, 0, 255}));
    EXPECT_EQ(&five.picture(2), &five.picture(2)) << "decoded once and kept";
}

TEST(AnimationOpen, ReadsAFileFromAnotherTool)
{
    Animation a = Animation::open(test::sampleFile("anim6.gif"));
    EXPECT_EQ(a.delays(), (std::vector<int>{10, 10, 10, 10, 10, 50}));
    EXPECT_EQ(test::rgbAt(a.picture(5), 0, 0), (std::array<int, 3>{255, 0, 255}));
    EXPECT_EQ(test::rgbAt(a.picture(0), 0, 0), (std::array<int, 3>{255, 0, 0}));
}

TEST(FrameRules, FirstFiveAndAverageCount)
{
    EXPECT_EQ(selectFirstFive(), sel(0, 1, 2, 3, 4));
    EXPECT_EQ(selectByAverageCount(6), sel(0, 1, 2, 3, 4));
    EXPECT_EQ(selectByAverageCount(10), sel(0, 2, 4, 6, 8));
    EXPECT_EQ(selectByAverageCount(12), sel(0, 2, 4, 7, 9));
    EXPECT_EQ(selectByAverageCount(100), sel(0, 20, 40, 60, 80));
}

TEST(FrameRules, AverageTimeWithEqualDelays)
{
    EXPECT_EQ(selectByAverageTime(std::vector<int>(10, 10)), sel(1, 3, 5, 7, 9));
    EXPECT_EQ(selectByAverageTime(std::vector<int>(6, 10)), sel(1, 2, 3, 4, 5));
    EXPECT_EQ(selectByAverageTime(std::vector<int>(12, 10)), sel(2, 4, 7, 9, 11));
    // Equal delays reach 20 %, 40 %, ... of the time at frame ceil(k n / 5) - 1.
    for (int n = 6; n <= 40; ++n) {
        const FrameSelection chosen = selectByAverageTime(std::vector<int>(std::size_t(n), 10));
        for (int k = 1; k <= 5; ++k)
            EXPECT_EQ(chosen[std::size_t(k - 1)], (k * n + 4) / 5 - 1) << "n " << n << " k " << k;
    }
}

TEST(FrameRules, AverageTimeFillsRepeatsFromTheEnd)
{
    EXPECT_EQ(selectByAverageTime(std::vector<int>{10, 10, 10, 10, 10, 50}), sel(1, 2, 3, 4, 5));
    // All delays 0: every round takes frame 0, the rest come from the end.
    EXPECT_EQ(selectByAverageTime(std::vector<int>(6, 0)), sel(0, 2, 3, 4, 5));
    // A total of 3 makes the fifth target 3.0000000000000004, past the last frame's sum;
    // the walk ends on the last frame even though its delay is 0.
    EXPECT_EQ(selectByAverageTime(std::vector<int>{1, 1, 1, 0, 0, 0}), sel(0, 1, 2, 4, 5));
}

TEST(FrameRules, SelectorKeepsItsModeAndClears)
{
    FrameSelector selector;
    const std::vector<int> delays(12, 10);
    EXPECT_EQ(selector.mode(), SelectionMode::None);
    EXPECT_FALSE(selector.selection());
    EXPECT_TRUE(selector.choose(SelectionMode::ByAverageCount, delays));
    EXPECT_EQ(selector.selection(), sel(0, 2, 4, 7, 9));
    EXPECT_FALSE(selector.choose(SelectionMode::ByAverageCount, delays)) << "the mode already in force";
    EXPECT_TRUE(selector.choose(SelectionMode::ByAverageTime, delays));
    EXPECT_EQ(selector.selection(), sel(2, 4, 7, 9, 11));
    EXPECT_EQ(selector.previewFrames(12), (std::vector<int>{2, 4, 7, 9, 11}));
    selector.clear();
    EXPECT_EQ(selector.previewFrames(3), (std::vector<int>{0, 1, 2})) << "no rule: every frame";
    EXPECT_EQ(selector.mode(), SelectionMode::None);
    EXPECT_FALSE(selector.selection());
    // Exactly five frames: every rule takes all of them.
    for (auto mode : {SelectionMode::FirstFive, SelectionMode::ByAverageCount, SelectionMode::ByAverageTime}) {
        FrameSelector five;
        five.choose(mode, std::vector<int>{5, 0, 90, 1, 3});
        EXPECT_EQ(five.selection(), sel(0, 1, 2, 3, 4));
    }
}

TEST(Playback, TenMillisecondSteps)
{
    PlaybackClock clock({2, 0, 1});
    EXPECT_EQ(clock.current(), 0);
    EXPECT_FALSE(clock.step());
    EXPECT_EQ(clock.elapsedMs(), 10);
    EXPECT_TRUE(clock.step()) << "20 ms reaches a delay of 2";
    EXPECT_EQ(clock.current(), 1);
    EXPECT_EQ(clock.elapsedMs(), 0);
    EXPECT_TRUE(clock.step()) << "a delay-0 frame is shown for one step";
    EXPECT_EQ(clock.current(), 2);
    EXPECT_TRUE(clock.step());
    EXPECT_EQ(clock.current(), 0) << "after the last, the first";
}

TEST(Playback, WorkerThreadStartsFramesAndStops)
{
    AnimationPlayer player;
    std::mutex m;
    std::condition_variable cv;
    std::vector<int> started;
    EXPECT_FALSE(player.start({}, nullptr));
    ASSERT_TRUE(player.start({1, 0, 1}, [&](int frame) {
        std::lock_guard lock(m);
        started.push_back(frame);
        cv.notify_all();
    }));
    EXPECT_TRUE(player.playing());
    EXPECT_FALSE(player.start({1}, nullptr)) << "only one playback at a time";
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(5), [&] { return started.size() >= 5; }));
    }
    player.stop();
    player.join();
    EXPECT_FALSE(player.playing());
    std::lock_guard lock(m);
    ASSERT_GE(started.size(), 5u);
    EXPECT_EQ(std::vector<int>(started.begin(), started.begin() + 5), (std::vector<int>{0, 1, 2, 0, 1}));
}

TEST(ShrinkEnlarge, CopiesShrinkAndAreBuiltOnce)
{
    const DibPicture picture = test::makeNoise(90, 45, 8);
    ShrinkEnlargeEffect effect;
    const auto& copies = effect.copies(picture);
    ASSERT_EQ(copies.size(), std::size_t(ShrinkEnlargeEffect::kCopies));
    for (std::size_t i = 1; i < copies.size(); ++i) {
        EXPECT_LT(copies[i].width(), copies[i - 1].width());
        EXPECT_LE(copies[i].height(), copies[i - 1].height());
    }
    EXPECT_EQ(copies.front().width(), 80u);
    EXPECT_EQ(copies.back().width(), 10u);
    EXPECT_EQ(&effect.copies(picture), &copies);
    const auto drawings = effect.drawings(picture, 100, 50);
    ASSERT_EQ(drawings.size(), copies.size() + 1);
    EXPECT_EQ(drawings.back().picture, &picture) << "the picture itself comes last";
    EXPECT_EQ(drawings.back().left, 5);
    EXPECT_EQ(drawings[copies.size() - 1].left, 45);
    EXPECT_EQ(drawings[copies.size() - 1].top, 22);

    DibPicture two(2, 2, 3);
    test::setRgb(two, 0, 0, 0, 0, 0);
    test::setRgb(two, 1, 0, 100, 100, 100);
    test::setRgb(two, 0, 1, 200, 200, 200);
    test::setRgb(two, 1, 1, 99, 99, 99);
    EXPECT_EQ(test::rgbAt(scalePicture(two, 1, 1), 0, 0), (std::array<int, 3>{100, 100, 100}));
    const DibPicture tiny = test::makeNoise(1, 1, 2);
    ShrinkEnlargeEffect small;
    for (const auto& copy : small.copies(tiny))
        EXPECT_EQ(copy.width(), 1u);
}
