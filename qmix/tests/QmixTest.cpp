// The channel filter through its seven exports, as the editor calls them.
#include "QmixCalls.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace orka::test;

namespace {

Bytes song()
{
    return smf(1, 480,
               {trackData({{0, setTempo(500000)}, {960, {0xFF, 0x01, 0x02, 'h', 'i'}}, {0, endOfTrack()}}),
                trackData({{0, program(0, 3)}, {0, noteOn(0, 60, 100)}, {480, noteOff(0, 60)}, {0, endOfTrack()}}),
                trackData({{0, {0xF0, 0x02, 0x7E, 0xF7}}, {240, noteOn(9, 36, 90)}, {240, {0x24, 0x00}}, {1200, endOfTrack()}})});
}

Bytes convert(const Bytes& in, std::int32_t* result = nullptr) { return qmixConvert(in, result); }

} // namespace

class Qmix : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
};

TEST_F(Qmix, DetectReportsOneFlagPerChannelPresent)
{
    const Bytes s = song();
    ASSERT_EQ(Detect(s.data(), static_cast<std::int32_t>(s.size())), 0);
    std::array<std::uint32_t, 16> flags{};
    ASSERT_EQ(GetInfo(flags.data()), 0);
    EXPECT_EQ(flags, flagsOf({0, 9}));
}

TEST_F(Qmix, ConvertWritesFormatZeroWithTempoInTimeOrderAndTheLongestTrackEnd)
{
    const Bytes s = song();
    const Bytes out = convert(s);
    auto read = orka::smf::readSong(out);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->header.format, 0);
    EXPECT_EQ(read->header.trackCount, 1);
    EXPECT_EQ(read->header.division, 480);
    EXPECT_EQ(read->endTick, 1680u); // the longest track's end
    ASSERT_FALSE(read->events.empty());
    EXPECT_TRUE(read->events.front().isMeta(0x51));
    for (std::size_t i = 1; i < read->events.size(); ++i)
        EXPECT_LE(read->events[i - 1].tick, read->events[i].tick);
}

TEST_F(Qmix, OutputNeverPassesTwiceTheInput)
{
    // Running-status program changes are the densest input: 2 bytes become 3.
    Bytes data;
    data.insert(data.end(), {0x00, 0xC0, 0x01});
    for (int i = 0; i < 500; ++i)
        data.insert(data.end(), {0x00, 0x01});
    data.insert(data.end(), {0x00, 0xFF, 0x2F, 0x00});
    const Bytes s = smf(0, 96, {data});
    std::int32_t r = -1;
    const Bytes out = convert(s, &r);
    ASSERT_EQ(r, 0);
    EXPECT_LE(out.size(), s.size() * 2);
    // The smallest file: no tracks at all.
    const Bytes empty = header(0, 0, 96);
    const Bytes out2 = convert(empty, &r);
    ASSERT_EQ(r, 0);
    EXPECT_LE(out2.size(), empty.size() * 2);
}

TEST_F(Qmix, TooSmallACapacityIsRefused)
{
    const Bytes s = song();
    Bytes out(s.size() * 2);
    std::int32_t length = 10;
    EXPECT_NE(Convert(s.data(), static_cast<std::int32_t>(s.size()), out.data(), &length, 20), 0);
    EXPECT_EQ(length, 10);
}

