// The synthesizer: voice tables, slots and the operator budget, channels, gain and pitch
// rules, drums, the ADPCM store and the system-exclusive commands.
#include "orka/smaf/FmTables.h"
#include "orka/smaf/Synthesizer.h"
#include "orka/testing/SmafBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace orka::smaf::test {
namespace {

Bytes testBank() { return voiceBank(VoiceBytes::sine(), fourOperatorVoice(), drumVoice(50)); }

void noteOn(Synthesizer& s, int ch, int note, int velocity = 100)
{
    s.shortMessage(static_cast<std::uint8_t>(0x90 | ch), static_cast<std::uint8_t>(note), static_cast<std::uint8_t>(velocity));
}

void noteOff(Synthesizer& s, int ch, int note)
{
    s.shortMessage(static_cast<std::uint8_t>(0x80 | ch), static_cast<std::uint8_t>(note), 0);
}

void cc(Synthesizer& s, int ch, int controller, int value)
{
    s.shortMessage(static_cast<std::uint8_t>(0xB0 | ch), static_cast<std::uint8_t>(controller), static_cast<std::uint8_t>(value));
}

void sysex(Synthesizer& s, std::initializer_list<std::uint8_t> body)
{
    Bytes m = {0xF0, 0x43, 0x79, 0x05, 0x7F};
    m.insert(m.end(), body.begin(), body.end());
    m.push_back(0xF7);
    s.systemExclusive(m);
}

int busySlots(const Synthesizer& s)
{
    int n = 0;
    for (int i = 0; i < kSlots; ++i)
        n += s.slot(i).busy ? 1 : 0;
    return n;
}

class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/orka-smaf-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    const std::filesystem::path& path() const { return path_; }
    void write(const std::string& name, const Bytes& b) const
    {
        std::ofstream(path_ / name, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }

private:
    std::filesystem::path path_;
};

TEST(OperatorBudget, FourOperatorsRefusedAtThirtyTwoAcceptedAtThirtyRefusedAtThirtyOne)
{
    EXPECT_FALSE(Synthesizer::budgetAllows(30, 28, 4));
    EXPECT_TRUE(Synthesizer::budgetAllows(30, 28, 2));
    EXPECT_FALSE(Synthesizer::budgetAllows(31, 29, 2));
    EXPECT_TRUE(Synthesizer::budgetAllows(26, 24, 4));
    // Four operators at 27 pass only when the count before the last change left room.
    EXPECT_TRUE(Synthesizer::budgetAllows(27, 25, 4));
    EXPECT_FALSE(Synthesizer::budgetAllows(27, 29, 4));
}

TEST(OperatorBudget, NotesAgainstTheBudgetAndTheSlots)
{
    const Bytes bank = testBank();
    Synthesizer s(bank);
    // Fifteen two-operator notes on channels 0-14 (bank 0): 30 operators in use.
    for (int ch = 0; ch < 15; ++ch)
        noteOn(s, ch, 60);
    EXPECT_EQ(s.operatorsInUse(), 30);
    // Channel 15 on bank 1 (four operators, MSB 122): refused at 30.
    cc(s, 15, 0, 122);
    cc(s, 15, 32, 1);
    EXPECT_EQ(s.channel(15).resolvedBank, 1);
    EXPECT_EQ(s.channel(15).voiceOperators, 4);
    noteOn(s, 15, 60);
    EXPECT_EQ(s.operatorsInUse(), 30);
    EXPECT_EQ(busySlots(s), 15);
    // A two-operator note fits; now all 16 slots are busy.
    noteOn(s, 0, 64);
    EXPECT_EQ(s.operatorsInUse(), 32);
    EXPECT_EQ(busySlots(s), 16);
    // One more is dropped, and no sounding note is stolen.
    noteOn(s, 1, 67);
    EXPECT_EQ(busySlots(s), 16);
    EXPECT_EQ(s.channel(1).noteCount, 1);
    EXPECT_EQ(s.channel(1).notes[0].note, 60);
}

TEST(OperatorBudget, FreedSlotWithTheOldestStampIsTakenFirst)
{
    const Bytes bank = testBank();
    Synthesizer s(bank);
    for (int ch = 0; ch < 16; ++ch)
        noteOn(s, ch, 60);
    const int slotOf3 = s.channel(3).notes[0].slot;
    const int slotOf7 = s.channel(7).notes[0].slot;
    noteOff(s, 3, 60);
    noteOff(s, 7, 60);
    EXPECT_EQ(busySlots(s), 14);
    EXPECT_EQ(s.allocateSlot(2), slotOf3);
    noteOn(s, 0, 72);
    EXPECT_EQ(s.channel(0).notes[1].slot, slotOf3);
    EXPECT_EQ(s.allocateSlot(2), slotOf7);
}

TEST(Channels, BankSelectAndProgramChangeChooseTheBankTheChannelPlaysFrom)
{
    // Banks 0-9 are melodic, 10-19 drum kits, 20-39 the working voices; a selection outside
    // the known ranges falls back to bank 0. Each case is sent as a piece would send it.
    struct Case {
        int channel, msb, lsb, program, bank;
    };
    const Case cases[] = {
        {0, 0, 0, 5, 0},    {9, 0, 0, 5, 10},    {9, 0, 3, 5, 0},     // channel 10 plays drums by default
        {2, 122, 9, 0, 9},  {2, 122, 10, 0, 0},                       // melodic banks end at 9
        {4, 123, 0, 9, 19}, {4, 123, 0, 10, 10}, {4, 123, 1, 0, 0},   // the program picks the kit
        {6, 124, 19, 0, 39}, {6, 124, 20, 0, 0},                      // working voices end at 39
        {8, 5, 0, 0, 0},
    };
    for (const Case& k : cases) {
        Synthesizer s({});
        cc(s, k.channel, 0, k.msb);
        cc(s, k.channel, 32, k.lsb);
        s.shortMessage(static_cast<std::uint8_t>(0xC0 | k.channel), static_cast<std::uint8_t>(k.program), 0);
        EXPECT_EQ(s.channel(k.channel).resolvedBank, k.bank)
            << "channel " << k.channel << " bank " << k.msb << "/" << k.lsb << " program " << k.program;
    }
    // A later bank select takes effect without a new program change.
    Synthesizer s({});
    cc(s, 1, 0, 124);
    cc(s, 1, 32, 3);
    EXPECT_EQ(s.channel(1).resolvedBank, 23);
    cc(s, 1, 0, 122);
    EXPECT_EQ(s.channel(1).resolvedBank, 3);
}

TEST(Channels, GainRuleExampleOfFortyEightSteps)
{
    Synthesizer s({});
    EXPECT_EQ(s.masterAttenuation(), -24);
    EXPECT_EQ(s.totalAttenuation(64, 127, 127), 48);
    const Attenuation a = s.attenuation(64, 127, 127, 64);
    EXPECT_EQ(a.left, 48 + fmTables().panLeft[64]);
    EXPECT_EQ(a.right, 48 + fmTables().panRight[64]);
    // Hard left: the right side is silent; everything is capped at 192.
    EXPECT_EQ(s.attenuation(127, 127, 127, 0).right, 192);
    EXPECT_EQ(s.attenuation(1, 1, 1, 64).left, 192);
    // Master attenuation 0 (a full piece): volume 127 costs nothing.
    sysex(s, {0x0A, 0x40});
    EXPECT_EQ(s.masterAttenuation(), 0);
    EXPECT_EQ(s.totalAttenuation(127, 127, 127), 0);
    // Mono output: both sides get the mean pan attenuation.
    sysex(s, {0x04, 0x00});
    const Attenuation m = s.attenuation(127, 127, 127, 0);
    EXPECT_EQ(m.left, m.right);
    EXPECT_EQ(m.left, 96);
}

TEST(Channels, PitchBendStorageAndRange)
{
    const Bytes bank = testBank();
    Synthesizer s(bank);
    s.shortMessage(0xE0, 0x00, 0x40);
    EXPECT_EQ(s.channel(0).pitchBend, 0);
    s.shortMessage(0xE0, 0x7F, 0x7F);
    EXPECT_EQ(s.channel(0).pitchBend, 32764);
    s.shortMessage(0xE0, 0x7F, 0x3F);
    EXPECT_EQ(s.channel(0).pitchBend, -4);

    int block = 0, fnum = 0, upBlock = 0, upFnum = 0;
    Synthesizer::pitchFor(69, 2, 0, block, fnum);
    EXPECT_EQ(block, 4);
    EXPECT_EQ(fnum, 580);
    Synthesizer::pitchFor(69, 2, 32764, upBlock, upFnum);
    const double ratio = (upFnum << upBlock) / static_cast<double>(fnum << block);
    EXPECT_NEAR(ratio, std::exp2(2.0 / 12.0), 0.003); // almost two semitones
    EXPECT_LT(ratio, std::exp2(2.0 / 12.0));
    // The F-number is capped at 0x3FF00 before it is split into block and F-number.
    Synthesizer::pitchFor(127, 24, 32764, block, fnum);
    EXPECT_EQ(block, 8);
    EXPECT_EQ(fnum, 0x3FF00 >> 8);

    // Data entry sets the bend range only on registered parameter 0/0.
    cc(s, 0, 101, 0);
    cc(s, 0, 100, 0);
    cc(s, 0, 6, 12);
    EXPECT_EQ(s.channel(0).bendRange, 12);
    cc(s, 0, 99, 0);
    cc(s, 0, 6, 5);
    EXPECT_EQ(s.channel(0).bendRange, 12);
}

TEST(Channels, ModulationControllerSteps)
{
    Synthesizer s({});
    const std::pair<int, int> cases[] = {{0, 0}, {1, 1}, {31, 1}, {32, 2}, {64, 3}, {127, 4}};
    for (auto [value, expected] : cases) {
        cc(s, 2, 1, value);
        EXPECT_EQ(s.channel(2).modulation, expected) << value;
    }
}

TEST(Drums, ChannelNineOnBankZeroPlaysDrumVoicesAndDrumWaves)
{
    const Bytes bank = testBank();
    Synthesizer s(bank);
    EXPECT_EQ(s.channel(9).resolvedBank, 0);
    cc(s, 9, 0, 0); // bank select makes the channel resolve its bank
    EXPECT_EQ(s.channel(9).resolvedBank, 10);
    noteOn(s, 9, 35);
    ASSERT_EQ(s.channel(9).noteCount, 1);
    EXPECT_EQ(s.channel(9).notes[0].voice, &s.tables().drum(0, 35));
    EXPECT_EQ(s.channel(9).notes[0].pitchNote, 50); // the voice's drum key
    // Note 12 has no wave yet: nothing sounds.
    noteOn(s, 9, 12);
    EXPECT_TRUE(s.sampleVoice().idle());
    // Attach a wave to drum note 12 of bank 0 through the wave-data command.
    sysex(s, {0x05, 12, 0, 0, 0x01, 0x77, 0x77, 0x77, 0x77});
    ASSERT_NE(s.tables().drum(0, 12).waveHandle, 0u);
    EXPECT_GE(s.tables().drum(0, 12).waveHandle, 63u);
    noteOn(s, 9, 12);
    EXPECT_FALSE(s.sampleVoice().idle());
    noteOn(s, 9, 12);
    EXPECT_EQ(s.sampleVoice().holds(), 2);
    noteOff(s, 9, 12);
    EXPECT_EQ(s.sampleVoice().holds(), 1);
    noteOff(s, 9, 12);
    EXPECT_TRUE(s.sampleVoice().idle());
}

TEST(MonoMode, TheChannelsSlotAndLegato)
{
    const Bytes bank = testBank();
    Synthesizer s(bank);
    sysex(s, {0x0B, 0x01});
    cc(s, 5, 55, 1);
    noteOn(s, 5, 60);
    ASSERT_EQ(s.channel(5).noteCount, 1);
    EXPECT_EQ(s.channel(5).notes[0].slot, 5);
    // A second note while the first holds takes over its slot without a new attack.
    noteOn(s, 5, 64);
    EXPECT_EQ(s.channel(5).noteCount, 1);
    EXPECT_EQ(s.channel(5).notes[0].note, 64);
    EXPECT_EQ(s.channel(5).notes[0].holds, 2);
    noteOff(s, 5, 60);
    EXPECT_TRUE(s.slot(5).busy);
    noteOff(s, 5, 64);
    EXPECT_FALSE(s.slot(5).busy);
    EXPECT_EQ(s.operatorsInUse(), 0);
}

TEST(MonoMode, AnotherChannelsNoteKeepsTheSlotAndAllocationModeZeroUsesTheRule)
{
    const Bytes bank = testBank();
    Synthesizer s(bank);
    noteOn(s, 0, 60); // poly channel 0 takes the first free slot: 0
    ASSERT_EQ(s.channel(0).notes[0].slot, 0);
    sysex(s, {0x0B, 0x01});
    cc(s, 1, 55, 1);
    noteOn(s, 1, 62);
    EXPECT_EQ(s.channel(1).notes[0].slot, 1);
    cc(s, 0, 55, 1);
    noteOff(s, 0, 60);
    // Slot 0 is free again; mono channel 3 in mode 0 takes a slot by the allocation rule.
    sysex(s, {0x0B, 0x00});
    cc(s, 3, 55, 1);
    noteOn(s, 3, 64);
    EXPECT_NE(s.channel(3).notes[0].slot, 3);
}

TEST(Channels, ControllersReachTheSoundingVoices)
{
    const Bytes bank = testBank();
    Synthesizer s(bank);
    noteOn(s, 4, 60, 127);
    const int slot = s.channel(4).notes[0].slot;
    const std::int32_t before = s.engine().voice(slot).leftGain;
    cc(s, 4, 7, 64);
    EXPECT_LT(s.engine().voice(slot).leftGain, before);
    cc(s, 4, 10, 127); // hard right
    EXPECT_EQ(s.engine().voice(slot).leftGain, 0);
    sysex(s, {0x04, 0x00}); // mono output: the left side hears it again
    EXPECT_GT(s.engine().voice(slot).leftGain, 0);
    cc(s, 4, 1, 100);
    EXPECT_EQ(s.engine().voice(slot).modulation, 4);
    const int fnumberBefore = s.engine().voice(slot).fnumber << s.engine().voice(slot).block;
    s.shortMessage(0xE4, 0x7F, 0x7F);
    EXPECT_GT(s.engine().voice(slot).fnumber << s.engine().voice(slot).block, fnumberBefore);
    cc(s, 4, 120, 0);
    EXPECT_EQ(s.channel(4).noteCount, 0);
    EXPECT_EQ(s.channel(4).activeNotes, 0);
    EXPECT_FALSE(s.slot(slot).busy);
}

TEST(Channels, NoteLimitAndTheWorkingBanksInPolyMode)
{
    const Bytes bank = testBank();
    Synthesizer s(bank);
    cc(s, 2, 55, 2);
    noteOn(s, 2, 60);
    noteOn(s, 2, 62);
    noteOn(s, 2, 64);
    EXPECT_EQ(s.channel(2).noteCount, 2);
    // Working banks (20 and up) play only in mono mode.
    cc(s, 6, 0, 124);
    noteOn(s, 6, 60);
    EXPECT_EQ(s.channel(6).noteCount, 0);
    cc(s, 6, 55, 1);
    noteOn(s, 6, 60);
    EXPECT_EQ(s.channel(6).noteCount, 1);
}

TEST(MonoMode, NotesOnADrumBankPlayOnlyDrumWaves)
{
    const Bytes bank = testBank();
    Synthesizer s(bank);
    cc(s, 9, 0, 0);
    cc(s, 9, 55, 1);
    noteOn(s, 9, 35);
    EXPECT_EQ(s.channel(9).noteCount, 0);
}

TEST(SystemExclusive, NoteLimitMasterAllocationAndShortMessagesIgnored)
{
    Synthesizer s({});
    sysex(s, {0x00, 3, 1});
    EXPECT_EQ(s.channel(3).noteLimit, 1);
    sysex(s, {0x00, 16, 1}); // no such channel
    sysex(s, {0x0B, 0x01});
    EXPECT_EQ(s.allocationMode(), 1);
    sysex(s, {0x0A, 0x2E});
    EXPECT_EQ(s.masterAttenuation(), -18);
    const Bytes tooShort = {0xF0, 0x43, 0x79, 0x05, 0x7F};
    s.systemExclusive(tooShort);
    const Bytes otherMaker = {0xF0, 0x41, 0x79, 0x05, 0x7F, 0x0A, 0x00, 0xF7};
    s.systemExclusive(otherMaker);
    EXPECT_EQ(s.masterAttenuation(), -18);
}

TEST(SystemExclusive, WaveDataInPartsDeleteAndSampleVoice)
{
    Synthesizer s({});
    sysex(s, {0x05, 70, 1, 0, 0x40, 0x00, 0x00});       // more follows
    sysex(s, {0x05, 70, 1, 0, 0x01, 0x00});             // completes wave 70 at 8000 Hz
    const StoredWave* w = s.waves().find(70);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->rate, 8000u);
    EXPECT_EQ(w->samples->size(), 6u);
    sysex(s, {0x07, 0, 70});
    EXPECT_FALSE(s.sampleVoice().idle());
    EXPECT_EQ(s.sampleVoice().waveNumber(), 70);
    sysex(s, {0x09, 0, 127});
    EXPECT_EQ(s.sampleVoice().volume(), fmTables().sampleGain[24]); // master -24
    sysex(s, {0x08});
    EXPECT_TRUE(s.sampleVoice().idle());
    sysex(s, {0x06, 70, 1, 0});
    EXPECT_EQ(s.waves().find(70), nullptr);
}

