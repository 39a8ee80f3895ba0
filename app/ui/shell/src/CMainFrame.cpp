#include "orka/app/ui/CMainFrame.h"

#include "orka/app/COrkaDoc.h"
#include "orka/app/OrkaApp.h"
#include "orka/app/ui/AboutDlg.h"
#include "orka/app/ui/AnimationPane.h"
#include "orka/app/ui/CommandActions.h"
#include "orka/app/ui/CommandIds.h"
#include "orka/app/ui/DataViews.h"
#include "orka/app/ui/ItemCommands.h"
#include "orka/app/ui/LockKeyPanes.h"
#include "orka/app/ui/NavigationBar.h"
#include "orka/app/ui/OrkaSplitter.h"
#include "orka/app/ui/OrkaTreeView.h"
#include "orka/app/ui/OrkaView.h"
#include "orka/app/ui/Wizard.h"
#include "orka/pim/ui/PimTransferDlg.h"
#include "orka/transfer/ui/ConnectionDlg.h"
#include "orka/ui/HelpViewer.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <utility>

namespace orka::app::ui {
namespace {

constexpr unsigned kStrWindowTitle = 57344;
constexpr unsigned kStrMessagePane = 33411;
constexpr unsigned kStrContextHelp = 33412;
constexpr unsigned kStrOpenMenus = 33419; // "開啟功能表"
constexpr unsigned kStrFileSaved = 65080;      // "儲存檔案成功"
constexpr unsigned kStrSaveFrameOrder = 33440; // the frame order changed: save it?
constexpr unsigned kStrDraftItemGone = 33441;  // the animation is no longer in its folder

constexpr int kSidePaneWidth = 160;     // navigation and preview panes
constexpr int kDataPaneHeight = 160;    // the data pane above the animation pane
constexpr int kToolIconSide = 32;
constexpr int kToolButtonSide = 45;
const QSize kFirstWindowSize(960, 680);

// Splitter A's columns and splitter B's rows.
constexpr int kNavigationColumn = 0;
constexpr int kPreviewColumn = 2;

bool acceptsItems(int folderId) { return isLocalFolder(folderId); }

// The animation pane arranges the handset's power-on and power-off animations: the items of
// the animation category's folders, the handset folder's included. A saved main-menu set
// is a set of menu pictures in the menu's order, not an animation, and is not offered.
bool arrangeable(const COrkaDoc& doc, const FolderNode& folder, const GalleryItem& item)
{
    const CategoryNode* category = doc.findCategory(categoryOf(folder.id));
    const auto* animation = std::get_if<AnimationContent>(&item.content);
    return category && category->kind == FolderKind::Animation && animation && !animation->frames.empty();
}

// Help topics of the window's parts and of its menus (file, edit, view, tools, help in order).
constexpr unsigned kHelpGeneralToolBar = 5000;
constexpr unsigned kHelpAnimationToolBar = 5001;
constexpr unsigned kHelpNavigationBar = 5002;
constexpr unsigned kHelpStatusBar = 5003;
constexpr unsigned kHelpNavigationPane = 5004;
constexpr unsigned kHelpDataPane = 5005;
constexpr unsigned kHelpPreviewPane = 5006;
constexpr unsigned kHelpAnimationPane = 5007;
constexpr unsigned kHelpFirstMenu = 5008;
// Any id without a page of its own opens the help at its contents.
constexpr unsigned kHelpContents = 0;

// The flags of the transient word that the PIM dialog keeps in step.
constexpr std::uint32_t kPimLoadedFlags =
    AppFlags::kHandsetPhonebookLoaded | AppFlags::kHandsetCalendarLoaded | AppFlags::kOutlookDataLoaded;

} // namespace

CMainFrame::CMainFrame(COrkaApp& app, COrkaDoc& doc, QWidget* parent)
    : QMainWindow(parent), app_(app), settings_(app.settings()), doc_(doc), actions_(new CommandActions(this)),
      items_(new ItemCommands(app, doc, this)), model_(new GalleryItemModel(this))
{
    setWindowTitle(orka::ui::uiText(kStrWindowTitle));
    resize(kFirstWindowSize);
    model_->setRenamer([this](int folderId, std::size_t row, const std::string& name) {
        return items_->renameItem(folderId, row, orka::ui::fromUtf8(name));
    });
    buildPanes();
    buildBars();
    bindCommands();
    bindItemCommands();
    bindAnimationCommands();
    bindDialogs();
    tree_->setRenamer([this](int folderId, const std::string& name) {
        // The tree is made anew once the rename is through; the edit ends first.
        return items_->canRenameFolder(folderId) && items_->renameFolder(folderId, orka::ui::fromUtf8(name));
    });
    tree_->build(doc_);
    navigationBar_->build(doc_);
    applyBars();
    setViewMode(settings_.uiInfo.viewMode);
    showNode(kFirstShownFolder);
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::buildPanes()
{
    splitterA_ = new COrkaSplitter(this);
    tree_ = new COrkaTreeView;
    splitterB_ = new COrkaSplitter2;
    dataPane_ = new COrkaFrame(model_);
    animationPane_ = new COrkaFrame2(*actions_);
    preview_ = new COrkaView;
    splitterB_->addPane(dataPane_, kDataPaneHeight);
    splitterB_->addPane(animationPane_, 0);
    splitterA_->addPane(tree_, kSidePaneWidth);
    splitterA_->addPane(splitterB_, 0);
    splitterA_->addPane(preview_, kSidePaneWidth);
    setCentralWidget(splitterA_);

    connect(tree_, &COrkaTreeView::nodeSelected, this, &CMainFrame::onNodeSelected);
    connect(tree_, &COrkaTreeView::itemsDropped, this, [this](int target, const DraggedItems& items, bool move) {
        transferItems(items.folderId, items.rows, target, move);
    });
    connect(tree_, &COrkaTreeView::contextMenuWanted, this, [this](QPoint pos, int id) {
        if (id < 0)
            return;
        QMenu* menu = actions_->makeContextMenu(ContextMenu::Category, this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(pos);
    });
    connect(dataPane_->selection(), &QItemSelectionModel::selectionChanged, this, [this] {
        onCurrentItemChanged();
        updateCommandStates();
    });
    connect(dataPane_->selection(), &QItemSelectionModel::currentChanged, this, &CMainFrame::onCurrentItemChanged);
    connect(dataPane_->thumbnails(), &COrkaScrollViewEx::contextMenuWanted, this, &CMainFrame::showDataMenu);
    connect(dataPane_->list(), &COrkaListView::contextMenuWanted, this, &CMainFrame::showDataMenu);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &CMainFrame::updateCommandStates);
}

void CMainFrame::buildBars()
{
    actions_->fillMenuBar(menuBar());
    // The menu texts carry no mnemonics, so Alt with a letter opens nothing; F10 opens the
    // first menu, from where the arrow keys reach every command.
    auto* openMenus = new QAction(orka::ui::uiText(kStrOpenMenus), this);
    openMenus->setShortcut(Qt::Key_F10);
    openMenus->setShortcutContext(Qt::WindowShortcut);
    connect(openMenus, &QAction::triggered, this, [this] {
        if (const QList<QAction*> menus = menuBar()->actions(); !menus.isEmpty())
            menuBar()->setActiveAction(menus.first());
    });
    addAction(openMenus);

    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("generalToolBar"));
    toolBar_->setAccessibleName(orka::ui::fromUtf8(commandText(cmd::kToolbar)));
    toolBar_->setIconSize(QSize(kToolIconSide, kToolIconSide));
    toolBar_->setMovable(false);
    actions_->fillToolBar(toolBar_, generalToolbar());
    for (unsigned id : generalToolbar())
        if (id != 0)
            if (QWidget* button = toolBar_->widgetForAction(commandAction(id)))
                button->setFixedSize(kToolButtonSide, kToolButtonSide);
    addToolBar(Qt::TopToolBarArea, toolBar_);

    addToolBarBreak(Qt::TopToolBarArea);
    navigationBar_ = new NavigationBar(this);
    navigationBar_->setMovable(false);
    addToolBar(Qt::TopToolBarArea, navigationBar_);
    connect(navigationBar_, &NavigationBar::chosen, this, &CMainFrame::showNode);

    QStatusBar* status = statusBar();
    status->setAccessibleName(orka::ui::fromUtf8(commandText(cmd::kStatusBar)));
    status->setAccessibleDescription(orka::ui::uiText(kStrMessagePane));
    lockKeys_ = new LockKeyPanes(status, platform::LockKeys::open());
}

void CMainFrame::bindCommands()
{
    actions_->bind(cmd::kAppExit, [this] { close(); });
    actions_->bind(cmd::kAbout, [this] { showAbout(); });

    actions_->bind(cmd::kToolbar, [this] { toggleBar(UiInfoBlock::kToolbar); });
    actions_->bind(cmd::kNavigationBar, [this] { toggleBar(UiInfoBlock::kNavigationBar); });
    actions_->bind(cmd::kStatusBar, [this] { toggleBar(UiInfoBlock::kStatusBar); });
    actions_->bind(cmd::kFolderPane, [this] { toggleBar(UiInfoBlock::kFolderPane); });
    actions_->bind(cmd::kPreviewPane, [this] { toggleBar(UiInfoBlock::kPreviewPane); });

    actions_->bind(cmd::kThumbnailMode, [this] { setViewMode(UiInfoBlock::kThumbnailMode); });
    actions_->bind(cmd::kListMode, [this] { setViewMode(UiInfoBlock::kListMode); });
    actions_->bind(cmd::kArrangeByName, [this] { arrange(ArrangeOrder::ByName); });
    actions_->bind(cmd::kArrangeBySize, [this] { arrange(ArrangeOrder::BySize); });
    actions_->bind(cmd::kArrangeByDate, [this] { arrange(ArrangeOrder::ByDate); });

    actions_->bind(cmd::kSelectAll, [this] { dataPane_->selectAll(); });
    actions_->bind(cmd::kInvertSelection, [this] { dataPane_->invertSelection(); });
    actions_->bind(cmd::kCut, [this] { copyToClipboard(true); });
    actions_->bind(cmd::kCopy, [this] { copyToClipboard(false); });
    actions_->bind(cmd::kPaste, [this] { pasteFromClipboard(); });
    actions_->bind(cmd::kRenameItem, [this] {
        QAbstractItemView* view = dataPane_->currentView();
        const QModelIndex current = dataPane_->selection()->currentIndex();
        if (current.isValid())
            view->edit(current.siblingAtColumn(GalleryItemModel::NameColumn));
    });
    actions_->bind(cmd::kNextPane, [this] { moveFocus(1); });
    actions_->bind(cmd::kPreviousPane, [this] { moveFocus(-1); });
}

void CMainFrame::bindItemCommands()
{
    connect(items_, &ItemCommands::folderChanged, this, &CMainFrame::refreshFolder);
    connect(items_, &ItemCommands::treeChanged, this, [this] {
        // A folder that went must leave the views at once; the tree is made anew once the
        // event that changed it (a rename typed in the tree itself) is through.
        if (const FolderNode* shown = model_->folder(); shown && doc_.findFolder(shown->id) != shown) {
            model_->setFolder(nullptr);
            onCurrentItemChanged();
        }
        QMetaObject::invokeMethod(this, &CMainFrame::rebuildTree, Qt::QueuedConnection);
    });

    actions_->bind(cmd::kImport, [this] { items_->importInto(selectedNodeId()); });
    actions_->bind(cmd::kEdit, [this] {
        const auto rows = selectedIndexes();
        if (rows.size() == 1)
            items_->editItem(selectedNodeId(), rows.front());
    });
    actions_->bind(cmd::kExport, [this] { items_->exportItems(selectedNodeId(), selectedIndexes()); });
    actions_->bind(cmd::kExportToFile, [this] { items_->exportItems(selectedNodeId(), selectedIndexes()); });
    actions_->bind(cmd::kExportByMail, [this] { items_->mailItems(selectedNodeId(), selectedIndexes()); });
    actions_->bind(cmd::kNewFolder, [this] {
        const auto id = items_->newFolder(categoryOf(selectedNodeId()));
        if (!id)
            return;
        // After the tree is made anew (queued before this): the new folder is shown and its
        // name edited at once, as a new folder in a file manager is.
        QMetaObject::invokeMethod(
            this,
            [this, folderId = *id] {
                showNode(folderId);
                if (QTreeWidgetItem* item = tree_->itemOf(folderId))
                    tree_->editItem(item);
            },
            Qt::QueuedConnection);
    });
    actions_->bind(cmd::kDeleteFolder, [this] { items_->deleteFolder(selectedNodeId()); });
    actions_->bind(cmd::kRenameFolder, [this] {
        if (QTreeWidgetItem* item = tree_->itemOf(selectedNodeId()))
            tree_->editItem(item);
    });
    actions_->bind(cmd::kDeleteItem, [this] { items_->deleteItems(selectedNodeId(), selectedIndexes()); });
    actions_->bind(cmd::kJava, [this] { items_->importMidlet(); });
    actions_->bind(cmd::kDownload, [this] { items_->download(selectedNodeId()); });
    actions_->bind(cmd::kUpload, [this] { items_->upload(selectedNodeId(), selectedIndexes()); });
    actions_->bind(cmd::kPreviewOnHandset, [this] {
        const auto rows = selectedIndexes();
        if (!rows.empty())
            items_->previewOnHandset(selectedNodeId(), rows.front());
    });
}

int CMainFrame::selectedNodeId() const
{
    const int id = tree_->selectedId();
    return id < 0 ? kRootId : id;
}

std::vector<std::size_t> CMainFrame::selectedIndexes() const
{
    const auto rows = dataPane_->selectedRows();
    return {rows.begin(), rows.end()};
}

void CMainFrame::rebuildTree()
{
    const int selected = selectedNodeId();
    tree_->build(doc_);
    navigationBar_->build(doc_);
    // A folder that went leaves its category selected.
    showNode(selected == kRootId || slotOf(selected) == 0 || doc_.findFolder(selected) ? selected : categoryOf(selected));
}

void CMainFrame::showAsOptionsSay()
{
    const PreferencesBlock& p = settings_.preferences;
    setWindowFlag(Qt::WindowStaysOnTopHint, p.option(PreferencesBlock::kAlwaysOnTop));
    const bool management = settings_.uiInfo.lastMode == static_cast<std::uint32_t>(WorkingMode::Management);
    if (p.option(PreferencesBlock::kFullScreen) && management)
        showMaximized();
    else
        show();
}

void CMainFrame::bringToFront()
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

QAction* CMainFrame::commandAction(unsigned id) const { return actions_->action(id); }

// --- panes and bars ---

void CMainFrame::applyBars()
{
    const UiInfoBlock& ui = settings_.uiInfo;
    toolBar_->setVisible(ui.shown(UiInfoBlock::kToolbar));
    navigationBar_->setVisible(ui.shown(UiInfoBlock::kNavigationBar));
    statusBar()->setVisible(ui.shown(UiInfoBlock::kStatusBar));
    splitterA_->setPaneShown(kNavigationColumn, ui.shown(UiInfoBlock::kFolderPane));
    splitterA_->setPaneShown(kPreviewColumn, ui.shown(UiInfoBlock::kPreviewPane));
    commandAction(cmd::kToolbar)->setChecked(ui.shown(UiInfoBlock::kToolbar));
    commandAction(cmd::kNavigationBar)->setChecked(ui.shown(UiInfoBlock::kNavigationBar));
    commandAction(cmd::kStatusBar)->setChecked(ui.shown(UiInfoBlock::kStatusBar));
    commandAction(cmd::kFolderPane)->setChecked(ui.shown(UiInfoBlock::kFolderPane));
    commandAction(cmd::kPreviewPane)->setChecked(ui.shown(UiInfoBlock::kPreviewPane));
}

void CMainFrame::toggleBar(std::uint32_t barFlag) { setBarShown(barFlag, !settings_.uiInfo.shown(barFlag)); }

void CMainFrame::setBarShown(std::uint32_t barFlag, bool shown)
{
    if (shown)
        settings_.uiInfo.barFlags |= barFlag;
    else
        settings_.uiInfo.barFlags &= ~barFlag;
    applyBars();
}

void CMainFrame::setViewMode(std::uint32_t mode)
{
    mode = mode == UiInfoBlock::kListMode ? UiInfoBlock::kListMode : UiInfoBlock::kThumbnailMode;
    // The selected items stay selected in the other view.
    const std::vector<unsigned> rows = dataPane_->selectedRows();
    settings_.uiInfo.setViewMode(mode);
    dataPane_->setViewMode(mode);
    dataPane_->selectRows(rows);
    commandAction(mode == UiInfoBlock::kListMode ? cmd::kListMode : cmd::kThumbnailMode)->setChecked(true);
}

void CMainFrame::moveFocus(int step)
{
    std::vector<QWidget*> panes;
    for (QWidget* w : std::initializer_list<QWidget*>{tree_, dataPane_->currentView(), animationPane_->frames(),
                                                      preview_->playButton()})
        if (w->isVisible() && w->isEnabled())
            panes.push_back(w);
    if (panes.empty())
        return;
    auto at = std::find_if(panes.begin(), panes.end(), [](QWidget* w) { return w->hasFocus(); });
    const int count = int(panes.size());
    const int from = at == panes.end() ? (step > 0 ? -1 : 0) : int(at - panes.begin());
    panes[std::size_t(((from + step) % count + count) % count)]->setFocus(Qt::ShortcutFocusReason);
}

// --- the shown folder ---

void CMainFrame::showNode(int id)
{
    if (tree_->selectedId() == id)
        onNodeSelected(id);
    else if (!tree_->selectId(id))
        onNodeSelected(-1);
}

void CMainFrame::onNodeSelected(int id)
{
    navigationBar_->follow(std::max(id, 0));
    FolderNode* folder = nullptr;
    if (id > 0 && slotOf(id) != 0) {
        try {
            folder = &doc_.openFolder(id);
        } catch (const std::exception& e) {
            orka::ui::showFailure(this, e);
        }
    }
    model_->setFolder(folder);
    onCurrentItemChanged();
    updateCommandStates();
}

std::optional<int> CMainFrame::shownFolderId() const
{
    return model_->folder() ? std::optional<int>(model_->folder()->id) : std::nullopt;
}

std::vector<unsigned> CMainFrame::selectedItems() const { return dataPane_->selectedRows(); }

void CMainFrame::selectItems(const std::vector<unsigned>& rows) { dataPane_->selectRows(rows); }

CMainFrame::CurrentItem CMainFrame::currentItem() const
{
    CurrentItem current;
    current.folder = model_->folder();
    QModelIndex index = dataPane_->selection()->currentIndex();
    if (!index.isValid() || !dataPane_->selection()->isRowSelected(index.row())) {
        const auto rows = dataPane_->selectedRows();
        index = rows.empty() ? QModelIndex() : model_->index(int(rows.front()), 0);
    }
    if (current.folder && index.isValid() && std::size_t(index.row()) < current.folder->items.size()) {
        current.row = std::size_t(index.row());
        current.item = &current.folder->items[current.row];
    }
    return current;
}

void CMainFrame::onCurrentItemChanged()
{
    // While the user is asked about the draft, the answer decides what the pane shows.
    if (!askingAboutDraft_)
        followWithAnimationPane(currentItem());
    showPreview();
}

void CMainFrame::showPreview()
{
    // The selected item's draft plays in the order the user arranged.
    const CurrentItem current = currentItem();
    const bool drafted = draft_ && current.item && current.folder->id == draft_->folderId() &&
                         current.row == draft_->row() && draft_->cameFrom(*current.item);
    preview_->showItem(drafted ? &draft_->item() : current.item);
}

void CMainFrame::refreshFolder(int folderId)
{
    if (shownFolderId() == folderId) {
        // A rename keeps the selection; items added or removed leave other items at the rows.
        const auto rows = dataPane_->selectedRows();
        const int before = model_->rowCount();
        model_->refresh();
        if (model_->rowCount() == before)
            dataPane_->selectRows(rows);
        onCurrentItemChanged();
    }
    updateCommandStates();
    Q_EMIT folderChanged(folderId);
}

void CMainFrame::updateCommandStates()
{
    const auto shown = shownFolderId();
    const bool selected = !dataPane_->selectedRows().empty();
    const bool changeable = shown && acceptsItems(*shown) && !model_->folder()->readOnly;
    commandAction(cmd::kCopy)->setEnabled(selected && shown);
    commandAction(cmd::kCut)->setEnabled(selected && changeable);
    commandAction(cmd::kRenameItem)->setEnabled(selected && shown && model_->folder()->stored() &&
                                                !model_->folder()->readOnly);
    commandAction(cmd::kDeleteItem)->setEnabled(selected && shown && !model_->folder()->readOnly);
    const int node = selectedNodeId();
    const bool userFolder = items_->canDeleteFolder(node);
    commandAction(cmd::kDeleteFolder)->setEnabled(userFolder);
    commandAction(cmd::kRenameFolder)->setEnabled(userFolder);
    commandAction(cmd::kNewFolder)->setEnabled(node != kRootId);
    commandAction(cmd::kImport)->setEnabled(shown && acceptsItems(*shown) && !model_->folder()->readOnly);
    const auto rows = dataPane_->selectedRows();
    commandAction(cmd::kEdit)->setEnabled(shown && rows.size() == 1 && items_->canEditItem(*shown, rows.front()));
    commandAction(cmd::kDownload)->setEnabled(node != kRootId);
    for (unsigned id : {cmd::kExport, cmd::kExportToFile, cmd::kExportByMail, cmd::kUpload, cmd::kPreviewOnHandset})
        commandAction(id)->setEnabled(selected && shown);
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    const bool itemsOnClipboard = clipboard_ && mime && mime->hasFormat(dragDropMimeType());
    commandAction(cmd::kPaste)->setEnabled(itemsOnClipboard && changeable && sameCategory(clipboard_->folderId, *shown));
    const bool anyItems = model_->rowCount() > 0;
    commandAction(cmd::kSelectAll)->setEnabled(anyItems);
    commandAction(cmd::kInvertSelection)->setEnabled(anyItems);
    for (unsigned id : {cmd::kArrangeByName, cmd::kArrangeBySize, cmd::kArrangeByDate})
        commandAction(id)->setEnabled(anyItems);
}

// --- item commands ---

void CMainFrame::arrange(ArrangeOrder order)
{
    const auto shown = shownFolderId();
    if (!shown)
        return;
    try {
        doc_.arrange(*shown, order);
        // The new order is the order the folder file keeps.
        doc_.saveFolder(*shown);
    } catch (const std::exception& e) {
        orka::ui::showFailure(this, e);
    }
    dataPane_->selection()->clearSelection();
    refreshFolder(*shown);
}

bool CMainFrame::transferItems(int fromFolderId, const std::vector<unsigned>& rows, int toFolderId, bool move)
{
    const FolderNode* from = doc_.findFolder(fromFolderId);
    if (!from || !acceptsItems(toFolderId) || !sameCategory(fromFolderId, toFolderId))
        return false;
    std::vector<GalleryItem> items;
    std::vector<unsigned> taken;
    for (unsigned row : rows)
        if (row < from->items.size()) {
            items.push_back(from->items[row]);
            taken.push_back(row);
        }
    bool done = true;
    try {
        for (GalleryItem& item : items)
            doc_.addItem(toFolderId, std::move(item));
    } catch (const std::exception& e) {
        orka::ui::showFailure(this, e);
        done = false;
    }
    try {
        doc_.saveFolder(toFolderId);
        // Items leave their folder only once the other folder holds them on disk.
        if (done && move && fromFolderId != toFolderId) {
            std::sort(taken.rbegin(), taken.rend());
            for (unsigned row : taken)
                doc_.removeItem(fromFolderId, row);
            doc_.saveFolder(fromFolderId);
        }
    } catch (const std::exception& e) {
        orka::ui::showFailure(this, e);
        done = false;
    }
    refreshFolder(toFolderId);
    if (move)
        refreshFolder(fromFolderId);
    return done;
}

void CMainFrame::copyToClipboard(bool cut)
{
    const FolderNode* folder = model_->folder();
    const auto rows = dataPane_->selectedRows();
    if (!folder || rows.empty())
        return;
    ClipboardItems taken{folder->id, rows, {}, cut};
    for (unsigned row : rows)
        taken.items.push_back(folder->items[row]);
    clipboard_ = std::move(taken);
    auto* mime = new QMimeData;
    mime->setData(dragDropMimeType(), encodeDraggedItems({folder->id, rows}));
    QApplication::clipboard()->setMimeData(mime);
    updateCommandStates();
}

void CMainFrame::pasteFromClipboard()
{
    const auto shown = shownFolderId();
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    if (!shown || !clipboard_ || !mime || !mime->hasFormat(dragDropMimeType()))
        return;
    ClipboardItems taken = *clipboard_;
    if (taken.cut && *shown == taken.folderId)
        return; // cut and pasted back where it was: nothing moves
    // A cut moves only the items that are still as they were when cut.
    std::vector<unsigned> stillThere;
    if (const FolderNode* source = doc_.findFolder(taken.folderId))
        for (std::size_t i = 0; i < taken.rows.size(); ++i)
            if (taken.rows[i] < source->items.size() && source->items[taken.rows[i]] == taken.items[i])
                stillThere.push_back(taken.rows[i]);
    if (taken.cut && *shown != taken.folderId && stillThere.size() == taken.rows.size()) {
        if (transferItems(taken.folderId, stillThere, *shown, true))
            clipboard_.reset(); // the items moved: nothing is left to paste
        updateCommandStates();
        return;
    }
    try {
        for (const GalleryItem& item : taken.items)
            doc_.addItem(*shown, item);
    } catch (const std::exception& e) {
        orka::ui::showFailure(this, e);
    }
    try {
        doc_.saveFolder(*shown);
    } catch (const std::exception& e) {
        orka::ui::showFailure(this, e);
    }
    refreshFolder(*shown);
}

// --- the animation pane ---

void CMainFrame::bindAnimationCommands()
{
    actions_->bind(cmd::kFrameLeft, [this] { moveFrame(-1); });
    actions_->bind(cmd::kFrameRight, [this] { moveFrame(1); });
    actions_->bind(cmd::kShrinkEnlarge, [this] {
        const int row = std::max(animationPane_->frames()->currentRow(), 0);
        if (draft_ && std::size_t(row) < draft_->frames().size())
            preview_->playShrinkEnlarge(draft_->frames()[std::size_t(row)].bitmap);
    });
    actions_->bind(cmd::kAnimationSave, [this] {
        if (draft_)
            saveDraft();
        updateAnimationCommands();
    });
    actions_->bind(cmd::kAnimationUpload, [this] {
        if (draft_)
            items_->uploadItem(draft_->folderId(), draft_->item());
    });
    actions_->bind(cmd::kAnimationSaveAs, [this] {
        if (draft_)
            items_->exportItem(draft_->folderId(), draft_->item());
    });
    actions_->bind(cmd::kAnimationClearAll, [this] { clearAnimationPane(); });
    connect(animationPane_->frames(), &QListWidget::currentRowChanged, this, &CMainFrame::updateAnimationCommands);
}

void CMainFrame::followWithAnimationPane(const CurrentItem& current)
{
    std::optional<std::pair<int, std::size_t>> origin;
    if (current.item && arrangeable(doc_, *current.folder, *current.item))
        origin = std::make_pair(current.folder->id, current.row);
    if (draft_) {
        const bool sameItem =
            origin == std::make_pair(draft_->folderId(), draft_->row()) && draft_->cameFrom(*current.item);
        // Nothing selected in the draft's own folder (a click beside the items, the folder
        // arranged): there is nothing else to show, so the draft stays, unless it is
        // unchanged and its item has gone.
        const bool nothingElse = !current.item && current.folder && current.folder->id == draft_->folderId() &&
                                 (draft_->changed() || draft_->rowIn(*current.folder));
        const std::pair<int, long> at(current.folder ? current.folder->id : -1,
                                      current.item ? long(current.row) : -1);
        if (sameItem)
            draftKeptAt_.reset();
        if (sameItem || nothingElse || draftKeptAt_ == at) {
            updateAnimationCommands();
            return;
        }
        if (!letDraftGo()) {
            draftKeptAt_ = at;
            updateAnimationCommands();
            return;
        }
        draft_.reset();
        draftKeptAt_.reset();
        // The question may have let the selection move on: the pane follows it as it is now.
        followWithAnimationPane(currentItem());
        return;
    }
    const bool stillCleared = cleared_ && origin && cleared_->folderId() == origin->first &&
                              cleared_->cameFrom(*current.item);
    if (!stillCleared)
        cleared_.reset();
    if (origin && !stillCleared)
        draft_.emplace(origin->first, origin->second, *current.item);
    showDraft();
}

bool CMainFrame::letDraftGo()
{
    if (!draft_ || !draft_->changed())
        return true;
    askingAboutDraft_ = true;
    const bool letGo = !orka::ui::askYesNo(this, kStrSaveFrameOrder) || saveDraft();
    askingAboutDraft_ = false;
    return letGo;
}

bool CMainFrame::saveDraft()
{
    const int folderId = draft_->folderId();
    FolderNode* folder = doc_.findFolder(folderId);
    // The item as it was and its row, until its folder file has the new order.
    std::optional<std::pair<std::size_t, GalleryItem>> before;
    try {
        // The handset folder lists what the handset holds; it changes only on the handset.
        if (folder && !folder->stored())
            throw GalleryRefusal(kStrReadOnlyFolder);
        const auto row = folder ? draft_->rowIn(*folder) : std::nullopt;
        if (!row)
            throw GalleryRefusal(kStrDraftItemGone);
        before.emplace(*row, folder->items[*row]);
        const GalleryItem& stored = doc_.replaceItemContent(folderId, *row, draft_->item().content);
        doc_.saveFolder(folderId);
        draft_->saved(*row, stored);
    } catch (const std::exception& e) {
        // The window never shows an order that is not on disk; the draft keeps it.
        if (before) {
            folder->items[before->first] = std::move(before->second);
            refreshFolder(folderId);
        }
        orka::ui::showFailure(this, e);
        return false;
    }
    refreshFolder(folderId);
    orka::ui::showMessage(this, kStrFileSaved);
    return true;
}

void CMainFrame::clearAnimationPane()
{
    if (!draft_ || !letDraftGo())
        return;
    cleared_ = std::move(draft_);
    draft_.reset();
    draftKeptAt_.reset();
    showDraft();
}

void CMainFrame::showDraft()
{
    animationPane_->frames()->showFrames(draft_ ? draft_->frames() : std::vector<AnimationFrame>{});
    updateAnimationCommands();
}

void CMainFrame::updateAnimationCommands()
{
    const int row = animationPane_->frames()->currentRow();
    const int count = animationPane_->frames()->count();
    const bool shown = draft_.has_value();
    commandAction(cmd::kFrameLeft)->setEnabled(shown && row > 0);
    commandAction(cmd::kFrameRight)->setEnabled(shown && row >= 0 && row + 1 < count);
    commandAction(cmd::kAnimationSave)->setEnabled(shown && draft_->changed());
    for (unsigned id : {cmd::kShrinkEnlarge, cmd::kAnimationUpload, cmd::kAnimationSaveAs, cmd::kAnimationClearAll})
        commandAction(id)->setEnabled(shown);
}

void CMainFrame::moveFrame(int step)
{
    const int from = animationPane_->frames()->currentRow();
    if (!draft_ || from < 0 || !draft_->moveFrame(std::size_t(from), step))
        return;
    showDraft();
    animationPane_->frames()->setCurrentRow(from + step);
    showPreview();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // The user's frame order is never lost silently: unsaved, it is asked about first.
    if (!letDraftGo()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

// --- dialogs and help ---

void CMainFrame::bindDialogs()
{
    actions_->bind(cmd::kPreferences, [this] {
        PreferencesDlg dialog(settings_.preferences, settings_.ringTone, this);
        dialog.exec();
    });
    actions_->bind(cmd::kConnection, [this] {
        transfer::ui::ConnectionDlg dialog(settings_.preferences, this);
        dialog.exec();
    });
    actions_->bind(cmd::kPimTransfer, [this] {
        // The dialog keeps a plain word; the application's word is atomic.
        std::uint32_t loaded = app_.flags() & kPimLoadedFlags;
        pim::ui::PimTransferDlg dialog({pimLists_, settings_.preferences, loaded}, this);
        dialog.exec();
        app_.clearFlags(kPimLoadedFlags & ~loaded);
        app_.setFlags(loaded & kPimLoadedFlags);
    });
    actions_->bind(cmd::kWizard, [this] { runStartupWizard(); });
    actions_->bind(cmd::kHelpTopics, [this] { orka::ui::HelpViewer::showHelp(this, kHelpContents); });

    // F1 asks for the help of the part that has the focus, or of the menu that is open.
    auto* contextHelp = new QAction(orka::ui::uiText(kStrContextHelp), this);
    contextHelp->setShortcut(QKeySequence::HelpContents);
    contextHelp->setShortcutContext(Qt::WindowShortcut);
    connect(contextHelp, &QAction::triggered, this, &CMainFrame::showContextHelp);
    addAction(contextHelp);
    for (QAction* menu : menuBar()->actions())
        if (menu->menu())
            menu->menu()->installEventFilter(this);
}

void CMainFrame::runStartupWizard()
{
    const WizardEnd end = runWizard(app_, doc_, this);
    // The wizard may have made folders and items.
    rebuildTree();
    if (const auto shown = shownFolderId())
        refreshFolder(*shown);
    if (end == WizardEnd::EndProgram)
        close();
}

unsigned CMainFrame::helpTopicOf(const QWidget* widget) const
{
    const QList<QAction*> menus = menuBar()->actions();
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        for (qsizetype i = 0; i < menus.size(); ++i)
            if (menus[i]->menu() == w)
                return kHelpFirstMenu + unsigned(i);
        if (w == toolBar_)
            return kHelpGeneralToolBar;
        if (w == animationPane_->toolBar())
            return kHelpAnimationToolBar;
        if (w == navigationBar_)
            return kHelpNavigationBar;
        if (w == statusBar())
            return kHelpStatusBar;
        if (w == tree_)
            return kHelpNavigationPane;
        if (w == dataPane_)
            return kHelpDataPane;
        if (w == preview_)
            return kHelpPreviewPane;
        if (w == animationPane_)
            return kHelpAnimationPane;
    }
    return kHelpContents;
}

void CMainFrame::showContextHelp()
{
    orka::ui::HelpViewer::showHelp(this, helpTopicOf(QApplication::focusWidget()));
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->matches(QKeySequence::HelpContents)) {
        auto* menu = qobject_cast<QMenu*>(watched);
        const unsigned topic = helpTopicOf(menu);
        if (menu)
            menu->close();
        orka::ui::HelpViewer::showHelp(this, topic);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- menus and boxes ---

void CMainFrame::showDataMenu(QPoint globalPos, bool onItem)
{
    QMenu* menu = actions_->makeContextMenu(onItem ? ContextMenu::Edit : ContextMenu::View, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

void CMainFrame::showAbout()
{
    AboutDlg about(this);
    about.exec();
}

} // namespace orka::app::ui
