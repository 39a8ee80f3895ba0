#include "orka/smaf/FmEngine.h"

#include "orka/smaf/FmTables.h"

#include "orka/common/FmFrequency.h"

#include <algorithm>

namespace orka::smaf {
namespace {

constexpr std::uint8_t kKeyScaleLevelMap[4] = {0, 2, 1, 3};
constexpr std::int8_t kOctaveShift[4] = {1, 0, -1, -2};
constexpr std::uint8_t kFeedbackShift[8] = {0, 7, 6, 5, 4, 3, 2, 1};

int effectiveRate(int rate, int keyCode, bool keyScaleRate)
{
    return std::min(63, rate * 4 + (keyScaleRate ? keyCode : keyCode >> 2));
}

// A sustain-phase rate of 0 (a sustained voice) holds the level whatever the key.
int sustainPhaseRate(int rate, int keyCode, bool keyScaleRate)
{
    return rate == 0 ? 0 : effectiveRate(rate, keyCode, keyScaleRate);
}

constexpr int kMaxBlock = 64;

// Runs one operator's envelope over a block and leaves the amplitude of every sample (the
// envelope level scaled by the output level). Key changes land only at the start of a block,
// so the phase resets of an attack start or a one-shot happen before the first sample. The
// phase of an operator that has gone off keeps turning: nothing hears it, and the next attack
// resets it. Returns false when the whole block is silent.
bool envelopeBlock(FmOperator& o, std::int32_t* amp, int n)
{
    if (o.state == kEnvAttackStart || o.state == kEnvOneShot)
        o.phase = 0;
    const auto outputLevel = static_cast<std::uint32_t>(o.outputLevel);
    auto amplitude = [outputLevel](std::uint32_t level) {
        return static_cast<std::int32_t>(((level >> 16) * outputLevel) >> 15);
    };
    // Holding levels (sustained, or a rate of 0-3) need no work per sample.
    if (o.state == kEnvOff || (o.state == kEnvSustain && o.sustainFactor == kUnityFactor) ||
        (o.state == kEnvDecay && o.decayFactor == kUnityFactor && o.level > o.sustainThreshold) ||
        (o.state == kEnvAttack && o.attackIncrement == 0)) {
        const std::int32_t a = o.state == kEnvOff ? 0 : amplitude(o.level);
        std::fill_n(amp, n, a);
        return a != 0;
    }
    // The common case: a whole block in one exponential state with no change of state. The
    // level only falls there, so checking the block's last level is enough; if a change falls
    // inside the block, the careful loop below runs it again from the start.
    if (o.state == kEnvDecay || o.state == kEnvSustain || o.state == kEnvKeyOff) {
        const std::uint32_t factor = o.state == kEnvDecay ? o.decayFactor
                                     : o.state == kEnvSustain ? o.sustainFactor
                                                              : o.keyOffFactor;
        const std::uint32_t floor = o.state == kEnvDecay ? o.sustainThreshold : 0;
        std::uint32_t l = o.level;
        for (int i = 0; i < n; ++i) {
            l = static_cast<std::uint32_t>((static_cast<std::uint64_t>(l) * factor) >> 30);
            amp[i] = amplitude(l);
        }
        if (l > floor) {
            o.level = l;
            return amp[0] != 0;
        }
    } else if (o.state == kEnvAttack && static_cast<std::uint64_t>(o.level) + std::uint64_t{o.attackIncrement} * static_cast<std::uint64_t>(n) < kFullLevel) {
        std::uint32_t l = o.level;
        for (int i = 0; i < n; ++i) {
            l += o.attackIncrement;
            amp[i] = amplitude(l);
        }
        o.level = l;
        return amp[n - 1] != 0;
    }
    // Locals, so the compiler keeps them in registers while it writes the amplitudes.
    std::uint32_t level = o.level;
    std::uint8_t state = o.state;
    const std::uint32_t threshold = o.sustainThreshold;
    auto decay = [&level](std::uint32_t factor) {
        level = static_cast<std::uint32_t>((static_cast<std::uint64_t>(level) * factor) >> 30);
    };
    std::int32_t any = 0;
    int i = 0;
    while (i < n) {
        switch (state) {
        case kEnvKeyOff:
            for (; i < n && level != 0; ++i) {
                decay(o.keyOffFactor);
                amp[i] = amplitude(level);
                any |= amp[i];
            }
            if (level == 0)
                state = kEnvOff;
            break;
        case kEnvAttackStart:
            state = kEnvAttack;
            [[fallthrough]];
        case kEnvAttack:
            for (; i < n; ++i) {
                const std::uint64_t next = static_cast<std::uint64_t>(level) + o.attackIncrement;
                if (next >= kFullLevel) {
                    level = kFullLevel;
                    state = kEnvDecay;
                    amp[i] = amplitude(level);
                    any |= amp[i];
                    ++i;
                    break;
                }
                level = static_cast<std::uint32_t>(next);
                amp[i] = amplitude(level);
                any |= amp[i];
            }
            break;
        case kEnvDecay:
            for (; i < n; ++i) {
                decay(o.decayFactor);
                if (level == 0) {
                    state = kEnvOff;
                    break;
                }
                amp[i] = amplitude(level);
                any |= amp[i];
                if (level <= threshold) {
                    state = kEnvSustain;
                    ++i;
                    break;
                }
            }
            break;
        case kEnvSustain:
            for (; i < n && level != 0; ++i) {
                decay(o.sustainFactor);
                amp[i] = amplitude(level);
                any |= amp[i];
            }
            if (level == 0)
                state = kEnvOff;
            break;
        case kEnvOneShot:
            level = static_cast<std::uint32_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(level) + o.attackIncrement, kFullLevel));
            state = kEnvKeyOff;
            amp[i] = amplitude(level);
            any |= amp[i];
            ++i;
            break;
        default: // off: the rest of the block is silent
            level = 0;
            state = kEnvOff;
            std::fill(amp + i, amp + n, 0);
            i = n;
            break;
        }
    }
    o.level = level;
    o.state = state;
    return any != 0;
}

