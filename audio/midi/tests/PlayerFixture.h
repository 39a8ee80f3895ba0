#pragma once
// A player on a manual timer and a recording MIDI output, with an owner that records what
// it is told.
#include "SmfBuilder.h"
#include "orka/audio/midi/CMidiPlayer.h"
#include "orka/platform/MidiOut.h"
#include "orka/platform/PeriodicTimer.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace orka::test {

struct RecordingOwner : audio::midi::MidiPlayerOwner {
    void midiNotify(unsigned message, unsigned wParam) override { notes.emplace_back(message, wParam); }
    int editorVolumePercent() const override { return volume; }
    int editorRangeMode() const override { return rangeMode; }
    std::int32_t editorRangeStart() const override { return rangeStart; }
    std::int32_t editorRangeEnd() const override { return rangeEnd; }

    std::size_t count(unsigned message) const
    {
        std::size_t n = 0;
        for (const auto& note : notes)
            n += note.first == message;
        return n;
    }

    std::vector<std::pair<unsigned, unsigned>> notes;
    int volume = 100;
    int rangeMode = 1;
    std::int32_t rangeStart = 0;
    std::int32_t rangeEnd = 0;
};

class PlayerFixture : public ::testing::Test {
protected:
    PlayerFixture()
    {
        auto timer = std::make_unique<platform::ManualTimer>();
        timer_ = timer.get();
        player_ = std::make_unique<audio::midi::CMidiPlayer>(std::move(timer));
        recording_ = std::make_shared<platform::MidiRecording>([this] { return timer_->nowMs(); });
        player_->setUp(&owner_, [rec = recording_] { return platform::openRecordingMidiOut(rec); });
    }

    // Messages sent, as (manual ms, packed message).
    std::vector<platform::RecordedMidi> sent() const { return recording_->messages(); }

    std::vector<std::uint32_t> sentOfKind(int kind) const
    {
        std::vector<std::uint32_t> out;
        for (const auto& m : sent())
            if (((m.message >> 4) & 0x0F) == static_cast<std::uint32_t>(kind))
                out.push_back(m.message);
        return out;
    }

    // Runs the timer until the song ends or `limit` callbacks have run; returns how many ran.
    std::uint64_t runUntilEnd(std::uint64_t limit = 100000)
    {
        std::uint64_t ran = 0;
        while (ran < limit && timer_->running())
            ran += timer_->advance(1);
        return ran;
    }

    platform::ManualTimer* timer_ = nullptr;
    std::shared_ptr<platform::MidiRecording> recording_;
    RecordingOwner owner_;
    std::unique_ptr<audio::midi::CMidiPlayer> player_;
};

inline std::uint32_t pack(const Bytes& b)
{
    std::uint32_t m = b[0];
    if (b.size() > 1)
        m |= std::uint32_t{b[1]} << 8;
    if (b.size() > 2)
        m |= std::uint32_t{b[2]} << 16;
    return m;
}

} // namespace orka::test
