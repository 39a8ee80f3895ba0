// The second walk: channel rules, FM channel assignment and the events built for notes.
#include "ChannelStage.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace melconv::test {
namespace {

std::string messageOf(const Smf& smf, const TestBank& bank = TestBank()) { return convert(smf.bytes(), bank.bytes()).message; }

std::vector<Step> stepsOf(const Smf& smf, const TestBank& bank = TestBank())
{
    const Result r = convert(smf.bytes(), bank.bytes());
    EXPECT_EQ(r.rc, 1) << r.message;
    return r.rc == 1 ? scoreSteps(r.smaf) : std::vector<Step>{};
}

// Note events (not exclusive, not 0x00-prefixed) of a sequence.
std::vector<std::vector<std::uint8_t>> notes(const std::vector<Step>& steps)
{
    std::vector<std::vector<std::uint8_t>> out;
    for (const auto& s : steps)
        if (s.event[0] != 0x00 && s.event[0] != 0xFF)
            out.push_back(s.event);
    return out;
}

TEST(ChannelStage, DataEntryNeedsRegisteredParameterZero)
{
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).cc(0, 0, 6, 12)), "MidiCh 1 : No RPN:LSB.");
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).cc(0, 0, 100, 0).cc(0, 0, 6, 12)), "MidiCh 1 : No RPN:MSB.");
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).cc(0, 0, 100, 0).cc(0, 0, 101, 0).cc(0, 0, 6, 25)), "MidiCh 1 : Wrong DataEntry 25.");
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).cc(0, 0, 100, 1)), "MidiCh 1 : Wrong RPN:LSB 1.");
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).cc(0, 0, 101, 2)), "MidiCh 1 : Wrong RPN:MSB 2.");
}

TEST(ChannelStage, ChannelRulesAndCompleteness)
{
    EXPECT_EQ(messageOf(Smf().program(0, 0, 5).note(0, 0, 60, 10)), "MidiCh 1 : No Channel Reserve.");
    EXPECT_EQ(messageOf(Smf().cc(0, 4, 55, 1).note(0, 4, 60, 10)), "MidiCh 5 : No ProgramChange.");
    EXPECT_EQ(messageOf(Smf().drumSetup(9, 1).bend(0, 9, 100)), "MidiCh 10 : Cannot use PitchBend.");
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).raw(0, {0xD0, 10})), "MidiCh 1 : Cannot use AfterTouch.");
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).raw(0, {0xA0, 60, 10})), "MidiCh 1 : Cannot use AfterTouch.");
    EXPECT_EQ(messageOf(Smf().drumSetup(9, 1).program(0, 9, 1)), "MidiCh 10 : Cannot insert Program Change.");
    EXPECT_EQ(messageOf(Smf().drumSetup(9, 1).cc(0, 9, 32, 1)), "MidiCh 10 : Wrong BankSelectLSB 1.");
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).cc(0, 0, 0, 123)), "MidiCh 1 : Wrong BankSelectMSB 123.");
    // A drum channel playing only ADPCM notes needs no reserve and no FM channel.
    EXPECT_EQ(messageOf(Smf().cc(0, 9, 0, 123).program(0, 9, 0).note(0, 9, 95, 10)), "Cannot find the adpcm data.");
}

TEST(ChannelStage, StartAndStopPointRules)
{
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).on(0, 0, 60).cue(10, "START").off(10, 0, 60)), "Wrong START point position.");
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).on(0, 0, 60).cue(10, "STOP").off(10, 0, 60)), "Wrong STOP point position.");
    EXPECT_EQ(messageOf(Smf().cue(100, "STOP").cue(100, "START")), "Wrong START and STOP position.");
    // A STOP at tick 0 before a later START is just as wrong.
    EXPECT_EQ(messageOf(Smf().cue(0, "STOP").cue(100, "START")), "Wrong START and STOP position.");
}

