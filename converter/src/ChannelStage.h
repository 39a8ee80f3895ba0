#pragma once
// Second walk over the song: per-channel rules, the assignment of MIDI channels and tones to
// the 16 FM channels, then the walk that builds each FM channel's timed events.
#include "ConverterTypes.h"
#include "MidiStream.h"
#include "Stage.h"

namespace melconv {

class ChannelStage : public Stage {
public:
    bool run(const MidiStream& stream, const ToneSlots& slots);

    const FmChannels& fmChannels() const { return fm_; }
    FmChannels& fmChannels() { return fm_; }
    const LoopPoints& loopPoints() const { return loop_; }
    const std::array<MidiChannelState, 16>& midiChannels() const { return channels_; }

    // The frequency-register pair of a note bent by `bend` (-32768..32764) over `range`
    // semitones, with the key-on bit when `keyOn`. The block stays within 0-7.
    static std::array<int, 2> frequencyRegisters(int note, int bend, int range, bool keyOn);
    // The equal-tempered pitch of a MIDI note in Hz, rounded to 0.1 Hz.
    static double noteFrequency(int note);

private:
    bool checkEvents(const MidiStream& stream);
    bool checkCompleteness();
    bool assignChannels();
    bool build(const MidiStream& stream);

    struct NoteLength {
        std::int64_t end = 0;   // end time in 4 ms ticks
        std::size_t stop = 0;   // the event that ends it
        bool bent = false;      // played through the frequency registers
    };
    bool noteLength(const MidiStream& stream, std::size_t index, NoteLength& out);

    bool programChange(const MidiEvent& e);
    void controllerToChannels(const MidiEvent& e);
    void pitchBend(const MidiEvent& e);
    bool noteOn(const MidiStream& stream, std::size_t index);
    bool normalNote(const MidiEvent& e, const NoteLength& length);
    bool drumNote(const MidiEvent& e, const NoteLength& length);
    void noteOff(const MidiEvent& e);

    // Event makers for FM channel k at time t.
    void add(int k, std::int64_t t, std::initializer_list<std::uint8_t> bytes);
    void control(int k, std::int64_t t, std::uint8_t code, std::uint8_t value);
    void octaveShift(int k, std::int64_t t, int key, int& block, int& code);
    void velocity(int k, std::int64_t t, int value);
    void volume(int k, std::int64_t t, int value);
    void modulation(int k, std::int64_t t, int value);
    void writeFrequency(int k, std::int64_t t, bool keyOn, bool both);
    void voiceAssign(int k, std::int64_t t);

    const ToneSlots* slots_ = nullptr;
    const MidiStream* stream_ = nullptr;
    std::array<MidiChannelState, 16> channels_{}; // what the checks found (reserve, use, drum notes)
    std::array<MidiChannelState, 16> walk_{};     // bank, program and bend as the building walk goes
    FmChannels fm_{};
    LoopPoints loop_{};
};

} // namespace melconv
