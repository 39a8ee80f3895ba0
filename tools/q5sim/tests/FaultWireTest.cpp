// What each fault looks like on the wire, from the PC's side of the cable.
#include "SimProcess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

using namespace q5test;
using ::testing::ElementsAre;
namespace fs = std::filesystem;
using Ms = std::chrono::milliseconds;

namespace {

class FaultWireTest : public ::testing::Test {
protected:
    TempDir home;
    fs::path store() const { return home.path() / "store"; }
    fs::path link() const { return home.path() / "dosdevices" / "com2"; }
    std::unique_ptr<SimProcess> start(const std::vector<std::string>& faults)
    {
        std::vector<std::string> args{"--store", store().string(), "--com", "2"};
        for (const auto& f : faults) {
            args.push_back("--fault");
            args.push_back(f);
        }
        return std::make_unique<SimProcess>(home.path(), args);
    }
    void setFaults(const std::string& text)
    {
        fs::create_directories(store());
        const fs::path tmp = store() / "faults.tmp";
        std::ofstream(tmp) << text;
        fs::rename(tmp, store() / "faults");
    }
};

TEST_F(FaultWireTest, EchoPrecedesTheAnswer)
{
    auto sim = start({"echo"});
    Port port(link());
    EXPECT_THAT(port.command("AT^QXDIR=3,1"), ElementsAre("AT^QXDIR=3,1", "^QXDIR: 1", "OK"));
}

TEST_F(FaultWireTest, SilentForTheFirstTwoCommandsThenNormal)
{
    auto sim = start({"silent*2"});
    Port port(link());
    EXPECT_TRUE(port.command("AT", Ms(250)).empty());
    EXPECT_TRUE(port.command("AT", Ms(250)).empty());
    EXPECT_THAT(port.command("AT"), ElementsAre("OK"));
}

TEST_F(FaultWireTest, ErrorAnswersLimitedToOneCommand)
{
    auto sim = start({"cme=22:QXBNR", "cms=321:QXDIR*1", "error:QXFMQ", "full"});
    Port port(link());
    EXPECT_THAT(port.command("AT^QXBNR=2,1,0"), ElementsAre("+CME ERROR: 22"));
    EXPECT_THAT(port.command("AT^QXDIR=2,1"), ElementsAre("+CMS ERROR: 321"));
    EXPECT_EQ(port.command("AT^QXDIR=2,1").back(), "OK");
    EXPECT_THAT(port.command("AT^QXFMQ=2,1"), ElementsAre("ERROR"));
    EXPECT_THAT(port.command("AT^QXBNW=2,1,0,1,1,2,\"00\""), ElementsAre("+CME ERROR: 20"));
    EXPECT_THAT(port.command("AT^QXBNW=2,1,0,0"), ElementsAre("+CME ERROR: 22")); // deletes still run
    EXPECT_THAT(port.command("AT^QXFTR=2"), ElementsAre("^QXFTR: 2,30,0,0,30,4194304,20", "OK"));
}

TEST_F(FaultWireTest, AnswerOfOneOwnText)
{
    auto sim = start({"answer=Error:QXDIR*1", "answer=+CME ERROR 22:QXBNR"});
    Port port(link());
    EXPECT_THAT(port.command("AT^QXDIR=2,2"), ElementsAre("Error"));
    EXPECT_THAT(port.command("AT^QXDIR=2,2"), ElementsAre("OK"));
    port.send("AT^QXBNR=2,1,0\r");
    EXPECT_EQ(port.line(), "+CME ERROR 22");
}

TEST_F(FaultWireTest, LowercaseOk)
{
    auto sim = start({"lowercase-ok"});
    Port port(link());
    EXPECT_THAT(port.command("AT^QXDIR=3,1"), ElementsAre("^QXDIR: 1", "ok"));
}

TEST_F(FaultWireTest, SlowWaitsBeforeEachLine)
{
    auto sim = start({"slow=300:QXFTR"});
    Port port(link());
    const auto begin = std::chrono::steady_clock::now();
    port.send("AT^QXFTR=2\r");
    EXPECT_FALSE(port.line(Ms(200)));
    EXPECT_EQ(port.line().value_or("").substr(0, 8), "^QXFTR: ");
    EXPECT_FALSE(port.line(Ms(200)));
    EXPECT_EQ(port.line(), "OK");
    EXPECT_GE(std::chrono::steady_clock::now() - begin, Ms(600));
    // Other commands are not slowed.
    const auto quick = std::chrono::steady_clock::now();
    EXPECT_THAT(port.command("AT"), ElementsAre("OK"));
    EXPECT_LT(std::chrono::steady_clock::now() - quick, Ms(290));
}

TEST_F(FaultWireTest, DropAfterHangsUpTheCableInTheMiddleOfAWrite)
{
    auto sim = start({"drop-after=2*1"});
    const fs::path before = fs::read_symlink(link());
    {
        Port port(link());
        const auto data = pattern(300); // three blocks
        EXPECT_THAT(port.command("AT^QXBNW=2,1,0,3,1,200,\"" + std::string(200, 'A') + "\""), ElementsAre("OK"));
        EXPECT_THAT(port.command("AT^QXBNW=2,1,0,3,2,200,\"" + std::string(200, 'B') + "\""), ElementsAre("OK"));
        EXPECT_TRUE(port.hungUp());
    }
    // The cable is plugged in again at once, on a fresh terminal; the broken write left nothing.
    Port port(link());
    EXPECT_NE(fs::read_symlink(link()), before);
    EXPECT_THAT(port.command("AT^QXBNW=2,1,0,3,3,200,\"" + std::string(200, 'C') + "\""),
                ElementsAre("+CME ERROR: 3"));
    EXPECT_THAT(port.command("AT^QXDIR=2,2"), ElementsAre("OK"));
}

TEST_F(FaultWireTest, DropAfterClosesTheIrdaClient)
{
    auto sim = std::make_unique<SimProcess>(
        home.path(), std::vector<std::string>{"--store", store().string(), "--irda", "Q5", "--fault", "drop-after=1:QXBNR"});
    const fs::path socket = home.path() / "irda" / "Q5.sock";
    IrdaClient client(socket);
    EXPECT_THAT(client.command("AT"), ElementsAre("OK"));
    EXPECT_THAT(client.command("AT^QXBNR=2,1,0"), ElementsAre("+CME ERROR: 22"));
    EXPECT_TRUE(client.hungUp());
    IrdaClient next(socket);
    EXPECT_THAT(next.command("AT"), ElementsAre("OK"));
}

TEST_F(FaultWireTest, DataReadNumberingAndLengthFaults)
{
    auto sim = start({"block-order*1", "wrong-length:QXBNR"});
    Port port(link());
    ASSERT_EQ(writeItem(port, 7, 1, 0, pattern(250)), "OK");
    auto lines = port.command("AT^QXBNR=7,1,0");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(0, 22), "^QXBNR: 7,1,0,3,1,201,");
    EXPECT_EQ(lines[1].substr(0, 22), "^QXBNR: 7,1,0,3,3,200,");
    EXPECT_EQ(lines[2].substr(0, 22), "^QXBNR: 7,1,0,3,3,100,");
    lines = port.command("AT^QXBNR=7,1,0");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].substr(0, 22), "^QXBNR: 7,1,0,3,2,200,"); // block-order was used up
}

