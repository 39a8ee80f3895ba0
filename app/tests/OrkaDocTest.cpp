// The document on disk: first start, folders from the tree file, folder files that do not
// belong, read-only folders, what close writes and writes that fail half way.
#include "orka/app/COrkaDoc.h"
#include "orka/app/OrkaFile.h"
#include "orka/testing/ToolRunner.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace orka::app;
namespace fs = std::filesystem;

namespace {

GalleryItem pictureItem(const std::string& name, std::uint8_t w, std::uint8_t h, std::uint8_t fill = 7)
{
    PictureContent p;
    p.bitmap.width = w;
    p.bitmap.height = h;
    p.bitmap.padding = std::uint8_t((4 - w % 4) % 4);
    p.bitmap.pixels.assign(Bitmap::bytesFor(w, h, p.bitmap.padding), fill);
    return GalleryItem::make(name, p);
}

std::vector<std::uint8_t> fileBytes(const fs::path& p)
{
    const std::string text = orka::testing::readText(p);
    return {text.begin(), text.end()};
}

class Doc : public ::testing::Test {
protected:
    std::unique_ptr<COrkaDoc> open()
    {
        auto doc = std::make_unique<COrkaDoc>(dir.path());
        doc->build();
        return doc;
    }
    // A user folder with one item, written out as the program does at exit.
    void storeFolderWithItem(int category, int id, const std::string& name, GalleryItem item)
    {
        auto doc = open();
        doc->addLocalFolder(category, id, name);
        doc->openFolder(id);
        doc->addItem(id, std::move(item));
        doc->close();
    }
    orka::testing::ScratchDir dir{"orka-doc"};
};

} // namespace

TEST_F(Doc, FirstStartGivesFiveCategoriesWithTheirFixedFolders)
{
    auto doc = open();
    const auto& cats = doc->root().categories;
    ASSERT_EQ(cats.size(), 5u);
    const int ids[] = {20000, 30000, 40000, 50000, 70000};
    for (std::size_t i = 0; i < cats.size(); ++i) {
        SCOPED_TRACE(ids[i]);
        const CategoryNode& c = *cats[i];
        EXPECT_EQ(c.id, ids[i]);
        ASSERT_EQ(c.folders.size(), 2u);
        EXPECT_EQ(c.folders[0]->id, ids[i] + 2);
        EXPECT_EQ(c.folders[0]->name, "範例");
        EXPECT_TRUE(doc->openFolder(ids[i] + 2).items.empty());
        EXPECT_EQ(c.folders[1]->id, ids[i] + 1);
        EXPECT_EQ(c.folders[1]->kind, ids[i] == 30000 ? FolderKind::SavedMenus : FolderKind::Handset);
        EXPECT_EQ(c.folders[1]->name, ids[i] == 30000 ? "已儲存之選單" : "手機記憶體");
    }
    EXPECT_EQ(doc->root().name, "Q5");
    EXPECT_EQ(cats[3]->name, "開/關機動畫");
    EXPECT_EQ(doc->folderFilePath(50002).filename(), "開_範例.orka");
    EXPECT_TRUE(fs::is_empty(dir.path())) << "building writes nothing";
}

TEST_F(Doc, UserFoldersGoBeforeTheLastFolderAndComeBackFromTheTreeFile)
{
    {
        auto doc = open();
        EXPECT_EQ(doc->freeFolderId(70000), 70003);
        doc->addLocalFolder(70000, 70003, "我的鈴聲");
        doc->addLocalFolder(70000, 70005, "second");
        EXPECT_EQ(doc->freeFolderId(70000), 70004);
        EXPECT_THROW(doc->addLocalFolder(70000, 70004, "second"), GalleryRefusal) << "same name";
        EXPECT_THROW(doc->addLocalFolder(70000, 70005, "third"), GalleryRefusal) << "same id";
        EXPECT_THROW(doc->addLocalFolder(70000, 20004, "third"), GalleryRefusal) << "other category";
        EXPECT_THROW(doc->addLocalFolder(70000, 70002, "third"), GalleryRefusal) << "samples slot";
        doc->close();
    }
    auto doc = open();
    const auto& folders = doc->findCategory(70000)->folders;
    ASSERT_EQ(folders.size(), 4u);
    EXPECT_EQ(folders[0]->id, 70002);
    EXPECT_EQ(folders[1]->name, "我的鈴聲");
    EXPECT_EQ(folders[2]->id, 70005);
    EXPECT_EQ(folders[3]->id, 70001);
    EXPECT_EQ(folders[1]->kind, FolderKind::Melody);
}

