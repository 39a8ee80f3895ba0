// The registry layer on disk: keys, typed values, names that are not file names, atomic writes.
#include "orka/platform/Registry.h"
#include "orka/testing/ToolRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

using namespace orka::platform;
namespace fs = std::filesystem;

namespace {
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("ORKA_HOME", scratch.path().c_str(), 1); }
    orka::testing::ScratchDir scratch{"orka-registry"};
};
} // namespace

TEST_F(RegistryTest, KeysOpenOnlyOnceCreatedAndHivesAreApart)
{
    EXPECT_FALSE(RegistryKey::open(RegistryHive::CurrentUser, "Software\\Tessel"));
    auto key = RegistryKey::create(RegistryHive::CurrentUser, "Software\\Tessel\\Orka\\1.00");
    ASSERT_TRUE(key);
    EXPECT_TRUE(fs::is_directory(scratch.path() / "registry/HKEY_CURRENT_USER/Software/Tessel/Orka/1.00"));
    // Separators doubled or at the ends name the same key; case does not matter.
    EXPECT_TRUE(RegistryKey::open(RegistryHive::CurrentUser, "\\software\\\\TESSEL\\orka\\1.00\\"));
    EXPECT_FALSE(RegistryKey::open(RegistryHive::LocalMachine, "Software\\Tessel"));
    auto tessel = RegistryKey::open(RegistryHive::CurrentUser, "Software\\Tessel");
    ASSERT_TRUE(tessel);
    EXPECT_EQ(tessel->subKeyNames(), std::vector<std::string>{"Orka"});
}

TEST_F(RegistryTest, ValuesKeepTheirTypeAndBytes)
{
    auto key = RegistryKey::create(RegistryHive::CurrentUser, "K");
    ASSERT_TRUE(key);
    const std::vector<std::uint8_t> bytes{0, 1, 0xFF, 0, 7};
    ASSERT_TRUE(key->writeBinary("Values", bytes));
    EXPECT_EQ(key->readBinary("Values"), bytes);
    EXPECT_EQ(key->readBinary("VALUES"), bytes);
    EXPECT_FALSE(key->readString("Values")) << "a binary value is no string";
    ASSERT_TRUE(key->writeBinary("Empty", {}));
    EXPECT_EQ(key->readBinary("Empty"), std::vector<std::uint8_t>{});
    EXPECT_FALSE(key->readBinary("Missing"));

    // A write of the other type replaces the value; a name differing in case is the same value.
    ASSERT_TRUE(key->writeString("values", "奧卡"));
    EXPECT_FALSE(key->readBinary("Values"));
    EXPECT_EQ(key->readString("Values"), "奧卡");
    EXPECT_EQ(key->valueNames(), (std::vector<std::string>{"Empty", "Values"}));
    EXPECT_TRUE(key->deleteValue("VALUES"));
    EXPECT_FALSE(key->readString("Values"));
}

TEST_F(RegistryTest, ReadBufferLimitCountsTheTerminator)
{
    auto key = RegistryKey::create(RegistryHive::LocalMachine, "K");
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->writeString("S", std::string(259, 'x')));
    EXPECT_EQ(key->readString("S", 260)->size(), 259u);
    ASSERT_TRUE(key->writeString("S", std::string(260, 'x')));
    EXPECT_FALSE(key->readString("S", 260));
    ASSERT_TRUE(key->writeBinary("B", std::vector<std::uint8_t>(44)));
    EXPECT_TRUE(key->readBinary("B", 44));
    EXPECT_FALSE(key->readBinary("B", 43));
}

TEST_F(RegistryTest, AnyNameStaysInsideItsKey)
{
    auto key = RegistryKey::create(RegistryHive::CurrentUser, "Outer\\..\\Inner");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->location().parent_path().parent_path(), RegistryKey::hiveDir(RegistryHive::CurrentUser) / "Outer");
    const std::vector<std::string> names{"../../escape", "a/b", "..", ".hidden", "100%", "ctl\x01", ""};
    for (const std::string& name : names) {
        ASSERT_TRUE(key->writeString(name, "v")) << name;
        EXPECT_EQ(key->readString(name), "v") << name;
    }
    auto sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(key->valueNames(), sorted);
    for (const auto& entry : fs::recursive_directory_iterator(RegistryKey::hiveDir(RegistryHive::CurrentUser)))
        EXPECT_EQ(entry.path().string().rfind(RegistryKey::hiveDir(RegistryHive::CurrentUser).string(), 0), 0u);
    EXPECT_FALSE(fs::exists(scratch.path() / "escape.sz"));
}

TEST_F(RegistryTest, ALeftOverTemporaryFileIsNoValue)
{
    auto key = RegistryKey::create(RegistryHive::CurrentUser, "K");
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->writeBinary("Values", std::vector<std::uint8_t>(16, 1)));
    // What an interrupted write leaves beside the value.
    std::ofstream(key->location() / "Values.bin.tmpAbC123") << "half";
    EXPECT_EQ(key->valueNames(), std::vector<std::string>{"Values"});
    EXPECT_EQ(key->readBinary("Values")->size(), 16u);
}
