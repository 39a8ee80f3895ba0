#pragma once
// The audio track: percussion notes outside the FM drum range play ADPCM waves from the
// caller's wave bank, one at a time.
#include "ConverterTypes.h"
#include "MidiStream.h"
#include "Stage.h"

namespace melconv {

// The caller's ADPCM wave bank; every read is checked against the size given.
class AdpcmBank {
public:
    AdpcmBank(const std::uint8_t* data, std::size_t size) : bytes_(data, data ? size : 0) {}
    bool present() const { return bytes_.data() != nullptr; }

    struct Wave {
        unsigned rate = 0;
        std::span<const std::uint8_t> bytes;
    };
    // Looks up the wave of (program, note). Returns the failure message, or "" with `wave` set.
    std::string find(unsigned program, unsigned note, Wave& wave) const;

private:
    std::uint32_t u32(std::size_t offset) const;
    std::span<const std::uint8_t> bytes_;
};

class AdpcmStage : public Stage {
public:
    // True when the song has ADPCM notes: note-ons on a drum-bank channel below 13 or above 91.
    static bool hasAdpcmNotes(const MidiStream& stream);

    bool run(const MidiStream& stream, const AdpcmBank& bank);

    const std::vector<WaveEntry>& waves() const { return waves_; }
    const std::vector<SeqEvent>& events() const { return events_; }
    unsigned sampleRate() const { return rate_; }

private:
    bool note(const MidiStream& stream, std::size_t index, const AdpcmBank& bank);
    bool takeTick(const MidiEvent& e, std::int64_t t);

    const MidiStream* stream_ = nullptr;
    std::vector<WaveEntry> waves_;
    std::vector<SeqEvent> events_;
    unsigned rate_ = 0;

    std::array<MidiChannelState, 16> walk_{};
    std::array<bool, 16> adpcmChannel_{};
    std::int64_t start_ = 0;
    bool haveFirst_ = false;
    std::int64_t firstDistance_ = 0;
    bool havePrevious_ = false;
    std::int64_t previousEnd_ = 0;
    bool tickTaken_ = false;
    std::int64_t lastTick_ = 0;
    bool volumeSent_ = false;
    int lastVolume_ = 0;
};

} // namespace melconv
