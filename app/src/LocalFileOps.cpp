#include "orka/app/LocalFileOps.h"

#include "orka/StringTable.h"
#include "orka/app/GalleryNames.h"
#include "orka/app/ItemPictures.h"
#include "orka/app/OrkaFile.h"
#include "orka/app/WizardFlow.h"
#include "orka/picture/Animation.h"
#include "orka/platform/Codepage.h"
#include "orka/platform/StatePaths.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace orka::app {
namespace fs = std::filesystem;

namespace {

constexpr unsigned kStrBadArguments = 61100; // "參數錯誤."
// One component of a Linux path.
constexpr std::size_t kMaxFileNameBytes = 255;
constexpr char kReplacement = '_';
constexpr std::string_view kMidletNameKey = "MIDlet-Name";

// Typed names lose their leading white space, as a text box's contents would.
constexpr std::string_view kBlanks = " \t\r\n\v\f";

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::size_t characterCount(std::string_view utf8)
{
    return std::size_t(std::count_if(utf8.begin(), utf8.end(), [](char c) { return !isContinuationByte(c); }));
}

// The UTF-8 text cut to at most maxBytes, never inside a character.
std::string_view cutAtCharacter(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    std::size_t end = maxBytes;
    while (end > 0 && isContinuationByte(text[end]))
        --end;
    return text.substr(0, end);
}

std::string trimmed(std::string_view text, std::string_view strip)
{
    const auto first = text.find_first_not_of(strip);
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(strip) - first + 1));
}

// Forbidden and control characters replaced, surrounding blanks and dots dropped.
std::string plainName(std::string_view name)
{
    std::string out(name);
    for (char& c : out)
        if (hasForbiddenCharacter(std::string_view(&c, 1)))
            c = kReplacement;
    out = trimmed(out, " .");
    return out.empty() ? std::string(1, kReplacement) : out;
}

std::string lowerExtension(const fs::path& file)
{
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return ext;
}

CategoryNode& categoryOfFolder(COrkaDoc& doc, int folderId)
{
    CategoryNode* category = doc.findCategory(categoryOf(folderId));
    if (!category || !category->findFolder(folderId))
        throw GalleryRefusal(kStrBadArguments);
    return *category;
}

FolderNode& userFolder(COrkaDoc& doc, int folderId)
{
    FolderNode* folder = doc.findFolder(folderId);
    if (!folder || !isUserFolder(folderId))
        throw GalleryRefusal(kStrBadArguments);
    return *folder;
}

void refuseForbiddenCharacters(const std::string& name)
{
    if (hasForbiddenCharacter(name))
        throw GalleryRefusal(kStrNameCharacters);
}

std::vector<std::uint8_t> readWhole(const fs::path& file, unsigned failureId)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw GalleryRefusal(failureId, file.filename().string());
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw GalleryRefusal(failureId, file.filename().string());
    return bytes;
}


std::string extensionOf(const GalleryItem& item, ExportType type)
{
    switch (type) {
    case ExportType::Bmp:
        return ".bmp";
    case ExportType::Jpeg:
        return ".jpg";
    case ExportType::Gif:
        return ".gif";
    case ExportType::OwnFormat:
        break;
    }
    const auto* melody = std::get_if<MelodyContent>(&item.content);
    return melody && melody->isSmaf() ? ".mmf" : ".mid";
}

PictureFormat pictureFormatOf(ExportType type)
{
    return type == ExportType::Bmp ? PictureFormat::Bmp : type == ExportType::Jpeg ? PictureFormat::Jpeg
                                                                                   : PictureFormat::Gif;
}

} // namespace

// --- names ---

