// The shared file layer: merging tracks, leniency, chunk bounds and the format-0 writer.
#include "../../audio/midi/tests/SmfBuilder.h"
#include "orka/smf/Smf.h"

#include <gtest/gtest.h>

using namespace orka::test;
namespace io = orka::smf;

TEST(Smf, FormatOneMergesByTickWithEarlierTracksFirst)
{
    const Bytes file = smf(1, 96,
                           {trackData({{0, setTempo(400000)}, {96, {0xFF, 0x01, 0x01, 'x'}}, {200, endOfTrack()}}),
                            trackData({{0, noteOn(1, 60, 90)}, {96, {60, 0}}, {0, endOfTrack()}}),
                            trackData({{96, noteOn(2, 62, 80)}, {10, noteOff(2, 62)}, {0, endOfTrack()}})});
    auto song = io::readSong(file);
    ASSERT_TRUE(song);
    ASSERT_EQ(song->events.size(), 6u);
    EXPECT_EQ(song->events[0].metaType, 0x51);
    EXPECT_EQ(song->events[1].status, 0x91);
    // At tick 96: track 0's text, then track 1's running-status note-off, then track 2.
    EXPECT_EQ(song->events[2].metaType, 0x01);
    EXPECT_EQ(song->events[3].status, 0x91); // running status written out
    EXPECT_EQ(song->events[3].data2, 0);
    EXPECT_EQ(song->events[4].status, 0x92);
    EXPECT_EQ(song->events[5].tick, 106u);
    EXPECT_EQ(song->endTick, 296u);
}

TEST(Smf, LenientReadingKeepsWhatPrecedesAFault)
{
    const Bytes cut = smf(0, 96, {trackData({{0, noteOn(0, 60, 90)}, {10, noteOff(0, 60)}, {5, {0xFF, 0x01, 0x40, 'a'}}})});
    EXPECT_FALSE(io::readSong(cut));
    auto song = io::readSong(cut, true);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->events.size(), 2u);
    // A data byte before any status is dropped, not refused.
    const Bytes stray = smf(0, 96, {trackData({{0, {0x40, 0x40}}, {0, noteOn(0, 60, 90)}, {0, endOfTrack()}})});
    auto strayed = io::readSong(stray);
    ASSERT_TRUE(strayed);
    ASSERT_EQ(strayed->events.size(), 1u);
    EXPECT_EQ(strayed->events[0].status, 0x90);
}

TEST(Smf, ChunksAreBoundedAndForeignChunksPassedOver)
{
    Bytes file = header(1, 1, 96);
    const Bytes foreign = chunk("XFIH", {1, 2, 3});
    const Bytes track = chunk("MTrk", trackData({{0, noteOn(0, 60, 1)}, {0, endOfTrack()}}));
    file.insert(file.end(), foreign.begin(), foreign.end());
    file.insert(file.end(), track.begin(), track.end());
    auto header0 = io::readHeader(file);
    ASSERT_TRUE(header0);
    auto tracks = io::trackChunks(file, *header0);
    ASSERT_TRUE(tracks);
    ASSERT_EQ(tracks->size(), 1u);
    EXPECT_EQ((*tracks)[0].size(), track.size() - 8);

    Bytes cut(file.begin(), file.end() - 1);
    EXPECT_FALSE(io::trackChunks(cut, *header0));
    // 300 tracks promised, one present.
    Bytes many = file;
    many[10] = 0x01;
    many[11] = 0x2C;
    EXPECT_FALSE(io::readSong(many, true));
    EXPECT_FALSE(io::readHeader(Bytes(file.begin(), file.begin() + 13)));
}

TEST(Smf, WriterOutputReadsBackWithLongMetaAndExclusiveData)
{
    io::Format0Writer w(480);
    const Bytes name(200, 'n');
    w.meta(0, 0x08, name);
    w.sysEx(0, 0xF0, Bytes{0x7E, 0x7F, 0x09, 0x01, 0xF7});
    w.tempo(0, 600000);
    w.channelMessage(10, 0xC3, 7);
    w.channelMessage(10, 0x93, 60, 100);
    w.channelMessage(5, 0x83, 60, 0); // a tick behind the last is taken as the last
    const Bytes file = w.finish(1000);
    auto song = io::readSong(file);
    ASSERT_TRUE(song);
    ASSERT_EQ(song->events.size(), 6u);
    EXPECT_EQ(song->events[0].payload.size(), 200u);
    EXPECT_EQ(song->events[1].payload.size(), 5u);
    EXPECT_EQ(song->events[2].payload[0], 0x09);
    EXPECT_EQ(song->events[3].data1, 7);
    EXPECT_EQ(song->events[5].tick, 10u);
    EXPECT_EQ(song->endTick, 1000u);
    EXPECT_EQ(song->header.format, 0);

    // A gap longer than one delta can hold keeps its length.
    io::Format0Writer far(96);
    far.channelMessage(0x1FFFFFF0u, 0x90, 60, 1);
    auto farSong = io::readSong(far.finish(0x1FFFFFF0u + 5));
    ASSERT_TRUE(farSong);
    EXPECT_EQ(farSong->events.back().tick, 0x1FFFFFF0u);
    EXPECT_EQ(farSong->endTick, 0x1FFFFFF0u + 5);
}

TEST(Smf, VariableLengthEdges)
{
    for (std::uint32_t v : {0u, 0x7Fu, 0x80u, 0x3FFFu, 0x4000u, 0x0FFFFFFFu}) {
        Bytes out;
        io::appendVariableLength(out, v);
        std::size_t pos = 0;
        EXPECT_EQ(io::readVariableLength(out, pos), v);
        EXPECT_EQ(pos, out.size());
    }
    Bytes big;
    io::appendVariableLength(big, 0xFFFFFFFFu); // cut to four groups
    EXPECT_EQ(big.size(), 4u);
    std::size_t pos = 0;
    const Bytes five = {0x84, 0x80, 0x80, 0x80, 0x00};
    EXPECT_FALSE(io::readVariableLength(five, pos));
    pos = 0;
    const Bytes unfinished = {0x81};
    EXPECT_FALSE(io::readVariableLength(unfinished, pos));
}
