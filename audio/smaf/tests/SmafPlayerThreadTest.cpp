// Play and Stop from one thread while the device thread renders: the song data changes hands
// under the player's lock. Built a second time with ThreadSanitizer.
#include "orka/platform/WaveOut.h"
#include "orka/smaf/SmafPlayer.h"
#include "orka/testing/SmafBuilder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace orka::smaf::test {
namespace {

class CountingOwner final : public SmafPlayerOwner {
public:
    void onSmafEnd() override { ends.fetch_add(1); }
    std::atomic<int> ends{0};
};

Bytes shortPiece(int notes)
{
    Bytes setup = voiceDefinition(VoiceBytes::sine(15), 0, 0, false);
    Sequence s;
    for (int i = 0; i < notes; ++i)
        s.note(i == 0 ? 0 : 3, i % 4, 1 + i % 2, 1 + i % 12, 2);
    return smafFile({scoreTrack(1, setup, s.end())});
}

TEST(SmafPlayerThreads, PlayAndStopWhileTheDeviceRenders)
{
    const auto wav = std::filesystem::temp_directory_path() /
                     ("orka-smaf-threads-" + std::to_string(::getpid()) + ".wav");
    CountingOwner owner;
    {
        // The file device renders as fast as it can, so the two threads meet often.
        CSmafPlayer player(&owner, platform::createFileWaveOut(wav), {}, {});
        const Bytes a = shortPiece(400);
        const Bytes b = shortPiece(5);
        int started = 0;
        for (int round = 0; round < 200; ++round) {
            player.setData(round % 2 ? a : b);
            if (player.play())
                ++started;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            if (round % 3 == 0)
                player.stop();
        }
        EXPECT_EQ(started, 200);
        player.stop();
    }
    EXPECT_GE(owner.ends.load(), 200 / 3);
    std::filesystem::remove(wav);
}

TEST(SmafPlayerThreads, NaturalEndIsReportedFromTheDeviceThread)
{
    const auto wav = std::filesystem::temp_directory_path() /
                     ("orka-smaf-end-" + std::to_string(::getpid()) + ".wav");
    CountingOwner owner;
    CSmafPlayer player(&owner, platform::createFileWaveOut(wav), {}, {});
    player.setData(shortPiece(3));
    ASSERT_TRUE(player.play());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (owner.ends.load() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(owner.ends.load(), 1);
    EXPECT_EQ(player.state(), CSmafPlayer::kStopped);
    std::filesystem::remove(wav);
}

} // namespace
} // namespace orka::smaf::test
