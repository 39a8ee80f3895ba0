// The cable's com<n> links, fed with devices as the system would list them.
#include "orka/platform/UsbPortFinder.h"
#include "orka/platform/StatePaths.h"
#include "orka/testing/ToolRunner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace orka::platform;
namespace fs = std::filesystem;

namespace {
class UsbPortFinderTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("ORKA_HOME", scratch.path().c_str(), 1); }
    // A file standing in for a device node.
    fs::path node(const std::string& name)
    {
        const fs::path p = scratch.path() / name;
        std::ofstream(p) << "";
        return p;
    }
    std::vector<UsbPort> find(std::vector<UsbTtyDevice> devices)
    {
        UsbPortFinder finder(createListedDeviceSource(std::move(devices)));
        return finder.find();
    }
    fs::path link(int n) { return StatePaths::dosDevicesDir() / ("com" + std::to_string(n)); }
    orka::testing::ScratchDir scratch{"orka-usb"};
};

constexpr std::uint16_t kVendor = UsbPortFinder::kCableVendor;
constexpr std::uint16_t kProduct = UsbPortFinder::kCableProduct;
} // namespace

TEST_F(UsbPortFinderTest, OnlyTheCableGetsPortsFrom33InTheSystemsOrder)
{
    const auto a = node("ttyACM0"), b = node("ttyACM1"), modem = node("ttyUSB0");
    const auto ports = find({{a, kVendor, kProduct}, {modem, 0x1234, kProduct}, {b, kVendor, kProduct},
                             {node("ttyACM2"), kVendor, 0x00B4}});
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].portName, "COM33");
    EXPECT_EQ(ports[1].portName, "COM34");
    EXPECT_EQ(fs::read_symlink(link(33)), a);
    EXPECT_EQ(fs::read_symlink(link(34)), b);
    EXPECT_TRUE(find({}).empty()) << "no cable, no port";
}

TEST_F(UsbPortFinderTest, ADeviceKeepsItsLinkAndGoneDevicesFreeTheirs)
{
    const auto a = node("ttyACM0"), b = node("ttyACM1");
    fs::create_directories(StatePaths::dosDevicesDir());
    fs::create_symlink("/dev/pts/simulator", link(33)); // someone else's, device gone: free
    fs::create_symlink(a, link(35));                    // this device's from an earlier start
    std::ofstream(link(34)) << "";                      // a plain file: taken

    const auto ports = find({{b, kVendor, kProduct}, {a, kVendor, kProduct}});
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].portName, "COM33");
    EXPECT_EQ(fs::read_symlink(link(33)), b);
    EXPECT_EQ(ports[1].portName, "COM35");
    EXPECT_EQ(ports[1].number, 35);
    // The same devices again: the same ports.
    const auto again = find({{b, kVendor, kProduct}, {a, kVendor, kProduct}});
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[0].number, 33);
    EXPECT_EQ(again[1].number, 35);
}

TEST_F(UsbPortFinderTest, NoFreeNumberLeftMeansNoPort)
{
    fs::create_directories(StatePaths::dosDevicesDir());
    for (int n = UsbPortFinder::kFirstCablePort; n <= UsbPortFinder::kLastPort; ++n)
        std::ofstream(link(n)) << "";
    EXPECT_TRUE(find({{node("ttyACM0"), kVendor, kProduct}}).empty());
    fs::remove(link(200));
    const auto ports = find({{node("ttyACM0"), kVendor, kProduct}});
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].portName, "COM200");
}

TEST_F(UsbPortFinderTest, TheSystemsDevicesGiveOnlyCablePorts)
{
    // The real device manager: CI machines have no cable (and may have no udev at all).
    UsbPortFinder finder;
    for (const auto& p : finder.find())
        EXPECT_EQ(p.portName.rfind("COM", 0), 0u);
}