// One sample of an operator: its waveform at the phase plus the modulation (in waveform
// entries), scaled by the amplitude. |wave| <= 32767 and amplitude <= 32768, so the result
// stays within +-32767.
struct OperatorCursor {
    const std::int16_t* wave;
    std::uint32_t phase;
    std::uint32_t increment;
    explicit OperatorCursor(const FmOperator& o) : wave(o.wave), phase(o.phase), increment(o.increment) {}
    void store(FmOperator& o) const { o.phase = phase; }
};

[[gnu::always_inline]] inline std::int32_t operatorOut(OperatorCursor& o, std::int32_t amplitude, std::int32_t modulation)
{
    const std::int32_t index = (static_cast<std::int32_t>(o.phase >> 20) + modulation) & (kWaveLength - 1);
    o.phase += o.increment;
    return (o.wave[index] * amplitude) >> 15;
}

template <int Algorithm, bool Feedback>
void renderAlgorithm(RenderVoice& v, const std::int32_t (*amp)[kMaxBlock], std::int32_t* __restrict left,
                     std::int32_t* __restrict right, int n)
{
    const std::int64_t lg = v.leftGain;
    const std::int64_t rg = v.rightGain;
    // Copies in registers: the accumulators are int32 too, so writes to them would otherwise
    // force the phases back to memory every sample.
    OperatorCursor o1(v.op[0]);
    OperatorCursor o2(v.op[1]);
    OperatorCursor o3(v.op[2]);
    OperatorCursor o4(v.op[3]);
    const int shift = v.feedbackShift;
    std::int32_t fb1 = v.feedback1;
    std::int32_t fb2 = v.feedback2;
    for (int i = 0; i < n; ++i) {
        // Operator 1 modulates itself with the mean of its last two outputs.
        const std::int32_t self = Feedback ? ((fb1 + fb2) >> shift) / 2 : 0;
        const std::int32_t out1 = operatorOut(o1, amp[0][i], self);
        fb2 = fb1;
        fb1 = out1;
        std::int32_t out;
        if constexpr (Algorithm == 0) {
            out = operatorOut(o2, amp[1][i], out1 / 2);
        } else if constexpr (Algorithm == 1) {
            out = out1 + operatorOut(o2, amp[1][i], 0);
        } else if constexpr (Algorithm == 4) {
            const std::int32_t out2 = operatorOut(o2, amp[1][i], out1 / 2);
            const std::int32_t out3 = operatorOut(o3, amp[2][i], out2 / 2);
            out = operatorOut(o4, amp[3][i], out3 / 2);
        } else if constexpr (Algorithm == 5) {
            const std::int32_t out2 = operatorOut(o2, amp[1][i], out1 / 2);
            const std::int32_t out3 = operatorOut(o3, amp[2][i], 0);
            out = out2 + operatorOut(o4, amp[3][i], out3 / 2);
        } else if constexpr (Algorithm == 6) {
            const std::int32_t out2 = operatorOut(o2, amp[1][i], 0);
            const std::int32_t out3 = operatorOut(o3, amp[2][i], out2 / 2);
            out = out1 + operatorOut(o4, amp[3][i], out3 / 2);
        } else {
            const std::int32_t out2 = operatorOut(o2, amp[1][i], 0);
            out = out1 + operatorOut(o3, amp[2][i], out2 / 2) + operatorOut(o4, amp[3][i], 0);
        }
        left[i] += static_cast<std::int32_t>((out * lg) >> 15);
        right[i] += static_cast<std::int32_t>((out * rg) >> 15);
    }
    v.feedback1 = fb1;
    v.feedback2 = fb2;
    o1.store(v.op[0]);
    o2.store(v.op[1]);
    if constexpr (Algorithm >= 4) {
        o3.store(v.op[2]);
        o4.store(v.op[3]);
    }
}

