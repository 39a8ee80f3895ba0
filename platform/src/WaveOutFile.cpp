// The file backend: records what the player renders into a RIFF WAVE file, as fast as the
// player renders it.
#include "WaveOutQueue.h"

#include "orka/common/ByteOrder.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>

namespace orka::platform {
namespace {

using common::writeLE16;
using common::writeLE32;

std::array<std::uint8_t, 44> wavHeader(const WaveFormat& f, std::uint32_t dataBytes)
{
    std::array<std::uint8_t, 44> h{};
    std::copy_n("RIFF", 4, h.begin());
    writeLE32(&h[4], 36 + dataBytes);
    std::copy_n("WAVEfmt ", 8, h.begin() + 8);
    writeLE32(&h[16], 16);
    writeLE16(&h[20], 1); // PCM
    writeLE16(&h[22], static_cast<std::uint16_t>(f.channels));
    writeLE32(&h[24], static_cast<std::uint32_t>(f.sampleRate));
    writeLE32(&h[28], static_cast<std::uint32_t>(f.sampleRate * f.bytesPerFrame()));
    writeLE16(&h[32], static_cast<std::uint16_t>(f.bytesPerFrame()));
    writeLE16(&h[34], static_cast<std::uint16_t>(f.bitsPerSample));
    std::copy_n("data", 4, h.begin() + 36);
    writeLE32(&h[40], dataBytes);
    return h;
}

class FileWaveOut final : public QueuedWaveOut {
public:
    explicit FileWaveOut(std::filesystem::path file) : QueuedWaveOut(true), file_(std::move(file)) {}
    ~FileWaveOut() override { close(); }
    bool audible() const override { return false; }
    std::string name() const override { return "file"; }

protected:
    bool openDevice(const WaveFormat& format) override
    {
        out_.open(file_, std::ios::binary | std::ios::trunc);
        if (!out_)
            return false;
        const auto h = wavHeader(format, 0);
        out_.write(reinterpret_cast<const char*>(h.data()), h.size());
        return static_cast<bool>(out_);
    }
    // Buffers written while paused (the priming silence before the first Play) are not music.
    void consume(std::span<const std::uint8_t> bytes, bool writtenWhileRunning) override
    {
        if (!writtenWhileRunning || bytes.empty())
            return;
        const std::uint64_t room = 0xFFFFFFFFull - 36 - dataBytes_;
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), room));
        out_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(n));
        dataBytes_ += n;
    }
    bool drainOnClose() const override { return true; }
    void closeDevice() override
    {
        const auto h = wavHeader(format(), static_cast<std::uint32_t>(dataBytes_));
        out_.seekp(0);
        out_.write(reinterpret_cast<const char*>(h.data()), h.size());
        out_.close();
    }

private:
    std::filesystem::path file_;
    std::ofstream out_;
    std::uint64_t dataBytes_ = 0;
};

} // namespace

std::unique_ptr<WaveOut> createFileWaveOut(const std::filesystem::path& file)
{
    return std::make_unique<FileWaveOut>(file);
}

bool writeWavFile(const std::filesystem::path& file, const WaveFormat& format, std::span<const std::uint8_t> pcm)
{
    if (pcm.size() > 0xFFFFFFFFull - 36)
        return false;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    const auto h = wavHeader(format, static_cast<std::uint32_t>(pcm.size()));
    out.write(reinterpret_cast<const char*>(h.data()), h.size());
    out.write(reinterpret_cast<const char*>(pcm.data()), static_cast<std::streamsize>(pcm.size()));
    return static_cast<bool>(out);
}

} // namespace orka::platform