TEST_F(Doc, TreeFileEntriesThatWouldLeaveTheFolderOrClashAreSkipped)
{
    TreeContent tree{0, "Q5", {{"桌布", 20000, {{"../escape", 20003}, {"a/b", 20004}, {"ok", 20005}, {"bad\x01", 20006},
                                                {"other", 40007}, {"twin", 20005}, {"..", 20008}, {"", 20009}}},
                              {"none", 60000, {{"lost", 60003}}},
                              {"鈴聲", 70000, {{"tunes", 70003}}}}};
    const auto bytes = encodeTree(tree);
    orka::testing::writeBytes(dir.path() / "Q5.orka", bytes);
    auto doc = open();
    const auto& wall = doc->findCategory(20000)->folders;
    ASSERT_EQ(wall.size(), 3u);
    EXPECT_EQ(wall[1]->name, "ok");
    EXPECT_NE(doc->findFolder(70003), nullptr);
    EXPECT_EQ(doc->findFolder(40007), nullptr);
}

TEST_F(Doc, FolderFileNamingAnotherCategoryIsIgnored)
{
    storeFolderWithItem(40000, 40003, "faces", pictureItem("one", 45, 55));
    // The same folder file, but its header says wallpaper.
    auto bytes = fileBytes(dir.path() / "大頭貼_faces.orka");
    const std::size_t categoryIdAt = 2 + 1 + 2 * 6; // mark, root id, name field of 3 CP950 characters
    ASSERT_EQ(bytes[categoryIdAt + 1], 0x9C);        // 40000 = 0x009C40
    bytes[categoryIdAt] = 0x00;
    bytes[categoryIdAt + 1] = 0x4E;
    bytes[categoryIdAt + 2] = 0x20; // 20000
    orka::testing::writeBytes(dir.path() / "大頭貼_faces.orka", bytes);
    auto doc = open();
    EXPECT_TRUE(doc->openFolder(40003).items.empty());
}

TEST_F(Doc, ReadOnlyFolderRefusesChangesAndIsNeverRewritten)
{
    storeFolderWithItem(20000, 20003, "kept", pictureItem("a", 10, 10));
    const fs::path file = dir.path() / "桌布_kept.orka";
    const auto before = fileBytes(file);
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    auto doc = open();
    EXPECT_TRUE(doc->findFolder(20003)->readOnly);
    doc->openFolder(20003);
    try {
        doc->addItem(20003, pictureItem("b", 10, 10));
        FAIL() << "a read-only folder took an item";
    } catch (const GalleryRefusal& e) {
        EXPECT_EQ(e.messageId(), kStrReadOnlyFolder);
        EXPECT_STREQ(e.what(), "這是一個唯讀的資料夾");
    }
    EXPECT_THROW(doc->removeItem(20003, 0), GalleryRefusal);
    EXPECT_THROW(doc->renameItem(20003, 0, "c"), GalleryRefusal);
    EXPECT_THROW(doc->replaceItemContent(20003, 0, pictureItem("c", 4, 4).content), GalleryRefusal);
    doc->arrange(20003, ArrangeOrder::ByName);
    doc->close();
    EXPECT_EQ(fileBytes(file), before);
}

TEST_F(Doc, ReplacedContentKeepsNameAndNumberAndReachesTheFolderFile)
{
    storeFolderWithItem(40000, 40003, "faces", pictureItem("one", 45, 55));
    {
        auto doc = open();
        doc->openFolder(40003);
        doc->findFolder(40003)->items[0].handsetNumber = 7;
        // A melody cannot stand in a picture folder, nor can an index past the end be edited.
        EXPECT_THROW(doc->replaceItemContent(40003, 0, MelodyContent{MelodyContent::kSmaf, {1, 2}}), GalleryRefusal);
        EXPECT_THROW(doc->replaceItemContent(40003, 1, pictureItem("x", 4, 4).content), GalleryRefusal);
        const GalleryItem& edited = doc->replaceItemContent(40003, 0, pictureItem("ignored", 30, 20).content);
        EXPECT_EQ(edited.name, "one");
        EXPECT_EQ(edited.handsetNumber, 7);
        doc->saveFolder(40003);
    }
    auto doc = open();
    const auto& items = doc->openFolder(40003).items;
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].name, "one");
    EXPECT_EQ(std::get<PictureContent>(items[0].content).bitmap.width, 30);
}