TEST_F(FaultWireTest, LongAndBinaryLinesBeforeTheAnswer)
{
    auto sim = start({"long-line=600*1", "garbage:QXFTR"});
    Port port(link());
    auto lines = port.command("AT");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), 600u);
    EXPECT_EQ(lines[1], "OK");
    lines = port.command("AT^QXFTR=3");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(std::any_of(lines[0].begin(), lines[0].end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }));
    EXPECT_EQ(lines[1], "^QXFTR: 3,1,81,0,1,2097152,20");
}

TEST_F(FaultWireTest, FaultFileChangesFaultsWithoutRestart)
{
    auto sim = start({"error"});
    Port port(link());
    EXPECT_THAT(port.command("AT"), ElementsAre("ERROR"));
    setFaults("cme=13\n");
    EXPECT_THAT(port.command("AT"), ElementsAre("+CME ERROR: 13"));
    setFaults("# nothing\n");
    EXPECT_THAT(port.command("AT"), ElementsAre("OK"));
    fs::remove(store() / "faults");
    EXPECT_THAT(port.command("AT"), ElementsAre("ERROR"));
}

TEST_F(FaultWireTest, BadFaultOptionIsAUsageError)
{
    SimProcess sim(home.path(), {"--store", store().string(), "--com", "2", "--fault", "cme"});
    EXPECT_EQ(sim.startLine(), "");
    EXPECT_EQ(sim.stop(), 2);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link())));
}

} // namespace
