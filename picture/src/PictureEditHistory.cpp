#include "orka/picture/PictureEditHistory.h"

#include <utility>

namespace orka {

namespace {

DibPicture asRgb(DibPicture picture)
{
    return picture.bytesPerPixel() == 3 || picture.empty() ? std::move(picture) : picture.toRgb();
}

struct EditApplier {
    PictureEditState& state;

    void operator()(const TurnEdit& turn) const
    {
        switch (turn.kind) {
        case TurnEdit::Kind::RotateLeft: rotateLeft(state.picture, state.adjustments); break;
        case TurnEdit::Kind::RotateRight: rotateRight(state.picture, state.adjustments); break;
        case TurnEdit::Kind::FlipVertical: flipVertical(state.picture); break;
        case TurnEdit::Kind::FlipHorizontal: flipHorizontal(state.picture); break;
        }
    }
    void operator()(const ColourEdit& colour) const
    {
        const std::int32_t rotation = state.adjustments.rotation;
        state.adjustments = colour.values;
        state.adjustments.rotation = rotation;
    }
    void operator()(const PenEdit& pen) const { drawPenStroke(state.picture, pen.points, pen.width, pen.colour); }
    void operator()(const TextEdit& text) const
    {
        if (text.mask)
            blendCoverage(state.picture, *text.mask, text.left, text.top, text.colour);
    }
    void operator()(const OverlayEdit& overlay) const
    {
        if (!overlay.overlay)
            return;
        if (overlay.fitToPicture)
            placeFrame(state.picture, *overlay.overlay);
        else
            placeOverlay(state.picture, *overlay.overlay, overlay.left, overlay.top);
    }
};

} // namespace

void applyEdit(PictureEditState& state, const PictureEdit& edit)
{
    std::visit(EditApplier{state}, edit);
    state.edits.push_back(edit);
}

PictureEditHistory::PictureEditHistory(std::vector<DibPicture> bases)
{
    bases_.reserve(bases.size());
    states_.reserve(bases.size());
    for (DibPicture& base : bases) {
        bases_.push_back(asRgb(std::move(base)));
        states_.push_back(PictureEditState{bases_.back(), {}, {}});
    }
}

DibPicture PictureEditHistory::adjusted(std::size_t index) const
{
    const PictureEditState& s = states_.at(index);
    return applyAdjustments(s.picture, s.adjustments);
}

void PictureEditHistory::apply(std::size_t index, const PictureEdit& edit)
{
    PictureEditState& state = states_.at(index);
    Step step;
    step.push_back(Change{index, state});
    applyEdit(state, edit);
    push(std::move(step));
}

void PictureEditHistory::applyToAll(std::size_t from)
{
    const std::vector<PictureEdit> edits = states_.at(from).edits;
    Step step;
    for (std::size_t i = 0; i < states_.size(); ++i) {
        if (i == from)
            continue;
        PictureEditState fresh{bases_[i], {}, {}};
        for (const PictureEdit& edit : edits)
            applyEdit(fresh, edit);
        step.push_back(Change{i, std::move(states_[i])});
        states_[i] = std::move(fresh);
    }
    if (!step.empty())
        push(std::move(step));
}

void PictureEditHistory::push(Step step)
{
    steps_.erase(steps_.begin() + std::ptrdiff_t(done_), steps_.end());
    steps_.push_back(std::move(step));
    if (steps_.size() > kMaxSteps)
        steps_.pop_front();
    done_ = steps_.size();
}

std::vector<std::size_t> PictureEditHistory::swapStep(std::size_t stepIndex)
{
    std::vector<std::size_t> changed;
    for (Change& change : steps_[stepIndex]) {
        std::swap(states_[change.index], change.other);
        changed.push_back(change.index);
    }
    return changed;
}

std::vector<std::size_t> PictureEditHistory::undo()
{
    if (!canUndo())
        return {};
    --done_;
    return swapStep(done_);
}

std::vector<std::size_t> PictureEditHistory::redo()
{
    if (!canRedo())
        return {};
    return swapStep(done_++);
}

} // namespace orka
