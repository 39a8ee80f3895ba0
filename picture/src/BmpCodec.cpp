#include "orka/picture/BmpCodec.h"

#include "orka/picture/PictureError.h"
#include "orka/common/ByteOrder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace orka {

namespace {

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

[[noreturn]] void fail(PictureMessage message)
{
    throw PictureError(message, PictureSource::Bmp);
}

using common::readLE16;
using common::readLE32;
using common::writeLE16;
using common::writeLE32;

// One channel of a bit-field pixel, scaled to 0..255.
struct Channel {
    std::uint32_t mask = 0;
    unsigned shift = 0;
    std::uint32_t max = 0;
    explicit Channel(std::uint32_t m = 0) : mask(m)
    {
        if (!mask)
            return;
        while (!((mask >> shift) & 1))
            ++shift;
        max = mask >> shift;
    }
    std::uint8_t operator()(std::uint32_t pixel) const
    {
        if (!max)
            return 0;
        const std::uint64_t v = (pixel & mask) >> shift;
        return std::uint8_t((v * 255 + max / 2) / max);
    }
};

struct Header {
    std::int64_t width = 0;
    std::int64_t height = 0;
    bool topDown = false;
    unsigned bitCount = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t colorsUsed = 0;
    std::size_t paletteOffset = 0;
    unsigned paletteEntrySize = 4;
    std::array<std::uint32_t, 3> masks{}; // red, green, blue
};

Header readHeader(std::span<const std::uint8_t> b)
{
    if (b.size() < 18 || b[0] != 'B' || b[1] != 'M')
        fail(PictureMessage::BadFormat);
    const std::uint32_t headerSize = readLE32(&b[14]);
    // Beyond the 12-, 40- and 64-byte headers of old, the 108- and 124-byte ones (with
    // colour-space fields) are read too: many programs write nothing else today.
    if (headerSize != 12 && headerSize != 40 && headerSize != 64 && headerSize != 108 && headerSize != 124)
        fail(PictureMessage::BadFormat);
    if (14 + std::size_t(headerSize) > b.size())
        fail(PictureMessage::BadFormat);
    Header h;
    h.paletteOffset = 14 + headerSize;
    if (headerSize == 12) {
        h.width = readLE16(&b[18]);
        h.height = readLE16(&b[20]);
        h.bitCount = readLE16(&b[24]);
        h.paletteEntrySize = 3;
    } else {
        h.width = std::int32_t(readLE32(&b[18]));
        h.height = std::int32_t(readLE32(&b[22]));
        h.bitCount = readLE16(&b[28]);
        h.compression = readLE32(&b[30]);
        h.colorsUsed = readLE32(&b[46]);
        if (headerSize == 64 && h.compression > kRle4)
            fail(PictureMessage::Unsupported); // the OS/2 Huffman and 24-bit run codings
        if (h.compression == kBitFields || h.compression == kAlphaBitFields) {
            if (headerSize >= 108) {
                h.masks = {readLE32(&b[54]), readLE32(&b[58]), readLE32(&b[62])};
            } else {
                const std::size_t masksSize = h.compression == kAlphaBitFields ? 16 : 12;
                if (h.paletteOffset + masksSize > b.size())
                    fail(PictureMessage::BadFormat);
                h.masks = {readLE32(&b[h.paletteOffset]), readLE32(&b[h.paletteOffset + 4]), readLE32(&b[h.paletteOffset + 8])};
                h.paletteOffset += masksSize;
            }
        }
    }
    if (h.height < 0) {
        h.topDown = true;
        h.height = -h.height;
    }
    if (h.width < 0)
        fail(PictureMessage::BadFormat);
    if (h.width == 0 || h.height == 0)
        fail(PictureMessage::NoImageData);
    if (!pictureSizeSupported(std::uint64_t(h.width), std::uint64_t(h.height)))
        fail(PictureMessage::Unsupported);
    switch (h.bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: fail(PictureMessage::Unsupported);
    }
    const bool ok = (h.compression == kRgb) || (h.compression == kRle8 && h.bitCount == 8) ||
                    (h.compression == kRle4 && h.bitCount == 4) ||
                    ((h.compression == kBitFields || h.compression == kAlphaBitFields) &&
                     (h.bitCount == 16 || h.bitCount == 32));
    if (!ok)
        fail(PictureMessage::Unsupported);
    if (h.topDown && (h.compression == kRle8 || h.compression == kRle4))
        fail(PictureMessage::BadFormat); // run-length bitmaps are always stored bottom-up
    if (h.compression == kRgb && h.bitCount == 16)
        h.masks = {0x7C00, 0x03E0, 0x001F};
    if (h.compression == kRgb && h.bitCount == 32)
        h.masks = {0xFF0000, 0x00FF00, 0x0000FF};
    return h;
}

std::vector<PaletteEntry> readPalette(std::span<const std::uint8_t> b, const Header& h)
{
    if (h.bitCount > 8)
        return {};
    const std::size_t full = std::size_t(1) << h.bitCount;
    std::size_t entries = h.colorsUsed == 0 ? full : std::min<std::size_t>(h.colorsUsed, full);
    // Writers that leave the count at 0 sometimes store fewer colours than the depth allows;
    // the table then ends where the pixels begin, and indices past it are caught later.
    const std::size_t pixelOffset = readLE32(&b[10]);
    if (h.colorsUsed == 0 && pixelOffset > h.paletteOffset)
        entries = std::min(entries, (pixelOffset - h.paletteOffset) / h.paletteEntrySize);
    if (h.paletteOffset + entries * h.paletteEntrySize > b.size())
        fail(PictureMessage::BadFormat);
    std::vector<PaletteEntry> palette(entries);
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t at = h.paletteOffset + i * h.paletteEntrySize;
        palette[i] = PaletteEntry{b[at + 2], b[at + 1], b[at], 0};
    }
    return palette;
}

