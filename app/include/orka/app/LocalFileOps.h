#pragma once
// What the user does with local folders and items, without windows: the name rules, new,
// renamed and deleted folders, renamed items, files that become items, items that become
// files, and the two outside packages (main-menu ".pak" and Java MIDlet ".jad" + ".jar").
// Refusals are GalleryRefusal (or the picture codecs' PictureError) with the message id.
#include "orka/app/COrkaDoc.h"
#include "orka/picture/MenuPackage.h"
#include "orka/picture/PictureFile.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orka::app {

inline constexpr unsigned kStrNewFolderName = 65039;      // "新資料夾"
inline constexpr unsigned kStrNameCharacters = 65184;     // "字串不可以包含下列字元:\/:*?"<>|"
inline constexpr unsigned kStrNeedFileName = 65154;       // "您必須輸入檔名。"
inline constexpr unsigned kStrFileNameTaken = 65155;      // "你指定的名稱 "%s"已經存在。..."
inline constexpr unsigned kStrOnlyOneFile = 65152;        // "失敗!您只可以選擇單一檔案。"
inline constexpr unsigned kStrBadFileFormat = 65181;      // "檔案格式無效"
inline constexpr unsigned kStrOpenFileFailed = 65075;     // "開啟檔案" %s"失敗"
inline constexpr unsigned kStrTuneTooLarge = 65072;       // "匯入失敗! "%s"檔案大小超過9kb。"

// The longest path (directory and name) a file name may make.
inline constexpr std::size_t kMaxPathCharacters = 260;
inline constexpr std::uintmax_t kMaxDescriptorBytes = 1024;
inline constexpr std::uintmax_t kMaxArchiveBytes = 204800;

// --- names ---

// The name validation of typed names that become file names: leading blanks are dropped;
// then empty or starting with "." is 46032, more than 260 characters (or, with a directory,
// directory and name together) is 46031, a forbidden character or one of `extra` is 46030.
// Returns the name without its leading blanks.
std::string validateName(std::string_view name, const std::filesystem::path& directory = {},
                         std::string_view extraForbidden = {});

// A file name that stays inside the folder it is written to, whatever an item name holds
// (names come from the handset and from old container files): forbidden and control
// characters become "_", leading and trailing blanks and dots go, a name left empty
// becomes "_", and the result is cut at a whole character to leave room for `extension`
// within one file-name component.
std::string safeExportName(std::string_view itemName, std::string_view extension);

// --- folders ---

// Only user folders (k >= 3) can be deleted or renamed; the samples and handset folders not.
bool isUserFolder(int folderId);
// A new user folder named "新資料夾" in the category, listed in the tree file; 65040 when the
// category has a folder of that name already.
FolderNode& addNewFolder(COrkaDoc& doc, int categoryId);
// Renames a user folder in place: 65184 for a forbidden character, 65040 when another
// folder of the category has the name (byte for byte), 4027 for a read-only folder. Its
// items are written under the new name before the old file goes, so nothing is lost.
void renameFolder(COrkaDoc& doc, int folderId, const std::string& newName);
// Removes a user folder with its items and its container file; 4027 for a read-only one.
void deleteFolder(COrkaDoc& doc, int folderId);

// --- items ---

// Renames an item in place (65184 for a forbidden character) and writes its folder.
void renameItem(COrkaDoc& doc, int folderId, std::size_t index, const std::string& newName);
// Removes the items at the indexes (any order, repeats ignored) and writes the folder.
void removeItems(COrkaDoc& doc, int folderId, std::vector<std::size_t> indexes);

// --- import ---

// The open dialog's filter of a category (the main menu's includes "PAK(*.pak)|*.pak").
std::string importFilter(int categoryId);
bool isMenuPackageFile(const std::filesystem::path& file);
// The files chosen for an import: a package must come alone (65152); any extension the
// category does not take is 65181.
void checkImportSelection(int categoryId, const std::vector<std::filesystem::path>& files);
// The item name a file brings: its title made plain, without characters the container
// files cannot hold, and short enough for their name field.
std::string itemNameFromFile(const std::filesystem::path& file);
// A main-menu package ready for the upload of a set: its 81 pictures as they are.
MenuPackage readPackageForUpload(const std::filesystem::path& file);

// --- export ---

// The kinds an item can be written as. Pictures take any of the three, animations GIF,
// melodies their own format.
enum class ExportType { Bmp, Jpeg, Gif, OwnFormat };
std::vector<ExportType> exportTypesOf(FolderKind kind);

struct ExportFile {
    std::size_t index;          // of the item in its folder
    std::filesystem::path path; // inside the target directory
};
// Where each item goes, checked whole before anything is written: every item needs a name
// (65154) and no two may end in the same file (65155 with the name).
std::vector<ExportFile> planExport(const FolderNode& folder, const std::vector<std::size_t>& indexes,
                                   const std::filesystem::path& directory, ExportType type);
// Writes one item as planned (pictures through the picture codecs, tunes as they are).
void writeExportFile(const GalleryItem& item, const std::filesystem::path& file, ExportType type);

// A new, empty folder under `mailRoot` for the attachments of one e-mail. A mail program may
// read its attachments long after it was started, so they stay; folders of earlier e-mails
// older than `keep` are removed here. Raises GalleryRefusal(61108) when no folder can be made.
std::filesystem::path makeMailFolder(const std::filesystem::path& mailRoot,
                                     std::chrono::hours keep = std::chrono::hours(24));

// --- Java MIDlets ---

struct Midlet {
    std::vector<std::uint8_t> descriptor; // the ".jad" text
    std::vector<std::uint8_t> archive;    // the ".jar" beside it
};
// Reads a descriptor and the archive of the same title beside it: the extension must be
// "jad" in any case, the descriptor at most 1024 bytes with a "MIDlet-Name" line, the
// archive at most 204800 bytes (65181 otherwise); an archive that cannot be opened is 65075.
Midlet readMidlet(const std::filesystem::path& descriptor);

} // namespace orka::app
