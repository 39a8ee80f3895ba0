// The ALSA sequencer backend. RtMidi throws when the machine has no sequencer (no
// /dev/snd/seq, as on CI); that is an ordinary "no port here", not a failure.
#include "orka/platform/MidiOut.h"

#include <RtMidi.h>
#include <alsa/asoundlib.h>
#include <mutex>
#include <unistd.h>

namespace orka::platform {

namespace {

class RtMidiOutput final : public MidiOut {
public:
    RtMidiOutput(std::unique_ptr<RtMidiOut> out, unsigned port, std::string portName)
        : out_(std::move(out)), port_(port), portName_(std::move(portName))
    {
    }

    void sendShort(std::uint32_t message) override
    {
        const auto status = static_cast<unsigned char>(message & 0xFF);
        if (status < 0x80 || status >= 0xF0)
            return;
        const unsigned char bytes[3] = {status, static_cast<unsigned char>((message >> 8) & 0x7F),
                                        static_cast<unsigned char>((message >> 16) & 0x7F)};
        // The timer thread and the user-interface thread (volume changes) both send.
        std::lock_guard lock(mutex_);
        try {
            out_->sendMessage(bytes, static_cast<std::size_t>(1 + midiDataBytes(status)));
        } catch (const RtMidiError&) {
            // A port that vanished mid-song (a synth was closed): the song goes on silently.
        }
    }

    void reopen() override
    {
        std::lock_guard lock(mutex_);
        try {
            out_->closePort();
            out_->openPort(port_, "Orka");
        } catch (const RtMidiError&) {
        }
    }

    std::string description() const override { return "ALSA: " + portName_; }

private:
    std::mutex mutex_;
    std::unique_ptr<RtMidiOut> out_;
    unsigned port_;
    std::string portName_;
};

void quietErrors(RtMidiError::Type, const std::string&, void*) {}
void dropAlsaError(const char*, int, const char*, int, const char*, ...) {}

} // namespace

std::unique_ptr<MidiOut> openRtMidiOut(const std::string& portHint)
{
    // Without a sequencer device RtMidi would report on stderr before it throws; a
    // machine without one is normal, so look first.
    if (::access("/dev/snd/seq", R_OK | W_OK) != 0)
        return nullptr;
    snd_lib_error_set_handler(dropAlsaError);
    try {
        auto out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, "Orka");
        const unsigned count = out->getPortCount();
        unsigned chosen = count;
        for (unsigned i = 0; i < count && chosen == count; ++i) {
            const std::string name = out->getPortName(i);
            if (!portHint.empty() ? name.find(portHint) != std::string::npos
                                  : name.find("Midi Through") == std::string::npos)
                chosen = i;
        }
        if (chosen == count)
            return nullptr;
        std::string name = out->getPortName(chosen);
        out->openPort(chosen, "Orka");
        // From here on a failing send must not throw through the timer thread.
        out->setErrorCallback(quietErrors, nullptr);
        return std::make_unique<RtMidiOutput>(std::move(out), chosen, std::move(name));
    } catch (const RtMidiError&) {
        return nullptr;
    }
}

} // namespace orka::platform