TEST(ChannelStage, ReserveThreeTakesThreeChannelsAndAFourthNoteFails)
{
    const auto three = Smf().setup(0, 3, 5).on(0, 0, 60).on(0, 0, 64).on(0, 0, 67).off(480, 0, 60).off(0, 0, 64).off(0, 0, 67);
    const Result r = convert(three.bytes());
    ASSERT_EQ(r.rc, 1) << r.message;
    EXPECT_EQ(notes(scoreSteps(r.smaf)), (std::vector<std::vector<std::uint8_t>>{{0x1C, 0x7D}, {0x64, 0x7D}, {0xA7, 0x7D}}));

    const auto four = Smf().setup(0, 3, 5).on(0, 0, 60).on(0, 0, 64).on(0, 0, 67).on(0, 0, 71).off(480, 0, 60).off(0, 0, 64).off(0, 0, 67).off(0, 0, 71);
    EXPECT_EQ(messageOf(four), "1:1:0 MidiCh 1 NoteNumber 71 : Cannot assign the Note.");
    EXPECT_EQ(messageOf(Smf().setup(0, 20, 5).note(0, 0, 60, 10)), "MidiCh 1 : Cannot assign Normal channel.");
}

TEST(ChannelStage, SingleVoiceLegatoNotesEndTwoTicksAfterTheNext)
{
    // 96 ticks at 480 per quarter = 25 SMAF ticks apart.
    const auto legato = Smf().setup(0, 1, 5).on(0, 0, 60).on(96, 0, 62).off(96, 0, 60).off(96, 0, 62);
    const auto n = notes(stepsOf(legato));
    ASSERT_EQ(n.size(), 2u);
    EXPECT_EQ(n[0][1], 27);  // 25 + 2
    EXPECT_EQ(n[1][1], 50);
    // A repeated note before its note-off overlaps.
    EXPECT_EQ(messageOf(Smf().setup(0, 2, 5).on(0, 0, 60).on(96, 0, 60).off(96, 0, 60).off(96, 0, 60)),
              "1:1:0 MidiCh 1 : The NoteNumber 60 is overlapped.");
    EXPECT_EQ(messageOf(Smf().setup(0, 2, 5).on(0, 0, 60)), "No Note Off Message.");
}

TEST(ChannelStage, NoteRangeAndOctaveShifts)
{
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).note(0, 0, 12, 10)), "1:1:0 MidiCh 1 : The NoteNumber 12 is Out of Area.");
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).note(0, 0, 109, 10)), "1:1:0 MidiCh 1 : The NoteNumber 109 is Out of Area.");

    const auto steps = stepsOf(Smf().setup(0, 1, 5).note(0, 0, 60, 480).note(0, 0, 37, 480).note(0, 0, 30, 480).note(0, 0, 108, 480));
    std::vector<std::vector<std::uint8_t>> shown;
    for (const auto& s : steps)
        if ((s.event[0] == 0x00 && s.event.size() == 3 && s.event[1] == 0x32) || (s.event[0] != 0 && s.event[0] != 0xFF))
            shown.push_back(s.event);
    EXPECT_EQ(shown, (std::vector<std::vector<std::uint8_t>>{
                         {0x00, 0x32, 0x00}, {0x1C, 0x7D},   // 60: block 1, code 12
                         {0x01, 0x7D},                       // 37: block 0, code 1
                         {0x00, 0x32, 0x81}, {0x06, 0x7D},   // 30: shift -1, block 0, code 6
                         {0x00, 0x32, 0x02}, {0x3C, 0x7D}}));  // 108: shift +2, block 3, code 12
}

