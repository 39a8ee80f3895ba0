// The wave output backends: the WAV file device, the quiet device, pause and restart.
#include "orka/platform/WaveOut.h"
#include "orka/common/ByteOrder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace orka::platform {
namespace {

std::filesystem::path tempWav(const std::string& name)
{
    return std::filesystem::temp_directory_path() / ("orka-waveout-" + std::to_string(::getpid()) + "-" + name + ".wav");
}

std::vector<std::uint8_t> readAll(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) { return orka::common::readLE32(&b.at(at + 3) - 3); }

bool waitFor(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

TEST(WaveOut, FileDeviceRecordsWhatIsWrittenWhileRunningAndHoldsCallbacksWhilePaused)
{
    const auto path = tempWav("record");
    std::vector<std::uint8_t> a(400, 0x11), b(400, 0x22);
    std::atomic<int> done{0};
    {
        auto out = createFileWaveOut(path);
        ASSERT_TRUE(out->open(WaveFormat{}, [&](int) { done.fetch_add(1); }));
        out->prepare(0, a);
        out->prepare(1, b);
        EXPECT_TRUE(out->write(0, 400)); // priming while paused: not recorded
        EXPECT_FALSE(out->write(2, 10)); // never prepared
        EXPECT_FALSE(out->write(1, 401)); // longer than the buffer
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(done.load(), 0); // a paused device reports nothing
        out->restart();
        ASSERT_TRUE(waitFor([&] { return done.load() == 1; }));
        EXPECT_TRUE(out->write(1, 100));
        ASSERT_TRUE(waitFor([&] { return done.load() == 2; }));
        EXPECT_TRUE(out->write(0, 8));
        out->pause();
        out->close();
        EXPECT_FALSE(out->write(0, 8)); // closed
    }
    const auto bytes = readAll(path);
    std::filesystem::remove(path);
    ASSERT_EQ(bytes.size(), 44u + 108u);
    EXPECT_EQ(le32(bytes, 4), 36u + 108u);
    EXPECT_EQ(le32(bytes, 40), 108u);
    EXPECT_EQ(bytes[44], 0x22);
    EXPECT_EQ(bytes[44 + 99], 0x22);
    EXPECT_EQ(bytes[44 + 100], 0x11);
}

TEST(WaveOut, QuietDeviceTakesBuffersAtThePaceOfRealTime)
{
    auto out = createNullWaveOut();
    EXPECT_FALSE(out->audible());
    std::atomic<int> done{0};
    std::vector<std::uint8_t> buffer(8192);
    ASSERT_TRUE(out->open(WaveFormat{}, [&](int) { done.fetch_add(1); }));
    out->prepare(0, buffer);
    const auto start = std::chrono::steady_clock::now();
    out->write(0, buffer.size()); // 2048 frames: about 93 ms
    ASSERT_TRUE(waitFor([&] { return done.load() == 1; }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(80));
    out->close();
}

TEST(WaveOut, DefaultDeviceIsPortAudioWhenThereIsOneElseTheQuietDevice)
{
    auto out = createDefaultWaveOut();
    ASSERT_NE(out, nullptr);
    if (createPortAudioWaveOut()) {
        EXPECT_EQ(out->name(), "portaudio");
        EXPECT_TRUE(out->audible());
    } else {
        EXPECT_EQ(out->name(), "none");
        EXPECT_FALSE(out->audible());
        // The quiet device stands in for a missing one, so it must always open.
        EXPECT_TRUE(out->open(WaveFormat{}, [](int) {}));
    }
    out->close();
}

TEST(WaveOut, WholeWavFile)
{
    const auto path = tempWav("whole");
    const std::vector<std::uint8_t> pcm = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_TRUE(writeWavFile(path, WaveFormat{}, pcm));
    const auto bytes = readAll(path);
    std::filesystem::remove(path);
    ASSERT_EQ(bytes.size(), 52u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(le32(bytes, 24), 22050u);
    EXPECT_EQ(le32(bytes, 28), 88200u);
    EXPECT_EQ(bytes[32], 4);
    EXPECT_EQ(bytes[51], 8);
    EXPECT_FALSE(writeWavFile("/nonexistent-dir/x.wav", WaveFormat{}, pcm));
}

} // namespace
} // namespace orka::platform
