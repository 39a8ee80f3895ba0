// Local folder and item operations at their edges: the name rules, folders renamed and
// deleted on disk, export names that stay inside the chosen folder, imports by category,
// main-menu packages and Java MIDlets.
#include "orka/app/GalleryNames.h"
#include "orka/app/ItemPictures.h"
#include "orka/app/LocalFileOps.h"
#include "orka/Failure.h"
#include "orka/picture/Animation.h"
#include "orka/picture/GifCodec.h"
#include "orka/testing/ToolRunner.h"

#include <gtest/gtest.h>

using namespace orka::app;
namespace fs = std::filesystem;
using orka::testing::writeBytes;
using Bytes = std::vector<std::uint8_t>;

namespace {

template <typename Work>
unsigned refusalOf(Work&& work)
{
    try {
        work();
    } catch (const GalleryRefusal& e) {
        return e.messageId();
    }
    return 0;
}

orka::DibPicture solid(int w, int h, std::uint8_t value)
{
    orka::DibPicture p(w, h, 3);
    std::fill(p.pixels(), p.pixels() + p.pixelBytes(), value);
    return p;
}

GalleryItem pictureItem(const std::string& name)
{
    return GalleryItem::make(name, PictureContent{bitmapFromPicture(solid(3, 2, 9))});
}

Bytes bmpBytes(int w, int h) { return orka::encodePicture(solid(w, h, 40), orka::PictureFormat::Bmp); }

class LocalFiles : public ::testing::Test {
protected:
    LocalFiles() { doc.build(); }
    fs::path folderFile(int id) const { return doc.folderFilePath(id); }

    orka::testing::ScratchDir dir{"orka-localfiles"};
    orka::testing::ScratchDir out{"orka-export"};
    COrkaDoc doc{dir.path()};
};

} // namespace

TEST(NameValidation, RefusesAtTheEdgesTheRulesName)
{
    EXPECT_EQ(validateName("  \tphoto"), "photo");
    EXPECT_EQ(refusalOf([] { validateName("   "); }), kStrEmptyName);
    EXPECT_EQ(refusalOf([] { validateName(" .profile"); }), kStrEmptyName);
    EXPECT_EQ(refusalOf([] { validateName(std::string(260, 'a')); }), 0u);
    EXPECT_EQ(refusalOf([] { validateName(std::string(261, 'a')); }), kStrLongName);
    // Characters, not bytes: 260 Chinese characters are 780 bytes and still fit.
    std::string chinese;
    for (int i = 0; i < 260; ++i)
        chinese += "桌";
    EXPECT_EQ(refusalOf([&] { validateName(chinese); }), 0u);
    const fs::path dir250(std::string(250, 'd'));
    EXPECT_EQ(refusalOf([&] { validateName(std::string(10, 'n'), dir250); }), 0u);
    EXPECT_EQ(refusalOf([&] { validateName(std::string(11, 'n'), dir250); }), kStrLongName);
    EXPECT_EQ(refusalOf([] { validateName("a:b"); }), kStrBadName);
    EXPECT_EQ(refusalOf([] { validateName("a;b", {}, ";"); }), kStrBadName);
}

TEST(ExportNames, StayPlainFileNamesInsideTheFolder)
{
    EXPECT_EQ(safeExportName("../x", ".bmp"), "_x.bmp");
    EXPECT_EQ(safeExportName("a/b\\c", ".mid"), "a_b_c.mid");
    EXPECT_EQ(safeExportName("..", ".gif"), "_.gif");
    // A tab, a control character and a NUL.
    EXPECT_EQ(safeExportName(std::string("tab\there\x01", 10), ".jpg"), "tab_here__.jpg");
    // A long name of three-byte characters is cut before a whole character.
    std::string longName;
    for (int i = 0; i < 100; ++i)
        longName += "鈴";
    const std::string cut = safeExportName(longName, ".mmf");
    EXPECT_LE(cut.size(), 255u);
    EXPECT_EQ((cut.size() - 4) % 3, 0u);
    EXPECT_EQ(cut.substr(cut.size() - 4), ".mmf");
}

