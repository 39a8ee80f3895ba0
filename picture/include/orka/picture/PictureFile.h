#pragma once
// Pictures to and from files and the byte forms the handset takes.
#include "orka/picture/DibPicture.h"
#include "orka/picture/JpegCodec.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace orka {

enum class PictureFormat { Bmp, Jpeg, Gif };

// The kinds a picture is saved as: 0 bitmap, 1 JPEG, 2 GIF.
enum class SaveKind : int { Bmp = 0, Jpeg = 1, Gif = 2 };

// By the name's extension, without regard to case: ".bmp"; ".jpg", ".jpeg", ".jpe"; ".gif".
std::optional<PictureFormat> formatForFileName(const std::filesystem::path& file);
// By the first bytes: "BM", FF D8, "GIF8".
std::optional<PictureFormat> formatForBytes(std::span<const std::uint8_t> bytes);

// The whole file; raises "開啟檔案"%s"失敗" when it cannot be read and "檔案格式不支援."
// for files too large to be pictures.
std::vector<std::uint8_t> readPictureFile(const std::filesystem::path& file);

// Decodes by format. GIF gives its first frame as shown. With keepPalette, bitmaps of up
// to 8 bits and GIF frames come back at 1 byte per pixel with their palette.
DibPicture decodePicture(std::span<const std::uint8_t> bytes, PictureFormat format, bool keepPalette = false);

// Reads a picture file, choosing the reader by extension ("參數錯誤." for an empty name,
// "檔案格式不支援." for an unknown extension).
DibPicture loadPicture(const std::filesystem::path& file, bool keepPalette = false);

std::vector<std::uint8_t> encodePicture(const DibPicture& picture, PictureFormat format,
                                        const JpegWriterSettings& jpeg = {});

// Writes the picture as `kind`, appending ".bmp", ".jpg" or ".gif" unless the name already
// ends so; returns the file written. The file is replaced whole or not at all.
std::filesystem::path savePicture(const DibPicture& picture, const std::filesystem::path& name, SaveKind kind,
                                  const JpegWriterSettings& jpeg = {});
// Writes the bytes to the file as a whole ("寫入檔案"%s"失敗" when that fails).
void writePictureFile(const std::filesystem::path& file, std::span<const std::uint8_t> bytes);

// What an upload of store type 2 (wallpaper), 3 (main-menu picture) or 4 (caller photo)
// sends: JPEG at quality 85 for 2 and 3; for 4 the raw pixels, two bytes each, low byte
// first: (red & 0xF8) * 256 + (green & 0xFC) * 8 + blue / 8, rows top to bottom.
std::vector<std::uint8_t> uploadBytes(const DibPicture& picture, int storeType);
std::vector<std::uint8_t> callerPhotoBytes(const DibPicture& picture);

} // namespace orka