template <bool Feedback>
void renderVoice(RenderVoice& v, const std::int32_t (*amp)[kMaxBlock], std::int32_t* left, std::int32_t* right, int n)
{
    switch (v.algorithm) {
    case 0: renderAlgorithm<0, Feedback>(v, amp, left, right, n); break;
    case 1: renderAlgorithm<1, Feedback>(v, amp, left, right, n); break;
    case 4: renderAlgorithm<4, Feedback>(v, amp, left, right, n); break;
    case 5: renderAlgorithm<5, Feedback>(v, amp, left, right, n); break;
    case 6: renderAlgorithm<6, Feedback>(v, amp, left, right, n); break;
    default: renderAlgorithm<7, Feedback>(v, amp, left, right, n); break;
    }
}

bool falling(std::uint8_t state) { return state == kEnvDecay || state == kEnvSustain || state == kEnvKeyOff; }

// An operator whose level only falls over the block, with everything in locals.
struct FallingOperator {
    const std::int16_t* wave;
    std::uint32_t phase, increment, level, factor, floor, outputLevel;
    explicit FallingOperator(const FmOperator& o)
        : wave(o.wave), phase(o.phase), increment(o.increment), level(o.level),
          factor(o.state == kEnvDecay ? o.decayFactor : o.state == kEnvSustain ? o.sustainFactor : o.keyOffFactor),
          floor(o.state == kEnvDecay ? o.sustainThreshold : 0), outputLevel(static_cast<std::uint32_t>(o.outputLevel))
    {
    }
    [[gnu::always_inline]] std::int32_t sample(std::int32_t modulation)
    {
        level = static_cast<std::uint32_t>((static_cast<std::uint64_t>(level) * factor) >> 30);
        const auto amplitude = static_cast<std::int32_t>(((level >> 16) * outputLevel) >> 15);
        const std::int32_t index = (static_cast<std::int32_t>(phase >> 20) + modulation) & (kWaveLength - 1);
        phase += increment;
        return (wave[index] * amplitude) >> 15;
    }
};