TEST_F(Doc, CloseWritesTreeSavedMenusShownAndPendingFoldersButNeverUnreadOnes)
{
    {
        auto doc = open();
        for (int id : {20003, 20004, 20005})
            doc->addLocalFolder(20000, id, "f" + std::to_string(id));
        for (int id : {20003, 20004, 20005}) {
            doc->openFolder(id);
            doc->addItem(id, pictureItem("x", 4, 4));
            doc->saveFolder(id);
        }
        const Bitmap frame = std::get<PictureContent>(pictureItem("m", 8, 8).content).bitmap;
        AnimationContent menu{{{3, frame}}};
        doc->openFolder(kSavedMenusFolder);
        doc->addItem(kSavedMenusFolder, GalleryItem::make("menu", menu));
        doc->close();
    }
    auto doc = open();
    doc->openFolder(20003).items.clear();
    doc->openFolder(20004).items.clear();
    doc->setShownFolder(20003);
    doc->setPendingEditFolder(20004);
    const auto untouched = fileBytes(dir.path() / "桌布_f20005.orka");
    const auto menus = fileBytes(dir.path() / "主選單_已儲存之選單.orka");
    doc->close();

    auto again = open();
    EXPECT_TRUE(again->openFolder(20003).items.empty());
    EXPECT_TRUE(again->openFolder(20004).items.empty());
    EXPECT_EQ(again->openFolder(20005).items.size(), 1u);
    EXPECT_EQ(fileBytes(dir.path() / "桌布_f20005.orka"), untouched);
    EXPECT_EQ(fileBytes(dir.path() / "主選單_已儲存之選單.orka"), menus) << "the saved menus were never read";
    ASSERT_EQ(again->openFolder(kSavedMenusFolder).items.size(), 1u);
}

TEST_F(Doc, ReplacingAFolderFileSurvivesAShortWrite)
{
    auto doc = open();
    doc->addLocalFolder(20000, 20003, "safe");
    doc->openFolder(20003);
    doc->addItem(20003, pictureItem("small", 8, 8));
    doc->saveFolder(20003);
    const fs::path file = doc->folderFilePath(20003);
    const auto before = fileBytes(file);

    doc->addItem(20003, pictureItem("large", 128, 124));
    // The file system takes only the first kilobytes of what is written.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool refused = false;
    try {
        doc->saveFolder(20003);
    } catch (const GalleryRefusal& e) {
        refused = e.messageId() == kStrWriteFailed;
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_TRUE(refused);
    EXPECT_EQ(fileBytes(file), before);
    int files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 1) << "no temporary file is left behind";
}

TEST_F(Doc, ShippedSamplesArriveReadOnlyAndNeverReplaceAFileThere)
{
    orka::testing::ScratchDir shipped("orka-samples");
    {
        COrkaDoc maker(shipped.path());
        maker.build();
        maker.openFolder(40002);
        maker.addItem(40002, pictureItem("smile", 45, 55));
        maker.openFolder(70002);
        maker.addItem(70002, GalleryItem::make("tune", MelodyContent{1, {1, 2, 3}}));
        maker.saveFolder(40002);
        maker.saveFolder(70002);
    }
    orka::testing::writeBytes(dir.path() / "鈴聲_範例.orka", {1, 2, 3}); // the user's own, odd as it is
    COrkaDoc doc(dir.path(), shipped.path());
    doc.build();
    EXPECT_TRUE(doc.findFolder(40002)->readOnly);
    ASSERT_EQ(doc.openFolder(40002).items.size(), 1u);
    EXPECT_EQ(doc.findFolder(40002)->items[0].name, "smile");
    EXPECT_THROW(doc.addItem(40002, pictureItem("more", 45, 55)), GalleryRefusal);
    EXPECT_EQ(fileBytes(dir.path() / "鈴聲_範例.orka"), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_FALSE(doc.findFolder(70002)->readOnly);
    EXPECT_TRUE(doc.openFolder(20002).items.empty()) << "nothing shipped for it";
}
