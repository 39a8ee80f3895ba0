// The operator engine: tables, phase increments, envelopes, feedback and algorithms.
#include "orka/smaf/FmEngine.h"
#include "orka/smaf/FmTables.h"
#include "orka/testing/SmafBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace orka::smaf::test {
namespace {

DecodedVoice decode(const VoiceBytes& v) { return decodeVoiceRecord(v.bytes); }

struct Accumulators {
    std::vector<std::int32_t> left, right;
    explicit Accumulators(int n) : left(static_cast<std::size_t>(n)), right(static_cast<std::size_t>(n)) {}
};

Accumulators render(FmEngine& e, int n)
{
    Accumulators a(n);
    e.render(a.left.data(), a.right.data(), n);
    return a;
}

TEST(FmTables, StatedPointsOfTheTables)
{
    const FmTables& t = fmTables();
    EXPECT_EQ(t.attackIncrement[0], 0u);
    EXPECT_EQ(t.attackIncrement[3], 0u);
    EXPECT_EQ(t.attackIncrement[4], 32826u);
    EXPECT_EQ(t.attackIncrement[7], 57445u);
    EXPECT_EQ(t.attackIncrement[8], 65652u);
    EXPECT_EQ(t.attackIncrement[60], 0x80000000u);
    EXPECT_EQ(t.attackIncrement[63], 0x80000000u);
    EXPECT_EQ(t.decayFactor[0], 0x40000000u);
    EXPECT_EQ(t.decayFactor[3], 0x40000000u);
    EXPECT_NEAR(t.decayFactor[4] / 1073741824.0, 0.999988, 1e-6);
    EXPECT_NEAR(t.decayFactor[60] / 1073741824.0, 0.820912, 1e-6);
    EXPECT_EQ(t.decayFactor[60], t.decayFactor[63]);
    for (int r = 5; r < 64; ++r)
        EXPECT_LE(t.decayFactor[r], t.decayFactor[r - 1]) << r;
    EXPECT_EQ(t.sustainThreshold[0], 0x80000000u);
    EXPECT_EQ(t.sustainThreshold[15], 48076u);
    EXPECT_EQ(t.totalLevelGain[0], 32512);
    EXPECT_EQ(t.totalLevelGain[63], 142);
    EXPECT_EQ(t.tremolo[0][2048], 28213);
    EXPECT_EQ(t.tremolo[1][2048], 23738);
    EXPECT_EQ(t.tremolo[2][2048], 16805);
    EXPECT_EQ(t.tremolo[3][2048], 8423);
    EXPECT_EQ(t.tremolo[3][0], 32768);
    EXPECT_EQ(t.vibrato[2][0], 1u << 20);
    EXPECT_EQ(t.vibrato[2][2048], 1u << 20);
    EXPECT_GT(t.vibrato[2][1024], 1u << 20);
    EXPECT_LT(t.vibrato[2][3072], 1u << 20);
    EXPECT_EQ(t.gain[0], 32768);
    EXPECT_EQ(t.gain[1], 30935);
    EXPECT_EQ(t.gain[190], 1);
    EXPECT_EQ(t.gain[191], 1);
    EXPECT_EQ(t.gain[192], 0);
    EXPECT_EQ(t.sampleGain[0], 32767);
    EXPECT_EQ(t.levelCurve[127], 0);
    EXPECT_EQ(t.levelCurve[64], 24);
    EXPECT_EQ(t.levelCurve[1], 168);
    EXPECT_EQ(t.levelCurve[0], 192);
    EXPECT_EQ(t.panLeft[0], 0);
    EXPECT_EQ(t.panLeft[19], 0);
    EXPECT_EQ(t.panLeft[126], 76);
    EXPECT_EQ(t.panLeft[127], 192);
    EXPECT_EQ(t.panRight[0], 192);
    EXPECT_DOUBLE_EQ(t.noteFrequency[0], 8.2);
    EXPECT_DOUBLE_EQ(t.noteFrequency[60], 261.6);
    EXPECT_DOUBLE_EQ(t.noteFrequency[69], 440.0);
    EXPECT_DOUBLE_EQ(t.noteFrequency[127], 12544.0); // as the handset's table lists it, not 12543.9
}

TEST(FmTables, WaveformShapes)
{
    const auto& w = fmTables().waveforms;
    EXPECT_EQ(w[0][1024], 32767);
    EXPECT_EQ(w[0][3072], -32767);
    EXPECT_EQ(w[1][3072], 0);
    EXPECT_EQ(w[2][3072], 32767);
    EXPECT_EQ(w[3][1536], 0);
    EXPECT_EQ(w[3][2560], 23170);
    EXPECT_EQ(w[4][512], 32767);
    EXPECT_EQ(w[4][2600], 0);
    EXPECT_EQ(w[5][1536], 32767);
    EXPECT_EQ(w[6][100], 32767);
    EXPECT_EQ(w[6][4000], -32767);
    EXPECT_EQ(w[7][0], 32767);
    EXPECT_EQ(w[7][2047], 0);
    EXPECT_EQ(w[7][4095], -32767);
    for (int i = 1; i < 2048; ++i)
        ASSERT_LE(w[7][i], w[7][i - 1]);
}

TEST(FmEngine, PhaseIncrementFollowsBlockFnumberAndMultiplier)
{
    FmEngine e;
    VoiceBytes v(1);
    v.op(0, 1, 15, 0, 0, 0, 0).op(1, 0, 15, 0, 0, 0, 0);
    e.loadVoice(0, decode(v));
    e.setPitch(0, 4, 580);
    render(e, 1);
    EXPECT_EQ(e.voice(0).op[0].baseIncrement, (580u << 4) * 9232u);
    EXPECT_EQ(e.voice(0).op[1].baseIncrement, (580u << 4) * 9232u / 2); // multiplier code 0 halves
    // Octave code 0 raises the block by one, code 3 lowers it by two (clamped at 0).
    VoiceBytes up(1, 0, 0);
    up.op(0, 1, 15, 0, 0, 0, 0);
    e.loadVoice(1, decode(up));
    e.setPitch(1, 4, 580);
    VoiceBytes down(1, 0, 3);
    down.op(0, 1, 15, 0, 0, 0, 0);
    e.loadVoice(2, decode(down));
    e.setPitch(2, 1, 580);
    render(e, 1);
    EXPECT_EQ(e.voice(1).op[0].baseIncrement, (580u << 5) * 9232u);
    EXPECT_EQ(e.voice(2).op[0].baseIncrement, 580u * 9232u);
}

TEST(FmEngine, BlockEightIsClampedAfterTheOctaveShift)
{
    FmEngine e;
    const int octaveCodes[] = {1, 2, 3}; // shifts 0, -1, -2
    for (int v = 0; v < 3; ++v) {
        VoiceBytes voice(1, 0, octaveCodes[v]);
        voice.op(0, 1, 15, 0, 0, 0, 0);
        e.loadVoice(v, decode(voice));
        e.setPitch(v, 8, 580); // a note from 115 up, or bent that high
    }
    render(e, 1);
    EXPECT_EQ(e.voice(0).op[0].baseIncrement, static_cast<std::uint32_t>((580ull << 7) * 9232u));
    EXPECT_EQ(e.voice(1).op[0].baseIncrement, (580u << 7) * 9232u);
    EXPECT_EQ(e.voice(2).op[0].baseIncrement, (580u << 6) * 9232u);
}

TEST(FmEngine, RateZeroWithKeyScaleRateStillRisesAndReleases)
{
    constexpr int kKeyScaleRate = 1, kSustained = 4;
    FmEngine e;
    VoiceBytes scaled(1);
    // Attack 0, release 0, sustain level 0 (no decay phase), sustained: only key scaling
    // gives the attack and the release a rate.
    scaled.op(0, 1, 0, 0, 0, 0, 0, 0, kSustained | kKeyScaleRate).op(1, 1, 0, 0, 0, 0, 0, 0, kSustained | kKeyScaleRate);
    VoiceBytes plain(1);
    plain.op(0, 1, 0, 0, 0, 0, 0).op(1, 1, 0, 0, 0, 0, 0);
    e.loadVoice(0, decode(scaled));
    e.loadVoice(1, decode(plain));
    for (int v = 0; v < 2; ++v) {
        e.setPitch(v, 7, 1023); // key code 15: effective rate 15
        e.keyOn(v);
    }
    render(e, 22050);
    // Risen to full level and, after one step of decay (its rate 0 is scaled too), held.
    EXPECT_EQ(e.voice(0).op[0].state, kEnvSustain);
    EXPECT_GT(e.voice(0).op[0].level, kFullLevel / 100 * 99);
    EXPECT_EQ(e.voice(1).op[0].level, 0u); // rate 0 without key scaling never rises
    const std::uint32_t held = e.voice(0).op[0].level;
    render(e, 2000);
    EXPECT_EQ(e.voice(0).op[0].level, held); // the sustained phase at rate 0 holds
    e.keyOff(0);
    render(e, 22050);
    EXPECT_LT(e.voice(0).op[0].level, held); // rate 0 would hold it exactly
}

TEST(FmEngine, AttackRatesZeroToThreeNeverRiseSixtyUpReachFullLevelInOneSample)
{
    FmEngine e;
    VoiceBytes slow(1);
    slow.op(0, 1, 0, 0, 15, 0, 0).op(1, 1, 0, 0, 15, 0, 0);
    VoiceBytes fast(1);
    fast.op(0, 1, 15, 0, 15, 0, 0).op(1, 1, 15, 0, 15, 0, 0);
    e.loadVoice(0, decode(slow));
    e.loadVoice(1, decode(fast));
    for (int v = 0; v < 2; ++v) {
        e.setPitch(v, 7, 1023); // the highest key code: key scaling adds the most
        e.keyOn(v);
    }
    render(e, 1);
    EXPECT_EQ(e.voice(1).op[0].level, kFullLevel);
    EXPECT_EQ(e.voice(1).op[0].state, kEnvDecay);
    const Accumulators a = render(e, 2000);
    EXPECT_EQ(e.voice(0).op[0].level, 0u);
    EXPECT_EQ(e.voice(0).op[0].state, kEnvAttack);
    // Rate 0 with key scaling still counts as 0: the decay holds (factor 1.0).
    EXPECT_EQ(e.voice(1).op[0].level, kFullLevel);
}

TEST(FmEngine, KeyOffReleasesToOffAndKeyOnPlusOffInOneChunkIsOneShot)
{
    FmEngine e;
    VoiceBytes v = VoiceBytes::sine(15);
    e.loadVoice(0, decode(v));
    e.setPitch(0, 4, 580);
    e.keyOn(0);
    render(e, 100);
    EXPECT_TRUE(e.isSounding(0));
    e.keyOff(0);
    render(e, 22);
    EXPECT_EQ(e.voice(0).op[1].state, kEnvKeyOff);
    render(e, 22050);
    EXPECT_FALSE(e.isSounding(0));

    e.keyOn(0);
    e.keyOff(0);
    render(e, 1);
    // One attack step (instant at this rate), then straight into the release.
    EXPECT_EQ(e.voice(0).op[1].state, kEnvKeyOff);
    EXPECT_EQ(e.voice(0).op[1].level, kFullLevel);
    render(e, 22050);
    EXPECT_FALSE(e.isSounding(0));
    // A key off then a key on within one chunk is a plain key on.
    e.keyOff(0);
    e.keyOn(0);
    render(e, 2);
    EXPECT_EQ(e.voice(0).op[1].state, kEnvSustain);
}

TEST(FmEngine, FeedbackZeroLeavesOperatorOneAPlainSine)
{
    auto firstOperatorOnly = [](int feedback) {
        FmEngine e;
        VoiceBytes v(1, feedback);
        v.op(0, 1, 15, 0, 0, 0, 0).op(1, 1, 0, 0, 0, 0, 63);
        e.loadVoice(0, decodeVoiceRecord(v.bytes));
        e.setGains(0, 0, 0);
        e.setPitch(0, 4, 580);
        e.keyOn(0);
        return render(e, 400).left;
    };
    const std::vector<std::int32_t> plain = firstOperatorOnly(0);
    const auto& t = fmTables();
    const std::uint32_t inc = (580u << 4) * 9232u;
    const std::int32_t amplitude = static_cast<std::int32_t>(((kFullLevel >> 16) * 32512u) >> 15);
    for (int i = 0; i < 400; ++i) {
        const std::uint32_t phase = inc * static_cast<std::uint32_t>(i);
        const std::int32_t expected = (t.waveforms[0][phase >> 20] * amplitude) >> 15;
        ASSERT_EQ(plain[static_cast<std::size_t>(i)], expected) << i;
    }
    EXPECT_NE(firstOperatorOnly(7), plain);
}

TEST(FmEngine, AlgorithmsTwoAndThreeAreSilent)
{
    for (int algorithm : {2, 3}) {
        FmEngine e;
        VoiceBytes v(algorithm);
        for (int i = 0; i < 4; ++i)
            v.op(i, 1, 15, 0, 0, 0, 0);
        const DecodedVoice d = decode(v);
        EXPECT_EQ(d.operatorCount, 0);
        e.loadVoice(0, d);
        e.setGains(0, 0, 0);
        e.setPitch(0, 4, 580);
        e.keyOn(0);
        const Accumulators a = render(e, 500);
        for (std::int32_t s : a.left)
            ASSERT_EQ(s, 0);
    }
}

TEST(FmEngine, EveryFourOperatorAlgorithmSounds)
{
    for (int algorithm : {4, 5, 6, 7}) {
        FmEngine e;
        VoiceBytes v(algorithm);
        for (int i = 0; i < 4; ++i)
            v.op(i, 1, 15, 0, 0, 0, 20);
        e.loadVoice(0, decode(v));
        e.setGains(0, 0, 0);
        e.setPitch(0, 4, 580);
        e.keyOn(0);
        const Accumulators a = render(e, 500);
        std::int64_t sum = 0;
        for (std::int32_t s : a.left)
            sum += std::abs(s);
        EXPECT_GT(sum, 0) << algorithm;
    }
}

TEST(FmEngine, GainsPanTheVoice)
{
    FmEngine e;
    e.loadVoice(0, decode(VoiceBytes::sine()));
    e.setGains(0, 0, 192);
    e.setPitch(0, 4, 580);
    e.keyOn(0);
    const Accumulators a = render(e, 300);
    std::int64_t left = 0, right = 0;
    for (int i = 0; i < 300; ++i) {
        left += std::abs(a.left[static_cast<std::size_t>(i)]);
        right += std::abs(a.right[static_cast<std::size_t>(i)]);
    }
    EXPECT_GT(left, 100000);
    EXPECT_EQ(right, 0);
}

TEST(FmEngine, VibratoNeedsTheEnableBitAndChannelModulationAndCapsItsDepth)
{
    FmEngine e;
    VoiceBytes v(1);
    v.op(0, 1, 15, 0, 0, 0, 0, 0, 4 | 8).op(1, 1, 15, 0, 0, 0, 0, 0, 4);
    v.bytes[9] = 0x80; // operator 1: second depth field 2
    e.loadVoice(0, decode(v));
    e.setPitch(0, 4, 580);
    render(e, 1);
    EXPECT_FALSE(e.voice(0).op[0].vibratoActive);
    e.setModulation(0, 4);
    render(e, 1);
    EXPECT_TRUE(e.voice(0).op[0].vibratoActive);
    EXPECT_EQ(e.voice(0).op[0].activeVibratoDepth, 3);
    EXPECT_FALSE(e.voice(0).op[1].vibratoActive);
    e.setModulation(0, 1);
    render(e, 1);
    EXPECT_EQ(e.voice(0).op[0].activeVibratoDepth, 2);
}

TEST(FmEngine, TremoloSwingsTheLevelByItsDepth)
{
    FmEngine e;
    VoiceBytes v(1, 0, 1, 3); // fastest LFO, about 7.2 Hz
    v.op(0, 1, 0, 0, 0, 0, 63).op(1, 1, 15, 0, 0, 0, 0);
    v.bytes[14] = 0x38; // operator 2: tremolo on, depth 3
    e.loadVoice(0, decode(v));
    e.setGains(0, 0, 0);
    e.setPitch(0, 4, 580);
    e.keyOn(0);
    // Peaks over 5 ms windows across one LFO period.
    int loudest = 0, quietest = 1 << 30;
    for (int w = 0; w < 30; ++w) {
        const Accumulators a = render(e, 110);
        int peak = 0;
        for (std::int32_t x : a.left)
            peak = std::max(peak, std::abs(x));
        loudest = std::max(loudest, peak);
        quietest = std::min(quietest, peak);
    }
    const double db = 20.0 * std::log10(static_cast<double>(loudest) / quietest);
    EXPECT_NEAR(db, 11.8, 1.0);
}

TEST(FmEngine, VibratoBendsThePitchBothWays)
{
    FmEngine e;
    VoiceBytes v(1, 0, 1, 3);
    v.op(0, 1, 0, 0, 0, 0, 63).op(1, 1, 15, 0, 0, 0, 0, 0, 4 | 8);
    v.bytes[14] = 0xC0; // depth field 3
    e.loadVoice(0, decode(v));
    e.setModulation(0, 1);
    e.setPitch(0, 4, 580);
    e.keyOn(0);
    std::uint32_t low = ~0u, high = 0;
    for (int chunk = 0; chunk < 200; ++chunk) {
        render(e, 22);
        low = std::min(low, e.voice(0).op[1].increment);
        high = std::max(high, e.voice(0).op[1].increment);
    }
    const double base = e.voice(0).op[1].baseIncrement;
    EXPECT_NEAR(1200.0 * std::log2(high / base), 26.8, 0.5);
    EXPECT_NEAR(1200.0 * std::log2(low / base), -26.8, 0.5);
}

} // namespace
} // namespace orka::smaf::test
