// What the preparation does to the constructs real songs use, each checked by the converter.
#include "QmixCalls.h"
#include "orka/common/ByteOrder.h"

#include <gtest/gtest.h>

#include <map>

using namespace orka::test;

namespace {

struct Heard {
    std::map<int, int> reserve;  // channel -> controller 55
    std::map<int, int> program;  // channel -> first program
    std::map<int, int> bankMsb;  // channel -> controller 0
    std::map<int, std::vector<std::pair<std::uint64_t, std::uint64_t>>> notes; // channel -> (on, off)
    std::map<int, std::vector<int>> keys;
    std::map<int, std::vector<int>> velocities;
    std::vector<std::pair<int, int>> controllers; // (channel, number) in order
    std::vector<std::pair<std::uint64_t, int>> programChanges; // (tick, channel)
    int bends = 0;
};

Heard listen(const Bytes& prepared)
{
    Heard h;
    auto song = orka::smf::readSong(prepared);
    EXPECT_TRUE(song);
    if (!song)
        return h;
    EXPECT_EQ(song->header.format, 0);
    std::map<std::pair<int, int>, std::uint64_t> open;
    for (const auto& e : song->events) {
        if (!e.isChannelMessage())
            continue;
        const int ch = e.channel();
        switch (e.kind()) {
        case 0x90:
            EXPECT_GT(e.data2, 0);
            open[{ch, e.data1}] = e.tick;
            h.keys[ch].push_back(e.data1);
            h.velocities[ch].push_back(e.data2);
            break;
        case 0x80:
            h.notes[ch].push_back({open[{ch, e.data1}], e.tick});
            break;
        case 0xB0:
            h.controllers.push_back({ch, e.data1});
            if (e.data1 == 55)
                h.reserve[ch] = e.data2;
            if (e.data1 == 0)
                h.bankMsb[ch] = e.data2;
            break;
        case 0xC0:
            if (!h.program.count(ch))
                h.program[ch] = e.data1;
            h.programChanges.push_back({e.tick, ch});
            break;
        case 0xE0:
            ++h.bends;
            break;
        default:
            ADD_FAILURE() << "kind " << int{e.kind()} << " left in";
        }
    }
    return h;
}

Bytes song0(std::initializer_list<Ev> events, std::uint16_t division = 480) { return smf(0, division, {trackData(events)}); }

Bytes prepared(const Bytes& in, std::array<std::uint32_t, 16> keep = allChannels())
{
    std::int32_t r = -1;
    Bytes out = prepare(in, keep, &r);
    EXPECT_EQ(r, 0) << qmixLog();
    EXPECT_EQ(converterRefusal(out), "") << qmixLog();
    return out;
}

} // namespace

TEST(Preparation, EveryUsedChannelGetsBankReserveAndProgramBeforeItsFirstNote)
{
    const Heard h = listen(prepared(song0({{0, {0xB2, 91, 40}},
                                           {0, program(2, 40)},
                                           {0, noteOn(2, 60, 100)},
                                           {0, noteOn(9, 36, 100)},
                                           {0, noteOn(9, 42, 100)},
                                           {240, noteOff(2, 60)},
                                           {0, noteOff(9, 36)},
                                           {0, noteOff(9, 42)},
                                           {0, program(5, 3)}, // a channel without notes
                                           {0, endOfTrack()}})));
    EXPECT_EQ(h.bankMsb, (std::map<int, int>{{2, 122}, {9, 123}}));
    EXPECT_EQ(h.program.at(2), 40);
    EXPECT_LE(h.program.at(9), 9); // a kit
    EXPECT_EQ(h.reserve.at(2), 1);
    EXPECT_EQ(h.reserve.at(9), 2); // one FM channel per drum note
    EXPECT_FALSE(h.program.count(5));
    // Setup comes first: bank MSB, LSB, reserve for each channel.
    ASSERT_GE(h.controllers.size(), 3u);
    EXPECT_EQ(h.controllers[0], (std::pair{2, 0}));
    EXPECT_EQ(h.controllers[1], (std::pair{2, 32}));
    EXPECT_EQ(h.controllers[2], (std::pair{2, 55}));
}

