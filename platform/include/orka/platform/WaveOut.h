#pragma once
// Wave output: 16-bit PCM played from buffers the caller owns. The caller prepares its
// buffers once, writes them to the device, and is told on the device's own thread each time
// one has been played, so it can refill and write it again.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace orka::platform {

struct WaveFormat {
    int sampleRate = 22050;
    int channels = 2;
    int bitsPerSample = 16;
    int bytesPerFrame() const { return channels * bitsPerSample / 8; }
};

class WaveOut {
public:
    // Called on the device's thread with the index of a buffer that has been played.
    using BufferDone = std::function<void(int buffer)>;

    virtual ~WaveOut() = default;

    // Opens the device; false when it cannot be used.
    virtual bool open(const WaveFormat& format, BufferDone done) = 0;
    // Registers buffer memory under an index; it must stay valid until close().
    virtual void prepare(int buffer, std::span<std::uint8_t> memory) = 0;
    // Queues the first `bytes` bytes of a prepared buffer for playing.
    virtual bool write(int buffer, std::size_t bytes) = 0;
    // Pause: buffers already queued are still played, then the device waits for restart().
    virtual void pause() = 0;
    virtual void restart() = 0;
    // Stops the device thread; no callback runs after close() returns.
    virtual void close() = 0;

    // False for the quiet backend that stands in when there is no sound device.
    virtual bool audible() const = 0;
    virtual std::string name() const = 0;
};

// PortAudio on the default output device, or nullptr when there is none.
std::unique_ptr<WaveOut> createPortAudioWaveOut();
// No device: buffers are consumed in real time and nothing is heard.
std::unique_ptr<WaveOut> createNullWaveOut();
// Told once, when a file device closes, why its file was not put in place (empty when it was).
using FileWaveClosed = std::function<void(const std::string& error)>;
// Writes a RIFF WAVE file of what is written while the device runs (from restart() until
// pause()), as fast as the caller renders. The file appears whole at close(), and only when
// the device ran: a device closed without running, or a write that failed, leaves an old file
// of that name as it was and no new one.
std::unique_ptr<WaveOut> createFileWaveOut(const std::filesystem::path& file, FileWaveClosed closed = {});
// The default device: PortAudio when a device can be opened, else the quiet backend.
std::unique_ptr<WaveOut> createDefaultWaveOut();

// Writes a whole RIFF WAVE file of 16-bit PCM, all or nothing.
bool writeWavFile(const std::filesystem::path& file, const WaveFormat& format, std::span<const std::uint8_t> pcm);

} // namespace orka::platform
