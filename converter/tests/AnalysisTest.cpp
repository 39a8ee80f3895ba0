// The first walk: controller and program rules, the tone table, drum reserves, operator
// slots, song information and message positions.
#include "TestSupport.h"
#include "ToneAnalysis.h"

#include <gtest/gtest.h>

namespace melconv::test {
namespace {

std::string messageOf(const Smf& smf, const TestBank& bank = TestBank()) { return convert(smf.bytes(), bank.bytes()).message; }

TEST(ToneAnalysis, ControllerAndProgramRules)
{
    EXPECT_EQ(messageOf(Smf().cc(0, 2, 0, 5)), "MidiCh 3 : Wrong BankSelectMSB 5.");
    EXPECT_EQ(messageOf(Smf().cc(0, 15, 32, 10)), "MidiCh 16 : Wrong BankSelectLSB 10.");
    EXPECT_EQ(messageOf(Smf().cc(0, 0, 2, 1)), "MidiCh 1 : Wrong ControlNumber 2.");
    // The drum bank takes kits 0-9; the message shows the program from 1.
    EXPECT_EQ(messageOf(Smf().cc(0, 9, 0, 123).program(0, 9, 10)), "MidiCh 10 : Wrong ProgramChange 11.");
    // Controller 11 passes the first walk but not the second.
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).cc(0, 0, 11, 64).note(0, 0, 60, 100)), "MidiCh 1 : Wrong ControlNumber 11.");
}

TEST(ToneAnalysis, SecondChannelReserveFailsUnlessALaterErrorReplacesIt)
{
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).cc(0, 0, 55, 2).note(0, 0, 60, 100)), "MidiCh 1 : ChannelReserve Error.");
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).cc(0, 0, 55, 2).cc(0, 1, 3, 0).note(0, 0, 60, 100)),
              "MidiCh 2 : Wrong ControlNumber 3.");
}

TEST(ToneAnalysis, ToneTableHoldsSixteenTones)
{
    Smf smf;
    smf.cc(0, 0, 55, 1);
    for (int p = 0; p < 16; ++p)
        smf.program(0, 0, p);
    EXPECT_NE(messageOf(smf), "MidiCh 1 : Cannot assign a Normal tone.");
    smf.program(0, 1, 16);
    EXPECT_EQ(messageOf(smf), "MidiCh 2 : Cannot assign a Normal tone.");

    // A channel reserving nothing takes no tone.
    Smf quiet;
    quiet.cc(0, 3, 55, 0);
    for (int p = 0; p < 20; ++p)
        quiet.program(0, 3, p);
    EXPECT_EQ(messageOf(quiet), "No Effective MIDI data.");
}

TEST(ToneAnalysis, FourOperatorTonesTakeEightSlotsAtMost)
{
    TestBank bank;
    for (int p = 0; p < 9; ++p)
        bank.normal(0, p, 4);
    Smf smf;
    smf.cc(0, 0, 55, 1);
    for (int p = 0; p < 8; ++p)
        smf.program(0, 0, p);
    EXPECT_NE(messageOf(smf, bank), "Cannot assign a 4 operator tone.");
    smf.program(0, 0, 8);
    EXPECT_EQ(messageOf(smf, bank), "Cannot assign a 4 operator tone.");

    // Eight 4-operator tones fill all sixteen slots: a 2-operator tone finds none.
    Smf full;
    full.cc(0, 0, 55, 1);
    for (int p = 0; p < 8; ++p)
        full.program(0, 0, p);
    full.program(0, 0, 20);
    EXPECT_EQ(messageOf(full, bank), "Cannot assign a 2 operator tone.");
}

TEST(ToneAnalysis, DrumTonesShareTheTableOfSixteen)
{
    Smf smf;
    smf.drumSetup(9, 16);
    for (int note = 30; note < 46; ++note)
        smf.note(0, 9, note, 10);
    EXPECT_NE(messageOf(smf), "MidiCh 10 : Cannot assign a Drum tone.");
    smf.note(0, 9, 46, 10);
    EXPECT_EQ(messageOf(smf), "MidiCh 10 : Cannot assign a Drum tone.");
}

TEST(ToneAnalysis, DrumReserveMustMatchTheDrumTones)
{
    const auto threeDrums = Smf().drumSetup(9, 2).note(0, 9, 36, 50).note(0, 9, 38, 50).note(0, 9, 42, 50);
    EXPECT_EQ(messageOf(threeDrums), "MidiCh 10 : ChannelReserve should be 3.");
    const auto twoDrums = Smf().drumSetup(9, 2).note(0, 9, 36, 50).note(0, 9, 38, 50).note(0, 9, 36, 50);
    EXPECT_EQ(convert(twoDrums.bytes()).rc, 1);
    // A drum channel without FM drum tones does not stop the check of later channels.
    const auto later = Smf().drumSetup(3, 0).drumSetup(9, 1).note(0, 9, 36, 50).note(0, 9, 38, 50);
    EXPECT_EQ(messageOf(later), "MidiCh 10 : ChannelReserve should be 2.");
}

