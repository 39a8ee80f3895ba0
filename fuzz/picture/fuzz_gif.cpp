// GIF: the frame index over arbitrary bytes, every frame composed, and the first written back.
#include "FuzzLimits.h"
#include "orka/picture/PictureError.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace orka;
    try {
        GifAnimationReader reader(std::vector<std::uint8_t>(data, data + size));
        if (!fuzz::gifSmallEnough(reader))
            return 0;
        const std::size_t frames = std::min<std::size_t>(reader.frameCount(), 32);
        DibPicture first;
        for (std::size_t i = 0; i < frames; ++i) {
            DibPicture shown = reader.decodeFrame(i);
            if (shown.width() != reader.canvasWidth() || shown.height() != reader.canvasHeight())
                std::abort();
            if (i == 0)
                first = std::move(shown);
        }
        reader.decodeFrameIndexed(0);
        if (first.width() * first.height() <= 4096) {
            // What we write, we read back the same where it was drawn.
            GifAnimationReader again(encodeGif(first));
            const DibPicture back = again.decodeFrame(0);
            for (std::uint32_t y = 0; y < first.height(); ++y)
                for (std::uint32_t x = 0; x < first.width(); ++x)
                    if (first.maskRow(y)[x] != back.maskRow(y)[x])
                        std::abort();
        }
    } catch (const PictureError&) {
    }
    return 0;
}