std::string itemNameFromFile(const fs::path& file)
{
    const std::string title = plainName(file.stem().string());
    std::string name;
    std::size_t ansiBytes = 0;
    for (std::size_t i = 0; i < title.size();) {
        std::size_t next = i + 1;
        while (next < title.size() && isContinuationByte(title[next]))
            ++next;
        std::string character = title.substr(i, next - i);
        const auto ansi = platform::Codepage::utf8ToAnsi(character);
        if (!ansi || ansi->empty())
            character = std::string(1, kReplacement);
        const std::size_t bytes = ansi && !ansi->empty() ? ansi->size() : 1;
        if (ansiBytes + bytes > kMaxNameBytes)
            break;
        ansiBytes += bytes;
        name += character;
        i = next;
    }
    return name;
}

std::string validateName(std::string_view name, const fs::path& directory, std::string_view extraForbidden)
{
    const auto first = name.find_first_not_of(kBlanks);
    const std::string_view rest = first == std::string_view::npos ? std::string_view{} : name.substr(first);
    if (rest.empty() || rest.front() == '.')
        throw GalleryRefusal(kStrEmptyName);
    const std::size_t length = characterCount(rest);
    if (length > kMaxPathCharacters ||
        (!directory.empty() && characterCount(directory.string()) + length > kMaxPathCharacters))
        throw GalleryRefusal(kStrLongName);
    if (hasForbiddenCharacter(rest) || rest.find_first_of(extraForbidden) != std::string_view::npos)
        throw GalleryRefusal(kStrBadName);
    return std::string(rest);
}

std::string safeExportName(std::string_view itemName, std::string_view extension)
{
    const std::size_t room = kMaxFileNameBytes > extension.size() ? kMaxFileNameBytes - extension.size() : 1;
    std::string name(cutAtCharacter(plainName(itemName), room));
    return name + std::string(extension);
}

// --- folders ---

bool isUserFolder(int folderId) { return slotOf(folderId) >= kFirstUserSlot; }

FolderNode& addNewFolder(COrkaDoc& doc, int categoryId)
{
    FolderNode& folder = doc.addLocalFolder(categoryId, doc.freeFolderId(categoryId), loadString(kStrNewFolderName));
    try {
        doc.saveTree();
    } catch (...) {
        // The tree file cannot list it: the folder goes again rather than vanish at the next start.
        auto& folders = doc.findCategory(categoryId)->folders;
        const int id = folder.id;
        std::erase_if(folders, [id](const auto& f) { return f->id == id; });
        throw;
    }
    return folder;
}

void renameFolder(COrkaDoc& doc, int folderId, const std::string& newName)
{
    FolderNode& folder = userFolder(doc, folderId);
    if (newName == folder.name)
        return;
    refuseForbiddenCharacters(newName);
    if (auto refusal = nameRefusal(newName))
        throw GalleryRefusal(*refusal);
    const CategoryNode& category = categoryOfFolder(doc, folderId);
    for (const auto& other : category.folders)
        if (other->name == newName)
            throw GalleryRefusal(kStrFolderExists);
    if ((safeFileName(category.name) + "_" + newName + kOrkaExtension).size() > kMaxFileNameBytes)
        throw GalleryRefusal(kStrLongName);
    doc.loadFolderItems(folder);
    if (folder.readOnly)
        throw GalleryRefusal(kStrReadOnlyFolder);

    // The file moves with the folder, so items that were never read (or could not be) keep
    // living under the new name; the items in memory are then written over it.
    const fs::path oldFile = doc.folderFilePath(folderId);
    const std::string oldName = folder.name;
    folder.name = newName;
    const fs::path newFile = doc.folderFilePath(folderId);
    std::error_code ec;
    if (fs::exists(oldFile, ec))
        fs::rename(oldFile, newFile, ec);
    if (ec) {
        folder.name = oldName;
        throw GalleryRefusal(kStrWriteFailed, newFile.string());
    }
    doc.saveFolder(folderId);
    doc.saveTree();
}

void deleteFolder(COrkaDoc& doc, int folderId)
{
    FolderNode& folder = userFolder(doc, folderId);
    if (folder.readOnly)
        throw GalleryRefusal(kStrReadOnlyFolder);
    const fs::path file = doc.folderFilePath(folderId);
    std::error_code ec;
    fs::remove(file, ec);
    if (ec)
        throw GalleryRefusal(kStrWriteFailed, file.string());
    std::erase_if(categoryOfFolder(doc, folderId).folders, [folderId](const auto& f) { return f->id == folderId; });
    doc.saveTree();
}

