#include "orka/picture/GifCodec.h"
#include "orka/picture/PictureError.h"
#include "orka/common/ByteOrder.h"
#include "orka/picture/PictureFile.h"

#include <algorithm>
#include <cstring>

namespace orka {

namespace {

constexpr std::uint8_t kExtension = 0x21;
constexpr std::uint8_t kImageDescriptor = 0x2C;
constexpr std::uint8_t kTrailer = 0x3B;
constexpr std::uint8_t kGraphicControl = 0xF9;
constexpr std::size_t kNoOffset = std::size_t(-1);

std::uint16_t read16(const std::vector<std::uint8_t>& b, std::size_t at) { return common::readLE16(&b[at]); }

// The offset after a chain of sub-blocks starting at `at`, or kNoOffset when the data ends
// before the terminating zero-length block.
std::size_t skipSubBlocks(const std::vector<std::uint8_t>& b, std::size_t at)
{
    while (at < b.size()) {
        const std::size_t length = b[at++];
        if (length == 0)
            return at;
        at += length;
    }
    return kNoOffset;
}

std::vector<GifColor> readTable(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t entries)
{
    std::vector<GifColor> table(entries);
    for (std::size_t i = 0; i < entries; ++i)
        table[i] = GifColor{b[at + 3 * i], b[at + 3 * i + 1], b[at + 3 * i + 2], 0};
    return table;
}

// Files without any colour table fall back to a grey ramp, as GIF decoders customarily do.
const std::vector<GifColor>& greyRamp()
{
    static const std::vector<GifColor> ramp = [] {
        std::vector<GifColor> t(256);
        for (unsigned i = 0; i < 256; ++i)
            t[i] = GifColor{std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0};
        return t;
    }();
    return ramp;
}

} // namespace

GifAnimationReader::GifAnimationReader(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes))
{
    const auto& b = bytes_;
    if (b.empty())
        throw PictureError(PictureMessage::NoImageData, PictureSource::Gif);
    if (b.size() < 13 || (std::memcmp(b.data(), "GIF87a", 6) != 0 && std::memcmp(b.data(), "GIF89a", 6) != 0))
        throw PictureError(PictureMessage::BadFormat, PictureSource::Gif);
    screenWidth_ = read16(b, 6);
    screenHeight_ = read16(b, 8);
    const std::uint8_t packed = b[10];
    backgroundIndex_ = b[11];
    std::size_t pos = 13;
    if (packed & 0x80) {
        const std::size_t entries = std::size_t(2) << (packed & 7);
        if (pos + 3 * entries > b.size())
            throw PictureError(PictureMessage::BadFormat, PictureSource::Gif);
        globalTable_ = readTable(b, pos, entries);
        pos += 3 * entries;
    }

    // A graphic-control extension governs only the next image; a frame without one of
    // its own has no delay and no transparency.
    std::optional<GifFrameInfo> pendingControl;
    while (pos < b.size()) {
        const std::uint8_t kind = b[pos];
        if (kind == kTrailer)
            break;
        if (kind == kExtension) {
            if (pos + 2 > b.size())
                break;
            const std::size_t start = pos;
            const std::uint8_t label = b[pos + 1];
            if (label == kGraphicControl && pos + 7 <= b.size() && b[pos + 2] >= 4) {
                GifFrameInfo control;
                control.controlOffset = start;
                const std::uint8_t flags = b[pos + 3];
                control.disposal = (flags >> 2) & 7;
                control.userInput = (flags & 2) != 0;
                control.delay = read16(b, pos + 4);
                if (flags & 1)
                    control.transparentIndex = b[pos + 6];
                pendingControl = control;
            }
            pos = skipSubBlocks(b, pos + 2);
            if (pos == kNoOffset)
                break;
            continue;
        }
        if (kind != kImageDescriptor)
            break; // anything else ends the stream as a trailer would
        if (pos + 10 > b.size())
            break;
        GifFrameInfo frame = pendingControl.value_or(GifFrameInfo{});
        pendingControl.reset();
        frame.descriptorOffset = pos;
        frame.left = read16(b, pos + 1);
        frame.top = read16(b, pos + 3);
        frame.width = read16(b, pos + 5);
        frame.height = read16(b, pos + 7);
        const std::uint8_t flags = b[pos + 9];
        frame.interlaced = (flags & 0x40) != 0;
        if (!pictureSizeSupported(frame.width, frame.height))
            throw PictureError(PictureMessage::Unsupported, PictureSource::Gif);
        pos += 10;
        if (flags & 0x80) {
            const std::size_t entries = std::size_t(2) << (flags & 7);
            if (pos + 3 * entries > b.size())
                break;
            frame.localTable = readTable(b, pos, entries);
            pos += 3 * entries;
        }
        if (pos >= b.size())
            break;
        frame.dataOffset = pos;
        frames_.push_back(std::move(frame));
        pos = skipSubBlocks(b, pos + 1);
        if (pos == kNoOffset)
            break; // a truncated last frame is kept: it decodes as far as its data goes
    }
    if (frames_.empty())
        throw PictureError(PictureMessage::BadFormat, PictureSource::Gif);

    canvasWidth_ = screenWidth_;
    canvasHeight_ = screenHeight_;
    if (canvasWidth_ == 0 || canvasHeight_ == 0) {
        canvasWidth_ = std::uint32_t(frames_[0].left) + frames_[0].width;
        canvasHeight_ = std::uint32_t(frames_[0].top) + frames_[0].height;
    }
    if (!pictureSizeSupported(canvasWidth_, canvasHeight_))
        throw PictureError(PictureMessage::Unsupported, PictureSource::Gif);
    if (canvasWidth_ == 0 || canvasHeight_ == 0)
        throw PictureError(PictureMessage::NoImageData, PictureSource::Gif);
}