TEST(SystemExclusive, DeletingAWaveWhileItPlaysLeavesThePlayingCopyIntact)
{
    const auto render = [](bool deleteWhilePlaying) {
        Synthesizer s({});
        sysex(s, {0x05, 71, 1, 0, 0x00, 0x77, 0x77, 0x77, 0x77});
        sysex(s, {0x07, 0, 71});
        if (deleteWhilePlaying)
            sysex(s, {0x06, 71, 1, 0});
        std::vector<std::int16_t> out(2 * 22, 0);
        s.renderChunk(out.data(), 22);
        return out;
    };
    const auto kept = render(false);
    EXPECT_TRUE(std::any_of(kept.begin(), kept.end(), [](std::int16_t v) { return v != 0; }));
    EXPECT_EQ(render(true), kept);
}

TEST(SystemExclusive, PackedRegisterWritesDriveASlotDirectly)
{
    const Bytes bank = testBank();
    Synthesizer s(bank);
    // F-number 0x244 (low 0x44 with bit 7 set through the packed bits), block 4, key on.
    const std::uint8_t reg = 0xB2, low = 0xC4;
    sysex(s, {0x03, static_cast<std::uint8_t>(((reg >> 1) & 64) | ((low >> 2) & 32)), reg & 0x7F, low & 0x7F});
    EXPECT_EQ(s.engine().voice(2).fnumber & 0xFF, 0xC4);
    const std::uint8_t reg2 = 0xC2, value = 0x20 | (4 << 2) | 2;
    sysex(s, {0x03, static_cast<std::uint8_t>(((reg2 >> 1) & 64) | ((value >> 2) & 32)), reg2 & 0x7F, value & 0x7F});
    EXPECT_EQ(s.engine().voice(2).fnumber, 0x2C4);
    EXPECT_EQ(s.engine().voice(2).block, 4);
    std::vector<std::int16_t> out(2 * 22, 0);
    s.renderChunk(out.data(), 22);
    EXPECT_TRUE(s.engine().isSounding(2));
    EXPECT_EQ(s.operatorsInUse(), 0); // no slot allocation
    // Writing the same key again does nothing; key off releases.
    const std::uint8_t off = (4 << 2) | 2;
    sysex(s, {0x03, static_cast<std::uint8_t>(((reg2 >> 1) & 64)), reg2 & 0x7F, off});
    s.renderChunk(out.data(), 22);
    EXPECT_EQ(s.engine().voice(2).op[1].state, kEnvKeyOff);
}