TEST(ToneAnalysis, OperatorPassesPlaceFourOperatorTonesFirst)
{
    TestBank bank;
    bank.normal(0, 1, 5);
    bank.drum(0, 38, 6, 50);
    const auto smf = Smf()
                         .setup(0, 1, 0)          // 2-operator
                         .setup(1, 1, 1)          // 4-operator
                         .drumSetup(9, 2)
                         .note(0, 9, 36, 50)      // 2-operator drum
                         .note(0, 9, 38, 50)      // 4-operator drum
                         .note(0, 0, 60, 50)
                         .note(0, 1, 60, 50)
                         .bytes();
    ToneAnalysis analysis;
    const MidiStream stream(smf);
    ASSERT_TRUE(analysis.run(stream, VoiceBankView(bank.bytes().data(), bank.bytes().size()))) << analysis.message();
    const auto& slots = analysis.toneSlots();
    EXPECT_EQ(slots[0].drumNote, 38);     // drum 4-operator
    EXPECT_EQ(slots[4].operators, kPartner);
    EXPECT_EQ(slots[1].program, 1);       // normal 4-operator
    EXPECT_EQ(slots[5].operators, kPartner);
    EXPECT_EQ(slots[2].drumNote, 36);     // drum 2-operator
    EXPECT_EQ(slots[3].program, 0);       // normal 2-operator
    EXPECT_EQ(slots[3].operators, 2);
    EXPECT_EQ(slots[0].drumKey, 50);

    const Result r = convert(smf, bank.bytes());
    ASSERT_EQ(r.rc, 1) << r.message;
    // M2: the groups 0-3 and 4-7 hold 4-operator slots (2), nothing else from slot 8.
    EXPECT_EQ(r.smaf[24], 2);
}

TEST(ToneAnalysis, XflnTextAndCopyrightFillTheContentsChunk)
{
    const std::string xfln = "XFln:B5:Title, A:Comp\\oser:Lyr:Arr:Artist";
    const Result r = convert(Smf().meta(0, 0x01, xfln).meta(0, 0x02, "Orka, 2026").setup(0, 1, 5).note(0, 0, 60, 100).bytes());
    ASSERT_EQ(r.rc, 1) << r.message;
    const std::string chunk(r.smaf.begin() + 8, r.smaf.begin() + 16 + static_cast<std::ptrdiff_t>(be32(r.smaf, 12)));
    EXPECT_EQ(r.smaf[18], 4); // "B5"
    EXPECT_EQ(r.smaf[19], 1); // a copyright notice
    EXPECT_NE(chunk.find(",ST:Title\\, A,AN:Artist,WW:Lyr,SW:Comp\\\\oser,AW:Arr,CR:Orka\\, 2026,A0:"), std::string::npos)
        << chunk;

    // An unknown language code leaves the code type; a double-byte character is not escaped.
    ContentsInfo info;
    const std::uint8_t text[] = {'X', 'F', 'l', 'n', ':', 'Z', 'Z', ':', 0xA4, '\\', ',', ':', 'x'};
    readXflnText(text, info);
    EXPECT_EQ(info.codeType, 0);
    EXPECT_EQ(info.songTitle, std::string("\xA4\\\\,", 4));
    EXPECT_EQ(info.songWriter, "x");
}

TEST(ToneAnalysis, LyricCuePointsNameMelodyChannels)
{
    auto channels = [](const std::string& text) {
        ContentsInfo info;
        readLyricCue({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, info);
        std::string out;
        for (int c = 0; c < 16; ++c)
            if (info.lyricChannels[static_cast<std::size_t>(c)])
                out += std::to_string(c + 1) + " ";
        return out;
    };
    EXPECT_EQ(channels("$Lyrc:3,16:rest"), "3 16 ");
    EXPECT_EQ(channels("$Lyrc:2:x"), "2 ");
    EXPECT_EQ(channels("$Lyrc:17,0"), "");
    EXPECT_EQ(channels("$Lyrc:5"), ""); // neither "," nor ":" after the tag

    const Result r = convert(Smf().cue(0, "$Lyrc:1:").setup(0, 1, 5).drumSetup(9, 1).note(0, 0, 60, 100).note(0, 9, 36, 100).bytes());
    ASSERT_EQ(r.rc, 1) << r.message;
    const std::size_t track = findChunk(r.smaf, std::string("MTR\x01", 4));
    // Drums are assigned first: FM channel 0 (type 3), FM 1 plays MIDI channel 1 (type 1, key control).
    EXPECT_EQ(r.smaf[track + 12], 0x39);
    EXPECT_EQ(r.smaf[track + 13], 0xAA);
}

TEST(ToneAnalysis, MessagePositionsUseBarsOf1920TicksUntilATimeSignature)
{
    // Division 96: 2000 ticks in are bar 2, beat 1, tick 80 with the default lengths.
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).note(2000, 0, 12, 10)), "2:1:80 MidiCh 1 : The NoteNumber 12 is Out of Area.");
    // 3/8 at division 480: a bar of 3 x 240 ticks. A partial bar before the change is dropped.
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).timeSignature(2000, 3, 3).note(1700, 0, 109, 10)),
              "4:2:20 MidiCh 1 : The NoteNumber 109 is Out of Area.");
    // A signature of 0 beats or a denominator of 2^40 cannot divide by zero.
    EXPECT_EQ(messageOf(Smf().setup(0, 1, 5).timeSignature(0, 0, 40).note(7, 0, 12, 10)),
              "8:1:0 MidiCh 1 : The NoteNumber 12 is Out of Area.");
}

} // namespace
} // namespace melconv::test
