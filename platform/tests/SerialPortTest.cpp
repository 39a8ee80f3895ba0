// The serial port layer on a pseudo-terminal pair: names, time-outs, exclusivity.
#include "orka/platform/SerialPort.h"
#include "orka/platform/StatePaths.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <pty.h>
#include <thread>
#include <unistd.h>

using namespace orka::platform;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

TEST(SerialPortNames, ComNamesAndTheirFiles)
{
    EXPECT_EQ(SerialPort::portNumber("COM3:"), 3);
    EXPECT_EQ(SerialPort::portNumber("COM12:"), 12);
    EXPECT_EQ(SerialPort::portNumber("COM3"), 3);
    EXPECT_EQ(SerialPort::portNumber("COM:"), 0);
    EXPECT_EQ(SerialPort::portNumber("LPT1:"), 0);
    EXPECT_EQ(SerialPort::portNumber("COM3:x"), 0);
    ::setenv("ORKA_HOME", "/nonexistent-orka-home", 1);
    EXPECT_EQ(SerialPort::devicePathFor(1), "/dev/ttyS0");
}

namespace {
// A pseudo-terminal whose slave is linked as com<n> in a temporary ORKA_HOME.
class PtyPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        home = fs::temp_directory_path() / ("orka-sp-" + std::to_string(::getpid()));
        fs::create_directories(home / "dosdevices");
        ::setenv("ORKA_HOME", home.c_str(), 1);
        char name[128];
        ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        fs::create_symlink(name, home / "dosdevices" / "com8");
    }
    void TearDown() override
    {
        ::close(master);
        ::close(slave);
        fs::remove_all(home);
    }
    void openConfigured(SerialPort& port)
    {
        ASSERT_EQ(port.open("COM8:"), 0);
        DCB dcb;
        ASSERT_TRUE(port.getState(dcb));
        dcb.BaudRate = 115200;
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
        ASSERT_TRUE(port.setState(dcb));
        ASSERT_TRUE(port.escape(SETDTR)); // a pseudo-terminal has no modem lines: ignored
        ASSERT_TRUE(port.purge(PURGE_RXCLEAR | PURGE_TXCLEAR));
    }
    fs::path home;
    int master = -1, slave = -1;
};
} // namespace

TEST_F(PtyPort, ReadWaitsAtMostTheTotalTimeOut)
{
    SerialPort port;
    openConfigured(port);
    ASSERT_TRUE(port.setTimeouts({0, 0, 100, 10, 1000}));
    unsigned char b = 0;
    auto t0 = Clock::now();
    EXPECT_EQ(port.read(&b, 1), 0);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    EXPECT_GE(ms, 95);
    EXPECT_LT(ms, 400);

    ASSERT_EQ(::write(master, "AT\r\n", 4), 4);
    char buf[8] = {};
    EXPECT_EQ(port.read(buf, 4), 4);
    EXPECT_STREQ(buf, "AT\r\n");
}

TEST_F(PtyPort, ImmediateReadReturnsWhatIsThere)
{
    SerialPort port;
    openConfigured(port);
    ASSERT_TRUE(port.setTimeouts({MAXDWORD, 0, 0, 10, 1000}));
    char buf[16];
    EXPECT_EQ(port.read(buf, sizeof buf), 0);
    ASSERT_EQ(::write(master, "OK", 2), 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(port.read(buf, sizeof buf), 2);
}

TEST_F(PtyPort, WritesReachTheOtherEndUnchanged)
{
    SerialPort port;
    openConfigured(port);
    const char text[] = "AT^QXDIR=2,1\r";
    EXPECT_EQ(port.write(text, sizeof text - 1), static_cast<long>(sizeof text - 1));
    char buf[32] = {};
    ssize_t n = ::read(master, buf, sizeof buf);
    EXPECT_EQ(std::string(buf, static_cast<std::size_t>(n)), text);
}

TEST_F(PtyPort, SecondOpenIsRefusedUntilTheFirstCloses)
{
    SerialPort a, b;
    ASSERT_EQ(a.open("COM8:"), 0);
    EXPECT_NE(b.open("COM8:"), 0);
    a.close();
    EXPECT_EQ(b.open("COM8:"), 0);
}

TEST_F(PtyPort, SettingsThePortCannotTakeAreRefused)
{
    SerialPort port;
    ASSERT_EQ(port.open("COM8:"), 0);
    DCB dcb;
    dcb.BaudRate = 1234;
    EXPECT_FALSE(port.setState(dcb));
    dcb.BaudRate = 9600;
    dcb.ByteSize = 9;
    EXPECT_FALSE(port.setState(dcb));
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = TWOSTOPBITS;
    EXPECT_TRUE(port.setState(dcb));
    DCB back;
    ASSERT_TRUE(port.getState(back));
    EXPECT_EQ(back.BaudRate, 9600u);
    // A pseudo-terminal always carries 8 data bits without parity; a real port keeps them.
}

TEST(SerialPortMissing, OpeningAPortThatIsNotThereGivesTheSystemError)
{
    ::setenv("ORKA_HOME", "/nonexistent-orka-home", 1);
    SerialPort port;
    EXPECT_NE(port.open("COM250:"), 0);
    EXPECT_FALSE(port.isOpen());
    char b;
    EXPECT_EQ(port.read(&b, 1), -1);
}
