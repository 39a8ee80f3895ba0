#pragma once
// Keeps fuzz runs inside their memory budget: pictures the readers would accept but that are
// too large to decode many times a second are skipped by a look at their declared size.
#include "orka/picture/GifCodec.h"
#include "orka/picture/PictureFile.h"
#include "orka/common/ByteOrder.h"

#include <cstdint>
#include <span>

namespace orka::fuzz {

constexpr std::uint64_t kMaxPixels = 1u << 20;

inline bool bmpSmallEnough(std::span<const std::uint8_t> b)
{
    if (b.size() < 26)
        return true;
    using common::readLE16;
    using common::readLE32;
    if (readLE32(&b[14]) == 12)
        return std::uint64_t{readLE16(&b[18])} * readLE16(&b[20]) <= kMaxPixels;
    const std::int64_t w = std::int32_t(readLE32(&b[18])), h = std::int32_t(readLE32(&b[22]));
    return std::uint64_t(w < 0 ? -w : w) * std::uint64_t(h < 0 ? -h : h) <= kMaxPixels;
}

inline bool jpegSmallEnough(std::span<const std::uint8_t> b)
{
    for (std::size_t i = 0; i + 9 < b.size(); ++i)
        if (b[i] == 0xFF && b[i + 1] >= 0xC0 && b[i + 1] <= 0xCF && b[i + 1] != 0xC4 && b[i + 1] != 0xC8 &&
            b[i + 1] != 0xCC) {
            const std::uint64_t h = common::readBE16(&b[i + 5]);
            const std::uint64_t w = common::readBE16(&b[i + 7]);
            if (w * h > kMaxPixels)
                return false;
        }
    return true;
}

inline bool gifSmallEnough(const GifAnimationReader& reader)
{
    if (std::uint64_t(reader.canvasWidth()) * reader.canvasHeight() > kMaxPixels)
        return false;
    for (std::size_t i = 0; i < reader.frameCount(); ++i)
        if (std::uint64_t(reader.frame(i).width) * reader.frame(i).height > kMaxPixels)
            return false;
    return true;
}

inline bool smallEnough(std::span<const std::uint8_t> b, PictureFormat format)
{
    switch (format) {
    case PictureFormat::Bmp: return bmpSmallEnough(b);
    case PictureFormat::Jpeg: return jpegSmallEnough(b);
    case PictureFormat::Gif:
        try {
            return gifSmallEnough(GifAnimationReader(std::vector<std::uint8_t>(b.begin(), b.end())));
        } catch (...) {
            return true; // the reader refuses it again, cleanly
        }
    }
    return true;
}

} // namespace orka::fuzz
