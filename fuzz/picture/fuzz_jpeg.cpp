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

// How far a re-encoding may move a picture depends on the picture. A smooth one moves by
// rounding only (under 3 on a 0-255 scale for any picture tried). Fine detail moves further:
// the fast integer DCT the reader uses loses precision on the highest frequencies, and the
// library's default sampling halves the colour resolution, so where colours change from pixel
// to pixel the decoder clips the shared colour and each channel's average drifts. So the
// allowance grows with the picture's roughness, the mean step between neighbouring pixels:
// the worst pictures the fuzzer found move by 0.41 of their roughness (a noisy 16 x 86 picture
// of roughness 70 by 29 in brightness); a swapped or shifted channel of a smooth picture is
// still caught.
constexpr double kSmoothPictureTolerance = 3.0;
constexpr double kToleranceShareOfRoughness = 1.0;
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

// Mean absolute step between horizontal and vertical neighbours, of the roughest channel.
double roughness(const orka::DibPicture& a)
{
    double roughest = 0;
    for (int channel = 0; channel < 3; ++channel) {
        std::uint64_t sum = 0, steps = 0;
        for (std::uint32_t y = 0; y < a.height(); ++y)
            for (std::uint32_t x = 0; x < a.width(); ++x) {
                const int here = a.row(y)[3 * x + channel];
                if (x + 1 < a.width()) {
                    sum += static_cast<std::uint64_t>(std::abs(here - a.row(y)[3 * x + 3 + channel]));
                    ++steps;
                }
                if (y + 1 < a.height()) {
                    sum += static_cast<std::uint64_t>(std::abs(here - a.row(y + 1)[3 * x + channel]));
                    ++steps;
                }
            }
        if (steps != 0)
            roughest = std::max(roughest, static_cast<double>(sum) / double(steps));
    }
    return roughest;
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
    const double tolerance = kSmoothPictureTolerance + kToleranceShareOfRoughness * roughness(first);
    if (meanLumaError(first, second) > tolerance || largestChannelMeanShift(first, second) > tolerance)
        std::abort();
    return 0;
}
