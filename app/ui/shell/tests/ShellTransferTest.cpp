// A gallery job from the main window's own tool button against the simulated handset: the
// download of the shown category through the transfer dialog to its success message, the
// items landing in the handset folder with their numbers.
#include "orka/app/COrkaDoc.h"
#include "orka/app/OrkaApp.h"
#include "orka/app/ui/CMainFrame.h"
#include "orka/app/ui/CommandIds.h"
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

// A wallpaper in the handset's store before the simulator starts.
void putWallpaper(const fs::path& store, int index, std::uint8_t shade)
{
    const fs::path dir = store / "store2" / ("item" + std::to_string(index));
    fs::create_directories(dir);
    orka::DibPicture picture(16, 12, 3);
    std::fill(picture.pixels(), picture.pixels() + picture.pixelBytes(), shade);
    orka::testing::writeBytes(dir / "part0.bin", orka::uploadBytes(picture, 2));
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
};

QTEST_MAIN(ShellTransferTest)
#include "ShellTransferTest.moc"
