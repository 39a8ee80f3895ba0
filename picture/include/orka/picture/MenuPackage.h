#pragma once
// Main-menu packages (".pak"): an 18-byte header text, a table of 81 sizes and the 81
// encoded pictures back to back.
#include "orka/picture/DibPicture.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace orka {

inline constexpr std::size_t kMenuPackagePictures = 81;
inline constexpr std::size_t kMenuPackageHeaderSize = 18;
inline constexpr std::size_t kMenuPackageDataOffset = kMenuPackageHeaderSize + kMenuPackagePictures * 4;

// (b0 + b2 + 256 x (b1 + b3)) mod 65536 for the entry bytes b0 b1 b2 b3.
constexpr std::uint16_t menuPackageEntrySize(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3)
{
    return std::uint16_t((unsigned(b0) + b2 + 256u * (unsigned(b1) + b3)) % 65536u);
}

struct MenuPackage {
    std::string keptCharacters;                        // the two characters after the header's last "["
    std::vector<std::vector<std::uint8_t>> pictures;   // 81 encoded pictures, in table order
};

// Raises "檔案格式不正確." for a file shorter than its table or whose sizes run past its end.
MenuPackage readMenuPackage(std::span<const std::uint8_t> bytes);
MenuPackage readMenuPackageFile(const std::filesystem::path& file);

// Each picture through the picture decoders, the format told by its first bytes.
DibPicture decodeMenuPicture(std::span<const std::uint8_t> bytes);
std::vector<DibPicture> decodeMenuPackage(const MenuPackage& package);

} // namespace orka