TEST_F(LocalFiles, InPlaceRenamesRefuseAndKeepTheOldName)
{
    const int id = addNewFolder(doc, 20000).id;
    EXPECT_EQ(doc.findFolder(id)->name, "新資料夾");
    EXPECT_EQ(refusalOf([&] { addNewFolder(doc, 20000); }), kStrFolderExists);

    EXPECT_EQ(refusalOf([&] { renameFolder(doc, id, "a:b"); }), kStrNameCharacters);
    EXPECT_EQ(refusalOf([&] { renameFolder(doc, id, "範例"); }), kStrFolderExists);
    EXPECT_EQ(doc.findFolder(id)->name, "新資料夾");
    // Byte for byte: letter case makes another name.
    doc.addLocalFolder(20000, doc.freeFolderId(20000), "Trip");
    EXPECT_EQ(refusalOf([&] { renameFolder(doc, id, "trip"); }), 0u);
    EXPECT_EQ(refusalOf([&] { renameFolder(doc, 20002, "x"); }), 61100u);

    doc.addItem(id, pictureItem("sea"));
    EXPECT_EQ(refusalOf([&] { renameItem(doc, id, 0, "sea|2"); }), kStrNameCharacters);
    EXPECT_EQ(doc.findFolder(id)->items[0].name, "sea");
}

TEST_F(LocalFiles, RenamedFolderKeepsItemsThatWereNeverRead)
{
    const int id = addNewFolder(doc, 40000).id;
    doc.addItem(id, pictureItem("friend"));
    doc.saveFolder(id);
    {
        COrkaDoc later(dir.path());
        later.build(); // the folder's items stay on disk, unread
        renameFolder(later, id, "家人");
        EXPECT_FALSE(fs::exists(folderFile(id)));
        later.close();
    }
    COrkaDoc reopened(dir.path());
    reopened.build();
    ASSERT_EQ(reopened.findFolder(id)->name, "家人");
    EXPECT_EQ(reopened.openFolder(id).items.size(), 1u);
}

TEST_F(LocalFiles, OnlyUserFoldersAreDeletedWithTheirFile)
{
    EXPECT_FALSE(isUserFolder(20001));
    EXPECT_FALSE(isUserFolder(20002));
    EXPECT_EQ(refusalOf([&] { deleteFolder(doc, 70002); }), 61100u);
    const int id = addNewFolder(doc, 70000).id;
    doc.saveFolder(id);
    const fs::path file = folderFile(id);
    ASSERT_TRUE(fs::exists(file));
    deleteFolder(doc, id);
    EXPECT_FALSE(fs::exists(file));
    COrkaDoc reopened(dir.path());
    reopened.build();
    EXPECT_EQ(reopened.findFolder(id), nullptr);
}

TEST_F(LocalFiles, RemovingItemsChecksEveryIndexFirst)
{
    const int id = addNewFolder(doc, 20000).id;
    for (const char* n : {"a", "b", "c"})
        doc.addItem(id, pictureItem(n));
    EXPECT_EQ(refusalOf([&] { removeItems(doc, id, {0, 7}); }), 61100u);
    EXPECT_EQ(doc.findFolder(id)->items.size(), 3u);
    removeItems(doc, id, {2, 0, 2});
    ASSERT_EQ(doc.findFolder(id)->items.size(), 1u);
    EXPECT_EQ(doc.findFolder(id)->items[0].name, "b");
}

TEST_F(LocalFiles, ExportIsPlannedWholeBeforeAnyWrite)
{
    FolderNode& folder = *doc.findFolder(addNewFolder(doc, 20000).id);
    for (const char* n : {"sun", "moon", "sun", "a/b", "a_b", " ", "../evil"})
        folder.items.push_back(pictureItem(n));
    EXPECT_EQ(refusalOf([&] { planExport(folder, {0, 1, 2}, out.path(), ExportType::Bmp); }), kStrFileNameTaken);
    EXPECT_EQ(refusalOf([&] { planExport(folder, {3, 4}, out.path(), ExportType::Bmp); }), kStrFileNameTaken);
    EXPECT_EQ(refusalOf([&] { planExport(folder, {0, 5}, out.path(), ExportType::Bmp); }), kStrNeedFileName);
    EXPECT_TRUE(fs::is_empty(out.path()));

    const auto plan = planExport(folder, {6}, out.path(), ExportType::Jpeg);
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_EQ(plan[0].path.parent_path(), out.path());
    writeExportFile(folder.items[6], plan[0].path, ExportType::Jpeg);
    EXPECT_EQ(orka::loadPicture(out.path() / "_evil.jpg").width(), 3u);
}

