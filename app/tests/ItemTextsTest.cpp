// What the list view and the message boxes show, and the names the gallery takes.
#include "orka/app/GalleryNames.h"
#include "orka/app/ItemTexts.h"
#include "orka/app/MessageText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace orka::app;

namespace {

// The file time of a local wall-clock time.
FileTime localTime(int year, int month, int day, int hour, int minute)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_isdst = -1;
    return FileTime::fromUnixSeconds(std::mktime(&tm));
}

class LocalZone : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("TZ", "CST-8", 1); // Taipei, no daylight saving
        ::tzset();
    }
    void TearDown() override
    {
        ::unsetenv("TZ");
        ::tzset();
    }
};

GalleryItem sized(const std::string& name, std::size_t bytes, std::uint64_t stamp)
{
    GalleryItem i;
    i.name = name;
    i.stamp = FileTime::fromValue(stamp);
    i.content = MelodyContent{0, std::vector<std::uint8_t>(bytes)};
    return i;
}

} // namespace

TEST_F(LocalZone, DateTextAroundMidnightAndNoon)
{
    EXPECT_EQ(dateText(localTime(2026, 12, 7, 0, 30)), "12/7/26 00:30 AM");
    EXPECT_EQ(dateText(localTime(2005, 1, 2, 12, 5)), "1/2/05 12:05 PM");
    EXPECT_EQ(dateText(localTime(2005, 1, 2, 13, 5)), "1/2/05 01:05 PM");
    EXPECT_EQ(dateText(localTime(2000, 3, 4, 11, 59)), "3/4/00 11:59 AM");
    // The stamp is UTC; the text is local: 16:05 UTC is past midnight in Taipei.
    EXPECT_EQ(dateText(FileTime::fromUnixSeconds(1796659500)), "12/8/26 00:05 AM");
}

TEST(ItemTexts, SizeAndTypeColumns)
{
    EXPECT_EQ(sizeText(sized("a", 7590, 0)), "7.4 KB");
    EXPECT_EQ(sizeText(sized("a", 0, 0)), "0.0 KB");
    FolderNode tunes;
    tunes.id = 70003;
    GalleryItem smaf = sized("s", 1, 0);
    std::get<MelodyContent>(smaf.content).format = 1;
    EXPECT_EQ(typeText(tunes, smaf), "MMF");
    EXPECT_EQ(typeText(tunes, sized("m", 1, 0)), "MIDI");
    FolderNode menus;
    menus.id = kSavedMenusFolder;
    menus.kind = FolderKind::SavedMenus;
    EXPECT_EQ(typeText(menus, GalleryItem{}), "主選單項目");
    menus.id = 30002;
    menus.kind = FolderKind::Picture;
    EXPECT_EQ(typeText(menus, GalleryItem{}), "圖片");
    FolderNode anims;
    anims.id = 50003;
    EXPECT_EQ(typeText(anims, GalleryItem{}), "GIF Image");
}

TEST(ItemTexts, ArrangeOrders)
{
    std::vector<GalleryItem> items = {sized("  beta", 30, 200), sized("Alpha ", 10, 300), sized("gamma", 20, 100)};
    auto names = [&] {
        std::string s;
        for (const auto& i : items)
            s += i.name + "|";
        return s;
    };
    arrangeItems(items, ArrangeOrder::ByName);
    EXPECT_EQ(names(), "Alpha |  beta|gamma|");
    arrangeItems(items, ArrangeOrder::BySize);
    EXPECT_EQ(names(), "Alpha |gamma|  beta|");
    arrangeItems(items, ArrangeOrder::ByDate);
    EXPECT_EQ(names(), "gamma|  beta|Alpha |");
}

TEST(MessageText, LinesInOrderAndTheFallback)
{
    EXPECT_EQ(messageText({65087, 0, {}, {31031, 100, 10}, ""}), "開啟序列埠失敗!\n31031:100:10");
    EXPECT_EQ(messageText({65066, 65067, {}, {}, ""}), "記憶體不足。\n記憶體不足。");
    EXPECT_EQ(messageText({65085, 0, {"手機故障."}, {}, "x"}), "手機故障.\nx");
    EXPECT_EQ(messageText({0, 0, {}, {}, "無回應!\n31031:300:30:0"}), "無回應!\n31031:300:30:0");
    EXPECT_EQ(messageText({1, 0, {}, {}, ""}), "無法提供更詳細的錯誤資訊.");
    EXPECT_EQ(messageText({}), "無法提供更詳細的錯誤資訊.");
    EXPECT_EQ(formatText("%d / %d%%", {"2", "3"}), "2 / 3%");
    EXPECT_EQ(formatText("%s and %s", {"one"}), "one and %s");
}

TEST(GalleryNames, NamesThatWouldBecomeOtherPathsAreRefused)
{
    EXPECT_EQ(nameRefusal("我的鈴聲"), std::nullopt);
    EXPECT_EQ(nameRefusal(""), kStrEmptyName);
    EXPECT_EQ(nameRefusal(".."), kStrEmptyName);
    EXPECT_EQ(nameRefusal(".hidden"), kStrEmptyName);
    EXPECT_EQ(nameRefusal("../up"), kStrEmptyName);
    for (const char* bad : {"up/../..", "a/b", "a\\b", "tab\there", "c:", "pipe|"})
        EXPECT_EQ(nameRefusal(bad), kStrBadName) << bad;
    EXPECT_EQ(nameRefusal(std::string("nul\0x", 5)), kStrBadName);
    EXPECT_EQ(nameRefusal("\xF0\x9F\x98\x80"), kStrBadName) << "no form in the ANSI code page";
    EXPECT_EQ(nameRefusal(std::string(255, 'a')), std::nullopt);
    EXPECT_EQ(nameRefusal(std::string(256, 'a')), kStrLongName);
    std::string wide;
    for (int i = 0; i < 128; ++i)
        wide += "桌";
    EXPECT_EQ(nameRefusal(wide), kStrLongName)
        << "128 characters take 256 bytes in Big5";
    EXPECT_EQ(safeFileName("開/關機動畫"), "開");
    EXPECT_EQ(safeFileName("桌布"), "桌布");
}