TEST(ChannelStage, GateTimeLimits)
{
    // 1 MIDI tick at 480 per quarter is 1 ms: rounds to a gate of 0.
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).note(0, 0, 60, 1)), "1:1:0 MidiCh 1 NoteNumber 60 : The GateTime is 0.");
    // 16512 ticks of 4 ms: 66.048 s = 132.096 quarters.
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).note(0, 0, 60, 63407)), "1:1:0 MidiCh 1 NoteNumber 60 : The GateTime is too long.");
    EXPECT_EQ(convert(Smf().setup(0, 1, 5).note(0, 0, 60, 63400).bytes()).rc, 1);
    // A drum note that long is dropped without a word.
    const Result drum = convert(Smf().drumSetup(9, 1).note(0, 9, 38, 63407).note(0, 9, 38, 480).bytes());
    ASSERT_EQ(drum.rc, 1) << drum.message;
    EXPECT_EQ(notes(scoreSteps(drum.smaf)).size(), 1u);
}

TEST(ChannelStage, VelocityVolumeAndModulationRules)
{
    const auto steps = stepsOf(Smf()
                                   .setup(0, 1, 5)
                                   .note(0, 0, 60, 10, 100)  // short code 11
                                   .note(0, 0, 60, 10, 101)  // same code: nothing
                                   .note(0, 0, 60, 10, 50)   // long
                                   .note(0, 0, 60, 10, 51)   // same quarter: nothing
                                   .cc(0, 0, 7, 100)
                                   .cc(0, 0, 7, 101)         // differs in the low bits: nothing
                                   .cc(0, 0, 7, 104)
                                   .cc(0, 0, 1, 0)
                                   .cc(0, 0, 1, 20)
                                   .cc(0, 0, 1, 31)          // same code: nothing
                                   .cc(0, 0, 10, 64)
                                   .cc(0, 0, 10, 64));       // pan always
    std::vector<std::vector<std::uint8_t>> controls;
    for (const auto& s : steps)
        if (s.event[0] == 0x00 && s.event[1] != 0x30 && s.event[1] != 0x31 && s.event[1] != 0x32)
            controls.push_back(s.event);
    EXPECT_EQ(controls, (std::vector<std::vector<std::uint8_t>>{
                            {0x00, 0x0B}, {0x00, 0x3B, 50}, {0x00, 0x37, 100}, {0x00, 0x37, 104},
                            {0x00, 0x21}, {0x00, 0x22}, {0x00, 0x3A, 64}, {0x00, 0x3A, 64}}));
}

TEST(ChannelStage, StartPointSendsEveryValueAgain)
{
    const auto steps = stepsOf(Smf().setup(0, 1, 5).cue(0, "START").cc(0, 0, 7, 100).note(0, 0, 60, 100, 100)
                                   .note(0, 0, 60, 100, 100));
    int velocities = 0;
    for (const auto& s : steps)
        velocities += s.event == std::vector<std::uint8_t>{0x00, 0x0B};
    EXPECT_EQ(velocities, 1); // repeated velocity: sent once

    // The same volume before and after START is sent both times.
    const auto again = stepsOf(Smf().setup(0, 1, 5).cc(0, 0, 7, 100).cue(0, "START").cc(0, 0, 7, 100).note(0, 0, 60, 100));
    int volumes = 0;
    for (const auto& s : again)
        volumes += s.event == std::vector<std::uint8_t>{0x00, 0x37, 100};
    EXPECT_EQ(volumes, 2);
}

