#pragma once
// Windows bitmap reading and writing.
#include "orka/picture/DibPicture.h"

#include <cstdint>
#include <span>
#include <vector>

namespace orka {

// Reads "BM" files with information headers of 12, 40, 64, 108 or 124 bytes: 1, 4 and 8
// bits through the colour table (also run-length coded, 8 and 4 bits), 16 bits (5-5-5 or
// bit fields), 24 bits, and 32 bits (plain or bit fields). With keepPalette, pictures of up
// to 8 bits come back at 1 byte per pixel with their palette; otherwise at 3 bytes.
DibPicture decodeBmp(std::span<const std::uint8_t> bytes, bool keepPalette = false);

// A 24-bit bitmap for 3-byte pictures, an 8-bit one with its 256 colours for palette
// pictures; 40-byte information header, rows bottom to top.
std::vector<std::uint8_t> encodeBmp(const DibPicture& picture);

} // namespace orka
