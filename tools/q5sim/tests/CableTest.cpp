// The real q5sim over its pseudo-terminal, driven with plain termios as the PC does.
#include "SimProcess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <thread>

using namespace q5test;
using ::testing::ElementsAre;
namespace fs = std::filesystem;

namespace {

class CableTest : public ::testing::Test {
protected:
    TempDir home;
    fs::path store() const { return home.path() / "store"; }
    fs::path link() const { return home.path() / "dosdevices" / "com3"; }
    std::unique_ptr<SimProcess> start(std::vector<std::string> extra = {})
    {
        std::vector<std::string> args{"--store", store().string(), "--com", "3", "--log",
                                      (home.path() / "sim.log").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return std::make_unique<SimProcess>(home.path(), args);
    }
};

TEST_F(CableTest, ServesARawTerminalThroughTheComLinkAndCleansUp)
{
    auto sim = start();
    EXPECT_EQ(sim->startLine(), "q5sim: serving COM3 at " + link().string());
    ASSERT_TRUE(fs::is_symlink(link()));
    const fs::path target = fs::read_symlink(link());
    EXPECT_EQ(target.string().rfind("/dev/pts/", 0), 0u);
    {
        Port port(link());
        EXPECT_THAT(port.command("AT"), ElementsAre("OK"));
        EXPECT_THAT(port.command("AT^QXFTR=2"), ElementsAre("^QXFTR: 2,30,0,0,30,4194304,20", "OK"));
        // Raw mode: no echo of what the PC sends, CR LF taken as one line end.
        port.send("AT\r\nAT\r\n");
        EXPECT_EQ(port.line(), "OK");
        EXPECT_EQ(port.line(), "OK");
        EXPECT_FALSE(port.line(std::chrono::milliseconds(150)));
    }
    EXPECT_EQ(sim->stop(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link())));
    const std::string log = readFile(home.path() / "sim.log");
    EXPECT_NE(log.find("COM3 <- AT^QXFTR=2"), std::string::npos);
    EXPECT_NE(log.find("COM3 -> ^QXFTR: 2,30,0,0,30,4194304,20"), std::string::npos);
}

TEST_F(CableTest, StaleLinkIsReplaced)
{
    fs::create_directories(link().parent_path());
    fs::create_symlink("/dev/pts/nowhere", link());
    auto sim = start();
    ASSERT_FALSE(sim->startLine().empty());
    Port port(link());
    EXPECT_THAT(port.command("AT"), ElementsAre("OK"));
}

TEST_F(CableTest, LinkToARealPortIsLeftAlone)
{
    fs::create_directories(link().parent_path());
    fs::create_symlink("/dev/null", link());
    SimProcess sim(home.path(), {"--store", store().string(), "--com", "3"});
    EXPECT_EQ(sim.startLine(), "");
    EXPECT_EQ(sim.stop(), 1);
    EXPECT_EQ(fs::read_symlink(link()), "/dev/null");
}

TEST_F(CableTest, WriteInBlocksReadsBackByteExact)
{
    auto sim = start();
    Port port(link());
    const auto data = pattern(250);
    EXPECT_EQ(writeItem(port, 2, 1, 0, data), "OK");
    auto lines = port.command("AT^QXBNR=2,1,0");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(0, 23), "^QXBNR: 2,1,0,3,1,200,\"");
    EXPECT_EQ(lines[2].substr(0, 23), "^QXBNR: 2,1,0,3,3,100,\"");
    EXPECT_EQ(readItem(port, 2, 1, 0), data);
    // Infrared-sized blocks and a larger ring tone; every byte value travels.
    std::vector<std::uint8_t> all(4096);
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(writeItem(port, 7, 40, 0, all, 100), "OK");
    EXPECT_EQ(readItem(port, 7, 40, 0), all);
    EXPECT_EQ(fs::file_size(store() / "store7" / "item40" / "part0.bin"), 4096u);
}

TEST_F(CableTest, DeleteAndIndexLists)
{
    auto sim = start();
    Port port(link());
    for (int index : {2, 5, 9})
        ASSERT_EQ(writeItem(port, 4, index, 0, pattern(10, static_cast<unsigned>(index))), "OK");
    EXPECT_THAT(port.command("AT^QXDIR=4,2"), ElementsAre("^QXDIR: 2,5,9", "OK"));
    auto free = port.command("AT^QXDIR=4,1");
    ASSERT_EQ(free.size(), 3u);
    EXPECT_EQ(free[0], "^QXDIR: 1,3,4,6,7,8,10,11,12,13,14,15,16,17,18,19,20,21,22,23");
    EXPECT_EQ(free[1], "^QXDIR: 24,25,26,27,28,29,30");
    EXPECT_THAT(port.command("AT^QXBNW=4,5,0,0"), ElementsAre("OK"));
    EXPECT_THAT(port.command("AT^QXBNW=4,5,0,0"), ElementsAre("+CME ERROR: 22"));
    EXPECT_THAT(port.command("AT^QXBNR=4,5,0"), ElementsAre("+CME ERROR: 22"));
    EXPECT_THAT(port.command("AT^QXDIR=4,2"), ElementsAre("^QXDIR: 2,9", "OK"));
    EXPECT_FALSE(fs::exists(store() / "store4" / "item5"));
    EXPECT_THAT(port.command("AT^QXDIR=11,2"), ElementsAre("OK")); // empty list: just OK
}

