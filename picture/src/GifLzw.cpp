// LZW coding as GIF uses it: variable code sizes from minCodeSize + 1 up to 12 bits, clear
// and end codes, data carried in sub-blocks of at most 255 bytes.
#include "orka/picture/GifCodec.h"
#include "orka/picture/PictureError.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace orka {

namespace {

constexpr unsigned kMaxCodes = 4096;
constexpr unsigned kMaxCodeSize = 12;

// Reads codes least significant bit first across the sub-block chain.
class SubBlockBitReader {
public:
    explicit SubBlockBitReader(std::span<const std::uint8_t> data) : data_(data) {}

    // False when the data ends (a zero-length block or the end of the buffer).
    bool read(unsigned bits, unsigned& code)
    {
        while (count_ < bits) {
            if (blockLeft_ == 0) {
                if (pos_ >= data_.size())
                    return false;
                blockLeft_ = data_[pos_++];
                if (blockLeft_ == 0) {
                    pos_ = data_.size();
                    return false;
                }
            }
            if (pos_ >= data_.size())
                return false;
            buffer_ |= std::uint32_t(data_[pos_++]) << count_;
            count_ += 8;
            --blockLeft_;
        }
        code = buffer_ & ((1u << bits) - 1);
        buffer_ >>= bits;
        count_ -= bits;
        return true;
    }

private:
    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
    unsigned blockLeft_ = 0;
    std::uint32_t buffer_ = 0;
    unsigned count_ = 0;
};

class SubBlockBitWriter {
public:
    explicit SubBlockBitWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    void write(unsigned code, unsigned bits)
    {
        buffer_ |= std::uint32_t(code) << count_;
        count_ += bits;
        while (count_ >= 8) {
            pushByte(std::uint8_t(buffer_ & 0xFF));
            buffer_ >>= 8;
            count_ -= 8;
        }
    }
    void finish()
    {
        if (count_ > 0)
            pushByte(std::uint8_t(buffer_ & 0xFF));
        buffer_ = count_ = 0;
        flushBlock();
        out_.push_back(0);
    }

private:
    void pushByte(std::uint8_t b)
    {
        block_[blockSize_++] = b;
        if (blockSize_ == 255)
            flushBlock();
    }
    void flushBlock()
    {
        if (blockSize_ == 0)
            return;
        out_.push_back(std::uint8_t(blockSize_));
        out_.insert(out_.end(), block_.begin(), block_.begin() + blockSize_);
        blockSize_ = 0;
    }

    std::vector<std::uint8_t>& out_;
    std::array<std::uint8_t, 255> block_{};
    unsigned blockSize_ = 0;
    std::uint32_t buffer_ = 0;
    unsigned count_ = 0;
};

// The encoder's dictionary: (prefix code << 8 | next byte) -> code, open addressing in a
// table twice the size of the code space, so a reset clears a few kilobytes only.
class CodeTable {
public:
    CodeTable() { clear(); }
    void clear() { std::fill(std::begin(keys_), std::end(keys_), kEmpty); }
    int find(std::uint32_t key) const
    {
        for (std::uint32_t slot = hash(key);; slot = (slot + 1) & kMask) {
            if (keys_[slot] == kEmpty)
                return -1;
            if (keys_[slot] == key)
                return codes_[slot];
        }
    }
    void add(std::uint32_t key, std::uint16_t code)
    {
        std::uint32_t slot = hash(key);
        while (keys_[slot] != kEmpty)
            slot = (slot + 1) & kMask;
        keys_[slot] = key;
        codes_[slot] = code;
    }

private:
    static constexpr std::uint32_t kSize = 8192, kMask = kSize - 1, kEmpty = 0xFFFFFFFF;
    static std::uint32_t hash(std::uint32_t key) { return (key * 2654435761u) >> 19; }
    std::uint32_t keys_[kSize];
    std::uint16_t codes_[kSize];
};

} // namespace

