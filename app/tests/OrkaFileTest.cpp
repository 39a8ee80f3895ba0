// The ".orka" layouts byte for byte, and what a reader makes of files cut or bent.
#include "orka/app/OrkaFile.h"

#include <gtest/gtest.h>

using namespace orka::app;

namespace {

FolderHeader header(int categoryId, FolderKind kind, int folderId)
{
    const CategoryRow* row = findCategoryRow(categoryId);
    return {"cat", categoryId, row->kind, row->widthLimit, row->heightLimit, "folder", folderId, kind};
}

GalleryItem item(const std::string& name, ItemContent content)
{
    GalleryItem i;
    i.name = name;
    i.dateText = "12/7/26 01:05 PM";
    i.stamp = FileTime{0x89ABCDEF, 0x01234567};
    i.content = std::move(content);
    return i;
}

Bitmap bitmap(std::uint8_t w, std::uint8_t h, std::uint8_t p)
{
    Bitmap b{w, h, p, {}};
    for (std::size_t i = 0; i < Bitmap::bytesFor(w, h, p); ++i)
        b.pixels.push_back(std::uint8_t(i * 7));
    return b;
}

} // namespace

TEST(OrkaFile, CallerPhotoOf45By55WithPaddingOneRoundTrips)
{
    const FolderHeader h = header(40000, FolderKind::Picture, 40003);
    const GalleryItem photo = item("face", PictureContent{bitmap(45, 55, 1)});
    ASSERT_EQ(std::get<PictureContent>(photo.content).bitmap.pixels.size(), 7590u);
    const auto bytes = encodeFolder(h, {photo});
    // header 1+1+(1+6)+3+1+1+1+(1+12)+3+2, item (1+8)+(1+16)+4+4+3+7590
    EXPECT_EQ(bytes.size(), 33u + 9 + 17 + 8 + 3 + 7590);
    const auto back = decodeFolder(bytes, h);
    EXPECT_TRUE(back.headerMatched);
    ASSERT_EQ(back.items.size(), 1u);
    EXPECT_EQ(back.items[0], photo);
}

TEST(OrkaFile, NameFieldIsLengthThenBytesThenAsManyZeros)
{
    const std::string name = "abcdefghijklmnopqrst"; // 20 bytes
    const auto bytes = encodeTree({0, name, {}});
    ASSERT_EQ(bytes.size(), 2u + 1 + 40 + 2);
    EXPECT_EQ(bytes[0], 0x0A);
    EXPECT_EQ(bytes[2], 20);
    EXPECT_EQ(std::string(bytes.begin() + 3, bytes.begin() + 23), name);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 23, bytes.begin() + 43), std::vector<std::uint8_t>(20, 0));
    EXPECT_EQ(decodeTree(bytes).rootName, name);
}

TEST(OrkaFile, NamesTravelInTheAnsiCodePage)
{
    const auto bytes = encodeTree({0, "桌布", {}});
    // Big5: 桌 = AE E0, 布 = A5 AC
    const std::vector<std::uint8_t> expected = {0x0A, 0, 4, 0xAE, 0xE0, 0xA5, 0xAC, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(decodeTree(bytes).rootName, "桌布");
}

TEST(OrkaFile, NameFromAFileLongerThanItsLengthByteComesBackTheSame)
{
    // A reader takes up to 2n bytes before the first zero: n = 2 holds a 4-byte name.
    const std::vector<std::uint8_t> file = {0x0A, 0, 2, 'w', 'x', 'y', 'z', 0, 0};
    const TreeContent tree = decodeTree(file);
    EXPECT_EQ(tree.rootName, "wxyz");
    EXPECT_EQ(decodeTree(encodeTree(tree)).rootName, "wxyz");
}

TEST(OrkaFile, EveryItemLayoutRoundTrips)
{
    const FolderHeader anim = header(50000, FolderKind::Animation, 50002);
    const GalleryItem a = item("動畫", AnimationContent{{{5, bitmap(3, 2, 1)}, {9, bitmap(4, 1, 0)}}});
    EXPECT_EQ(decodeFolder(encodeFolder(anim, {a, a}), anim).items, (std::vector{a, a}));

    const FolderHeader menus = header(30000, FolderKind::SavedMenus, 30001);
    EXPECT_EQ(decodeFolder(encodeFolder(menus, {a}), menus).items, std::vector{a});

    const FolderHeader tunes = header(70000, FolderKind::Melody, 70003);
    const GalleryItem smaf = item("tune", MelodyContent{1, {'M', 'M', 'M', 'D', 0, 1}});
    const GalleryItem midi = item("song", MelodyContent{0, {'M', 'T', 'h', 'd'}});
    const auto bytes = encodeFolder(tunes, {smaf, midi});
    EXPECT_EQ(decodeFolder(bytes, tunes).items, (std::vector{smaf, midi}));
    // The melody entry starts with its format flag, its length is 3 bytes.
    const std::size_t firstItem = 2 + 7 + 3 + 3 + 13 + 3 + 2;
    EXPECT_EQ(bytes[firstItem], 1);
}

TEST(OrkaFile, CutOrBentFilesGiveTheItemsReadWhole)
{
    const FolderHeader h = header(20000, FolderKind::Picture, 20003);
    const GalleryItem one = item("one", PictureContent{bitmap(5, 3, 3)});
    const auto full = encodeFolder(h, {one, one, one});
    const std::size_t itemSize = (full.size() - 33) / 3;
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        const std::span<const std::uint8_t> part(full.data(), cut);
        const auto read = decodeFolder(part, h);
        const std::size_t whole = cut < 33 ? 0 : (cut - 33) / itemSize;
        ASSERT_EQ(read.items.size(), whole) << "cut at " << cut;
    }
    // A count larger than the items there.
    auto more = full;
    more[32] = 200;
    EXPECT_EQ(decodeFolder(more, h).items.size(), 3u);
    // A header of another kind or size limit is not read at all.
    for (std::size_t at : {std::size_t(12), std::size_t(13), std::size_t(14), std::size_t(1)}) {
        auto bent = full;
        bent[at] ^= 0x10;
        EXPECT_FALSE(decodeFolder(bent, h).headerMatched) << "byte " << at;
    }
    // A melody length past the end.
    const FolderHeader tunes = header(70000, FolderKind::Melody, 70003);
    auto tune = encodeFolder(tunes, {item("t", MelodyContent{1, std::vector<std::uint8_t>(10, 1)})});
    tune.resize(tune.size() - 1);
    EXPECT_TRUE(decodeFolder(tune, tunes).items.empty());
}

TEST(OrkaFile, TreeCutShortKeepsTheFoldersReadWhole)
{
    const TreeContent tree{0, "Q5", {{"桌布", 20000, {{"a", 20003}, {"b", 20004}}}, {"鈴聲", 70000, {{"c", 70003}}}}};
    const auto bytes = encodeTree(tree);
    EXPECT_EQ(decodeTree(bytes), tree);
    auto cut = decodeTree(std::span(bytes.data(), bytes.size() - 1));
    ASSERT_EQ(cut.categories.size(), 2u);
    EXPECT_TRUE(cut.categories[1].folders.empty());
    EXPECT_EQ(cut.categories[0].folders.size(), 2u);
    auto otherRoot = bytes;
    otherRoot[1] = 1;
    EXPECT_TRUE(decodeTree(otherRoot).categories.empty());
}