TEST(Preparation, SelectedChannelsAreTheOnlyOnesLeft)
{
    const Bytes in = song0({{0, noteOn(0, 60, 90)}, {0, noteOn(1, 64, 90)}, {0, noteOn(9, 38, 90)}, {480, noteOff(0, 60)},
                            {0, noteOff(1, 64)}, {0, noteOff(9, 38)}, {0, endOfTrack()}});
    const Heard h = listen(prepared(in, flagsOf({1, 9})));
    EXPECT_FALSE(h.notes.count(0));
    EXPECT_EQ(h.notes.at(1).size(), 1u);
    EXPECT_EQ(h.notes.at(9).size(), 1u);
    const Heard none = listen(prepare(in, flagsOf({}))); // nothing left for the converter
    EXPECT_TRUE(none.notes.empty());
    EXPECT_TRUE(none.controllers.empty());
}

TEST(Preparation, AChordOfTwentyNotesKeepsTheLoudestWithinTheBudget)
{
    Bytes data;
    for (int i = 0; i < 20; ++i) {
        const Bytes e = trackData({{0, noteOn(0, 40 + i * 2, 30 + i * 4)}});
        data.insert(data.end(), e.begin(), e.end());
    }
    for (int i = 0; i < 20; ++i) {
        const Bytes e = trackData({{i == 0 ? 960u : 0u, noteOff(0, 40 + i * 2)}});
        data.insert(data.end(), e.begin(), e.end());
    }
    const Bytes eot = trackData({{0, endOfTrack()}});
    data.insert(data.end(), eot.begin(), eot.end());
    const Heard h = listen(prepared(smf(0, 480, {data})));
    const int reserve = h.reserve.at(0);
    EXPECT_GE(reserve, 8);
    EXPECT_LE(reserve, 16);
    EXPECT_EQ(h.notes.at(0).size(), static_cast<std::size_t>(reserve));
    // The quietest went first: every velocity kept is above every one dropped.
    const int quietestKept = *std::min_element(h.velocities.at(0).begin(), h.velocities.at(0).end());
    EXPECT_GE(quietestKept, 30 + (20 - reserve) * 4);
    const auto counts = orka::common::lastNoteCounts(qmixLog());
    ASSERT_TRUE(counts);
    EXPECT_EQ(counts->total, 20u);
    EXPECT_EQ(counts->kept, static_cast<unsigned long>(reserve));
}

TEST(Preparation, ADrumChannelWithMorePiecesThanFmChannelsLeftMergesRarePieces)
{
    // Three melodic channels take 4 voices each; the drums play 20 different pieces.
    Bytes data;
    auto put = [&data](std::initializer_list<Ev> events) {
        const Bytes e = trackData(events);
        data.insert(data.end(), e.begin(), e.end());
    };
    for (int ch = 0; ch < 3; ++ch)
        for (int k = 0; k < 4; ++k)
            put({{0, noteOn(ch, 48 + k * 3 + ch, 100)}});
    for (int piece = 0; piece < 20; ++piece)
        for (int hit = 0; hit <= piece % 4; ++hit)
            put({{20, noteOn(9, 35 + piece * 2, 100)}, {10, noteOff(9, 35 + piece * 2)}});
    for (int ch = 0; ch < 3; ++ch)
        for (int k = 0; k < 4; ++k)
            put({{0, noteOff(ch, 48 + k * 3 + ch)}});
    put({{0, endOfTrack()}});
    const Heard h = listen(prepared(smf(0, 480, {data})));
    std::set<int> pieces(h.keys.at(9).begin(), h.keys.at(9).end());
    EXPECT_EQ(static_cast<int>(pieces.size()), h.reserve.at(9));
    int fm = 0;
    for (const auto& [ch, r] : h.reserve)
        fm += r;
    EXPECT_LE(fm, 16);
    // The drums keep every hit, some on a neighbour; the chords lose a note at most.
    EXPECT_GE(h.notes.at(0).size() + h.notes.at(1).size() + h.notes.at(2).size(), 11u);
    EXPECT_EQ(h.keys.at(9).size(), 50u);
    EXPECT_NE(qmixLog().find("merged into the nearest kit piece"), std::string::npos);
}