TEST_F(LocalFiles, ExportWritesTunesAsTheyAreAndAnimationsAsGif)
{
    const Bytes smaf = {'M', 'M', 'M', 'D', 0, 0, 0, 0};
    const auto tune = GalleryItem::make("ring", MelodyContent{MelodyContent::kSmaf, smaf});
    FolderNode melodies;
    melodies.kind = FolderKind::Melody;
    melodies.items = {tune};
    const auto plan = planExport(melodies, {0}, out.path(), ExportType::OwnFormat);
    writeExportFile(tune, plan[0].path, ExportType::OwnFormat);
    EXPECT_EQ(plan[0].path.filename(), "ring.mmf");
    const std::string written = orka::testing::readText(plan[0].path);
    EXPECT_EQ(Bytes(written.begin(), written.end()), smaf);

    AnimationContent frames;
    for (std::uint8_t v = 1; v <= 5; ++v)
        frames.frames.push_back({std::uint8_t(v * 10), bitmapFromPicture(solid(4, 4, std::uint8_t(v * 40)))});
    writeExportFile(GalleryItem::make("boot", frames), out.path() / "boot.gif", ExportType::Gif);
    auto animation = orka::Animation::open(out.path() / "boot.gif");
    EXPECT_EQ(animation.frameCount(), 5);
    EXPECT_EQ(animation.delays()[4], 50);
}

TEST_F(LocalFiles, MailFoldersAreNewEachTimeAndOnlyOldOnesAreCleared)
{
    const fs::path root = out.path() / "mail";
    const fs::path first = makeMailFolder(root);
    writeBytes(first / "a.jpg", {1, 2, 3});
    const fs::path old = root / "old";
    fs::create_directories(old);
    writeBytes(old / "b.jpg", {4});
    fs::last_write_time(old, fs::file_time_type::clock::now() - std::chrono::hours(25));
    const fs::path second = makeMailFolder(root);
    EXPECT_NE(first, second);
    // The attachments of a recent e-mail stay for its mail program; a day-old one goes.
    EXPECT_TRUE(fs::exists(first / "a.jpg"));
    EXPECT_FALSE(fs::exists(old));
    EXPECT_TRUE(fs::is_empty(second));
    // A file where the folder should be: no folder can be made there.
    writeBytes(out.path() / "blocked", {0});
    EXPECT_THROW(makeMailFolder(out.path() / "blocked"), GalleryRefusal);
}

// The sizes, frames and tune limits of imported items are the editing pages' and the
// wizard's rules now (their tests); what stays here is the name a file brings and what the
// chooser offers.
TEST(Import, NamesComeFromTheFileAndTheChooserTakesTheCategorysKinds)
{
    EXPECT_EQ(itemNameFromFile("/in/wide:view.bmp"), "wide_view");
    EXPECT_EQ(refusalOf([] { checkImportSelection(70000, {"text.mmf", "b.MID"}); }), 0u);
    EXPECT_EQ(refusalOf([] { checkImportSelection(70000, {"small.jpg"}); }), kStrBadFileFormat);
    EXPECT_EQ(refusalOf([] { checkImportSelection(50000, {"boot.gif", "song.mid"}); }), kStrBadFileFormat);
    EXPECT_NE(importFilter(30000).find("*.pak"), std::string::npos);
    EXPECT_EQ(importFilter(20000).find("*.pak"), std::string::npos);
    EXPECT_NE(refusalOf([] { importFilter(kRootId); }), 0u); // no category: nothing to offer
}

