#include "SmfBuilder.h"
#include "orka/audio/midi/MidiSong.h"
#include "orka/audio/midi/RingToneAssembly.h"

#include <gtest/gtest.h>

using namespace orka::test;
using orka::audio::midi::kNoVolume;
using orka::audio::midi::readMidiSong;

namespace {

std::string failureOf(const Bytes& file)
{
    std::string message;
    EXPECT_FALSE(readMidiSong(file, &message).has_value());
    return message;
}

Bytes oneTrack(const Bytes& data) { return smf(0, 480, {data}); }

} // namespace

TEST(SmfReader, ZeroTracksLoadWithLengthZero)
{
    auto song = readMidiSong(header(1, 0, 96));
    ASSERT_TRUE(song);
    EXPECT_EQ(song->songLength, 0);
    EXPECT_EQ(song->tempo, 500000u);
    EXPECT_FALSE(song->volumePresent);
}

TEST(SmfReader, HeaderFaultsFailWithoutMessage)
{
    Bytes seven = header(0, 0, 480);
    seven[7] = 7;
    seven.push_back(0);
    EXPECT_EQ(failureOf(seven), "");
    EXPECT_EQ(failureOf(header(0, 0, 0xE250)), ""); // SMPTE timing
    EXPECT_EQ(failureOf(header(0, 0, 0)), "");      // a division that cannot play
    Bytes wrongMagic = header(0, 0, 480);
    wrongMagic[0] = 'X';
    EXPECT_EQ(failureOf(wrongMagic), "");
    Bytes cut = header(0, 0, 480);
    cut.resize(13);
    EXPECT_EQ(failureOf(cut), "");
}

TEST(SmfReader, ChunkHeadersAreBoundedByTheImage)
{
    Bytes file = oneTrack(trackData({{0, endOfTrack()}}));
    // Track count promises a second chunk that is not there.
    Bytes twoPromised = file;
    twoPromised[11] = 2;
    EXPECT_EQ(failureOf(twoPromised), "");
    // A chunk length past the end of the image.
    Bytes longChunk = file;
    longChunk[21] = 0x40;
    EXPECT_EQ(failureOf(longChunk), "");
    // A chunk length negative as a signed 32-bit number.
    Bytes negative = file;
    negative[18] = 0xFF;
    EXPECT_EQ(failureOf(negative), "");
    // A chunk that is not MTrk.
    Bytes other = file;
    other[14] = 'X';
    EXPECT_EQ(failureOf(other), "");
    // Cut in the chunk header.
    Bytes cut(file.begin(), file.begin() + 18);
    EXPECT_EQ(failureOf(cut), "");
}

TEST(SmfReader, TrackWithoutEndOfTrackFailsAtItsLength)
{
    Bytes data = trackData({{0, noteOn(0, 60, 100)}, {10, noteOff(0, 60)}});
    EXPECT_EQ(failureOf(oneTrack(data)), "Track 0 Offset " + std::to_string(data.size()) + ": Delta-time problem.");
}

TEST(SmfReader, DeltaTimeOfFourSignificantBytesAtMost)
{
    Bytes ok = {0xFF, 0xFF, 0xFF, 0x7F};
    ok.insert(ok.end(), {0xFF, 0x2F, 0x00});
    auto song = readMidiSong(oneTrack(ok));
    ASSERT_TRUE(song);
    EXPECT_EQ(song->songLength, 0x0FFFFFFF);

    Bytes five = {0x84, 0x80, 0x80, 0x80, 0x00, 0xFF, 0x2F, 0x00}; // 0x800000 before the fifth byte
    EXPECT_NE(failureOf(oneTrack(five)).find("Delta-time problem."), std::string::npos);
}

TEST(SmfReader, TotalTicksPastInt32Fail)
{
    Bytes data;
    for (int i = 0; i < 9; ++i) // 9 x 0x0FFFFFFF > 0x7FFFFFFF
        data.insert(data.end(), {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00});
    data.insert(data.end(), {0x00, 0xFF, 0x2F, 0x00});
    EXPECT_NE(failureOf(oneTrack(data)).find("Total ticks can't fit in integer."), std::string::npos);
}

