#pragma once
// Songs of the kinds real files are: format 1, a track per channel, GM drums, sustain pedal,
// expression, pitch bends with their RPN, effects controllers, tempo changes. Deterministic
// for a given seed, so a failure can be replayed.
#include "../../audio/midi/tests/SmfBuilder.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace orka::test {

struct SongStyle {
    unsigned seed = 1;
    int channels = 8;       // melodic channels besides the drums (channel 10 is skipped)
    int drumPieces = 20;    // distinct GM drum notes; 0 for none
    int bars = 16;
    int chord = 3;          // notes struck together on the chord channels
    bool sustain = true;
    bool expression = true;
    bool bends = true;
    bool tempoChanges = true;
    std::uint16_t division = 480;
};

class SongGenerator {
public:
    explicit SongGenerator(const SongStyle& style) : s_(style), state_(style.seed * 2654435761u + 1) {}

    Bytes song()
    {
        std::vector<Bytes> tracks;
        tracks.push_back(conductor());
        int made = 0;
        for (int ch = 0; made < s_.channels && ch < 16; ++ch) {
            if (ch == 9)
                continue;
            tracks.push_back(melodic(ch, made % 2 == 0));
            ++made;
        }
        if (s_.drumPieces > 0)
            tracks.push_back(drums());
        Bytes out = header(1, static_cast<std::uint16_t>(tracks.size()), s_.division);
        for (const auto& t : tracks) {
            const Bytes c = chunk("MTrk", t);
            out.insert(out.end(), c.begin(), c.end());
        }
        return out;
    }

private:
    using Timed = std::vector<std::pair<std::uint32_t, Bytes>>;

    unsigned next(unsigned range)
    {
        state_ = state_ * 1103515245u + 12345u;
        return (state_ >> 8) % range;
    }
    std::uint32_t bar() const { return s_.division * 4u; }

    static Bytes finish(Timed events, std::uint32_t end)
    {
        std::stable_sort(events.begin(), events.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        Bytes out;
        std::uint32_t last = 0;
        std::uint8_t running = 0;
        for (const auto& [tick, bytes] : events) {
            const Bytes d = vlq(tick - last);
            out.insert(out.end(), d.begin(), d.end());
            // Running status, as most writers use it.
            const bool reuse = bytes[0] < 0xF0 && bytes[0] == running;
            out.insert(out.end(), bytes.begin() + (reuse ? 1 : 0), bytes.end());
            running = bytes[0] < 0xF0 ? bytes[0] : 0;
            last = tick;
        }
        const Bytes d = vlq(std::max(end, last) - last);
        out.insert(out.end(), d.begin(), d.end());
        const Bytes eot = endOfTrack();
        out.insert(out.end(), eot.begin(), eot.end());
        return out;
    }

    Bytes conductor()
    {
        Timed e;
        Bytes name = {0xFF, 0x03, 0x05, 'S', 'o', 'n', 'g', '!'};
        e.push_back({0, name});
        e.push_back({0, {0xFF, 0x58, 0x04, 4, 2, 24, 8}});
        e.push_back({0, setTempo(500000)});
        if (s_.tempoChanges)
            for (int b = 4; b < s_.bars; b += 4)
                e.push_back({b * bar(), setTempo(400000 + next(250000))});
        return finish(e, s_.bars * bar());
    }

    Bytes melodic(int ch, bool chords)
    {
        Timed e;
        const std::uint32_t end = s_.bars * bar();
        e.push_back({0, control(ch, 0, 0)});
        e.push_back({0, control(ch, 32, 0)});
        e.push_back({0, program(ch, static_cast<int>(next(128)))});
        e.push_back({0, control(ch, 7, 90 + static_cast<int>(next(37)))});
        e.push_back({0, control(ch, 10, static_cast<int>(next(128)))});
        e.push_back({0, control(ch, 91, 40)});
        e.push_back({0, control(ch, 93, 20)});
        if (s_.bends) {
            for (auto [c, v] : {std::pair{101, 0}, std::pair{100, 0}, std::pair{6, 12}, std::pair{38, 0}})
                e.push_back({0, control(ch, c, v)});
        }
        const int base = 36 + static_cast<int>(next(36));
        const std::uint32_t step = chords ? s_.division : s_.division / 2;
        for (std::uint32_t t = 0; t < end; t += step) {
            if (next(8) == 0)
                continue; // a rest
            const int notes = chords ? s_.chord : 1;
            const std::uint32_t length = step - (next(3) == 0 ? step / 4 : 0);
            for (int i = 0; i < notes; ++i) {
                const int key = std::clamp(base + static_cast<int>(next(24)) + i * 4, 0, 127);
                e.push_back({t, noteOn(ch, key, 40 + static_cast<int>(next(88)))});
                e.push_back({t + length, {static_cast<std::uint8_t>(0x90 | ch), static_cast<std::uint8_t>(key), 0}});
            }
            if (s_.sustain && t % bar() == 0) {
                e.push_back({t, control(ch, 64, 127)});
                e.push_back({t + bar() - step / 2, control(ch, 64, 0)});
            }
            if (s_.expression && next(4) == 0)
                e.push_back({t, control(ch, 11, 60 + static_cast<int>(next(68)))});
            if (s_.bends && next(6) == 0) {
                const int v = 8192 + static_cast<int>(next(4096)) - 2048;
                e.push_back({t + step / 2, {static_cast<std::uint8_t>(0xE0 | ch), static_cast<std::uint8_t>(v & 0x7F),
                                            static_cast<std::uint8_t>(v >> 7)}});
                e.push_back({t + step - 1, {static_cast<std::uint8_t>(0xE0 | ch), 0x00, 0x40}});
            }
            if (next(16) == 0)
                e.push_back({t, {static_cast<std::uint8_t>(0xD0 | ch), static_cast<std::uint8_t>(next(128))}});
        }
        return finish(e, end);
    }

    Bytes drums()
    {
        Timed e;
        const std::uint32_t end = s_.bars * bar();
        e.push_back({0, control(9, 7, 110)});
        std::vector<int> pieces;
        for (int n = 35; n <= 81 && static_cast<int>(pieces.size()) < s_.drumPieces; n += 1 + (n % 3 == 0))
            pieces.push_back(n);
        const std::uint32_t step = s_.division / 4;
        for (std::uint32_t t = 0, i = 0; t < end; t += step, ++i) {
            // Kick and hi-hat carry the beat; the other pieces come now and then.
            std::vector<int> hits = {42};
            if (i % 4 == 0)
                hits.push_back(36);
            if (next(3) == 0)
                hits.push_back(pieces[next(static_cast<unsigned>(pieces.size()))]);
            for (int key : hits) {
                e.push_back({t, noteOn(9, key, 60 + static_cast<int>(next(60)))});
                e.push_back({t + step / 2, noteOff(9, key)});
            }
        }
        return finish(e, end);
    }

    SongStyle s_;
    unsigned state_;
};

inline Bytes generatedSong(const SongStyle& style) { return SongGenerator(style).song(); }

} // namespace orka::test
