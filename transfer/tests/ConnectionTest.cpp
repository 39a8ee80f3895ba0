// The connection dialog's model and the discovery of the USB cable's port at start.
#include "orka/platform/StatePaths.h"
#include "orka/platform/UsbPortFinder.h"
#include "orka/testing/ToolRunner.h"
#include "orka/transfer/ConnectionSettings.h"
#include "orka/transfer/PortDiscovery.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <pty.h>
#include <unistd.h>

using namespace orka;
using namespace orka::transfer;
using app::PreferencesBlock;
namespace fs = std::filesystem;

TEST(ConnectionDialog, OffersTheInfraredLinkAndEverySerialPort)
{
    const auto entries = ConnectionSettingsModel::portEntries();
    ASSERT_EQ(entries.size(), 257u);
    EXPECT_EQ(entries[0], "紅外線");
    EXPECT_EQ(entries[7], "COM 7");
    EXPECT_EQ(entries[256], "COM 256");
}

TEST(ConnectionDialog, OkStoresTheChoiceAndCancelNothing)
{
    PreferencesBlock p;
    {
        ConnectionSettingsModel dialog(p);
        EXPECT_EQ(dialog.selection(), 0);
        dialog.select(7); // then Cancel: the model is dropped
    }
    EXPECT_EQ(p.port(), app::kInfraredPort);
    EXPECT_FALSE(p.option(PreferencesBlock::kConnectionConfirmed));

    ConnectionSettingsModel com7(p);
    com7.select(7);
    com7.select(257); // not in the list: ignored
    com7.select(-1);
    com7.accept();
    EXPECT_EQ(p.port(), 7);
    EXPECT_EQ(p.portPosition(), 7);
    EXPECT_TRUE(p.option(PreferencesBlock::kConnectionConfirmed));

    ConnectionSettingsModel infrared(p);
    EXPECT_EQ(infrared.selection(), 7);
    infrared.select(0);
    infrared.accept();
    EXPECT_EQ(p.portPosition(), 0);
    EXPECT_EQ(p.port(), 300);

    p.setPortPosition(1000); // only a damaged block holds a position past the list
    EXPECT_EQ(ConnectionSettingsModel(p).selection(), 0);
}

TEST(PortNames, NumberAfterBlanksAndTheLettersOfCom)
{
    EXPECT_EQ(portNumberFromName("COM12"), 12);
    EXPECT_EQ(portNumberFromName("   COM12"), 12);
    EXPECT_EQ(portNumberFromName("\tCOM3"), 3);
    EXPECT_EQ(portNumberFromName("MOC5"), 5) << "any of C, O and M, in any order";
    EXPECT_EQ(portNumberFromName("7"), 7);
    EXPECT_EQ(portNumberFromName("COM256"), 256);
    for (const char* bad : {"", "COM", "COM0", "COM257", "COM2000", "com12", "LPT1", "COM-3", "  "})
        EXPECT_EQ(portNumberFromName(bad), 0) << bad;
}

namespace {
// A home with cable devices: pseudo-terminals stand in for the ones that open.
class DiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("ORKA_HOME", scratch.path().c_str(), 1); }
    void TearDown() override
    {
        for (int fd : masters)
            ::close(fd);
    }
    platform::UsbTtyDevice openableDevice()
    {
        int master = -1, slave = -1;
        char name[128];
        EXPECT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        ::close(slave);
        masters.push_back(master);
        return {name, platform::UsbPortFinder::kCableVendor, platform::UsbPortFinder::kCableProduct};
    }
    // A device node that is there but is no serial port: opening it as one fails.
    platform::UsbTtyDevice brokenDevice()
    {
        const fs::path p = scratch.path() / "ttyACM-broken";
        std::ofstream(p) << "";
        return {p, platform::UsbPortFinder::kCableVendor, platform::UsbPortFinder::kCableProduct};
    }
    std::optional<int> discover(PreferencesBlock& p, std::vector<platform::UsbTtyDevice> devices)
    {
        platform::UsbPortFinder finder(platform::createListedDeviceSource(std::move(devices)));
        return discoverCablePort(p, finder);
    }
    orka::testing::ScratchDir scratch{"orka-discovery"};
    std::vector<int> masters;
};
} // namespace

TEST_F(DiscoveryTest, NoCableKeepsTheSavedPort)
{
    PreferencesBlock fresh;
    EXPECT_FALSE(discover(fresh, {}));
    EXPECT_EQ(fresh.port(), 300);
    PreferencesBlock saved;
    saved.setPort(4);
    saved.setPortPosition(4);
    EXPECT_FALSE(discover(saved, {brokenDevice()}));
    EXPECT_EQ(saved.port(), 4);
    EXPECT_EQ(saved.portPosition(), 4);
}

TEST_F(DiscoveryTest, TheCableOnItsOwnPortTwelve)
{
    const auto cable = openableDevice();
    fs::create_directories(platform::StatePaths::dosDevicesDir());
    fs::create_symlink(cable.devicePath, platform::StatePaths::dosDevicesDir() / "com12");
    PreferencesBlock p;
    EXPECT_EQ(discover(p, {cable}), 12);
    EXPECT_EQ(p.port(), 12);
    EXPECT_EQ(p.portPosition(), 12);
}

TEST_F(DiscoveryTest, OfTwoInstancesTheFirstThatOpensWins)
{
    PreferencesBlock p;
    EXPECT_EQ(discover(p, {brokenDevice(), openableDevice(), openableDevice()}), 34);
    EXPECT_EQ(p.port(), 34);
    EXPECT_EQ(p.portPosition(), 34);
}

TEST_F(DiscoveryTest, StartUpStepOnAMachineWithoutTheCable)
{
    PreferencesBlock p;
    platform::UsbPortFinder finder(platform::createListedDeviceSource({}));
    prepareLink(p, finder);
    EXPECT_EQ(p.port(), 300);
}