TEST_F(Qmix, UnreadableFilesAreRefusedAndBrokenTracksKeepWhatPrecedesTheFault)
{
    const Bytes good = song();
    auto refused = [](Bytes b) {
        std::int32_t r = Detect(b.data(), static_cast<std::int32_t>(b.size()));
        Bytes out(b.size() * 2 + 64);
        std::int32_t length = static_cast<std::int32_t>(out.size());
        std::int32_t c = Convert(b.data(), static_cast<std::int32_t>(b.size()), out.data(), &length, 20);
        return r != 0 && c != 0;
    };
    Bytes cut = good;
    cut.resize(cut.size() - 3); // the last chunk runs past the file
    EXPECT_TRUE(refused(cut));
    Bytes notSmf = good;
    notSmf[0] = 'X';
    EXPECT_TRUE(refused(notSmf));
    EXPECT_TRUE(refused(header(0, 0, 0)));      // division 0
    EXPECT_TRUE(refused(header(0, 0, 0xE728))); // SMPTE timing
    EXPECT_TRUE(refused(header(2, 0, 96)));     // format 2
    Bytes many = header(1, 300, 96);            // 300 tracks promised, none there
    EXPECT_TRUE(refused(many));
    EXPECT_TRUE(refused(Bytes{}));
    EXPECT_EQ(Detect(nullptr, 100), 1);
    EXPECT_EQ(GetInfo(nullptr), 1);
    EXPECT_EQ(SetInfo(nullptr), 1);

    // Inside a track, what comes before a fault is kept and prepared.
    for (const Bytes& broken : {Bytes{0x00, 0x40, 0x40, 0x00, 0x90, 60, 90, 0x60, 60, 0}, // data before any status
                                Bytes{0x00, 0x90, 60, 90, 0x60, 60, 0, 0x00, 0xFF, 0x01, 0x20, 'a'}, // meta past the end
                                Bytes{0x00, 0x90, 60, 90, 0x60, 60, 0, 0x00, 0xF2, 0x00, 0x00},
                                Bytes{0x00, 0x90, 60, 90, 0x60, 60, 0, 0x80, 0x80, 0x80, 0x80, 0x00}}) {
        std::int32_t r = -1;
        const Bytes out = prepare(smf(0, 96, {broken}), allChannels(), &r);
        ASSERT_EQ(r, 0);
        EXPECT_EQ(converterRefusal(out), "");
        EXPECT_EQ(orka::common::lastNoteCounts(qmixLog())->kept, 1u);
    }
}

TEST_F(Qmix, UnknownChunksAreSkippedAndTracksWithoutEndStillRead)
{
    Bytes file = header(0, 1, 96);
    const Bytes junk = chunk("XFIH", Bytes{1, 2, 3});
    file.insert(file.end(), junk.begin(), junk.end());
    const Bytes t = chunk("MTrk", Bytes{0x00, 0x90, 60, 1, 0x10, 0x80, 60, 0});
    file.insert(file.end(), t.begin(), t.end());
    EXPECT_EQ(Detect(file.data(), static_cast<std::int32_t>(file.size())), 0);
    std::int32_t r = -1;
    const Bytes out = convert(file, &r);
    ASSERT_EQ(r, 0);
    auto read = orka::smf::readSong(out);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->endTick, 16u);
    EXPECT_EQ(converterRefusal(out), "");
}

TEST_F(Qmix, LogTellsWhatHappened)
{
    const Bytes s = song();
    Detect(s.data(), static_cast<std::int32_t>(s.size()));
    auto keep = flagsOf({0});
    SetInfo(keep.data());
    convert(s);
    const std::int32_t size = GetLogSize();
    ASSERT_GT(size, 1);
    std::string log(static_cast<std::size_t>(size), '\0');
    EXPECT_EQ(GetLog(log.data(), size), size - 1);
    log.resize(static_cast<std::size_t>(size - 1));
    EXPECT_NE(log.find("channels 1,10"), std::string::npos) << log;
    EXPECT_NE(log.find("keep channels 1"), std::string::npos) << log;
    EXPECT_NE(log.find("mode 20"), std::string::npos) << log;
    char tiny[4];
    EXPECT_EQ(GetLog(tiny, 4), 3);
    EXPECT_EQ(tiny[3], '\0');
    Reset();
    EXPECT_EQ(GetLogSize(), 1);
}

TEST_F(Qmix, ThreeHundredTracksMergeAndConvert)
{
    Bytes file = header(1, 300, 96);
    for (int t = 0; t < 300; ++t) {
        const Bytes c = chunk("MTrk", trackData({{static_cast<std::uint32_t>(t), noteOn(t % 16, 30 + t % 60, 90)},
                                                 {24, noteOff(t % 16, 30 + t % 60)},
                                                 {0, endOfTrack()}}));
        file.insert(file.end(), c.begin(), c.end());
    }
    std::int32_t r = -1;
    const Bytes out = prepare(file, allChannels(), &r);
    ASSERT_EQ(r, 0) << qmixLog();
    EXPECT_EQ(converterRefusal(out), "") << qmixLog();
    EXPECT_GT(orka::common::lastNoteCounts(qmixLog())->kept, 150u);
}
