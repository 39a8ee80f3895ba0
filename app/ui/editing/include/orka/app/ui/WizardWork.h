#pragma once
// What one pass of the editing pages carries from page to page (in the wizard and in the main
// window's import and edit): the source the user chose and the finished result, and how a
// source that needs no editing (a SMAF tune, a main-menu package) becomes a result.
#include "orka/app/GalleryModel.h"
#include "orka/app/WizardFlow.h"
#include "orka/picture/DibPicture.h"

#include <filesystem>
#include <optional>
#include <span>
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

// The files chosen for import as a source: one file of a kind the category takes (the
// checks of acceptImport), read far enough to know the picture, package or animation
// decoders take it. Raises what refuses it; the name is the file's title made an item name.
WizardSource importedSource(int categoryId, std::span<const std::filesystem::path> files);

// A gallery item as a source.
WizardSource sourceFromItem(const GalleryItem& item);

// The picture of a picture source (the file decoded, or the item's bitmap).
DibPicture sourcePicture(const WizardSource& source);
// A file the picture pages can open: the source's own file, or the item's picture written as
// a bitmap into `scratchDir`.
std::filesystem::path sourceFile(const WizardSource& source, const std::filesystem::path& scratchDir);

// The picture scaled down, keeping its shape, to fit the category's width and height limits.
DibPicture fitToCategory(const DibPicture& picture, int categoryId);
// Pictures as items of the category, each fitted: one picture item each, or, for several
// main-menu pictures, one main-menu set (the saved menus keep sets as frames).
std::vector<ItemContent> itemContentsOf(const std::vector<DibPicture>& pictures, int categoryId);

// An animation's or main-menu set's frames as pictures, in order.
std::vector<DibPicture> framePictures(const AnimationContent& animation);
// Edited frames as the animation they came from: each frame fitted to the category and
// keeping the display value of the frame it replaces.
AnimationContent editedFrames(const std::vector<DibPicture>& pictures, const AnimationContent& original,
                              int categoryId);

// The contents as a folder of `kind` keeps them: a picture folder takes a main-menu set as
// one picture item per picture; other contents stay as they are.
std::vector<ItemContent> contentsForFolder(FolderKind kind, std::vector<ItemContent> contents);
// The name of the n-th item of a result of several (n from 0): "name", "name_2", ...
std::string nthItemName(const std::string& name, std::size_t n);

// The result of a source taken as it is: a SMAF tune unchanged, a main-menu package as its
// set of pictures. Raises what the package reader refuses.
WizardResult resultWithoutEditing(const WizardSource& source, int categoryId);

} // namespace orka::app::ui
