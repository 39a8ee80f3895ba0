#pragma once
// The FM synthesizer: 16 MIDI-style channels, 16 voice slots with an operator budget, the
// ADPCM sample voice, and the system-exclusive commands the SMAF sequencer sends.
#include "orka/smaf/Adpcm.h"
#include "orka/smaf/FmEngine.h"
#include "orka/smaf/VoiceTables.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace orka::smaf {

inline constexpr int kSampleRate = 22050;
inline constexpr int kChannels = 16;
inline constexpr int kSlots = 16;
inline constexpr int kOperatorBudget = 32;

struct SoundingNote {
    const DecodedVoice* voice = nullptr;
    std::uint8_t note = 0;
    std::uint8_t pitchNote = 0; // the key the voice sounds at (a drum voice's drum key)
    std::uint8_t velocity = 0;
    std::uint8_t holds = 0;
    std::int8_t slot = -1;      // -1: played by the sample voice
};

struct ChannelState {
    static constexpr int kMaxNotes = 32;
    std::array<SoundingNote, kMaxNotes> notes{};
    int noteCount = 0;
    std::uint8_t program = 0;
    std::uint8_t bankLsb = 0;
    std::uint8_t bankMsb = 0;
    std::uint8_t resolvedBank = 0;
    std::uint8_t voiceOperators = 0;
    std::uint8_t noteLimit = 16;
    std::uint8_t activeNotes = 0;
    std::uint8_t volume = 127;
    std::uint8_t expression = 127;
    std::uint8_t pan = 64;
    std::int16_t pitchBend = 0;
    std::uint8_t bendRange = 2;
    std::uint8_t modulation = 0;
    std::uint8_t rpnMsb = 127;
    std::uint8_t rpnLsb = 127;
    std::uint8_t nonRegistered = 0;
    std::uint8_t registerKey = 0; // key bit last written by a register write
};

struct VoiceSlot {
    std::uint32_t stamp = 0;
    const DecodedVoice* voice = nullptr;
    bool busy = false;
    std::uint8_t operators = 0;
    std::uint8_t velocity = 0;
    std::uint8_t channel = 0;
};

struct Attenuation {
    int left = 0;
    int right = 0;
};

class Synthesizer {
public:
    // Builds the voice tables from the program's bank, then loads "sx4voice.vma" and
    // "sx4voice.adp" from driversDir when present (an empty path skips both).
    explicit Synthesizer(std::span<const std::uint8_t> builtinBank, const std::filesystem::path& driversDir = {});

    // Channel message: status and two data bytes.
    void shortMessage(std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
    // A whole system-exclusive message, F0 ... F7.
    void systemExclusive(std::span<const std::uint8_t> message);
    // Renders n interleaved stereo frames.
    void renderChunk(std::int16_t* out, int frames);
    // Releases every note of every channel.
    void allSoundOff();

    // Gain rule: attenuation steps for a note.
    Attenuation attenuation(int volume, int expression, int velocity, int pan) const;
    // The same before pan and without the cap.
    int totalAttenuation(int volume, int expression, int velocity) const;
    // Volume of the sample voice for a drum-wave note.
    std::int32_t sampleGain(int volume, int expression, int velocity) const;
    // Pitch rule: block and F-number for a note with bend range and stored bend.
    static void pitchFor(int note, int bendRange, int bend, int& block, int& fnumber);
    static int resolveBank(int msb, int lsb, int program, int channel);
    const DecodedVoice* lookupVoice(int resolvedBank, int program, int note) const;

    VoiceTables& tables() { return tables_; }
    WaveStore& waves() { return waves_; }
    SampleVoice& sampleVoice() { return sampleVoice_; }
    FmEngine& engine() { return engine_; }
    const ChannelState& channel(int c) const { return channels_[c]; }
    const VoiceSlot& slot(int s) const { return slots_[s]; }
    int operatorsInUse() const { return operatorsInUse_; }
    int masterAttenuation() const { return masterAttenuation_; }
    int allocationMode() const { return allocationMode_; }
    bool stereo() const { return stereo_ != 0; }
    // The operator budget: may a voice of `operators` start with `inUse` operators busy
    // (and `previous` before the last change)?
    static bool budgetAllows(int inUse, int previous, int operators);
    // Slot a voice of c operators would take now, -1 when the note would be dropped.
    int allocateSlot(int operators) const;

private:
    void noteOn(int ch, int note, int velocity);
    void noteOff(int ch, int note);
    void controlChange(int ch, int controller, int value);
    void updateChannelVoice(ChannelState& c, int ch);
    void startNote(int ch, int slot, const DecodedVoice* voice, int note, int pitchNote, int velocity);
    void playDrumWave(int ch, const DecodedVoice& record, int note, int velocity);
    void releaseNote(int ch, int index);
    void releaseAll(int ch);
    void applyGains(int ch, const SoundingNote& n);
    void applyPitch(int ch, const SoundingNote& n);
    void updateSampleVolume(int ch);
    void setOperatorsInUse(int value);
    void registerWrite(int reg, int value);
    void waveData(std::span<const std::uint8_t> data, std::size_t adpcmBytes);

    VoiceTables tables_;
    WaveStore waves_;
    SampleVoice sampleVoice_;
    FmEngine engine_;
    std::array<ChannelState, kChannels> channels_{};
    std::array<VoiceSlot, kSlots> slots_{};
    int masterAttenuation_ = -24;
    std::uint8_t stereo_ = 1;
    std::uint8_t allocationMode_ = 0;
    int operatorsInUse_ = 0;
    int previousOperators_ = 0;
    std::uint32_t clock_ = 0;
    int outputShift_ = 0;
    std::vector<std::uint8_t> pendingWave_;
};

} // namespace orka::smaf
