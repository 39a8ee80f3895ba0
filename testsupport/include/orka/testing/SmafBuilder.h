#pragma once
// Builds SMAF files byte by byte for tests, the fuzz corpus and the benchmark piece.
#include "orka/common/ByteOrder.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace orka::smaf::test {

using Bytes = std::vector<std::uint8_t>;

inline void append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

inline void put32(Bytes& b, std::uint32_t v) { common::appendBE32(b, v); }

inline Bytes chunk(const std::string& id4, const Bytes& body)
{
    Bytes b(id4.begin(), id4.begin() + 4);
    put32(b, static_cast<std::uint32_t>(body.size()));
    append(b, body);
    return b;
}

inline Bytes chunk(const char (&id)[4], std::uint8_t last, const Bytes& body)
{
    return chunk(std::string(id, 3) + static_cast<char>(last), body);
}

// A duration or gate time as the writer encodes it.
inline Bytes number(std::uint32_t n)
{
    if (n < 128)
        return {static_cast<std::uint8_t>(n)};
    return {static_cast<std::uint8_t>(0x80 | ((n - 128) >> 7)), static_cast<std::uint8_t>(n & 0x7F)};
}

// Sequence builder for a score track: channel 0-3, octave block 0-3, note code.
struct Sequence {
    Bytes bytes;
    Sequence& note(std::uint32_t duration, int channel, int block, int code, std::uint32_t gate)
    {
        append(bytes, number(duration));
        bytes.push_back(static_cast<std::uint8_t>((channel << 6) | (block << 4) | code));
        append(bytes, number(gate));
        return *this;
    }
    Sequence& control(std::uint32_t duration, std::initializer_list<std::uint8_t> event)
    {
        append(bytes, number(duration));
        bytes.insert(bytes.end(), event.begin(), event.end());
        return *this;
    }
    Sequence& nop(std::uint32_t duration) { return control(duration, {0xFF, 0x00}); }
    Bytes end() const
    {
        Bytes b = bytes;
        append(b, {0, 0, 0, 0});
        return b;
    }
};

// A 26-byte voice record.
struct VoiceBytes {
    std::uint8_t bytes[26]{};
    VoiceBytes(int algorithm, int feedback = 0, int octaveCode = 1, int lfo = 0)
    {
        bytes[3] = static_cast<std::uint8_t>((lfo << 6) | (feedback << 3) | algorithm);
        bytes[4] = static_cast<std::uint8_t>(octaveCode);
    }
    // Operator 0-3: multiplier, attack, decay, sustain level, release, total level, waveform,
    // and flag bits of byte 0 (vibrato 8, sustained 4, sustain 2, key scale rate 1).
    VoiceBytes& op(int i, int mult, int ar, int dr, int sl, int rr, int tl, int wave = 0, int flags = 4)
    {
        std::uint8_t* o = bytes + 5 + 5 * i;
        o[0] = static_cast<std::uint8_t>((mult << 4) | flags);
        o[1] = static_cast<std::uint8_t>((rr << 4) | dr);
        o[2] = static_cast<std::uint8_t>((ar << 4) | sl);
        o[3] = static_cast<std::uint8_t>(tl << 2);
        o[4] = static_cast<std::uint8_t>(wave);
        return *this;
    }
    // Plain sine: operator 1 never rises, operator 2 sounds at full level and holds.
    static VoiceBytes sine(int rr = 8)
    {
        VoiceBytes v(1);
        v.op(0, 1, 0, 0, 0, 15, 63).op(1, 1, 15, 0, 0, rr, 0);
        return v;
    }
};

// The exclusive event of a setup chunk defining a voice in bank (0-9; 128+k for drums).
inline Bytes voiceDefinition(const VoiceBytes& v, int bank, int program, bool fourOperators)
{
    Bytes b = {0xFF, 0xF0, static_cast<std::uint8_t>(fourOperators ? 0x1C : 0x12), 0x43, 0x03, 0x00,
               static_cast<std::uint8_t>(bank), static_cast<std::uint8_t>(program)};
    const int last = fourOperators ? 24 : 14;
    for (int i = 3; i <= last; ++i)
        b.push_back(v.bytes[i]);
    b.push_back(0xF7);
    return b;
}

