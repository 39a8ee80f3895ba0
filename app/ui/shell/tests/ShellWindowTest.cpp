// The main window on real widgets: which bars and panes a start shows and what survives a
// restart, the selection across view modes, arranging, the navigation bar, in-place renames,
// copy, cut and paste between folders, and the command table of the menus and tool bars.
#include "orka/app/COrkaDoc.h"
#include "orka/app/OrkaApp.h"
#include "orka/app/Settings.h"
#include "orka/app/ui/AnimationPane.h"
#include "orka/app/ui/CMainFrame.h"
#include "orka/app/ui/CommandActions.h"
#include "orka/app/ui/CommandIds.h"
#include "orka/app/ui/DataViews.h"
#include "orka/app/ui/GalleryItemModel.h"
#include "orka/app/ui/ItemCommands.h"
#include "orka/app/ui/NavigationBar.h"
#include "orka/app/ui/OrkaSplitter.h"
#include "orka/app/ui/OrkaTreeView.h"
#include "orka/app/ui/OrkaView.h"
#include "orka/picture/GifCodec.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include "EditPicturePage.h"
#include "orka/app/ui/ItemEditingPages.h"
#include "../../editing/tests/EditingTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QMenu>
#include <QMimeData>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QScrollBar>
#include <QTest>
#include <QToolBar>

#include <filesystem>
#include <map>
#include <memory>

using namespace orka::app;
using namespace orka::app::ui;

