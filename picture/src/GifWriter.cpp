#include "orka/picture/GifCodec.h"
#include "orka/picture/PictureError.h"
#include "orka/common/ByteOrder.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace orka {

unsigned gifBitsForColors(std::size_t count)
{
    unsigned bits = 1;
    while (bits < 8 && (std::size_t(1) << bits) < count)
        ++bits;
    return bits;
}

namespace {
[[noreturn]] void outOfOrder()
{
    throw PictureError(PictureMessage::Internal, PictureSource::Gif);
}
} // namespace

void GifWriter::put16(std::uint16_t value)
{
    common::appendLE16(out_, value);
}

void GifWriter::putTable(std::span<const GifColor> table, unsigned bits)
{
    const std::size_t entries = std::size_t(1) << bits;
    for (std::size_t i = 0; i < entries; ++i) {
        const GifColor c = i < table.size() ? table[i] : GifColor{};
        out_.push_back(c.red);
        out_.push_back(c.green);
        out_.push_back(c.blue);
    }
}

void GifWriter::putScreen(std::uint16_t width, std::uint16_t height, std::span<const GifColor> table,
                          std::uint8_t backgroundIndex)
{
    if (state_ != State::Start)
        outOfOrder();
    if (table.size() > 256)
        throw PictureError(PictureMessage::BadArguments, PictureSource::Gif);
    static constexpr char kHeader[] = "GIF89a";
    out_.assign(kHeader, kHeader + 6);
    put16(width);
    put16(height);
    hasGlobal_ = !table.empty();
    globalBits_ = gifBitsForColors(table.size());
    std::uint8_t packed = std::uint8_t((globalBits_ - 1) * 16 + (globalBits_ - 1));
    if (hasGlobal_)
        packed = std::uint8_t(packed + 0x80);
    out_.push_back(packed);
    out_.push_back(backgroundIndex);
    out_.push_back(0);
    if (hasGlobal_)
        putTable(table, globalBits_);
    state_ = State::Ready;
}

void GifWriter::putGraphicControl(unsigned disposal, bool userInput, std::uint16_t delay, int transparentIndex)
{
    if (state_ != State::Ready)
        outOfOrder();
    if (disposal > 7)
        throw PictureError(PictureMessage::BadArguments, PictureSource::Gif);
    const bool transparent = transparentIndex >= 0 && transparentIndex <= 255;
    out_.push_back(0x21);
    out_.push_back(0xF9);
    out_.push_back(4);
    out_.push_back(std::uint8_t(disposal * 4 + (userInput ? 2 : 0) + (transparent ? 1 : 0)));
    put16(delay);
    out_.push_back(transparent ? std::uint8_t(transparentIndex) : 0);
    out_.push_back(0);
    state_ = State::Control;
}

void GifWriter::putImageDescriptor(std::uint16_t left, std::uint16_t top, std::uint16_t width, std::uint16_t height,
                                   std::span<const GifColor> localTable, bool interlaced)
{
    if (state_ != State::Ready && state_ != State::Control)
        outOfOrder();
    if (localTable.size() > 256)
        throw PictureError(PictureMessage::BadArguments, PictureSource::Gif);
    out_.push_back(0x2C);
    put16(left);
    put16(top);
    put16(width);
    put16(height);
    const bool hasLocal = !localTable.empty();
    frameBits_ = hasLocal ? gifBitsForColors(localTable.size()) : (hasGlobal_ ? globalBits_ : 8);
    std::uint8_t packed = std::uint8_t(hasLocal ? frameBits_ - 1 : 0);
    if (hasLocal)
        packed = std::uint8_t(packed + 0x80);
    if (interlaced)
        packed = std::uint8_t(packed + 0x40);
    out_.push_back(packed);
    if (hasLocal)
        putTable(localTable, frameBits_);
    frameWidth_ = width;
    frameHeight_ = height;
    interlaced_ = interlaced;
    frameIndices_.clear();
    frameIndices_.reserve(std::size_t(width) * height);
    linesReceived_ = 0;
    state_ = State::Lines;
    if (height == 0 || width == 0) {
        // Nothing to wait for: code the empty frame at once.
        frameHeight_ = 0;
        putPixelLine({});
    }
}