TEST(SmfReader, MetaLengthRules)
{
    // Type 1 text of 200 bytes: a two-byte variable-length length.
    Bytes text = {0x00, 0xFF, 0x01, 0x81, 0x48};
    text.insert(text.end(), 200, 'a');
    // Type 0x58 with a one-byte length of 4.
    text.insert(text.end(), {0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8});
    text.insert(text.end(), {0x00, 0xFF, 0x2F, 0x00});
    EXPECT_TRUE(readMidiSong(oneTrack(text)));

    // Every meta length is a variable-length number: 0x81 0x48 is 200 bytes for a program
    // name (0x08) or a device name (0x09) too, and the notes after them are read.
    for (std::uint8_t type : {std::uint8_t{0x08}, std::uint8_t{0x09}, std::uint8_t{0x7E}}) {
        Bytes longName = {0x00, 0xFF, type, 0x81, 0x48};
        longName.insert(longName.end(), 200, 'n');
        longName.insert(longName.end(), {0x00, 0x93, 60, 100, 0x83, 0x60, 0x83, 60, 0, 0x00, 0xFF, 0x2F, 0x00});
        auto song = readMidiSong(oneTrack(longName));
        ASSERT_TRUE(song) << int{type};
        EXPECT_TRUE(song->channels[3].hasNotes);
        EXPECT_EQ(song->songLength, 480);
    }

    Bytes metaPastEnd = {0x00, 0xFF, 0x01, 0x10, 'a', 'b'};
    EXPECT_EQ(failureOf(oneTrack(metaPastEnd)), "Track 0 Offset 6: Variable-length data on meta-event.");
    Bytes oneBytePastEnd = {0x00, 0xFF, 0x58, 0x04, 4};
    EXPECT_EQ(failureOf(oneTrack(oneBytePastEnd)), "Track 0 Offset 5: Data problem on meta-event.");
    Bytes noLength = {0x00, 0xFF, 0x58};
    EXPECT_EQ(failureOf(oneTrack(noLength)), "Track 0 Offset 3: Length problem on meta-event.");
    Bytes noType = {0x00, 0xFF};
    EXPECT_EQ(failureOf(oneTrack(noType)), "Track 0 Offset 2: Second byte problem on meta-event.");
    Bytes noVarLen = {0x00, 0xFF, 0x03, 0x80};
    EXPECT_EQ(failureOf(oneTrack(noVarLen)), "Track 0 Offset 4: Variable-length problem on meta-event.");
    Bytes sysexPastEnd = {0x00, 0xF0, 0x05, 0x7E};
    EXPECT_EQ(failureOf(oneTrack(sysexPastEnd)), "Track 0 Offset 4 Variable-Length data on SysEx message.");
    Bytes tempoCut = {0x00, 0xFF, 0x51, 0x03, 0x07};
    EXPECT_NE(failureOf(oneTrack(tempoCut)), "");
}

TEST(SmfReader, EndOfTrackEndsTheCheckEvenWithBytesAfterIt)
{
    Bytes data = {0x00, 0xFF, 0x2F}; // the byte after the type is never read
    EXPECT_TRUE(readMidiSong(oneTrack(data)));
}

TEST(SmfReader, IncorrectFirstBytes)
{
    for (std::uint8_t status : {0xF1, 0xF8}) {
        Bytes data = {0x00, status, 0x00, 0xFF, 0x2F, 0x00};
        EXPECT_EQ(failureOf(oneTrack(data)), "Track 0 Offset 2: Incorrect first byte.") << int(status);
    }
    Bytes badData = {0x00, 0x90, 0x90, 0x40};
    EXPECT_EQ(failureOf(oneTrack(badData)), "Track 0 Offset 3: Message first data byte problem.");
    Bytes cutStatus = {0x00, 0x90};
    EXPECT_EQ(failureOf(oneTrack(cutStatus)), "Track 0 Offset 2: Message first data byte problem.");
    Bytes noFirst = {0x00};
    EXPECT_EQ(failureOf(oneTrack(noFirst)), "Track 0 Offset 1: First byte problem.");
}

TEST(SmfReader, SecondTrackFailureNamesItsIndex)
{
    Bytes file = smf(1, 480, {trackData({{0, endOfTrack()}}), Bytes{0x00, 0xF4}});
    EXPECT_EQ(failureOf(file), "Track 1 Offset 2: Incorrect first byte.");
}

