#include "orka/app/COrkaDoc.h"

#include "orka/StringTable.h"
#include "orka/app/GalleryNames.h"
#include "orka/app/MessageText.h"
#include "orka/app/OrkaFile.h"
#include "orka/platform/Library.h"
#include "orka/platform/StatePaths.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <span>

namespace orka::app {
namespace fs = std::filesystem;

namespace {

constexpr unsigned kStrBadArguments = 61100;   // "參數錯誤."
constexpr std::size_t kMaxFileNameBytes = 255; // one name in a Linux path

// A whole file in a buffer that is not zeroed first: folder files run to megabytes, and the
// read fills every byte anyway.
struct FileBytes {
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t size = 0;
    std::span<const std::uint8_t> bytes() const { return {data.get(), size}; }
};

std::optional<FileBytes> readWholeFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in)
        return std::nullopt;
    const auto size = in.tellg();
    if (size < 0)
        return std::nullopt;
    FileBytes f{std::unique_ptr<std::uint8_t[]>(new std::uint8_t[std::size_t(size)]), std::size_t(size)};
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(f.data.get()), size))
        return std::nullopt;
    return f;
}

bool bitmapWhole(const Bitmap& b) { return b.pixels.size() == Bitmap::bytesFor(b.width, b.height, b.padding); }

bool contentWhole(const ItemContent& content)
{
    if (const auto* p = std::get_if<PictureContent>(&content))
        return bitmapWhole(p->bitmap);
    if (const auto* a = std::get_if<AnimationContent>(&content)) {
        for (const auto& f : a->frames)
            if (!bitmapWhole(f.bitmap))
                return false;
        return a->frames.size() <= kMaxItems;
    }
    return std::get<MelodyContent>(content).data.size() <= kMaxMelodyBytes;
}

} // namespace

bool contentFits(FolderKind kind, const ItemContent& content)
{
    switch (kind) {
    case FolderKind::Picture:
        return std::holds_alternative<PictureContent>(content);
    case FolderKind::Animation:
    case FolderKind::SavedMenus:
        return std::holds_alternative<AnimationContent>(content);
    case FolderKind::Melody:
        return std::holds_alternative<MelodyContent>(content);
    case FolderKind::Handset:
        return true;
    case FolderKind::Root:
        break;
    }
    return false;
}

GalleryRefusal::GalleryRefusal(unsigned messageId, std::string argument, unsigned secondId)
    : std::runtime_error(messageText({messageId, secondId, {argument}})), messageId_(messageId),
      argument_(std::move(argument))
{
}

fs::path shippedSamplesDir()
{
    return (fs::path(platform::Library::executableDir()) / ".." / "share" / "orka" / "samples").lexically_normal();
}

COrkaDoc::COrkaDoc() : COrkaDoc(platform::StatePaths::galleryDir(), shippedSamplesDir()) {}

COrkaDoc::COrkaDoc(fs::path galleryDir, fs::path samplesDir)
    : dir_(std::move(galleryDir)), samplesDir_(std::move(samplesDir))
{
}

void COrkaDoc::installSamples(const FolderNode& samples) const
{
    if (samplesDir_.empty())
        return;
    const fs::path target = folderFilePath(samples.id);
    std::error_code ec;
    if (fs::exists(target, ec) || ec)
        return;
    const auto shipped = readWholeFile(samplesDir_ / target.filename());
    if (!shipped || !platform::writeFileAtomically(target, shipped->data.get(), shipped->size))
        return; // without its samples the folder is simply empty
    fs::permissions(target, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read, ec);
}

COrkaDoc::~COrkaDoc() = default;

void COrkaDoc::build(std::optional<int> firstShown)
{
    root_ = RootNode{};
    root_.name = loadString(kStrRootName);
    for (std::size_t row = 1; row < kCategoryTable.size(); ++row) {
        const CategoryRow& r = kCategoryTable[row];
        auto category = std::make_unique<CategoryNode>();
        category->name = loadString(r.nameId);
        category->id = r.id;
        category->kind = r.kind;
        category->widthLimit = r.widthLimit;
        category->heightLimit = r.heightLimit;
        category->sizeLimitKb = r.sizeLimitKb;

        auto slot = std::make_unique<FolderNode>();
        const bool savedMenus = r.id == kMainMenuCategory;
        slot->name = loadString(savedMenus ? kStrSavedMenus : kStrHandsetFolder);
        slot->id = r.id + kHandsetSlot;
        slot->kind = savedMenus ? FolderKind::SavedMenus : FolderKind::Handset;
        slot->widthLimit = r.widthLimit;
        slot->heightLimit = r.heightLimit;
        slot->loaded = slot->kind == FolderKind::Handset; // nothing on disk to read
        category->folders.push_back(std::move(slot));
        root_.categories.push_back(std::move(category));
    }
    for (const auto& category : root_.categories) {
        auto samples = std::make_unique<FolderNode>();
        samples->name = loadString(kStrSamplesFolder);
        samples->id = category->id + kSamplesSlot;
        samples->kind = category->kind;
        samples->widthLimit = category->widthLimit;
        samples->heightLimit = category->heightLimit;
        installSamples(category->insertFolder(std::move(samples)));
    }
    readTreeFile();
    for (const auto& category : root_.categories)
        for (const auto& folder : category->folders)
            markReadOnly(*folder);
    if (firstShown)
        openFolder(*firstShown);
}

