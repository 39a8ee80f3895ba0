// The main window's pieces on their own: the command table behind the menus and context
// menus, the splitters that hide and give back a pane, the item model's texts and pictures,
// and the orka program's start as a single copy.
#include "orka/app/OrkaApp.h"
#include "orka/app/ui/CommandActions.h"
#include "orka/app/ui/CommandIds.h"
#include "orka/app/ui/GalleryItemModel.h"
#include "orka/app/ui/LockKeyPanes.h"
#include "orka/app/ui/OrkaSplitter.h"
#include "orka/app/ui/ShellResources.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

using namespace orka::app;
using namespace orka::app::ui;

namespace {

QStringList commandsOf(const QMenu* menu)
{
    QStringList out;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator())
            continue;
        out << (a->menu() ? QStringLiteral("[%1]").arg(a->text()) : QString::number(CommandActions::idOf(a)));
    }
    return out;
}

// Lights that are as the test sets them, standing in for the keyboard's.
class SetLights : public orka::platform::LockKeys {
public:
    explicit SetLights(orka::platform::LockKeyState& state) : state_(state) {}
    orka::platform::LockKeyState read() override { return state_; }

private:
    orka::platform::LockKeyState& state_;
};

QString program() { return qEnvironmentVariable("ORKA_TEST_BIN") + QStringLiteral("/orka"); }

} // namespace

class ShellPiecesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void contextMenusRepeatTheirCommands()
    {
        QWidget owner;
        CommandActions actions(&owner);
        std::unique_ptr<QMenu> edit(actions.makeContextMenu(ContextMenu::Edit, nullptr));
        QCOMPARE(commandsOf(edit.get()), (QStringList{"32941", "32949", "57635", "57634", "32773", "57642", "32776",
                                                      "32774", "32772"}));
        std::unique_ptr<QMenu> view(actions.makeContextMenu(ContextMenu::View, nullptr));
        QCOMPARE(commandsOf(view.get()), (QStringList{"32941", "57637", "57642", "[排列圖示]", "[模式]"}));
        std::unique_ptr<QMenu> category(actions.makeContextMenu(ContextMenu::Category, nullptr));
        QCOMPARE(commandsOf(category.get()), (QStringList{"32936", "32771", "57637", "32937", "32938", "32939"}));
        // The same action everywhere: checked in the menu bar, checked in the context menu.
        actions.action(cmd::kListMode)->setEnabled(true);
        actions.action(cmd::kListMode)->setChecked(true);
        const QMenu* mode = view->actions().last()->menu();
        QVERIFY(mode->actions().last()->isChecked());
        QVERIFY(!actions.action(cmd::kThumbnailMode)->isChecked()); // the two modes exclude each other
    }

    void acceleratorsAndPromptsByTable()
    {
        QWidget owner;
        CommandActions actions(&owner);
        QCOMPARE(actions.action(cmd::kPaste)->shortcuts(),
                 (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+V")), QKeySequence(QStringLiteral("Shift+Ins"))}));
        QCOMPARE(actions.action(cmd::kNextPane)->shortcut(), QKeySequence(Qt::Key_F6));
        // Commands of the table that the program does not have get no action at all.
        QVERIFY(!actions.action(cmd::kFileNew));
        QVERIFY(!actions.action(cmd::kUndo));
        // "\nThumbnail Mode": no status text, the tool tip after the line break.
        QCOMPARE(actions.action(cmd::kThumbnailMode)->toolTip(), QStringLiteral("Thumbnail Mode"));
        QCOMPARE(actions.action(cmd::kThumbnailMode)->statusTip(), QString());
        // A command without a prompt string takes its plain menu text as tool tip.
        QCOMPARE(actions.action(cmd::kAbout)->toolTip(), QStringLiteral("About"));
        QCOMPARE(actions.action(cmd::kNewFolder)->toolTip(), QStringLiteral("新增資料夾"));
        QCOMPARE(actions.action(cmd::kDownload)->text(), QStringLiteral("下載"));
        // Until a handler is bound nothing can be triggered.
        QVERIFY(!actions.action(cmd::kImport)->isEnabled());
        QVERIFY(!actions.action(cmd::kImport)->icon().isNull());
        QCOMPARE(commandText(cmd::kAbout), std::string_view("關於 手機桌台"));
        QCOMPARE(commandText(cmd::kCut), std::string_view("剪下"));
        QCOMPARE(commandText(1), std::string_view());
    }

    void splitterGivesThePaneBackAtItsSize()
    {
        COrkaSplitter splitter;
        auto* left = new QWidget;
        auto* middle = new QWidget;
        auto* right = new QWidget;
        splitter.addPane(left, 160);
        splitter.addPane(middle, 0);
        splitter.addPane(right, 160);
        splitter.resize(800, 400);
        splitter.show();
        QCOMPARE(splitter.sizes().first(), 160);
        QCOMPARE(splitter.sizes().last(), 160);
        splitter.setSizes({200, 400, 160});
        splitter.setPaneShown(0, false);
        QVERIFY(!splitter.paneShown(0));
        QTRY_VERIFY(splitter.sizes().at(1) > 500); // the neighbour took the room
        splitter.setPaneShown(0, false);       // hiding twice changes nothing
        splitter.setPaneShown(0, true);
        QCOMPARE(splitter.sizes().first(), 200);
        // Both side panes hidden and shown again, in the other order.
        splitter.setPaneShown(2, false);
        splitter.setPaneShown(0, false);
        splitter.setPaneShown(2, true);
        splitter.setPaneShown(0, true);
        QCOMPARE(splitter.sizes().first(), 200);
        QCOMPARE(splitter.sizes().last(), 160);
        QVERIFY(!splitter.widget(5));
        splitter.setPaneShown(5, false); // no such pane: nothing happens
    }

    void modelTextsFollowTheFolderKind()
    {
        FolderNode tunes;
        tunes.id = 70000 + kFirstUserSlot;
        tunes.kind = FolderKind::Melody;
        tunes.items.push_back(GalleryItem::make("midi", MelodyContent{MelodyContent::kMidi, std::vector<std::uint8_t>(2048)}));
        tunes.items.push_back(GalleryItem::make("smaf", MelodyContent{MelodyContent::kSmaf, std::vector<std::uint8_t>(100)}));
        GalleryItemModel model;
        model.setFolder(&tunes);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.columnCount(), 4);
        QCOMPARE(model.data(model.index(0, 2), Qt::DisplayRole).toString(), QStringLiteral("MIDI"));
        QCOMPARE(model.data(model.index(1, 2), Qt::DisplayRole).toString(), QStringLiteral("MMF"));
        QCOMPARE(model.data(model.index(0, 1), Qt::DisplayRole).toString(), QStringLiteral("2.0 KB"));
        // A tune is drawn as a note, at both sizes.
        QCOMPARE(model.data(model.index(1, 0), GalleryItemModel::ThumbnailRole).value<QImage>().size(), QSize(72, 72));
        QCOMPARE(model.data(model.index(1, 0), Qt::DecorationRole).value<QImage>().size(), QSize(16, 16));
        QVERIFY(!model.data(model.index(1, 1), Qt::DecorationRole).isValid());
        // No renamer: nothing is editable.
        QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(!model.setData(model.index(0, 0), QStringLiteral("x"), Qt::EditRole));
        // A drag carries the folder and the rows, each once.
        std::unique_ptr<QMimeData> mime(model.mimeData({model.index(1, 0), model.index(1, 3), model.index(0, 2)}));
        const auto dragged = decodeDraggedItems(mime->data(QStringLiteral("DragDropItem")));
        QVERIFY(dragged);
        QCOMPARE(dragged->folderId, tunes.id);
        QCOMPARE(dragged->rows, (std::vector<unsigned>{0, 1}));
        model.setFolder(nullptr);
        QCOMPARE(model.rowCount(), 0);
    }

    void itemPicturesKeepTheirRowsAndRefuseShortPixels()
    {
        // 3 x 2 pixels with one pixel of row padding: the padding is not drawn.
        Bitmap b{3, 2, 1, std::vector<std::uint8_t>(Bitmap::bytesFor(3, 2, 1), 0)};
        b.pixels[0] = 0xFF;                 // blue of (0, 0)
        b.pixels[(3 + 1) * 3 + 2] = 0xFF;   // red of (0, 1)
        const QImage image = itemImage(GalleryItem::make("p", PictureContent{b}));
        QCOMPARE(image.size(), QSize(3, 2));
        QCOMPARE(image.pixelColor(0, 0), QColor(0, 0, 0xFF));
        QCOMPARE(image.pixelColor(0, 1), QColor(0xFF, 0, 0));
        b.pixels.pop_back();
        QVERIFY(itemImage(GalleryItem::make("short", PictureContent{b})).isNull());
        QVERIFY(itemImage(GalleryItem::make("none", AnimationContent{})).isNull());
    }

    void programAnswersVersionWithoutTouchingFiles()
    {
        QTemporaryDir home;
        QProcess orka;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ORKA_HOME"), home.path());
        orka.setProcessEnvironment(env);
        orka.start(program(), {QStringLiteral("--version")});
        QVERIFY(orka.waitForFinished(10000));
        QCOMPARE(orka.exitCode(), 0);
        QVERIFY(!orka.readAllStandardOutput().isEmpty());
        QVERIFY(QDir(home.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    }

    void laterCopiesHandOverToTheFirst()
    {
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ORKA_HOME"), home.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // Management mode: no wizard stands in the way.
        qputenv("ORKA_HOME", home.path().toUtf8());
        AppSettings settings;
        settings.uiInfo.setLastMode(WorkingMode::Management);
        QVERIFY(saveSettings(settings));

        QProcess first;
        first.setProcessEnvironment(env);
        first.start(program(), {});
        QVERIFY(first.waitForStarted());
        // The first copy answers once its window shows.
        const QDir windows(home.filePath(QStringLiteral("windows")));
        QTRY_VERIFY_WITH_TIMEOUT(!windows.entryList({QStringLiteral("*.sock")}, QDir::System).isEmpty(), 30000);
        for (int copy = 0; copy < 2; ++copy) {
            QProcess later;
            later.setProcessEnvironment(env);
            later.start(program(), {});
            QVERIFY(later.waitForFinished(30000));
            QCOMPARE(later.exitStatus(), QProcess::NormalExit);
            QCOMPARE(later.exitCode(), 0);
        }
        QCOMPARE(first.state(), QProcess::Running);
        first.kill();
        first.waitForFinished();
    }

    void lockKeyPanesFollowTheLights()
    {
        QStatusBar unread;
        const LockKeyPanes dimmed(&unread, nullptr);
        for (std::size_t i = 0; i < 3; ++i)
            QVERIFY(!dimmed.pane(i)->isEnabled());
        QCOMPARE(dimmed.pane(2)->accessibleName(), QStringLiteral("SCRL"));

        orka::platform::LockKeyState lights{true, false, true};
        QStatusBar status;
        LockKeyPanes panes(&status, std::make_unique<SetLights>(lights));
        QVERIFY(panes.pane(0)->isEnabled() && !panes.pane(1)->isEnabled() && panes.pane(2)->isEnabled());
        lights = {false, true, false};
        panes.refresh();
        QVERIFY(!panes.pane(0)->isEnabled() && panes.pane(1)->isEnabled() && !panes.pane(2)->isEnabled());
    }
};

QTEST_MAIN(ShellPiecesTest)
#include "ShellPiecesTest.moc"
