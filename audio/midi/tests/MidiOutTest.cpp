// The MIDI output backends a machine without MIDI hardware ends up with.
#include "orka/platform/MidiOut.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace orka::platform;

TEST(MidiOutChoice, TakesAnAlsaPortFirstThenFluidSynthThenTheQuietOutput)
{
    auto out = openMidiOut();
    ASSERT_NE(out, nullptr);
    const std::string chosen = out->description();
    const char* hint = std::getenv("ORKA_MIDI_PORT");
    if (openRtMidiOut(hint ? hint : ""))
        EXPECT_EQ(chosen.rfind("ALSA: ", 0), 0u) << chosen;
    else if (!defaultSoundFont().empty())
        EXPECT_EQ(chosen.rfind("FluidSynth", 0), 0u) << chosen;
    else
        EXPECT_EQ(chosen, "none");
    // Whatever was chosen takes every kind of message without complaint.
    for (std::uint32_t status = 0x80; status < 0xF0; status += 0x10)
        out->sendShort(status | 0x3C00 | 0x400000);
    out->sendShort(0xF8);       // not a channel message: ignored
    out->sendShort(0x00FFFFFF); // stray bits above the data bytes
    out->reopen();
}

TEST(MidiOutChoice, FluidSynthWithoutAudioDeviceRendersNothingAndSurvives)
{
    if (defaultSoundFont().empty())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    auto out = openFluidSynthOut({}, true);
    ASSERT_NE(out, nullptr);
    EXPECT_NE(out->description().find("FluidSynth"), std::string::npos);
    out->sendShort(0x05C0);   // program 5
    out->sendShort(0x643C90); // a note
    out->sendShort(0x2000E0); // pitch bend
    out->reopen();
    EXPECT_EQ(openFluidSynthOut("/nonexistent.sf2", false), nullptr);
}

TEST(MidiOutChoice, RecordingKeepsMessagesWithTheirTimes)
{
    std::uint64_t now = 7;
    auto recording = std::make_shared<MidiRecording>([&] { return now; });
    auto out = openRecordingMidiOut(recording);
    out->sendShort(0x90);
    now = 9;
    out->sendShort(0x80);
    out->reopen();
    const auto got = recording->messages();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].message, 0x80u);
    EXPECT_EQ(got[1].timeNs, 9u);
    EXPECT_EQ(recording->reopenCount(), 1u);
    EXPECT_EQ(midiDataBytes(0xC3), 1);
    EXPECT_EQ(midiDataBytes(0xD0), 1);
    EXPECT_EQ(midiDataBytes(0xE5), 2);
}