TEST(Adpcm, ByteZeroGivesFifteenThenThirty)
{
    const Bytes zero = {0x00};
    const std::vector<std::int16_t> s = decodeAdpcm(zero);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0], 15);
    EXPECT_EQ(s[1], 30);
}

TEST(Adpcm, ValuesAndStepsStayInRange)
{
    const Bytes up(4000, 0x77);
    const std::vector<std::int16_t> s = decodeAdpcm(up);
    EXPECT_EQ(s.back(), 32767);
    const Bytes down(4000, 0xFF);
    EXPECT_EQ(decodeAdpcm(down).back(), -32768);
    const Bytes odd = {0x12, 0x34, 0x56};
    EXPECT_EQ(decodeAdpcm(odd).size(), 6u);
}

TEST(Adpcm, StoreTakesFreeEntriesFromSixtyThree)
{
    WaveStore store;
    const Bytes b = {0x11};
    EXPECT_EQ(store.store(0, b, 4000), 63);
    EXPECT_EQ(store.store(0, b, 4000), 64);
    EXPECT_EQ(store.store(5, b, 4000), 5);
    EXPECT_EQ(store.store(256, b, 4000), 0);
    for (int i = 65; i < 256; ++i)
        store.store(i, b, 4000);
    EXPECT_EQ(store.store(0, b, 4000), 0);
}

