#pragma once
// GIF reading (a frame index built over the whole file, frames decoded on demand) and
// GIF89a writing.
#include "orka/picture/DibPicture.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace orka {

// A colour table entry as the reader keeps it: red, green, blue, 0.
struct GifColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t zero = 0;
    friend bool operator==(const GifColor&, const GifColor&) = default;
};

// One entry of the frame index.
struct GifFrameInfo {
    std::size_t controlOffset = 0;     // offset of its graphic-control extension, 0 when none
    std::size_t descriptorOffset = 0;  // offset of its image descriptor (the 0x2C byte)
    std::uint16_t delay = 0;           // hundredths of a second
    std::uint8_t disposal = 0;
    bool userInput = false;
    std::optional<std::uint8_t> transparentIndex;
    std::uint16_t left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    std::vector<GifColor> localTable;
    std::size_t dataOffset = 0;        // offset of the LZW minimum code size byte
};

class GifAnimationReader {
public:
    // Builds the frame index. Raises "檔案格式不正確." for a wrong signature or a file
    // without any image and "檔案格式不支援." for sides above the largest supported.
    explicit GifAnimationReader(std::vector<std::uint8_t> bytes);
    static GifAnimationReader open(const std::filesystem::path& file);

    std::uint16_t screenWidth() const { return screenWidth_; }
    std::uint16_t screenHeight() const { return screenHeight_; }
    // The size frames are composed on: the logical screen, or the first frame's extent
    // when the screen declares no size.
    std::uint32_t canvasWidth() const { return canvasWidth_; }
    std::uint32_t canvasHeight() const { return canvasHeight_; }
    std::uint8_t backgroundIndex() const { return backgroundIndex_; }
    const std::vector<GifColor>& globalTable() const { return globalTable_; }
    std::size_t frameCount() const { return frames_.size(); }
    const GifFrameInfo& frame(std::size_t index) const { return frames_.at(index); }

    // The whole canvas as it shows frame `index` (earlier frames composed under it by their
    // disposal methods): 3 bytes per pixel with a mask, 0 where nothing was drawn.
    DibPicture decodeFrame(std::size_t index);
    // Frame `index` alone, at its own size, 1 byte per pixel with its colour table.
    DibPicture decodeFrameIndexed(std::size_t index) const;

private:
    struct DecodedFrame {
        std::vector<std::uint8_t> indices;  // width x height, rows top to bottom
        std::vector<std::uint32_t> rowsHave; // per row, how many pixels the stream reached
    };
    DecodedFrame decodeIndices(const GifFrameInfo& frame) const;
    const std::vector<GifColor>& tableFor(const GifFrameInfo& frame) const;
    DibPicture composeFrame(std::size_t index);
    void resetCanvas();
    void drawFrame(std::size_t index);
    void disposeFrame(std::size_t index);

    std::vector<std::uint8_t> bytes_;
    std::uint16_t screenWidth_ = 0, screenHeight_ = 0;
    std::uint32_t canvasWidth_ = 0, canvasHeight_ = 0;
    std::uint8_t backgroundIndex_ = 0;
    std::vector<GifColor> globalTable_;
    std::vector<GifFrameInfo> frames_;

    // Composition state: the canvas after frame `composed_ - 1`.
    DibPicture canvas_;
    DibPicture beforeLast_;
    std::size_t composed_ = 0;
};

// Writes a GIF89a stream call by call; calls out of order raise "內部運作錯誤.".
class GifWriter {
public:
    void putScreen(std::uint16_t width, std::uint16_t height, std::span<const GifColor> table,
                   std::uint8_t backgroundIndex);
    // transparentIndex outside 0 to 255 means none.
    void putGraphicControl(unsigned disposal, bool userInput, std::uint16_t delay, int transparentIndex);
    void putImageDescriptor(std::uint16_t left, std::uint16_t top, std::uint16_t width, std::uint16_t height,
                            std::span<const GifColor> localTable, bool interlaced);
    // One row of colour indices, rows top to bottom; the last row codes the frame.
    void putPixelLine(std::span<const std::uint8_t> indices);
    // Ends the stream with the trailer and hands over the bytes.
    std::vector<std::uint8_t> finish();

private:
    enum class State { Start, Ready, Control, Lines, Done };
    void put16(std::uint16_t value);
    void putTable(std::span<const GifColor> table, unsigned bits);

    State state_ = State::Start;
    std::vector<std::uint8_t> out_;
    unsigned globalBits_ = 0;
    bool hasGlobal_ = false;
    std::uint16_t frameWidth_ = 0, frameHeight_ = 0;
    unsigned frameBits_ = 8;
    bool interlaced_ = false;
    std::vector<std::uint8_t> frameIndices_;
    std::uint32_t linesReceived_ = 0;
};

// Smallest bits with 2^bits >= count, at least 1 and at most 8.
unsigned gifBitsForColors(std::size_t count);

// LZW of GIF (up to 12-bit codes). Decoding stops at the end code or the end of data; a
// code that is not yet defined raises "檔案格式不正確.".
std::vector<std::uint8_t> gifLzwDecode(std::span<const std::uint8_t> data, unsigned minCodeSize,
                                       std::size_t pixelCount);
std::vector<std::uint8_t> gifLzwEncode(std::span<const std::uint8_t> indices, unsigned minCodeSize);

// A whole picture as a one-frame GIF: palette pictures keep their palette; 3-byte
// pictures use their own colours when there are at most 256 of them, else a median-cut
// palette. Mask pixels of 0 become a transparent index.
std::vector<std::uint8_t> encodeGif(const DibPicture& picture);

// Frames with their delays (hundredths of a second) as an animated GIF, each frame with a
// colour table of its own, drawn over the previous one from the top left corner.
std::vector<std::uint8_t> encodeAnimationGif(std::span<const DibPicture> frames, std::span<const int> delays);

} // namespace orka
