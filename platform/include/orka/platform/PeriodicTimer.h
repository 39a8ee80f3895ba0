#pragma once
// A periodic timer that calls back on a thread of its own, the stand-in for the 1 ms
// multimedia timer. The system backend sleeps to absolute deadlines, so the callbacks
// keep their rate even when one of them runs long. A manual backend lets tests drive
// time by hand: each advance() runs the callback on the caller's thread.
#include <cstdint>
#include <functional>
#include <memory>

namespace orka::platform {

class PeriodicTimer {
public:
    using Callback = std::function<void()>;

    virtual ~PeriodicTimer() = default;
    // The smallest period the timer supports, in milliseconds (1 here).
    virtual std::uint32_t minimumPeriodMs() const = 0;
    // Starts calling `callback` every `periodMs` milliseconds (at least the minimum).
    // A timer that is running is stopped first. Returns false when it cannot start.
    virtual bool start(std::uint32_t periodMs, Callback callback) = 0;
    // Stops the callbacks. From any other thread it waits until a callback in progress
    // has returned; called from inside the callback it only ends the series.
    virtual void stop() = 0;
    virtual bool running() const = 0;
};

// The clock_nanosleep(TIMER_ABSTIME) thread timer.
std::unique_ptr<PeriodicTimer> makeSystemTimer();

// A timer whose time moves only when the test says so.
class ManualTimer final : public PeriodicTimer {
public:
    std::uint32_t minimumPeriodMs() const override { return 1; }
    bool start(std::uint32_t periodMs, Callback callback) override;
    void stop() override;
    bool running() const override { return running_; }

    // Runs `periods` callbacks (fewer when the callback stops the timer), moving the
    // clock by one period before each. Returns how many callbacks ran.
    std::uint64_t advance(std::uint64_t periods = 1);
    // Milliseconds of manual time since this timer was made.
    std::uint64_t nowMs() const { return nowMs_; }
    std::uint32_t periodMs() const { return periodMs_; }
    std::uint64_t starts() const { return starts_; }

private:
    Callback callback_;
    bool running_ = false;
    std::uint32_t periodMs_ = 1;
    std::uint64_t nowMs_ = 0;
    std::uint64_t starts_ = 0;
};

} // namespace orka::platform
