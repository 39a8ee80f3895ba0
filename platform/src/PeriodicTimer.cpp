#include "orka/platform/PeriodicTimer.h"

#include <atomic>
#include <cerrno>
#include <ctime>
#include <pthread.h>
#include <sched.h>
#include <algorithm>
#include <memory>
#include <mutex>
#include <thread>

namespace orka::platform {

namespace {

constexpr long kNanosPerSecond = 1'000'000'000L;
// When the thread falls further behind than this (a suspended machine, a debugger), it
// starts counting again from now instead of running a burst of catch-up callbacks.
constexpr long long kMaxLagNanos = 100'000'000LL;

long long toNanos(const timespec& t) { return static_cast<long long>(t.tv_sec) * kNanosPerSecond + t.tv_nsec; }
timespec fromNanos(long long n) { return timespec{static_cast<time_t>(n / kNanosPerSecond), static_cast<long>(n % kNanosPerSecond)}; }

// The state of one series of callbacks. A new series gets a new state, so a series
// stopped from inside its own callback can finish on its own while the next one runs.
struct Series {
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> running{true};
};

// Like the multimedia timer's thread, ours asks for real-time priority so a busy desktop
// does not delay the music; without the right to it, it runs at normal priority.
void raisePriority()
{
    sched_param param{};
    param.sched_priority = std::max(1, sched_get_priority_min(SCHED_FIFO) + 10);
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

void runSeries(const std::shared_ptr<Series>& series, std::uint32_t periodMs, const PeriodicTimer::Callback& cb)
{
    raisePriority();
    const long long period = static_cast<long long>(periodMs) * 1'000'000LL;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    long long next = toNanos(now) + period;
    while (!series->stopRequested.load()) {
        timespec due = fromNanos(next);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
        }
        if (series->stopRequested.load())
            break;
        cb();
        next += period;
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (toNanos(now) - next > kMaxLagNanos)
            next = toNanos(now) + period;
    }
    series->running.store(false);
}

class SystemTimer final : public PeriodicTimer {
public:
    ~SystemTimer() override
    {
        stop();
        std::lock_guard lock(mutex_);
        if (thread_.joinable()) // destroyed from inside its own callback
            thread_.detach();
    }

    std::uint32_t minimumPeriodMs() const override { return 1; }

    bool start(std::uint32_t periodMs, Callback callback) override
    {
        stop();
        if (!callback)
            return false;
        std::lock_guard lock(mutex_);
        if (thread_.joinable()) // stopped from inside its own callback: let it finish alone
            thread_.detach();
        auto series = std::make_shared<Series>();
        series_ = series;
        const std::uint32_t period = periodMs < 1 ? 1 : periodMs;
        thread_ = std::thread([series, period, cb = std::move(callback)] { runSeries(series, period, cb); });
        return true;
    }

    void stop() override
    {
        std::thread finished;
        {
            std::lock_guard lock(mutex_);
            if (series_)
                series_->stopRequested.store(true);
            if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
                finished = std::move(thread_);
        }
        // Joined outside the lock: the callback may be calling stop() itself right now.
        if (finished.joinable())
            finished.join();
    }

    bool running() const override
    {
        std::lock_guard lock(mutex_);
        return series_ && series_->running.load() && !series_->stopRequested.load();
    }

private:
    mutable std::mutex mutex_;
    std::thread thread_;
    std::shared_ptr<Series> series_;
};

} // namespace

std::unique_ptr<PeriodicTimer> makeSystemTimer() { return std::make_unique<SystemTimer>(); }

bool ManualTimer::start(std::uint32_t periodMs, Callback callback)
{
    if (!callback)
        return false;
    callback_ = std::move(callback);
    periodMs_ = periodMs < 1 ? 1 : periodMs;
    running_ = true;
    ++starts_;
    return true;
}

void ManualTimer::stop() { running_ = false; }

std::uint64_t ManualTimer::advance(std::uint64_t periods)
{
    std::uint64_t ran = 0;
    for (std::uint64_t i = 0; i < periods && running_; ++i) {
        nowMs_ += periodMs_;
        // Keep the callback alive even if it restarts the timer with a new one.
        Callback cb = callback_;
        cb();
        ++ran;
    }
    return ran;
}

} // namespace orka::platform