void GifWriter::putPixelLine(std::span<const std::uint8_t> indices)
{
    if (state_ != State::Lines)
        outOfOrder();
    if (frameHeight_ != 0) {
        if (indices.size() < frameWidth_)
            throw PictureError(PictureMessage::BadArguments, PictureSource::Gif);
        const std::uint8_t mask = std::uint8_t((1u << frameBits_) - 1);
        for (std::size_t x = 0; x < frameWidth_; ++x)
            frameIndices_.push_back(indices[x] & mask);
        ++linesReceived_;
        if (linesReceived_ < frameHeight_)
            return;
    }
    std::vector<std::uint8_t> ordered;
    const std::vector<std::uint8_t>* coded = &frameIndices_;
    if (interlaced_ && frameHeight_ > 0) {
        ordered.reserve(frameIndices_.size());
        static constexpr unsigned kStart[4] = {0, 4, 2, 1};
        static constexpr unsigned kStep[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (std::size_t y = kStart[pass]; y < frameHeight_; y += kStep[pass])
                ordered.insert(ordered.end(), frameIndices_.begin() + std::ptrdiff_t(y * frameWidth_),
                               frameIndices_.begin() + std::ptrdiff_t((y + 1) * frameWidth_));
        coded = &ordered;
    }
    const std::vector<std::uint8_t> data = gifLzwEncode(*coded, std::max(2u, frameBits_));
    out_.insert(out_.end(), data.begin(), data.end());
    frameIndices_.clear();
    state_ = State::Ready;
}

std::vector<std::uint8_t> GifWriter::finish()
{
    if (state_ != State::Ready)
        outOfOrder();
    out_.push_back(0x3B);
    state_ = State::Done;
    return std::move(out_);
}

namespace {

// Median cut over a 5-5-5 histogram; each box's colour is the mean of the real colours in it.
class MedianCutPalette {
public:
    explicit MedianCutPalette(const DibPicture& picture, std::size_t colours)
    {
        for (std::uint32_t y = 0; y < picture.height(); ++y) {
            const std::uint8_t* p = picture.row(y);
            for (std::uint32_t x = 0; x < picture.width(); ++x, p += 3) {
                Bin& bin = bins_[key(p[2], p[1], p[0])];
                ++bin.count;
                bin.red += p[2];
                bin.green += p[1];
                bin.blue += p[0];
            }
        }
        std::vector<std::uint16_t> used;
        for (std::size_t i = 0; i < bins_.size(); ++i)
            if (bins_[i].count)
                used.push_back(std::uint16_t(i));
        std::vector<std::vector<std::uint16_t>> boxes{std::move(used)};
        while (boxes.size() < colours) {
            // Split the box with the widest channel range among those that can be split.
            std::size_t best = boxes.size();
            int bestRange = 0;
            int bestChannel = 0;
            for (std::size_t b = 0; b < boxes.size(); ++b) {
                if (boxes[b].size() < 2)
                    continue;
                for (int channel = 0; channel < 3; ++channel) {
                    auto [lo, hi] = std::minmax_element(boxes[b].begin(), boxes[b].end(), [&](auto l, auto r) {
                        return component(l, channel) < component(r, channel);
                    });
                    const int range = component(*hi, channel) - component(*lo, channel);
                    if (range > bestRange) {
                        bestRange = range;
                        best = b;
                        bestChannel = channel;
                    }
                }
            }
            if (best == boxes.size())
                break;
            auto& box = boxes[best];
            std::sort(box.begin(), box.end(), [&](auto l, auto r) {
                return component(l, bestChannel) < component(r, bestChannel);
            });
            std::uint64_t total = 0;
            for (auto k : box)
                total += bins_[k].count;
            std::uint64_t half = 0;
            std::size_t cut = 0;
            while (cut + 1 < box.size() && (half += bins_[box[cut]].count) < total / 2)
                ++cut;
            std::vector<std::uint16_t> upper(box.begin() + std::ptrdiff_t(cut + 1), box.end());
            box.resize(cut + 1);
            boxes.push_back(std::move(upper));
        }
        for (const auto& box : boxes) {
            std::uint64_t n = 0, r = 0, g = 0, b = 0;
            for (auto k : box) {
                n += bins_[k].count;
                r += bins_[k].red;
                g += bins_[k].green;
                b += bins_[k].blue;
            }
            if (n)
                table_.push_back(GifColor{std::uint8_t(r / n), std::uint8_t(g / n), std::uint8_t(b / n), 0});
        }
    }

    const std::vector<GifColor>& table() const { return table_; }

    std::uint8_t indexOf(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
    {
        const std::uint16_t k = key(red, green, blue);
        if (nearest_[k] < 0) {
            int best = 0;
            int bestDistance = 1 << 30;
            for (std::size_t i = 0; i < table_.size(); ++i) {
                const int dr = table_[i].red - red, dg = table_[i].green - green, db = table_[i].blue - blue;
                const int d = dr * dr + dg * dg + db * db;
                if (d < bestDistance) {
                    bestDistance = d;
                    best = int(i);
                }
            }
            nearest_[k] = std::int16_t(best);
        }
        return std::uint8_t(nearest_[k]);
    }

private:
    struct Bin {
        std::uint32_t count = 0;
        std::uint64_t red = 0, green = 0, blue = 0;
    };
    static std::uint16_t key(unsigned r, unsigned g, unsigned b)
    {
        return std::uint16_t(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
    }
    static int component(std::uint16_t k, int channel) { return (k >> (10 - 5 * channel)) & 31; }

    std::vector<Bin> bins_ = std::vector<Bin>(32768);
    std::vector<GifColor> table_;
    std::vector<std::int16_t> nearest_ = std::vector<std::int16_t>(32768, -1);
};

} // namespace

namespace {

// A picture as colour indices with the table they index.
struct IndexedFrame {
    std::vector<GifColor> table;
    std::vector<std::uint8_t> indices;
    int transparentIndex = -1;
};

IndexedFrame indexFrame(const DibPicture& picture)
{
    if (picture.empty())
        throw PictureError(PictureMessage::BadArguments, PictureSource::Gif);
    if (picture.width() > 0xFFFF || picture.height() > 0xFFFF)
        throw PictureError(PictureMessage::Unsupported, PictureSource::Gif);
    const std::uint32_t w = picture.width(), h = picture.height();
    bool anyTransparent = false;
    if (picture.hasMask())
        for (std::uint32_t y = 0; y < h && !anyTransparent; ++y)
            anyTransparent = std::find(picture.maskRow(y), picture.maskRow(y) + w, 0) != picture.maskRow(y) + w;

    std::vector<GifColor> table;
    std::vector<std::uint8_t> indices(std::size_t(w) * h);
    int transparentIndex = -1;
    if (picture.bytesPerPixel() == 1) {
        for (const auto& e : picture.palette())
            table.push_back(GifColor{e.red, e.green, e.blue, 0});
        for (std::uint32_t y = 0; y < h; ++y)
            std::copy_n(picture.row(y), w, indices.begin() + std::ptrdiff_t(std::size_t(y) * w));
    } else {
        const std::size_t room = anyTransparent ? 255 : 256;
        std::unordered_map<std::uint32_t, std::uint8_t> exact;
        bool fits = true;
        for (std::uint32_t y = 0; y < h && fits; ++y) {
            const std::uint8_t* p = picture.row(y);
            for (std::uint32_t x = 0; x < w; ++x, p += 3) {
                const std::uint32_t rgb = std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
                auto [it, added] = exact.try_emplace(rgb, std::uint8_t(exact.size()));
                if (added) {
                    if (exact.size() > room) {
                        fits = false;
                        break;
                    }
                    table.push_back(GifColor{p[2], p[1], p[0], 0});
                }
                indices[std::size_t(y) * w + x] = it->second;
            }
        }
        if (!fits) {
            MedianCutPalette palette(picture, room);
            table = palette.table();
            for (std::uint32_t y = 0; y < h; ++y) {
                const std::uint8_t* p = picture.row(y);
                for (std::uint32_t x = 0; x < w; ++x, p += 3)
                    indices[std::size_t(y) * w + x] = palette.indexOf(p[2], p[1], p[0]);
            }
        }
    }
    if (anyTransparent) {
        if (table.size() < 256) {
            transparentIndex = int(table.size());
            table.push_back(GifColor{});
        } else {
            transparentIndex = 0; // a full palette gives up its first colour to transparency
        }
        for (std::uint32_t y = 0; y < h; ++y)
            for (std::uint32_t x = 0; x < w; ++x)
                if (picture.maskRow(y)[x] == 0)
                    indices[std::size_t(y) * w + x] = std::uint8_t(transparentIndex);
    }
    return IndexedFrame{std::move(table), std::move(indices), transparentIndex};
}

void putFrameLines(GifWriter& writer, const IndexedFrame& frame, std::uint32_t width, std::uint32_t height)
{
    for (std::uint32_t y = 0; y < height; ++y)
        writer.putPixelLine(std::span<const std::uint8_t>(frame.indices.data() + std::size_t(y) * width, width));
}

} // namespace

std::vector<std::uint8_t> encodeGif(const DibPicture& picture)
{
    const IndexedFrame frame = indexFrame(picture);
    const auto w = std::uint16_t(picture.width()), h = std::uint16_t(picture.height());
    GifWriter writer;
    writer.putScreen(w, h, frame.table, 0);
    writer.putGraphicControl(0, false, 0, frame.transparentIndex);
    writer.putImageDescriptor(0, 0, w, h, {}, false);
    putFrameLines(writer, frame, w, h);
    return writer.finish();
}

std::vector<std::uint8_t> encodeAnimationGif(std::span<const DibPicture> frames, std::span<const int> delays)
{
    if (frames.empty() || frames.size() != delays.size())
        throw PictureError(PictureMessage::BadArguments, PictureSource::Gif);
    std::uint32_t width = 0, height = 0;
    for (const DibPicture& f : frames) {
        width = std::max(width, f.width());
        height = std::max(height, f.height());
    }
    if (width > 0xFFFF || height > 0xFFFF)
        throw PictureError(PictureMessage::Unsupported, PictureSource::Gif);
    GifWriter writer;
    writer.putScreen(std::uint16_t(width), std::uint16_t(height), {}, 0);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const IndexedFrame frame = indexFrame(frames[i]);
        const auto w = std::uint16_t(frames[i].width()), h = std::uint16_t(frames[i].height());
        // Each frame replaces the whole picture; keep it in place until the next is drawn.
        writer.putGraphicControl(1, false, std::uint16_t(std::clamp(delays[i], 0, 0xFFFF)), frame.transparentIndex);
        writer.putImageDescriptor(0, 0, w, h, frame.table, false);
        putFrameLines(writer, frame, w, h);
    }
    return writer.finish();
}

} // namespace orka