// Colour indices of a bitmap of up to 8 bits, rows bottom-up as stored in the file.
std::vector<std::uint8_t> readIndexRows(std::span<const std::uint8_t> b, std::size_t offset, const Header& h)
{
    const std::size_t width = std::size_t(h.width), height = std::size_t(h.height);
    std::vector<std::uint8_t> indices(width * height, 0);
    if (h.compression == kRgb) {
        const std::size_t stride = (width * h.bitCount + 31) / 32 * 4;
        const std::size_t lastRow = (width * h.bitCount + 7) / 8;
        if (offset + stride * (height - 1) + lastRow > b.size())
            fail(PictureMessage::BadFormat);
        const unsigned perByte = 8 / h.bitCount;
        const unsigned valueMask = (1u << h.bitCount) - 1;
        for (std::size_t y = 0; y < height; ++y) {
            const std::uint8_t* row = b.data() + offset + y * stride;
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint8_t byte = row[x / perByte];
                const unsigned shift = 8 - h.bitCount * (unsigned(x % perByte) + 1);
                indices[y * width + x] = std::uint8_t((byte >> shift) & valueMask);
            }
        }
        return indices;
    }
    // Run-length coding: pairs (count, value) or escapes 0 0 end of line, 0 1 end of
    // bitmap, 0 2 dx dy move, 0 n followed by n literal pixels padded to a 16-bit boundary.
    // Some writers code the padding of each stored row too; pixels there are dropped, but a
    // run past the stored row is a broken file.
    const bool four = h.compression == kRle4;
    const std::size_t storedRow = (width * h.bitCount + 31) / 32 * 32 / h.bitCount;
    auto put = [&](std::size_t px, std::size_t py, std::uint8_t value) {
        if (px < width)
            indices[py * width + px] = value;
    };
    std::size_t pos = offset, x = 0, y = 0;
    while (pos + 1 < b.size() && y < height) {
        const unsigned count = b[pos], value = b[pos + 1];
        pos += 2;
        if (count > 0) {
            if (x + count > storedRow)
                fail(PictureMessage::BadFormat);
            for (unsigned i = 0; i < count; ++i)
                put(x + i, y, std::uint8_t(four ? (i % 2 ? value & 0xF : value >> 4) : value));
            x += count;
            continue;
        }
        if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (pos + 1 >= b.size())
                fail(PictureMessage::BadFormat);
            x += b[pos];
            y += b[pos + 1];
            pos += 2;
            if (x > storedRow)
                fail(PictureMessage::BadFormat);
        } else {
            const std::size_t literalBytes = four ? (value + 1) / 2 : value;
            if (x + value > storedRow || pos + literalBytes > b.size())
                fail(PictureMessage::BadFormat);
            for (unsigned i = 0; i < value; ++i) {
                const std::uint8_t byte = b[pos + (four ? i / 2 : i)];
                put(x + i, y, std::uint8_t(four ? (i % 2 ? byte & 0xF : byte >> 4) : byte));
            }
            x += value;
            pos += literalBytes + (literalBytes & 1);
        }
    }
    return indices;
}

} // namespace

