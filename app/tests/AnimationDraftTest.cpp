// The animation pane's draft: moves at the ends of the strip, what counts as changed, and
// finding its item again after the folder changed round it.
#include "orka/app/AnimationDraft.h"

#include <gtest/gtest.h>

using namespace orka::app;

namespace {

// Frames known by their widths; the stamp is set so that items differ by it alone.
GalleryItem animation(const std::string& name, std::vector<std::uint8_t> widths, std::uint32_t stamp)
{
    AnimationContent content;
    for (std::uint8_t w : widths)
        content.frames.push_back({1, Bitmap{w, 1, 0, std::vector<std::uint8_t>(Bitmap::bytesFor(w, 1, 0))}});
    GalleryItem item = GalleryItem::make(name, content);
    item.stamp = FileTime{stamp, 0};
    return item;
}

std::vector<int> widths(const AnimationDraft& draft)
{
    std::vector<int> w;
    for (const auto& frame : draft.frames())
        w.push_back(frame.bitmap.width);
    return w;
}

} // namespace

TEST(AnimationDraft, MovesStayInsideTheStrip)
{
    AnimationDraft draft(50003, 0, animation("a", {1, 2, 3}, 1));
    EXPECT_FALSE(draft.moveFrame(0, -1));
    EXPECT_FALSE(draft.moveFrame(2, 1));
    EXPECT_FALSE(draft.moveFrame(3, -1));
    EXPECT_FALSE(draft.changed());
    EXPECT_TRUE(draft.moveFrame(2, -1));
    EXPECT_EQ(widths(draft), (std::vector<int>{1, 3, 2}));
    EXPECT_TRUE(draft.changed());
    // Back in the stored order: nothing to save.
    EXPECT_TRUE(draft.moveFrame(1, 1));
    EXPECT_FALSE(draft.changed());
}

TEST(AnimationDraft, FindsItsItemWhereverTheFolderPutIt)
{
    const GalleryItem own = animation("a", {1, 2}, 1);
    const GalleryItem lookalike = animation("a", {1, 2}, 2); // the same frames, made later
    AnimationDraft draft(50003, 1, own);
    draft.moveFrame(0, 1);
    FolderNode folder;
    folder.items = {lookalike, own};
    EXPECT_EQ(draft.rowIn(folder), 1u);
    // A rename leaves it the same item; arranging moves it.
    folder.items[1].name = "renamed";
    std::swap(folder.items[0], folder.items[1]);
    EXPECT_EQ(draft.rowIn(folder), 0u);
    // Replaced by an edit, or deleted: gone, and the look-alike is not taken for it.
    folder.items[0] = animation("renamed", {1, 2}, 3);
    EXPECT_EQ(draft.rowIn(folder), std::nullopt);
    folder.items.erase(folder.items.begin());
    EXPECT_EQ(draft.rowIn(folder), std::nullopt);
}

TEST(AnimationDraft, WrittenBackItIsTheNewItemsDraft)
{
    AnimationDraft draft(50003, 2, animation("a", {1, 2}, 1));
    draft.moveFrame(0, 1);
    GalleryItem stored = animation("kept name", {2, 1}, 5);
    draft.saved(0, stored);
    EXPECT_FALSE(draft.changed());
    EXPECT_EQ(draft.row(), 0u);
    EXPECT_EQ(draft.item().name, "kept name");
    EXPECT_TRUE(draft.cameFrom(stored));
    EXPECT_FALSE(draft.cameFrom(animation("a", {1, 2}, 1)));
}
