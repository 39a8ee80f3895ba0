// The SMAF sequencer: chunk walk, tracks, events, voice definitions, refusals, start and the
// end of rendering.
#include "orka/smaf/SmafSequencer.h"
#include "orka/smaf/Synthesizer.h"
#include "SmafTestUtil.h"

#include <gtest/gtest.h>

namespace orka::smaf::test {
namespace {

struct Fixture {
    Synthesizer synth{std::span<const std::uint8_t>{}};
    SmafSequencer seq{synth};
    bool prepare(const Bytes& file)
    {
        seq.clear();
        seq.setData(file);
        return seq.prepare();
    }
    std::vector<SmafEvent> noteOns() const
    {
        std::vector<SmafEvent> r;
        for (const SmafEvent& e : seq.events())
            if ((e.message & 0xF0) == 0x90)
                r.push_back(e);
        return r;
    }
};

int channelOf(const SmafEvent& e) { return static_cast<int>(e.message & 0x0F); }
int data1(const SmafEvent& e) { return static_cast<int>((e.message >> 8) & 0xFF); }
int data2(const SmafEvent& e) { return static_cast<int>((e.message >> 16) & 0xFF); }

TEST(SmafSequencer, ScoreTracksOneAndTwoMapToChannelsZeroToSevenInTrackOrder)
{
    Fixture f;
    Sequence t1, t2;
    t1.note(0, 0, 1, 1, 10).note(0, 3, 1, 1, 10);
    t2.note(0, 0, 1, 1, 10).note(0, 3, 1, 1, 10);
    ASSERT_TRUE(f.prepare(smafFile({scoreTrack(1, {}, t1.end()), scoreTrack(2, {}, t2.end())})));
    EXPECT_TRUE(f.seq.fullPiece());
    ASSERT_EQ(f.seq.scoreTracks().size(), 2u);
    EXPECT_EQ(f.seq.scoreTracks()[0].number, 2); // tracks are looked for from 4 down
    std::vector<int> channels;
    for (const SmafEvent& e : f.noteOns())
        channels.push_back(channelOf(e));
    EXPECT_EQ(channels, (std::vector<int>{4, 7, 0, 3}));
}

TEST(SmafSequencer, NoteByteSixtyFiveAndTheOctaveShift)
{
    Fixture f;
    Sequence s;
    s.control(0, {0x65, 1}); // channel 1, octave bits 2, note 5, gate 1
    s.control(0, {0x00, 0x72, 0x82}); // channel 1: octave shift -2
    s.control(0, {0x65, 1});
    s.control(0, {0x00, 0x72, 0x05}); // more than 4: no shift
    s.control(0, {0x65, 1});
    ASSERT_TRUE(f.prepare(smafFile({scoreTrack(1, {}, s.end())})));
    const auto on = f.noteOns();
    ASSERT_EQ(on.size(), 3u);
    EXPECT_EQ(channelOf(on[0]), 1);
    EXPECT_EQ(data1(on[0]), 65);
    EXPECT_EQ(data1(on[1]), 41);
    EXPECT_EQ(data1(on[2]), 65);
    EXPECT_EQ(data2(on[0]), 127);
}

TEST(SmafSequencer, TwoByteDurationAndTimebases)
{
    Fixture f;
    Sequence s;
    s.bytes = {0x81, 0x10, 0x11, 0x05}; // duration 272, note, gate 5
    ASSERT_TRUE(f.prepare(smafFile({scoreTrack(1, {}, s.end(), 0x11)}))); // 20 ms units
    const auto& ev = f.seq.events();
    ASSERT_GE(ev.size(), 2u);
    EXPECT_EQ(ev[0].time, 272u * 20);
    EXPECT_EQ(ev[1].time, 272u * 20 + 5 * 20);
    EXPECT_EQ(ev[1].message & 0xF0, 0x80u);
    EXPECT_EQ(timebaseMs(0x13), 50u);
    EXPECT_EQ(timebaseMs(0x03), 5u);
    EXPECT_EQ(timebaseMs(0x07), 4u);
}

TEST(SmafSequencer, ControlEventsBecomeChannelMessages)
{
    Fixture f;
    Sequence s;
    s.control(0, {0x00, 0x31, 130});  // bank select 130
    s.control(0, {0x00, 0x30, 7});    // program 7
    s.control(0, {0x00, 0x37, 100});  // volume
    s.control(0, {0x00, 0x3A, 10});   // pan
    s.control(0, {0x00, 0x3B, 90});   // expression, long form
    s.control(0, {0x00, 0x05});       // expression code 5
    s.control(0, {0x00, 0x0F});       // expression code 15
    s.control(0, {0x00, 0x1C});       // pitch bend 12 x 8
    s.control(0, {0x00, 0x34, 0x50}); // pitch bend, long form
    s.control(0, {0x00, 0x28});       // modulation code 8
    s.control(0, {0x00, 0x3F, 0x11}); // unknown extended code: skipped
    ASSERT_TRUE(f.prepare(smafFile({scoreTrack(1, {}, s.end())})));
    const std::vector<std::uint32_t> expected = {
        0xB0u | 32u << 8 | 12u << 16, 0xC0u | 7u << 8,          0xB0u | 7u << 8 | 100u << 16,
        0xB0u | 10u << 8 | 10u << 16, 0xB0u | 11u << 8 | 90u << 16, 0xB0u | 11u << 8 | 56u << 16,
        0xB0u | 11u << 8 | 127u << 16, 0xE0u | 96u << 16,        0xE0u | 0x50u << 16,
        0xB0u | 1u << 8 | 64u << 16,
    };
    ASSERT_GE(f.seq.events().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(f.seq.events()[i].message, expected[i]) << i;
    // Bank 130 under MSB 124 is working drum bank 2 (resolved 32).
    f.synth.shortMessage(0xB0, 0, 124);
    f.synth.shortMessage(0xB0, 32, 12);
    EXPECT_EQ(f.synth.channel(0).resolvedBank, 32);
}

TEST(SmafSequencer, FourZeroBytesEndTheSequenceBeforeTheChunkDoes)
{
    Fixture f;
    Sequence s;
    s.note(0, 0, 1, 1, 10);
    Bytes seq = s.end();
    append(seq, Sequence().note(5, 0, 1, 2, 10).bytes); // after the end marker
    ASSERT_TRUE(f.prepare(smafFile({scoreTrack(1, {}, seq)})));
    EXPECT_EQ(f.noteOns().size(), 1u);
}

TEST(SmafSequencer, EqualTimesKeepTheirBuildOrderAndTheTrackEndsWithAllSoundOff)
{
    Fixture f;
    Sequence s;
    s.note(0, 0, 1, 1, 10).note(10, 0, 1, 2, 10); // second note starts as the first ends
    ASSERT_TRUE(f.prepare(smafFile({scoreTrack(3, {}, s.end())})));
    const auto& ev = f.seq.events();
    ASSERT_EQ(ev.size(), 8u);
    EXPECT_EQ(ev[1].time, 40u);
    EXPECT_EQ(ev[1].message & 0xF0, 0x80u); // the note off of the first note comes first
    EXPECT_EQ(ev[2].message & 0xF0, 0x90u);
    for (int i = 0; i < 4; ++i) {
        const SmafEvent& e = ev[4 + static_cast<std::size_t>(i)];
        EXPECT_EQ(e.time, 80u);
        EXPECT_EQ(e.message, 0xB0u + 8u + static_cast<unsigned>(i) + (120u << 8)); // track 3: channels 8-11
    }
}

TEST(SmafSequencer, RegisterWritesArePackedAndOtherExclusivesDefineVoices)
{
    Fixture f;
    Sequence s;
    s.control(0, {0xFF, 0xF0, 0x06, 0x43, 0x03, 0x90, 0xC3, 0xA5, 0xF7});
    Bytes def = voiceDefinition(fourOperatorVoice(), 3, 9, true);
    Bytes ev = {0};
    ev.insert(ev.end(), def.begin(), def.end());
    Bytes seq = s.bytes;
    append(seq, ev);
    append(seq, {0, 0, 0, 0});
    ASSERT_TRUE(f.prepare(smafFile({scoreTrack(1, {}, seq)})));
    const SmafEvent& e = f.seq.events().front();
    EXPECT_EQ(e.message, 0xF0u | (96u << 8) | (0x43u << 16) | (0x25u << 24));
    EXPECT_EQ(f.synth.tables().working(3, 9).operatorCount, 4);
}

TEST(SmafSequencer, SetupVoicesLoadAtStartIntoWorkingBanks)
{
    Fixture f;
    Bytes setup = voiceDefinition(fourOperatorVoice(), 2, 5, true);
    append(setup, voiceDefinition(VoiceBytes::sine(), 128 + 1, 36, false));
    append(setup, voiceDefinition(VoiceBytes::sine(), 12, 1, false)); // no such bank: ignored
    Bytes cut = voiceDefinition(fourOperatorVoice(), 4, 4, true);
    cut.resize(20);
    cut[2] = 17; // declared length matches what is there: a definition cut short
    append(setup, cut);
    ASSERT_TRUE(f.prepare(smafFile({scoreTrack(1, setup, Sequence().note(0, 0, 1, 1, 1).end())})));
    EXPECT_EQ(f.synth.tables().working(2, 5).operatorCount, 0); // not loaded before Start
    ASSERT_TRUE(f.seq.start());
    EXPECT_EQ(f.synth.tables().working(2, 5).operatorCount, 4);
    EXPECT_EQ(f.synth.tables().working(11, 36).operatorCount, 2);
    EXPECT_EQ(f.synth.tables().working(4, 4).operatorCount, 0); // cut short: not stored
    EXPECT_EQ(f.synth.tables().working(12, 1).operatorCount, 0); // bank 12 is no melodic bank
    // Start put every channel in mono mode on working bank 0 with the allocation mode set.
    EXPECT_EQ(f.synth.allocationMode(), 1);
    EXPECT_EQ(f.synth.channel(15).noteLimit, 1);
    EXPECT_EQ(f.synth.channel(15).resolvedBank, 20);
    EXPECT_EQ(f.synth.masterAttenuation(), 0);
}

TEST(SmafSequencer, TrackZeroAloneIsNotAFullPiece)
{
    Fixture f;
    ASSERT_TRUE(f.prepare(smafFile({scoreTrack(0, {}, Sequence().note(0, 2, 1, 1, 1).end())})));
    EXPECT_FALSE(f.seq.fullPiece());
    EXPECT_EQ(channelOf(f.noteOns()[0]), 2);
    ASSERT_TRUE(f.seq.start());
    EXPECT_EQ(f.synth.masterAttenuation(), -18);
}

TEST(SmafSequencer, AudioTrackEventsAndWaves)
{
    Fixture f;
    Sequence a;
    a.control(0, {0x00, 0x37, 90}).control(0, {0x05, 10}).control(2, {0xFF, 0x00});
    ASSERT_TRUE(f.prepare(smafFile({audioTrack(a.end(), {{5, {0x00, 0x11, 0x22}}}, true)})));
    EXPECT_TRUE(f.seq.fullPiece());
    ASSERT_EQ(f.seq.audioTracks().size(), 1u);
    EXPECT_EQ(f.seq.audioTracks()[0].rate, 8000u);
    const auto& ev = f.seq.events();
    ASSERT_EQ(ev.size(), 3u);
    EXPECT_EQ(ev[0].message, 0xF1u | 9u << 8 | 90u << 24);
    EXPECT_EQ(ev[1].message, 0xF1u | 7u << 8 | 5u << 24);
    EXPECT_EQ(ev[2].message, 0xF1u | 8u << 8);
    EXPECT_EQ(ev[2].time, 40u);
    ASSERT_TRUE(f.seq.start());
    const StoredWave* w = f.synth.waves().find(5);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->rate, 8000u);
    EXPECT_EQ(w->samples->size(), 6u); // an odd number of bytes is fine: two samples each
    f.seq.process(0);
    EXPECT_FALSE(f.synth.sampleVoice().idle());
}

TEST(SmafSequencer, RefusesWhatItCannotPlay)
{
    Fixture f;
    EXPECT_FALSE(f.prepare({}));
    EXPECT_EQ(f.seq.prepareError(), PrepareError::kNotSmaf);
    Bytes notSmaf = smafFile({scoreTrack(1, {}, Sequence().note(0, 0, 1, 1, 1).end())});
    notSmaf[0] = 'X';
    EXPECT_FALSE(f.prepare(notSmaf));
    EXPECT_EQ(f.seq.prepareError(), PrepareError::kNotSmaf);
    EXPECT_FALSE(f.prepare(smafFile({})));
    EXPECT_EQ(f.seq.prepareError(), PrepareError::kNoTrack);
    EXPECT_FALSE(f.prepare(smafFile({scoreTrack(1, {}, {}, 2, false)})));
    EXPECT_EQ(f.seq.prepareError(), PrepareError::kNoSequenceChunk);
    // Format type other than 0.
    Bytes other = smafFile({scoreTrack(1, {}, Sequence().note(0, 0, 1, 1, 1).end())});
    other[8 + 8 + 5 + 8] = 1;
    EXPECT_FALSE(f.prepare(other));
    // A track with only an end marker prepares but has nothing but its all-sound-off.
    EXPECT_TRUE(f.prepare(smafFile({scoreTrack(1, {}, Sequence().end())})));
}

TEST(SmafSequencer, MalformedInputIsCutNotOverread)
{
    Fixture f;
    // A chunk claiming more bytes than the file has ends the walk.
    Bytes file = smafFile({scoreTrack(1, {}, Sequence().note(0, 0, 1, 1, 1).end())});
    Bytes longChunk = file;
    longChunk[8 + 8 + 5 + 3] = 0x7F; // score track length far past the end
    EXPECT_FALSE(f.prepare(longChunk));
    // A file chunk claiming too much keeps what is there.
    Bytes longFile = file;
    longFile[4] = 0x7F;
    EXPECT_TRUE(f.prepare(longFile));
    // Truncated sequences: a two-byte duration or a gate cut off, an exclusive running out.
    for (const Bytes& seq : {Bytes{0x11, 0x02, 0x85}, Bytes{0x00, 0x11}, Bytes{0x00, 0xFF, 0xF0, 0x20, 0x43},
                             Bytes{0x00, 0x00, 0x30}, Bytes{0x00, 0xFF}}) {
        EXPECT_TRUE(f.prepare(smafFile({scoreTrack(1, {}, seq)})));
        EXPECT_LE(f.noteOns().size(), 1u);
    }
    // The longest durations saturate the clock instead of wrapping it.
    Sequence slow;
    for (int i = 0; i < 8000; ++i)
        slow.nop(16511);
    slow.note(0, 0, 1, 1, 1);
    EXPECT_TRUE(f.prepare(smafFile({scoreTrack(1, {}, slow.end(), 0x13)})));
    EXPECT_EQ(f.noteOns().back().time, 0xFFFFFFFFu);
}

TEST(SmafSequencer, StartSeeksProcessReportsTheEndStopSilences)
{
    Fixture f;
    Sequence s;
    s.note(0, 0, 1, 1, 50).note(100, 0, 1, 3, 50);
    ASSERT_TRUE(f.prepare(smafFile({scoreTrack(1, {}, s.end())})));
    EXPECT_FALSE(f.seq.start(100000)); // past the last event
    ASSERT_TRUE(f.seq.start(300));
    EXPECT_FALSE(f.seq.start(0)); // already running
    EXPECT_EQ(f.synth.channel(0).noteCount, 0);
    EXPECT_TRUE(f.seq.process(400));
    EXPECT_EQ(f.synth.channel(0).noteCount, 1);
    EXPECT_FALSE(f.seq.process(100000));
    f.seq.rewind();
    EXPECT_TRUE(f.seq.process(0));
    f.seq.stop();
    EXPECT_FALSE(f.seq.running());
    EXPECT_EQ(f.synth.channel(0).noteCount, 0);
    EXPECT_FALSE(f.seq.process(100000));
}

TEST(SmafSequencer, StartingLaterRunsTheEnvelopesOnToTheStartTime)
{
    // A note from 0 to 200 ms, then a second one at 2 s so that both start times are valid.
    Bytes setup = voiceDefinition(VoiceBytes::sine(6), 0, 0, false);
    Sequence s;
    s.note(0, 0, 2, 9, 50).note(500, 0, 2, 9, 50);
    const Bytes file = smafFile({scoreTrack(1, setup, s.end())});
    Fixture early;
    ASSERT_TRUE(early.prepare(file));
    ASSERT_TRUE(early.seq.start(210)); // 10 ms into the release
    EXPECT_TRUE(early.synth.engine().isSounding(0));
    EXPECT_EQ(early.synth.engine().voice(0).op[1].state, kEnvKeyOff);
    Fixture late;
    ASSERT_TRUE(late.prepare(file));
    ASSERT_TRUE(late.seq.start(1900)); // the release is long over
    EXPECT_FALSE(late.synth.engine().isSounding(0));
}

TEST(Rendering, EndsOnTheFirstSilentChunkAfterTheLastEvent)
{
    SmafRenderer r({});
    ASSERT_TRUE(r.start(oneNoteTune(2, 9, 100, 15)));
    const Rendered out = renderAll(r);
    ASSERT_TRUE(out.ended);
    // A fast release: the piece ends within a few milliseconds of the 100 ms gate.
    EXPECT_GT(out.left.size(), 2205u);
    EXPECT_LT(out.left.size(), 2205u + 22u * 40);
}

TEST(Rendering, ASustainedNoteKeepsRenderingUntilItsReleaseHasDecayed)
{
    SmafRenderer fast({});
    SmafRenderer slow({});
    ASSERT_TRUE(fast.start(oneNoteTune(2, 9, 100, 15)));
    ASSERT_TRUE(slow.start(oneNoteTune(2, 9, 100, 4)));
    const Rendered a = renderAll(fast);
    const Rendered b = renderAll(slow);
    ASSERT_TRUE(b.ended);
    EXPECT_GT(b.left.size(), a.left.size() + 22050);
}

TEST(Rendering, AVoiceThatNeverDecaysIsCutTenSecondsAfterTheEnd)
{
    SmafRenderer r({});
    ASSERT_TRUE(r.start(oneNoteTune(2, 9, 100, 0))); // release rate 0: holds for ever
    const Rendered out = renderAll(r, 60 * 22050);
    ASSERT_TRUE(out.ended);
    EXPECT_NEAR(static_cast<double>(out.left.size()), 2205.0 + 10 * 22050.0, 2000.0);
}

TEST(Rendering, LoopingRewindsInsteadOfEnding)
{
    SmafRenderer r({});
    ASSERT_TRUE(r.start(oneNoteTune(2, 9, 100, 15)));
    r.setLooping(true);
    const Rendered out = renderAll(r, 22050);
    EXPECT_FALSE(out.ended);
    EXPECT_GT(peak(out.left, 22050 - 2000, 22050), 1000);
}

} // namespace
} // namespace orka::smaf::test
