#include "orka/app/AnimationDraft.h"

#include <utility>

namespace orka::app {
namespace {

const std::vector<AnimationFrame>& framesOf(const GalleryItem& item)
{
    return std::get<AnimationContent>(item.content).frames;
}

} // namespace

AnimationDraft::AnimationDraft(int folderId, std::size_t row, const GalleryItem& item)
    : folderId_(folderId), row_(row), taken_(item), draft_(item)
{
}

const std::vector<AnimationFrame>& AnimationDraft::frames() const { return framesOf(draft_); }

bool AnimationDraft::moveFrame(std::size_t from, int step)
{
    auto& frames = std::get<AnimationContent>(draft_.content).frames;
    const auto to = std::ptrdiff_t(from) + step;
    if (from >= frames.size() || to < 0 || to >= std::ptrdiff_t(frames.size()))
        return false;
    std::swap(frames[from], frames[std::size_t(to)]);
    return true;
}

bool AnimationDraft::changed() const { return draft_.content != taken_.content; }

bool AnimationDraft::cameFrom(const GalleryItem& stored) const
{
    return stored.stamp == taken_.stamp && stored.content == taken_.content;
}

std::optional<std::size_t> AnimationDraft::rowIn(const FolderNode& folder) const
{
    if (row_ < folder.items.size() && cameFrom(folder.items[row_]))
        return row_;
    for (std::size_t row = 0; row < folder.items.size(); ++row)
        if (cameFrom(folder.items[row]))
            return row;
    return std::nullopt;
}

void AnimationDraft::saved(std::size_t row, const GalleryItem& stored)
{
    row_ = row;
    taken_ = stored;
    draft_.name = stored.name;
}

} // namespace orka::app
