// Undo and redo over every kind of edit, the undo limit, and applying one picture's edits to
// a whole set.
#include "TestPictures.h"
#include "orka/picture/PictureEditHistory.h"

#include <gtest/gtest.h>

using namespace orka;
using test::rgbAt;

namespace {
PenEdit dot(int x, int y) { return PenEdit{{{x, y}}, 1, PaintColour{255, 0, 0}}; }
} // namespace

TEST(EditHistory, UndoAndRedoWalkBackAndForth)
{
    const DibPicture base = test::makePattern();
    PictureEditHistory h({base});
    EXPECT_FALSE(h.canUndo());
    EXPECT_TRUE(h.undo().empty());

    h.apply(0, dot(1, 1));
    const DibPicture afterPen = h.state(0).picture;
    h.apply(0, TurnEdit{TurnEdit::Kind::RotateRight});
    ColourEdit colour;
    colour.values.redOffset = 255;
    colour.values.rotation = 180; // the turns own the rotation; a colour edit leaves it
    h.apply(0, colour);
    EXPECT_EQ(h.state(0).adjustments.rotation, 90);
    EXPECT_EQ(h.state(0).edits.size(), 3u);
    EXPECT_EQ(rgbAt(h.adjusted(0), 0, 0)[0], 255);

    EXPECT_EQ(h.undo(), std::vector<std::size_t>{0});
    EXPECT_EQ(h.state(0).adjustments.redOffset, 0);
    h.undo();
    EXPECT_TRUE(test::samePixels(h.state(0).picture, afterPen));
    EXPECT_EQ(h.state(0).adjustments.rotation, 0);
    h.undo();
    EXPECT_TRUE(test::samePixels(h.state(0).picture, base));
    EXPECT_FALSE(h.canUndo());
    EXPECT_TRUE(h.canRedo());

    h.redo();
    h.redo();
    EXPECT_EQ(h.state(0).picture.width(), base.height());
    // A new edit after undo drops what could have been redone.
    h.apply(0, dot(0, 0));
    EXPECT_FALSE(h.canRedo());
    EXPECT_TRUE(h.redo().empty());
    // The base never changes.
    EXPECT_TRUE(test::samePixels(h.base(0), base));
}

TEST(EditHistory, KeepsOnlyTheLatestSteps)
{
    PictureEditHistory h({DibPicture(8, 8, 3)});
    for (std::size_t i = 0; i < PictureEditHistory::kMaxSteps + 5; ++i)
        h.apply(0, dot(int(i % 8), int(i / 8 % 8)));
    std::size_t undone = 0;
    while (h.canUndo()) {
        h.undo();
        ++undone;
    }
    EXPECT_EQ(undone, PictureEditHistory::kMaxSteps);
    // The oldest five dots could not be taken back.
    EXPECT_EQ(h.state(0).edits.size(), 5u);
}

TEST(EditHistory, ApplyToAllReplaysOnEachBaseAsOneStep)
{
    DibPicture a(4, 2, 3), b(4, 2, 3), c; // c is empty
    test::setRgb(b, 3, 1, 9, 9, 9);
    PictureEditHistory h({a, b, c});
    h.apply(1, dot(0, 0)); // an edit of b's own, replaced by applying a's
    h.apply(0, TurnEdit{TurnEdit::Kind::FlipHorizontal});
    h.apply(0, dot(3, 0));
    h.applyToAll(0);
    EXPECT_EQ(rgbAt(h.state(1).picture, 3, 0), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(rgbAt(h.state(1).picture, 0, 1), (std::array<int, 3>{9, 9, 9})); // flipped
    EXPECT_EQ(rgbAt(h.state(1).picture, 0, 0), (std::array<int, 3>{0, 0, 0}));
    EXPECT_TRUE(h.state(2).picture.empty());
    // Applying again changes nothing more.
    const DibPicture once = h.state(1).picture;
    h.applyToAll(0);
    EXPECT_TRUE(test::samePixels(h.state(1).picture, once));
    h.undo();
    h.undo();
    EXPECT_EQ(rgbAt(h.state(1).picture, 0, 0), (std::array<int, 3>{255, 0, 0})); // b's own edit is back
    EXPECT_EQ(rgbAt(h.state(1).picture, 3, 1), (std::array<int, 3>{9, 9, 9}));
}

TEST(EditHistory, PalettePicturesAreEditedAtThreeBytes)
{
    DibPicture p(2, 2, 1);
    p.palette()[0] = PaletteEntry{10, 20, 30, 0};
    PictureEditHistory h({p});
    EXPECT_EQ(h.base(0).bytesPerPixel(), 3);
    h.apply(0, TextEdit{std::make_shared<CoverageMask>(CoverageMask{1, 1, {255}}), 1, 1, PaintColour{1, 2, 3}});
    EXPECT_EQ(rgbAt(h.state(0).picture, 0, 0), (std::array<int, 3>{10, 20, 30}));
    EXPECT_EQ(rgbAt(h.state(0).picture, 1, 1), (std::array<int, 3>{1, 2, 3}));
}