void COrkaDoc::readTreeFile()
{
    const auto bytes = readWholeFile(treeFilePath());
    if (!bytes)
        return;
    const TreeContent tree = decodeTree(bytes->bytes(), root_.id);
    for (const auto& entry : tree.categories) {
        if (!findCategory(entry.id))
            continue;
        for (const auto& folder : entry.folders) {
            // A listed folder that could not be made (a name that would lead outside the
            // gallery folder, an id of another category or one already taken) is passed over.
            try {
                addLocalFolder(entry.id, folder.id, folder.name);
            } catch (const GalleryRefusal&) {
            }
        }
    }
}

CategoryNode* COrkaDoc::findCategory(int categoryId) const
{
    for (const auto& c : root_.categories)
        if (c->id == categoryId)
            return c.get();
    return nullptr;
}

FolderNode* COrkaDoc::findFolder(int folderId) const
{
    const CategoryNode* category = findCategory(categoryOf(folderId));
    return category ? category->findFolder(folderId) : nullptr;
}

fs::path COrkaDoc::treeFilePath() const { return dir_ / (root_.name + kOrkaExtension); }

fs::path COrkaDoc::folderFilePath(int folderId) const
{
    const CategoryNode* category = findCategory(categoryOf(folderId));
    const FolderNode* folder = category ? category->findFolder(folderId) : nullptr;
    if (!folder)
        throw GalleryRefusal(kStrBadArguments);
    return dir_ / (safeFileName(category->name) + "_" + folder->name + kOrkaExtension);
}

int COrkaDoc::freeFolderId(int categoryId) const
{
    const CategoryNode* category = findCategory(categoryId);
    if (!category)
        throw GalleryRefusal(kStrBadArguments);
    for (int k = kFirstUserSlot; k < kCategoryStep; ++k)
        if (!category->findFolder(categoryId + k))
            return categoryId + k;
    throw GalleryRefusal(kStrBadArguments);
}

FolderNode& COrkaDoc::addLocalFolder(int categoryId, int folderId, const std::string& name)
{
    CategoryNode* category = findCategory(categoryId);
    if (!category || categoryOf(folderId) != categoryId || slotOf(folderId) < kFirstUserSlot ||
        category->findFolder(folderId))
        throw GalleryRefusal(kStrBadArguments);
    if (auto refusal = nameRefusal(name))
        throw GalleryRefusal(*refusal);
    for (const auto& f : category->folders)
        if (f->name == name)
            throw GalleryRefusal(kStrFolderExists);
    if ((safeFileName(category->name) + "_" + name + kOrkaExtension).size() > kMaxFileNameBytes)
        throw GalleryRefusal(kStrLongName);

    auto folder = std::make_unique<FolderNode>();
    folder->name = name;
    folder->id = folderId;
    folder->kind = category->kind;
    folder->widthLimit = category->widthLimit;
    folder->heightLimit = category->heightLimit;
    FolderNode& added = category->insertFolder(std::move(folder));
    std::error_code ec;
    added.loaded = !fs::exists(folderFilePath(folderId), ec); // a file already there is read first
    markReadOnly(added);
    return added;
}

void COrkaDoc::markReadOnly(FolderNode& folder) const
{
    if (!folder.stored())
        return;
    std::error_code ec;
    const auto status = fs::status(folderFilePath(folder.id), ec);
    folder.readOnly = !ec && fs::exists(status) && (status.permissions() & fs::perms::owner_write) == fs::perms::none;
}

FolderNode& COrkaDoc::openFolder(int folderId)
{
    FolderNode* folder = findFolder(folderId);
    if (!folder)
        throw GalleryRefusal(kStrBadArguments);
    loadFolderItems(*folder);
    shown_ = folderId;
    return *folder;
}

void COrkaDoc::loadFolderItems(FolderNode& folder)
{
    if (!folder.stored() || folder.loaded || !folder.items.empty())
        return;
    const fs::path file = folderFilePath(folder.id);
    std::error_code ec;
    if (!fs::exists(file, ec)) {
        folder.loaded = !ec;
        return;
    }
    // A file that cannot be read stays unread, so that no save writes an empty folder over it.
    try {
        const auto bytes = readWholeFile(file);
        if (!bytes)
            return;
        const CategoryNode* category = findCategory(categoryOf(folder.id));
        folder.items = decodeFolder(bytes->bytes(), FolderHeader::of(*category, folder)).items;
    } catch (const std::bad_alloc&) {
        folder.items.clear();
        throw GalleryRefusal(kStrOutOfMemory, {}, kStrOutOfMemoryDetail);
    }
    folder.loaded = true;
    markReadOnly(folder);
}

