// The main window's import and edit through the editing pages, on the real document: each
// kind of file through its pages to an item on disk, backing out at any file keeping
// nothing, and edits that replace an item's content under its old name.
#include "EditingTestSupport.h"

#include "EditPicturePage.h"
#include "orka/app/COrkaDoc.h"
#include "orka/app/ItemPictures.h"
#include "orka/app/OrkaApp.h"
#include "orka/app/ui/ItemCommands.h"
#include "orka/app/ui/ItemEditingPages.h"
#include "orka/audio/ui/RingToneEditPage.h"
#include "orka/picture/ui/CaptureAnimationPage.h"
#include "orka/picture/ui/CapturePicturePage.h"
#include "orka/testing/MelconvSmf.h"
#include "orka/testing/ToolRunner.h"
#include "orka/ui/HelpViewer.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <QAction>
#include <QImage>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolButton>

#include <filesystem>
#include <memory>

using namespace orka::app;
using namespace orka::app::ui;
using namespace orka::app::ui::testing;
using orka::ui::PromptScript;
using orka::ui::uiText;
namespace fs = std::filesystem;

namespace {

constexpr int kFaces = 40000 + kFirstUserSlot;
constexpr int kSkies = 20000 + kFirstUserSlot;
constexpr int kAnimations = 50000 + kFirstUserSlot;
constexpr int kTunes = 70000 + kFirstUserSlot;
constexpr unsigned kStrReadOnly = 4027;

QString title(WizardPage page, unsigned categoryNameId)
{
    return uiText(wizardTitleId(page)) + QStringLiteral(" - ") + uiText(categoryNameId);
}

// A picture whose left half is dark and right half light, so a mirror shows.
Bitmap halves(std::uint8_t width, std::uint8_t height)
{
    Bitmap b{width, height, 0, std::vector<std::uint8_t>(Bitmap::bytesFor(width, height, 0), 0)};
    for (std::size_t y = 0; y < height; ++y)
        for (std::size_t x = width / 2; x < width; ++x)
            for (std::size_t c = 0; c < 3; ++c)
                b.pixels[(y * width + x) * 3 + c] = 0xF0;
    return b;
}

std::uint8_t pixelAt(const Bitmap& b, std::size_t x, std::size_t y)
{
    return b.pixels[(y * (b.width + b.padding) + x) * 3];
}

// The page the F1 key of the editor asks the help for.
QString helpPageOnF1(ItemEditorDialog& dialog)
{
    auto* stack = dialog.findChild<QStackedWidget*>(QStringLiteral("pages"));
    for (QAction* action : stack->actions())
        if (action->shortcut() == QKeySequence(QKeySequence::HelpContents))
            action->trigger();
    orka::ui::HelpWindow* help = orka::ui::HelpViewer::programHelp().window();
    return help ? help->browser()->source().fileName() : QString();
}

} // namespace

class ItemEditingTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home_;
    fs::path files_;
    std::unique_ptr<COrkaApp> app_;
    std::unique_ptr<COrkaDoc> doc_;
    std::unique_ptr<QWidget> window_;
    std::unique_ptr<ItemCommands> commands_;

    QString bmp(const QString& name, int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const QString path = QString::fromStdString((files_ / name.toStdString()).string());
        image.save(path, "BMP");
        return path;
    }

    // The folder as a later start reads it from disk.
    std::vector<GalleryItem> onDisk(int folderId)
    {
        doc_->saveTree();
        COrkaDoc reread(doc_->galleryDir());
        reread.build();
        return reread.openFolder(folderId).items;
    }

