#pragma once
// MIDI output, the stand-in for device -1 (the MIDI mapper). Short messages are packed as
// status | data1 << 8 | data2 << 16. Backends: an ALSA sequencer port through RtMidi; an
// embedded FluidSynth on a General MIDI SoundFont when there is no port; a quiet one when
// neither works; a recording one for tests.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace orka::platform {

class MidiOut {
public:
    virtual ~MidiOut() = default;
    // Sends one channel message; the number of data bytes follows from the status. The
    // timer thread and the user-interface thread may both call it at once.
    virtual void sendShort(std::uint32_t message) = 0;
    // Closes and opens the device again, which silences anything still sounding.
    virtual void reopen() = 0;
    // A short description for users ("ALSA: FLUID Synth (1234):0", "FluidSynth", ...).
    virtual std::string description() const = 0;
};

// Data bytes that follow a channel status (0x80-0xEF): 1 for 0xC and 0xD, else 2.
int midiDataBytes(std::uint8_t status);

// Opens the system's MIDI output: the ALSA port named by ORKA_MIDI_PORT (a part of its
// name) or the first output that is not a "Midi Through" port; else FluidSynth; else the
// quiet output. Never throws; never returns null.
std::unique_ptr<MidiOut> openMidiOut();

// The backends one by one (null when unavailable), for the chooser above and for tools.
std::unique_ptr<MidiOut> openRtMidiOut(const std::string& portHint);
// `soundFont` empty: the Debian General MIDI SoundFont. `withAudio` false renders nothing
// (for measuring the synthesizer alone).
std::unique_ptr<MidiOut> openFluidSynthOut(const std::string& soundFont = {}, bool withAudio = true);
std::unique_ptr<MidiOut> openQuietMidiOut();

// The SoundFont the FluidSynth backend uses, or empty when none is installed.
std::string defaultSoundFont();

// What the recording backend saw: each message with the time it was sent.
struct RecordedMidi {
    std::uint32_t message = 0;
    std::uint64_t timeNs = 0; // from the recorder's clock
};

class MidiRecording {
public:
    using Clock = std::function<std::uint64_t()>;
    // Default clock: CLOCK_MONOTONIC in nanoseconds.
    explicit MidiRecording(Clock clock = {});

    void add(std::uint32_t message);
    void addReopen();
    std::vector<RecordedMidi> messages() const;
    std::size_t reopenCount() const;
    void clear();

private:
    Clock clock_;
    mutable std::mutex mutex_;
    std::vector<RecordedMidi> messages_;
    std::size_t reopens_ = 0;
};

// A MIDI output that records into a shared recording.
std::unique_ptr<MidiOut> openRecordingMidiOut(std::shared_ptr<MidiRecording> recording);

} // namespace orka::platform
