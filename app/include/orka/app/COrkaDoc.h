#pragma once
// The single document: the handset model at the root, the five media categories, their
// folders and items, kept on disk as ".orka" container files in the gallery folder.
#include "orka/app/GalleryModel.h"
#include "orka/app/ItemTexts.h"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace orka::app {

inline constexpr unsigned kStrReadOnlyFolder = 4027;   // "這是一個唯讀的資料夾"
inline constexpr unsigned kStrWriteFailed = 61108;     // "寫入檔案"%s"失敗"
inline constexpr unsigned kStrFolderExists = 65040;
inline constexpr unsigned kStrOutOfMemory = 65066;     // "記憶體不足。"
inline constexpr unsigned kStrOutOfMemoryDetail = 65067; // its second line, the same words

// A change the document refuses; messageId names the text, argument fills its %s.
class GalleryRefusal : public std::runtime_error {
public:
    explicit GalleryRefusal(unsigned messageId, std::string argument = {}, unsigned secondId = 0);
    unsigned messageId() const { return messageId_; }
    const std::string& argument() const { return argument_; }

private:
    unsigned messageId_;
    std::string argument_;
};

// Whether a folder of this kind keeps items of this content (a handset folder keeps any).
bool contentFits(FolderKind kind, const ItemContent& content);

// share/orka/samples beside the program's bin folder, where the build and the installation
// put the samples folders' files.
std::filesystem::path shippedSamplesDir();

class COrkaDoc {
public:
    // The gallery lives in StatePaths' gallery folder; the samples come from the folder the
    // program ships them in (shippedSamplesDir).
    COrkaDoc();
    // A gallery in galleryDir; samplesDir, when not empty, holds the samples folders' files
    // that a gallery without them receives, read-only.
    explicit COrkaDoc(std::filesystem::path galleryDir, std::filesystem::path samplesDir = {});
    ~COrkaDoc();
    COrkaDoc(const COrkaDoc&) = delete;
    COrkaDoc& operator=(const COrkaDoc&) = delete;

    // Builds the fixed tree, adds the user folders the tree file lists and reads the items
    // of the first folder shown (firstShown, when given).
    void build(std::optional<int> firstShown = std::nullopt);

    const RootNode& root() const { return root_; }
    CategoryNode* findCategory(int categoryId) const;
    FolderNode* findFolder(int folderId) const;
    const std::filesystem::path& galleryDir() const { return dir_; }
    std::filesystem::path treeFilePath() const;
    std::filesystem::path folderFilePath(int folderId) const;

    // A user folder; refused for a bad or duplicate name (GalleryRefusal) or an id that is
    // taken or not a user folder of that category.
    FolderNode& addLocalFolder(int categoryId, int folderId, const std::string& name);
    // The lowest user-folder id of the category that no folder has.
    int freeFolderId(int categoryId) const;

    // Opens a folder for showing: a stored folder reads its file the first time. A file too
    // large for memory is refused with 65066 and 65067 and the folder stays unread.
    FolderNode& openFolder(int folderId);
    void loadFolderItems(FolderNode& folder);

    // Changes to a folder's items; a read-only folder refuses with 4027, a bad name with
    // its message. The folder file is written by saveFolder.
    GalleryItem& addItem(int folderId, GalleryItem item);
    void removeItem(int folderId, std::size_t index);
    void renameItem(int folderId, std::size_t index, const std::string& name);
    // An edit's result takes the item's place: its name and handset number stay, its stamp
    // and date text become now. Content the folder cannot hold is refused as addItem does.
    GalleryItem& replaceItemContent(int folderId, std::size_t index, ItemContent content);
    void arrange(int folderId, ArrangeOrder order);

    // Writes the folder file through a temporary file (never for handset folders, read-only
    // folders or folders whose file was never read). Raises GalleryRefusal(61108) when the
    // file cannot be written; the old file then stays as it was.
    void saveFolder(int folderId);
    void saveTree();

    void setShownFolder(std::optional<int> folderId) { shown_ = folderId; }
    void setPendingEditFolder(std::optional<int> folderId) { pendingEdit_ = folderId; }
    // Writes the tree file, the saved-menus folder, the shown folder and the folder of a
    // pending edit, then lets the tree go. Every write is tried; the first failure is raised
    // after the others.
    void close();

private:
    void installSamples(const FolderNode& samples) const;
    void readTreeFile();
    void markReadOnly(FolderNode& folder) const;
    FolderNode& changeableFolder(int folderId);

    std::filesystem::path dir_;
    std::filesystem::path samplesDir_;
    RootNode root_;
    std::optional<int> shown_;
    std::optional<int> pendingEdit_;
};

} // namespace orka::app
