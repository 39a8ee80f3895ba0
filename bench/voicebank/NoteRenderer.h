#pragma once
// Renders one note of one voice to mono samples at 22050 Hz: through the converter and the
// FM synthesizer for our bank, or through FluidSynth on a General MIDI SoundFont.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace orka::voicing {

struct NoteRequest {
    bool drum = false;
    int bank = 0;    // melodic bank 0-9, or the drum kit 0-9
    int program = 0; // melodic program; unused for drums
    int note = 60;
    int velocity = 100;
    double holdSeconds = 1.0;    // key down
    double releaseSeconds = 0.3; // rendered after the key-off
};

// A format-0 Standard MIDI File that plays the request on one channel, the way the
// converter accepts it: bank select 122 (melodic) or 123 (drums), a channel reserve of 1.
std::vector<std::uint8_t> singleNoteSmf(const NoteRequest& request);

class NoteRenderer {
public:
    virtual ~NoteRenderer() = default;
    // Mono samples (full scale 1.0); empty with `error` set when the note could not be made.
    virtual std::vector<float> render(const NoteRequest& request, std::string& error) = 0;
};

// Our path: SMF -> converter (with the bank) -> SMAF -> sequencer and FM synthesizer.
std::unique_ptr<NoteRenderer> makeFmRenderer(std::span<const std::uint8_t> voiceBank);

// The reference: FluidSynth on a SoundFont; null when the SoundFont cannot be loaded.
std::unique_ptr<NoteRenderer> makeFluidRenderer(const std::filesystem::path& soundFont);

} // namespace orka::voicing
