// Malformed input: the converter reads only inside the buffers it is given and always ends.
#include "MidiStream.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>

namespace melconv::test {
namespace {

Smf richSong()
{
    return Smf()
        .meta(0, 0x01, "XFln:JP:a:b:c:d:e")
        .meta(0, 0x02, "c")
        .cue(0, "START")
        .setup(0, 2, 5)
        .drumSetup(9, 2)
        .tempo(0, 400000)
        .note(0, 0, 60, 120)
        .note(0, 9, 36, 60)
        .cc(0, 0, 7, 90)
        .note(10, 0, 64, 200)
        .note(0, 9, 38, 60)
        .cue(0, "STOP");
}

TEST(ConverterRobustness, EveryTruncationOfASongEndsCleanly)
{
    const auto full = richSong().bytes();
    const auto bank = TestBank().bytes();
    ASSERT_EQ(convert(full).rc, 1) << convert(full).message;
    for (std::size_t n = 0; n < full.size(); ++n) {
        // Copy into a buffer of exactly n bytes so a read past the end is caught by the sanitizers.
        std::vector<std::uint8_t> cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        const Result r = convert(cut, bank, nullptr, 4096);
        EXPECT_TRUE(r.rc == 0 || r.rc == 1) << n;
        if (r.rc == 0) {
            EXPECT_FALSE(r.message.empty()) << n;
        }
    }
}

TEST(ConverterRobustness, RunningStatusIsHonoured)
{
    // Note-on status once, then data bytes only; note-offs as velocity 0.
    const auto smf = Smf()
                         .setup(0, 1, 5)
                         .raw(0, {0x90, 60, 100})
                         .raw(480, {60, 0})
                         .raw(0, {62, 100})
                         .raw(480, {62, 0})
                         .bytes();
    const Result r = convert(smf);
    ASSERT_EQ(r.rc, 1) << r.message;
    int noteEvents = 0;
    for (const auto& s : scoreSteps(r.smaf))
        noteEvents += s.event[0] != 0 && s.event[0] != 0xFF;
    EXPECT_EQ(noteEvents, 2);

    // A data byte with no status before it is dropped, not read as a status.
    const Result stray = convert(Smf().raw(0, {0x40}).setup(0, 1, 5).note(0, 0, 60, 480).bytes());
    EXPECT_EQ(stray.rc, 1) << stray.message;
}

TEST(ConverterRobustness, LengthsPastTheEndStopTheStream)
{
    // A meta event claiming far more bytes than the file holds.
    auto smf = Smf().setup(0, 1, 5).note(0, 0, 60, 480).bytes();
    const std::vector<std::uint8_t> bad = {0x00, 0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0x7F, 'X', 'F', 'l', 'n'};
    smf.insert(smf.end(), bad.begin(), bad.end());
    EXPECT_EQ(convert(smf).rc, 1);
    // The same at the start: nothing after it is read.
    auto early = Smf().bytes();
    early.resize(22);
    early.insert(early.end(), bad.begin(), bad.end());
    EXPECT_EQ(convert(early).message, "No Effective MIDI data.");
    // An exclusive event with a huge length, and a variable length that never ends.
    auto sysex = Smf().bytes();
    sysex.resize(22);
    sysex.insert(sysex.end(), {0x00, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(convert(sysex).message, "No Effective MIDI data.");
    std::vector<std::uint8_t> endless = Smf().bytes();
    endless.resize(22);
    endless.insert(endless.end(), 5000, 0x80);
    EXPECT_EQ(convert(endless).message, "No Effective MIDI data.");
}

TEST(ConverterRobustness, EndlessRunningStatusAndHugeDeltasStayBounded)
{
    // 200 KB of running-status data bytes on an unused channel: one pass, no look-ahead blow-up.
    std::vector<std::uint8_t> smf = Smf().setup(0, 1, 5).note(0, 0, 60, 480).bytes();
    smf.insert(smf.end(), {0x00, 0x91, 0x30, 0x40});
    for (int i = 0; i < 50000; ++i)
        smf.insert(smf.end(), {0x00, 0x30, 0x40});
    const auto start = std::chrono::steady_clock::now();
    const Result r = convert(smf);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(r.message, "MidiCh 2 : No Channel Reserve.");

    // The largest deltas at the slowest tempo: a rest of about 10^12 ticks before the stop
    // marker is filled with no-operations; the file is far too big for the buffer and only
    // its length is reported.
    const auto huge = Smf().tempo(0, 0xFFFFFF).setup(0, 1, 5).note(0, 0, 60, 1).raw(0x0FFFFFFF, {0xFF, 0x01, 0x00}).bytes(0, 1);
    const Result big = convert(huge);
    EXPECT_EQ(big.message, "Invalid OutSize");
    EXPECT_GT(big.outSize, 200000000); // about 10^12 ticks in 4-byte steps of 16511
}

TEST(ConverterRobustness, ZeroDivisionAndOddSignaturesDoNotDivideByZero)
{
    const Result r = convert(Smf().setup(0, 1, 5).timeSignature(0, 0, 255).note(10, 0, 60, 4000).bytes(0, 0));
    EXPECT_TRUE(r.rc == 1 || !r.message.empty());
    const MidiStream stream(Smf().note(0, 0, 60, 10).bytes(0, 0));
    EXPECT_EQ(stream.division(), 0u);
    EXPECT_EQ(stream.toTicks(4000.0), 1); // treated as a division of 1
}

TEST(ConverterRobustness, NoteSpansAreFoundInOnePass)
{
    const auto smf = Smf().on(0, 0, 60).on(0, 0, 62).on(0, 1, 60).off(10, 0, 62).off(0, 0, 60).on(0, 0, 60).off(0, 1, 60).off(0, 0, 60).bytes();
    const MidiStream stream(smf);
    ASSERT_EQ(stream.events().size(), 9u);
    const auto spans = [&](std::size_t i) { return stream.span(i); };
    EXPECT_EQ(spans(0).noteOff, 4u);
    EXPECT_EQ(spans(0).sameNoteOn, 5u);
    EXPECT_EQ(spans(0).channelNoteOn, 1u);
    EXPECT_EQ(spans(1).noteOff, 3u);
    EXPECT_EQ(spans(2).noteOff, 6u);
    EXPECT_EQ(spans(5).noteOff, 7u);
    EXPECT_EQ(spans(5).channelNoteOn, NoteSpan::none);
}

} // namespace
} // namespace melconv::test