// The usual state of a sounding note: every operator decaying, sustaining or releasing with
// no change of state inside the block. Envelope and output then run in one loop. The levels
// only fall, so the last one tells whether a change of state fell inside the block; if so,
// nothing is kept and the caller takes the general way from the same starting point.
template <int Algorithm, bool Feedback>
bool renderFalling(RenderVoice& v, std::int32_t* __restrict left, std::int32_t* __restrict right, int n)
{
    constexpr int count = Algorithm <= 1 ? 2 : 4;
    FallingOperator o1(v.op[0]);
    FallingOperator o2(v.op[1]);
    FallingOperator o3(v.op[count == 4 ? 2 : 0]);
    FallingOperator o4(v.op[count == 4 ? 3 : 0]);
    const int shift = v.feedbackShift;
    std::int32_t fb1 = v.feedback1;
    std::int32_t fb2 = v.feedback2;
    std::int32_t mixed[kMaxBlock];
    for (int i = 0; i < n; ++i) {
        const std::int32_t self = Feedback ? ((fb1 + fb2) >> shift) / 2 : 0;
        const std::int32_t out1 = o1.sample(self);
        fb2 = fb1;
        fb1 = out1;
        std::int32_t out;
        if constexpr (Algorithm == 0) {
            out = o2.sample(out1 / 2);
        } else if constexpr (Algorithm == 1) {
            out = out1 + o2.sample(0);
        } else if constexpr (Algorithm == 4) {
            const std::int32_t out2 = o2.sample(out1 / 2);
            const std::int32_t out3 = o3.sample(out2 / 2);
            out = o4.sample(out3 / 2);
        } else if constexpr (Algorithm == 5) {
            const std::int32_t out2 = o2.sample(out1 / 2);
            const std::int32_t out3 = o3.sample(0);
            out = out2 + o4.sample(out3 / 2);
        } else if constexpr (Algorithm == 6) {
            const std::int32_t out2 = o2.sample(0);
            const std::int32_t out3 = o3.sample(out2 / 2);
            out = out1 + o4.sample(out3 / 2);
        } else {
            const std::int32_t out2 = o2.sample(0);
            out = out1 + o3.sample(out2 / 2) + o4.sample(0);
        }
        mixed[i] = out;
    }
    if (o1.level <= o1.floor || o2.level <= o2.floor)
        return false;
    if constexpr (count == 4) {
        if (o3.level <= o3.floor || o4.level <= o4.floor)
            return false;
        v.op[2].level = o3.level;
        v.op[2].phase = o3.phase;
        v.op[3].level = o4.level;
        v.op[3].phase = o4.phase;
    }
    v.op[0].level = o1.level;
    v.op[0].phase = o1.phase;
    v.op[1].level = o2.level;
    v.op[1].phase = o2.phase;
    v.feedback1 = fb1;
    v.feedback2 = fb2;
    const std::int64_t lg = v.leftGain;
    const std::int64_t rg = v.rightGain;
    for (int i = 0; i < n; ++i) {
        left[i] += static_cast<std::int32_t>((mixed[i] * lg) >> 15);
        right[i] += static_cast<std::int32_t>((mixed[i] * rg) >> 15);
    }
    return true;
}

template <bool Feedback>
bool tryRenderFalling(RenderVoice& v, std::int32_t* left, std::int32_t* right, int n)
{
    for (int i = 0; i < v.operatorCount; ++i)
        if (!falling(v.op[i].state))
            return false;
    switch (v.algorithm) {
    case 0: return renderFalling<0, Feedback>(v, left, right, n);
    case 1: return renderFalling<1, Feedback>(v, left, right, n);
    case 4: return renderFalling<4, Feedback>(v, left, right, n);
    case 5: return renderFalling<5, Feedback>(v, left, right, n);
    case 6: return renderFalling<6, Feedback>(v, left, right, n);
    default: return renderFalling<7, Feedback>(v, left, right, n);
    }
}

} // namespace

FmEngine::FmEngine()
{
    const auto& t = fmTables();
    for (auto& v : voices_)
        for (auto& o : v.op)
            o.wave = t.waveforms[0].data();
}

