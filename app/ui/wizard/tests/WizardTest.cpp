// The wizard window on the real document: passes from a media kind to a saved item, the
// ring-tone import limits, and the questions and ends of leaving.
#include "orka/app/ui/CWizard.h"

#include "../src/WizardPages.h"
#include "../../editing/tests/EditingTestSupport.h"

#include "EditPicturePage.h"
#include "orka/audio/ui/RingToneEditPage.h"
#include "orka/picture/ui/CaptureAnimationPage.h"
#include "orka/picture/ui/CapturePicturePage.h"

#include "orka/app/COrkaDoc.h"
#include "orka/app/OrkaApp.h"
#include "orka/picture/PictureFile.h"
#include "orka/transfer/TransferJob.h"
#include "orka/pio.h"
#include "orka/testing/MelconvSmf.h"
#include "orka/testing/SimulatorProcess.h"
#include "orka/testing/ToolRunner.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace orka::app;
using namespace orka::app::ui;
using orka::app::ui::testing::click;
using orka::app::ui::testing::nextOn;
using orka::ui::Answer;
using orka::ui::PromptScript;
using orka::ui::uiFormat;
using orka::ui::uiText;
namespace fs = std::filesystem;

namespace {

constexpr int kWallpaper = 20000;
constexpr int kAnimation = 50000;
constexpr int kRingTone = 70000;
constexpr int kSimulatorPort = 7;

std::vector<std::uint8_t> tune(const char (&mark)[5], std::size_t size)
{
    std::vector<std::uint8_t> bytes(size, 0x20);
    std::copy(mark, mark + 4, bytes.begin());
    return bytes;
}

} // namespace

class WizardTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> homeDir_;
    fs::path home_;
    fs::path files_;
    std::unique_ptr<COrkaApp> app_;
    std::unique_ptr<COrkaDoc> doc_;

    fs::path file(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        orka::testing::writeBytes(files_ / name, bytes);
        return files_ / name;
    }

    // From the capture picture page through the edit picture page, as they stand.
    static void throughPictureEditing(CWizard& wizard)
    {
        QCOMPARE(wizard.currentPage(), WizardPage::CapturePicture);
        nextOn(wizard.capturePicturePage());
        QCOMPARE(wizard.currentPage(), WizardPage::EditPicture);
        nextOn(wizard.editPicturePage());
        QCOMPARE(wizard.currentPage(), WizardPage::UploadOrSave);
    }

    // Chooses the media kind and imports one file into the choose-file page.
    void importInto(CWizard& wizard, int category, const std::vector<fs::path>& chosen, PromptScript& script)
    {
        if (wizard.currentPage() != WizardPage::ChooseFile)
            click(wizard.chooseMediaPage().categoryButton(category));
        QStringList paths;
        for (const auto& p : chosen)
            paths << QString::fromStdString(p.string());
        script.choose(paths);
        click(wizard.chooseFilePage().importButton());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(PIOInitPhone());
    }

    void init()
    {
        homeDir_ = std::make_unique<QTemporaryDir>(); // each case starts from an empty home
        QVERIFY(homeDir_->isValid());
        qputenv("ORKA_HOME", homeDir_->path().toUtf8());
        home_ = homeDir_->path().toStdString();
        files_ = home_ / "files";
        fs::create_directories(files_);
        app_ = std::make_unique<COrkaApp>();
        app_->uiInfo().setLastMode(WorkingMode::Management);
        doc_ = std::make_unique<COrkaDoc>(home_ / "gallery");
        doc_->build();
        doc_->addLocalFolder(kWallpaper, kWallpaper + 3, "我的桌布");
        doc_->addLocalFolder(kRingTone, kRingTone + 3, "我的鈴聲");
    }

    void cleanup()
    {
        doc_.reset();
        app_.reset();
    }

    void opensInWizardModeOnTheFirstPage()
    {
        CWizard wizard(*app_, *doc_);
        QCOMPARE(app_->uiInfo().lastMode, 1u);
        QCOMPARE(wizard.currentPage(), WizardPage::ChooseMedia);
        QCOMPARE(wizard.windowTitle(), QStringLiteral("精靈 - 選擇多媒體資料"));
        QCOMPARE(wizard.chooseMediaPage().categoryButton(kRingTone)->text(), QStringLiteral("鈴聲"));
    }

    void smafRingToneSkipsTheEditor()
    {
        PromptScript script;
        CWizard wizard(*app_, *doc_);
        wizard.show();
        const auto smaf = tune("MMMD", 300);
        importInto(wizard, kRingTone, {file("tone.mmf", smaf)}, script);
        QCOMPARE(wizard.windowTitle(), QStringLiteral("精靈 - 選取檔案 - 鈴聲"));
        QVERIFY(script.texts().isEmpty());
        click(wizard.chooseFilePage().nextButton());
        QCOMPARE(wizard.currentPage(), WizardPage::UploadOrSave);
        QCOMPARE(wizard.windowTitle(), QStringLiteral("精靈 - 上傳或儲存 - 鈴聲"));
        const auto& result = wizard.uploadOrSavePage().result();
        QVERIFY(result);
        QCOMPARE(result->name, std::string("tone"));
        QCOMPARE(std::get<MelodyContent>(result->contents.at(0)), (MelodyContent{MelodyContent::kSmaf, smaf}));
    }

    void ringToneImportStopsAbove9216Bytes()
    {
        PromptScript script;
        CWizard wizard(*app_, *doc_);
        wizard.show();
        QListWidget* list = wizard.chooseFilePage().itemList();

        importInto(wizard, kRingTone, {file("over.mid", tune("MThd", 9217))}, script);
        QCOMPARE(script.texts(), QStringList{uiFormat(65072, {QStringLiteral("over.mid")})});
        const int before = list->count();

        importInto(wizard, kRingTone, {file("limit.mid", tune("MThd", 9216))}, script);
        QCOMPARE(script.texts().size(), 1); // nothing more to say
        QCOMPARE(list->count(), before + 1);
        QCOMPARE(list->currentItem()->text(), QStringLiteral("limit.mid"));

        // Several files, or a file of another kind, leave the page as it was.
        importInto(wizard, kRingTone, {files_ / "limit.mid", files_ / "over.mid"}, script);
        importInto(wizard, kRingTone, {file("song.wav", tune("RIFF", 40))}, script);
        QCOMPARE(script.texts().mid(1), (QStringList{uiText(65152), uiText(65181)}));
        QCOMPARE(list->count(), before + 1);
    }

    void midiRingToneGoesThroughTheEditor()
    {
        PromptScript script;
        CWizard wizard(*app_, *doc_);
        wizard.show();
        melconv::test::Smf song;
        song.tempo(0, 500000).setup(0, 4, 0);
        for (int n = 0; n < 8; ++n)
            song.note(0, 0, 60 + n, 240);
        song.raw(0, {0xFF, 0x2F, 0x00});
        importInto(wizard, kRingTone, {file("scale.mid", song.bytes())}, script);
        click(wizard.chooseFilePage().nextButton());
        QCOMPARE(wizard.currentPage(), WizardPage::RingToneEditing);
        QCOMPARE(wizard.windowTitle(), QStringLiteral("精靈 - 鈴聲編輯 - 鈴聲"));
        nextOn(wizard.ringTonePage());
        QCOMPARE(script.texts(), QStringList{});
        QCOMPARE(wizard.currentPage(), WizardPage::UploadOrSave);
        const auto& result = *wizard.uploadOrSavePage().result();
        QCOMPARE(result.name, std::string("scale"));
        const auto& melody = std::get<MelodyContent>(result.contents.at(0));
        QVERIFY(melody.isSmaf());
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(melody.data.data()), 4), QByteArray("MMMD"));

        // The tune's preview plays through the synthesizer and is stopped before the next pass.
        UploadOrSavePage& page = wizard.uploadOrSavePage();
        click(page.button(UploadOrSavePage::Preview));
        QVERIFY(page.busy());
        click(page.nextItemButton());
        QVERIFY(!page.busy());
        QCOMPARE(wizard.currentPage(), WizardPage::ChooseMedia);
    }

    void animationPreviewEndsBeforeTheNextPass()
    {
        PromptScript script;
        CWizard wizard(*app_, *doc_);
        wizard.show();
        const fs::path gif = fs::path(qgetenv("ORKA_SOURCE_DIR").toStdString()) / "picture/tests/data/anim6.gif";
        importInto(wizard, kAnimation, {gif}, script);
        click(wizard.chooseFilePage().nextButton());
        QCOMPARE(wizard.windowTitle(), QStringLiteral("精靈 - 截取動畫 - 開/關機動畫"));
        click(wizard.captureAnimationPage().findChild<QToolButton*>(QStringLiteral("firstFiveButton")));
        nextOn(wizard.captureAnimationPage());
        QCOMPARE(wizard.windowTitle(), QStringLiteral("精靈 - 上傳或儲存 - 開/關機動畫"));
        UploadOrSavePage& page = wizard.uploadOrSavePage();
        const auto& frames = std::get<AnimationContent>(page.result()->contents.at(0)).frames;
        QCOMPARE(frames.size(), std::size_t(5));
        for (const auto& frame : frames)
            QVERIFY(frame.bitmap.width <= 128 && frame.bitmap.height <= 160);

        click(page.button(UploadOrSavePage::Preview));
        QVERIFY(page.busy());
        click(page.nextItemButton()); // asks 65036, an empty queue says yes
        QCOMPARE(script.texts(), QStringList{uiText(65036)});
        QVERIFY(!page.busy());
        QCOMPARE(wizard.currentPage(), WizardPage::ChooseMedia);
    }

    void nextWithNothingChosenOrNoCategory()
    {
        PromptScript script;
        CWizard wizard(*app_, *doc_);
        click(wizard.chooseMediaPage().categoryButton(kWallpaper));
        wizard.chooseFilePage().itemList()->clearSelection();
        click(wizard.chooseFilePage().nextButton());
        QCOMPARE(script.texts(), QStringList{uiText(65062)});
        QCOMPARE(wizard.currentPage(), WizardPage::ChooseFile);

        COrkaDoc empty(home_ / "unbuilt");
        CWizard bare(*app_, empty);
        click(bare.chooseMediaPage().categoryButton(kWallpaper));
        QCOMPARE(script.texts().last(), QStringLiteral("Please create a category."));
        QCOMPARE(bare.currentPage(), WizardPage::ChooseMedia);
    }

    void wallpaperPassEndsAsASavedItem()
    {
        PromptScript script;
        CWizard wizard(*app_, *doc_);
        wizard.show();
        orka::DibPicture picture(300, 200, 3);
        const fs::path bmp = orka::savePicture(picture, files_ / "sky", orka::SaveKind::Bmp);
        importInto(wizard, kWallpaper, {bmp}, script);
        click(wizard.chooseFilePage().nextButton());
        QCOMPARE(wizard.windowTitle(), QStringLiteral("精靈 - 截取圖片 - 桌布"));
        throughPictureEditing(wizard);
        UploadOrSavePage& page = wizard.uploadOrSavePage();

        // Only folders that take a wallpaper and can change are offered.
        QStringList offered;
        for (int i = 0; i < page.folderList()->count(); ++i)
            offered << page.folderList()->item(i)->text();
        QVERIFY(offered.contains(QStringLiteral("我的桌布")));
        QVERIFY(!offered.contains(uiText(65042)));
        page.folderList()->setCurrentRow(int(offered.indexOf(QStringLiteral("我的桌布"))));

        // A name the gallery cannot keep is refused and nothing is saved.
        click(page.button(UploadOrSavePage::Rename));
        page.nameEdit()->setText(QStringLiteral("a:b"));
        click(page.button(UploadOrSavePage::Save));
        QCOMPARE(script.texts(), QStringList{uiText(46030)});
        QVERIFY(!page.savedOrUploaded());

        page.nameEdit()->setText(QStringLiteral("藍天"));
        // A folder file that cannot be written is a failure, and the folder keeps nothing of it.
        const fs::path blocked = doc_->folderFilePath(kWallpaper + 3);
        fs::create_directories(blocked / "in-the-way");
        click(page.button(UploadOrSavePage::Save));
        QVERIFY(script.texts().last().startsWith(QStringLiteral("寫入檔案")));
        QVERIFY(!page.savedOrUploaded());
        QVERIFY(doc_->findFolder(kWallpaper + 3)->items.empty());
        fs::remove_all(blocked);

        click(page.button(UploadOrSavePage::Save));
        QCOMPARE(script.texts().last(), QStringLiteral("儲存檔案成功"));
        QVERIFY(page.savedOrUploaded());

        // The folder file holds it at the wallpaper's 128 x 124.
        doc_->saveTree(); // the folder itself is the main window's, listed at exit
        COrkaDoc reread(doc_->galleryDir());
        reread.build();
        const FolderNode& folder = reread.openFolder(kWallpaper + 3);
        QCOMPARE(folder.items.size(), std::size_t(1));
        QCOMPARE(folder.items[0].name, std::string("藍天"));
        const Bitmap& saved = std::get<PictureContent>(folder.items[0].content).bitmap;
        QCOMPARE(int(saved.width), 128);
        QCOMPARE(int(saved.height), 124);

        // After saving, the next item needs no question and starts a new pass.
        click(page.nextItemButton());
        QCOMPARE(script.texts().size(), 3);
        QCOMPARE(wizard.currentPage(), WizardPage::ChooseMedia);
    }

    void backFromEditingPagesRetracesThePass()
    {
        PromptScript script;
        CWizard wizard(*app_, *doc_);
        wizard.show();
        const fs::path bmp = orka::savePicture(orka::DibPicture(60, 40, 3), files_ / "hill", orka::SaveKind::Bmp);
        importInto(wizard, kWallpaper, {bmp}, script);
        click(wizard.chooseFilePage().nextButton());
        nextOn(wizard.capturePicturePage());
        orka::app::ui::testing::backOn(wizard.editPicturePage());
        QCOMPARE(wizard.currentPage(), WizardPage::CapturePicture);
        orka::app::ui::testing::backOn(wizard.capturePicturePage());
        QCOMPARE(wizard.currentPage(), WizardPage::ChooseFile);
        QCOMPARE(wizard.windowTitle(), QStringLiteral("精靈 - 選取檔案 - 桌布"));
        // The same file starts the pass again.
        click(wizard.chooseFilePage().nextButton());
        throughPictureEditing(wizard);
        QCOMPARE(wizard.uploadOrSavePage().result()->name, std::string("hill"));
        QVERIFY(script.texts().isEmpty());
    }

    void firstSaveWithoutFoldersMakesOne()
    {
        PromptScript script;
        doc_->findFolder(40002)->readOnly = true; // as the shipped samples are
        CWizard wizard(*app_, *doc_);
        wizard.show();
        const fs::path bmp = orka::savePicture(orka::DibPicture(45, 55, 3), files_ / "face", orka::SaveKind::Bmp);
        importInto(wizard, 40000, {bmp}, script);
        click(wizard.chooseFilePage().nextButton());
        throughPictureEditing(wizard);
        UploadOrSavePage& page = wizard.uploadOrSavePage();
        QCOMPARE(page.folderList()->count(), 1);
        QCOMPARE(page.folderList()->item(0)->text(), QStringLiteral("新資料夾"));
        click(page.button(UploadOrSavePage::Save));
        QCOMPARE(script.texts(), QStringList{uiText(65080)});

        COrkaDoc reread(doc_->galleryDir()); // the tree lists the new folder at once
        reread.build();
        const FolderNode& folder = reread.openFolder(40003);
        QCOMPARE(folder.name, std::string("新資料夾"));
        QCOMPARE(folder.items.size(), std::size_t(1));
    }

    void uploadReachesTheHandsetAndCountsAsDone()
    {
        PromptScript script;
        orka::test::Simulator handset(home_, {kSimulatorPort, "", {}});
        app_->preferences().setPort(kSimulatorPort);
        CWizard wizard(*app_, *doc_);
        wizard.show();
        const auto smaf = tune("MMMD", 2000);
        importInto(wizard, kRingTone, {file("up.mmf", smaf)}, script);
        click(wizard.chooseFilePage().nextButton());
        UploadOrSavePage& page = wizard.uploadOrSavePage();
        click(page.button(UploadOrSavePage::Upload));
        QCOMPARE(script.texts(), QStringList{QString::fromStdString(orka::transfer::successText(orka::transfer::JobKind::Upload))});
        QVERIFY(page.savedOrUploaded());
        QVERIFY(handset.countReceived("AT^QXBNW") > 0);
        bool stored = false;
        for (const auto& entry : fs::recursive_directory_iterator(handset.storeDir() / "store7"))
            stored = stored || (entry.is_regular_file() && fs::file_size(entry.path()) == smaf.size());
        QVERIFY(stored);

        click(page.endProgramButton()); // uploaded: no question
        QCOMPARE(script.texts().size(), 1);
        QCOMPARE(wizard.end(), WizardEnd::EndProgram);
    }

    void javaSendsAMidletStraightAway()
    {
        PromptScript script;
        orka::test::Simulator handset(home_, {kSimulatorPort, "", {}});
        app_->preferences().setPort(kSimulatorPort);
        CWizard wizard(*app_, *doc_);
        wizard.show();
        const std::string jad = "MIDlet-Version: 1.0\r\nMIDlet-Name: Snake\r\n";
        file("snake.jad", {jad.begin(), jad.end()});
        file("snake.jar", orka::test::patternBytes(3000));
        script.choose({QString::fromStdString((files_ / "snake.jad").string())});
        click(wizard.chooseMediaPage().javaButton());
        QCOMPARE(script.texts(), QStringList{QString::fromStdString(orka::transfer::successText(orka::transfer::JobKind::Upload))});
        QVERIFY(fs::exists(handset.storeDir() / "store8"));
        QCOMPARE(wizard.currentPage(), WizardPage::ChooseMedia);
    }

    void endProgramAsksUntilSaved()
    {
        PromptScript script;
        app_->uiInfo().setLastMode(WorkingMode::Management);
        CWizard wizard(*app_, *doc_);
        wizard.show();
        importInto(wizard, kRingTone, {file("bell.mmf", tune("MMMD", 64))}, script);
        click(wizard.chooseFilePage().nextButton());
        UploadOrSavePage& page = wizard.uploadOrSavePage();

        script.answer(Answer::No);
        click(page.endProgramButton());
        QCOMPARE(script.texts(), QStringList{uiText(65038)});
        QVERIFY(wizard.isVisible());
        QCOMPARE(wizard.currentPage(), WizardPage::UploadOrSave);

        page.folderList()->setCurrentRow(page.folderList()->count() - 1);
        click(page.button(UploadOrSavePage::Save));
        QCOMPARE(script.texts().last(), uiText(65080));
        click(page.endProgramButton());
        QCOMPARE(script.texts().size(), 2); // no question after saving
        QVERIFY(!wizard.isVisible());
        QCOMPARE(wizard.end(), WizardEnd::EndProgram);
        QCOMPARE(app_->uiInfo().lastMode, 1u); // the next start shows the wizard again
    }

    void managementModeAsksAndClosingLeavesToIt()
    {
        PromptScript script;
        CWizard wizard(*app_, *doc_);
        wizard.show();
        importInto(wizard, kRingTone, {file("chime.mmf", tune("MMMD", 64))}, script);
        click(wizard.chooseFilePage().nextButton());
        script.answer(Answer::No);
        click(wizard.uploadOrSavePage().managementButton());
        QCOMPARE(script.texts(), QStringList{uiText(65037)});
        QVERIFY(wizard.isVisible());
        click(wizard.uploadOrSavePage().managementButton()); // an empty queue says yes
        QCOMPARE(wizard.end(), WizardEnd::ManagementMode);
        QVERIFY(wizard.placesMainWindow());
        QCOMPARE(app_->uiInfo().lastMode, 2u);

        // Closing the window asks the same while a result is not kept, and stays on No.
        CWizard closed(*app_, *doc_);
        closed.show();
        importInto(closed, kRingTone, {files_ / "chime.mmf"}, script);
        click(closed.chooseFilePage().nextButton());
        script.clear();
        script.answer(Answer::No);
        QTest::keyClick(&closed, Qt::Key_Escape);
        QCOMPARE(script.texts(), QStringList{uiText(65037)});
        QVERIFY(closed.isVisible());
        QTest::keyClick(&closed, Qt::Key_Escape);
        QVERIFY(!closed.isVisible());
        QCOMPARE(closed.end(), WizardEnd::ManagementMode);
        QCOMPARE(app_->uiInfo().lastMode, 2u);
    }
};

QTEST_MAIN(WizardTest)
#include "WizardTest.moc"
