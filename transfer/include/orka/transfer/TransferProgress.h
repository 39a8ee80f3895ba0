#pragma once
// The transfer dialog's progress: range and position of the bar, the "%d / %d" count, and
// the 100 ms timer rule. The worker writes, the user-interface thread reads and ticks.
#include <atomic>
#include <functional>
#include <string>

namespace orka::transfer {

class TransferProgress {
public:
    static constexpr int kTimerMs = 100;
    static constexpr int kTickStep = 5;

    // Called on the worker thread each time the count changes (the count label's update).
    using CountChanged = std::function<void(int done, int total)>;

    void reset();
    void setRange(int range) { range_ = range; }
    int range() const { return range_; }
    void setPosition(int position) { position_ = position; }
    int position() const { return position_; }
    void fill() { position_ = range_.load(); }

    void setCount(int done, int total);
    int done() const { return done_; }
    int total() const { return total_; }
    // "%d / %d": items done, items in total.
    std::string countText() const;
    void onCountChanged(CountChanged listener) { countChanged_ = std::move(listener); }

    // Main-menu uploads creep up to 95 % of the range, every other job to 90 %.
    void setCreepLimitPercent(int percent) { creepLimitPercent_ = percent; }
    void startTimer() { timerRunning_ = true; }
    void stopTimer() { timerRunning_ = false; }
    bool timerRunning() const { return timerRunning_; }
    // One timer tick: while the timer runs and the position is below the limit, it grows by 5.
    void tick();

private:
    std::atomic<int> range_{0};
    std::atomic<int> position_{0};
    std::atomic<int> done_{0};
    std::atomic<int> total_{0};
    std::atomic<int> creepLimitPercent_{90};
    std::atomic<bool> timerRunning_{false};
    CountChanged countChanged_; // set before the worker starts
};

} // namespace orka::transfer