DibPicture decodeBmp(std::span<const std::uint8_t> b, bool keepPalette)
{
    if (b.empty())
        fail(PictureMessage::NoImageData);
    const Header h = readHeader(b);
    const std::size_t offset = readLE32(&b[10]);
    if (offset >= b.size())
        fail(PictureMessage::BadFormat);
    const std::uint32_t width = std::uint32_t(h.width), height = std::uint32_t(h.height);
    auto destinationRow = [&](std::size_t fileRow) {
        return std::uint32_t(h.topDown ? fileRow : height - 1 - fileRow);
    };

    if (h.bitCount <= 8) {
        const std::vector<PaletteEntry> palette = readPalette(b, h);
        const std::vector<std::uint8_t> indices = readIndexRows(b, offset, h);
        for (std::uint8_t index : indices)
            if (index >= palette.size())
                fail(PictureMessage::BadFormat);
        DibPicture picture(int(width), int(height), keepPalette ? 1 : 3, false);
        if (keepPalette)
            std::copy(palette.begin(), palette.end(), picture.palette().begin());
        for (std::size_t fy = 0; fy < height; ++fy) {
            std::uint8_t* out = picture.row(destinationRow(fy));
            const std::uint8_t* in = indices.data() + fy * width;
            for (std::uint32_t x = 0; x < width; ++x) {
                if (keepPalette) {
                    out[x] = in[x];
                } else {
                    const PaletteEntry& e = palette[in[x]];
                    out[3 * x] = e.blue;
                    out[3 * x + 1] = e.green;
                    out[3 * x + 2] = e.red;
                }
            }
        }
        return picture;
    }

    const std::size_t bytesPerPixel = h.bitCount / 8;
    const std::size_t stride = (std::size_t(width) * h.bitCount + 31) / 32 * 4;
    if (offset + stride * (height - 1) + bytesPerPixel * width > b.size())
        fail(PictureMessage::BadFormat);
    DibPicture picture(int(width), int(height), 3, false);
    const Channel red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]);
    for (std::size_t fy = 0; fy < height; ++fy) {
        const std::uint8_t* in = b.data() + offset + fy * stride;
        std::uint8_t* out = picture.row(destinationRow(fy));
        for (std::uint32_t x = 0; x < width; ++x, in += bytesPerPixel, out += 3) {
            if (h.bitCount == 24) {
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
                continue;
            }
            const std::uint32_t pixel = h.bitCount == 16 ? std::uint32_t{readLE16(in)} : readLE32(in);
            out[0] = blue(pixel);
            out[1] = green(pixel);
            out[2] = red(pixel);
        }
    }
    return picture;
}

std::vector<std::uint8_t> encodeBmp(const DibPicture& picture)
{
    if (picture.empty())
        throw PictureError(PictureMessage::BadArguments, PictureSource::Bmp);
    const bool indexed = picture.bytesPerPixel() == 1;
    const std::uint32_t bitCount = indexed ? 8 : 24;
    const std::size_t stride = (std::size_t(picture.width()) * bitCount + 31) / 32 * 4;
    const std::size_t paletteSize = indexed ? 256 * 4 : 0;
    const std::size_t offset = 14 + 40 + paletteSize;
    const std::size_t total = offset + stride * picture.height();
    std::vector<std::uint8_t> out(total, 0);
    auto put16 = [&](std::size_t at, std::uint16_t v) { writeLE16(&out[at], v); };
    auto put32 = [&](std::size_t at, std::uint32_t v) { writeLE32(&out[at], v); };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, std::uint32_t(total));
    put32(10, std::uint32_t(offset));
    put32(14, 40);
    put32(18, picture.width());
    put32(22, picture.height());
    put16(26, 1);
    put16(28, bitCount);
    put32(30, kRgb);
    put32(34, std::uint32_t(stride * picture.height()));
    put32(46, indexed ? 256 : 0);
    if (indexed)
        for (std::size_t i = 0; i < 256; ++i) {
            const PaletteEntry& e = picture.palette()[i];
            out[54 + 4 * i] = e.blue;
            out[54 + 4 * i + 1] = e.green;
            out[54 + 4 * i + 2] = e.red;
        }
    const std::size_t rowBytes = std::size_t(picture.width()) * picture.bytesPerPixel();
    for (std::uint32_t y = 0; y < picture.height(); ++y)
        std::memcpy(out.data() + offset + std::size_t(picture.height() - 1 - y) * stride, picture.row(y), rowBytes);
    return out;
}

} // namespace orka
