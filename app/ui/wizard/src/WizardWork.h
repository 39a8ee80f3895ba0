#pragma once
// What one pass of the wizard carries from page to page: the source the user chose and the
// finished result, and how a source becomes a result where no editing page is there to shape
// it (the file as it is: pictures fitted to the category's size, the first five frames of an
// animation, a MIDI tune converted whole).
#include "orka/app/GalleryModel.h"
#include "orka/app/WizardFlow.h"
#include "orka/picture/DibPicture.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orka::app::ui {

struct WizardSource {
    std::string name;                      // the name the result is saved under at first
    SourceKind kind = SourceKind::Picture;
    std::filesystem::path file;            // a file from disk; empty for a gallery item
    std::optional<ItemContent> itemContent; // the gallery item chosen
    std::vector<std::uint8_t> tune;        // a ring tone's bytes
};

// The finished items of a pass: one, or several pictures of a capture, or a main-menu set.
struct WizardResult {
    std::string name;
    std::vector<ItemContent> contents;
};

// A gallery item as a source.
WizardSource sourceFromItem(const GalleryItem& item);

// The picture of a picture source (the file decoded, or the item's bitmap).
DibPicture sourcePicture(const WizardSource& source);
// A file the picture pages can open: the source's own file, or the item's picture written as
// a bitmap into `scratchDir`.
std::filesystem::path sourceFile(const WizardSource& source, const std::filesystem::path& scratchDir);

// The picture scaled down, keeping its shape, to fit the category's width and height limits.
DibPicture fitToCategory(const DibPicture& picture, int categoryId);
// Pictures as items of the category: each fitted, then copied to an item bitmap.
std::vector<ItemContent> pictureContents(const std::vector<DibPicture>& pictures, int categoryId);

// A MIDI tune through the channel filter and the converter, whole and unchanged. Raises
// orka::Failure (61003 with the converter's words) when it cannot be converted.
MelodyContent ringToneFromMidi(const std::vector<std::uint8_t>& midi);

// The result of a source taken as it is.
WizardResult resultWithoutEditing(const WizardSource& source, int categoryId);

} // namespace orka::app::ui
