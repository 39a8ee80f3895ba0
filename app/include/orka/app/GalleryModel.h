#pragma once
// The gallery's fixed shape: the category table, the id rules of categories and folders,
// and the nodes and items the document owns.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace orka::app {

inline constexpr int kRootId = 0;
inline constexpr int kCategoryStep = 10000;
inline constexpr int kHandsetSlot = 1;   // k = 1: the handset folder (saved menus in 30000)
inline constexpr int kSamplesSlot = 2;   // k = 2: the samples folder
inline constexpr int kFirstUserSlot = 3; // k >= 3: folders of the user
inline constexpr int kMainMenuCategory = 30000;
inline constexpr int kSavedMenusFolder = kMainMenuCategory + kHandsetSlot;

enum class FolderKind : int { Root = 0, Picture = 1, Animation = 2, Melody = 3, Handset = 4, SavedMenus = 5 };

// String ids of the tree's names.
inline constexpr unsigned kStrRootName = 65012;
inline constexpr unsigned kStrHandsetFolder = 65042;
inline constexpr unsigned kStrSamplesFolder = 65043;
inline constexpr unsigned kStrSavedMenus = 65185;

struct CategoryRow {
    int id;
    unsigned nameId;
    FolderKind kind;
    int widthLimit;  // 0: no limit
    int heightLimit;
    int sizeLimitKb;
};

// Row 0 is the root; rows 1 to 5 the media categories in the order the tree shows them.
inline constexpr std::array<CategoryRow, 6> kCategoryTable = {{
    {0, kStrRootName, FolderKind::Root, 0, 0, 0},
    {20000, 65045, FolderKind::Picture, 128, 124, 0},
    {30000, 65046, FolderKind::Picture, 128, 84, 0},
    {40000, 65047, FolderKind::Picture, 45, 55, 0},
    {50000, 65048, FolderKind::Animation, 128, 160, 0},
    {70000, 65050, FolderKind::Melody, 0, 0, 9},
}};

constexpr int slotOf(int id) { return id % kCategoryStep; }
constexpr bool isHandsetSlotFolder(int id) { return slotOf(id) == kHandsetSlot; }
constexpr bool isSamplesFolder(int id) { return slotOf(id) == kSamplesSlot; }
constexpr bool isLocalFolder(int id) { return slotOf(id) != 0 && slotOf(id) != kHandsetSlot; }
constexpr int categoryOf(int id) { return id / kCategoryStep * kCategoryStep; }
constexpr bool sameCategory(int a, int b) { return a / kCategoryStep == b / kCategoryStep; }
// The handset's store type of a media category or of one of its folders.
constexpr int storeTypeOf(int id) { return id / kCategoryStep; }
// The row of a category id; nullptr when it names none.
const CategoryRow* findCategoryRow(int categoryId);

// A Windows FILETIME: 100 ns steps since 1601-01-01 UTC, kept as its two halves.
struct FileTime {
    std::uint32_t low = 0;
    std::uint32_t high = 0;

    std::uint64_t value() const { return (std::uint64_t{high} << 32) | low; }
    static FileTime fromValue(std::uint64_t v) { return {std::uint32_t(v), std::uint32_t(v >> 32)}; }
    static FileTime fromUnixSeconds(std::int64_t seconds);
    std::int64_t unixSeconds() const;
    static FileTime now();
    friend bool operator==(const FileTime&, const FileTime&) = default;
};

// A 24-bit bitmap as items keep it: (width + padding) x height pixels of blue, green, red.
struct Bitmap {
    std::uint8_t width = 0;
    std::uint8_t height = 0;
    std::uint8_t padding = 0;
    std::vector<std::uint8_t> pixels;

    static std::size_t bytesFor(unsigned width, unsigned height, unsigned padding)
    {
        return std::size_t(width + padding) * height * 3;
    }
    friend bool operator==(const Bitmap&, const Bitmap&) = default;
};

struct AnimationFrame {
    std::uint8_t value = 0; // display time of the frame
    Bitmap bitmap;
    friend bool operator==(const AnimationFrame&, const AnimationFrame&) = default;
};

struct PictureContent {
    Bitmap bitmap;
    friend bool operator==(const PictureContent&, const PictureContent&) = default;
};
struct AnimationContent {
    std::vector<AnimationFrame> frames;
    friend bool operator==(const AnimationContent&, const AnimationContent&) = default;
};
struct MelodyContent {
    static constexpr std::uint8_t kMidi = 0;
    static constexpr std::uint8_t kSmaf = 1;
    std::uint8_t format = kMidi; // 0 a Standard MIDI File, anything else SMAF
    std::vector<std::uint8_t> data;
    bool isSmaf() const { return format != kMidi; }
    friend bool operator==(const MelodyContent&, const MelodyContent&) = default;
};

using ItemContent = std::variant<PictureContent, AnimationContent, MelodyContent>;

struct GalleryItem {
    std::string name;           // UTF-8, without extension
    std::int32_t handsetNumber = -1;
    std::string dateText;
    FileTime stamp;
    ItemContent content;

    // A new item stamped now, its date text made from the stamp.
    static GalleryItem make(std::string name, ItemContent content);
    // Bytes of the picture, of all frames, or of the tune: what the size column shows.
    std::size_t sizeBytes() const;
    friend bool operator==(const GalleryItem&, const GalleryItem&) = default;
};

struct FolderNode {
    std::string name;
    int id = 0;
    FolderKind kind = FolderKind::Picture;
    int widthLimit = 0;
    int heightLimit = 0;
    std::vector<unsigned> viewData;
    std::vector<GalleryItem> items;
    bool readOnly = false;   // its folder file has no write permission
    bool loaded = false;     // its folder file has been read (or it was made empty)

    bool stored() const { return kind != FolderKind::Handset; }
};

struct CategoryNode {
    std::string name;
    int id = 0;
    FolderKind kind = FolderKind::Picture;
    int widthLimit = 0;
    int heightLimit = 0;
    int sizeLimitKb = 0;
    std::vector<unsigned> viewData;
    // The k = 1 folder stays last; folders added later go just before it.
    std::vector<std::unique_ptr<FolderNode>> folders;

    FolderNode& insertFolder(std::unique_ptr<FolderNode> folder);
    FolderNode* findFolder(int id) const;
};

struct RootNode {
    std::string name;
    int id = kRootId;
    std::vector<std::unique_ptr<CategoryNode>> categories;
};

} // namespace orka::app
