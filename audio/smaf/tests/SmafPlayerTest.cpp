// CSmafPlayer with real wave devices: the WAV file backend and the quiet one.
#include "orka/common/ByteOrder.h"
#include "orka/platform/WaveOut.h"
#include "orka/smaf/SmafPlayer.h"
#include "SmafTestUtil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace orka::smaf::test {
namespace {

class Owner final : public SmafPlayerOwner {
public:
    void onSmafEnd() override { ends.fetch_add(1); }
    bool waitForEnd(int count = 1)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (ends.load() < count && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return ends.load() >= count;
    }
    std::atomic<int> ends{0};
};

std::filesystem::path tempFile(const std::string& name)
{
    return std::filesystem::temp_directory_path() / ("orka-smaf-" + std::to_string(::getpid()) + "-" + name);
}

Bytes readFile(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

TEST(SmafPlayer, TheFileDeviceRecordsExactlyThePiece)
{
    const Bytes piece = oneNoteTune(2, 9, 300, 12);
    SmafRenderer reference({});
    ASSERT_TRUE(reference.start(piece));
    const Rendered expected = renderAll(reference);

    const auto wav = tempFile("exact.wav");
    Owner owner;
    {
        CSmafPlayer player(&owner, platform::createFileWaveOut(wav), {}, {});
        EXPECT_EQ(player.deviceName(), "file");
        EXPECT_EQ(player.state(), CSmafPlayer::kStopped);
        player.setData(piece);
        ASSERT_TRUE(player.play());
        ASSERT_TRUE(owner.waitForEnd());
    }
    const Bytes file = readFile(wav);
    std::filesystem::remove(wav);
    ASSERT_GE(file.size(), 44u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(file[22], 2);                      // channels
    EXPECT_EQ(orka::common::readLE16(&file[24]), 22050);  // rate
    EXPECT_EQ(file[34], 16);                     // bits
    const std::size_t frames = (file.size() - 44) / 4;
    ASSERT_EQ(frames, expected.left.size());
    for (std::size_t i = 0; i < frames; i += 97) {
        const auto l = static_cast<std::int16_t>(orka::common::readLE16(&file[44 + 4 * i]));
        ASSERT_EQ(l, expected.left[i]) << i;
    }
}

TEST(SmafPlayer, RefusedDataLeavesThePlayerStoppedAndSaysWhy)
{
    Owner owner;
    CSmafPlayer player(&owner, platform::createFileWaveOut(tempFile("refused.wav")), {}, {});
    EXPECT_FALSE(player.play());
    EXPECT_EQ(player.lastError(), PrepareError::kNotSmaf);
    player.setData(smafFile({scoreTrack(2, {}, {}, 2, false)}));
    EXPECT_FALSE(player.play());
    EXPECT_EQ(player.lastError(), PrepareError::kNoSequenceChunk);
    EXPECT_EQ(player.state(), CSmafPlayer::kStopped);
    EXPECT_EQ(owner.ends.load(), 0);
    std::filesystem::remove(tempFile("refused.wav"));
}

TEST(SmafPlayer, StopTellsTheOwnerAndTheQuietDevicePlaysInRealTime)
{
    Owner owner;
    CSmafPlayer player(&owner, platform::createNullWaveOut(), {}, {});
    EXPECT_FALSE(player.deviceAudible());
    player.setData(oneNoteTune(2, 9, 5000));
    ASSERT_TRUE(player.play());
    EXPECT_EQ(player.state(), CSmafPlayer::kPlaying);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(owner.ends.load(), 0); // a five-second piece is still playing
    player.stop();
    EXPECT_EQ(owner.ends.load(), 1);
    EXPECT_EQ(player.state(), CSmafPlayer::kStopped);
    // A short piece ends by itself after about its length.
    player.setData(oneNoteTune(2, 9, 100, 15));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(owner.waitForEnd(2));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(80));
}

TEST(SmafPlayer, AnUnwritableFileFallsBackToTheQuietDevice)
{
    Owner owner;
    CSmafPlayer player(&owner, platform::createFileWaveOut("/nonexistent-dir/x.wav"), {}, {});
    EXPECT_EQ(player.deviceName(), "none");
}

} // namespace
} // namespace orka::smaf::test