TEST(Adpcm, SampleVoiceInterpolatesAndEndsAtTheWaveEnd)
{
    StoredWave w;
    w.rate = 11025; // half the output rate: every other frame falls between two samples
    w.samples = std::make_shared<const std::vector<std::int16_t>>(std::vector<std::int16_t>{1000, 2000, 3000});
    SampleVoice v;
    v.start(w, 1);
    std::vector<std::int16_t> out(2 * 8, 0);
    v.mix(out.data(), 8);
    EXPECT_EQ(out[0], 999);
    EXPECT_EQ(out[2], 1499);
    EXPECT_EQ(out[4], 1999);
    EXPECT_EQ(out[6], 2499);
    EXPECT_EQ(out[10], 1499); // halfway from 3000 to 0 past the end
    EXPECT_EQ(out[12], 0);
    EXPECT_TRUE(v.idle());
}

TEST(VoiceTables, BankFileThatIsShortOrMistaggedKeepsTheBuiltInVoices)
{
    TempDir dir;
    Bytes file = voiceBank(VoiceBytes::sine(), VoiceBytes::sine(), drumVoice(40));
    file[33128 + 3] = 0x05; // bank 0 program 0: algorithm 5
    Bytes shortFile(file.begin(), file.end() - 1);
    dir.write("sx4voice.vma", shortFile);
    {
        Synthesizer s({}, dir.path());
        EXPECT_EQ(s.tables().melodic(0, 0).algorithm, 0);
    }
    Bytes mistagged = file;
    mistagged[3] = 'X';
    dir.write("sx4voice.vma", mistagged);
    {
        Synthesizer s({}, dir.path());
        EXPECT_EQ(s.tables().melodic(0, 0).algorithm, 0);
    }
    dir.write("sx4voice.vma", file);
    Synthesizer s({}, dir.path());
    EXPECT_EQ(s.tables().melodic(0, 0).algorithm, 5);
    EXPECT_EQ(s.tables().melodic(0, 0).operatorCount, 4);
    EXPECT_EQ(s.tables().working(0, 0).algorithm, 5);
}

