#pragma once
// Lookup tables of the FM synthesizer, computed once at start-up from their defining rules
// so that the sample loop only indexes and multiplies.
#include <array>
#include <cstdint>

namespace orka::smaf {

inline constexpr int kWaveLength = 4096;
inline constexpr int kSilentStep = 192; // attenuation step (0.5 dB each) that means silence
inline constexpr std::uint32_t kFullLevel = 0x80000000u;
inline constexpr std::uint32_t kUnityFactor = 0x40000000u; // 1.0 in 2.30 fixed point

struct FmTables {
    std::array<std::array<std::int16_t, kWaveLength>, 8> waveforms{};
    std::array<std::uint32_t, 64> attackIncrement{};  // table A
    std::array<std::uint32_t, 64> decayFactor{};      // table D, 2.30 fixed point
    std::array<std::uint32_t, 16> sustainThreshold{}; // envelope level that ends the decay
    std::array<std::int32_t, 64> totalLevelGain{};
    std::array<std::array<std::int32_t, 128>, 4> keyScaleGain{}; // by mapped level 0-3
    std::array<std::array<std::int32_t, kWaveLength>, 4> tremolo{};
    std::array<std::array<std::uint32_t, kWaveLength>, 4> vibrato{};
    std::array<std::int32_t, kSilentStep + 1> gain{};        // g(n) = 32768 x 10^(-n/40)
    std::array<std::int32_t, kSilentStep + 1> sampleGain{};  // g'(n), 32767 at 0
    std::array<std::uint8_t, 128> levelCurve{};              // c(x), attenuation of a 0-127 value
    std::array<std::uint8_t, 128> panLeft{};
    std::array<std::uint8_t, 128> panRight{};
    std::array<double, 128> noteFrequency{};                 // Hz, to one decimal
    std::array<std::uint32_t, 16> multiplierTimesTwo{};     // code 0 is one half
    std::array<std::uint32_t, 4> lfoRate{};
};

const FmTables& fmTables();

// Attenuation step -> gain, capping the step at silence; negative steps count as 0.
inline std::int32_t gainForStep(int step)
{
    if (step < 0)
        step = 0;
    return fmTables().gain[step > kSilentStep ? kSilentStep : step];
}

} // namespace orka::smaf
