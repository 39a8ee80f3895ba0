#pragma once
// The benchmark piece: 60 seconds with all 16 channels busy on four-operator voices, as a
// SMAF file and as the equivalent Standard MIDI File.
#include "orka/testing/SmafBuilder.h"

#include <cstdint>

namespace orka::smaf::bench {

using test::Bytes;

inline constexpr int kSeconds = 60;
inline constexpr int kStepMs = 240; // a new note on every channel every 240 ms
inline constexpr int kGateMs = 220;

inline int keyOf(int channel, int step) // an arpeggio per channel, each in its own register
{
    static constexpr int pattern[8] = {0, 4, 7, 12, 7, 4, 2, 5};
    return 36 + (channel % 4) * 12 + pattern[(step + channel) % 8] + (channel / 4) % 2;
}

inline test::VoiceBytes benchVoice(int index)
{
    test::VoiceBytes v(4 + index % 4, index % 8, 1, index % 4);
    for (int op = 0; op < 4; ++op)
        v.op(op, 1 + (index + op) % 4, 14, 3 + op, 3, 7, op == 3 ? 0 : 20 + 4 * op, (index + op) % 8, 4 | (op == 0 ? 8 : 0));
    return v;
}

inline Bytes denseSmaf()
{
    Bytes setup;
    for (int i = 0; i < 16; ++i)
        test::append(setup, test::voiceDefinition(benchVoice(i), 0, i, true));
    std::vector<Bytes> tracks;
    for (int t = 1; t <= 4; ++t) {
        test::Sequence s;
        for (int c = 0; c < 4; ++c) {
            const int ch = (t - 1) * 4 + c;
            s.control(0, {0x00, static_cast<std::uint8_t>(c << 6 | 0x30), static_cast<std::uint8_t>(ch)});
            s.control(0, {0x00, static_cast<std::uint8_t>(c << 6 | 0x37), 64});
            s.control(0, {0x00, static_cast<std::uint8_t>(c << 6 | 0x3A), static_cast<std::uint8_t>(8 + ch * 7)});
            s.control(0, {0x00, static_cast<std::uint8_t>(c << 6 | 0x24)}); // light modulation
        }
        for (int step = 0; step < kSeconds * 1000 / kStepMs; ++step)
            for (int c = 0; c < 4; ++c) {
                const int key = keyOf((t - 1) * 4 + c, step);
                const int block = key / 12 - 3;
                const int code = key % 12;
                // Note codes run 1-12: C is code 12 of the octave below.
                const int b = code == 0 ? block - 1 : block;
                const int n = code == 0 ? 12 : code;
                s.note(c == 0 ? kStepMs / 4 : 0, c, b, n, kGateMs / 4);
            }
        tracks.push_back(test::scoreTrack(t, t == 1 ? setup : Bytes{}, s.end()));
    }
    Bytes body;
    test::append(body, test::chunk("CNTI", Bytes{0, 1, 0, 0, 0}));
    for (const Bytes& t : tracks)
        test::append(body, t);
    body.push_back(0);
    body.push_back(0);
    return test::chunk("MMMD", body);
}

// Format 0, 1000 ticks a second (division 500 at 500000 us a quarter).
inline Bytes denseMidi()
{
    Bytes track;
    auto varLen = [&](std::uint32_t v) {
        std::uint8_t buf[5];
        int n = 0;
        buf[n++] = v & 0x7F;
        while ((v >>= 7) != 0)
            buf[n++] = static_cast<std::uint8_t>(0x80 | (v & 0x7F));
        while (n > 0)
            track.push_back(buf[--n]);
    };
    std::uint32_t now = 0;
    auto event = [&](std::uint32_t at, std::initializer_list<std::uint8_t> bytes) {
        varLen(at - now);
        now = at;
        track.insert(track.end(), bytes.begin(), bytes.end());
    };
    event(0, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});
    for (int ch = 0; ch < 16; ++ch) {
        const auto c = static_cast<std::uint8_t>(ch);
        event(0, {static_cast<std::uint8_t>(0xC0 | c), static_cast<std::uint8_t>(ch * 5)});
        event(0, {static_cast<std::uint8_t>(0xB0 | c), 7, 64});
        event(0, {static_cast<std::uint8_t>(0xB0 | c), 10, static_cast<std::uint8_t>(8 + ch * 7)});
    }
    const int steps = kSeconds * 1000 / kStepMs;
    for (int step = 0; step < steps; ++step) {
        const auto t = static_cast<std::uint32_t>(step * kStepMs);
        for (int ch = 0; ch < 16; ++ch)
            event(t, {static_cast<std::uint8_t>(0x90 | ch), static_cast<std::uint8_t>(keyOf(ch, step)), 100});
        for (int ch = 0; ch < 16; ++ch)
            event(t + kGateMs, {static_cast<std::uint8_t>(0x80 | ch), static_cast<std::uint8_t>(keyOf(ch, step)), 0});
    }
    event(now, {0xFF, 0x2F, 0x00});
    Bytes file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xF4};
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    test::put32(file, static_cast<std::uint32_t>(track.size()));
    test::append(file, track);
    return file;
}

} // namespace orka::smaf::bench
