#pragma once
// The in-memory picture: a top-down device-independent bitmap, 3 bytes per pixel (blue,
// green, red) or 1 byte per pixel into a 256-entry palette, every row padded in whole
// pixels to a multiple of 4 pixels, with an optional 8-bit mask plane of the same layout.
// The pixels are plain memory so a drawing layer can wrap them without copying.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orka {

// One logical palette entry, in the order the drawing layer expects.
struct PaletteEntry {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t flags = 0;
    friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

using Palette = std::array<PaletteEntry, 256>;

class DibPicture {
public:
    static constexpr std::uint16_t kPaletteVersion = 0x300;

    DibPicture() = default;
    DibPicture(int width, int height, int bytesPerPixel, bool withMask = false)
    {
        create(width, height, bytesPerPixel, withMask);
    }

    // Drops any previous content. Negative sizes count as 0 and either size 0 leaves the
    // picture empty. Raises "參數錯誤." for a depth other than 1 or 3, "檔案格式不支援."
    // above the largest side and "記憶體不足." when the memory cannot be had. Pixels,
    // mask and palette start zeroed.
    void create(int width, int height, int bytesPerPixel, bool withMask = false);
    void release();

    bool empty() const { return width_ == 0 || height_ == 0; }
    std::uint32_t width() const { return width_; }
    std::uint32_t height() const { return height_; }
    std::uint32_t rowPadding() const { return rowPadding_; }
    std::uint8_t bytesPerPixel() const { return bytesPerPixel_; }
    // Pixels per stored row (width + padding) and bytes per stored row.
    std::uint32_t paddedWidth() const { return width_ + rowPadding_; }
    std::size_t stride() const { return std::size_t(paddedWidth()) * bytesPerPixel_; }
    std::size_t maskStride() const { return paddedWidth(); }

    std::uint8_t* pixels() { return pixels_.empty() ? nullptr : pixels_.data(); }
    const std::uint8_t* pixels() const { return pixels_.empty() ? nullptr : pixels_.data(); }
    std::uint8_t* row(std::uint32_t y) { return pixels_.data() + stride() * y; }
    const std::uint8_t* row(std::uint32_t y) const { return pixels_.data() + stride() * y; }
    std::size_t pixelBytes() const { return pixels_.size(); }

    bool hasMask() const { return !mask_.empty(); }
    std::uint8_t* mask() { return mask_.empty() ? nullptr : mask_.data(); }
    const std::uint8_t* mask() const { return mask_.empty() ? nullptr : mask_.data(); }
    std::uint8_t* maskRow(std::uint32_t y) { return mask_.data() + maskStride() * y; }
    const std::uint8_t* maskRow(std::uint32_t y) const { return mask_.data() + maskStride() * y; }

    bool hasPalette() const { return hasPalette_; }
    Palette& palette() { return palette_; }
    const Palette& palette() const { return palette_; }

    // A 3-byte copy: palette pictures are expanded through their palette, the mask is kept.
    DibPicture toRgb() const;

    friend bool operator==(const DibPicture&, const DibPicture&) = default;

private:
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    std::uint32_t rowPadding_ = 0;
    std::uint8_t bytesPerPixel_ = 3;
    std::vector<std::uint8_t> pixels_;
    std::vector<std::uint8_t> mask_;
    bool hasPalette_ = false;
    Palette palette_{};
};

// (4 − width mod 4) mod 4: the pixels that pad a row to a multiple of 4.
constexpr std::uint32_t rowPaddingFor(std::uint32_t width) { return (4 - width % 4) % 4; }

} // namespace orka
