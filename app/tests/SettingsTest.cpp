// The saved settings blocks: defaults, sizes, the rules every start applies, and what exit writes.
#include "orka/app/OrkaApp.h"
#include "orka/app/Settings.h"
#include "orka/platform/Registry.h"
#include "orka/testing/ToolRunner.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace orka::app;
using orka::platform::RegistryHive;
using orka::platform::RegistryKey;

namespace {
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("ORKA_HOME", scratch.path().c_str(), 1); }
    void store(const char* section, const std::vector<std::uint8_t>& bytes)
    {
        auto key = RegistryKey::create(RegistryHive::CurrentUser, settingsRootPath() + "\\" + section);
        ASSERT_TRUE(key);
        ASSERT_TRUE(key->writeBinary("Values", bytes));
    }
    void storePreferences(const PreferencesBlock& p)
    {
        const auto b = p.toBytes();
        store("Preferences", {b.begin(), b.end()});
    }
    void storeUiInfo(const UiInfoBlock& u)
    {
        const auto b = u.toBytes();
        store("UI Info", {b.begin(), b.end()});
    }
    orka::testing::ScratchDir scratch{"orka-settings"};
};
} // namespace

TEST_F(SettingsTest, AnEmptyRegistryGivesTheFirstStartDefaults)
{
    const AppSettings s = loadSettings();
    EXPECT_EQ(s.uiInfo.lastMode, 1u) << "the wizard opens";
    EXPECT_FALSE(s.uiInfo.skipsWizard());
    EXPECT_EQ(s.uiInfo.viewMode, UiInfoBlock::kThumbnailMode);
    for (auto bar : {UiInfoBlock::kToolbar, UiInfoBlock::kStatusBar, UiInfoBlock::kFolderPane, UiInfoBlock::kPreviewPane})
        EXPECT_TRUE(s.uiInfo.shown(bar));
    EXPECT_FALSE(s.uiInfo.shown(UiInfoBlock::kNavigationBar));
    const PreferencesBlock& p = s.preferences;
    EXPECT_EQ(p.port(), kInfraredPort);
    EXPECT_EQ(p.portPosition(), 0);
    EXPECT_EQ(p.startupSetting(), 3u);
    EXPECT_TRUE(p.option(PreferencesBlock::kFullScreen));
    EXPECT_FALSE(p.option(PreferencesBlock::kAlwaysOnTop));
    EXPECT_FALSE(p.option(PreferencesBlock::kConnectionConfirmed));
    EXPECT_EQ(p.lastSyncText(), "");
    // The start sets connection bits 19-20 on top of the stored default 0x9600.
    EXPECT_EQ(p.connectionWord, 0x00189600u);
    EXPECT_EQ(p.optionWord, 0x0E070000u);
}

TEST_F(SettingsTest, ABlockOfAnyOtherSizeIsReplacedByTheDefaults)
{
    PreferencesBlock saved;
    saved.optionWord = 0; // every warning off, full screen off
    saved.setPort(7);
    const auto good = saved.toBytes();
    for (std::size_t size : {std::size_t{43}, std::size_t{45}, std::size_t{0}}) {
        std::vector<std::uint8_t> bytes(good.begin(), good.end());
        bytes.resize(size);
        store("Preferences", bytes);
        const PreferencesBlock p = loadSettings().preferences;
        EXPECT_EQ(p.port(), kInfraredPort) << size;
        for (auto bit : {PreferencesBlock::kWarnDeleteData, PreferencesBlock::kWarnDeleteHandsetData,
                         PreferencesBlock::kWarnDeleteFolder, PreferencesBlock::kFullScreen})
            EXPECT_TRUE(p.option(bit)) << size;
    }
    store("Preferences", {good.begin(), good.end()});
    EXPECT_EQ(loadSettings().preferences.port(), 7);

    store("UI Info", std::vector<std::uint8_t>(15, 0xFF));
    EXPECT_EQ(loadSettings().uiInfo.barFlags, 0x0Fu);
    store("UI Info", std::vector<std::uint8_t>(17, 0));
    EXPECT_EQ(loadSettings().uiInfo.barFlags, 0x0Fu);

    // The ring-tone switches: default setting on, auto repeat off, unless a whole word says
    // otherwise; bits that mean nothing are dropped.
    EXPECT_TRUE(loadSettings().ringTone.defaultSetting());
    store("Ring Tone", {0x02, 0, 0, 0x80, 0});
    EXPECT_TRUE(loadSettings().ringTone.defaultSetting());
    EXPECT_FALSE(loadSettings().ringTone.autoRepeat());
    store("Ring Tone", {0x02, 0, 0, 0x80});
    EXPECT_EQ(loadSettings().ringTone.flags, RingToneBlock::kAutoRepeat);
    AppSettings changed = loadSettings();
    changed.ringTone.set(RingToneBlock::kDefaultSetting, true);
    ASSERT_TRUE(saveSettings(changed));
    EXPECT_TRUE(loadSettings().ringTone.defaultSetting() && loadSettings().ringTone.autoRepeat());
}

