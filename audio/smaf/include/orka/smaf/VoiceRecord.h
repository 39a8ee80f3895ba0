#pragma once
// One FM voice as the synthesizer keeps it, decoded from the 26-byte record of a voice bank
// (or of a voice definition carried in a SMAF file).
#include <cstddef>
#include <cstdint>
#include <span>

namespace orka::smaf {

struct OperatorFields {
    std::uint8_t multiplier = 0;    // code 0-15
    std::uint8_t vibrato = 0;       // vibrato enable
    std::uint8_t sustained = 0;     // level holds while the key is down
    std::uint8_t sustain = 0;       // key-off uses release rate 4
    std::uint8_t keyScaleRate = 0;
    std::uint8_t releaseRate = 0;
    std::uint8_t decayRate = 0;
    std::uint8_t attackRate = 0;
    std::uint8_t sustainLevel = 0;
    std::uint8_t totalLevel = 0;    // 0-63 attenuation
    std::uint8_t keyScaleLevel = 0; // code 0-3
    std::uint8_t vibratoDepth = 0;  // the second depth field
    std::uint8_t tremoloDepth = 0;
    std::uint8_t tremolo = 0;       // tremolo enable
    std::uint8_t waveform = 0;
};

struct DecodedVoice {
    std::uint32_t waveHandle = 0; // ADPCM drum wave, 0 when none
    std::uint8_t operatorCount = 0;
    std::uint8_t octaveCode = 0;
    std::uint8_t lfo = 0;
    std::uint8_t feedback = 0;
    std::uint8_t algorithm = 0;
    OperatorFields op[4]{};
    std::uint8_t drumKey = 0;
};

inline constexpr std::size_t kVoiceRecordSize = 26;

// Operators a voice of this algorithm uses: 2 for 0-1, 4 for 4-7, 0 (silent) for 2-3.
constexpr std::uint8_t operatorsForAlgorithm(unsigned algorithm)
{
    if (algorithm <= 1)
        return 2;
    if (algorithm >= 4 && algorithm <= 7)
        return 4;
    return 0;
}

OperatorFields decodeOperator(const std::uint8_t* bytes5);

// Decodes a record; bytes beyond the span count as zero so a short record never reads past
// its end. A 2-operator voice gets operators 3 and 4 cleared.
DecodedVoice decodeVoiceRecord(std::span<const std::uint8_t> record);

} // namespace orka::smaf
