#include "orka/app/ui/WizardWork.h"

#include "orka/app/ItemPictures.h"
#include "orka/app/LocalFileOps.h"
#include "orka/picture/Animation.h" // scalePicture
#include "orka/picture/MenuPackage.h"
#include "orka/picture/PictureFile.h"
#include "orka/picture/PictureZoom.h"

#include <algorithm>

namespace orka::app::ui {
namespace {

// Checks that an imported file can be read as what it claims to be, so that a refused file
// is refused before any page takes it.
void checkReadable(const WizardSource& source)
{
    switch (source.kind) {
    case SourceKind::Picture:
        loadPicture(source.file);
        break;
    case SourceKind::MenuPackage:
        readMenuPackageFile(source.file);
        break;
    case SourceKind::Animation:
        Animation::open(source.file);
        break;
    case SourceKind::Midi:
    case SourceKind::Smaf:
        break; // read and told apart by acceptImport
    }
}

} // namespace

WizardSource importedSource(int categoryId, std::span<const std::filesystem::path> files)
{
    AcceptedSource accepted = acceptImport(categoryId, files);
    WizardSource source;
    source.name = itemNameFromFile(accepted.file);
    source.kind = accepted.kind;
    source.file = accepted.file;
    source.tune = std::move(accepted.tune);
    checkReadable(source);
    return source;
}

WizardSource sourceFromItem(const GalleryItem& item)
{
    WizardSource source;
    source.name = item.name;
    source.itemContent = item.content;
    if (const auto* melody = std::get_if<MelodyContent>(&item.content)) {
        source.kind = melody->isSmaf() ? SourceKind::Smaf : SourceKind::Midi;
        source.tune = melody->data;
    } else if (std::holds_alternative<AnimationContent>(item.content)) {
        source.kind = SourceKind::Animation;
    }
    return source;
}

DibPicture sourcePicture(const WizardSource& source)
{
    if (source.itemContent)
        if (const auto* picture = std::get_if<PictureContent>(&*source.itemContent))
            return pictureFromBitmap(picture->bitmap);
    return loadPicture(source.file);
}

std::filesystem::path sourceFile(const WizardSource& source, const std::filesystem::path& scratchDir)
{
    if (!source.file.empty())
        return source.file;
    return savePicture(sourcePicture(source), scratchDir / "source", SaveKind::Bmp);
}

DibPicture fitToCategory(const DibPicture& picture, int categoryId)
{
    const auto* row = findCategoryRow(categoryId);
    if (!row || row->widthLimit <= 0 || row->heightLimit <= 0)
        return picture;
    const FitResult fit = fitToFrame(picture.width(), picture.height(), row->widthLimit, row->heightLimit);
    if (fit.width == picture.width() && fit.height == picture.height())
        return picture;
    return scalePicture(picture, static_cast<std::uint32_t>(std::max<std::int64_t>(fit.width, 1)),
                        static_cast<std::uint32_t>(std::max<std::int64_t>(fit.height, 1)));
}

std::vector<ItemContent> itemContentsOf(const std::vector<DibPicture>& pictures, int categoryId)
{
    std::vector<ItemContent> contents;
    if (categoryId == kMainMenuCategory && pictures.size() > 1) {
        AnimationContent set;
        for (const DibPicture& picture : pictures)
            set.frames.push_back({0, bitmapFromPicture(fitToCategory(picture, categoryId))});
        contents.emplace_back(std::move(set));
        return contents;
    }
    for (const DibPicture& picture : pictures)
        contents.emplace_back(PictureContent{bitmapFromPicture(fitToCategory(picture, categoryId))});
    return contents;
}

std::vector<DibPicture> framePictures(const AnimationContent& animation)
{
    std::vector<DibPicture> pictures;
    for (const AnimationFrame& frame : animation.frames)
        pictures.push_back(pictureFromBitmap(frame.bitmap));
    return pictures;
}

AnimationContent editedFrames(const std::vector<DibPicture>& pictures, const AnimationContent& original,
                              int categoryId)
{
    AnimationContent edited;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const std::uint8_t value = i < original.frames.size() ? original.frames[i].value : 0;
        edited.frames.push_back({value, bitmapFromPicture(fitToCategory(pictures[i], categoryId))});
    }
    return edited;
}

std::vector<ItemContent> contentsForFolder(FolderKind kind, std::vector<ItemContent> contents)
{
    if (kind != FolderKind::Picture)
        return contents;
    std::vector<ItemContent> pictures;
    for (ItemContent& content : contents) {
        if (const auto* set = std::get_if<AnimationContent>(&content)) {
            for (const AnimationFrame& frame : set->frames)
                pictures.emplace_back(PictureContent{frame.bitmap});
        } else {
            pictures.push_back(std::move(content));
        }
    }
    return pictures;
}

std::string nthItemName(const std::string& name, std::size_t n)
{
    return n == 0 ? name : name + "_" + std::to_string(n + 1);
}

WizardResult resultWithoutEditing(const WizardSource& source, int categoryId)
{
    WizardResult result{source.name, {}};
    if (source.kind == SourceKind::MenuPackage)
        result.contents = itemContentsOf(decodeMenuPackage(readMenuPackageFile(source.file)), categoryId);
    else if (source.itemContent)
        result.contents.push_back(*source.itemContent);
    else
        result.contents.emplace_back(MelodyContent{MelodyContent::kSmaf, source.tune});
    return result;
}

} // namespace orka::app::ui