GifAnimationReader GifAnimationReader::open(const std::filesystem::path& file)
{
    return GifAnimationReader(readPictureFile(file));
}

const std::vector<GifColor>& GifAnimationReader::tableFor(const GifFrameInfo& frame) const
{
    if (!frame.localTable.empty())
        return frame.localTable;
    if (!globalTable_.empty())
        return globalTable_;
    return greyRamp();
}

GifAnimationReader::DecodedFrame GifAnimationReader::decodeIndices(const GifFrameInfo& frame) const
{
    const std::size_t count = std::size_t(frame.width) * frame.height;
    const std::uint8_t minCodeSize = bytes_[frame.dataOffset];
    const std::span<const std::uint8_t> data(bytes_.data() + frame.dataOffset + 1,
                                             bytes_.size() - frame.dataOffset - 1);
    std::vector<std::uint8_t> stream = gifLzwDecode(data, minCodeSize, count);
    const std::size_t tableSize = tableFor(frame).size();
    for (std::uint8_t index : stream)
        if (index >= tableSize)
            throw PictureError(PictureMessage::BadFormat, PictureSource::Gif);
    DecodedFrame decoded;
    decoded.rowsHave.assign(frame.height, 0);
    if (!frame.interlaced) {
        const std::size_t have = stream.size();
        for (std::uint32_t y = 0; y < frame.height; ++y) {
            const std::size_t start = std::size_t(y) * frame.width;
            decoded.rowsHave[y] = std::uint32_t(std::min<std::size_t>(frame.width, have > start ? have - start : 0));
        }
        decoded.indices = std::move(stream); // rows past the stream's end stay undrawn, so need no room
        return decoded;
    }
    // Rows of an interlaced frame arrive in four passes: every 8th from 0, every 8th from
    // 4, every 4th from 2, every 2nd from 1. A short stream leaves the rest undrawn.
    decoded.indices.assign(count, 0);
    static constexpr unsigned kStart[4] = {0, 4, 2, 1};
    static constexpr unsigned kStep[4] = {8, 8, 4, 2};
    std::size_t from = 0;
    for (int pass = 0; pass < 4; ++pass)
        for (std::uint32_t y = kStart[pass]; y < frame.height && from < stream.size(); y += kStep[pass]) {
            const std::size_t n = std::min<std::size_t>(frame.width, stream.size() - from);
            std::copy_n(stream.begin() + std::ptrdiff_t(from), n,
                        decoded.indices.begin() + std::ptrdiff_t(std::size_t(y) * frame.width));
            decoded.rowsHave[y] = std::uint32_t(n);
            from += n;
        }
    return decoded;
}