// --- items ---

void renameItem(COrkaDoc& doc, int folderId, std::size_t index, const std::string& newName)
{
    refuseForbiddenCharacters(newName);
    doc.renameItem(folderId, index, newName);
    doc.saveFolder(folderId);
}

void removeItems(COrkaDoc& doc, int folderId, std::vector<std::size_t> indexes)
{
    FolderNode* folder = doc.findFolder(folderId);
    if (!folder)
        throw GalleryRefusal(kStrBadArguments);
    doc.loadFolderItems(*folder);
    std::sort(indexes.begin(), indexes.end(), std::greater<>());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    if (!indexes.empty() && indexes.front() >= folder->items.size())
        throw GalleryRefusal(kStrBadArguments);
    for (const std::size_t index : indexes) // from the back, so the others keep their places
        doc.removeItem(folderId, index);
    doc.saveFolder(folderId);
}

// --- import ---

std::string importFilter(int categoryId)
{
    // The main window's chooser offers what the wizard's does.
    std::string filter = wizardImportFilter(categoryId);
    if (filter.empty())
        throw GalleryRefusal(kStrBadArguments);
    return filter;
}

bool isMenuPackageFile(const fs::path& file) { return lowerExtension(file) == ".pak"; }

void checkImportSelection(int categoryId, const std::vector<fs::path>& files)
{
    if (files.size() > 1 && std::any_of(files.begin(), files.end(), isMenuPackageFile))
        throw GalleryRefusal(kStrOnlyOneFile);
    for (const auto& file : files)
        if (!isAcceptedFile(categoryId, file))
            throw GalleryRefusal(kStrBadFileFormat);
}


MenuPackage readPackageForUpload(const fs::path& file)
{
    MenuPackage package = readMenuPackageFile(file);
    // Every picture must decode before any of them goes to the handset.
    const std::vector<DibPicture> pictures = decodeMenuPackage(package);
    for (std::size_t i = 0; i < pictures.size(); ++i)
        package.pictures[i] = uploadBytes(pictures[i], storeTypeOf(kMainMenuCategory));
    return package;
}

// --- export ---

std::vector<ExportType> exportTypesOf(FolderKind kind)
{
    switch (kind) {
    case FolderKind::Picture:
        return {ExportType::Bmp, ExportType::Jpeg, ExportType::Gif};
    case FolderKind::Animation:
    case FolderKind::SavedMenus:
        return {ExportType::Gif};
    case FolderKind::Melody:
        return {ExportType::OwnFormat};
    default:
        return {};
    }
}

std::vector<ExportFile> planExport(const FolderNode& folder, const std::vector<std::size_t>& indexes,
                                   const fs::path& directory, ExportType type)
{
    std::vector<ExportFile> plan;
    std::vector<std::string> names, fileNames;
    for (const std::size_t index : indexes) {
        if (index >= folder.items.size())
            throw GalleryRefusal(kStrBadArguments);
        const GalleryItem& item = folder.items[index];
        if (trimmed(item.name, kBlanks).empty())
            throw GalleryRefusal(kStrNeedFileName);
        std::string fileName = safeExportName(item.name, extensionOf(item, type));
        // Two names that differ only in characters a file name cannot hold would still
        // end in one file: that is a clash as well.
        if (std::find(names.begin(), names.end(), item.name) != names.end() ||
            std::find(fileNames.begin(), fileNames.end(), fileName) != fileNames.end())
            throw GalleryRefusal(kStrFileNameTaken, item.name);
        names.push_back(item.name);
        fileNames.push_back(fileName);
        plan.push_back({index, directory / fileName});
    }
    return plan;
}