TEST(SmfReader, ChannelFacts)
{
    Bytes data = trackData({
        {0, noteOn(3, 60, 0)}, // velocity 0 still counts as notes
        {0, program(2, 10)},
        {0, program(2, 20)}, // the first program is kept
        {0, control(5, 7, 90)},
        {0, control(5, 7, 40)}, // the last volume is kept
        {0, control(6, 7, 110)},
        {0, {0xD1, 0x20}}, // channel pressure: one data byte
        {0, {0xE1, 0x00, 0x40}},
        {0, endOfTrack()},
    });
    auto song = readMidiSong(oneTrack(data));
    ASSERT_TRUE(song);
    EXPECT_TRUE(song->channels[3].hasNotes);
    EXPECT_FALSE(song->channels[2].hasNotes);
    EXPECT_EQ(song->channels[2].firstProgram, 10);
    EXPECT_EQ(song->channels[0].firstProgram, -1);
    EXPECT_EQ(song->channelVolumes[5], 40u);
    EXPECT_EQ(song->channelVolumes[6], 110u);
    EXPECT_EQ(song->channelVolumes[0], kNoVolume);
    EXPECT_EQ(song->highestVolume, 110u);
    EXPECT_EQ(song->lowestVolume, 40u);
    EXPECT_TRUE(song->volumePresent);
}

TEST(SmfReader, RunningStatusAndDataBeforeAnyStatus)
{
    // 0x40 0x50 before any status: a two-data-byte message that changes nothing.
    Bytes data = {0x00, 0x40, 0x50, 0x00, 0x92, 60, 100, 0x10, 62, 100, 0x00, 0xFF, 0x2F, 0x00};
    auto song = readMidiSong(oneTrack(data));
    ASSERT_TRUE(song);
    EXPECT_TRUE(song->channels[2].hasNotes);
    EXPECT_EQ(song->songLength, 16);
    for (int ch = 0; ch < 16; ++ch) {
        if (ch != 2) {
            EXPECT_FALSE(song->channels[static_cast<std::size_t>(ch)].hasNotes);
        }
    }
}

TEST(SmfReader, TempoIsTheLastInFileOrderAndLengthTheLongestTrack)
{
    Bytes t0 = trackData({{0, setTempo(400000)}, {100, endOfTrack()}});
    Bytes t1 = trackData({{0, setTempo(600000)}, {960, noteOn(0, 60, 1)}, {0, endOfTrack()}});
    auto song = readMidiSong(smf(1, 480, {t0, t1}));
    ASSERT_TRUE(song);
    EXPECT_EQ(song->tempo, 600000u);
    EXPECT_EQ(song->songLength, 960);
    EXPECT_EQ(song->tracks[0].lengthTicks, 100);
    ASSERT_EQ(song->trackCount, 2);
    // Each track keeps its own copy of exactly its bytes.
    EXPECT_EQ(song->tracks[1].data, t1);
}

TEST(SmfReader, VariableLengthHelpersRoundTrip)
{
    for (std::uint32_t v : {0u, 0x7Fu, 0x80u, 0x3FFFu, 0x4000u, 0x1FFFFFu, 0x200000u, 0x0FFFFFFFu}) {
        std::vector<std::uint8_t> out;
        orka::audio::midi::appendVariableLength(out, v);
        std::size_t pos = 0;
        auto back = orka::audio::midi::readVariableLength(out, pos);
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, v);
        EXPECT_EQ(pos, out.size());
    }
}

TEST(SmfReader, RingToneOfASongWithALongMetaEventReadsBack)
{
    Bytes data = {0x00, 0xFF, 0x08, 0x81, 0x48};
    data.insert(data.end(), 200, 'p');
    data.insert(data.end(), {0x00, 0xC0, 5, 0x00, 0x90, 64, 90, 0x87, 0x40, 0x80, 64, 0, 0x00, 0xFF, 0x2F, 0x00});
    auto song = readMidiSong(oneTrack(data));
    ASSERT_TRUE(song);
    orka::audio::midi::RingToneSettings settings; // from the start, so the long event is copied
    const auto tone = orka::audio::midi::assembleRingTone(*song, settings);
    auto back = readMidiSong(tone);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->channels[0].firstProgram, 5);
    EXPECT_EQ(back->songLength, 960);
    EXPECT_TRUE(back->channels[0].hasNotes);
}
