#pragma once
// The animation the animation pane works on: a copy of an animation item's frames that the
// user rearranges, with where it came from. The stored item stays as it is until the draft
// is written back into it.
#include "orka/app/GalleryModel.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace orka::app {

class AnimationDraft {
public:
    // A copy of the animation item at `row` of the folder.
    AnimationDraft(int folderId, std::size_t row, const GalleryItem& item);

    int folderId() const { return folderId_; }
    std::size_t row() const { return row_; }
    // The item as the draft has it: the stored item's name, the frames in the user's order.
    const GalleryItem& item() const { return draft_; }
    const std::vector<AnimationFrame>& frames() const;

    // Swaps the frame at `from` with its neighbour `step` away; false when either is outside.
    bool moveFrame(std::size_t from, int step);
    // Whether the frames differ from the item's as it was taken or last written back.
    bool changed() const;
    // Whether `stored` is the item the draft came from: the same stamp and frames (a rename
    // leaves it the same item; an edit or a write-back makes it another).
    bool cameFrom(const GalleryItem& stored) const;
    // Where the draft's item is in the folder now: its own row while it is still there,
    // else the row it moved to; nullopt once it is gone or replaced.
    std::optional<std::size_t> rowIn(const FolderNode& folder) const;
    // The draft was written back: `stored` at `row` is its item from now on.
    void saved(std::size_t row, const GalleryItem& stored);

private:
    int folderId_;
    std::size_t row_;
    GalleryItem taken_;
    GalleryItem draft_;
};

} // namespace orka::app
