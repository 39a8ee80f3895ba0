#pragma once
// Opening an animation for the capture page, where every frame is decoded for the frame
// strip and kept.
#include "orka/picture/Animation.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace orka {

// The most bytes the decoded frames of one animation may take together (3 bytes a pixel and
// the mask plane): a 100-frame animation of 1600 x 1200 pixels still opens.
inline constexpr std::uint64_t kMostAnimationFrameBytes = std::uint64_t{1} << 30;

// Like Animation::fromBytes ("非有效動畫檔案，畫格數少於5。" below five frames), and raises
// "記憶體不足." before decoding anything when all frames together would pass the budget.
Animation openAnimationForCapture(std::vector<std::uint8_t> bytes);
Animation openAnimationForCapture(const std::filesystem::path& file);

} // namespace orka