DibPicture GifAnimationReader::decodeFrameIndexed(std::size_t index) const
{
    const GifFrameInfo& frame = frames_.at(index);
    DibPicture picture(frame.width, frame.height, 1, false);
    if (picture.empty())
        throw PictureError(PictureMessage::NoImageData, PictureSource::Gif);
    const DecodedFrame decoded = decodeIndices(frame);
    const auto& table = tableFor(frame);
    for (std::size_t i = 0; i < table.size() && i < 256; ++i)
        picture.palette()[i] = PaletteEntry{table[i].red, table[i].green, table[i].blue, 0};
    for (std::uint32_t y = 0; y < frame.height; ++y)
        std::copy_n(decoded.indices.data() + std::size_t(y) * frame.width, decoded.rowsHave[y], picture.row(y));
    return picture;
}

void GifAnimationReader::resetCanvas()
{
    canvas_.create(int(canvasWidth_), int(canvasHeight_), 3, true);
    composed_ = 0;
}

void GifAnimationReader::disposeFrame(std::size_t index)
{
    const GifFrameInfo& frame = frames_[index];
    if (frame.disposal == 2) {
        // Back to the background: nothing drawn there any more.
        const std::uint32_t right = std::min<std::uint32_t>(canvasWidth_, std::uint32_t(frame.left) + frame.width);
        const std::uint32_t bottom = std::min<std::uint32_t>(canvasHeight_, std::uint32_t(frame.top) + frame.height);
        if (frame.left >= right)
            return;
        for (std::uint32_t y = frame.top; y < bottom; ++y) {
            std::memset(canvas_.row(y) + 3 * std::size_t(frame.left), 0, 3 * std::size_t(right - frame.left));
            std::memset(canvas_.maskRow(y) + frame.left, 0, right - frame.left);
        }
    } else if (frame.disposal == 3 && !beforeLast_.empty()) {
        canvas_ = beforeLast_;
    }
}

void GifAnimationReader::drawFrame(std::size_t index)
{
    const GifFrameInfo& frame = frames_[index];
    if (frame.disposal == 3)
        beforeLast_ = canvas_;
    if (frame.width == 0 || frame.height == 0)
        return;
    const DecodedFrame decoded = decodeIndices(frame);
    const auto& table = tableFor(frame);
    const int transparent = frame.transparentIndex ? int(*frame.transparentIndex) : -1;
    for (std::uint32_t fy = 0; fy < frame.height; ++fy) {
        const std::uint32_t y = std::uint32_t(frame.top) + fy;
        if (y >= canvasHeight_)
            break;
        const std::uint32_t visible = frame.left >= canvasWidth_ ? 0 : std::min(decoded.rowsHave[fy], canvasWidth_ - frame.left);
        if (visible == 0)
            continue;
        const std::uint8_t* in = decoded.indices.data() + std::size_t(fy) * frame.width;
        std::uint8_t* out = canvas_.row(y) + 3 * std::size_t(frame.left);
        std::uint8_t* mask = canvas_.maskRow(y) + frame.left;
        for (std::uint32_t x = 0; x < visible; ++x) {
            const std::uint8_t value = in[x];
            if (int(value) == transparent)
                continue;
            const GifColor& c = table[value];
            out[3 * x] = c.blue;
            out[3 * x + 1] = c.green;
            out[3 * x + 2] = c.red;
            mask[x] = 0xFF;
        }
    }
}

DibPicture GifAnimationReader::decodeFrame(std::size_t index)
{
    return guardMemory(PictureSource::Gif, [&] { return composeFrame(index); });
}

DibPicture GifAnimationReader::composeFrame(std::size_t index)
{
    if (index >= frames_.size())
        throw PictureError(PictureMessage::BadArguments, PictureSource::Gif);
    // Frames build on each other, so going back means composing again from the start.
    if (canvas_.empty() || composed_ > index + 1)
        resetCanvas();
    try {
        while (composed_ <= index) {
            if (composed_ > 0)
                disposeFrame(composed_ - 1);
            drawFrame(composed_);
            ++composed_;
        }
    } catch (...) {
        canvas_.release(); // half-composed: start again next time
        composed_ = 0;
        throw;
    }
    return canvas_;
}

} // namespace orka