void FmEngine::loadVoice(int index, const DecodedVoice& d)
{
    RenderVoice& v = voices_[index];
    v.operatorCount = d.operatorCount;
    v.octaveShift = kOctaveShift[d.octaveCode & 3];
    v.lfoSelection = d.lfo & 3;
    v.feedback = d.feedback & 7;
    v.algorithm = d.algorithm & 7;
    for (int i = 0; i < 4; ++i) {
        const OperatorFields& f = d.op[i];
        FmOperator& o = v.op[i];
        o.multiplierTimesTwo = fmTables().multiplierTimesTwo[f.multiplier & 15];
        o.vibrato = f.vibrato != 0;
        o.keyScaleRate = f.keyScaleRate != 0;
        o.tremolo = f.tremolo != 0;
        o.keyOffRate = f.sustain ? 4 : (f.releaseRate & 15);
        o.decayRate = f.decayRate & 15;
        o.sustainRate = f.sustained ? 0 : (f.releaseRate & 15);
        o.attackRate = f.attackRate & 15;
        o.sustainLevel = f.sustainLevel & 15;
        o.totalLevel = f.totalLevel & 63;
        o.keyScaleLevel = kKeyScaleLevelMap[f.keyScaleLevel & 3];
        o.vibratoDepth = f.vibratoDepth & 3;
        o.tremoloDepth = f.tremoloDepth & 3;
        o.waveform = f.waveform > 7 ? 0 : f.waveform;
    }
    v.pending |= kPendingParams | kPendingPitch | kPendingModulation;
}

void FmEngine::setGains(int v, int leftStep, int rightStep)
{
    voices_[v].leftGain = gainForStep(leftStep);
    voices_[v].rightGain = gainForStep(rightStep);
}

void FmEngine::setPitch(int v, int block, int fnumber)
{
    // Block 8 is kept: the octave shift is added first, and the sum is clamped (applyPitch).
    voices_[v].block = static_cast<std::uint8_t>(std::clamp(block, 0, orka::common::fm::kMaxVoiceBlock));
    voices_[v].fnumber = static_cast<std::uint16_t>(fnumber & 1023);
    voices_[v].pending |= kPendingPitch;
}

void FmEngine::setFnumberLow(int v, std::uint8_t low8)
{
    voices_[v].fnumber = static_cast<std::uint16_t>((voices_[v].fnumber & 0x300) | low8);
    voices_[v].pending |= kPendingPitch;
}

void FmEngine::setBlockAndFnumberHigh(int v, int block, int high2)
{
    voices_[v].block = static_cast<std::uint8_t>(block & 7);
    voices_[v].fnumber = static_cast<std::uint16_t>((voices_[v].fnumber & 0xFF) | ((high2 & 3) << 8));
    voices_[v].pending |= kPendingPitch;
}

void FmEngine::keyOn(int v)
{
    voices_[v].pending = static_cast<std::uint8_t>((voices_[v].pending & ~kPendingKeyOff) | kPendingKeyOn);
}

void FmEngine::keyOff(int v)
{
    voices_[v].pending |= kPendingKeyOff;
}

void FmEngine::setModulation(int v, int value)
{
    voices_[v].modulation = static_cast<std::uint8_t>(std::clamp(value, 0, 4));
    voices_[v].pending |= kPendingModulation;
}

bool FmEngine::isSounding(int v) const
{
    const RenderVoice& rv = voices_[v];
    for (int i = 0; i < rv.operatorCount; ++i)
        if (rv.op[i].state != kEnvOff)
            return true;
    return false;
}

void FmEngine::applyPitch(RenderVoice& v)
{
    const auto& t = fmTables();
    const int block = std::clamp(v.block + v.octaveShift, 0, 7);
    const int keyCode = (v.fnumber >> 9) | (block * 2);
    const int keyValue = (v.fnumber >> 6) * 8 + block;
    const std::uint64_t base = (static_cast<std::uint64_t>(v.fnumber) << block) * 9232u;
    for (FmOperator& o : v.op) {
        // 32-bit phases: an increment past the top wraps, as the hardware's adder would.
        o.baseIncrement = static_cast<std::uint32_t>((base * o.multiplierTimesTwo) >> 1);
        o.increment = o.baseIncrement;
        o.attackIncrement = t.attackIncrement[effectiveRate(o.attackRate, keyCode, o.keyScaleRate)];
        o.decayFactor = t.decayFactor[effectiveRate(o.decayRate, keyCode, o.keyScaleRate)];
        o.sustainFactor = t.decayFactor[sustainPhaseRate(o.sustainRate, keyCode, o.keyScaleRate)];
        o.keyOffFactor = t.decayFactor[effectiveRate(o.keyOffRate, keyCode, o.keyScaleRate)];
        o.keyScaleGain = t.keyScaleGain[o.keyScaleLevel][keyValue];
        o.baseOutputLevel = (o.totalLevelGain * o.keyScaleGain) >> 15;
        o.outputLevel = o.baseOutputLevel;
    }
}