TEST(VoiceTables, DrumRecordsLandOnNotesThirteenToNinety)
{
    Bytes file = voiceBank(VoiceBytes::sine(), VoiceBytes::sine(), drumVoice(40));
    // Bank 2, record 0: algorithm 7; the unused 79th record: algorithm 6.
    file[66408 + (2 * 79 + 0) * 26 + 3] = 0x07;
    file[66408 + (2 * 79 + 78) * 26 + 3] = 0x06;
    file[33128 + (3 * 128 + 4) * 26 + 3] = 0x02; // a silent melodic voice
    VoiceTables t({});
    ASSERT_TRUE(t.loadBank(file));
    EXPECT_EQ(t.drum(2, 13).algorithm, 7);
    EXPECT_EQ(t.drum(2, 13).drumKey, 40);
    EXPECT_EQ(t.drum(2, 12).operatorCount, 0);
    EXPECT_EQ(t.drum(2, 90).algorithm, 0);
    EXPECT_EQ(t.drum(2, 91).operatorCount, 0);
    EXPECT_EQ(t.melodic(3, 4).operatorCount, 0);
}

Bytes drumWaveFile(bool goodSize)
{
    Bytes entry(24, 0);
    entry[0] = 'K';
    entry[1] = '1';
    entry[18] = 1;  // bank
    entry[19] = 8;  // note
    entry[20] = 4;
    entry[22] = 0x1F;
    entry[23] = 0x40; // 8000 Hz
    Bytes body = entry;
    append(body, {'W', 'A', 'K', '1', 0, 0, 0, 3, 0x11, 0x22, 0x33});
    Bytes f = {'A', 'D', 'P', ' '};
    put32(f, static_cast<std::uint32_t>(8 + body.size() + (goodSize ? 0 : 1)));
    append(f, {'F', 'M', 'T', ' ', 0, 0, 0, 24});
    append(f, body);
    return f;
}

TEST(VoiceTables, DrumWaveFileAttachesWavesAndAWrongSizeIsIgnored)
{
    TempDir dir;
    dir.write("sx4voice.adp", drumWaveFile(false));
    {
        Synthesizer s({}, dir.path());
        EXPECT_EQ(s.tables().drum(1, 8).waveHandle, 0u);
    }
    dir.write("sx4voice.adp", drumWaveFile(true));
    Synthesizer s({}, dir.path());
    const std::uint32_t handle = s.tables().drum(1, 8).waveHandle;
    ASSERT_NE(handle, 0u);
    const StoredWave* w = s.waves().find(static_cast<int>(handle));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->rate, 8000u);
    EXPECT_EQ(w->samples->size(), 6u);
}

TEST(VoiceTables, EmptyBuiltInBankStillPlays)
{
    Synthesizer s({});
    noteOn(s, 0, 60);
    EXPECT_EQ(s.channel(0).noteCount, 1);
    std::vector<std::int16_t> out(2 * 220, 0);
    s.renderChunk(out.data(), 220);
    int peak = 0;
    for (std::int16_t v : out)
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    EXPECT_GT(peak, 100);
}

} // namespace
} // namespace orka::smaf::test
