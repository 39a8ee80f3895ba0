#include "orka/smaf/FmEngine.h"

#include "orka/smaf/FmTables.h"

#include <algorithm>

namespace orka::smaf {
namespace {

constexpr std::uint8_t kKeyScaleLevelMap[4] = {0, 2, 1, 3};
constexpr std::int8_t kOctaveShift[4] = {1, 0, -1, -2};
constexpr std::uint8_t kFeedbackShift[8] = {0, 7, 6, 5, 4, 3, 2, 1};

int effectiveRate(int rate, int keyCode, bool keyScaleRate)
{
    if (rate == 0)
        return 0;
    return std::min(63, rate * 4 + (keyScaleRate ? keyCode : keyCode >> 2));
}

// One operator for one sample: advances the envelope, then returns the output with the
// given modulation (in waveform entries) added to the phase.
inline std::int32_t operatorSample(FmOperator& o, std::int32_t modulation)
{
    switch (o.state) {
    case kEnvOff:
        return 0;
    case kEnvKeyOff:
        o.level = static_cast<std::uint32_t>((static_cast<std::uint64_t>(o.level) * o.keyOffFactor) >> 30);
        if (o.level == 0) {
            o.state = kEnvOff;
            return 0;
        }
        break;
    case kEnvAttackStart:
        o.phase = 0;
        o.state = kEnvAttack;
        [[fallthrough]];
    case kEnvAttack: {
        const std::uint64_t next = static_cast<std::uint64_t>(o.level) + o.attackIncrement;
        if (next >= kFullLevel) {
            o.level = kFullLevel;
            o.state = kEnvDecay;
        } else {
            o.level = static_cast<std::uint32_t>(next);
        }
        break;
    }
    case kEnvDecay:
        o.level = static_cast<std::uint32_t>((static_cast<std::uint64_t>(o.level) * o.decayFactor) >> 30);
        if (o.level == 0) {
            o.state = kEnvOff;
            return 0;
        }
        if (o.level <= o.sustainThreshold)
            o.state = kEnvSustain;
        break;
    case kEnvSustain:
        o.level = static_cast<std::uint32_t>((static_cast<std::uint64_t>(o.level) * o.sustainFactor) >> 30);
        if (o.level == 0) {
            o.state = kEnvOff;
            return 0;
        }
        break;
    case kEnvOneShot: {
        const std::uint64_t next = static_cast<std::uint64_t>(o.level) + o.attackIncrement;
        o.level = static_cast<std::uint32_t>(std::min<std::uint64_t>(next, kFullLevel));
        o.phase = 0;
        o.state = kEnvKeyOff;
        break;
    }
    default:
        o.state = kEnvOff;
        return 0;
    }
    const std::int32_t index = (static_cast<std::int32_t>(o.phase >> 20) + modulation) & (kWaveLength - 1);
    const auto amplitude = static_cast<std::int32_t>(((o.level >> 16) * static_cast<std::uint32_t>(o.outputLevel)) >> 15);
    std::int32_t out = (o.wave[index] * amplitude) >> 15;
    out = std::clamp(out, -32767, 32767);
    o.phase += o.increment;
    return out;
}

inline std::int32_t feedbackModulation(const RenderVoice& v)
{
    if (v.feedbackShift == 0)
        return 0;
    return ((v.feedback1 + v.feedback2) >> v.feedbackShift) / 2;
}

inline std::int32_t firstOperator(RenderVoice& v)
{
    const std::int32_t out = operatorSample(v.op[0], feedbackModulation(v));
    v.feedback2 = v.feedback1;
    v.feedback1 = out;
    return out;
}

template <int Algorithm>
void renderAlgorithm(RenderVoice& v, std::int32_t* left, std::int32_t* right, int n)
{
    const std::int64_t lg = v.leftGain;
    const std::int64_t rg = v.rightGain;
    for (int i = 0; i < n; ++i) {
        std::int32_t out;
        if constexpr (Algorithm == 0) {
            out = operatorSample(v.op[1], firstOperator(v) / 2);
        } else if constexpr (Algorithm == 1) {
            out = firstOperator(v) + operatorSample(v.op[1], 0);
        } else if constexpr (Algorithm == 4) {
            const std::int32_t o2 = operatorSample(v.op[1], firstOperator(v) / 2);
            const std::int32_t o3 = operatorSample(v.op[2], o2 / 2);
            out = operatorSample(v.op[3], o3 / 2);
        } else if constexpr (Algorithm == 5) {
            const std::int32_t o2 = operatorSample(v.op[1], firstOperator(v) / 2);
            const std::int32_t o3 = operatorSample(v.op[2], 0);
            out = o2 + operatorSample(v.op[3], o3 / 2);
        } else if constexpr (Algorithm == 6) {
            const std::int32_t o1 = firstOperator(v);
            const std::int32_t o2 = operatorSample(v.op[1], 0);
            const std::int32_t o3 = operatorSample(v.op[2], o2 / 2);
            out = o1 + operatorSample(v.op[3], o3 / 2);
        } else {
            const std::int32_t o1 = firstOperator(v);
            const std::int32_t o2 = operatorSample(v.op[1], 0);
            out = o1 + operatorSample(v.op[2], o2 / 2) + operatorSample(v.op[3], 0);
        }
        left[i] += static_cast<std::int32_t>((out * lg) >> 15);
        right[i] += static_cast<std::int32_t>((out * rg) >> 15);
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
    voices_[v].block = static_cast<std::uint8_t>(std::clamp(block, 0, 7));
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
        o.sustainFactor = t.decayFactor[effectiveRate(o.sustainRate, keyCode, o.keyScaleRate)];
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

void FmEngine::render(std::int32_t* left, std::int32_t* right, int n)
{
    if (n <= 0)
        return;
    for (RenderVoice& v : voices_) {
        if (v.pending)
            applyPending(v);
        if (v.operatorCount == 0)
            continue;
        bool sounding = false;
        for (int i = 0; i < v.operatorCount; ++i)
            sounding |= v.op[i].state != kEnvOff;
        if (!sounding)
            continue;
        applyLfo(v, n);
        switch (v.algorithm) {
        case 0: renderAlgorithm<0>(v, left, right, n); break;
        case 1: renderAlgorithm<1>(v, left, right, n); break;
        case 4: renderAlgorithm<4>(v, left, right, n); break;
        case 5: renderAlgorithm<5>(v, left, right, n); break;
        case 6: renderAlgorithm<6>(v, left, right, n); break;
        case 7: renderAlgorithm<7>(v, left, right, n); break;
        default: break; // algorithms 2 and 3 are silent
        }
    }
}

} // namespace orka::smaf
