#pragma once
// Rendering helpers shared by the SMAF tests.
#include "orka/smaf/SmafRenderer.h"
#include "orka/testing/SmafBuilder.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace orka::smaf::test {

struct Rendered {
    std::vector<std::int16_t> left, right;
    bool ended = false;
};

// Renders until the piece ends (or maxFrames), in device-sized buffers.
inline Rendered renderAll(SmafRenderer& r, std::size_t maxFrames = 30 * 22050)
{
    Rendered out;
    std::vector<std::uint8_t> buffer(8192);
    while (out.left.size() < maxFrames) {
        const RenderResult res = r.render(buffer.data(), buffer.size());
        for (std::size_t i = 0; i + 4 <= res.bytes; i += 4) {
            std::int16_t l = 0, rr = 0;
            std::memcpy(&l, &buffer[i], 2);
            std::memcpy(&rr, &buffer[i + 2], 2);
            out.left.push_back(l);
            out.right.push_back(rr);
        }
        if (res.ended) {
            out.ended = true;
            break;
        }
    }
    return out;
}

inline double energy(const std::vector<std::int16_t>& s, std::size_t from = 0, std::size_t to = SIZE_MAX)
{
    double e = 0;
    for (std::size_t i = from; i < std::min(to, s.size()); ++i)
        e += static_cast<double>(s[i]) * s[i];
    return e;
}

inline int peak(const std::vector<std::int16_t>& s, std::size_t from = 0, std::size_t to = SIZE_MAX)
{
    int p = 0;
    for (std::size_t i = from; i < std::min(to, s.size()); ++i)
        p = std::max(p, std::abs(static_cast<int>(s[i])));
    return p;
}

// Frequency from rising zero crossings, interpolated between samples.
inline double measuredFrequency(const std::vector<std::int16_t>& s, std::size_t from, std::size_t to)
{
    double first = -1, last = -1;
    int crossings = 0;
    for (std::size_t i = from + 1; i < std::min(to, s.size()); ++i) {
        if (s[i - 1] < 0 && s[i] >= 0) {
            const double t = static_cast<double>(i - 1) + static_cast<double>(-s[i - 1]) / (s[i] - s[i - 1]);
            if (first < 0)
                first = t;
            else
                ++crossings;
            last = t;
        }
    }
    if (crossings == 0)
        return 0;
    return crossings * 22050.0 / (last - first);
}

// One channel-0 note of a sine voice on track 1.
inline Bytes oneNoteTune(int block, int code, std::uint32_t gateMs, int rr = 8, std::initializer_list<std::uint8_t> before = {})
{
    Bytes setup = voiceDefinition(VoiceBytes::sine(rr), 0, 0, false);
    Sequence s;
    if (before.size() != 0)
        s.control(0, before);
    s.note(0, 0, block, code, gateMs / 4);
    return smafFile({scoreTrack(1, setup, s.end())});
}

} // namespace orka::smaf::test
