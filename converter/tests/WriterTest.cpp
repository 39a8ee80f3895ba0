// The SMAF bytes: a whole file worked out by hand, chunk rules, durations, stamps and CRC.
#include "SmafWriter.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace melconv::test {
namespace {

// One channel (reserve 1), program 5, note 60 at velocity 100 held 480 ticks at 480 per
// quarter and 120 bpm: 500 ms = 125 ticks of 4 ms.
TEST(SmafWriter, OneNoteTuneMatchesHandWorkedBytes)
{
    TestBank bank;
    std::uint8_t* voice = bank.record(0, 5);
    const std::uint8_t chosen[] = {0x01, 0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA};
    std::memcpy(voice + 3, chosen, sizeof chosen);
    std::memset(voice + 15, 0, 11);
    const auto smf = Smf().cc(0, 0, 55, 1).program(0, 0, 5).on(0, 0, 60, 100).off(480, 0, 60).bytes();

    const std::vector<std::uint8_t> expected = {
        'M', 'M', 'M', 'D', 0x00, 0x00, 0x00, 0x8C,               // file chunk, 148 - 8
        'C', 'N', 'T', 'I', 0x00, 0x00, 0x00, 0x1E,               // contents chunk, 30 bytes
        0x00, 0x01, 0x00, 0x00, 0x00, 'M', '2', ':', 0x01, ',',   // class, type, code, copy, count, M2 1
        'A', '0', ':', 'Q', 'V', '1', '8', '5', '6', ',',         // stamp over the tracks
        'A', '2', ':', 'Q', 'V', '1', '8', '4', 'D', ',',         // stamp over the contents chunk
        'M', 'T', 'R', 0x01, 0x00, 0x00, 0x00, 0x5C,              // score track 1, 92 bytes
        0x00, 0x00, 0x02, 0x02, 0xAA, 0xAA,                       // formats, 4 ms timebases, channel status
        'M', 's', 'p', 'I', 0x00, 0x00, 0x00, 0x10,
        's', 't', ':', 0x00, 0x00, 0x00, 0x00, ',',               // start at the first byte
        's', 'p', ':', 0x00, 0x00, 0x00, 0x15, ',',               // stop after the 21 bytes below
        'M', 't', 's', 'u', 0x00, 0x00, 0x00, 0x15,
        0xFF, 0xF0, 0x12, 0x43, 0x03, 0x00, 0x00, 0x05,           // voice 0, bank 0, program 5
        0x01, 0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xF7,
        'M', 't', 's', 'q', 0x00, 0x00, 0x00, 0x19,
        0x00, 0x00, 0x31, 0x00,                                   // bank 0
        0x00, 0x00, 0x30, 0x05,                                   // program 5
        0x00, 0x00, 0x0B,                                         // velocity 100: short code 11
        0x00, 0x00, 0x32, 0x00,                                   // octave shift 0
        0x00, 0x1C, 0x7D,                                         // block 1, note code 12, gate 125
        0x7F, 0xFF, 0x00,                                         // stop: 127 ticks (end + 2), no-op
        0x00, 0x00, 0x00, 0x00,
        0x24, 0x3B};                                              // CRC
    const Result r = convert(smf, bank.bytes());
    ASSERT_EQ(r.rc, 1) << r.message;
    EXPECT_EQ(r.smaf, expected);
}

TEST(SmafWriter, DurationsAboveTheLimitAreFilledWithNoOperations)
{
    MemoryFile f(1 << 20);
    putNumber(f, 16511);
    putNumber(f, 128);
    putNumber(f, 127);
    EXPECT_EQ(f.bytes(), (std::vector<std::uint8_t>{0xFF, 0x7F, 0x80, 0x00, 0x7F}));

    // A rest of 20000 ticks (80 s at 120 bpm: 20000 x 4 ms) before a note.
    const auto smf = Smf().setup(0, 1, 5).note(15360, 0, 60, 48).bytes(0, 96);
    const Result r = convert(smf);
    ASSERT_EQ(r.rc, 1) << r.message;
    const auto steps = scoreSteps(r.smaf);
    // Find the no-operation fill before the note.
    std::size_t i = 0;
    while (i < steps.size() && steps[i].event != std::vector<std::uint8_t>{0xFF, 0x00})
        ++i;
    ASSERT_LT(i + 1, steps.size());
    EXPECT_EQ(steps[i].duration, 16511);
    EXPECT_EQ(steps[i + 1].duration, 3489);
}

TEST(SmafWriter, RestsBeforeExclusiveEventsUseOneByteSteps)
{
    // A second bent note 300 ticks (1.2 s) after the first one ended: same velocity, so its
    // register writes, exclusive events, come first after the rest.
    const auto smf = Smf().setup(0, 1, 5).bend(0, 0, 9000).note(0, 0, 60, 480).note(1152, 0, 62, 480).bytes(0, 480);
    const Result r = convert(smf);
    ASSERT_EQ(r.rc, 1) << r.message;
    const std::size_t seq = findChunk(r.smaf, "Mtsq");
    const std::vector<std::uint8_t> tail = {0x7F, 0xFF, 0x00, 0x7F, 0xFF, 0x00, 0x2E, 0xFF, 0xF0, 0x06, 0x43, 0x03, 0x90};
    const auto it = std::search(r.smaf.begin() + static_cast<std::ptrdiff_t>(seq), r.smaf.end(), tail.begin(), tail.end());
    EXPECT_NE(it, r.smaf.end());
}

TEST(SmafWriter, ContentsChunkWithoutTextsIs38Bytes)
{
    const Result r = convert(Smf().setup(0, 1, 5).note(0, 0, 60, 480).bytes());
    ASSERT_EQ(r.rc, 1);
    EXPECT_EQ(be32(r.smaf, 12), 30u);
    EXPECT_EQ(std::string(r.smaf.begin() + 46, r.smaf.begin() + 50), std::string("MTR\x01", 4));
}

TEST(SmafWriter, StampsAndCrcCheckOut)
{
    const Result r = convert(Smf()
                                 .meta(0, 0x01, "XFln:L1:Song, one:Me\\You")
                                 .meta(0, 0x02, "(c) Orka")
                                 .setup(0, 2, 7)
                                 .note(0, 0, 60, 100)
                                 .note(10, 0, 67, 300)
                                 .bytes());
    ASSERT_EQ(r.rc, 1) << r.message;
    const auto& f = r.smaf;
    const std::size_t contentsEnd = 8 + 8 + be32(f, 12);
    const std::uint16_t crc = static_cast<std::uint16_t>(~SmafWriter::crc({f.data(), f.size() - 2}));
    EXPECT_EQ(f[f.size() - 2], crc >> 8);
    EXPECT_EQ(f[f.size() - 1], crc & 0xFF);
    EXPECT_EQ(be32(f, 4), f.size() - 8);

    std::vector<std::uint8_t> blank(f.begin(), f.end());
    blank[contentsEnd - 3] = blank[contentsEnd - 2] = ' ';
    const auto a2 = SmafWriter::stamp({blank.data() + 8, contentsEnd - 8});
    EXPECT_EQ(f[contentsEnd - 3], a2[0]);
    EXPECT_EQ(f[contentsEnd - 2], a2[1]);
    const auto a0 = SmafWriter::stamp({f.data() + contentsEnd, f.size() - 2 - contentsEnd});
    EXPECT_EQ(f[contentsEnd - 13], a0[0]);
    EXPECT_EQ(f[contentsEnd - 12], a0[1]);
    // A CRC known from its definition: "123456789" gives 0x29B1 before the complement.
    const char* check = "123456789";
    EXPECT_EQ(SmafWriter::crc({reinterpret_cast<const std::uint8_t*>(check), 9}), 0x29B1);
}

TEST(SmafWriter, OnlyChannelsFourToSevenWriteTrackTwoWithTheSetup)
{
    ToneSlots slots{};
    slots[0].operators = 2;
    slots[0].bankMsb = kNormalBank;
    slots[0].program = 3;
    FmChannels channels{};
    channels[5].program = 3;
    SeqEvent note;
    note.time = 10;
    note.size = 2;
    note.bytes[0] = 0x5C;
    note.bytes[1] = 20;
    channels[5].events.push_back(note);
    ContentsInfo info;
    SmafSong song;
    song.contents = &info;
    song.slots = &slots;
    song.channels = &channels;
    song.loop = {0, 40};
    const MemoryFile file = SmafWriter().write(song, 1 << 20);
    std::vector<std::uint8_t> f = const_cast<MemoryFile&>(file).bytes();
    EXPECT_NE(findChunk(f, std::string("MTR\x02", 4)), std::string::npos);
    EXPECT_EQ(findChunk(f, std::string("MTR\x01", 4)), std::string::npos);
    EXPECT_NE(findChunk(f, "Mtsu"), std::string::npos);
    const auto steps = readSequence(f, findChunk(f, "Mtsq"));
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].duration, 10);
    EXPECT_EQ(steps[1].duration, 30); // stop marker at 40
}