TEST(ChannelStage, FrequencyRegistersOfBentNotes)
{
    // 440 Hz: 9283 halved four times to 580 in block 4.
    EXPECT_EQ(ChannelStage::frequencyRegisters(69, 0, 2, true), (std::array<int, 2>{580 & 0xFF, 2 + 16 + 32}));
    EXPECT_EQ(ChannelStage::frequencyRegisters(69, 0, 2, false), (std::array<int, 2>{580 & 0xFF, 2 + 16}));
    EXPECT_DOUBLE_EQ(ChannelStage::noteFrequency(60), 261.6);
    EXPECT_DOUBLE_EQ(ChannelStage::noteFrequency(0), 8.2);
    EXPECT_DOUBLE_EQ(ChannelStage::noteFrequency(127), 12544.0);
    // The top notes bent up would need block 8 or 9; the block stays 7 and the key-on bit clear.
    for (int note : {100, 108, 127}) {
        const auto off = ChannelStage::frequencyRegisters(note, 32764, 24, false);
        EXPECT_EQ(off[1] & 0x20, 0) << note;
        EXPECT_LE((off[1] >> 2) & 7, 7);
        const auto on = ChannelStage::frequencyRegisters(note, 32764, 24, true);
        EXPECT_EQ(on[1] & 0x20, 0x20);
    }
    // A bend of 0 sent before any note leaves notes ordinary.
    EXPECT_EQ(notes(stepsOf(Smf().setup(0, 1, 5).bend(0, 0, 8192).note(0, 0, 60, 480))).size(), 1u);
    // Any other bend makes the following notes register-played: key on, then key off.
    const auto bent = stepsOf(Smf().setup(0, 1, 5).bend(0, 0, 8192 + 4096).note(0, 0, 69, 480));
    EXPECT_TRUE(notes(bent).empty());
    const auto v = ChannelStage::frequencyRegisters(69, 4096 * 4, 2, true);
    EXPECT_TRUE(hasEvent(bent, {0xFF, 0xF0, 0x06, 0x43, 0x03, 0x90, 0xB0, std::uint8_t(v[0]), 0xF7}));
    EXPECT_TRUE(hasEvent(bent, {0xFF, 0xF0, 0x06, 0x43, 0x03, 0x90, 0xC0, std::uint8_t(v[1]), 0xF7}));
    EXPECT_TRUE(hasEvent(bent, {0xFF, 0xF0, 0x06, 0x43, 0x03, 0x90, 0xC0, std::uint8_t(v[1] - 32), 0xF7}));
    // A bend while a note sounds turns that note into a register-played one too.
    EXPECT_TRUE(notes(stepsOf(Smf().setup(0, 1, 5).on(0, 0, 60).bend(100, 0, 9000).off(100, 0, 60))).empty());
}

TEST(ChannelStage, BendUpdatesWriteOnlyChangedRegisters)
{
    auto registerWrites = [](const std::vector<Step>& steps) {
        std::vector<std::vector<std::uint8_t>> out;
        for (const auto& s : steps)
            if (s.event.size() == 9 && s.event[5] == 0x90)
                out.push_back({s.event[6], s.event[7]});
        return out;
    };
    const auto k = [](int note, int bend, bool on) { return ChannelStage::frequencyRegisters(note, bend, 2, on); };
    // Note 69 bent up; the same bend again writes nothing; a small change alters only the low byte.
    const auto steps = stepsOf(Smf().setup(0, 1, 5).bend(0, 0, 8192 + 512).on(0, 0, 69).bend(50, 0, 8192 + 512)
                                   .bend(50, 0, 8192 + 1024).off(50, 0, 69).bend(50, 0, 8192 + 1024));
    const auto a = k(69, 2048, true);
    const auto b = k(69, 4096, true);
    ASSERT_EQ(a[1], b[1]);
    ASSERT_NE(a[0], b[0]);
    const auto off = k(69, 4096, false);
    EXPECT_EQ(registerWrites(steps), (std::vector<std::vector<std::uint8_t>>{
                                         {0xB0, std::uint8_t(a[0])}, {0xC0, std::uint8_t(a[1])},   // key on
                                         {0xB0, std::uint8_t(b[0])},                                 // low byte only
                                         {0xB0, std::uint8_t(off[0])}, {0xC0, std::uint8_t(off[1])}, // key off
                                         {0xB0, std::uint8_t(off[0])}, {0xC0, std::uint8_t(off[1])}})); // first after the note-off: both
}

