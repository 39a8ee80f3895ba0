// The fallback when the machine has no MIDI port: FluidSynth plays the messages on a
// General MIDI SoundFont and we render its samples ourselves into a PortAudio stream.
// The audio half (PcmPullStream) is kept apart so it can move onto the wave-output layer.
#include "orka/platform/MidiOut.h"

#include <alsa/asoundlib.h>
#include <cstdlib>
#include <filesystem>
#include <fluidsynth.h>
#include <portaudio.h>

namespace orka::platform {

namespace {

constexpr int kSampleRate = 44100;

void dropAlsaError(const char*, int, const char*, int, const char*, ...) {}

// A stereo 16-bit output stream that asks `render` for samples on PortAudio's thread.
// Without an audio device it stays closed and nothing is rendered.
class PcmPullStream {
public:
    using Render = void (*)(void* user, std::int16_t* interleaved, unsigned long frames);

    PcmPullStream(Render render, void* user) : render_(render), user_(user)
    {
        quietAlsa();
        if (!audioDevicePlausible())
            return; // nothing to open: PortAudio's probing would only fill stderr
        ::setenv("JACK_NO_START_SERVER", "1", 0);
        if (Pa_Initialize() != paNoError)
            return;
        initialized_ = true;
        if (Pa_GetDefaultOutputDevice() == paNoDevice)
            return;
        if (Pa_OpenDefaultStream(&stream_, 0, 2, paInt16, kSampleRate, 512, &PcmPullStream::callback, this) != paNoError) {
            stream_ = nullptr;
            return;
        }
        if (Pa_StartStream(stream_) != paNoError) {
            Pa_CloseStream(stream_);
            stream_ = nullptr;
        }
    }

    ~PcmPullStream()
    {
        if (stream_) {
            Pa_StopStream(stream_);
            Pa_CloseStream(stream_);
        }
        if (initialized_)
            Pa_Terminate();
    }

    PcmPullStream(const PcmPullStream&) = delete;
    PcmPullStream& operator=(const PcmPullStream&) = delete;

    bool open() const { return stream_ != nullptr; }

private:
    static int callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags, void* self)
    {
        auto* me = static_cast<PcmPullStream*>(self);
        me->render_(me->user_, static_cast<std::int16_t*>(output), frames);
        return paContinue;
    }

    // ALSA reports every missing card on stderr while PortAudio probes; a machine without
    // sound is normal here, so those reports are dropped.
    static void quietAlsa()
    {
        snd_lib_error_set_handler(dropAlsaError);
    }

    // A sound card, or a sound server's socket, must exist for a stream to be worth trying.
    static bool audioDevicePlausible()
    {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator("/dev/snd", ec)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("pcmC", 0) == 0 && name.back() == 'p')
                return true;
        }
        if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) {
            for (const char* socket : {"pulse/native", "pipewire-0"})
                if (std::filesystem::exists(std::filesystem::path(runtime) / socket, ec))
                    return true;
        }
        return false;
    }

    Render render_;
    void* user_;
    bool initialized_ = false;
    PaStream* stream_ = nullptr;
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
            stream_ = std::make_unique<PcmPullStream>(&FluidSynthOut::render, this);
        return true;
    }

    ~FluidSynthOut() override
    {
        stream_.reset(); // no rendering after this point
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
        return stream_ && stream_->open() ? "FluidSynth" : "FluidSynth (no audio device)";
    }

private:
    static void render(void* self, std::int16_t* out, unsigned long frames)
    {
        auto* me = static_cast<FluidSynthOut*>(self);
        fluid_synth_write_s16(me->synth_, static_cast<int>(frames), out, 0, 2, out, 1, 2);
    }

    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    std::unique_ptr<PcmPullStream> stream_;
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
