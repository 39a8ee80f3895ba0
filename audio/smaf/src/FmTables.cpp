#include "orka/smaf/FmTables.h"

#include "orka/common/FmFrequency.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

namespace orka::smaf {
namespace {

using std::numbers::pi;

void buildWaveforms(FmTables& t)
{
    constexpr int half = kWaveLength / 2;
    constexpr int quarter = kWaveLength / 4;
    auto sine = [](double phase) { return std::lround(32767.0 * std::sin(2.0 * pi * phase)); };
    for (int i = 0; i < kWaveLength; ++i) {
        const double ph = static_cast<double>(i) / kWaveLength;
        const long s = sine(ph);
        const long s2 = sine(2.0 * ph);
        t.waveforms[0][i] = static_cast<std::int16_t>(s);
        t.waveforms[1][i] = static_cast<std::int16_t>(i < half ? s : 0);
        t.waveforms[2][i] = static_cast<std::int16_t>(std::labs(s));
        t.waveforms[3][i] = static_cast<std::int16_t>((i % half) < quarter ? std::labs(s) : 0);
        t.waveforms[4][i] = static_cast<std::int16_t>(i < half ? s2 : 0);
        t.waveforms[5][i] = static_cast<std::int16_t>(i < half ? std::labs(s2) : 0);
        t.waveforms[6][i] = static_cast<std::int16_t>(i < half ? 32767 : -32767);
    }
    // Exponential ramp: halves every 128 samples, so it has reached 0 by the middle.
    for (int i = 0; i < half; ++i) {
        const auto v = static_cast<std::int16_t>(32767.0 * std::exp2(-i / 128.0));
        t.waveforms[7][i] = v;
        t.waveforms[7][kWaveLength - 1 - i] = static_cast<std::int16_t>(-v);
    }
}

void buildEnvelopeTables(FmTables& t)
{
    static constexpr std::uint32_t attackBase[4] = {32826, 41032, 49239, 57445};
    // Decay per sample at the fastest rate; slower rates take proportionally longer.
    const double fastest = -std::log(0.820912);
    for (int r = 0; r < 64; ++r) {
        if (r < 4) {
            t.attackIncrement[r] = 0;
            t.decayFactor[r] = kUnityFactor;
        } else if (r >= 60) {
            t.attackIncrement[r] = kFullLevel;
            t.decayFactor[r] = static_cast<std::uint32_t>(std::lround(0.820912 * kUnityFactor));
        } else {
            t.attackIncrement[r] = attackBase[r % 4] << (r / 4 - 1);
            const double k = fastest * (4 + r % 4) / 4.0 * std::exp2(r / 4 - 15);
            t.decayFactor[r] = static_cast<std::uint32_t>(std::lround(std::exp(-k) * kUnityFactor));
        }
    }
    for (int sl = 0; sl < 15; ++sl)
        t.sustainThreshold[sl] = static_cast<std::uint32_t>(std::llround(2147483648.0 * std::pow(10.0, -3.0 * sl / 20.0)));
    t.sustainThreshold[15] = 48076;
}

void buildLevelTables(FmTables& t)
{
    // Total level: 32512 at 0 falling by about 0.75 dB a step to 142 at 63.
    for (int tl = 0; tl < 64; ++tl)
        t.totalLevelGain[tl] = static_cast<std::int32_t>(std::lround(32512.0 * std::pow(142.0 / 32512.0, tl / 63.0)));
    // Key scaling: 0, 1.5, 3 and 6 dB per octave above the lowest octaves.
    static constexpr double dbPerOctave[4] = {0.0, 1.5, 3.0, 6.0};
    for (int m = 0; m < 4; ++m)
        for (int kv = 0; kv < 128; ++kv) {
            const int fnumHigh = kv >> 3;
            const int block = kv & 7;
            const double octave = block + std::log2((fnumHigh * 64 + 32) / 1024.0) + 1.0;
            const double attenuation = dbPerOctave[m] * std::max(0.0, octave - 1.0);
            t.keyScaleGain[m][kv] = static_cast<std::int32_t>(std::lround(32768.0 * std::pow(10.0, -attenuation / 20.0)));
        }
    for (int n = 0; n <= kSilentStep; ++n) {
        t.gain[n] = static_cast<std::int32_t>(std::lround(32768.0 * std::pow(10.0, -n / 40.0)));
        t.sampleGain[n] = static_cast<std::int32_t>(std::lround(32767.0 * std::pow(10.0, -n / 40.0)));
    }
    t.gain[kSilentStep] = 0;
    t.sampleGain[kSilentStep] = 0;
    t.levelCurve[0] = kSilentStep;
    for (int x = 1; x < 128; ++x)
        t.levelCurve[x] = static_cast<std::uint8_t>(std::lround(80.0 * std::log10(127.0 / x)));
    // Pan: the far side falls along a cosine law to 76 steps at 126 and silence at 127.
    const double edge = -40.0 * std::log10(std::cos(pi / 2.0 * 107.0 / 108.0));
    for (int p = 0; p < 128; ++p) {
        int left = 0;
        if (p == 127)
            left = kSilentStep;
        else if (p > 19)
            left = static_cast<int>(std::lround(-40.0 * std::log10(std::cos(pi / 2.0 * (p - 19) / 108.0)) * 76.0 / edge));
        t.panLeft[p] = static_cast<std::uint8_t>(left);
    }
    for (int p = 0; p < 128; ++p)
        t.panRight[p] = t.panLeft[127 - p];
}

void buildModulationTables(FmTables& t)
{
    static constexpr double tremoloDb[4] = {1.3, 2.8, 5.8, 11.8};
    static constexpr double vibratoCents[4] = {3.4, 6.7, 13.5, 26.8};
    constexpr int half = kWaveLength / 2;
    for (int d = 0; d < 4; ++d)
        for (int i = 0; i < kWaveLength; ++i) {
            const double slope = (i <= half ? i : kWaveLength - i) / static_cast<double>(half);
            t.tremolo[d][i] = static_cast<std::int32_t>(std::lround(32768.0 * std::pow(10.0, -tremoloDb[d] * slope / 20.0)));
            const double cents = vibratoCents[d] * std::sin(2.0 * pi * i / kWaveLength);
            t.vibrato[d][i] = static_cast<std::uint32_t>(std::lround(1048576.0 * std::exp2(cents / 1200.0)));
        }
    t.lfoRate = {370088, 818089, 1188177, 1402438};
}

void build(FmTables& t)
{
    buildWaveforms(t);
    buildEnvelopeTables(t);
    buildLevelTables(t);
    buildModulationTables(t);
    t.noteFrequency = orka::common::fm::noteFrequencyTable();
    static constexpr std::uint32_t multipliers[16] = {1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 10, 12, 12, 15, 15};
    for (int c = 0; c < 16; ++c)
        t.multiplierTimesTwo[c] = c == 0 ? 1 : 2 * multipliers[c];
}

} // namespace

const FmTables& fmTables()
{
    // On the heap: the tables are a few hundred kilobytes, too much for a callback thread's stack.
    static const std::unique_ptr<const FmTables> tables = [] {
        auto t = std::make_unique<FmTables>();
        build(*t);
        return t;
    }();
    return *tables;
}

} // namespace orka::smaf
