#include "orka/platform/PeriodicTimer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using orka::platform::makeSystemTimer;
using orka::platform::ManualTimer;
using namespace std::chrono_literals;

namespace {
// Waits (up to two seconds, for a loaded machine) until `done` holds.
template <typename Pred> bool waitFor(Pred done)
{
    const auto until = std::chrono::steady_clock::now() + 2s;
    while (!done() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(1ms);
    return done();
}
} // namespace

TEST(SystemTimer, RunsAtItsPeriodAndStopsWhenAsked)
{
    auto timer = makeSystemTimer();
    EXPECT_EQ(timer->minimumPeriodMs(), 1u);
    std::atomic<int> calls{0};
    ASSERT_TRUE(timer->start(1, [&] { calls.fetch_add(1); }));
    EXPECT_TRUE(timer->running());
    std::this_thread::sleep_for(200ms);
    timer->stop();
    const int seen = calls.load();
    EXPECT_FALSE(timer->running());
    // About 200 calls; a busy machine may lose some, never gain many.
    EXPECT_GT(seen, 50);
    EXPECT_LT(seen, 215);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(calls.load(), seen);
}

TEST(SystemTimer, StopFromInsideTheCallbackEndsTheSeries)
{
    auto timer = makeSystemTimer();
    std::atomic<int> calls{0};
    timer->start(1, [&] {
        if (calls.fetch_add(1) == 4)
            timer->stop();
    });
    EXPECT_TRUE(waitFor([&] { return !timer->running(); }));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(calls.load(), 5);
}

TEST(SystemTimer, RestartFromInsideTheCallback)
{
    auto timer = makeSystemTimer();
    std::atomic<int> first{0};
    std::atomic<int> second{0};
    timer->start(1, [&] {
        first.fetch_add(1);
        timer->stop();
        timer->start(1, [&] { second.fetch_add(1); });
    });
    EXPECT_TRUE(waitFor([&] { return second.load() > 10; }));
    timer->stop();
    EXPECT_EQ(first.load(), 1);
}

TEST(SystemTimer, ZeroPeriodIsTheMinimumAndNoCallbackIsRefused)
{
    auto timer = makeSystemTimer();
    EXPECT_FALSE(timer->start(1, {}));
    std::atomic<int> calls{0};
    timer->start(0, [&] { calls.fetch_add(1); });
    std::this_thread::sleep_for(30ms);
    timer->stop();
    EXPECT_LT(calls.load(), 40);
}

TEST(ManualTimerTest, AdvanceRunsCallbacksUntilStopped)
{
    ManualTimer timer;
    int calls = 0;
    timer.start(2, [&] {
        if (++calls == 3)
            timer.stop();
    });
    EXPECT_EQ(timer.advance(10), 3u);
    EXPECT_EQ(timer.nowMs(), 6u);
    EXPECT_EQ(timer.advance(10), 0u);
}
