#pragma once
// Shared machinery of the wave output backends: the queue of written buffers and the device
// thread that plays them one after the other and reports each one played.
#include "orka/platform/WaveOut.h"

#include <array>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace orka::platform {

class QueuedWaveOut : public WaveOut {
public:
    ~QueuedWaveOut() override;

    bool open(const WaveFormat& format, BufferDone done) final;
    void prepare(int buffer, std::span<std::uint8_t> memory) final;
    bool write(int buffer, std::size_t bytes) final;
    void pause() final;
    void restart() override;
    void close() final;

protected:
    explicit QueuedWaveOut(bool startPaused) : paused_(startPaused) {}
    // Opens the device itself (called once from open()).
    virtual bool openDevice(const WaveFormat& format) = 0;
    // Plays bytes, blocking until the device has taken them or stopping() turns true.
    // writtenWhileRunning is false for a buffer written while the device was paused.
    virtual void consume(std::span<const std::uint8_t> bytes, bool writtenWhileRunning) = 0;
    virtual void closeDevice() {}
    // True when buffers still queued at close() must be consumed (a file must not lose its end).
    virtual bool drainOnClose() const { return false; }
    bool stopping() const;
    const WaveFormat& format() const { return format_; }
    // Waits up to the deadline or until close(); false when closing.
    template <typename Clock, typename Duration>
    bool sleepUntil(const std::chrono::time_point<Clock, Duration>& deadline)
    {
        std::unique_lock lock(mutex_);
        return !wake_.wait_until(lock, deadline, [this] { return stop_; });
    }

private:
    void run();

    static constexpr int kMaxBuffers = 8;
    WaveFormat format_;
    BufferDone done_;
    std::array<std::span<std::uint8_t>, kMaxBuffers> buffers_{};
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    struct Written {
        int buffer;
        std::size_t bytes;
        bool whileRunning;
    };
    std::deque<Written> queue_;
    std::deque<int> heldDone_; // played while paused, reported on restart
    bool paused_;
    bool stop_ = false;
    bool opened_ = false;
    std::thread thread_;
};

} // namespace orka::platform
