// JPEG through libjpeg with our own error, source and destination managers. An accepted
// picture, encoded again and decoded, keeps its size; made flat in each 16 x 16 cell, it comes
// back within rounding of every pixel.
#include "FuzzLimits.h"
#include "orka/picture/JpegCodec.h"
#include "orka/picture/PictureError.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

// How close a re-encoding comes depends on the picture. The reader uses the fast integer
// DCT, which on hard-edged detail written at quality 100 can move pixels by 200 and more (its
// results wrap past the sample range), and the writer keeps colour at half resolution, so
// noisy colours clip. Neither touches a picture that is flat within each 16 x 16 cell, the
// largest block the writer's default sampling codes as one: there only the colour conversion
// rounds, by 1 on every picture the fuzzer has made. So the fuzzer's pictures are checked
// pixel by pixel in that form: a swapped channel, a shifted row or a wrong stride shows at once.
constexpr std::uint32_t kFlatCell = 16;
constexpr int kFlatTolerance = 2;
constexpr int kReencodeQuality = 100;

// Each cell of the picture painted with its own average colour.
orka::DibPicture flatInCells(const orka::DibPicture& source)
{
    orka::DibPicture flat(int(source.width()), int(source.height()), 3);
    for (std::uint32_t top = 0; top < source.height(); top += kFlatCell)
        for (std::uint32_t left = 0; left < source.width(); left += kFlatCell) {
            const std::uint32_t bottom = std::min(top + kFlatCell, source.height());
            const std::uint32_t right = std::min(left + kFlatCell, source.width());
            const std::uint32_t count = (bottom - top) * (right - left);
            std::uint32_t sum[3] = {0, 0, 0};
            for (std::uint32_t y = top; y < bottom; ++y)
                for (std::uint32_t x = left; x < right; ++x)
                    for (int c = 0; c < 3; ++c)
                        sum[c] += source.row(y)[3 * x + c];
            for (std::uint32_t y = top; y < bottom; ++y)
                for (std::uint32_t x = left; x < right; ++x)
                    for (int c = 0; c < 3; ++c)
                        flat.row(y)[3 * x + c] = std::uint8_t((sum[c] + count / 2) / count);
        }
    return flat;
}

orka::DibPicture reencoded(const orka::DibPicture& picture)
{
    const orka::DibPicture again = orka::decodeJpeg(orka::encodeJpeg(picture, orka::JpegWriterSettings{kReencodeQuality}));
    if (again.width() != picture.width() || again.height() != picture.height() || again.bytesPerPixel() != 3)
        std::abort();
    return again;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace orka;
    const std::span<const std::uint8_t> bytes(data, size);
    if (!fuzz::jpegSmallEnough(bytes))
        return 0;
    DibPicture first;
    try {
        first = decodeJpeg(bytes);
    } catch (const PictureError&) {
        return 0;
    }
    if (first.width() * first.height() > 4096)
        return 0;
    // What the decoder accepted, the encoder must write and the decoder read back.
    reencoded(first);
    const DibPicture flat = flatInCells(first);
    const DibPicture second = reencoded(flat);
    for (std::uint32_t y = 0; y < flat.height(); ++y)
        for (std::uint32_t i = 0; i < 3 * flat.width(); ++i)
            if (std::abs(int(flat.row(y)[i]) - int(second.row(y)[i])) > kFlatTolerance)
                std::abort();
    return 0;
}