TEST(Import, MenuPackagesComeAloneAndReadTheirSizeTable)
{
    orka::testing::ScratchDir in{"orka-pak"};
    EXPECT_EQ(refusalOf([] { checkImportSelection(30000, {"menu.pak", "a.bmp"}); }), kStrOnlyOneFile);
    EXPECT_EQ(refusalOf([] { checkImportSelection(20000, {"menu.PAK"}); }), kStrBadFileFormat);
    EXPECT_EQ(refusalOf([] { checkImportSelection(30000, {"menu.PAK"}); }), 0u);

    // Entry 10 00 05 01: 0x10 + 0x05 + 256 x (0x00 + 0x01) = 277 bytes; the first picture
    // is a bitmap with trailing bytes up to that size.
    Bytes pak(orka::kMenuPackageHeaderSize, ' ');
    const std::string header = "Q5 MENU [tw]     ";
    std::copy(header.begin(), header.end(), pak.begin());
    Bytes first = bmpBytes(1, 1);
    first.resize(277, 0);
    const Bytes other = bmpBytes(2, 2);
    pak.insert(pak.end(), {0x10, 0x00, 0x05, 0x01});
    for (std::size_t i = 1; i < orka::kMenuPackagePictures; ++i)
        pak.insert(pak.end(), {std::uint8_t(other.size()), 0, 0, 0});
    pak.insert(pak.end(), first.begin(), first.end());
    for (std::size_t i = 1; i < orka::kMenuPackagePictures; ++i)
        pak.insert(pak.end(), other.begin(), other.end());
    writeBytes(in.path() / "menu.pak", pak);
    const auto package = readPackageForUpload(in.path() / "menu.pak");
    ASSERT_EQ(package.pictures.size(), orka::kMenuPackagePictures);
    EXPECT_EQ(package.keptCharacters, "tw");
    EXPECT_EQ(orka::decodeJpeg(package.pictures[0]).width(), 1u); // sent as JPEG

    pak.resize(pak.size() - 1);
    writeBytes(in.path() / "short.pak", pak);
    EXPECT_THROW(readPackageForUpload(in.path() / "short.pak"), orka::Failure);
}

TEST(Midlets, DescriptorAndArchiveLimits)
{
    orka::testing::ScratchDir in{"orka-midlet"};
    auto descriptor = [&](const std::string& name, std::size_t size, bool named = true) {
        std::string text = named ? "MIDlet-Name: Snake\n" : "MIDlet-Vendor: Q5\n";
        text.resize(size, '#');
        writeBytes(in.path() / name, Bytes(text.begin(), text.end()));
        return in.path() / name;
    };
    writeBytes(in.path() / "game.jar", Bytes(204800, 1));
    const Midlet m = readMidlet(descriptor("game.JAD", 1024));
    EXPECT_EQ(m.descriptor.size(), 1024u);
    EXPECT_EQ(m.archive.size(), 204800u);
    EXPECT_EQ(refusalOf([&] { readMidlet(descriptor("game.jad", 1025)); }), kStrBadFileFormat);
    EXPECT_EQ(refusalOf([&] { readMidlet(descriptor("game.jad", 100, false)); }), kStrBadFileFormat);
    EXPECT_EQ(refusalOf([&] { readMidlet(descriptor("game.txt", 100)); }), kStrBadFileFormat);
    writeBytes(in.path() / "game.jar", Bytes(204801, 1));
    EXPECT_EQ(refusalOf([&] { readMidlet(descriptor("game.jad", 100)); }), kStrBadFileFormat);

    try {
        readMidlet(descriptor("lonely.jad", 100));
        FAIL();
    } catch (const GalleryRefusal& e) {
        EXPECT_EQ(e.messageId(), kStrOpenFileFailed);
        EXPECT_EQ(e.argument(), "lonely.jar");
    }
    writeBytes(in.path() / "OLD.JAR", Bytes(10, 2));
    EXPECT_EQ(readMidlet(descriptor("OLD.JAD", 100)).archive, Bytes(10, 2));
}