namespace {

constexpr int kWallpapers = 20000;
constexpr int kMine = kWallpapers + kFirstUserSlot;
constexpr int kOther = kWallpapers + kFirstUserSlot + 1;
constexpr int kCallerPhotos = 40000 + kFirstUserSlot;

GalleryItem picture(const std::string& name, std::uint8_t width, std::uint8_t shade)
{
    Bitmap b{width, 10, 0, std::vector<std::uint8_t>(Bitmap::bytesFor(width, 10, 0), shade)};
    return GalleryItem::make(name, PictureContent{b});
}

std::vector<std::string> names(const FolderNode& folder)
{
    std::vector<std::string> n;
    for (const auto& item : folder.items)
        n.push_back(item.name);
    return n;
}

constexpr int kAnimations = 50000 + kFirstUserSlot;
constexpr unsigned kStrFileSaved = 65080;      // "儲存檔案成功"
constexpr unsigned kStrSaveFrameOrder = 33440; // the frame order changed: save it?
constexpr unsigned kStrDraftItemGone = 33441;  // the animation is no longer in its folder
// Every command of the animation pane.
constexpr unsigned kAnimationCommands[] = {cmd::kFrameLeft,      cmd::kFrameRight,       cmd::kShrinkEnlarge,
                                           cmd::kAnimationSave,  cmd::kAnimationUpload,  cmd::kAnimationSaveAs,
                                           cmd::kAnimationClearAll};

// An animation whose frames are squares of the given sides, so that each frame is known by
// its width.
GalleryItem animation(const std::string& name, std::initializer_list<std::uint8_t> sides)
{
    AnimationContent content;
    for (std::uint8_t side : sides)
        content.frames.push_back({1, Bitmap{side, side, 0, std::vector<std::uint8_t>(Bitmap::bytesFor(side, side, 0))}});
    return GalleryItem::make(name, content);
}

std::vector<int> widths(const std::vector<AnimationFrame>& frames)
{
    std::vector<int> w;
    for (const auto& f : frames)
        w.push_back(f.bitmap.width);
    return w;
}

const std::vector<AnimationFrame>& framesOf(const COrkaDoc& doc, std::size_t row)
{
    return std::get<AnimationContent>(doc.findFolder(kAnimations)->items.at(row).content).frames;
}

COrkaApp& withSettings(COrkaApp& app)
{
    app.settings() = loadSettings();
    return app;
}

// The main window on a gallery with an item of the user's animation folder selected, and a
// script that answers its prompts.
struct AnimationWindow {
    AnimationWindow(COrkaDoc& doc, unsigned row) : frame(withSettings(app), doc)
    {
        frame.showNode(kAnimations);
        frame.selectItems({row});
    }
    COrkaApp app;
    CMainFrame frame;
    orka::ui::PromptScript script;
};

// Selects a frame of the animation pane and moves it by the command (left or right).
void moveFrame(CMainFrame& frame, int row, unsigned command)
{
    frame.animationPane()->frames()->setCurrentRow(row);
    frame.commandAction(command)->trigger();
}

QByteArray fileBytes(const std::filesystem::path& path)
{
    QFile file(QString::fromStdString(path.string()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every command of a menu tree by id, with its text.
void collect(const QList<QAction*>& actions, std::map<unsigned, QString>& out)
{
    for (QAction* a : actions) {
        if (a->menu())
            collect(a->menu()->actions(), out);
        else if (!a->isSeparator())
            out[CommandActions::idOf(a)] = a->text();
    }
}

} // namespace

class ShellWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home_;
    std::unique_ptr<COrkaDoc> doc_;

    // A gallery with two user wallpaper folders and one caller-photo folder.
    void makeGallery(const std::vector<std::string>& items)
    {
        doc_ = std::make_unique<COrkaDoc>(QDir(home_->path()).filePath("gallery").toStdString());
        doc_->build();
        doc_->addLocalFolder(kWallpapers, kMine, "mine");
        doc_->addLocalFolder(kWallpapers, kOther, "other");
        doc_->addLocalFolder(40000, kCallerPhotos, "faces");
        std::uint8_t width = 5;
        for (const auto& name : items)
            doc_->addItem(kMine, picture(name, width++, 0x40));
        doc_->saveFolder(kMine);
    }

    // A gallery of its own with the samples the program ships.
    void useShippedSamples()
    {
        doc_ = std::make_unique<COrkaDoc>(QDir(home_->path()).filePath("shipped").toStdString(), shippedSamplesDir());
        doc_->build();
    }

    // The document as a later start reads it back.
    FolderNode& reread(int folderId)
    {
        doc_->saveTree();
        doc_ = std::make_unique<COrkaDoc>(QDir(home_->path()).filePath("gallery").toStdString());
        doc_->build();
        return doc_->openFolder(folderId);
    }

    // The user's animation folder with the items, saved.
    void addAnimations(std::initializer_list<GalleryItem> items)
    {
        doc_->addLocalFolder(50000, kAnimations, "moving");
        for (const GalleryItem& item : items)
            doc_->addItem(kAnimations, item);
        doc_->saveFolder(kAnimations);
    }

    // A folder's items as a fresh document reads them from disk; the window's document stays.
    std::vector<GalleryItem> itemsOnDisk(int folderId)
    {
        doc_->saveTree();
        COrkaDoc fresh(QDir(home_->path()).filePath("gallery").toStdString());
        fresh.build();
        return fresh.openFolder(folderId).items;
    }

private Q_SLOTS:
    void init()
    {
        home_ = std::make_unique<QTemporaryDir>();
        qputenv("ORKA_HOME", home_->path().toUtf8());
        makeGallery({"b", "  Apple ", "c"});
    }

    void cleanup()
    {
        doc_.reset();
        home_.reset();
    }

    void firstStartShowsDefaultBarsAndThumbnails()
    {
        COrkaApp app;
        app.settings() = loadSettings();
        QVERIFY(!app.settings().uiInfo.skipsWizard());
        CMainFrame frame(app, *doc_);
        frame.show();
        QVERIFY(frame.generalToolBar()->isVisible());
        QVERIFY(frame.statusBar()->isVisible());
        QVERIFY(frame.tree()->isVisible());
        QVERIFY(frame.preview()->isVisible());
        QVERIFY(!frame.navigationBar()->isVisible());
        QVERIFY(frame.dataPane()->thumbnails()->isVisible());
        QVERIFY(!frame.dataPane()->list()->isVisible());
        QVERIFY(frame.commandAction(cmd::kToolbar)->isChecked());
        QVERIFY(!frame.commandAction(cmd::kNavigationBar)->isChecked());
        QVERIFY(frame.commandAction(cmd::kThumbnailMode)->isChecked());
        // The panes take their first sizes.
        QCOMPARE(frame.splitterA()->sizes().first(), 160);
        QCOMPARE(frame.splitterA()->sizes().last(), 160);
        // The longest folder name of the 160-pixel tree is reached by scrolling, not cut short.
        const QTreeWidgetItem* savedMenus = frame.tree()->itemOf(kSavedMenusFolder);
        QVERIFY(savedMenus);
        QCoreApplication::processEvents();
        const int nameWidth = frame.tree()->fontMetrics().horizontalAdvance(savedMenus->text(0));
        QVERIFY(frame.tree()->columnWidth(0) > nameWidth + 2 * frame.tree()->indentation());
        QVERIFY(frame.tree()->horizontalScrollBar()->maximum() > 0);
        QCOMPARE(frame.shownFolderId(), std::optional<int>(kFirstShownFolder));
    }

    void hiddenPanesStayHiddenAfterRestart()
    {
        COrkaApp app;
        app.settings() = loadSettings();
        {
            CMainFrame frame(app, *doc_);
            frame.show();
            frame.commandAction(cmd::kFolderPane)->trigger();
            frame.commandAction(cmd::kPreviewPane)->trigger();
            frame.commandAction(cmd::kNavigationBar)->trigger();
            QVERIFY(!frame.tree()->isVisible());
            QVERIFY(frame.navigationBar()->isVisible());
            // The data pane takes the room the side panes gave up.
            QVERIFY(frame.splitterB()->width() >= frame.splitterA()->width() - 2 * frame.splitterA()->handleWidth());
        }
        QCOMPARE(app.settings().uiInfo.barFlags, UiInfoBlock::kToolbar | UiInfoBlock::kStatusBar | UiInfoBlock::kNavigationBar);
        QVERIFY(saveSettings(app.settings()));

        COrkaApp restartedApp;
        restartedApp.settings() = loadSettings();
        CMainFrame frame(restartedApp, *doc_);
        frame.show();
        QVERIFY(!frame.tree()->isVisible());
        QVERIFY(!frame.preview()->isVisible());
        QVERIFY(frame.dataPane()->isVisible());
        QVERIFY(frame.animationPane()->isVisible());
        QVERIFY(!frame.commandAction(cmd::kFolderPane)->isChecked());
        QVERIFY(!frame.commandAction(cmd::kPreviewPane)->isChecked());
        // Shown again, a pane comes back at the width it had.
        frame.commandAction(cmd::kFolderPane)->trigger();
        QVERIFY(frame.tree()->isVisible());
        QCOMPARE(frame.splitterA()->sizes().first(), 160);
    }

    void listModeKeepsTheSelectionAndIsSaved()
    {
        for (int i = 0; i < 3; ++i)
            doc_->addItem(kMine, picture("more" + std::to_string(i), 9, 0x80));
        COrkaApp app;
        app.settings() = loadSettings();
        CMainFrame frame(app, *doc_);
        frame.show();
        frame.showNode(kMine);
        frame.selectItems({0, 2, 5});
        frame.commandAction(cmd::kListMode)->trigger();
        QVERIFY(frame.dataPane()->list()->isVisible());
        QVERIFY(!frame.dataPane()->thumbnails()->isVisible());
        QCOMPARE(frame.selectedItems(), (std::vector<unsigned>{0, 2, 5}));
        QCOMPARE(frame.itemModel()->rowCount(), 6);
        QCOMPARE(app.settings().uiInfo.viewMode, 1u);
        QCOMPARE(app.settings().uiInfo.viewModeCopy, 1u);
        frame.commandAction(cmd::kThumbnailMode)->trigger();
        QCOMPARE(frame.selectedItems(), (std::vector<unsigned>{0, 2, 5}));
        QCOMPARE(app.settings().uiInfo.viewModeCopy, 0u);
        // A selected thumbnail shows it: its name stands on the highlight, an unselected one's
        // does not.
        QListView* thumbnails = frame.dataPane()->thumbnails();
        frame.resize(960, 680);
        QTRY_VERIFY(thumbnails->viewport()->height() > COrkaScrollViewEx::kCellHeight);
        const QImage shown = thumbnails->viewport()->grab().toImage();
        const QColor highlight = thumbnails->palette().color(QPalette::Highlight);
        const auto nameBackground = [&](int row) {
            const QRect cell = thumbnails->visualRect(frame.itemModel()->index(row, 0));
            // Just left of the name's first letter, on its line.
            const int nameLine = cell.top() + GalleryItemModel::kThumbnailSide + 4 * 2 + thumbnails->fontMetrics().ascent() / 2;
            const QString name = frame.itemModel()->index(row, 0).data().toString();
            const int nameLeft = cell.center().x() - thumbnails->fontMetrics().horizontalAdvance(name) / 2 - 1;
            return shown.pixelColor(nameLeft * shown.devicePixelRatio(), nameLine * shown.devicePixelRatio());
        };
        QCOMPARE(nameBackground(2), highlight);
        QVERIFY(nameBackground(1) != highlight);

        // A start in list mode opens the list.
        app.settings().uiInfo.setViewMode(UiInfoBlock::kListMode);
        CMainFrame listFrame(app, *doc_);
        listFrame.show();
        QVERIFY(listFrame.dataPane()->list()->isVisible());
        QVERIFY(listFrame.commandAction(cmd::kListMode)->isChecked());
    }

    void listShowsTheFourColumns()
    {
        COrkaApp app;
        app.settings() = loadSettings();
        CMainFrame frame(app, *doc_);
        frame.showNode(kMine);
        const GalleryItemModel& model = *frame.itemModel();
        QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("名稱"));
        QCOMPARE(model.headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("修改日期"));
        QCOMPARE(model.data(model.index(0, 2), Qt::DisplayRole).toString(), QStringLiteral("圖片"));
        // 5 x 10 pixels of 3 bytes: 150 bytes.
        QCOMPARE(model.data(model.index(0, 1), Qt::DisplayRole).toString(), QStringLiteral("0.1 KB"));
        QCOMPARE(model.data(model.index(0, 1), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight,
                 Qt::AlignRight);
        QCOMPARE(frame.dataPane()->list()->header()->sectionSize(2), 150);
        const QImage thumb = model.data(model.index(1, 0), GalleryItemModel::ThumbnailRole).value<QImage>();
        QCOMPARE(thumb.size(), QSize(72, 72));
        // A category shows no items; a row past the end has no data.
        QVERIFY(!model.data(model.index(7, 0), Qt::DisplayRole).isValid());
        frame.showNode(kWallpapers);
        QCOMPARE(frame.itemModel()->rowCount(), 0);
        QCOMPARE(frame.shownFolderId(), std::nullopt);
    }

    void arrangeByNameReordersTheFolderFile()
    {
        COrkaApp app;
        app.settings() = loadSettings();
        {
            CMainFrame frame(app, *doc_);
            frame.showNode(kMine);
            frame.commandAction(cmd::kArrangeByName)->trigger();
            QCOMPARE(frame.itemModel()->data(frame.itemModel()->index(0, 0), Qt::DisplayRole).toString(),
                     QStringLiteral("  Apple "));
            frame.commandAction(cmd::kArrangeBySize)->trigger();
            QCOMPARE(names(*doc_->findFolder(kMine)), (std::vector<std::string>{"b", "  Apple ", "c"}));
            frame.commandAction(cmd::kArrangeByName)->trigger();
        }
        // The folder file keeps the order even when another folder is shown at exit.
        doc_->setShownFolder(kOther);
        QCOMPARE(names(reread(kMine)), (std::vector<std::string>{"  Apple ", "b", "c"}));
    }

    void navigationBarMovesTheTree()
    {
        COrkaApp app;
        app.settings() = loadSettings();
        app.settings().uiInfo.barFlags |= UiInfoBlock::kNavigationBar;
        CMainFrame frame(app, *doc_);
        frame.show();
        QComboBox* categories = frame.navigationBar()->categories();
        QComboBox* folders = frame.navigationBar()->folders();
        QCOMPARE(categories->count(), 6);
        QCOMPARE(categories->itemText(0), QStringLiteral("請選擇..."));
        QCOMPARE(categories->itemData(0).toInt(), 0);
        QCOMPARE(categories->itemData(5).toInt(), 70000);
        // The window opens on the wallpaper samples: the lists follow the tree.
        QCOMPARE(categories->currentData().toInt(), kWallpapers);
        QCOMPARE(folders->currentData().toInt(), kFirstShownFolder);

        categories->activated(3);
        QCOMPARE(frame.tree()->selectedId(), 40000);
        QCOMPARE(folders->count(), 3); // samples, faces, then the handset folder last
        QCOMPARE(folders->itemData(2).toInt(), 40001);
        folders->activated(1);
        QCOMPARE(frame.tree()->selectedId(), kCallerPhotos);
        QCOMPARE(frame.shownFolderId(), std::optional<int>(kCallerPhotos));

        categories->activated(0);
        QCOMPARE(frame.tree()->selectedId(), 0);
        QCOMPARE(folders->count(), 0);
    }

    void renameInPlaceKeepsOrRefuses()
    {
        orka::ui::PromptScript prompts;
        COrkaApp app;
        app.settings() = loadSettings();
        {
            CMainFrame frame(app, *doc_);
            frame.showNode(kMine);
            GalleryItemModel& model = *frame.itemModel();
            QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
            QVERIFY(!(model.flags(model.index(0, 1)) & Qt::ItemIsEditable));
            QVERIFY(model.setData(model.index(0, 0), QStringLiteral("新名字"), Qt::EditRole));
            QVERIFY(!model.setData(model.index(1, 0), QStringLiteral("a:b"), Qt::EditRole));
            QCOMPARE(prompts.shown().size(), std::size_t(1));

            // Nothing in a read-only folder can be renamed.
            frame.transferItems(kMine, {0}, kOther, false);
            doc_->findFolder(kOther)->readOnly = true;
            frame.showNode(kOther);
            QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
        }
        QCOMPARE(names(reread(kMine)), (std::vector<std::string>{"新名字", "  Apple ", "c"}));
    }

    void copyCutAndPasteBetweenFolders()
    {
        orka::ui::PromptScript prompts;
        COrkaApp app;
        app.settings() = loadSettings();
        CMainFrame frame(app, *doc_);
        frame.showNode(kMine);
        QVERIFY(!frame.commandAction(cmd::kPaste)->isEnabled());
        frame.selectItems({0, 2});
        frame.commandAction(cmd::kCopy)->trigger();
        frame.showNode(kOther);
        QVERIFY(frame.commandAction(cmd::kPaste)->isEnabled());
        frame.commandAction(cmd::kPaste)->trigger();
        QCOMPARE(names(*doc_->findFolder(kOther)), (std::vector<std::string>{"b", "c"}));
        // Items of another category cannot be pasted there.
        frame.showNode(kCallerPhotos);
        QVERIFY(!frame.commandAction(cmd::kPaste)->isEnabled());

        // A cut moves: the items leave their folder once the target holds them.
        frame.showNode(kMine);
        frame.selectItems({1});
        frame.commandAction(cmd::kCut)->trigger();
        frame.showNode(kOther);
        frame.commandAction(cmd::kPaste)->trigger();
        QCOMPARE(names(*doc_->findFolder(kMine)), (std::vector<std::string>{"b", "c"}));
        QCOMPARE(names(*doc_->findFolder(kOther)), (std::vector<std::string>{"b", "c", "  Apple "}));
        QVERIFY(!frame.commandAction(cmd::kPaste)->isEnabled());
        QVERIFY(prompts.shown().empty());
    }

    void pastedItemsAreOnDisk()
    {
        COrkaApp app;
        app.settings() = loadSettings();
        {
            CMainFrame frame(app, *doc_);
            frame.showNode(kMine);
            frame.selectItems({1});
            frame.commandAction(cmd::kCut)->trigger();
            frame.showNode(kOther);
            frame.commandAction(cmd::kPaste)->trigger();
            frame.showNode(kCallerPhotos); // neither folder is the shown one at exit
        }
        QCOMPARE(names(reread(kOther)), (std::vector<std::string>{"  Apple "}));
        QCOMPARE(names(doc_->openFolder(kMine)), (std::vector<std::string>{"b", "c"}));
    }

    void cutOfAChangedFolderMovesNothingWrong()
    {
        COrkaApp app;
        app.settings() = loadSettings();
        CMainFrame frame(app, *doc_);
        frame.showNode(kMine);
        frame.selectItems({0});
        frame.commandAction(cmd::kCut)->trigger();
        // The folder changes under the cut: row 0 is now another item.
        frame.commandAction(cmd::kArrangeByName)->trigger();
        frame.showNode(kOther);
        frame.commandAction(cmd::kPaste)->trigger();
        QCOMPARE(names(*doc_->findFolder(kOther)), (std::vector<std::string>{"b"}));
        // "  Apple " (now row 0) stays; "b" is copied, not moved.
        QCOMPARE(names(*doc_->findFolder(kMine)), (std::vector<std::string>{"  Apple ", "b", "c"}));
    }

    void dragPayloadSurvivesOnlyWhole()
    {
        const QByteArray bytes = encodeDraggedItems({kMine, {1, 4}});
        const auto back = decodeDraggedItems(bytes);
        QVERIFY(back);
        QCOMPARE(back->folderId, kMine);
        QCOMPARE(back->rows, (std::vector<unsigned>{1, 4}));
        QVERIFY(!decodeDraggedItems(bytes.left(bytes.size() - 1)));
        QVERIFY(!decodeDraggedItems(QByteArray()));
        // A count far beyond the bytes is not believed (no huge reservation).
        QByteArray lying = bytes;
        lying[8] = char(0x7f);
        QVERIFY(!decodeDraggedItems(lying));
    }

    void droppedItemsGoOnlyToFoldersOfTheirCategory()
    {
        COrkaApp app;
        app.settings() = loadSettings();
        CMainFrame frame(app, *doc_);
        QVERIFY(frame.transferItems(kMine, {0, 9}, kOther, false)); // row 9 does not exist
        QCOMPARE(names(*doc_->findFolder(kOther)), (std::vector<std::string>{"b"}));
        QVERIFY(!frame.transferItems(kMine, {0}, kCallerPhotos, false));
        QVERIFY(!frame.transferItems(kMine, {0}, kWallpapers + kHandsetSlot, false));
        // Dropped on a folder of the tree, the items are copied there; on a category, nothing.
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        auto drop = [&frame](int targetId, int row) {
            std::unique_ptr<QMimeData> mime(frame.itemModel()->mimeData({frame.itemModel()->index(row, 0)}));
            frame.showNode(kMine);
            const QPoint at = frame.tree()->visualItemRect(frame.tree()->itemOf(targetId)).center();
            QDragEnterEvent enter(at, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(frame.tree()->viewport(), &enter);
            QDragMoveEvent move(at, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(frame.tree()->viewport(), &move);
            QDropEvent event(at, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(frame.tree()->viewport(), &event);
            return move.isAccepted() && event.isAccepted();
        };
        frame.showNode(kMine);
        QVERIFY(drop(kOther, 2));
        QVERIFY(!drop(kWallpapers, 2));
        QVERIFY(!drop(kCallerPhotos, 2));
        QCOMPARE(names(*doc_->findFolder(kOther)), (std::vector<std::string>{"b", "c"}));
        QVERIFY(frame.transferItems(kMine, {1, 2}, kOther, true));
        QCOMPARE(names(*doc_->findFolder(kMine)), (std::vector<std::string>{"b"}));
        QCOMPARE(names(*doc_->findFolder(kOther)), (std::vector<std::string>{"b", "c", "  Apple ", "c"}));
    }

    void selectAllAndInvert()
    {
        COrkaApp app;
        app.settings() = loadSettings();
        CMainFrame frame(app, *doc_);
        frame.showNode(kMine);
        frame.selectItems({1});
        frame.commandAction(cmd::kInvertSelection)->trigger();
        QCOMPARE(frame.selectedItems(), (std::vector<unsigned>{0, 2}));
        frame.commandAction(cmd::kSelectAll)->trigger();
        QCOMPARE(frame.selectedItems(), (std::vector<unsigned>{0, 1, 2}));
        frame.showNode(kOther);
        QVERIFY(!frame.commandAction(cmd::kSelectAll)->isEnabled());
    }

    void previewFollowsTheSelection()
    {
        COrkaApp app;
        app.settings() = loadSettings();
        CMainFrame frame(app, *doc_);
        frame.showNode(kMine);
        frame.selectItems({2});
        QCOMPARE(frame.preview()->shownImage().size(), QSize(7, 10));
        QVERIFY(!frame.preview()->playButton()->isEnabled());
        frame.selectItems({});
        QVERIFY(frame.preview()->shownImage().isNull());
    }

    void folderCommandsKeepTreeAndPanesInStep()
    {
        orka::ui::PromptScript prompts;
        COrkaApp app;
        app.settings() = loadSettings();
        CMainFrame frame(app, *doc_);
        frame.show();
        frame.showNode(kFirstShownFolder);
        QVERIFY(!frame.commandAction(cmd::kDeleteFolder)->isEnabled());
        frame.showNode(kWallpapers);
        frame.commandAction(cmd::kNewFolder)->trigger();
        QCoreApplication::processEvents();
        const std::optional<int> made = frame.shownFolderId();
        QVERIFY(made && slotOf(*made) >= kFirstUserSlot);
        QCOMPARE(frame.tree()->itemOf(*made)->text(0), QStringLiteral("新資料夾"));
        QVERIFY(frame.commandAction(cmd::kDeleteFolder)->isEnabled());
        QCOMPARE(frame.navigationBar()->folders()->findData(*made) >= 0, true);

        // Renamed in the tree: the document takes the name; a refused one goes back.
        frame.tree()->itemOf(*made)->setText(0, QStringLiteral("假期"));
        QCoreApplication::processEvents();
        QCOMPARE(doc_->findFolder(*made)->name, std::string("假期"));
        frame.tree()->itemOf(*made)->setText(0, QStringLiteral("mine"));
        QCoreApplication::processEvents();
        QCOMPARE(frame.tree()->itemOf(*made)->text(0), QStringLiteral("假期"));
        QCOMPARE(prompts.shown().size(), std::size_t(1)); // 65040: the category has "mine"

        // Deleted: the views let it go at once, then its category is shown.
        frame.commandAction(cmd::kDeleteFolder)->trigger();
        QCOMPARE(frame.shownFolderId(), std::nullopt);
        QCOMPARE(frame.itemModel()->rowCount(), 0);
        QCoreApplication::processEvents();
        QVERIFY(!doc_->findFolder(*made));
        QVERIFY(!frame.tree()->itemOf(*made));
        QCOMPARE(frame.tree()->selectedId(), kWallpapers);
    }

    void deletedItemsLeaveTheViews()
    {
        orka::ui::PromptScript prompts;
        prompts.answer(orka::ui::Answer::No);
        prompts.answer(orka::ui::Answer::Yes);
        COrkaApp app;
        app.settings() = loadSettings();
        CMainFrame frame(app, *doc_);
        frame.showNode(kMine);
        frame.selectItems({0, 2});
        frame.commandAction(cmd::kDeleteItem)->trigger();
        QCOMPARE(prompts.shown().size(), std::size_t(2)); // one question an item
        QCOMPARE(frame.itemModel()->rowCount(), 2);
        QCOMPARE(names(*doc_->findFolder(kMine)), (std::vector<std::string>{"b", "  Apple "}));
        QVERIFY(frame.selectedItems().empty()); // the rows now hold other items
    }

    void animationsPlayInThePreviewAndFillTheStrip()
    {
        addAnimations({animation("three", {4, 8, 12})});
        MelodyContent tune{MelodyContent::kMidi, {'M', 'T', 'h', 'd'}};
        AnimationWindow window(*doc_, 0);
        CMainFrame& frame = window.frame;
        QCOMPARE(frame.animationPane()->frames()->count(), 3);
        QVERIFY(frame.preview()->animating());
        // Each frame shows for 10 ms: every size comes round.
        QTRY_COMPARE(frame.preview()->shownImage().width(), 12);
        QTRY_COMPARE(frame.preview()->shownImage().width(), 4);
        // The shrink-then-enlarge preview ends on the picture itself.
        frame.animationPane()->frames()->setCurrentRow(1);
        frame.commandAction(cmd::kShrinkEnlarge)->trigger();
        QVERIFY(frame.preview()->showingEffect());
        QTRY_VERIFY_WITH_TIMEOUT(!frame.preview()->showingEffect(), 3000);

        // Another item stops the animation and empties the strip; nothing changed, nothing asked.
        const orka::ui::PromptScript& script = window.script;
        frame.showNode(kMine);
        frame.selectItems({0});
        QVERIFY(!frame.preview()->animating());
        QCOMPARE(frame.animationPane()->frames()->count(), 0);
        QVERIFY(!frame.animationDraft());
        for (unsigned id : kAnimationCommands)
            QVERIFY(!frame.commandAction(id)->isEnabled());
        QVERIFY(script.shown().empty());

        // A tune has nothing to draw but can be played.
        GalleryItem melody = GalleryItem::make("tune", tune);
        frame.preview()->showItem(&melody);
        QVERIFY(frame.preview()->shownImage().isNull());
        QVERIFY(frame.preview()->playButton()->isEnabled());
        QCOMPARE(frame.preview()->playButton()->accessibleName(), QStringLiteral("播放"));
    }

    void movesChangeTheDraftUntilItIsSaved()
    {
        addAnimations({animation("three", {4, 8, 12})});
        const GalleryItem before = doc_->findFolder(kAnimations)->items[0];
        AnimationWindow window(*doc_, 0);
        CMainFrame& frame = window.frame;
        orka::ui::PromptScript& script = window.script;
        auto* strip = frame.animationPane()->frames();
        auto enabled = [&frame](unsigned id) { return frame.commandAction(id)->isEnabled(); };
        QVERIFY(!enabled(cmd::kFrameLeft) && !enabled(cmd::kFrameRight) && !enabled(cmd::kAnimationSave));
        QVERIFY(enabled(cmd::kAnimationClearAll) && enabled(cmd::kAnimationUpload) && enabled(cmd::kAnimationSaveAs));

        // The first frame cannot go left, the last not right; moves change only the draft.
        strip->setCurrentRow(0);
        QVERIFY(!enabled(cmd::kFrameLeft) && enabled(cmd::kFrameRight));
        frame.commandAction(cmd::kFrameRight)->trigger();
        QCOMPARE(widths(frame.animationDraft()->frames()), (std::vector<int>{8, 4, 12}));
        QCOMPARE(strip->currentRow(), 1);
        QCOMPARE(frame.preview()->shownImage().width(), 8); // the preview plays the draft
        QVERIFY(doc_->findFolder(kAnimations)->items[0] == before);
        QVERIFY(enabled(cmd::kAnimationSave));
        // Moving it back is the stored order again: nothing left to save.
        frame.commandAction(cmd::kFrameLeft)->trigger();
        QVERIFY(!enabled(cmd::kAnimationSave));
        strip->setCurrentRow(2);
        QVERIFY(!enabled(cmd::kFrameRight));
        frame.commandAction(cmd::kFrameLeft)->trigger();
        QCOMPARE(widths(frame.animationDraft()->frames()), (std::vector<int>{4, 12, 8}));
        // The effect plays on the selected frame of the draft.
        frame.commandAction(cmd::kShrinkEnlarge)->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!frame.preview()->showingEffect(), 3000);
        QCOMPARE(frame.preview()->shownImage().width(), 12);
        // Reselecting the same item keeps the user's order.
        frame.selectItems({0});
        QCOMPARE(widths(frame.animationDraft()->frames()), (std::vector<int>{4, 12, 8}));
        QVERIFY(script.shown().empty());

        frame.commandAction(cmd::kAnimationSave)->trigger();
        QCOMPARE(script.texts(), QStringList{orka::ui::uiText(kStrFileSaved)});
        QVERIFY(!enabled(cmd::kAnimationSave));
        QCOMPARE(strip->count(), 3);
        const GalleryItem saved = itemsOnDisk(kAnimations).at(0);
        QCOMPARE(widths(std::get<AnimationContent>(saved.content).frames), (std::vector<int>{4, 12, 8}));
        QCOMPARE(saved.name, before.name);
        QCOMPARE(saved.handsetNumber, before.handsetNumber);
    }

    void saveAsWritesTheDraftAsItIsNow()
    {
        addAnimations({animation("three", {4, 8, 12})});
        AnimationWindow window(*doc_, 0);
        CMainFrame& frame = window.frame;
        moveFrame(frame, 0, cmd::kFrameRight);

        // The export dialog is answered once it shows: the folder, then OK.
        QTemporaryDir out;
        QTimer::singleShot(0, [&out] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->findChild<QLineEdit*>(QStringLiteral("folderEdit"))->setText(out.path());
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
        });
        frame.commandAction(cmd::kAnimationSaveAs)->trigger();
        auto gif = orka::GifAnimationReader::open(QDir(out.path()).filePath("three.gif").toStdString());
        std::vector<int> written;
        for (std::size_t i = 0; i < gif.frameCount(); ++i)
            written.push_back(gif.frame(i).width);
        QCOMPARE(written, (std::vector<int>{8, 4, 12}));
        QCOMPARE(widths(framesOf(*doc_, 0)), (std::vector<int>{4, 8, 12}));
    }

    void readOnlyDraftsAreRefusedAndKept()
    {
        // The samples the program ships are read-only.
        doc_ = std::make_unique<COrkaDoc>(QDir(home_->path()).filePath("shipped").toStdString(), shippedSamplesDir());
        doc_->build();
        constexpr int kSamples = 50000 + kSamplesSlot;
        COrkaApp app;
        app.settings() = loadSettings();
        CMainFrame frame(app, *doc_);
        frame.showNode(kSamples);
        const FolderNode& samples = *doc_->findFolder(kSamples);
        QVERIFY(samples.readOnly && !samples.items.empty());
        const GalleryItem before = samples.items[0];
        const QByteArray file = fileBytes(doc_->folderFilePath(kSamples));
        frame.selectItems({0});
        moveFrame(frame, 0, cmd::kFrameRight);

        orka::ui::PromptScript script;
        frame.commandAction(cmd::kAnimationSave)->trigger();
        QCOMPARE(script.texts(), QStringList{orka::ui::uiText(kStrReadOnlyFolder)});
        QVERIFY(samples.items[0] == before);
        QCOMPARE(fileBytes(doc_->folderFilePath(kSamples)), file);
        QVERIFY(frame.animationDraft()->changed());

        // A draft of the handset's own item is not written into the list of the handset
        // (the samples' draft let go on the way there).
        script.clear();
        script.answer(orka::ui::Answer::No);
        FolderNode& handset = *doc_->findFolder(50000 + kHandsetSlot);
        handset.items.push_back(animation("on the handset", {4, 8}));
        frame.showNode(handset.id);
        frame.selectItems({0});
        moveFrame(frame, 1, cmd::kFrameLeft);
        frame.commandAction(cmd::kAnimationSave)->trigger();
        QCOMPARE(script.texts(), (QStringList{orka::ui::uiText(kStrSaveFrameOrder), orka::ui::uiText(kStrReadOnlyFolder)}));
        QCOMPARE(widths(std::get<AnimationContent>(handset.items[0].content).frames), (std::vector<int>{4, 8}));
        QCOMPARE(widths(frame.animationDraft()->frames()), (std::vector<int>{8, 4}));
    }

    void clearAllEmptiesThePaneUntilAnotherAnimation()
    {
        addAnimations({animation("first", {4, 8, 12}), animation("second", {6, 10})});
        const GalleryItem before = doc_->findFolder(kAnimations)->items[0];
        AnimationWindow window(*doc_, 0);
        CMainFrame& frame = window.frame;
        orka::ui::PromptScript& script = window.script;
        moveFrame(frame, 0, cmd::kFrameRight);

        // Unsaved changes are asked about; No lets them go.
        script.answer(orka::ui::Answer::No);
        frame.commandAction(cmd::kAnimationClearAll)->trigger();
        QCOMPARE(script.texts(), QStringList{orka::ui::uiText(kStrSaveFrameOrder)});
        QCOMPARE(frame.animationPane()->frames()->count(), 0);
        QVERIFY(!frame.animationDraft());
        for (unsigned id : kAnimationCommands)
            QVERIFY(!frame.commandAction(id)->isEnabled());
        QVERIFY(doc_->findFolder(kAnimations)->items[0] == before);
        // The same item stays cleared; another animation fills the pane again.
        frame.selectItems({0});
        QCOMPARE(frame.animationPane()->frames()->count(), 0);
        frame.selectItems({1});
        QCOMPARE(frame.animationPane()->frames()->count(), 2);
        frame.selectItems({0});
        QCOMPARE(frame.animationPane()->frames()->count(), 3);
        // Nothing changed: cleared without a question.
        frame.commandAction(cmd::kAnimationClearAll)->trigger();
        QCOMPARE(script.shown().size(), std::size_t(1));
    }

    void unsavedOrderIsAskedAboutBeforeItGoes()
    {
        addAnimations({animation("first", {4, 8, 12}), animation("second", {6, 10})});
        AnimationWindow window(*doc_, 0);
        CMainFrame& frame = window.frame;
        orka::ui::PromptScript& script = window.script;
        const QString question = orka::ui::uiText(kStrSaveFrameOrder);
        frame.show();
        moveFrame(frame, 0, cmd::kFrameRight);
        // A click beside the items of the same folder leaves the draft as it is.
        frame.selectItems({});
        QVERIFY(frame.animationDraft() && frame.animationDraft()->changed() && script.shown().empty());

        // No to another item: the changes go, the stored item never had them.
        script.answer(orka::ui::Answer::No);
        frame.selectItems({1});
        QCOMPARE(script.texts(), QStringList{question});
        QCOMPARE(widths(frame.animationDraft()->frames()), (std::vector<int>{6, 10}));
        QCOMPARE(widths(framesOf(*doc_, 0)), (std::vector<int>{4, 8, 12}));

        // Yes to another folder: saved as the save button does, before the folder shows.
        script.clear();
        moveFrame(frame, 0, cmd::kFrameRight);
        frame.showNode(kMine);
        QCOMPARE(script.texts(), (QStringList{question, orka::ui::uiText(kStrFileSaved)}));
        QVERIFY(!frame.animationDraft());
        QCOMPARE(widths(std::get<AnimationContent>(itemsOnDisk(kAnimations).at(1).content).frames),
                 (std::vector<int>{10, 6}));

        // Closing: a failed save keeps the window open with the draft; No closes it.
        frame.showNode(kAnimations);
        frame.selectItems({0});
        moveFrame(frame, 0, cmd::kFrameRight);
        doc_->findFolder(kAnimations)->readOnly = true;
        script.clear();
        QVERIFY(!frame.close());
        QCOMPARE(script.texts(), (QStringList{question, orka::ui::uiText(kStrReadOnlyFolder)}));
        QVERIFY(frame.animationDraft()->changed());
        // A folder file that cannot be written: the window goes on showing the order on disk,
        // the draft keeps the user's.
        doc_->findFolder(kAnimations)->readOnly = false;
        const std::filesystem::path blocked = doc_->folderFilePath(kAnimations);
        std::filesystem::remove(blocked);
        std::filesystem::create_directories(blocked / "in-the-way");
        script.clear();
        frame.commandAction(cmd::kAnimationSave)->trigger();
        QCOMPARE(script.texts().size(), 1);
        QCOMPARE(widths(framesOf(*doc_, 0)), (std::vector<int>{4, 8, 12}));
        QVERIFY(frame.animationDraft()->changed());
        std::filesystem::remove_all(blocked);
        script.answer(orka::ui::Answer::No);
        QVERIFY(frame.close());
        QCOMPARE(widths(framesOf(*doc_, 0)), (std::vector<int>{4, 8, 12}));
    }

    void aDraftNeverOverwritesAnotherItem()
    {
        addAnimations({animation("c", {4, 8, 12}), animation("a", {6, 10}), animation("b", {3, 5})});
        AnimationWindow window(*doc_, 1);
        CMainFrame& frame = window.frame;
        orka::ui::PromptScript& script = window.script;
        moveFrame(frame, 0, cmd::kFrameRight);

        // Arranging leaves nothing selected and the draft as it was; its item moved to the
        // top, and that is where the draft goes.
        frame.arrange(ArrangeOrder::ByName);
        QVERIFY(frame.animationDraft() && frame.animationDraft()->changed());
        frame.commandAction(cmd::kAnimationSave)->trigger();
        QCOMPARE(script.texts(), QStringList{orka::ui::uiText(kStrFileSaved)});
        QCOMPARE(widths(framesOf(*doc_, 0)), (std::vector<int>{10, 6}));
        QCOMPARE(widths(framesOf(*doc_, 1)), (std::vector<int>{3, 5}));
        QCOMPARE(widths(framesOf(*doc_, 2)), (std::vector<int>{4, 8, 12}));

        // Its item deleted, the changed draft stays but is refused rather than written over
        // the item now in its place.
        moveFrame(frame, 0, cmd::kFrameRight);
        QVERIFY(frame.itemCommands().deleteItems(kAnimations, {0}));
        QVERIFY(frame.animationDraft() && frame.animationDraft()->changed());
        script.clear();
        frame.commandAction(cmd::kAnimationSave)->trigger();
        QCOMPARE(script.texts(), QStringList{orka::ui::uiText(kStrDraftItemGone)});
        QCOMPARE(widths(framesOf(*doc_, 0)), (std::vector<int>{3, 5}));
        QCOMPARE(widths(framesOf(*doc_, 1)), (std::vector<int>{4, 8, 12}));
        // Let go, nothing is left of it; an unchanged draft whose item goes leaves with it.
        script.answer(orka::ui::Answer::No);
        frame.commandAction(cmd::kAnimationClearAll)->trigger();
        QVERIFY(!frame.animationDraft());
        frame.selectItems({0});
        QVERIFY(frame.animationDraft());
        QVERIFY(frame.itemCommands().deleteItems(kAnimations, {0}));
        QVERIFY(!frame.animationDraft());
        QCOMPARE(frame.animationPane()->frames()->count(), 0);
    }

    void keyboardRenamesAndCopiesInTheList()
    {
        orka::ui::PromptScript prompts;
        COrkaApp app;
        app.settings() = loadSettings();
        app.settings().uiInfo.setViewMode(UiInfoBlock::kListMode);
        CMainFrame frame(app, *doc_);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        frame.showNode(kMine);
        QTreeView* list = frame.dataPane()->list();
        list->setFocus();
        frame.selectItems({2});
        // F2 edits the name in place; Enter gives it to the document.
        QTest::keyClick(list, Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("c"));
        editor->setText(QStringLiteral("海灘")); // typed through an input method
        QTest::keyClick(editor, Qt::Key_Return);
        // The editor hands its text over once the key's event is through.
        QTRY_COMPARE(names(*doc_->findFolder(kMine)).back(), std::string("海灘"));
        QVERIFY(prompts.shown().empty());

        // Ctrl+C in the list, Ctrl+V in another folder.
        list->setFocus();
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        frame.showNode(kOther);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(names(*doc_->findFolder(kOther)), (std::vector<std::string>{"海灘"}));
        // F6 moves on to the next pane.
        QTest::keyClick(list, Qt::Key_F6);
        QVERIFY(!list->hasFocus());
        // The menu texts have no mnemonics: F10 opens the first menu for the arrow keys.
        QTest::keyClick(&frame, Qt::Key_F10);
        QCOMPARE(frame.menuBar()->activeAction(), frame.menuBar()->actions().first());
        QTRY_VERIFY(frame.menuBar()->actions().first()->menu()->isVisible());
        frame.menuBar()->actions().first()->menu()->close();
    }

    void optionsDecideHowTheWindowShows()
    {
        COrkaApp app;
        app.settings() = loadSettings();
        {
            CMainFrame frame(app, *doc_);
            frame.showAsOptionsSay(); // full screen is on, but not in wizard mode
            QVERIFY(!frame.isMaximized());
            QVERIFY(!(frame.windowFlags() & Qt::WindowStaysOnTopHint));
        }
        app.settings().uiInfo.setLastMode(WorkingMode::Management);
        app.settings().preferences.setOption(PreferencesBlock::kAlwaysOnTop, true);
        CMainFrame frame(app, *doc_);
        frame.showAsOptionsSay();
        QVERIFY(frame.windowState() & Qt::WindowMaximized);
        QVERIFY(frame.windowFlags() & Qt::WindowStaysOnTopHint);
    }

    void helpTopicsFollowThePartAsked()
    {
        COrkaApp app;
        app.settings() = loadSettings();
        CMainFrame frame(app, *doc_);
        QCOMPARE(frame.helpTopicOf(frame.generalToolBar()), 5000u);
        QCOMPARE(frame.helpTopicOf(frame.animationPane()->toolBar()), 5001u);
        QCOMPARE(frame.helpTopicOf(frame.navigationBar()->folders()), 5002u);
        QCOMPARE(frame.helpTopicOf(frame.statusBar()), 5003u);
        QCOMPARE(frame.helpTopicOf(frame.tree()->viewport()), 5004u);
        QCOMPARE(frame.helpTopicOf(frame.dataPane()->list()), 5005u);
        QCOMPARE(frame.helpTopicOf(frame.preview()->playButton()), 5006u);
        QCOMPARE(frame.helpTopicOf(frame.animationPane()->frames()), 5007u);
        const QList<QAction*> menus = frame.menuBar()->actions();
        QCOMPARE(frame.helpTopicOf(menus.first()->menu()), 5008u);
        QCOMPARE(frame.helpTopicOf(menus.last()->menu()), 5012u);
        QCOMPARE(frame.helpTopicOf(nullptr), 0u);
        // The dialogs of the tools and help menus are there to be opened.
        for (unsigned id : {cmd::kPreferences, cmd::kConnection, cmd::kPimTransfer, cmd::kWizard, cmd::kHelpTopics})
            QVERIFY(frame.commandAction(id)->isEnabled());
    }

    void commandsFollowTheNodeShown()
    {
        COrkaApp app;
        app.settings() = loadSettings();
        CMainFrame frame(app, *doc_);
        auto enabled = [&frame](unsigned id) { return frame.commandAction(id)->isEnabled(); };
        frame.showNode(kMine);
        frame.selectItems({0});
        frame.commandAction(cmd::kCopy)->trigger();
        QVERIFY(enabled(cmd::kDeleteFolder) && enabled(cmd::kRenameFolder) && enabled(cmd::kImport));
        QVERIFY(enabled(cmd::kRenameItem) && enabled(cmd::kUpload) && enabled(cmd::kExportToFile));

        // The root: nothing to make or fetch there.
        frame.showNode(kRootId);
        QVERIFY(!enabled(cmd::kNewFolder) && !enabled(cmd::kDownload) && !enabled(cmd::kSelectAll));
        // A category: a new folder and a download, but no folder to delete and no items.
        frame.showNode(kWallpapers);
        QVERIFY(enabled(cmd::kNewFolder) && enabled(cmd::kDownload));
        QVERIFY(!enabled(cmd::kDeleteFolder) && !enabled(cmd::kPaste) && !enabled(cmd::kImport));
        // The handset folder takes items only from the handset.
        frame.showNode(kWallpapers + kHandsetSlot);
        QVERIFY(!enabled(cmd::kPaste) && !enabled(cmd::kImport) && !enabled(cmd::kDeleteFolder));
        // A read-only folder shows its items but takes no changes.
        frame.transferItems(kMine, {0, 1}, kOther, false);
        doc_->findFolder(kOther)->readOnly = true;
        frame.showNode(kOther);
        frame.selectItems({1});
        QVERIFY(enabled(cmd::kCopy) && enabled(cmd::kUpload));
        QVERIFY(!enabled(cmd::kCut) && !enabled(cmd::kPaste) && !enabled(cmd::kDeleteItem) && !enabled(cmd::kRenameItem));
    }

    void editFollowsTheOneSelectedItem()
    {
        COrkaApp app;
        app.settings() = loadSettings();
        constexpr int kTunes = 70000 + kFirstUserSlot;
        doc_->addLocalFolder(70000, kTunes, "tunes");
        std::vector<std::uint8_t> smaf(64, 0x20), midi(64, 0x20);
        std::copy_n("MMMD", 4, smaf.begin());
        std::copy_n("MThd", 4, midi.begin());
        doc_->addItem(kTunes, GalleryItem::make("ready", MelodyContent{MelodyContent::kSmaf, smaf}));
        doc_->addItem(kTunes, GalleryItem::make("song", MelodyContent{MelodyContent::kMidi, midi}));
        CMainFrame frame(app, *doc_);
        auto enabled = [&frame] { return frame.commandAction(cmd::kEdit)->isEnabled(); };
        frame.showNode(kMine);
        QVERIFY(!enabled());
        frame.selectItems({0});
        QVERIFY(enabled());
        frame.selectItems({0, 1});
        QVERIFY(!enabled());
        frame.showNode(kTunes);
        frame.selectItems({0});
        QVERIFY(!enabled()); // a SMAF tune is finished as it is
        frame.selectItems({1});
        QVERIFY(enabled());
        frame.showNode(kWallpapers + kHandsetSlot);
        QVERIFY(!enabled());

        // The edit's result is the item's content on disk, and the views hear of it.
        frame.showNode(kMine);
        frame.selectItems({0});
        const GalleryItem before = doc_->findFolder(kMine)->items[0];
        QSignalSpy changed(&frame, &CMainFrame::folderChanged);
        testing::EditorScript editor;
        editor.then([](ItemEditorDialog& dialog) {
            dialog.pages().editPicturePage().rotateLeft();
            testing::nextOn(dialog.pages().editPicturePage());
        });
        frame.commandAction(cmd::kEdit)->trigger();
        QCOMPARE(editor.opened(), 1);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toInt(), kMine);
        const GalleryItem& after = reread(kMine).items[0];
        QCOMPARE(after.name, before.name);
        QCOMPARE(int(std::get<PictureContent>(after.content).bitmap.height), 5); // was 5 wide, 10 high
    }

    void editIsNotOfferedInTheSamples()
    {
        useShippedSamples();
        COrkaApp app;
        app.settings() = loadSettings();
        CMainFrame frame(app, *doc_);
        for (int category : {20000, 50000, 70000}) {
            frame.showNode(category + kSamplesSlot);
            QVERIFY(!doc_->findFolder(category + kSamplesSlot)->items.empty());
            frame.selectItems({0});
            QVERIFY(!frame.commandAction(cmd::kEdit)->isEnabled());
        }
    }

    void sampleTunesPlayAndStop()
    {
        // The gallery with the samples the program ships: two tunes, MIDI and SMAF.
        useShippedSamples();
        COrkaApp app;
        app.settings() = loadSettings();
        CMainFrame frame(app, *doc_);
        frame.showNode(70000 + kSamplesSlot);
        const FolderNode& tunes = *doc_->findFolder(70000 + kSamplesSlot);
        QVERIFY(!tunes.items.empty());
        for (std::size_t row = 0; row < tunes.items.size(); ++row) {
            frame.selectItems({unsigned(row)});
            QToolButton* play = frame.preview()->playButton();
            QVERIFY(play->isEnabled());
            play->click(); // a machine without sound plays quietly
            QVERIFY(frame.preview()->playing());
            QCOMPARE(play->text(), QStringLiteral("停止"));
            play->click();
            QVERIFY(!frame.preview()->playing());
            QCOMPARE(play->text(), QStringLiteral("播放"));
        }
    }

    void menusCarryEveryCommandOfTheTable()
    {
        COrkaApp app;
        app.settings() = loadSettings();
        CMainFrame frame(app, *doc_);
        std::map<unsigned, QString> menu;
        collect(frame.menuBar()->actions(), menu);
        const std::map<unsigned, QString> expected = {
            {32771, "匯入..."}, {32795, "檔案..."}, {32796, "郵件..."}, {32909, "精靈..."},
            {32937, "新增資料夾"}, {32938, "刪除資料夾"}, {32939, "重新命名"}, {57665, "結束"},
            {57635, "剪下"}, {57634, "複製"}, {57637, "貼上"}, {32773, "刪除"}, {32774, "重新命名"},
            {57642, "全選"}, {32776, "反向選擇"}, {59392, "工具列"}, {32786, "瀏覽器列"}, {59393, "狀態列"},
            {32803, "資料夾窗格"}, {32804, "預覽窗格"}, {32782, "依名稱"}, {32781, "依大小"}, {32963, "依日期"},
            {32779, "縮圖"}, {32780, "清單"}, {32949, "編輯..."}, {32791, "PIM 上傳/下載..."},
            {32792, "連線設定..."}, {32802, "偏好設定..."}, {32794, "預覽"}, {57667, "說明主題"},
            {57664, "&關於 手機桌台..."}};
        for (const auto& [id, text] : expected)
            QCOMPARE(menu[id], text);
        QCOMPARE(menu.size(), expected.size());
        QStringList titles;
        for (QAction* a : frame.menuBar()->actions())
            titles << a->text();
        QCOMPARE(titles, (QStringList{"檔案", "編輯", "檢視", "工具", "說明"}));
        QCOMPARE(frame.commandAction(cmd::kCut)->shortcuts(),
                 (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+X")), QKeySequence(QStringLiteral("Shift+Del"))}));
        QCOMPARE(frame.commandAction(cmd::kImport)->toolTip(), QStringLiteral("匯入"));
        QCOMPARE(frame.commandAction(cmd::kAppExit)->statusTip(),
                 QStringLiteral("Quit the application; prompts to save documents"));
    }

    void everyButtonSaysWhatItIs()
    {
        COrkaApp app;
        app.settings() = loadSettings();
        CMainFrame frame(app, *doc_);
        frame.show();
        std::vector<unsigned> order;
        for (QAction* a : frame.generalToolBar()->actions()) {
            order.push_back(CommandActions::idOf(a));
            if (a->isSeparator())
                continue;
            QWidget* button = frame.generalToolBar()->widgetForAction(a);
            QVERIFY(!button->accessibleName().isEmpty());
            QCOMPARE(button->size(), QSize(45, 45));
        }
        QCOMPARE(order, (std::vector<unsigned>{32771, 32772, 32949, 32962, 32791, 32936, 32941, 32794, 0, 32803,
                                               32804, 0, 32909}));
        QToolBar* animation = frame.animationPane()->toolBar();
        QStringList texts;
        for (QAction* a : animation->actions()) {
            texts << a->text();
            QVERIFY(!animation->widgetForAction(a)->accessibleName().isEmpty());
        }
        QCOMPARE(texts, (QStringList{"左移", "右移", "動畫效果-縮小後再放大", "儲存檔案", "上傳", "另存新檔", "全部清除"}));
        for (QAction* a : frame.actions())
            QVERIFY2(!a->text().isEmpty(), qPrintable(QString::number(CommandActions::idOf(a))));
        for (auto* label : frame.statusBar()->findChildren<QLabel*>())
            if (!label->text().isEmpty())
                QVERIFY(!label->accessibleName().isEmpty());
    }
};

QTEST_MAIN(ShellWindowTest)
#include "ShellWindowTest.moc"
