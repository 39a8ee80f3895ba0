#pragma once
// Builds Standard MIDI File bytes for tests: events as (delta, bytes) pairs.
#include "orka/common/ByteOrder.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace orka::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes vlq(std::uint32_t v)
{
    Bytes out{static_cast<std::uint8_t>(v & 0x7F)};
    while ((v >>= 7) != 0)
        out.insert(out.begin(), static_cast<std::uint8_t>(0x80 | (v & 0x7F)));
    return out;
}

struct Ev {
    std::uint32_t delta;
    Bytes bytes;
};

// Track data (no chunk header).
inline Bytes trackData(std::initializer_list<Ev> events)
{
    Bytes out;
    for (const auto& e : events) {
        auto d = vlq(e.delta);
        out.insert(out.end(), d.begin(), d.end());
        out.insert(out.end(), e.bytes.begin(), e.bytes.end());
    }
    return out;
}

inline Bytes be(std::uint32_t v, int n)
{
    Bytes out;
    for (int i = n - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return out;
}

inline Bytes chunk(const char* id, const Bytes& data)
{
    Bytes out(id, id + 4);
    auto len = be(static_cast<std::uint32_t>(data.size()), 4);
    out.insert(out.end(), len.begin(), len.end());
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

inline Bytes header(std::uint16_t format, std::uint16_t tracks, std::uint16_t division)
{
    Bytes out{'M', 'T', 'h', 'd', 0, 0, 0, 6};
    for (auto v : {format, tracks, division})
        orka::common::appendBE16(out, v);
    return out;
}

// A whole file from track data blocks.
inline Bytes smf(std::uint16_t format, std::uint16_t division, std::initializer_list<Bytes> tracks)
{
    Bytes out = header(format, static_cast<std::uint16_t>(tracks.size()), division);
    for (const auto& t : tracks) {
        auto c = chunk("MTrk", t);
        out.insert(out.end(), c.begin(), c.end());
    }
    return out;
}

inline Bytes endOfTrack() { return {0xFF, 0x2F, 0x00}; }
inline Bytes setTempo(std::uint32_t us) { return {0xFF, 0x51, 0x03, static_cast<std::uint8_t>(us >> 16), static_cast<std::uint8_t>(us >> 8), static_cast<std::uint8_t>(us)}; }
inline Bytes noteOn(int ch, int key, int vel) { return {static_cast<std::uint8_t>(0x90 | ch), static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(vel)}; }
inline Bytes noteOff(int ch, int key) { return {static_cast<std::uint8_t>(0x80 | ch), static_cast<std::uint8_t>(key), 0}; }
inline Bytes program(int ch, int p) { return {static_cast<std::uint8_t>(0xC0 | ch), static_cast<std::uint8_t>(p)}; }
inline Bytes control(int ch, int c, int v) { return {static_cast<std::uint8_t>(0xB0 | ch), static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(v)}; }

} // namespace orka::test
