// Several copies started as a user would start them, each its own process.
#include "orka/testing/ChildProcess.h"
#include "orka/testing/ToolRunner.h"

#include <gtest/gtest.h>

#include <thread>

using namespace orka::testing;

namespace {
class SingleInstanceTest : public ::testing::Test {
protected:
    std::string env() const { return "ORKA_HOME=" + home.path().string(); }
    ToolRun startCopy(const std::string& args) const
    {
        return runShell("export " + env() + "; " + shellQuote(copy.string()) + " " + args);
    }
    // Starts one copy and waits until it ends; its line says how its start ended.
    std::string startAndWait(const std::string& args) const
    {
        const auto run = startCopy(args);
        EXPECT_EQ(run.code, 0);
        EXPECT_EQ(run.err, "");
        return run.out;
    }
    std::unique_ptr<ChildProcess> startFirst(long windowAfterMs) const
    {
        return std::make_unique<ChildProcess>(
            copy.string(),
            std::vector<std::string>{"--window-after", std::to_string(windowAfterMs), "--raised-file", raised.string()},
            std::vector<std::string>{env()});
    }
    int raisedCount() const
    {
        const std::string text = readText(raised);
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }
    ScratchDir home{"orka-instances"};
    std::filesystem::path copy = testBinary("instance_copy");
    std::filesystem::path raised = home.path() / "raised.txt";
};
} // namespace

TEST_F(SingleInstanceTest, ThreeCopiesStarted)
{
    auto first = startFirst(800);
    ASSERT_EQ(first->firstLine(), "run");
    // The second waits for the first copy's window; a third started meanwhile ends at once.
    const auto both = startAndWait("--wait 10000 > " + shellQuote((home.path() / "second.txt").string()) +
                                   " & sleep 0.3; " + shellQuote(copy.string()) + " --wait 10000; wait");
    EXPECT_EQ(both, "ended\n");
    EXPECT_EQ(readText(home.path() / "second.txt"), "handed-over\n");
    EXPECT_EQ(raisedCount(), 1);
    // The counter is back at 1: the next copy is a second one again.
    EXPECT_EQ(startAndWait("--wait 10000"), "handed-over\n");
    EXPECT_EQ(raisedCount(), 2);
    EXPECT_EQ(first->stop(), 0);
    // No copy left: the next one runs.
    auto next = startFirst(0);
    EXPECT_EQ(next->firstLine(), "run");
}

TEST_F(SingleInstanceTest, ASecondCopyGivesUpWhenTheFirstNeverShowsItsWindow)
{
    auto first = startFirst(60000);
    ASSERT_EQ(first->firstLine(), "run");
    EXPECT_EQ(startAndWait("--wait 300"), "ended\n");
    EXPECT_EQ(raisedCount(), 0);
}

TEST_F(SingleInstanceTest, ACrashedCopyDoesNotCountAnyMore)
{
    for (int i = 0; i < 2; ++i) {
        const auto crashed = startCopy("--crash");
        EXPECT_EQ(crashed.out, "run\n");
        EXPECT_NE(crashed.code, 0);
    }
    auto first = startFirst(0);
    EXPECT_EQ(first->firstLine(), "run");
}