TEST(ChannelStage, ProgramChangesDuringTheSong)
{
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).on(0, 0, 60).program(10, 0, 6).off(100, 0, 60)),
              "MidiCh 1 : Cannot insert ProgramChange. ");
    TestBank bank;
    bank.normal(0, 6, 4);
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).program(0, 0, 6).note(0, 0, 60, 100).program(0, 0, 5), bank),
              "MidiCh 1 : Wrong Operator number at a program change.");
    // The same program in two banks needs a voice-assign event after the change.
    const auto steps = stepsOf(Smf().setup(0, 1, 5, 0).note(0, 0, 60, 100).cc(0, 0, 32, 1).program(0, 0, 5).note(0, 0, 60, 100));
    EXPECT_TRUE(hasEvent(steps, {0x00, 0x31, 0x01}));
    EXPECT_TRUE(hasEvent(steps, {0xFF, 0xF0, 0x06, 0x43, 0x03, 0x91, 0x18, 0x01, 0xF7}));
}

TEST(ChannelStage, FourOperatorChannelsReserveTheirPartners)
{
    TestBank bank;
    bank.normal(0, 5, 4);
    const Result r = convert(Smf().setup(0, 2, 5).setup(1, 1, 6).on(0, 0, 60).on(0, 0, 64).note(0, 1, 67, 480)
                                 .off(0, 0, 60).off(0, 0, 64).bytes(),
                             bank.bytes());
    ASSERT_EQ(r.rc, 1) << r.message;
    // FM 0 and 1 play the 4-operator channel (partners 4 and 5); the 2-operator channel takes FM 2.
    EXPECT_EQ(notes(scoreSteps(r.smaf)), (std::vector<std::vector<std::uint8_t>>{{0x1C, 0x7D}, {0x64, 0x7D}, {0xA7, 0x7D}}));
    // Voices: slot 0 4-operator (partner 4), slot 1 2-operator: one group of 8 slots (2);
    // FM channels 0, 1, 2, 4, 5 in use or reserved (2 tracks).
    EXPECT_EQ(r.smaf[24], 2);
    const std::size_t setup = findChunk(r.smaf, "Mtsu");
    EXPECT_EQ(r.smaf[setup + 10], 0x1C); // the 4-operator voice message
    EXPECT_EQ(r.smaf[setup + 8 + 3 + 0x1C + 2], 0x12); // then the 2-operator one

    // Eight 4-operator channels fill all sixteen: a ninth has none.
    EXPECT_EQ(messageOf(Smf().setup(0, 9, 5).note(0, 0, 60, 10), bank), "MidiCh 1 : Cannot assign Normal channel.");
}

TEST(ChannelStage, DrumProgramAssignsVoicesWhenNotesCollide)
{
    // A normal program 38 and the drum note 38 share one number: the drum channel needs a
    // voice-assign event to pick its voice.
    const auto steps = stepsOf(Smf().setup(0, 1, 38).drumSetup(9, 1).note(0, 0, 60, 100).note(0, 9, 38, 100));
    bool assigned = false;
    for (const auto& s : steps)
        assigned = assigned || (s.event.size() == 9 && s.event[5] == 0x91);
    EXPECT_TRUE(assigned);
    const auto plain = stepsOf(Smf().setup(0, 1, 37).drumSetup(9, 1).note(0, 0, 60, 100).note(0, 9, 38, 100));
    for (const auto& s : plain)
        EXPECT_FALSE(s.event.size() == 9 && s.event[5] == 0x91);
}

TEST(ChannelStage, DrumNotesPlayAtTheirKey)
{
    TestBank bank;
    bank.drum(0, 38, 0, 40);
    const auto steps = stepsOf(Smf().drumSetup(9, 1).note(0, 9, 38, 480, 100), bank);
    // bank 128 + kit, program = drum note, octave shift for key 40, velocity, note at key 40.
    EXPECT_TRUE(hasEvent(steps, {0x00, 0x31, 0x80}));
    EXPECT_TRUE(hasEvent(steps, {0x00, 0x30, 38}));
    EXPECT_EQ(notes(steps), (std::vector<std::vector<std::uint8_t>>{{0x04, 0x7D}}));
    // A drum note without an FM channel of its kit and note cannot sound.
    EXPECT_EQ(messageOf(Smf().drumSetup(9, 1).note(0, 9, 38, 10).note(0, 9, 38, 10)), "");
}

} // namespace
} // namespace melconv::test
