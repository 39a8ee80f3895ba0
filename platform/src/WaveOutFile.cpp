// The file backend: records what the player renders into a RIFF WAVE file, as fast as the
// player renders it.
#include "WaveOutQueue.h"

#include "orka/common/ByteOrder.h"
#include "orka/platform/StatePaths.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <optional>

namespace orka::platform {
namespace {

using common::writeLE16;
using common::writeLE32;

// The RIFF sizes are 32-bit: the data chunk holds at most this much after the header's 36 bytes.
constexpr std::uint64_t kMaxWavData = 0xFFFFFFFFull - 36;

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
    FileWaveOut(std::filesystem::path file, FileWaveClosed closed)
        : QueuedWaveOut(true), file_(std::move(file)), closed_(std::move(closed))
    {
    }
    ~FileWaveOut() override { close(); }
    bool audible() const override { return false; }
    std::string name() const override { return "file"; }
    void restart() override
    {
        ran_.store(true);
        QueuedWaveOut::restart();
    }

protected:
    bool openDevice(const WaveFormat& format) override
    {
        writer_.emplace(file_);
        const auto h = wavHeader(format, 0);
        return writer_->write(h.data(), h.size());
    }
    // Buffers written while paused (the priming silence before the first Play) are not music.
    void consume(std::span<const std::uint8_t> bytes, bool writtenWhileRunning) override
    {
        if (!writtenWhileRunning || bytes.empty())
            return;
        const std::uint64_t room = kMaxWavData - dataBytes_;
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), room));
        writer_->write(bytes.data(), n);
        dataBytes_ += n;
    }
    bool drainOnClose() const override { return true; }
    // The file takes its name only when the device ran and every byte reached the disk; a
    // device closed without running (the player refused the data) leaves nothing behind.
    void closeDevice() override
    {
        std::string error;
        if (ran_.load()) {
            const auto h = wavHeader(format(), static_cast<std::uint32_t>(dataBytes_));
            if (!(writer_->writeAt(0, h.data(), h.size()) && writer_->commit()))
                error = writer_->error().empty() ? "not written" : writer_->error();
        } else {
            writer_->discard();
            error = "nothing was played";
        }
        writer_.reset();
        if (closed_)
            closed_(error);
    }

private:
    std::filesystem::path file_;
    FileWaveClosed closed_;
    std::optional<AtomicFileWriter> writer_;
    std::atomic<bool> ran_{false};
    std::uint64_t dataBytes_ = 0;
};

} // namespace

std::unique_ptr<WaveOut> createFileWaveOut(const std::filesystem::path& file, FileWaveClosed closed)
{
    return std::make_unique<FileWaveOut>(file, std::move(closed));
}

bool writeWavFile(const std::filesystem::path& file, const WaveFormat& format, std::span<const std::uint8_t> pcm)
{
    if (pcm.size() > kMaxWavData)
        return false;
    AtomicFileWriter writer(file);
    const auto h = wavHeader(format, static_cast<std::uint32_t>(pcm.size()));
    return writer.write(h.data(), h.size()) && writer.write(pcm.data(), pcm.size()) && writer.commit();
}

} // namespace orka::platform