inline Bytes scoreTrack(int number, const Bytes& setup, const Bytes& sequence, std::uint8_t timebase = 0x02,
                        bool withSequence = true)
{
    Bytes body = {0x00, 0x00, timebase, timebase, 0xAA, 0xAA};
    Bytes spi = {'s', 't', ':', 0, 0, 0, 0, ',', 's', 'p', ':', 0, 0, 0, 0, ','};
    append(body, chunk("MspI", spi));
    if (!setup.empty())
        append(body, chunk("Mtsu", setup));
    if (withSequence)
        append(body, chunk("Mtsq", sequence));
    return chunk("MTR", static_cast<std::uint8_t>(number), body);
}

struct AudioWaveBytes {
    int number;
    Bytes adpcm;
};

inline Bytes audioTrack(const Bytes& sequence, const std::vector<AudioWaveBytes>& waves, bool rate8000 = false)
{
    Bytes body = {0x00, 0x00, static_cast<std::uint8_t>(rate8000 ? 0x11 : 0x10), 0x00, 0x02, 0x02};
    append(body, chunk("AspI", Bytes{}));
    append(body, chunk("Atsq", sequence));
    for (const auto& w : waves)
        append(body, chunk("Awa", static_cast<std::uint8_t>(w.number), w.adpcm));
    return chunk("ATR", 0, body);
}

inline Bytes smafFile(std::initializer_list<Bytes> tracks)
{
    Bytes body;
    append(body, chunk("CNTI", Bytes{0, 1, 0, 0, 0}));
    for (const Bytes& t : tracks)
        append(body, t);
    body.push_back(0);
    body.push_back(0);
    return chunk("MMMD", body);
}

} // namespace orka::smaf::test

namespace orka::smaf::test {

// A whole voice bank image: every melodic record of bank 0 is `twoOp`, of bank 1 `fourOp`,
// every drum record `drum`; bank and program bytes as the format has them.
inline Bytes voiceBank(const VoiceBytes& twoOp, const VoiceBytes& fourOp, const VoiceBytes& drum)
{
    Bytes b(86948, 0);
    const char magic[] = "FM  ";
    std::copy(magic, magic + 4, b.begin());
    b[4] = 0x00; b[5] = 0x01; b[6] = 0x53; b[7] = 0x9C;
    for (int bank = 0; bank < 10; ++bank)
        for (int p = 0; p < 128; ++p) {
            const VoiceBytes& v = bank == 1 ? fourOp : twoOp;
            std::uint8_t* r = &b[33128 + static_cast<std::size_t>(bank * 128 + p) * 26];
            std::copy(v.bytes, v.bytes + 26, r);
            r[1] = static_cast<std::uint8_t>(bank);
            r[2] = static_cast<std::uint8_t>(p);
        }
    for (int bank = 0; bank < 10; ++bank)
        for (int i = 0; i < 79; ++i) {
            std::uint8_t* r = &b[66408 + static_cast<std::size_t>(bank * 79 + i) * 26];
            std::copy(drum.bytes, drum.bytes + 26, r);
            r[1] = static_cast<std::uint8_t>(10 + bank);
            r[2] = static_cast<std::uint8_t>(bank);
        }
    return b;
}

inline VoiceBytes fourOperatorVoice()
{
    VoiceBytes v(4);
    for (int i = 0; i < 4; ++i)
        v.op(i, 1, 15, 2, 4, 8, i == 3 ? 0 : 30);
    return v;
}

inline VoiceBytes drumVoice(int drumKey)
{
    VoiceBytes v(0, 3);
    v.op(0, 2, 15, 6, 8, 8, 20, 0, 0).op(1, 1, 15, 6, 8, 8, 0, 0, 0);
    v.bytes[25] = static_cast<std::uint8_t>(drumKey);
    return v;
}

} // namespace orka::smaf::test
