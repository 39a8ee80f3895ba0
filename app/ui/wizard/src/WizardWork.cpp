#include "WizardWork.h"

#include "orka/app/ItemPictures.h"
#include "orka/picture/Animation.h" // scalePicture
#include "orka/picture/MenuPackage.h"
#include "orka/picture/PictureFile.h"
#include "orka/picture/PictureZoom.h"

#include <algorithm>

namespace orka::app::ui {
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