TEST_F(SettingsTest, TheStartUpSettingDecidesTheWizard)
{
    UiInfoBlock ui;
    PreferencesBlock p;
    // Setting 2: management mode whatever the last run did.
    ui.setLastMode(WorkingMode::Wizard);
    p.setStartupSetting(StartupSetting::Management);
    storeUiInfo(ui);
    storePreferences(p);
    EXPECT_TRUE(loadSettings().uiInfo.skipsWizard());
    // Setting 1: the wizard even after a run that ended in management mode.
    ui.setLastMode(WorkingMode::Management);
    p.setStartupSetting(StartupSetting::Wizard);
    storeUiInfo(ui);
    storePreferences(p);
    EXPECT_EQ(loadSettings().uiInfo.lastMode, 1u);
    // Setting 3: follows how the last run ended.
    p.setStartupSetting(StartupSetting::FollowLastMode);
    storePreferences(p);
    EXPECT_TRUE(loadSettings().uiInfo.skipsWizard());
    for (WorkingMode last : {WorkingMode::Wizard, WorkingMode::ImportOrEdit}) {
        ui.setLastMode(last);
        storeUiInfo(ui);
        EXPECT_FALSE(loadSettings().uiInfo.skipsWizard());
    }
}

TEST_F(SettingsTest, LineSettingsAndTheDirectionNeverSurviveARestart)
{
    PreferencesBlock p;
    p.connectionWord = 0xFFFFFFFFu;
    p.optionWord = 0xFFFFFFFFu;
    p.setPort(12);
    storePreferences(p);
    const PreferencesBlock loaded = loadSettings().preferences;
    EXPECT_EQ(loaded.port(), 12);
    EXPECT_EQ(loaded.parity(), 0);
    EXPECT_EQ(loaded.stopBits(), 0);
    // Bits 0-5, 17-18, 21-29 cleared, 19-20 set; 6 and 30-31 kept as stored.
    EXPECT_EQ(loaded.connectionWord, 0xC0180000u | (12u << 7) | 0x40u);
    EXPECT_EQ(loaded.optionWord & 0x3Fu, 0u) << "flow control and PIM direction";
    EXPECT_EQ(loaded.optionWord | 0x3Fu, 0xFFFFFFFFu) << "the other options kept";

    const auto dcb = serialSettings(loaded);
    EXPECT_EQ(dcb.BaudRate, 115200u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, 0);
    EXPECT_EQ(dcb.StopBits, 0);
    EXPECT_EQ(dcb.fDtrControl, 0u);
    EXPECT_EQ(dcb.fRtsControl, 0u);
    EXPECT_EQ(dcb.fOutX + dcb.fInX + dcb.fParity + dcb.fBinary, 0u);
    EXPECT_EQ(dcb.XonChar + dcb.XoffChar, 0);
}

TEST_F(SettingsTest, LastSynchronisationTextFitsItsFieldInTheAnsiCodePage)
{
    PreferencesBlock p;
    p.setLastSyncText("2026/12/07 下午 01:05");
    EXPECT_EQ(p.lastSyncText(), "2026/12/07 下午 01:05");
    EXPECT_EQ(p.lastSync[10], ' ');
    // 20 two-byte characters do not fit 35 bytes: 17 whole ones do, never half of one.
    const std::string long20 = [] {
        std::string s;
        for (int i = 0; i < 20; ++i)
            s += "同";
        return s;
    }();
    p.setLastSyncText(long20);
    EXPECT_EQ(p.lastSyncText().size(), 17u * 3);
    EXPECT_EQ(p.lastSync[34], 0);
    EXPECT_EQ(p.lastSync[35], 0);
    // A stored block without a NUL in the field still reads as 35 bytes at most.
    auto bytes = p.toBytes();
    std::fill(bytes.begin(), bytes.begin() + 36, 'A');
    EXPECT_EQ(PreferencesBlock::fromBytes(bytes)->lastSyncText(), std::string(35, 'A'));
}

TEST_F(SettingsTest, OnlyACopyThatRanWritesAtExit)
{
    {
        COrkaApp app(std::chrono::milliseconds(0));
        ASSERT_EQ(app.start(nullptr), COrkaApp::StartResult::Run);
        app.uiInfo().setLastMode(WorkingMode::Management);
        app.uiInfo().setViewMode(UiInfoBlock::kListMode);
        app.preferences().setPort(5);
        app.preferences().setLastSyncText("昨天");
        app.setFlags(AppFlags::kHandsetPhonebookLoaded | AppFlags::kOutlookDataLoaded);
        app.clearFlags(AppFlags::kOutlookDataLoaded);
        EXPECT_EQ(app.flags(), AppFlags::kHandsetPhonebookLoaded);
        // Nothing is written before exit.
        EXPECT_FALSE(RegistryKey::open(RegistryHive::CurrentUser, settingsRootPath()));
        EXPECT_TRUE(app.exit());
    }
    const auto root = RegistryKey::open(RegistryHive::CurrentUser, settingsRootPath());
    ASSERT_TRUE(root);
    EXPECT_EQ(root->openSubKey("UI Info")->readBinary("Values")->size(), 16u);
    EXPECT_EQ(root->openSubKey("Preferences")->readBinary("Values")->size(), 44u);
    const AppSettings s = loadSettings();
    EXPECT_TRUE(s.uiInfo.skipsWizard());
    EXPECT_EQ(s.uiInfo.viewModeCopy, UiInfoBlock::kListMode);
    EXPECT_EQ(s.preferences.port(), 5);
    EXPECT_EQ(s.preferences.lastSyncText(), "昨天");

    COrkaApp fresh(std::chrono::milliseconds(0));
    EXPECT_EQ(fresh.flags(), 0u);
    EXPECT_TRUE(fresh.exit()) << "never started: nothing to write";
    EXPECT_EQ(loadSettings().preferences.port(), 5);
}
