#pragma once
// The main window: the navigation tree, the data pane (thumbnails or list), the animation
// pane and the preview pane in their splitters, the general tool bar, the navigation bar and
// the status bar, and the commands of the menus. Which bars and panes show, and the data
// pane's mode, live in the UI Info block of the settings, which the program saves at exit.
#include "orka/app/ItemTexts.h"
#include "orka/app/AnimationDraft.h"
#include "orka/app/Settings.h"
#include "orka/app/ui/GalleryItemModel.h"

#include "orka/app/ui/PreferencesDlg.h"
#include "orka/pim/PimLists.h"

#include <QMainWindow>

#include <optional>
#include <vector>

class QCloseEvent;
class QLabel;
class QToolBar;

namespace orka::app {
class COrkaApp;
class COrkaDoc;
}

namespace orka::app::ui {

class CommandActions;
class ItemCommands;
class LockKeyPanes;
class COrkaFrame;
class COrkaFrame2;
class COrkaSplitter;
class COrkaSplitter2;
class COrkaTreeView;
class COrkaView;
class NavigationBar;

// The folder the window shows when it opens: the wallpaper samples.
inline constexpr int kFirstShownFolder = 20000 + kSamplesSlot;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // The window works on the application object's settings, which its exit saves.
    CMainFrame(COrkaApp& app, COrkaDoc& doc, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Shows the window as the options say: on top of the others (option bit 19), maximised
    // in management mode when the full-screen option (bit 18) is set.
    void showAsOptionsSay();
    // A later copy of the program asked this one to come forward.
    void bringToFront();
    // The start-up wizard over the window (command 32909, and at start unless the program
    // last ended in management mode); when the user ends the program there, the window
    // closes.
    void runStartupWizard();

    // The help topic of a pane or bar (5000-5007), of a menu (5008-5012); 0 for none.
    unsigned helpTopicOf(const QWidget* widget) const;

    QAction* commandAction(unsigned id) const;
    CommandActions& commands() const { return *actions_; }
    ItemCommands& itemCommands() const { return *items_; }

    // Selects a node of the navigation tree: a folder is opened and shown.
    void showNode(int id);
    // The folder the data pane shows; nullopt when a category or the root is selected.
    std::optional<int> shownFolderId() const;
    std::vector<unsigned> selectedItems() const;
    void selectItems(const std::vector<unsigned>& rows);

    // 0 thumbnails, 1 list: UI Info words 1 and 2.
    void setViewMode(std::uint32_t mode);
    // Shows or hides a bar or pane by its UI Info bar flag.
    void setBarShown(std::uint32_t barFlag, bool shown);
    void arrange(ArrangeOrder order);

    // The animation the animation pane arranges; nullptr when the pane is empty.
    const AnimationDraft* animationDraft() const { return draft_ ? &*draft_ : nullptr; }

    // Copies (or, with move, moves) rows of one folder into another of the same category and
    // saves both folders; false when the document refused (the reason is shown).
    bool transferItems(int fromFolderId, const std::vector<unsigned>& rows, int toFolderId, bool move);

    COrkaTreeView* tree() const { return tree_; }
    COrkaFrame* dataPane() const { return dataPane_; }
    COrkaFrame2* animationPane() const { return animationPane_; }
    COrkaView* preview() const { return preview_; }
    NavigationBar* navigationBar() const { return navigationBar_; }
    LockKeyPanes* lockKeyPanes() const { return lockKeys_; }
    QToolBar* generalToolBar() const { return toolBar_; }
    COrkaSplitter* splitterA() const { return splitterA_; }
    COrkaSplitter2* splitterB() const { return splitterB_; }
    GalleryItemModel* itemModel() const { return model_; }

Q_SIGNALS:
    // The items of a folder changed (added, removed, renamed or reordered).
    void folderChanged(int folderId);

private:
    void buildPanes();
    void buildBars();
    void bindCommands();
    void bindItemCommands();
    // The document's folders changed: the tree and the navigation bar are made anew and the
    // shown folder stays shown while it exists.
    void rebuildTree();
    // The folder a command on "the selected folder" works on: the shown folder, or for a
    // category the category's id.
    int selectedNodeId() const;
    std::vector<std::size_t> selectedIndexes() const;
    void applyBars();
    void onNodeSelected(int id);
    void onCurrentItemChanged();
    void toggleBar(std::uint32_t barFlag);
    void copyToClipboard(bool cut);
    void pasteFromClipboard();
    void refreshFolder(int folderId);
    void updateCommandStates();
    void moveFocus(int step);
    void showDataMenu(QPoint globalPos, bool onItem);
    // The animation pane's commands on the draft shown in its strip.
    void bindAnimationCommands();
    // The dialogs of the tools and help menus.
    void bindDialogs();
    void showContextHelp();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    // The item the data pane's selection leads with, and where it is.
    struct CurrentItem {
        const FolderNode* folder = nullptr;
        std::size_t row = 0;
        const GalleryItem* item = nullptr;
    };
    CurrentItem currentItem() const;
    // The animation pane takes a draft of the selected animation, once the draft it has may
    // give way.
    void followWithAnimationPane(const CurrentItem& current);
    // Whether the draft may go: it has no unsaved changes, or the user let them go or saved
    // them.
    bool letDraftGo();
    // Writes the draft back into its item and saves the folder; false when refused or failed
    // (the reason is shown and the draft stays).
    bool saveDraft();
    void clearAnimationPane();
    void showDraft();
    // The preview pane shows the selected item, or its draft when the pane arranges it.
    void showPreview();
    void updateAnimationCommands();
    void moveFrame(int step);
    void showAbout();

    COrkaApp& app_;
    AppSettings& settings_;
    COrkaDoc& doc_;
    CommandActions* actions_;
    ItemCommands* items_;
    GalleryItemModel* model_;
    COrkaSplitter* splitterA_ = nullptr;
    COrkaSplitter2* splitterB_ = nullptr;
    COrkaTreeView* tree_ = nullptr;
    COrkaFrame* dataPane_ = nullptr;
    COrkaFrame2* animationPane_ = nullptr;
    COrkaView* preview_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    NavigationBar* navigationBar_ = nullptr;
    LockKeyPanes* lockKeys_ = nullptr;
    // What the last copy or cut took, as it was then: a cut removes only items still equal
    // to these, so a folder changed meanwhile never loses another item.
    struct ClipboardItems {
        int folderId = 0;
        std::vector<unsigned> rows;
        std::vector<GalleryItem> items;
        bool cut = false;
    };
    std::optional<ClipboardItems> clipboard_;
    // The program's PIM lists, for this run.
    pim::PimLists pimLists_;
    // The animation pane's working copy, and the item whose draft the user cleared away (the
    // pane stays empty until another animation is selected).
    std::optional<AnimationDraft> draft_;
    std::optional<AnimationDraft> cleared_;
    // A question about the draft is open; what the selection does meanwhile waits for it.
    bool askingAboutDraft_ = false;
    // The selection (folder, row or -1) for which the user kept the draft after being asked,
    // so that the same selection is not asked about twice.
    std::optional<std::pair<int, long>> draftKeptAt_;
};

} // namespace orka::app::ui