private Q_SLOTS:
    void init()
    {
        home_ = std::make_unique<QTemporaryDir>();
        qputenv("ORKA_HOME", home_->path().toUtf8());
        files_ = fs::path(home_->path().toStdString()) / "files";
        fs::create_directories(files_);
        app_ = std::make_unique<COrkaApp>();
        doc_ = std::make_unique<COrkaDoc>(fs::path(home_->path().toStdString()) / "gallery");
        doc_->build();
        doc_->addLocalFolder(40000, kFaces, "faces");
        doc_->addLocalFolder(20000, kSkies, "skies");
        doc_->addLocalFolder(50000, kAnimations, "moves");
        doc_->addLocalFolder(70000, kTunes, "tunes");
        window_ = std::make_unique<QWidget>();
        commands_ = std::make_unique<ItemCommands>(*app_, *doc_, window_.get());
    }

    void cleanup()
    {
        commands_.reset();
        window_.reset();
        doc_.reset();
        app_.reset();
        home_.reset();
    }

    void importedPictureGoesThroughCaptureAndEdit()
    {
        PromptScript prompts;
        prompts.choose({bmp(QStringLiteral("my face:1.bmp"), 300, 200)});
        EditorScript editor;
        editor.then([](ItemEditorDialog& dialog) {
            QCOMPARE(dialog.currentPage(), WizardPage::CapturePicture);
            QCOMPARE(dialog.windowTitle(), title(WizardPage::CapturePicture, 65047));
            QCOMPARE(helpPageOnF1(dialog), QStringLiteral("getPictureDlgBox.html"));
            nextOn(dialog.pages().capturePicturePage());
            QCOMPARE(dialog.currentPage(), WizardPage::EditPicture);
            QCOMPARE(dialog.windowTitle(), title(WizardPage::EditPicture, 65047));
            QCOMPARE(helpPageOnF1(dialog), QStringLiteral("EditPictureDlgBox.html"));
            // Back from editing is back to capturing, still inside the dialog.
            backOn(dialog.pages().editPicturePage());
            QCOMPARE(dialog.currentPage(), WizardPage::CapturePicture);
            nextOn(dialog.pages().capturePicturePage());
            nextOn(dialog.pages().editPicturePage());
        });
        QVERIFY(commands_->importInto(kFaces));
        QCOMPARE(editor.opened(), 1);
        QCOMPARE(editor.leftOpen(), 0);
        QCOMPARE(app_->uiInfo().lastMode, std::uint32_t(WorkingMode::ImportOrEdit));
        const auto items = onDisk(kFaces);
        QCOMPARE(items.size(), std::size_t(1));
        QCOMPARE(items[0].name, std::string("my face_1")); // the title made an item name
        const Bitmap& saved = std::get<PictureContent>(items[0].content).bitmap;
        QCOMPARE(int(saved.width), 45);
        QCOMPARE(int(saved.height), 55);
    }

    void backingOutOfAnyFileKeepsNothing()
    {
        PromptScript prompts;
        prompts.choose({bmp(QStringLiteral("one.bmp"), 90, 110)});
        EditorScript editor;
        editor.then([](ItemEditorDialog& dialog) { backOn(dialog.pages().capturePicturePage()); });
        QVERIFY(!commands_->importInto(kFaces));
        QVERIFY(doc_->findFolder(kFaces)->items.empty());

        // Two files: the first finished, the second left by closing the window.
        prompts.choose({bmp(QStringLiteral("one.bmp"), 90, 110), bmp(QStringLiteral("two.bmp"), 90, 110)});
        editor.then([](ItemEditorDialog& dialog) {
                  nextOn(dialog.pages().capturePicturePage());
                  nextOn(dialog.pages().editPicturePage());
              })
            .then([](ItemEditorDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); });
        QVERIFY(!commands_->importInto(kFaces));
        QCOMPARE(editor.opened(), 3);
        QCOMPARE(editor.leftOpen(), 0);
        QVERIFY(doc_->findFolder(kFaces)->items.empty());
        QVERIFY(onDisk(kFaces).empty());
        QVERIFY(prompts.texts().isEmpty());
    }

    void gifImportCapturesFiveFrames()
    {
        PromptScript prompts;
        const fs::path gif = fs::path(qgetenv("ORKA_SOURCE_DIR").toStdString()) / "picture/tests/data/anim6.gif";
        prompts.choose({QString::fromStdString(gif.string())});
        EditorScript editor;
        editor.then([](ItemEditorDialog& dialog) {
            QCOMPARE(dialog.windowTitle(), title(WizardPage::CaptureAnimation, 65048));
            QCOMPARE(helpPageOnF1(dialog), QStringLiteral("GetAnimationDlgBox.html"));
            auto& page = dialog.pages().captureAnimationPage();
            click(page.findChild<QToolButton*>(QStringLiteral("firstFiveButton")));
            nextOn(page);
        });
        QVERIFY(commands_->importInto(kAnimations));
        const auto items = onDisk(kAnimations);
        QCOMPARE(items.size(), std::size_t(1));
        QCOMPARE(items[0].name, std::string("anim6"));
        const auto& frames = std::get<AnimationContent>(items[0].content).frames;
        QCOMPARE(frames.size(), std::size_t(5));
        for (const auto& frame : frames)
            QVERIFY(frame.bitmap.width <= 128 && frame.bitmap.height <= 160);
    }

    void tunesBecomeSmafThroughTheRingTonePage()
    {
        PromptScript prompts;
        melconv::test::Smf song;
        song.tempo(0, 500000).setup(0, 4, 0);
        for (int n = 0; n < 8; ++n)
            song.note(0, 0, 60 + n, 240);
        song.raw(0, {0xFF, 0x2F, 0x00});
        orka::testing::writeBytes(files_ / "scale.mid", song.bytes());
        prompts.choose({QString::fromStdString((files_ / "scale.mid").string())});
        // "Auto repeat" of the preferences: the song opens with loop on.
        app_->settings().ringTone.set(RingToneBlock::kAutoRepeat, true);
        EditorScript editor;
        editor.then([](ItemEditorDialog& dialog) {
            QCOMPARE(dialog.windowTitle(), title(WizardPage::RingToneEditing, 65050));
            QCOMPARE(helpPageOnF1(dialog), QStringLiteral("EditMidiDlgBox.html"));
            QVERIFY(dialog.pages().ringTonePage().editor().loopOn());
            nextOn(dialog.pages().ringTonePage());
        });
        QVERIFY(commands_->importInto(kTunes));
        QCOMPARE(prompts.texts(), QStringList{});

        // A SMAF tune needs no editing: stored as it is, without the dialog.
        std::vector<std::uint8_t> smaf(300, 0x20);
        std::copy_n("MMMD", 4, smaf.begin());
        orka::testing::writeBytes(files_ / "ready.mmf", smaf);
        prompts.choose({QString::fromStdString((files_ / "ready.mmf").string())});
        QVERIFY(commands_->importInto(kTunes));
        QCOMPARE(editor.opened(), 1);

        const auto items = onDisk(kTunes);
        QCOMPARE(items.size(), std::size_t(2));
        const auto& made = std::get<MelodyContent>(items[0].content);
        QVERIFY(made.isSmaf());
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(made.data.data()), 4), QByteArray("MMMD"));
        QCOMPARE(std::get<MelodyContent>(items[1].content), (MelodyContent{MelodyContent::kSmaf, smaf}));

        // A SMAF item has nothing to edit; the MIDI-made one neither, being SMAF now.
        QVERIFY(!commands_->canEditItem(kTunes, 1));
        QVERIFY(!commands_->editItem(kTunes, 1));
        QCOMPARE(editor.opened(), 1);
    }

    void mainMenuSetIntoAPictureFolderKeepsEachPicture()
    {
        const int menus = 30000 + kFirstUserSlot;
        doc_->addLocalFolder(30000, menus, "menus");
        PromptScript prompts;
        prompts.choose({bmp(QStringLiteral("menu.bmp"), 256, 168)});
        EditorScript editor;
        editor.then([](ItemEditorDialog& dialog) {
            auto& capture = dialog.pages().capturePicturePage();
            click(capture.findChild<QAbstractButton*>(QStringLiteral("addToMenuButton")));
            click(capture.findChild<QAbstractButton*>(QStringLiteral("addToMenuButton")));
            QCOMPARE(capture.menuPictures().size(), std::size_t(2));
            nextOn(capture);
            nextOn(dialog.pages().editPicturePage());
        });
        QVERIFY(commands_->importInto(menus));
        const auto items = onDisk(menus);
        QCOMPARE(items.size(), std::size_t(2));
        QCOMPARE(items[0].name, std::string("menu"));
        QCOMPARE(items[1].name, std::string("menu_2"));
        QCOMPARE(int(std::get<PictureContent>(items[1].content).bitmap.height), 84);
    }

    void editReplacesTheContentUnderTheOldName()
    {
        GalleryItem sky = GalleryItem::make("sky", PictureContent{halves(8, 6)});
        sky.handsetNumber = 7;
        doc_->addItem(kSkies, sky);
        doc_->saveFolder(kSkies);
        QVERIFY(commands_->canEditItem(kSkies, 0));

        // Backing out of the first page changes nothing.
        EditorScript editor;
        editor.then([](ItemEditorDialog& dialog) { backOn(dialog.pages().editPicturePage()); });
        QVERIFY(!commands_->editItem(kSkies, 0));
        QCOMPARE(doc_->findFolder(kSkies)->items[0], sky);

        // A folder file that cannot be written leaves the item shown as it was.
        PromptScript prompts;
        const fs::path blocked = doc_->folderFilePath(kSkies);
        fs::remove(blocked);
        fs::create_directories(blocked / "in-the-way");
        editor.then([](ItemEditorDialog& dialog) { nextOn(dialog.pages().editPicturePage()); });
        QVERIFY(!commands_->editItem(kSkies, 0));
        QCOMPARE(prompts.texts().size(), 1);
        QCOMPARE(doc_->findFolder(kSkies)->items[0], sky);
        fs::remove_all(blocked);

        editor.then([](ItemEditorDialog& dialog) {
            QCOMPARE(dialog.windowTitle(), title(WizardPage::EditPicture, 65045));
            dialog.pages().editPicturePage().flipHorizontal();
            nextOn(dialog.pages().editPicturePage());
        });
        QVERIFY(commands_->editItem(kSkies, 0));
        QCOMPARE(doc_->findFolder(kSkies)->items[0].handsetNumber, 7);
        const auto items = onDisk(kSkies);
        QCOMPARE(items.size(), std::size_t(1));
        QCOMPARE(items[0].name, std::string("sky"));
        const Bitmap& mirrored = std::get<PictureContent>(items[0].content).bitmap;
        QCOMPARE(int(mirrored.width), 8);
        QCOMPARE(pixelAt(mirrored, 0, 0), std::uint8_t(0xF0));
        QCOMPARE(pixelAt(mirrored, 7, 0), std::uint8_t(0));
    }

    void editOfAnAnimationKeepsEachFramesTime()
    {
        AnimationContent moves;
        for (std::uint8_t n = 1; n <= 5; ++n)
            moves.frames.push_back({std::uint8_t(n * 10), halves(20, 30)});
        doc_->addItem(kAnimations, GalleryItem::make("run", moves));
        EditorScript editor;
        editor.then([](ItemEditorDialog& dialog) {
            auto& page = dialog.pages().editPicturePage();
            QCOMPARE(page.editedPictures().size(), std::size_t(5));
            page.rotateLeft();
            nextOn(page);
        });
        QVERIFY(commands_->editItem(kAnimations, 0));
        const auto items = onDisk(kAnimations);
        const auto& frames = std::get<AnimationContent>(items.at(0).content).frames;
        QCOMPARE(frames.size(), std::size_t(5));
        for (std::size_t i = 0; i < frames.size(); ++i)
            QCOMPARE(int(frames[i].value), int(i + 1) * 10);
        QCOMPARE(int(frames[0].bitmap.width), 30); // the turned frame
        QCOMPARE(int(frames[0].bitmap.height), 20);
    }

    void editRefusesReadOnlyAndUnstoredFolders()
    {
        PromptScript prompts;
        doc_->addItem(kSkies, GalleryItem::make("sky", PictureContent{halves(4, 4)}));
        doc_->saveFolder(kSkies);
        doc_->findFolder(kSkies)->readOnly = true;
        EditorScript editor;
        QVERIFY(!commands_->canEditItem(kSkies, 0));
        QVERIFY(!commands_->editItem(kSkies, 0));
        QCOMPARE(prompts.texts(), QStringList{uiText(kStrReadOnly)});
        QVERIFY(!commands_->canEditItem(kSkies, 1)); // no such item
        // The handset folder's items are the handset's: not edited here.
        const int handset = 20000 + kHandsetSlot;
        doc_->findFolder(handset)->items.push_back(GalleryItem::make("there", PictureContent{halves(4, 4)}));
        QVERIFY(!commands_->canEditItem(handset, 0));
        QVERIFY(!commands_->editItem(handset, 0));
        QCOMPARE(editor.opened(), 0);
    }
};

QTEST_MAIN(ItemEditingTest)
#include "ItemEditingTest.moc"