void writeExportFile(const GalleryItem& item, const fs::path& file, ExportType type)
{
    std::vector<std::uint8_t> bytes;
    if (const auto* picture = std::get_if<PictureContent>(&item.content)) {
        if (type == ExportType::OwnFormat)
            throw GalleryRefusal(kStrBadArguments);
        bytes = encodePicture(pictureFromBitmap(picture->bitmap), pictureFormatOf(type));
    } else if (const auto* animation = std::get_if<AnimationContent>(&item.content)) {
        if (type != ExportType::Gif)
            throw GalleryRefusal(kStrBadArguments);
        std::vector<DibPicture> frames;
        std::vector<int> delays;
        for (const auto& frame : animation->frames) {
            frames.push_back(pictureFromBitmap(frame.bitmap));
            delays.push_back(frame.value);
        }
        bytes = encodeAnimationGif(frames, delays);
    } else {
        if (type != ExportType::OwnFormat)
            throw GalleryRefusal(kStrBadArguments);
        bytes = std::get<MelodyContent>(item.content).data;
    }
    if (!platform::writeFileAtomically(file, bytes.data(), bytes.size()))
        throw GalleryRefusal(kStrWriteFailed, file.string());
}

fs::path makeMailFolder(const fs::path& mailRoot, std::chrono::hours keep)
{
    std::error_code ec;
    const auto oldest = fs::file_time_type::clock::now() - keep;
    for (fs::directory_iterator it(mailRoot, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code ignored;
        if (it->is_directory(ignored) && it->last_write_time(ignored) < oldest && !ignored)
            fs::remove_all(it->path(), ignored);
    }
    fs::create_directories(mailRoot, ec);
    // Named by the time to the microsecond, with a counter for two made within one tick.
    const auto stamp = std::chrono::duration_cast<std::chrono::microseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path folder = mailRoot / (std::to_string(stamp) + "-" + std::to_string(attempt));
        if (fs::create_directory(folder, ec))
            return folder;
    }
    throw GalleryRefusal(kStrWriteFailed, mailRoot.string());
}

// --- Java MIDlets ---

Midlet readMidlet(const fs::path& descriptor)
{
    if (lowerExtension(descriptor) != ".jad")
        throw GalleryRefusal(kStrBadFileFormat);
    std::error_code ec;
    const auto descriptorSize = fs::file_size(descriptor, ec);
    if (ec)
        throw GalleryRefusal(kStrOpenFileFailed, descriptor.filename().string());
    if (descriptorSize > kMaxDescriptorBytes)
        throw GalleryRefusal(kStrBadFileFormat);
    Midlet midlet;
    midlet.descriptor = readWhole(descriptor, kStrOpenFileFailed);
    if (midlet.descriptor.size() > kMaxDescriptorBytes)
        throw GalleryRefusal(kStrBadFileFormat); // it grew since it was measured
    const std::string_view text(reinterpret_cast<const char*>(midlet.descriptor.data()), midlet.descriptor.size());
    if (text.find(kMidletNameKey) == std::string_view::npos)
        throw GalleryRefusal(kStrBadFileFormat);

    fs::path archive = descriptor;
    archive.replace_extension(".jar");
    if (!fs::exists(archive, ec)) {
        // Archives copied from other systems often carry ".JAR"; the letter case of the
        // extension does not make another file there.
        for (const auto& entry : fs::directory_iterator(archive.parent_path().empty() ? "." : archive.parent_path(), ec))
            if (entry.path().stem() == archive.stem() && lowerExtension(entry.path()) == ".jar") {
                archive = entry.path();
                break;
            }
    }
    const auto archiveSize = fs::file_size(archive, ec);
    if (ec || !fs::is_regular_file(archive, ec))
        throw GalleryRefusal(kStrOpenFileFailed, archive.filename().string());
    if (archiveSize > kMaxArchiveBytes)
        throw GalleryRefusal(kStrBadFileFormat);
    midlet.archive = readWhole(archive, kStrOpenFileFailed);
    if (midlet.archive.size() > kMaxArchiveBytes)
        throw GalleryRefusal(kStrBadFileFormat);
    return midlet;
}

} // namespace orka::app
