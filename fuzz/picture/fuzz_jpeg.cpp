// JPEG through libjpeg with our own error, source and destination managers. An accepted
// picture, encoded again and decoded, keeps its size and stays close to the first decode.
#include "FuzzLimits.h"
#include "orka/picture/JpegCodec.h"
#include "orka/picture/PictureError.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

// The library's default sampling halves the colour resolution, so colours of a noisy picture
// may move far; brightness is kept at full resolution, but the fast integer DCT the reader
// uses loses precision on the highest frequencies. A black-and-white checkerboard, the worst
// case, moves the brightness of a small picture by up to 22 on average (0-255 scale) at
// quality 100; ordinary pictures by 1 or 2. The average of each colour, which a swapped or
// shifted channel would break, moves by under 7 for any picture tried.
constexpr double kMaxMeanLumaError = 32.0;
constexpr double kMaxChannelMeanShift = 12.0;
constexpr int kReencodeQuality = 100;

int luma(const std::uint8_t* rgb) { return (299 * rgb[0] + 587 * rgb[1] + 114 * rgb[2]) / 1000; }

double meanLumaError(const orka::DibPicture& a, const orka::DibPicture& b)
{
    std::uint64_t sum = 0;
    for (std::uint32_t y = 0; y < a.height(); ++y)
        for (std::uint32_t x = 0; x < a.width(); ++x)
            sum += static_cast<std::uint64_t>(std::abs(luma(a.row(y) + 3 * x) - luma(b.row(y) + 3 * x)));
    return static_cast<double>(sum) / (double(a.width()) * a.height());
}

double largestChannelMeanShift(const orka::DibPicture& a, const orka::DibPicture& b)
{
    double largest = 0;
    for (int channel = 0; channel < 3; ++channel) {
        std::int64_t sum = 0;
        for (std::uint32_t y = 0; y < a.height(); ++y)
            for (std::uint32_t x = 0; x < a.width(); ++x)
                sum += int(a.row(y)[3 * x + channel]) - int(b.row(y)[3 * x + channel]);
        largest = std::max(largest, std::abs(static_cast<double>(sum)) / (double(a.width()) * a.height()));
    }
    return largest;
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
    const DibPicture second = decodeJpeg(encodeJpeg(first, JpegWriterSettings{kReencodeQuality}));
    if (second.width() != first.width() || second.height() != first.height() || second.bytesPerPixel() != 3)
        std::abort();
    if (meanLumaError(first, second) > kMaxMeanLumaError || largestChannelMeanShift(first, second) > kMaxChannelMeanShift)
        std::abort();
    return 0;
}