std::vector<std::uint8_t> gifLzwDecode(std::span<const std::uint8_t> data, unsigned minCodeSize,
                                       std::size_t pixelCount)
{
    if (minCodeSize < 1 || minCodeSize > kMaxCodeSize - 1)
        throw PictureError(PictureMessage::BadFormat, PictureSource::Gif);
    std::vector<std::uint8_t> out;
    // The declared size may be far beyond what the data holds; grow as codes arrive.
    out.reserve(std::min<std::size_t>(pixelCount, std::size_t(1) << 20));
    std::array<std::uint16_t, kMaxCodes> prefix{};
    std::array<std::uint8_t, kMaxCodes> suffix{};
    std::array<std::uint8_t, kMaxCodes> first{};
    std::array<std::uint8_t, kMaxCodes> stack{};
    const unsigned clear = 1u << minCodeSize;
    const unsigned end = clear + 1;
    for (unsigned i = 0; i < clear; ++i) {
        suffix[i] = std::uint8_t(i);
        first[i] = std::uint8_t(i);
    }
    unsigned codeSize = minCodeSize + 1;
    unsigned next = clear + 2;
    int previous = -1;
    SubBlockBitReader reader(data);
    unsigned code = 0;
    while (out.size() < pixelCount && reader.read(codeSize, code)) {
        if (code == clear) {
            codeSize = minCodeSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end)
            break;
        if (previous < 0) {
            if (code >= clear)
                throw PictureError(PictureMessage::BadFormat, PictureSource::Gif);
            out.push_back(std::uint8_t(code));
            previous = int(code);
            continue;
        }
        if (code > next || (code == next && next >= kMaxCodes))
            throw PictureError(PictureMessage::BadFormat, PictureSource::Gif);
        // Spell the string backwards onto the stack; the code just being defined (KwKwK)
        // is the previous string plus its own first byte.
        unsigned depth = 0;
        unsigned walk = code;
        if (code == next) {
            stack[depth++] = first[previous];
            walk = unsigned(previous);
        }
        while (walk >= clear) {
            stack[depth++] = suffix[walk];
            walk = prefix[walk];
        }
        stack[depth++] = std::uint8_t(walk);
        const std::uint8_t head = std::uint8_t(walk);
        while (depth > 0 && out.size() < pixelCount)
            out.push_back(stack[--depth]);
        if (next < kMaxCodes) {
            prefix[next] = std::uint16_t(previous);
            suffix[next] = head;
            first[next] = first[previous];
            ++next;
            if (next == (1u << codeSize) && codeSize < kMaxCodeSize)
                ++codeSize;
        }
        previous = int(code);
    }
    return out;
}

std::vector<std::uint8_t> gifLzwEncode(std::span<const std::uint8_t> indices, unsigned minCodeSize)
{
    if (minCodeSize < 2 || minCodeSize > 8)
        throw PictureError(PictureMessage::BadArguments, PictureSource::Gif);
    std::vector<std::uint8_t> out;
    out.push_back(std::uint8_t(minCodeSize));
    SubBlockBitWriter writer(out);
    const unsigned clear = 1u << minCodeSize;
    const unsigned end = clear + 1;
    const std::uint8_t valueMask = std::uint8_t((1u << minCodeSize) - 1);
    CodeTable table;
    unsigned codeSize = minCodeSize + 1;
    unsigned next = clear + 2;
    writer.write(clear, codeSize);
    if (!indices.empty()) {
        unsigned current = indices[0] & valueMask;
        for (std::size_t i = 1; i < indices.size(); ++i) {
            const unsigned byte = indices[i] & valueMask;
            const std::uint32_t key = current << 8 | byte;
            if (const int found = table.find(key); found >= 0) {
                current = unsigned(found);
                continue;
            }
            writer.write(current, codeSize);
            if (next < kMaxCodes) {
                table.add(key, std::uint16_t(next++));
                if (next > (1u << codeSize) && codeSize < kMaxCodeSize)
                    ++codeSize;
            } else {
                writer.write(clear, codeSize);
                table.clear();
                codeSize = minCodeSize + 1;
                next = clear + 2;
            }
            current = byte;
        }
        writer.write(current, codeSize);
        // The decoder defines one more entry on this code; keep our size in step with it.
        if (next < kMaxCodes) {
            ++next;
            if (next > (1u << codeSize) && codeSize < kMaxCodeSize)
                ++codeSize;
        }
    }
    writer.write(end, codeSize);
    writer.finish();
    return out;
}

} // namespace orka
