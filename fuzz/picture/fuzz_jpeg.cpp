// JPEG through libjpeg with our own error, source and destination managers.
#include "FuzzLimits.h"
#include "orka/picture/JpegCodec.h"
#include "orka/picture/PictureError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace orka;
    const std::span<const std::uint8_t> bytes(data, size);
    if (!fuzz::jpegSmallEnough(bytes))
        return 0;
    try {
        const DibPicture picture = decodeJpeg(bytes);
        if (picture.width() * picture.height() <= 4096)
            decodeJpeg(encodeJpeg(picture));
    } catch (const PictureError&) {
    }
    return 0;
}
