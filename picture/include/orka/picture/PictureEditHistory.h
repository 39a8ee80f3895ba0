#pragma once
// The pictures being edited together (one, or the several pictures of a main-menu set):
// each keeps its unedited base picture beside the working picture, its colour adjustments
// and the list of edits that made the working picture from the base. Every edit is one
// step that can be undone and redone; applying one picture's edits to all the others is
// one step as well.
#include "orka/picture/DibPicture.h"
#include "orka/picture/PaintTools.h"
#include "orka/picture/PictureAdjustments.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <variant>
#include <vector>

namespace orka {

// Turns and mirrors: they change the stored pixels at once.
struct TurnEdit {
    enum class Kind { RotateLeft, RotateRight, FlipVertical, FlipHorizontal };
    Kind kind = Kind::RotateRight;
};

// New colour settings (the RGB, HSL and contrast groups); the rotation field is the
// turns' and stays as it is.
struct ColourEdit {
    PictureAdjustments values;
};

struct PenEdit {
    std::vector<PaintPoint> points;
    int width = 1;
    PaintColour colour;
};

struct TextEdit {
    std::shared_ptr<const CoverageMask> mask;
    int left = 0;
    int top = 0;
    PaintColour colour;
};

// A stamp placed at (left, top), or a frame (fitToPicture) laid over the whole picture.
struct OverlayEdit {
    std::shared_ptr<const DibPicture> overlay;
    int left = 0;
    int top = 0;
    bool fitToPicture = false;
};

using PictureEdit = std::variant<TurnEdit, ColourEdit, PenEdit, TextEdit, OverlayEdit>;

struct PictureEditState {
    DibPicture picture;              // the working picture: unadjusted pixels
    PictureAdjustments adjustments;  // applied whenever it is drawn
    std::vector<PictureEdit> edits;  // what made `picture` from the base
};

// Applies one edit to a state (pixels or settings) and appends it to the state's list.
void applyEdit(PictureEditState& state, const PictureEdit& edit);

class PictureEditHistory {
public:
    // Steps kept for undo; the oldest go first.
    static constexpr std::size_t kMaxSteps = 64;

    PictureEditHistory() = default;
    // Each base is kept as given (at 3 bytes per pixel) and the working pictures start as
    // copies of them; the history starts empty.
    explicit PictureEditHistory(std::vector<DibPicture> bases);

    std::size_t count() const { return states_.size(); }
    const DibPicture& base(std::size_t index) const { return bases_.at(index); }
    const PictureEditState& state(std::size_t index) const { return states_.at(index); }
    // What the picture looks like: the working picture with its adjustments.
    DibPicture adjusted(std::size_t index) const;

    // One edit of one picture, as one step. Empty pictures take no pixel edits.
    void apply(std::size_t index, const PictureEdit& edit);
    // Every other picture becomes its base with the edits of picture `from`, as one step
    // (applying twice changes nothing more).
    void applyToAll(std::size_t from);

    bool canUndo() const { return done_ > 0; }
    bool canRedo() const { return done_ < steps_.size(); }
    // Takes back or repeats the last step; returns the pictures it changed (none when there
    // was nothing to take back or repeat).
    std::vector<std::size_t> undo();
    std::vector<std::size_t> redo();

private:
    // A step keeps, for each picture it changed, the state that is not in effect: the one
    // before the step while it is done, the one after it while it is undone. Undo and redo
    // swap them, so a step costs one copy of each picture it touched.
    struct Change {
        std::size_t index;
        PictureEditState other;
    };
    using Step = std::vector<Change>;

    void push(Step step);
    std::vector<std::size_t> swapStep(std::size_t stepIndex);

    std::vector<DibPicture> bases_;
    std::vector<PictureEditState> states_;
    std::deque<Step> steps_;
    std::size_t done_ = 0; // steps_[0..done_) are in effect
};

} // namespace orka
