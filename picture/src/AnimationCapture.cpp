#include "orka/picture/AnimationCapture.h"

#include "orka/picture/PictureError.h"
#include "orka/picture/PictureFile.h"

namespace orka {

namespace {
constexpr std::uint64_t kBytesPerDecodedPixel = 4; // blue, green, red and the mask
}

Animation openAnimationForCapture(std::vector<std::uint8_t> bytes)
{
    {
        // The frame index alone is cheap; it tells the canvas size and frame count.
        const GifAnimationReader index(bytes);
        const std::uint64_t padded = std::uint64_t(index.canvasWidth()) + rowPaddingFor(index.canvasWidth());
        const std::uint64_t frameBytes = padded * index.canvasHeight() * kBytesPerDecodedPixel;
        if (index.frameCount() >= std::size_t(kAnimationFrames) &&
            frameBytes * index.frameCount() > kMostAnimationFrameBytes)
            throw PictureError(PictureMessage::OutOfMemory, PictureSource::Animation);
    }
    return Animation::fromBytes(std::move(bytes));
}

Animation openAnimationForCapture(const std::filesystem::path& file)
{
    return openAnimationForCapture(readPictureFile(file));
}

} // namespace orka
