#pragma once
// JPEG reading and writing through libjpeg (API 62), from and to memory.
#include "orka/picture/DibPicture.h"

#include <cstdint>
#include <span>
#include <vector>

namespace orka {

struct JpegWriterSettings {
    int quality = 75;              // above 100 counts as 75
    std::uint8_t densityUnit = 0;  // 0 aspect ratio only, 1 dots per inch, 2 dots per cm
    std::uint16_t xDensity = 1;
    std::uint16_t yDensity = 1;
};

inline constexpr int kUploadJpegQuality = 85;

// The quality the writer really uses for a setting.
constexpr int effectiveJpegQuality(int setting) { return setting > 100 ? 75 : setting; }

// Decodes to a 3-byte picture (RGB output, fast integer DCT, no fancy upsampling, no
// block smoothing). Raises PictureError on any library error; nothing is kept then.
DibPicture decodeJpeg(std::span<const std::uint8_t> bytes);

// Encodes a picture (palette pictures through their palette) as a baseline-or-not JPEG of
// 3 RGB components with the library defaults and the given settings.
std::vector<std::uint8_t> encodeJpeg(const DibPicture& picture, const JpegWriterSettings& settings = {});

// The upload encoding: quality 85, into a buffer that grows in steps of 1024 bytes.
std::vector<std::uint8_t> encodeJpegForUpload(const DibPicture& picture);

} // namespace orka