TEST_F(CableTest, PreviewIsShownAndNotStored)
{
    auto sim = start();
    Port port(link());
    const auto picture = pattern(150, 3);
    std::string hex;
    for (auto b : picture) {
        static constexpr char digits[] = "0123456789ABCDEF";
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    EXPECT_THAT(port.command("AT^QXDPV=2,1,0,2,1,\"" + hex.substr(0, 200) + "\""), ElementsAre("OK"));
    EXPECT_THAT(port.command("AT^QXDPV=2,1,0,2,2,\"" + hex.substr(200) + "\""), ElementsAre("OK"));
    const std::string shown = readFile(store() / "preview" / "store2-part0.bin");
    EXPECT_EQ(std::vector<std::uint8_t>(shown.begin(), shown.end()), picture);
    EXPECT_THAT(port.command("AT^QXDIR=2,2"), ElementsAre("OK"));
    EXPECT_NE(readFile(home.path() / "sim.log").find("preview (150 bytes)"), std::string::npos);
}

TEST_F(CableTest, StoresSurviveARestart)
{
    const auto tone = pattern(777, 7);
    {
        auto sim = start();
        Port port(link());
        ASSERT_EQ(writeItem(port, 7, 3, 0, tone), "OK");
        ASSERT_THAT(port.command("AT^QXUIN=7,3,4,\"4100\""), ElementsAre("OK"));
        ASSERT_EQ(writeItem(port, 10, 1, 0, pattern(40)), "OK");
        ASSERT_THAT(port.command("AT^QXBNW=10,1,0,0"), ElementsAre("OK"));
    }
    auto sim = start();
    Port port(link());
    EXPECT_EQ(readItem(port, 7, 3, 0), tone);
    EXPECT_THAT(port.command("AT^QXUIN=7,3"), ElementsAre("^QXUIN: 7,3,\"4100\"", "OK"));
    EXPECT_THAT(port.command("AT^QXDIR=7,2"), ElementsAre("^QXDIR: 3", "OK"));
    EXPECT_THAT(port.command("AT^QXDIR=10,2"), ElementsAre("OK"));
}

TEST_F(CableTest, BurstOfCommandsIsAnsweredInOrder)
{
    auto sim = start();
    Port port(link());
    std::string burst;
    for (int i = 0; i < 300; ++i)
        burst += (i % 3 == 2) ? "AT^QXDIR=3,1\r" : "AT\r";
    port.send(burst);
    for (int i = 0; i < 300; ++i) {
        if (i % 3 == 2) {
            ASSERT_EQ(port.line(), "^QXDIR: 1") << i;
        }
        ASSERT_EQ(port.line(), "OK") << i;
    }
    EXPECT_FALSE(port.line(std::chrono::milliseconds(100)));
}

TEST_F(CableTest, PortCanBeClosedAndOpenedAgain)
{
    auto sim = start();
    for (int round = 0; round < 3; ++round) {
        Port port(link());
        EXPECT_THAT(port.command("AT^QXDIR=3,1"), ElementsAre("^QXDIR: 1", "OK")) << "round " << round;
    }
    // Closing in the middle of an answer loses the rest of it, not the handset.
    {
        Port port(link());
        ASSERT_EQ(writeItem(port, 2, 1, 0, pattern(1000)), "OK");
        port.send("AT^QXBNR=2,1,0\r");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    // What the PC left unread goes with its close, even for a PC that does not purge (the
    // handset hears of the close a moment later; a PC opening at once must purge).
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    Port port(link(), false);
    EXPECT_THAT(port.command("AT"), ElementsAre("OK"));
    EXPECT_EQ(readItem(port, 2, 1, 0), pattern(1000));
}

// Exclusive use ends with the PC's close, as on a real port: the handset holds its own
// side of the terminal open, so the system alone would keep the port exclusive for good.
TEST_F(CableTest, ExclusivePortOpensAgainAfterClose)
{
    auto sim = start();
    const fs::path slave = fs::read_symlink(link());
    // Exclusivity binds only users without administrator rights: run the PC as nobody.
    const bool root = ::geteuid() == 0;
    if (root)
        fs::permissions(slave, fs::perms::all);
    const pid_t pc = ::fork();
    ASSERT_GE(pc, 0);
    if (pc == 0) {
        if (root && ::setuid(65534) != 0)
            ::_exit(10);
        for (int round = 0; round < 3; ++round) {
            const int fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
            if (fd < 0 || ::ioctl(fd, TIOCEXCL) != 0)
                ::_exit(20 + round);
            const int second = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
            if (second >= 0 || errno != EBUSY)
                ::_exit(30 + round); // exclusive while open
            ::close(fd);
            // The close notice reaches the handset a moment later.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pc, &status, 0), pc);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
