#pragma once
// The ".orka" containers: the tree file that lists the user folders of every category and
// the folder files that hold a folder's items. Every number is big-endian; names travel in
// the ANSI code page as a length byte n, the n bytes and n zero bytes.
#include "orka/app/GalleryModel.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orka::app {

inline constexpr std::uint8_t kFormatMark = 0x0A;
inline constexpr std::size_t kMaxNameBytes = 255;
inline constexpr std::uint32_t kMaxMelodyBytes = 0xFFFFFF;   // the 3-byte length field
inline constexpr std::size_t kMaxItems = 0xFFFF;             // the 2-byte item count
inline constexpr char kOrkaExtension[] = ".orka";

struct TreeFolderEntry {
    std::string name;
    int id = 0;
    friend bool operator==(const TreeFolderEntry&, const TreeFolderEntry&) = default;
};
struct TreeCategoryEntry {
    std::string name;
    int id = 0;
    std::vector<TreeFolderEntry> folders;
    friend bool operator==(const TreeCategoryEntry&, const TreeCategoryEntry&) = default;
};
struct TreeContent {
    int rootId = kRootId;
    std::string rootName;
    std::vector<TreeCategoryEntry> categories;
    friend bool operator==(const TreeContent&, const TreeContent&) = default;
};

// What a folder file's header must say for the folder it is read into.
struct FolderHeader {
    std::string categoryName;
    int categoryId = 0;
    FolderKind categoryKind = FolderKind::Picture;
    int widthLimit = 0;
    int heightLimit = 0;
    std::string folderName;
    int folderId = 0;
    FolderKind folderKind = FolderKind::Picture; // how its items are laid out

    static FolderHeader of(const CategoryNode& category, const FolderNode& folder);
};

std::vector<std::uint8_t> encodeTree(const TreeContent& tree);
// Reads what is good and stops at the first field that runs past the end: the categories
// read whole up to there are returned. Nothing is returned when the root id differs.
TreeContent decodeTree(std::span<const std::uint8_t> bytes, int rootId = kRootId);

// The items of a folder file; at most kMaxItems are written.
std::vector<std::uint8_t> encodeFolder(const FolderHeader& header, const std::vector<GalleryItem>& items);
struct DecodedFolder {
    bool headerMatched = false;
    std::vector<GalleryItem> items; // every item read whole before the first bad field
};
DecodedFolder decodeFolder(std::span<const std::uint8_t> bytes, const FolderHeader& expected);

// Names to and from the ANSI code page. A name that cannot be written there comes out with
// '?' for each character outside ASCII; bytes that are not text come in the same way.
std::string nameToAnsi(const std::string& utf8);
std::string nameFromAnsi(const std::string& ansi);

} // namespace orka::app