void FmEngine::applyPending(RenderVoice& v)
{
    const auto& t = fmTables();
    const std::uint8_t pending = v.pending;
    v.pending = 0;
    if (pending & kPendingParams) {
        for (FmOperator& o : v.op) {
            o.wave = t.waveforms[o.waveform].data();
            o.sustainThreshold = t.sustainThreshold[o.sustainLevel];
            o.totalLevelGain = t.totalLevelGain[o.totalLevel];
        }
        v.feedbackShift = kFeedbackShift[v.feedback];
    }
    if (pending & (kPendingParams | kPendingPitch))
        applyPitch(v);
    if (pending & (kPendingParams | kPendingModulation)) {
        for (FmOperator& o : v.op) {
            o.vibratoActive = o.vibrato && v.modulation != 0;
            o.activeVibratoDepth = static_cast<std::uint8_t>(
                o.vibratoActive ? std::min(3, o.vibratoDepth + v.modulation - 1) : 0);
        }
    }
    const bool on = pending & kPendingKeyOn;
    const bool off = pending & kPendingKeyOff;
    if (on && off) {
        for (FmOperator& o : v.op)
            o.state = kEnvOneShot;
        v.feedback1 = v.feedback2 = 0;
    } else if (on) {
        for (FmOperator& o : v.op)
            o.state = kEnvAttackStart;
        v.feedback1 = v.feedback2 = 0;
    } else if (off) {
        for (FmOperator& o : v.op)
            if (o.state != kEnvOff)
                o.state = kEnvKeyOff;
    }
}

void FmEngine::applyLfo(RenderVoice& v, int frames)
{
    const auto& t = fmTables();
    const std::uint32_t index = v.lfoPhase >> 20;
    v.lfoPhase += static_cast<std::uint32_t>(frames) * t.lfoRate[v.lfoSelection];
    for (FmOperator& o : v.op) {
        o.outputLevel = o.tremolo ? (o.baseOutputLevel * t.tremolo[o.tremoloDepth][index]) >> 15 : o.baseOutputLevel;
        o.increment = o.vibratoActive
            ? static_cast<std::uint32_t>((static_cast<std::uint64_t>(o.baseIncrement) * t.vibrato[o.activeVibratoDepth][index]) >> 20)
            : o.baseIncrement;
    }
}

void FmEngine::render(std::int32_t* left, std::int32_t* right, int frames)
{
    std::int32_t amp[4][kMaxBlock];
    for (int done = 0; done < frames;) {
        const int n = std::min(frames - done, kMaxBlock);
        for (RenderVoice& v : voices_) {
            if (v.pending)
                applyPending(v);
            if (v.operatorCount == 0 || v.algorithm == 2 || v.algorithm == 3)
                continue; // algorithms 2 and 3 are silent
            bool sounding = false;
            for (int i = 0; i < v.operatorCount; ++i)
                sounding |= v.op[i].state != kEnvOff;
            if (!sounding)
                continue;
            applyLfo(v, n);
            if (v.feedbackShift ? tryRenderFalling<true>(v, left + done, right + done, n)
                                : tryRenderFalling<false>(v, left + done, right + done, n))
                continue;
            bool audible = false;
            for (int i = 0; i < v.operatorCount; ++i)
                audible |= envelopeBlock(v.op[i], amp[i], n);
            if (!audible) {
                // Every operator is below hearing for the whole block; only the phases move on.
                for (int i = 0; i < v.operatorCount; ++i)
                    v.op[i].phase += v.op[i].increment * static_cast<std::uint32_t>(n);
                v.feedback1 = v.feedback2 = 0;
                continue;
            }
            std::int32_t* l = left + done;
            std::int32_t* r = right + done;
            if (v.feedbackShift)
                renderVoice<true>(v, amp, l, r, n);
            else
                renderVoice<false>(v, amp, l, r, n);
        }
        done += n;
    }
}

} // namespace orka::smaf