FolderNode& COrkaDoc::changeableFolder(int folderId)
{
    FolderNode* folder = findFolder(folderId);
    if (!folder)
        throw GalleryRefusal(kStrBadArguments);
    loadFolderItems(*folder);
    if (folder->readOnly)
        throw GalleryRefusal(kStrReadOnlyFolder);
    return *folder;
}

GalleryItem& COrkaDoc::addItem(int folderId, GalleryItem item)
{
    FolderNode& folder = changeableFolder(folderId);
    if (!contentFits(folder.kind, item.content) || !contentWhole(item.content) ||
        (folder.stored() && folder.items.size() >= kMaxItems))
        throw GalleryRefusal(kStrBadArguments);
    if (auto refusal = nameRefusal(item.name))
        throw GalleryRefusal(*refusal);
    folder.items.push_back(std::move(item));
    return folder.items.back();
}

void COrkaDoc::removeItem(int folderId, std::size_t index)
{
    FolderNode& folder = changeableFolder(folderId);
    if (index >= folder.items.size())
        throw GalleryRefusal(kStrBadArguments);
    folder.items.erase(folder.items.begin() + std::ptrdiff_t(index));
}

void COrkaDoc::renameItem(int folderId, std::size_t index, const std::string& name)
{
    FolderNode& folder = changeableFolder(folderId);
    if (index >= folder.items.size())
        throw GalleryRefusal(kStrBadArguments);
    if (auto refusal = nameRefusal(name))
        throw GalleryRefusal(*refusal);
    folder.items[index].name = name;
}

GalleryItem& COrkaDoc::replaceItemContent(int folderId, std::size_t index, ItemContent content)
{
    FolderNode& folder = changeableFolder(folderId);
    if (index >= folder.items.size() || !contentFits(folder.kind, content) || !contentWhole(content))
        throw GalleryRefusal(kStrBadArguments);
    GalleryItem& item = folder.items[index];
    GalleryItem edited = GalleryItem::make(item.name, std::move(content));
    edited.handsetNumber = item.handsetNumber;
    item = std::move(edited);
    return item;
}

void COrkaDoc::arrange(int folderId, ArrangeOrder order)
{
    FolderNode* folder = findFolder(folderId);
    if (!folder)
        throw GalleryRefusal(kStrBadArguments);
    loadFolderItems(*folder);
    arrangeItems(folder->items, order);
}

void COrkaDoc::saveFolder(int folderId)
{
    const FolderNode* folder = findFolder(folderId);
    if (!folder || !folder->stored() || !folder->loaded || folder->readOnly)
        return;
    const CategoryNode* category = findCategory(categoryOf(folderId));
    const auto bytes = encodeFolder(FolderHeader::of(*category, *folder), folder->items);
    const fs::path file = folderFilePath(folderId);
    if (!platform::writeFileAtomically(file, bytes.data(), bytes.size()))
        throw GalleryRefusal(kStrWriteFailed, file.string());
}

void COrkaDoc::saveTree()
{
    TreeContent tree;
    tree.rootId = root_.id;
    tree.rootName = root_.name;
    for (const auto& category : root_.categories) {
        TreeCategoryEntry entry{category->name, category->id, {}};
        for (const auto& folder : category->folders)
            if (slotOf(folder->id) >= kFirstUserSlot)
                entry.folders.push_back({folder->name, folder->id});
        tree.categories.push_back(std::move(entry));
    }
    const auto bytes = encodeTree(tree);
    if (!platform::writeFileAtomically(treeFilePath(), bytes.data(), bytes.size()))
        throw GalleryRefusal(kStrWriteFailed, treeFilePath().string());
}

void COrkaDoc::close()
{
    if (root_.categories.empty())
        return;
    std::optional<GalleryRefusal> firstFailure;
    auto attempt = [&firstFailure](auto&& write) {
        try {
            write();
        } catch (const GalleryRefusal& e) {
            if (!firstFailure)
                firstFailure = e;
        }
    };
    attempt([this] { saveTree(); });
    std::vector<int> written;
    for (std::optional<int> id : {std::optional<int>(kSavedMenusFolder), shown_, pendingEdit_}) {
        if (!id || std::find(written.begin(), written.end(), *id) != written.end())
            continue;
        written.push_back(*id);
        attempt([this, id] { saveFolder(*id); });
    }
    root_.categories.clear();
    shown_.reset();
    pendingEdit_.reset();
    if (firstFailure)
        throw *firstFailure;
}

} // namespace orka::app
