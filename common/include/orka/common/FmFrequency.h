#pragma once
// The pitch of an FM voice: a note's frequency, bent, as the sound chip's frequency number,
// and that number split into block (octave) and 10-bit F-number. The synthesizer and the
// converter's frequency registers both start from frequencyNumber(); they split it
// differently (splitForVoice, splitForRegisters) because the handset's registers want the
// F-number kept in its middle range.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace orka::common::fm {

// A pitch bend as stored: (14-bit value - 8192) x 4, so a full bend is 32768 either way and
// 12 x 32768 = 393216 makes a full bend move the pitch by the bend range in semitones.
inline constexpr int kFullBend = 32768;
inline constexpr double kBendPerOctave = 12.0 * kFullBend;

// The frequency number of 1 Hz at block 0: 2^19 / 24850, the chip's own clock ratio.
inline constexpr double kFrequencyNumberPerHertz = 21.098109;

inline constexpr int kFnumberBits = 10;
inline constexpr std::int64_t kMaxFnumber = (1 << kFnumberBits) - 1; // 1023
inline constexpr int kMaxVoiceBlock = 8;
inline constexpr int kMaxRegisterBlock = 7; // 3 bits in the register, below the key-on bit
// The highest frequency number: F-number 1023 at block 8 (0x3FF00).
inline constexpr std::int64_t kMaxFrequencyNumber = kMaxFnumber << kMaxVoiceBlock;

// Hz of a MIDI note, equal-tempered with note 69 = 440 Hz, held to 0.1 Hz (note 0 = 8.2,
// note 60 = 261.6). The handset's table lists its top note as 12544.0 Hz rather than the
// rounded 12543.9, and both the synthesizer and the converter follow that table.
inline double noteFrequency(int note)
{
    if (note < 0 || note > 127)
        return 0.0;
    if (note == 127)
        return 12544.0;
    return std::round(4400.0 * std::exp2((note - 69) / 12.0)) / 10.0;
}

// The table of noteFrequency for notes 0 to 127.
inline std::array<double, 128> noteFrequencyTable()
{
    std::array<double, 128> table{};
    for (int k = 0; k < 128; ++k)
        table[static_cast<std::size_t>(k)] = noteFrequency(k);
    return table;
}

// trunc(hz x 2^(range x bend / 393216) x 21.098109), 0 when not positive, at most
// kMaxFrequencyNumber.
inline std::int64_t frequencyNumber(double hz, int range, int bend)
{
    const double scaled = hz * std::exp2(static_cast<double>(range) * bend / kBendPerOctave) * kFrequencyNumberPerHertz;
    if (!(scaled >= 1.0))
        return 0;
    return static_cast<std::int64_t>(std::min(scaled, static_cast<double>(kMaxFrequencyNumber)));
}

struct BlockAndFnumber {
    int block = 0;
    int fnumber = 0;
    bool operator==(const BlockAndFnumber&) const = default;
};

// The synthesizer's voice: the lowest block whose F-number fits 10 bits (block 0 to 8).
inline BlockAndFnumber splitForVoice(std::int64_t frequency)
{
    BlockAndFnumber out;
    while (frequency > kMaxFnumber) {
        frequency >>= 1;
        ++out.block;
    }
    out.fnumber = static_cast<int>(frequency);
    return out;
}

// The converter's frequency registers: the F-number is raised to at least 365 (octaves up
// at block 0) and halved into 365-690 while the block grows; above block 7, which would
// reach the key-on bit, it stays at block 7 with the F-number held to 10 bits.
inline BlockAndFnumber splitForRegisters(std::int64_t frequency)
{
    constexpr std::int64_t kLowest = 365, kHighest = 690;
    BlockAndFnumber out;
    if (frequency <= 0)
        return out;
    while (frequency < kLowest)
        frequency *= 2;
    while (frequency > kHighest) {
        frequency /= 2;
        ++out.block;
    }
    while (out.block > kMaxRegisterBlock) {
        frequency *= 2;
        --out.block;
    }
    out.fnumber = static_cast<int>(std::min(frequency, kMaxFnumber));
    return out;
}

} // namespace orka::common::fm
