#pragma once
// CSmafPlayer: previews SMAF files through the FM synthesizer on the wave output device.
// The device's thread renders; Play and Stop come from the owner's thread. The song data and
// the synthesizer are shared between them under a lock the render holds for one buffer.
#include "orka/platform/WaveOut.h"
#include "orka/smaf/SmafRenderer.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace orka::smaf {

// The owner learns that playing ended (a window maps this to its own event). Called on the
// thread that stops: the owner's for Stop, the device's at the natural end, never under the
// player's lock, so the owner may call Play from it; it must not destroy the player there.
class SmafPlayerOwner {
public:
    virtual ~SmafPlayerOwner() = default;
    virtual void onSmafEnd() = 0;
};

class CSmafPlayer {
public:
    enum State { kPlaying = 1, kStopped = 2 };
    static constexpr std::size_t kBufferBytes = 8192;

    // Opens the device at once; a device that cannot be opened is replaced by the quiet one.
    CSmafPlayer(SmafPlayerOwner* owner, std::unique_ptr<platform::WaveOut> device,
                std::span<const std::uint8_t> builtinBank, const std::filesystem::path& driversDir);
    // The program's player: our own voice bank, the drivers folder, the default device.
    static std::unique_ptr<CSmafPlayer> createDefault(SmafPlayerOwner* owner);
    ~CSmafPlayer();
    CSmafPlayer(const CSmafPlayer&) = delete;
    CSmafPlayer& operator=(const CSmafPlayer&) = delete;

    void setData(std::span<const std::uint8_t> bytes);
    bool play();
    void stop();
    State state() const { return state_.load(); }
    // Why the last Play failed.
    PrepareError lastError() const { return lastError_.load(); }
    void setLooping(bool on);
    bool deviceAudible() const { return device_ && device_->audible(); }
    std::string deviceName() const { return device_ ? device_->name() : std::string(); }

    // The render entry of the device callback, under the player's lock: fills the buffer.
    RenderResult render(std::uint8_t* buffer, std::size_t bytes);

private:
    void onBufferDone(int buffer);

    SmafPlayerOwner* owner_;
    std::mutex mutex_; // guards everything below up to the device
    SmafRenderer renderer_;
    std::vector<std::uint8_t> data_;
    std::atomic<State> state_{kStopped};
    std::atomic<PrepareError> lastError_{PrepareError::kNone};
    std::vector<std::uint8_t> block_; // the two device buffers
    std::unique_ptr<platform::WaveOut> device_;
};

} // namespace orka::smaf
