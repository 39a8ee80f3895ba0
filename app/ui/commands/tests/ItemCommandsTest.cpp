// The main window's item and folder commands as a user meets them: refused names keep the
// old one, confirmations by the preferences, export and e-mail files, MIDlets, and the
// handset jobs against the simulator.
#include "orka/app/COrkaDoc.h"
#include "orka/app/ItemPictures.h"
#include "orka/app/LocalFileOps.h"
#include "orka/app/OrkaApp.h"
#include "orka/app/ui/ItemCommands.h"
#include "orka/app/ui/ItemEditingPages.h"

#include "../../editing/tests/EditingTestSupport.h"
#include "orka/pio.h"
#include "orka/testing/SimulatorProcess.h"
#include "orka/testing/ToolRunner.h"
#include "orka/platform/StatePaths.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <memory>

using namespace orka::app;
using orka::app::ui::ItemCommands;
using orka::ui::Answer;
using orka::ui::PromptScript;
using orka::ui::uiFormat;
using orka::ui::uiText;
namespace fs = std::filesystem;

namespace {

constexpr int kSimulatorPort = 9;
constexpr unsigned kStrUploaded = 65081;   // "上傳成功!"
constexpr unsigned kStrDownloaded = 65082; // "下載成功!"
constexpr unsigned kStrDeleted = 65161;    // "刪除成功!"
constexpr unsigned kStrPreviewed = 65092;  // "預覽成功!"

std::vector<std::uint8_t> fileBytes(const fs::path& file)
{
    const std::string text = orka::testing::readText(file);
    return {text.begin(), text.end()};
}

GalleryItem pictureItem(const std::string& name)
{
    orka::DibPicture p(6, 4, 3);
    std::fill(p.pixels(), p.pixels() + p.pixelBytes(), std::uint8_t(120));
    return GalleryItem::make(name, PictureContent{bitmapFromPicture(p)});
}

fs::path local(const QString& path) { return fs::path(path.toStdString()); }

// Answers the next modal dialog (the export dialog) once it shows: folder, type, OK.
void answerExportDialog(const QString& folder, int typeRow)
{
    QTimer::singleShot(0, [folder, typeRow] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            answerExportDialog(folder, typeRow);
            return;
        }
        dialog->findChild<QLineEdit*>(QStringLiteral("folderEdit"))->setText(folder);
        if (auto* types = dialog->findChild<QComboBox*>(QStringLiteral("typeBox")); types && types->count() > typeRow)
            types->setCurrentIndex(typeRow);
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    });
}

} // namespace

class ItemCommandsTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;
    std::unique_ptr<COrkaApp> app_;
    std::unique_ptr<COrkaDoc> doc_;
    std::unique_ptr<QWidget> window_;
    std::unique_ptr<ItemCommands> commands_;
    std::unique_ptr<orka::test::Simulator> sim_;

    fs::path storeDir() const { return local(home_.path()) / "store"; }
    void startSimulator()
    {
        sim_ = std::make_unique<orka::test::Simulator>(local(home_.path()),
                                                       orka::test::Simulator::Options{kSimulatorPort, "", {}});
    }
    // A wallpaper on the handset before the simulator starts.
    void putWallpaper(int index, std::uint8_t shade)
    {
        const fs::path dir = storeDir() / "store2" / ("item" + std::to_string(index));
        fs::create_directories(dir);
        orka::DibPicture p(16, 12, 3);
        std::fill(p.pixels(), p.pixels() + p.pixelBytes(), shade);
        orka::testing::writeBytes(dir / "part0.bin", orka::uploadBytes(p, 2));
    }

    int userFolder(int category, std::vector<std::string> itemNames = {})
    {
        const int id = doc_->freeFolderId(category);
        doc_->addLocalFolder(category, id, "folder" + std::to_string(id));
        for (auto& name : itemNames)
            doc_->addItem(id, pictureItem(name));
        return id;
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("ORKA_HOME", home_.path().toUtf8());
        QVERIFY(PIOInitPhone());
    }

    void init()
    {
        fs::remove_all(local(home_.path()) / "gallery");
        fs::remove_all(storeDir());
        app_ = std::make_unique<COrkaApp>();
        doc_ = std::make_unique<COrkaDoc>(local(home_.path()) / "gallery");
        doc_->build();
        window_ = std::make_unique<QWidget>();
        app_->preferences().setPort(kSimulatorPort);
        commands_ = std::make_unique<ItemCommands>(*app_, *doc_, window_.get());
    }

    void cleanup()
    {
        sim_.reset();
        commands_.reset();
        window_.reset();
        doc_.reset();
        app_.reset();
    }

    void refusedNamesKeepTheOldOne()
    {
        PromptScript script;
        const auto id = commands_->newFolder(20000);
        QVERIFY(id);
        QVERIFY(!commands_->renameFolder(*id, QStringLiteral("a:b")));
        QCOMPARE(script.texts().last(), uiText(kStrNameCharacters));
        QCOMPARE(doc_->findFolder(*id)->name, std::string("新資料夾"));

        QVERIFY(!commands_->newFolder(20000)); // a second "新資料夾"
        QCOMPARE(script.texts().last(), uiText(kStrFolderExists));

        doc_->addItem(*id, pictureItem("sea"));
        QVERIFY(!commands_->renameItem(*id, 0, QStringLiteral("sea?")));
        QCOMPARE(doc_->findFolder(*id)->items[0].name, std::string("sea"));
        QVERIFY(commands_->renameItem(*id, 0, QStringLiteral("海")));
        QCOMPARE(doc_->findFolder(*id)->items[0].name, std::string("海"));
    }

    void onlyUserFoldersAreDeletedAndAskedFor()
    {
        PromptScript script;
        QVERIFY(!commands_->canDeleteFolder(20001));
        QVERIFY(!commands_->canDeleteFolder(20002));
        QVERIFY(!commands_->deleteFolder(20002));
        QVERIFY(script.shown().empty());

        const int id = userFolder(50000);
        script.answer(Answer::No);
        QVERIFY(!commands_->deleteFolder(id));
        QCOMPARE(script.texts().last(), uiText(4017));
        QVERIFY(doc_->findFolder(id));
        QSignalSpy tree(commands_.get(), &ItemCommands::treeChanged);
        QVERIFY(commands_->deleteFolder(id));
        QVERIFY(!doc_->findFolder(id));
        QCOMPARE(tree.count(), 1);
    }

    void deletionFollowsTheFourButtons()
    {
        const int id = userFolder(40000, {"a", "b", "c", "d"});
        {
            PromptScript script;
            script.answer(Answer::No);
            script.answer(Answer::YesToAll);
            QVERIFY(commands_->deleteItems(id, {0, 1, 2, 3}));
            QCOMPARE(script.texts().size(), 2); // "全部皆是" asks no more
            QCOMPARE(script.texts().at(0), uiFormat(4015, {QStringLiteral("a")}));
            QCOMPARE(doc_->findFolder(id)->items.size(), std::size_t(1));
        }
        for (const char* n : {"e", "f"})
            doc_->addItem(id, pictureItem(n));
        {
            PromptScript script;
            script.answer(Answer::Yes);
            script.answer(Answer::Cancel);
            QVERIFY(commands_->deleteItems(id, {0, 1, 2}));
            const auto& items = doc_->findFolder(id)->items;
            QCOMPARE(items.size(), std::size_t(2)); // "a" went, "取消" kept "e" and "f"
            QCOMPARE(items[0].name, std::string("e"));
        }
        app_->preferences().setOption(PreferencesBlock::kWarnDeleteData, false);
        PromptScript quiet;
        QVERIFY(commands_->deleteItems(id, {0, 1}));
        QVERIFY(quiet.shown().empty());
        QVERIFY(doc_->findFolder(id)->items.empty());
    }

    void readOnlyFoldersRefuseChanges()
    {
        PromptScript script;
        const int id = userFolder(20000, {"a"});
        doc_->saveFolder(id);
        fs::permissions(doc_->folderFilePath(id), fs::perms::owner_read);
        doc_->findFolder(id)->readOnly = true;
        QVERIFY(!commands_->importInto(id));
        QVERIFY(!commands_->deleteItems(id, {0}));
        QCOMPARE(script.texts(), QStringList({uiText(kStrReadOnlyFolder), uiText(kStrReadOnlyFolder)}));
        QCOMPARE(doc_->findFolder(id)->items.size(), std::size_t(1));
    }

    void importFitsPicturesAndFailsWhole()
    {
        QTemporaryDir in;
        const auto big = orka::encodePicture(orka::DibPicture(400, 100, 3), orka::PictureFormat::Bmp);
        orka::testing::writeBytes(local(in.filePath(QStringLiteral("wide.bmp"))), big);
        orka::testing::writeBytes(local(in.filePath(QStringLiteral("broken.jpg"))), {0xFF, 0xD8, 0x00});
        const int id = userFolder(20000);
        PromptScript script;
        script.choose({in.filePath(QStringLiteral("wide.bmp")), in.filePath(QStringLiteral("broken.jpg"))});
        QVERIFY(!commands_->importInto(id));
        QVERIFY(doc_->findFolder(id)->items.empty());
        QCOMPARE(script.shown().front().filter.contains(QStringLiteral("*.pak")), false);

        // A picture is captured in the wallpaper's shape and handed on at its size.
        script.choose({in.filePath(QStringLiteral("wide.bmp"))});
        orka::app::ui::testing::EditorScript editor;
        editor.then([](orka::app::ui::ItemEditorDialog& dialog) {
            orka::app::ui::testing::nextOn(*dialog.pages().page(WizardPage::CapturePicture));
            orka::app::ui::testing::nextOn(*dialog.pages().page(WizardPage::EditPicture));
        });
        QVERIFY(commands_->importInto(id));
        QCOMPARE(editor.opened(), 1);
        const auto& bitmap = std::get<PictureContent>(doc_->findFolder(id)->items.at(0).content).bitmap;
        QCOMPARE(int(bitmap.width), 128);
        QCOMPARE(int(bitmap.height), 124);
        QVERIFY(fs::exists(doc_->folderFilePath(id)));
    }

    void exportChecksNamesFirstAndStaysInside()
    {
        QTemporaryDir out;
        const int id = userFolder(20000, {"sun", "sun"});
        // A name the gallery refuses today, as an old container file may still hold it.
        doc_->findFolder(id)->items.push_back(pictureItem("../evil"));
        PromptScript script;
        QVERIFY(!commands_->exportItems(id, {0, 1}));
        QCOMPARE(script.texts().last(), uiFormat(kStrFileNameTaken, {QStringLiteral("sun")}));
        QVERIFY(QDir(out.path()).isEmpty());

        answerExportDialog(out.path(), 1); // JPEG
        QVERIFY(commands_->exportItems(id, {2}));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{QStringLiteral("_evil.jpg")});
        QVERIFY(!fs::exists(local(out.path()).parent_path() / "evil.jpg"));
    }

    void mailedFilesStayForTheMailProgramInTheMailFolder()
    {
        // A stand-in xdg-email that notes whether each attachment is there.
        QTemporaryDir bin;
        const fs::path script = local(bin.filePath(QStringLiteral("xdg-email")));
        const std::string text = "#!/bin/sh\nwhile [ $# -gt 0 ]; do\n  if [ \"$1\" = --attach ]; then shift; "
                                 "[ -f \"$1\" ] && echo \"$1\" >> \"" + bin.path().toStdString() + "/seen\"; fi\n"
                                 "  shift\ndone\n";
        orka::testing::writeBytes(script, {text.begin(), text.end()});
        fs::permissions(script, fs::perms::owner_all);
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", bin.path().toUtf8() + ":" + oldPath);

        const int id = userFolder(20000, {"one", "two"});
        QVERIFY(commands_->mailItems(id, {0, 1}));
        qputenv("PATH", oldPath);
        const QStringList seen = QString::fromStdString(orka::testing::readText(local(bin.filePath("seen"))))
                                     .split('\n', Qt::SkipEmptyParts);
        QCOMPARE(seen.size(), 2);
        QVERIFY(seen[0].endsWith(QStringLiteral("/one.jpg")));
        // A mail program that hands the message on reads the files later: they stay, in the
        // mail folder under ORKA_HOME.
        QVERIFY(QFile::exists(seen[0]) && QFile::exists(seen[1]));
        QVERIFY(seen[0].startsWith(QString::fromStdString(orka::platform::StatePaths::mailDir().string())));
        QVERIFY(window_->isEnabled());
    }

    void midletDescriptorOverItsLimitIsRefused()
    {
        QTemporaryDir in;
        std::string jad = "MIDlet-Name: Snake\n";
        jad.resize(1025, '#');
        orka::testing::writeBytes(local(in.filePath(QStringLiteral("snake.jad"))), {jad.begin(), jad.end()});
        orka::testing::writeBytes(local(in.filePath(QStringLiteral("snake.jar"))), {1, 2, 3});
        PromptScript script;
        script.choose({in.filePath(QStringLiteral("snake.jad"))});
        QVERIFY(!commands_->importMidlet());
        QCOMPARE(script.shown().front().filter, QStringLiteral("Java(*.jad) (*.jad)"));
        QCOMPARE(script.texts(), QStringList{uiText(kStrBadFileFormat)});
    }

    void midletGoesToTheHandsetDescriptorFirst()
    {
        startSimulator();
        QTemporaryDir in;
        const std::string jad = "MIDlet-Version: 1.0\r\nMIDlet-Name: Snake\r\n";
        const auto jar = orka::test::patternBytes(6000);
        orka::testing::writeBytes(local(in.filePath(QStringLiteral("snake.jad"))), {jad.begin(), jad.end()});
        orka::testing::writeBytes(local(in.filePath(QStringLiteral("snake.jar"))), jar);
        PromptScript script;
        script.choose({in.filePath(QStringLiteral("snake.jad"))});
        QVERIFY(commands_->importMidlet());
        QCOMPARE(script.texts(), QStringList{uiText(kStrUploaded)});
        const fs::path midlet = sim_->storeDir() / "store8" / "item1";
        QCOMPARE(fileBytes(midlet / "part1.bin"), std::vector<std::uint8_t>(jad.begin(), jad.end()));
        QCOMPARE(fileBytes(midlet / "part2.bin"), std::vector<std::uint8_t>(jar.begin(), jar.end()));
    }

    void downloadFillsTheHandsetFolderAndDeleteReachesTheHandset()
    {
        putWallpaper(3, 50);
        putWallpaper(7, 200);
        startSimulator();
        FolderNode& handset = *doc_->findFolder(20001);
        GalleryItem gone = pictureItem("gone");
        gone.handsetNumber = 9; // listed before, no longer on the handset
        handset.items.push_back(gone);
        const int userId = userFolder(20000);
        PromptScript script;
        QSignalSpy changed(commands_.get(), &ItemCommands::folderChanged);
        QVERIFY(commands_->download(userId)); // from any folder of the category
        QCOMPARE(script.texts(), QStringList{uiText(kStrDownloaded)});
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toInt(), 20001);
        QCOMPARE(handset.items.size(), std::size_t(2));
        QCOMPARE(handset.items[0].handsetNumber, 3);
        QCOMPARE(handset.items[1].name, std::string("7"));
        QCOMPARE(std::get<PictureContent>(handset.items[1].content).bitmap.width, std::uint8_t(16));
        QVERIFY(doc_->findFolder(userId)->items.empty());

        // "否" to the handset question: only the list loses the item.
        script.clear();
        script.answer(Answer::Yes);
        script.answer(Answer::No);
        QVERIFY(commands_->deleteItems(20001, {0}));
        QCOMPARE(script.texts().at(1), uiText(65162)); // "要同步刪除手機資料?"
        QVERIFY(fs::exists(sim_->storeDir() / "store2" / "item3"));
        // "是" deletes it there too, through the transfer dialog.
        script.clear();
        script.answer(Answer::Yes);
        script.answer(Answer::Yes);
        QVERIFY(commands_->deleteItems(20001, {0}));
        QCOMPARE(script.texts().last(), uiText(kStrDeleted));
        QVERIFY(!fs::exists(sim_->storeDir() / "store2" / "item7"));
        QVERIFY(handset.items.empty());
    }

    void menuPackageGoesUpAsOneSet()
    {
        // The handset keeps a main-menu set of a whole package.
        startSimulator();
        QTemporaryDir in;
        std::vector<std::uint8_t> pak(orka::kMenuPackageHeaderSize, ' ');
        const auto picture = orka::encodePicture(orka::DibPicture(8, 8, 3), orka::PictureFormat::Bmp);
        for (std::size_t i = 0; i < orka::kMenuPackagePictures; ++i)
            pak.insert(pak.end(), {std::uint8_t(picture.size()), 0, 0, 0});
        for (std::size_t i = 0; i < orka::kMenuPackagePictures; ++i)
            pak.insert(pak.end(), picture.begin(), picture.end());
        orka::testing::writeBytes(local(in.filePath(QStringLiteral("menu.pak"))), pak);

        const int id = userFolder(30000);
        PromptScript script;
        script.choose({in.filePath(QStringLiteral("menu.pak")), in.filePath(QStringLiteral("other.bmp"))});
        QVERIFY(!commands_->importInto(id));
        QCOMPARE(script.texts(), QStringList{uiText(kStrOnlyOneFile)});
        QVERIFY(script.shown().front().filter.contains(QStringLiteral("*.pak")));
        script.clear();
        script.choose({in.filePath(QStringLiteral("menu.pak"))});
        QVERIFY(commands_->importInto(id));
        QCOMPARE(script.texts(), QStringList{uiText(kStrUploaded)});
        QVERIFY(fs::exists(sim_->storeDir() / "store3" / "item1" / "part81.bin"));
        QVERIFY(doc_->findFolder(id)->items.empty()); // a package is sent, never kept
    }

    void uploadAndPreviewSendTheItemAsTheHandsetTakesIt()
    {
        startSimulator();
        const int id = userFolder(40000, {"face", "smile"});
        PromptScript script;
        QVERIFY(commands_->upload(id, {0, 1}));
        QVERIFY(commands_->previewOnHandset(id, 1));
        QCOMPARE(script.texts(), QStringList({uiText(kStrUploaded), uiText(kStrPreviewed)}));
        // Caller photos travel as raw 16-bit pixels: 6 x 4 of them here.
        const auto sent = fileBytes(sim_->storeDir() / "store4" / "item2" / "part0.bin");
        QCOMPARE(sent.size(), std::size_t(6 * 4 * 2));
        QCOMPARE(fileBytes(sim_->storeDir() / "preview" / "store4-part0.bin"), sent);
    }
};

QTEST_MAIN(ItemCommandsTest)
#include "ItemCommandsTest.moc"
