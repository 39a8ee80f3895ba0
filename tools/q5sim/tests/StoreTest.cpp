// The stores on disk: what one handset wrote, the next one started on the folder finds.
#include "HandsetStore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace q5sim;
namespace fs = std::filesystem;

namespace {

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "q5sim-store-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }
    static void put(const fs::path& file, const std::string& text)
    {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }
    fs::path dir;
};

TEST_F(StoreTest, ItemsPartsAndNamesSurviveARestart)
{
    {
        HandsetStore store(dir);
        ASSERT_EQ(store.writePart(2, 4, 0, {0, 1, 2, 0xFF}), StoreError::None);
        ASSERT_EQ(store.setName(2, 4, {0x41, 0, 0x42, 0}), StoreError::None);
        ASSERT_EQ(store.writePart(5, 1, 1, {9}), StoreError::None);
        ASSERT_EQ(store.writePart(5, 1, 5, {8, 8}), StoreError::None);
        ASSERT_EQ(store.writePart(7, 2, 0, {7}), StoreError::None);
        ASSERT_EQ(store.remove(7, 2, 0), StoreError::None);
    }
    EXPECT_TRUE(fs::exists(dir / "store2" / "item4" / "part0.bin"));
    EXPECT_TRUE(fs::exists(dir / "stores.txt"));
    EXPECT_FALSE(fs::exists(dir / "store7" / "item2"));
    HandsetStore again(dir);
    EXPECT_THAT(again.loadWarnings(), ::testing::IsEmpty());
    ASSERT_NE(again.part(2, 4, 0), nullptr);
    EXPECT_EQ(*again.part(2, 4, 0), (Bytes{0, 1, 2, 0xFF}));
    Bytes name;
    ASSERT_EQ(again.name(2, 4, name), StoreError::None);
    EXPECT_EQ(name, (Bytes{0x41, 0, 0x42, 0}));
    EXPECT_EQ(*again.part(5, 1, 5), (Bytes{8, 8}));
    EXPECT_EQ(again.usedIndexes(5), std::vector<int>{1});
    EXPECT_TRUE(again.usedIndexes(7).empty());
}

TEST_F(StoreTest, SettingsFileSizesTheStoreButNotItsShape)
{
    put(dir / "stores.txt", "# small\n2 2 7 10\n3 9 0 5000\n5 10 0 99\n6 1 1 1\n4294967298 1 1 1\n2 x 1 1\n7 1 1 1 1\n");
    HandsetStore store(dir);
    EXPECT_EQ(store.settings(2)->capacity, 2);
    EXPECT_EQ(store.settings(2)->memory, 10u);
    EXPECT_EQ(store.settings(2)->maxParts, 0); // a one-part store stays one
    EXPECT_EQ(store.settings(3)->capacity, 1); // a set stays one item
    EXPECT_EQ(store.freeIndexes(2), (std::vector<int>{1, 2}));
    EXPECT_EQ(store.writePart(2, 3, 0, {1}), StoreError::InvalidIndex);
    EXPECT_EQ(store.writePart(2, 1, 0, Bytes(11)), StoreError::Full);
    EXPECT_EQ(store.writePart(2, 1, 0, Bytes(10)), StoreError::None);
    EXPECT_EQ(store.settings(3)->maxParts, 81); // frames and sets keep at least one part
    EXPECT_EQ(store.settings(5)->maxParts, 5);
    EXPECT_EQ(store.settings(5)->memory, 99u);
    EXPECT_EQ(store.settings(7)->capacity, 40);
    EXPECT_EQ(store.loadWarnings().size(), 4u); // unknown type, huge type, not a number, extra field
}

TEST_F(StoreTest, StrayAndBrokenFilesAreSkipped)
{
    put(dir / "store2" / "item1" / "part0.bin", "abc");
    put(dir / "store2" / "item1" / "name.hex", "4100ZZ\n");  // not hex
    put(dir / "store2" / "item2" / "part1.bin", "x");         // one-part store
    put(dir / "store2" / "item99" / "part0.bin", "x");        // beyond capacity
    put(dir / "store2" / "item007" / "part0.bin", "x");       // not a plain number
    put(dir / "store2" / "item3" / "part0.bin", "");          // empty
    put(dir / "store2" / "notes.txt", "hello");
    HandsetStore store(dir);
    EXPECT_EQ(store.usedIndexes(2), std::vector<int>{1});
    Bytes name{1};
    EXPECT_EQ(store.name(2, 1, name), StoreError::None);
    EXPECT_TRUE(name.empty());
    EXPECT_EQ(store.loadWarnings().size(), 6u);
}

TEST_F(StoreTest, UnwritableFolderFailsTheWriteAndKeepsNoItem)
{
    HandsetStore store(dir);
    // A file where the item's folder should go makes every write there fail.
    put(dir / "store7" / "item3", "in the way");
    EXPECT_EQ(store.writePart(7, 3, 0, {1, 2}), StoreError::Io);
    EXPECT_TRUE(store.usedIndexes(7).empty());
}

} // namespace