TEST(Preparation, SustainLengthensAndExpressionScalesVelocity)
{
    const Heard h = listen(prepared(song0({{0, control(0, 64, 127)},
                                           {0, control(0, 11, 64)},
                                           {0, noteOn(0, 60, 100)},
                                           {100, noteOff(0, 60)},
                                           {380, control(0, 64, 0)},
                                           {0, control(0, 11, 127)},
                                           {0, noteOn(0, 62, 100)},
                                           {100, noteOff(0, 62)},
                                           {0, endOfTrack()}})));
    ASSERT_EQ(h.notes.at(0).size(), 2u);
    EXPECT_EQ(h.notes.at(0)[0], (std::pair<std::uint64_t, std::uint64_t>{0, 480}));
    EXPECT_EQ(h.notes.at(0)[1], (std::pair<std::uint64_t, std::uint64_t>{480, 580}));
    EXPECT_EQ(h.velocities.at(0), (std::vector<int>{50, 100}));
    EXPECT_EQ(h.reserve.at(0), 1); // one note at a time: the pedal released before the next
}

TEST(Preparation, PitchBendKeepsItsRangeUpToTwentyFourOnMelodicChannelsOnly)
{
    const Bytes out = prepared(song0({{0, control(0, 101, 0)},
                                      {0, control(0, 100, 0)},
                                      {0, control(0, 6, 48)},
                                      {0, control(0, 38, 0)},
                                      {0, {0xE0, 0, 0x50}},
                                      {0, {0xE9, 0, 0x50}},
                                      {0, noteOn(0, 60, 90)},
                                      {0, noteOn(9, 40, 90)},
                                      {240, noteOff(0, 60)},
                                      {0, noteOff(9, 40)},
                                      {0, endOfTrack()}}));
    const Heard h = listen(out);
    EXPECT_EQ(h.bends, 1);
    // RPN 0/0 before the data entry, whose value is cut to 24.
    auto song = orka::smf::readSong(out);
    int rpn = 0;
    for (const auto& e : song->events) {
        if (e.kind() != 0xB0 || e.channel() != 0)
            continue;
        if (e.data1 == 100 || e.data1 == 101)
            ++rpn;
        if (e.data1 == 6) {
            EXPECT_EQ(rpn, 2);
            EXPECT_EQ(e.data2, 24);
        }
        EXPECT_NE(e.data1, 38);
    }
}

TEST(Preparation, NotesOutOfRangeMoveByOctavesOrOntoTheKit)
{
    const Heard h = listen(prepared(song0({{0, noteOn(0, 5, 90)},
                                           {0, noteOn(0, 120, 90)},
                                           {0, noteOn(9, 38, 90)},
                                           {0, noteOn(9, 100, 90)},
                                           {240, noteOff(0, 5)},
                                           {0, noteOff(0, 120)},
                                           {0, noteOff(9, 38)},
                                           {0, noteOff(9, 100)},
                                           {0, endOfTrack()}})));
    EXPECT_EQ(h.keys.at(0), (std::vector<int>{17, 108}));
    EXPECT_EQ(h.keys.at(9), (std::vector<int>{38})); // 100 would have overlapped its nearest piece
}

TEST(Preparation, NotesAreEndedPairedAndGivenTimeToSound)
{
    const Heard h = listen(prepared(song0({{0, noteOn(0, 60, 90)},
                                           {100, noteOn(0, 60, 80)}, // the same note again
                                           {0, noteOn(0, 64, 80)},   // never ended
                                           {1, noteOff(0, 60)},      // 1 tick: far below 4 ms
                                           {2000, endOfTrack()}})));
    ASSERT_EQ(h.notes.at(0).size(), 3u);
    for (const auto& [on, off] : h.notes.at(0))
        EXPECT_GT(off, on);
    EXPECT_EQ(h.notes.at(0)[0], (std::pair<std::uint64_t, std::uint64_t>{0, 100}));
    const auto log = qmixLog();
    EXPECT_NE(log.find("without a note-off"), std::string::npos) << log;
    EXPECT_NE(log.find("ended before the same note"), std::string::npos) << log;
    EXPECT_NE(log.find("lengthened to one 4 ms tick"), std::string::npos) << log;
}

TEST(Preparation, VeryLongNotesAreCutToTheLongestGate)
{
    // 100 seconds at 120 bpm, 480 per quarter: 96000 ticks, far past 16511 x 4 ms.
    const Heard h = listen(prepared(song0({{0, noteOn(0, 60, 90)}, {96000, noteOff(0, 60)}, {0, endOfTrack()}})));
    ASSERT_EQ(h.notes.at(0).size(), 1u);
    const double gate = static_cast<double>(h.notes.at(0)[0].second) * 500000.0 / 480 / 4000; // in 4 ms ticks
    EXPECT_LT(gate, 16511.5);
    EXPECT_GT(gate, 16500.0);
}

