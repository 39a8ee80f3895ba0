// The fallback when the machine has no MIDI port: FluidSynth plays the messages on a
// General MIDI SoundFont and we render its samples ourselves into our wave output.
#include "orka/platform/MidiOut.h"
#include "orka/platform/WaveOut.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fluidsynth.h>
#include <vector>

namespace orka::platform {

namespace {

constexpr int kSampleRate = 44100;
constexpr int kFramesPerBuffer = 512;
constexpr int kBuffers = 2;

// FluidSynth's samples on the sound device: two buffers, each rendered again on the
// device's thread as soon as it has been played. Without a device nothing is rendered.
class SynthSound {
public:
    explicit SynthSound(fluid_synth_t* synth) : synth_(synth)
    {
        for (auto& b : buffers_)
            b.assign(kFramesPerBuffer * 4, 0);
        device_ = createPortAudioWaveOut();
        if (!device_ || !device_->open(WaveFormat{kSampleRate, 2, 16}, [this](int buffer) { fill(buffer); })) {
            device_.reset();
            return;
        }
        for (int b = 0; b < kBuffers; ++b) {
            device_->prepare(b, buffers_[static_cast<std::size_t>(b)]);
            fill(b);
        }
    }
    ~SynthSound()
    {
        if (device_)
            device_->close(); // no rendering after this point
    }
    SynthSound(const SynthSound&) = delete;
    SynthSound& operator=(const SynthSound&) = delete;

    bool open() const { return device_ != nullptr; }

private:
    void fill(int buffer)
    {
        auto* samples = reinterpret_cast<std::int16_t*>(buffers_[static_cast<std::size_t>(buffer)].data());
        fluid_synth_write_s16(synth_, kFramesPerBuffer, samples, 0, 2, samples, 1, 2);
        device_->write(buffer, buffers_[static_cast<std::size_t>(buffer)].size());
    }

    fluid_synth_t* synth_;
    std::array<std::vector<std::uint8_t>, kBuffers> buffers_;
    std::unique_ptr<WaveOut> device_;
};

void dropFluidLog(int, const char*, void*) {}

class FluidSynthOut final : public MidiOut {
public:
    bool open(const std::string& soundFont, bool withAudio)
    {
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, dropFluidLog, nullptr);
        settings_ = new_fluid_settings();
        if (!settings_)
            return false;
        fluid_settings_setnum(settings_, "synth.sample-rate", kSampleRate);
        fluid_settings_setnum(settings_, "synth.gain", 0.6);
        synth_ = new_fluid_synth(settings_);
        if (!synth_ || fluid_synth_sfload(synth_, soundFont.c_str(), 1) == FLUID_FAILED)
            return false;
        if (withAudio)
            sound_ = std::make_unique<SynthSound>(synth_);
        return true;
    }

    ~FluidSynthOut() override
    {
        sound_.reset(); // no rendering after this point
        if (synth_)
            delete_fluid_synth(synth_);
        if (settings_)
            delete_fluid_settings(settings_);
    }

    void sendShort(std::uint32_t message) override
    {
        const int status = static_cast<int>(message & 0xFF);
        const int channel = status & 0x0F;
        const int d1 = static_cast<int>((message >> 8) & 0x7F);
        const int d2 = static_cast<int>((message >> 16) & 0x7F);
        switch (status & 0xF0) {
        case 0x80: fluid_synth_noteoff(synth_, channel, d1); break;
        case 0x90: fluid_synth_noteon(synth_, channel, d1, d2); break;
        case 0xA0: fluid_synth_key_pressure(synth_, channel, d1, d2); break;
        case 0xB0: fluid_synth_cc(synth_, channel, d1, d2); break;
        case 0xC0: fluid_synth_program_change(synth_, channel, d1); break;
        case 0xD0: fluid_synth_channel_pressure(synth_, channel, d1); break;
        case 0xE0: fluid_synth_pitch_bend(synth_, channel, d1 | (d2 << 7)); break;
        default: break;
        }
    }

    // Closing a real device cuts every sound; the programs chosen stay as they are.
    void reopen() override { fluid_synth_all_sounds_off(synth_, -1); }

    std::string description() const override
    {
        return sound_ && sound_->open() ? "FluidSynth" : "FluidSynth (no audio device)";
    }

private:
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    std::unique_ptr<SynthSound> sound_;
};

} // namespace

std::unique_ptr<MidiOut> openFluidSynthOut(const std::string& soundFont, bool withAudio)
{
    const std::string font = soundFont.empty() ? defaultSoundFont() : soundFont;
    if (font.empty())
        return nullptr;
    auto out = std::make_unique<FluidSynthOut>();
    if (!out->open(font, withAudio))
        return nullptr;
    return out;
}

} // namespace orka::platform
