// The audio track: ADPCM notes, the wave bank lookup and the spacing rules.
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace melconv::test {
namespace {

struct Wave {
    int program, note, rate;
    std::vector<std::uint8_t> bytes;
};

std::vector<std::uint8_t> adpcmBank(const std::vector<Wave>& waves)
{
    std::vector<std::uint8_t> b = {'A', 'D', 'P', ' ', 0, 0, 0, 0, 'F', 'M', 'T', ' '};
    const auto put32 = [&](std::size_t v) { orka::common::appendBE32(b, static_cast<std::uint32_t>(v)); };
    put32(waves.size() * 24);
    for (std::size_t i = 0; i < waves.size(); ++i) {
        std::vector<std::uint8_t> e(24, 0);
        e[0] = 0x10;
        e[1] = static_cast<std::uint8_t>(i + 1);
        e[18] = static_cast<std::uint8_t>(waves[i].program);
        e[19] = static_cast<std::uint8_t>(waves[i].note);
        e[20] = 4;
        orka::common::writeBE16(&e[22], static_cast<std::uint16_t>(waves[i].rate));
        b.insert(b.end(), e.begin(), e.end());
    }
    for (std::size_t i = 0; i < waves.size(); ++i) {
        b.insert(b.end(), {'W', 'A', 0x10, static_cast<std::uint8_t>(i + 1)});
        put32(waves[i].bytes.size());
        b.insert(b.end(), waves[i].bytes.begin(), waves[i].bytes.end());
    }
    return b;
}

Smf adpcmChannel(int ch = 9) { return Smf().cc(0, ch, 0, 123).cc(0, ch, 32, 0).program(0, ch, 0); }

Result run(const Smf& smf, const std::vector<std::uint8_t>& bank) { return convert(smf.bytes(), TestBank().bytes(), &bank); }

TEST(AdpcmStage, OnlyAdpcmNotesWriteAnAudioTrackAndM2Zero)
{
    const auto bank = adpcmBank({{0, 95, 4000, {1, 2, 3, 4}}, {0, 10, 4000, {9, 9}}});
    const Result r = run(adpcmChannel().note(0, 9, 95, 480).note(480, 9, 10, 240).note(48, 9, 95, 240), bank);
    ASSERT_EQ(r.rc, 1) << r.message;
    EXPECT_EQ(r.smaf[24], 0); // "M2" value
    EXPECT_EQ(findChunk(r.smaf, "MTR"), std::string::npos);
    const std::size_t atr = findChunk(r.smaf, std::string("ATR\0", 4));
    ASSERT_NE(atr, std::string::npos);
    EXPECT_EQ(r.smaf[atr + 10], 0x10); // 4000 Hz
    EXPECT_EQ(r.smaf[atr + 11], 0x00);
    const auto steps = readSequence(r.smaf, findChunk(r.smaf, "Atsq"), true);
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[0].event, (std::vector<std::uint8_t>{0x01, 125}));
    EXPECT_EQ(steps[1].duration, 250);
    EXPECT_EQ(steps[1].event, (std::vector<std::uint8_t>{0x02, 63}));
    EXPECT_EQ(steps[2].event, (std::vector<std::uint8_t>{0x01, 63}));
    EXPECT_EQ(steps[3].event, (std::vector<std::uint8_t>{0xFF, 0x00})); // stop
    const std::size_t wave1 = findChunk(r.smaf, std::string("Awa\x01", 4));
    ASSERT_NE(wave1, std::string::npos);
    EXPECT_EQ(be32(r.smaf, wave1 + 4), 4u);
    EXPECT_NE(findChunk(r.smaf, std::string("Awa\x02", 4)), std::string::npos);
    EXPECT_EQ(findChunk(r.smaf, std::string("Awa\x03", 4)), std::string::npos); // the wave is reused
}

TEST(AdpcmStage, BankProblemsAreNamed)
{
    const Smf song = adpcmChannel().note(0, 9, 95, 480);
    EXPECT_EQ(convert(song.bytes()).message, "Cannot find the adpcm data.");
    auto bank = adpcmBank({{0, 95, 8000, {1}}});
    bank[0] = 'X';
    EXPECT_EQ(run(song, bank).message, "Illegal format in adpcm_temp.vma file.");
    bank = adpcmBank({{0, 95, 8000, {1}}});
    bank[9] = 'X';
    EXPECT_EQ(run(song, bank).message, "Illegal format in adpcm file.");
    EXPECT_EQ(run(song, adpcmBank({{0, 96, 8000, {1}}})).message, "Cannot find the adpcm data.");
    // A rate differing from the first entry's fails once a lookup scans that entry.
    const auto mixed = adpcmBank({{0, 95, 4000, {1}}, {0, 96, 8000, {1}}});
    EXPECT_EQ(run(song, mixed).rc, 1);
    EXPECT_EQ(run(adpcmChannel().note(0, 9, 96, 480), mixed).message, "Different sampling rate adpcm data.");
    // A wave chunk longer than the bank is not there.
    bank = adpcmBank({{0, 95, 8000, {1, 2, 3}}});
    bank.resize(bank.size() - 1);
    EXPECT_EQ(run(song, bank).message, "Cannot find the adpcm data.");
    // An 8000 Hz bank writes wave type 0x11.
    const Result r = run(song, adpcmBank({{0, 95, 8000, {1}}}));
    ASSERT_EQ(r.rc, 1);
    EXPECT_EQ(r.smaf[findChunk(r.smaf, std::string("ATR\0", 4)) + 10], 0x11);
}

TEST(AdpcmStage, OneVoiceForTheWholeSong)
{
    const auto bank = adpcmBank({{0, 95, 8000, {1}}, {0, 10, 8000, {2}}});
    const Smf overlap = adpcmChannel(9).cc(0, 8, 0, 123).cc(0, 8, 32, 0).program(0, 8, 0)
                            .on(0, 9, 95).on(240, 8, 10).off(240, 9, 95).off(0, 8, 10);
    EXPECT_EQ(run(overlap, bank).message, "1:1:0 MidiCh 10 NoteNumber 95 : The ADPCM Note is overlapped.");
    EXPECT_EQ(run(adpcmChannel().on(0, 9, 95), bank).message, "No Note Off Message.");
    // The next note must start 2 ticks after the previous one ended.
    EXPECT_EQ(run(adpcmChannel().note(0, 9, 95, 480).note(4, 9, 10, 480), bank).message,
              "1:2:4 :  ADPCM part : NoteEventDurationError.");
    EXPECT_EQ(run(adpcmChannel().note(0, 9, 95, 480).note(8, 9, 10, 480), bank).rc, 1);
    EXPECT_EQ(run(adpcmChannel().note(0, 9, 95, 1), bank).message, "1:1:0 MidiCh 10 NoteNumber 95 : GateTime is 0.");
    EXPECT_EQ(run(adpcmChannel().note(0, 9, 95, 63407), bank).message,
              "1:1:0 MidiCh 10 NoteNumber 95 : The GateTime is too long.");
}

TEST(AdpcmStage, EventsMayNotShareATick)
{
    const auto bank = adpcmBank({{0, 95, 8000, {1}}});
    EXPECT_EQ(run(adpcmChannel().cc(0, 9, 7, 100).note(0, 9, 95, 480), bank).message,
              "1:1:0 : ADPCM part : EventOverlapError.");
    // The START tick counts as taken.
    EXPECT_EQ(run(adpcmChannel().cue(240, "START").note(0, 9, 95, 480), bank).message,
              "1:1:240 : ADPCM part : EventOverlapError.");
    // Volume: a change only in the low 2 bits is not sent again.
    const Result r = run(adpcmChannel().cc(0, 9, 7, 100).cc(10, 9, 7, 101).note(10, 9, 95, 480).cc(0, 9, 7, 90), bank);
    ASSERT_EQ(r.rc, 1) << r.message;
    const auto steps = readSequence(r.smaf, findChunk(r.smaf, "Atsq"), true);
    ASSERT_GE(steps.size(), 3u);
    EXPECT_EQ(steps[0].event, (std::vector<std::uint8_t>{0x00, 0x37, 100}));
    EXPECT_EQ(steps[1].event, (std::vector<std::uint8_t>{0x01, 125}));
    EXPECT_EQ(steps[2].event, (std::vector<std::uint8_t>{0x00, 0x37, 90}));
}

TEST(AdpcmStage, StopPointRules)
{
    const auto bank = adpcmBank({{0, 95, 8000, {1}}});
    // A STOP right where the note ends leaves no room before and after: duration error.
    EXPECT_EQ(run(adpcmChannel().note(0, 9, 95, 480).cue(0, "STOP"), bank).message,
              "1:2:0 :  ADPCM part : NoteEventDurationError.");
    EXPECT_EQ(run(adpcmChannel().note(0, 9, 95, 480).cue(480, "STOP"), bank).rc, 1);
}

TEST(AdpcmStage, FmAndAudioTogether)
{
    const auto bank = adpcmBank({{0, 95, 8000, {7, 7}}});
    const Result r = run(Smf().setup(0, 1, 5).drumSetup(9, 1).note(0, 0, 60, 480).note(0, 9, 36, 480).note(0, 9, 95, 480), bank);
    ASSERT_EQ(r.rc, 1) << r.message;
    const std::size_t mtr = findChunk(r.smaf, "MTR");
    const std::size_t atr = findChunk(r.smaf, std::string("ATR\0", 4));
    ASSERT_NE(mtr, std::string::npos);
    ASSERT_NE(atr, std::string::npos);
    EXPECT_LT(mtr, atr);
    EXPECT_EQ(r.smaf[24], 1);
    const std::size_t aspi = findChunk(r.smaf, "AspI");
    EXPECT_GT(aspi, atr);
}

} // namespace
} // namespace melconv::test