TEST(SmafWriter, StartAndStopPointsSetSeekOffsets)
{
    // START at 0: offset 0 and no no-operation before the first event.
    const Result atZero = convert(Smf().cue(0, "START").setup(0, 1, 5).note(0, 0, 60, 480).cue(0, "STOP").bytes());
    ASSERT_EQ(atZero.rc, 1) << atZero.message;
    const std::size_t seek = findChunk(atZero.smaf, "MspI");
    EXPECT_EQ(be32(atZero.smaf, seek + 11), 0u);
    const auto steps = scoreSteps(atZero.smaf);
    EXPECT_NE(steps.front().event, (std::vector<std::uint8_t>{0xFF, 0x00}));
    // The stop marker yields to channel events at its tick and comes last.
    EXPECT_EQ(steps.back().event, (std::vector<std::uint8_t>{0xFF, 0x00}));

    // START later: its rest and a no-operation come first; the offset points after them.
    const Result later = convert(Smf().setup(0, 1, 5).cue(480, "START").note(0, 0, 60, 480).bytes());
    ASSERT_EQ(later.rc, 1) << later.message;
    const std::size_t seek2 = findChunk(later.smaf, "MspI");
    const auto steps2 = scoreSteps(later.smaf);
    // Bank and program at 0 (8 bytes), then the 125-tick rest and a no-op (3 bytes).
    EXPECT_EQ(be32(later.smaf, seek2 + 11), 11u);
    EXPECT_EQ(steps2[2].duration, 125);
    EXPECT_EQ(steps2[2].event, (std::vector<std::uint8_t>{0xFF, 0x00}));
}

TEST(SmafWriter, ScoreTracksNeededCountsGroupsAndChannels)
{
    ToneSlots slots{};
    FmChannels channels{};
    EXPECT_EQ(SmafWriter::scoreTracksNeeded(slots, channels), 0);
    slots[0].operators = 4;
    slots[4].operators = kPartner;
    slots[8].operators = 2;
    EXPECT_EQ(SmafWriter::scoreTracksNeeded(slots, channels), 3);
    for (int k = 0; k < 13; ++k)
        channels[k].program = 1;
    EXPECT_EQ(SmafWriter::scoreTracksNeeded(slots, channels), 4);
}

} // namespace
} // namespace melconv::test
