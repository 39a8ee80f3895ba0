// The handset on the virtual IrDA bus: its attribute file and the raw exchange on the socket.
#include "SimProcess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <thread>

using namespace q5test;
using ::testing::ElementsAre;
namespace fs = std::filesystem;

namespace {

class IrdaTest : public ::testing::Test {
protected:
    TempDir home;
    fs::path bus() const { return home.path() / "irda"; }
    fs::path store() const { return home.path() / "store"; }
    std::unique_ptr<SimProcess> start(std::vector<std::string> extra = {})
    {
        std::vector<std::string> args{"--store", store().string(), "--irda", "Q5"};
        args.insert(args.end(), extra.begin(), extra.end());
        return std::make_unique<SimProcess>(home.path(), args);
    }
    // The value of CLASS/ATTRIBUTE in the attribute file, "" when absent.
    std::string attribute(const std::string& cls, const std::string& name) const
    {
        std::istringstream lines(readFile(bus() / "Q5.ias"));
        std::string line;
        while (std::getline(lines, line)) {
            if (line.empty() || line[0] == '#')
                continue;
            std::istringstream fields(line);
            std::string c, a, type, value;
            std::getline(fields, c, '\t');
            std::getline(fields, a, '\t');
            std::getline(fields, type, '\t');
            std::getline(fields, value);
            if (c == cls && a == name)
                return type + " " + value;
        }
        return "";
    }
};

TEST_F(IrdaTest, PublishesAttributesAndAnswersOnTheSocket)
{
    auto sim = start();
    EXPECT_EQ(sim->startLine(), "q5sim: serving IrDA device Q5 at " + (bus() / "Q5.sock").string());
    EXPECT_EQ(attribute("IrDA:IrCOMM", "Parameters"), "octets 000104");
    EXPECT_EQ(attribute("Device", "DeviceName"), "string Q5");
    {
        IrdaClient client(bus() / "Q5.sock");
        EXPECT_THAT(client.command("AT"), ElementsAre("OK"));
        const auto data = pattern(333);
        EXPECT_EQ(writeItem(client, 2, 4, 0, data, 100), "OK");
        EXPECT_EQ(readItem(client, 2, 4, 0), data);
    }
    EXPECT_EQ(sim->stop(), 0);
    EXPECT_FALSE(fs::exists(bus() / "Q5.sock"));
    EXPECT_FALSE(fs::exists(bus() / "Q5.ias"));
}

TEST_F(IrdaTest, OneClientAtATime)
{
    auto sim = start();
    auto first = std::make_unique<IrdaClient>(bus() / "Q5.sock");
    EXPECT_THAT(first->command("AT"), ElementsAre("OK"));
    IrdaClient second(bus() / "Q5.sock");
    second.send("AT^QXFTR=4\r");
    EXPECT_FALSE(second.line(std::chrono::milliseconds(300))); // waits its turn
    first.reset();
    EXPECT_EQ(second.line(), "^QXFTR: 4,30,0,0,30,2097152,20");
    EXPECT_EQ(second.line(), "OK");
}

TEST_F(IrdaTest, AnswersWhatCameBeforeTheClientStoppedSending)
{
    auto sim = start();
    IrdaClient client(bus() / "Q5.sock");
    client.send("AT\rAT^QXDIR=3,1\r");
    ::shutdown(client.fd(), SHUT_WR);
    EXPECT_EQ(client.line(), "OK");
    EXPECT_EQ(client.line(), "^QXDIR: 1");
    EXPECT_EQ(client.line(), "OK");
    EXPECT_TRUE(client.hungUp());
}

TEST_F(IrdaTest, BothLinksShareOneHandset)
{
    auto sim = start({"--com", "7"});
    EXPECT_EQ(sim->startLine(), "q5sim: serving COM7 at " + (home.path() / "dosdevices" / "com7").string()
                                    + ", IrDA device Q5 at " + (bus() / "Q5.sock").string());
    Port cable(home.path() / "dosdevices" / "com7");
    IrdaClient infrared(bus() / "Q5.sock");
    ASSERT_EQ(writeItem(cable, 11, 2, 0, pattern(60)), "OK");
    EXPECT_EQ(readItem(infrared, 11, 2, 0), pattern(60));
    EXPECT_THAT(infrared.command("AT^QXBNW=11,2,0,0"), ElementsAre("OK"));
    EXPECT_THAT(cable.command("AT^QXBNR=11,2,0"), ElementsAre("+CME ERROR: 22"));
}

TEST_F(IrdaTest, AttributeFaultsAtStartAndAtRunTime)
{
    auto sim = start({"--fault", "irda-service-late"});
    EXPECT_EQ(attribute("IrDA:IrCOMM", "Parameters"), "octets 010101000104");
    std::ofstream(store() / "faults") << "irda-no9wire\n";
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(attribute("IrDA:IrCOMM", "Parameters"), "octets 000102");
    std::ofstream(store() / "faults") << "irda-noircomm\n";
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(attribute("IrDA:IrCOMM", "Parameters"), "");
    EXPECT_EQ(attribute("Device", "DeviceName"), "string Q5");
}

TEST_F(IrdaTest, DeepBusFolderBeyondTheSocketAddressLength)
{
    const fs::path deep = home.path() / std::string(60, 'd') / std::string(60, 'e');
    fs::create_directories(deep);
    SimProcess sim(deep, {"--store", (deep / "store").string(), "--irda", "Q5"});
    const fs::path socket = deep / "irda" / "Q5.sock";
    ASSERT_GT(socket.string().size(), 108u);
    EXPECT_EQ(sim.startLine(), "q5sim: serving IrDA device Q5 at " + socket.string());
    IrdaClient client(socket);
    EXPECT_THAT(client.command("AT"), ElementsAre("OK"));
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_FALSE(fs::exists(socket));
}

TEST_F(IrdaTest, LeftoversOfAnEndedHandsetAreReplaced)
{
    // A socket file nobody listens on, and an old attribute file.
    fs::create_directories(bus());
    {
        int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, (bus() / "Q5.sock").c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    std::ofstream(bus() / "Q5.ias") << "IrDA:IrCOMM\tParameters\toctets\t000101\n";
    auto sim = start();
    EXPECT_EQ(attribute("IrDA:IrCOMM", "Parameters"), "octets 000104");
    IrdaClient client(bus() / "Q5.sock");
    EXPECT_THAT(client.command("AT"), ElementsAre("OK"));
}

TEST_F(IrdaTest, LiveDeviceOfTheSameNameIsNotTakenOver)
{
    auto sim = start();
    ASSERT_FALSE(sim->startLine().empty());
    SimProcess second(home.path(), {"--store", (home.path() / "other").string(), "--irda", "Q5"});
    EXPECT_EQ(second.startLine(), "");
    EXPECT_EQ(second.stop(), 1);
    IrdaClient client(bus() / "Q5.sock");
    EXPECT_THAT(client.command("AT"), ElementsAre("OK"));
}

} // namespace
