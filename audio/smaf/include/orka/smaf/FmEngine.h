#pragma once
// The FM operator engine: 16 render voices of two or four operators, rendered with integer
// fixed-point arithmetic into 32-bit stereo accumulators at 22050 Hz. Changes made between
// chunks (voice loads, pitch, key state, modulation) are applied at the start of the next chunk.
#include "orka/smaf/VoiceRecord.h"

#include <array>
#include <cstdint>

namespace orka::smaf {

struct FmOperator {
    // Fields of the loaded voice, mapped for the engine.
    std::uint32_t multiplierTimesTwo = 2;
    bool vibrato = false;
    bool keyScaleRate = false;
    bool tremolo = false;
    std::uint8_t keyOffRate = 0;
    std::uint8_t decayRate = 0;
    std::uint8_t sustainRate = 0; // 0 holds the level (sustained envelope)
    std::uint8_t attackRate = 0;
    std::uint8_t sustainLevel = 0;
    std::uint8_t totalLevel = 0;
    std::uint8_t keyScaleLevel = 0; // mapped 0-3
    std::uint8_t vibratoDepth = 0;
    std::uint8_t tremoloDepth = 0;
    std::uint8_t waveform = 0;

    // Run-time values.
    std::uint8_t state = 0; // envelope state 0-6
    const std::int16_t* wave = nullptr;
    std::uint32_t phase = 0;
    std::uint32_t increment = 0;
    std::uint32_t baseIncrement = 0;
    std::uint32_t attackIncrement = 0;
    std::uint32_t decayFactor = 0;
    std::uint32_t sustainFactor = 0;
    std::uint32_t keyOffFactor = 0;
    std::uint32_t sustainThreshold = 0;
    std::uint32_t level = 0; // 0 .. 2^31
    std::int32_t totalLevelGain = 0;
    std::int32_t keyScaleGain = 32768;
    std::int32_t baseOutputLevel = 0;
    std::int32_t outputLevel = 0;
    bool vibratoActive = false;
    std::uint8_t activeVibratoDepth = 0;
};

enum EnvelopeState : std::uint8_t {
    kEnvOff = 0,
    kEnvKeyOff = 1,
    kEnvAttackStart = 2,
    kEnvAttack = 3,
    kEnvDecay = 4,
    kEnvSustain = 5,
    kEnvOneShot = 6,
};

struct RenderVoice {
    std::uint8_t pending = 0; // bit 0 parameters, bits 1-2 key state, bit 3 pitch, bit 4 modulation
    std::uint8_t operatorCount = 0;
    std::int8_t octaveShift = 0;
    std::uint8_t lfoSelection = 0;
    std::uint8_t feedback = 0;
    std::uint8_t feedbackShift = 0; // 0 = no feedback
    std::uint8_t algorithm = 0;
    std::uint8_t block = 0;
    std::uint16_t fnumber = 0;
    std::uint8_t modulation = 0;
    std::array<FmOperator, 4> op{};
    std::int32_t feedback1 = 0; // last output of operator 1
    std::int32_t feedback2 = 0; // the one before
    std::int32_t leftGain = 0;
    std::int32_t rightGain = 0;
    std::uint32_t lfoPhase = 0;
};

class FmEngine {
public:
    static constexpr int kVoiceCount = 16;

    FmEngine();

    void loadVoice(int v, const DecodedVoice& voice);
    // Attenuation steps (0.5 dB each), capped at 192 (silence).
    void setGains(int v, int leftStep, int rightStep);
    void setPitch(int v, int block, int fnumber);
    void setFnumberLow(int v, std::uint8_t low8);
    void setBlockAndFnumberHigh(int v, int block, int high2);
    void keyOn(int v);
    void keyOff(int v);
    void setModulation(int v, int value);

    // Adds n frames of every loaded voice into the accumulators.
    void render(std::int32_t* left, std::int32_t* right, int n);

    const RenderVoice& voice(int v) const { return voices_[v]; }
    // True while any operator of the voice still has an envelope.
    bool isSounding(int v) const;

private:
    enum : std::uint8_t {
        kPendingParams = 1,
        kPendingKeyOn = 2,
        kPendingKeyOff = 4,
        kPendingPitch = 8,
        kPendingModulation = 16,
    };
    void applyPending(RenderVoice& v);
    static void applyPitch(RenderVoice& v);
    static void applyLfo(RenderVoice& v, int frames);

    std::array<RenderVoice, kVoiceCount> voices_{};
};

} // namespace orka::smaf
