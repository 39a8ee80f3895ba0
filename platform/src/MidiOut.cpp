#include "orka/platform/MidiOut.h"

#include "orka/common/MidiCodes.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace orka::platform {

int midiDataBytes(std::uint8_t status)
{
    return midi::dataBytesOf(status);
}

namespace {

std::uint64_t monotonicNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::uint64_t>(t.tv_sec) * 1'000'000'000ULL + static_cast<std::uint64_t>(t.tv_nsec);
}

class QuietMidiOut final : public MidiOut {
public:
    void sendShort(std::uint32_t) override {}
    void reopen() override {}
    std::string description() const override { return "none"; }
};

class RecordingMidiOut final : public MidiOut {
public:
    explicit RecordingMidiOut(std::shared_ptr<MidiRecording> recording) : recording_(std::move(recording)) {}
    void sendShort(std::uint32_t message) override { recording_->add(message); }
    void reopen() override { recording_->addReopen(); }
    std::string description() const override { return "recording"; }

private:
    std::shared_ptr<MidiRecording> recording_;
};

} // namespace

MidiRecording::MidiRecording(Clock clock) : clock_(clock ? std::move(clock) : Clock(monotonicNs)) {}

void MidiRecording::add(std::uint32_t message)
{
    const std::uint64_t now = clock_();
    std::lock_guard lock(mutex_);
    messages_.push_back({message, now});
}

void MidiRecording::addReopen()
{
    std::lock_guard lock(mutex_);
    ++reopens_;
}

std::vector<RecordedMidi> MidiRecording::messages() const
{
    std::lock_guard lock(mutex_);
    return messages_;
}

std::size_t MidiRecording::reopenCount() const
{
    std::lock_guard lock(mutex_);
    return reopens_;
}

void MidiRecording::clear()
{
    std::lock_guard lock(mutex_);
    messages_.clear();
    reopens_ = 0;
}

std::unique_ptr<MidiOut> openRecordingMidiOut(std::shared_ptr<MidiRecording> recording)
{
    return std::make_unique<RecordingMidiOut>(std::move(recording));
}

std::unique_ptr<MidiOut> openQuietMidiOut() { return std::make_unique<QuietMidiOut>(); }

std::string defaultSoundFont()
{
    for (const char* candidate : {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2"}) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec))
            return candidate;
    }
    return {};
}

std::unique_ptr<MidiOut> openMidiOut()
{
    const char* hint = std::getenv("ORKA_MIDI_PORT");
    if (auto out = openRtMidiOut(hint ? hint : ""))
        return out;
    if (auto out = openFluidSynthOut())
        return out;
    return openQuietMidiOut();
}

} // namespace orka::platform
