#pragma once
// The commands the main window runs on local folders and items and on the handset's
// gallery: rename, new and delete folder, delete items, import, export to files or by
// e-mail, MIDlet import, and the download, upload and preview jobs. Each method asks the
// user what it needs through orka::ui's prompts, shows its own refusals and failures, and
// returns true when it changed or sent something.
#include <QObject>
#include <QString>

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

class QWidget;

namespace orka::app {
class COrkaApp;
class COrkaDoc;
struct FolderNode;
struct GalleryItem;
} // namespace orka::app

namespace orka::transfer {
class CTransferDlg;
} // namespace orka::transfer

namespace orka::app::ui {

// Command ids of the main window's menus and toolbars that these methods carry out.
inline constexpr int kCmdImport = 32771;
inline constexpr int kCmdDeleteItems = 32773;
inline constexpr int kCmdRenameItem = 32774;
inline constexpr int kCmdPreviewOnHandset = 32794;
inline constexpr int kCmdExportFiles = 32795;
inline constexpr int kCmdExportMail = 32796;
inline constexpr int kCmdDownload = 32936;
inline constexpr int kCmdNewFolder = 32937;
inline constexpr int kCmdDeleteFolder = 32938;
inline constexpr int kCmdRenameFolder = 32939;
inline constexpr int kCmdUpload = 32941;
inline constexpr int kCmdImportMidlet = 32962;

class ItemCommands : public QObject {
    Q_OBJECT

public:
    // window is the parent of every prompt and dialog and the commands' QObject parent (it
    // deletes them with itself); the app gives the option words and the port.
    ItemCommands(COrkaApp& app, COrkaDoc& doc, QWidget* window);
    ~ItemCommands() override;

    // In-place renames; a refused name leaves the old one and shows why.
    bool renameItem(int folderId, std::size_t index, const QString& newName);
    bool renameFolder(int folderId, const QString& newName);
    // A user folder named "新資料夾" in the category; its id, or nullopt when refused.
    std::optional<int> newFolder(int categoryId);
    // Only user folders can be deleted or renamed; the samples and handset folders are not
    // offered.
    bool canDeleteFolder(int folderId) const;
    bool canRenameFolder(int folderId) const { return canDeleteFolder(folderId); }
    bool deleteFolder(int folderId);
    // Deletes the items at the indexes, with the confirmations the preferences ask for; in
    // the handset folder also on the handset when the user agrees.
    bool deleteItems(int folderId, std::vector<std::size_t> indexes);
    // Files chosen by the user go through their editing pages (capture and edit a picture,
    // capture an animation's frames, make a ring tone of a MIDI tune) and become items of the
    // folder; a user who leaves the pages of any file keeps nothing of the import. In the
    // main-menu category a ".pak" package goes to the handset as one set instead.
    bool importInto(int folderId);
    // Whether the item can be edited in place: a picture, animation, main-menu set or MIDI
    // tune of a stored folder that takes changes.
    bool canEditItem(int folderId, std::size_t index) const;
    // The item goes through its editing pages and the result takes its place, keeping its
    // name; 4027 for a read-only folder.
    bool editItem(int folderId, std::size_t index);
    bool exportItems(int folderId, const std::vector<std::size_t>& indexes);
    bool mailItems(int folderId, const std::vector<std::size_t>& indexes);
    // A ".jad" descriptor with its ".jar" beside it, uploaded as a Java MIDlet.
    bool importMidlet();
    // The handset's items of the folder's category fill the handset folder.
    bool download(int folderId);
    bool upload(int folderId, const std::vector<std::size_t>& indexes);
    bool previewOnHandset(int folderId, std::size_t index);
    // One item as the caller has it rather than as the folder keeps it (the animation pane's
    // rearranged frames), sent or written as an item of that folder would be.
    bool uploadItem(int folderId, const GalleryItem& item);
    bool exportItem(int folderId, const GalleryItem& item);

Q_SIGNALS:
    // The items of a folder changed (added, removed, renamed).
    void folderChanged(int folderId);
    // Folders were added, removed or renamed.
    void treeChanged();

private:
    // Runs `work`, showing what a refusal or failure says; false when it threw.
    bool attempt(const std::function<void()>& work) const;
    // The folder with its items read; shows 4027 and gives nullptr for a read-only one when
    // `changing`.
    FolderNode* folderFor(int folderId, bool changing) const;
    // The handset's side of deleting items of the handset folder; false when the user or
    // the job stopped it.
    bool deleteOnHandset(const FolderNode& folder, const std::vector<std::size_t>& indexes);
    // Runs the job in the transfer dialog on the port of the settings; true when it succeeded.
    bool runJob(transfer::CTransferDlg& job);
    // A main-menu package goes to the handset as one set.
    bool uploadPackage(const QString& file);
    // Asks for the type and the folder, then writes the folder's items at the indexes.
    bool exportFrom(const FolderNode& folder, const std::vector<std::size_t>& indexes);

    COrkaApp& app_;
    COrkaDoc& doc_;
    QWidget* window_;
    QString exportFolder_; // where the last export went, offered again
};

} // namespace orka::app::ui
