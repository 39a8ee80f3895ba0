// Gallery jobs from the main window's own tool buttons against the simulated handset: the
// download of the shown category through the transfer dialog to its success message, the
// items landing in the handset folder with their numbers; the upload of the animation pane's
// rearranged frames in the order the pane shows.
#include "orka/app/COrkaDoc.h"
#include "orka/app/ItemPictures.h"
#include "orka/app/OrkaApp.h"
#include "orka/app/ui/AnimationPane.h"
#include "orka/app/ui/CMainFrame.h"
#include "orka/app/ui/CommandIds.h"
#include "orka/picture/JpegCodec.h"
#include "orka/picture/PictureFile.h"
#include "orka/pio.h"
#include "orka/testing/SimulatorProcess.h"
#include "orka/testing/ToolRunner.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <QAction>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <filesystem>
#include <memory>

using namespace orka::app;
using namespace orka::app::ui;
namespace fs = std::filesystem;

namespace {

constexpr int kSimulatorPort = 11;
constexpr int kWallpaperHandsetFolder = 20000 + kHandsetSlot;
constexpr unsigned kStrDownloaded = 65082; // "下載成功!"
constexpr unsigned kStrUploaded = 65081;   // "上傳成功!"
constexpr int kAnimationFolder = 50000 + kFirstUserSlot;
constexpr int kAnimationStore = 5;

// A wallpaper in the handset's store before the simulator starts.
void putWallpaper(const fs::path& store, int index, std::uint8_t shade)
{
    const fs::path dir = store / "store2" / ("item" + std::to_string(index));
    fs::create_directories(dir);
    orka::DibPicture picture(16, 12, 3);
    std::fill(picture.pixels(), picture.pixels() + picture.pixelBytes(), shade);
    orka::testing::writeBytes(dir / "part0.bin", orka::uploadBytes(picture, 2));
}

// The parts of every item the handset keeps in a store, each item's parts in part order.
std::vector<std::vector<std::vector<std::uint8_t>>> storedParts(const fs::path& store, int type)
{
    std::vector<std::vector<std::vector<std::uint8_t>>> items;
    const fs::path dir = store / ("store" + std::to_string(type));
    if (!fs::exists(dir))
        return items;
    for (const auto& item : fs::directory_iterator(dir)) {
        std::vector<fs::path> parts;
        for (const auto& part : fs::directory_iterator(item.path()))
            if (part.path().extension() == ".bin")
                parts.push_back(part.path());
        // "part10.bin" comes after "part9.bin".
        std::sort(parts.begin(), parts.end(), [](const fs::path& a, const fs::path& b) {
            return std::make_pair(a.string().size(), a.string()) < std::make_pair(b.string().size(), b.string());
        });
        auto& bytes = items.emplace_back();
        for (const auto& part : parts) {
            const std::string text = orka::testing::readText(part);
            bytes.emplace_back(text.begin(), text.end());
        }
    }
    return items;
}

} // namespace

class ShellTransferTest : public QObject {
    Q_OBJECT
    QTemporaryDir home_;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("ORKA_HOME", home_.path().toUtf8());
        QVERIFY(PIOInitPhone());
    }

    void downloadFromTheToolButtonFillsTheHandsetFolder()
    {
        const fs::path home = home_.path().toStdString();
        putWallpaper(home / "store", 3, 60);
        putWallpaper(home / "store", 8, 180);
        orka::test::Simulator simulator(home, orka::test::Simulator::Options{kSimulatorPort, "", {}});

        COrkaApp app;
        app.preferences().setPort(kSimulatorPort);
        COrkaDoc doc(home / "gallery");
        doc.build();
        CMainFrame frame(app, doc);
        frame.show();
        QAction* download = frame.commandAction(cmd::kDownload);
        QVERIFY(download->isEnabled());
        // The button the user presses is the general tool bar's own.
        auto* button = qobject_cast<QToolButton*>(frame.generalToolBar()->widgetForAction(download));
        QVERIFY(button);

        orka::ui::PromptScript script;
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(script.texts(), QStringList{orka::ui::uiText(kStrDownloaded)}, 30000);
        const FolderNode& handset = *doc.findFolder(kWallpaperHandsetFolder);
        QCOMPARE(handset.items.size(), std::size_t(2));
        std::vector<int> numbers;
        for (const GalleryItem& item : handset.items)
            numbers.push_back(item.handsetNumber);
        std::sort(numbers.begin(), numbers.end());
        QCOMPARE(numbers, (std::vector<int>{3, 8}));
    }

    void uploadOfARearrangedDraftSendsTheNewOrder()
    {
        const fs::path home = home_.path().toStdString();
        orka::test::Simulator simulator(home, orka::test::Simulator::Options{kSimulatorPort, "", {}});

        COrkaApp app;
        app.preferences().setPort(kSimulatorPort);
        COrkaDoc doc(home / "animations");
        doc.build();
        doc.addLocalFolder(50000, kAnimationFolder, "moving");
        AnimationContent five;
        for (std::uint8_t shade : {20, 60, 100, 140, 180})
            five.frames.push_back({10, Bitmap{16, 12, 0, std::vector<std::uint8_t>(Bitmap::bytesFor(16, 12, 0), shade)}});
        doc.addItem(kAnimationFolder, GalleryItem::make("five", five));
        CMainFrame frame(app, doc);
        frame.show();
        frame.showNode(kAnimationFolder);
        frame.selectItems({0});
        frame.animationPane()->frames()->setCurrentRow(0);
        frame.commandAction(cmd::kFrameRight)->trigger();
        frame.commandAction(cmd::kFrameRight)->trigger();

        QAction* upload = frame.commandAction(cmd::kAnimationUpload);
        auto* button = qobject_cast<QToolButton*>(frame.animationPane()->toolBar()->widgetForAction(upload));
        QVERIFY(button && button->isEnabled());
        orka::ui::PromptScript script;
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(script.texts(), QStringList{orka::ui::uiText(kStrUploaded)}, 30000);

        // The handset has the frames as the pane shows them; the stored item kept its order.
        std::vector<std::vector<std::uint8_t>> expected;
        for (std::size_t from : {1, 2, 0, 3, 4})
            expected.push_back(orka::encodeJpegForUpload(pictureFromBitmap(five.frames[from].bitmap)));
        const auto items = storedParts(simulator.storeDir(), kAnimationStore);
        QCOMPARE(items.size(), std::size_t(1));
        QVERIFY(items.front() == expected);
        QVERIFY(std::get<AnimationContent>(doc.findFolder(kAnimationFolder)->items[0].content) == five);
    }
};

QTEST_MAIN(ShellTransferTest)
#include "ShellTransferTest.moc"
