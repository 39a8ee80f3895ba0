// Windows bitmaps of every accepted variant, at both depths, and the writer's round trip.
#include "FuzzLimits.h"
#include "orka/picture/BmpCodec.h"
#include "orka/picture/PictureError.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace orka;
    const std::span<const std::uint8_t> bytes(data, size);
    if (!fuzz::bmpSmallEnough(bytes))
        return 0;
    try {
        const DibPicture picture = decodeBmp(bytes, size % 2 == 0);
        const DibPicture back = decodeBmp(encodeBmp(picture), picture.bytesPerPixel() == 1);
        if (!(back.width() == picture.width() && back.height() == picture.height() &&
              back.bytesPerPixel() == picture.bytesPerPixel()))
            std::abort();
        for (std::uint32_t y = 0; y < picture.height(); ++y)
            for (std::size_t i = 0; i < std::size_t(picture.width()) * picture.bytesPerPixel(); ++i)
                if (back.row(y)[i] != picture.row(y)[i])
                    std::abort();
    } catch (const PictureError&) {
    }
    return 0;
}
