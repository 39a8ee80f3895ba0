#pragma once
// Test voice banks and a SMAF reader for the converter tests; their SMF images come from
// orka/testing/MelconvSmf.h.
#include "melconv.h"
#include "orka/testing/MelconvSmf.h"
#include "orka/common/ByteOrder.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace melconv::test {

// A voice bank of the right shape whose voices the test chooses. Every voice starts as a
// 2-operator voice (algorithm 0) with recognisable operator bytes.
class TestBank {
public:
    TestBank() : bytes_(86948, 0)
    {
        std::memcpy(bytes_.data(), "FM  ", 4);
        for (int lsb = 0; lsb < 10; ++lsb)
            for (int p = 0; p < 128; ++p)
                normal(lsb, p, 0);
        for (int kit = 0; kit < 10; ++kit)
            for (int note = 13; note <= 91; ++note)
                drum(kit, note, 0, 60);
    }
    TestBank& normal(int lsb, int p, int algorithm)
    {
        std::uint8_t* r = bytes_.data() + 33128 + lsb * 3328 + p * 26;
        r[3] = static_cast<std::uint8_t>(algorithm);
        for (int i = 5; i < 25; ++i)
            r[i] = static_cast<std::uint8_t>(i + p);
        return *this;
    }
    TestBank& drum(int kit, int note, int algorithm, int key)
    {
        std::uint8_t* r = bytes_.data() + 66070 + kit * 2054 + note * 26;
        r[3] = static_cast<std::uint8_t>(algorithm);
        r[25] = static_cast<std::uint8_t>(key);
        return *this;
    }
    std::uint8_t* record(int lsb, int p) { return bytes_.data() + 33128 + lsb * 3328 + p * 26; }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

struct Result {
    int rc = -1;
    std::string message;
    std::vector<std::uint8_t> smaf;
    std::int32_t outSize = 0;
};

inline Result convert(const std::vector<std::uint8_t>& smf, const std::vector<std::uint8_t>& bank = TestBank().bytes(),
                      const std::vector<std::uint8_t>* adpcm = nullptr, std::int32_t capacity = 1 << 16)
{
    Result r;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(capacity));
    char message[260] = {};
    r.outSize = capacity;
    r.rc = MCVConvert(smf.data(), static_cast<std::int32_t>(smf.size()), out.data(), &r.outSize, bank.data(),
                      static_cast<std::int32_t>(bank.size()), adpcm ? adpcm->data() : nullptr,
                      adpcm ? static_cast<std::int32_t>(adpcm->size()) : 0, message, sizeof message);
    r.message = std::string(message, strnlen(message, sizeof message));
    if (r.rc == 1)
        r.smaf.assign(out.begin(), out.begin() + r.outSize);
    return r;
}

// One (duration, event) pair of a sequence chunk.
struct Step {
    int duration = 0;
    std::vector<std::uint8_t> event;
};

// The offset of chunk `id` searched from `from`, or npos.
inline std::size_t findChunk(const std::vector<std::uint8_t>& f, const std::string& id, std::size_t from = 8)
{
    for (std::size_t i = from; i + id.size() <= f.size(); ++i)
        if (std::memcmp(f.data() + i, id.data(), id.size()) == 0)
            return i;
    return std::string::npos;
}

inline std::uint32_t be32(const std::vector<std::uint8_t>& f, std::size_t at) { return orka::common::readBE32(&f.at(at + 3) - 3); }

// Reads the pairs of the sequence chunk ("Mtsq" or "Atsq") at `at`; audio tracks have no
// channel bits, score tracks do.
inline std::vector<Step> readSequence(const std::vector<std::uint8_t>& f, std::size_t at, bool audio = false)
{
    std::vector<Step> steps;
    const std::size_t end = at + 8 + be32(f, at + 4) - 4; // the 4 closing zero bytes
    std::size_t p = at + 8;
    auto number = [&](std::size_t& q) {
        int n = f[q++];
        if (n & 0x80)
            n = 128 + ((n & 0x7F) << 7) + f[q++];
        return n;
    };
    while (p < end) {
        Step s;
        s.duration = number(p);
        const std::size_t start = p;
        if (f[p] == 0xFF) {
            p += f[p + 1] == 0xF0 ? 3 + f[p + 2] : 2;
        } else if (f[p] == 0x00) {
            p += audio || (f[p + 1] & 0x30) == 0x30 ? 3 : 2;
        } else {
            ++p;
            number(p);
        }
        s.event.assign(f.begin() + static_cast<std::ptrdiff_t>(start), f.begin() + static_cast<std::ptrdiff_t>(p));
        steps.push_back(s);
    }
    return steps;
}

// The steps of the first score track's sequence.
inline std::vector<Step> scoreSteps(const std::vector<std::uint8_t>& smaf)
{
    return readSequence(smaf, findChunk(smaf, "Mtsq"));
}

inline bool hasEvent(const std::vector<Step>& steps, std::initializer_list<std::uint8_t> event)
{
    for (const auto& s : steps)
        if (s.event == std::vector<std::uint8_t>(event))
            return true;
    return false;
}

} // namespace melconv::test
