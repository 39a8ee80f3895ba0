// The running-copies counter and the channel that brings the first copy forward.
#include "orka/platform/InstanceChannel.h"
#include "orka/platform/InstanceCounter.h"
#include "orka/testing/ToolRunner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <algorithm>
#include <fstream>
#include <memory>
#include <thread>
#include <unistd.h>

using namespace orka::platform;
namespace fs = std::filesystem;

namespace {
std::string uniqueName(const char* what)
{
    return std::string("test-") + what + "-" + std::to_string(::getpid());
}
} // namespace

TEST(InstanceCounter, CountsJoinsAndStartsAfreshWhenNoneIsLeft)
{
    const std::string name = uniqueName("count");
    {
        InstanceCounter first(name);
        ASSERT_TRUE(first.joined());
        EXPECT_EQ(first.joinValue(), 1);
        auto second = std::make_unique<InstanceCounter>(name);
        EXPECT_EQ(second->joinValue(), 2);
        InstanceCounter third(name);
        EXPECT_EQ(third.joinValue(), 3);
        second->store(1);
        EXPECT_EQ(first.current(), 1);
        second.reset();
        // Leaving does not count down: only "no one left" does.
        EXPECT_EQ(first.current(), 1);
        InstanceCounter fourth(name);
        EXPECT_EQ(fourth.joinValue(), 2);
    }
    InstanceCounter again(name);
    EXPECT_EQ(again.joinValue(), 1);
}

TEST(InstanceCounter, SimultaneousJoinsEachGetTheirOwnValue)
{
    const std::string name = uniqueName("race");
    constexpr int kThreads = 8;
    std::vector<std::unique_ptr<InstanceCounter>> counters(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] { counters[i] = std::make_unique<InstanceCounter>(name); });
    for (auto& t : threads)
        t.join();
    std::vector<int> values;
    for (auto& c : counters)
        values.push_back(c->joinValue());
    std::sort(values.begin(), values.end());
    for (int i = 0; i < kThreads; ++i)
        EXPECT_EQ(values[i], i + 1);
}

namespace {
class ChannelTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("ORKA_HOME", scratch.path().c_str(), 1); }
    orka::testing::ScratchDir scratch{"orka-channel"};
};
} // namespace

TEST_F(ChannelTest, AskingBringsTheOwnerForwardOncePerRequest)
{
    InstanceChannel owner("奧卡  手機桌台 -- Q5");
    InstanceChannel other("奧卡  手機桌台 -- Q5");
    EXPECT_FALSE(other.askToComeForward()) << "nobody answers yet";
    std::atomic<int> raised{0};
    ASSERT_TRUE(owner.listen([&] { ++raised; }));
    EXPECT_TRUE(other.askToComeForward());
    EXPECT_TRUE(other.askToComeForward());
    EXPECT_EQ(raised, 2);
    InstanceChannel rival("奧卡  手機桌台 -- Q5");
    EXPECT_FALSE(rival.listen([] {})) << "a live owner keeps its title";
    InstanceChannel otherTitle("another window");
    EXPECT_FALSE(otherTitle.askToComeForward());
    owner.stop();
    EXPECT_FALSE(other.askToComeForward());
    EXPECT_FALSE(fs::exists(owner.address()));
}

TEST_F(ChannelTest, ASocketLeftByACrashIsTakenOver)
{
    InstanceChannel owner("title/with slash");
    // What a crashed owner leaves: a bound socket file with no one listening behind it.
    fs::create_directories(owner.address().parent_path());
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, owner.address().c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);
    EXPECT_EQ(owner.address().parent_path().filename(), "windows");

    std::atomic<int> raised{0};
    ASSERT_TRUE(owner.listen([&] { ++raised; }));
    EXPECT_TRUE(InstanceChannel("title/with slash").askToComeForward());
    EXPECT_EQ(raised, 1);
}