TEST(Preparation, ProgramChangesMoveToSilenceOrGoOnDrums)
{
    const Bytes out = prepared(song0({{0, program(0, 0)},
                                      {0, noteOn(0, 60, 90)},
                                      {0, noteOn(9, 36, 90)},
                                      {100, program(0, 1)}, // while the note sounds
                                      {0, program(9, 5)},
                                      {380, noteOff(0, 60)},
                                      {0, noteOff(9, 36)},
                                      {0, noteOn(0, 62, 90)},
                                      {480, noteOff(0, 62)},
                                      {0, endOfTrack()}}));
    const Heard h = listen(out);
    std::vector<std::pair<std::uint64_t, int>> later;
    for (const auto& p : h.programChanges)
        if (p.first > 0)
            later.push_back(p);
    ASSERT_EQ(later.size(), 1u);
    EXPECT_EQ(later[0], (std::pair<std::uint64_t, int>{480, 0}));
    EXPECT_NE(qmixLog().find("drum channel dropped"), std::string::npos);
}

TEST(Preparation, TenThousandNotesAtOneTickStayWithinTheBudget)
{
    Bytes data;
    for (int i = 0; i < 10000; ++i) {
        const Bytes e = trackData({{0, noteOn(i % 16, 20 + i % 80, 1 + i % 127)}});
        data.insert(data.end(), e.begin(), e.end());
    }
    const Bytes eot = trackData({{480, endOfTrack()}});
    data.insert(data.end(), eot.begin(), eot.end());
    const Heard h = listen(prepared(smf(0, 480, {data})));
    int fm = 0;
    for (const auto& [ch, r] : h.reserve)
        fm += r;
    EXPECT_LE(fm, 16);
}

TEST(Preparation, APreparedSongPreparesTheSameAgain)
{
    // The editor prepares twice: on a channel change, then the range it makes from the result.
    Bytes song = smf(1, 96,
                     {trackData({{0, control(3, 0, 127)}, {0, noteOn(3, 40, 90)}, {0, noteOn(9, 36, 90)},
                                 {0, noteOn(9, 38, 90)}, {0, noteOn(0, 60, 90)}, {0, noteOn(0, 67, 90)},
                                 {48, noteOff(3, 40)}, {0, noteOff(9, 36)}, {0, noteOff(9, 38)}, {0, noteOff(0, 60)},
                                 {0, noteOff(0, 67)}, {0, endOfTrack()}}),
                      trackData({{0, control(9, 0, 121)}, {0, noteOn(9, 50, 90)}, {96, noteOff(9, 50)}, {0, endOfTrack()}})});
    const Bytes once = prepared(song);
    const Bytes twice = prepared(once);
    EXPECT_EQ(once, twice);
    const Heard h = listen(once);
    EXPECT_EQ(h.bankMsb.at(3), 123); // a drum bank on another channel stays drums
    EXPECT_EQ(h.bankMsb.at(9), 122); // channel 10 given a melodic bank stays melodic
}

TEST(Preparation, ATempoOfZeroIsWrittenAsTheOneItWasTimedWith)
{
    const Bytes out = prepared(song0({{0, setTempo(0)}, {0, noteOn(0, 60, 90)}, {10, noteOff(0, 60)}, {0, endOfTrack()}}));
    auto song = orka::smf::readSong(out);
    ASSERT_TRUE(song);
    ASSERT_TRUE(song->events.front().isMeta(0x51));
    EXPECT_EQ(orka::common::readBE24(song->events.front().payload.data()), 1u);
}

TEST(Preparation, EveryKeyStruckOnEveryChannelAtOnceStillFits)
{
    Bytes data;
    for (int ch = 0; ch < 16; ++ch)
        for (int key = 0; key < 128; ++key) {
            const Bytes e = trackData({{0, noteOn(ch, key, 1 + (key * 7 + ch) % 127)}});
            data.insert(data.end(), e.begin(), e.end());
        }
    const Bytes eot = trackData({{960, endOfTrack()}});
    data.insert(data.end(), eot.begin(), eot.end());
    const Heard h = listen(prepared(smf(0, 480, {data})));
    int fm = 0;
    for (const auto& [ch, r] : h.reserve)
        fm += r;
    EXPECT_LE(fm, 16);
}
