// The ringtone program as a user runs it.
#include "SmfBuilder.h"

#include "orka/testing/ToolRunner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace orka::test;
namespace fs = std::filesystem;

namespace {

using orka::testing::ToolRun;

class RingtoneTool : public ::testing::Test {
protected:
    RingtoneTool()
    {
        dir_ = fs::temp_directory_path() / ("orka-ringtone-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_ / "home");
        tool_ = orka::testing::testBinary("ringtone");
    }
    ~RingtoneTool() override
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    fs::path write(const std::string& name, const Bytes& bytes)
    {
        const fs::path p = dir_ / name;
        orka::testing::writeBytes(p, bytes);
        return p;
    }

    ToolRun run(const std::string& args, const fs::path& tool = {})
    {
        return orka::testing::runShell("ORKA_HOME=" + orka::testing::shellQuote((dir_ / "home").string()) + " " +
                                       orka::testing::shellQuote((tool.empty() ? tool_ : tool).string()) + " " + args);
    }

    fs::path dir_;
    fs::path tool_;
};

Bytes twoChannels()
{
    return smf(1, 480,
               {trackData({{0, setTempo(400000)}, {0, endOfTrack()}}),
                trackData({{0, program(0, 5)}, {0, control(0, 7, 90)}, {0, noteOn(0, 60, 100)}, {960, noteOff(0, 60)}, {0, endOfTrack()}}),
                trackData({{0, control(3, 7, 50)}, {0, endOfTrack()}})});
}

} // namespace

TEST_F(RingtoneTool, InfoPrintsTheReadersFacts)
{
    const auto song = write("a.mid", twoChannels());
    const ToolRun r = run("info '" + song.string() + "' --json");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "{\"format\": 1, \"tracks\": 3, \"division\": 480, \"tempo\": 400000, \"length_ticks\": 960, \"seconds\": 0, "
                     "\"channels\": [{\"channel\": 1, \"notes\": true, \"program\": 5, \"volume\": 90}, "
                     "{\"channel\": 4, \"notes\": false, \"program\": -1, \"volume\": 50}]}\n");
}

TEST_F(RingtoneTool, UsageAndLoadFailures)
{
    EXPECT_EQ(run("").code, 2);
    EXPECT_EQ(run("frobnicate x").code, 2);
    const auto song = write("a.mid", twoChannels());
    EXPECT_EQ(run("info '" + song.string() + "'").code, 2); // --json is required
    EXPECT_EQ(run("make '" + song.string() + "' '" + (dir_ / "o.mmf").string() + "' --tempo 3").code, 2);
    EXPECT_EQ(run("make '" + song.string() + "' '" + (dir_ / "o.mmf").string() + "' --volume 15").code, 2);
    EXPECT_EQ(run("make '" + song.string() + "' '" + (dir_ / "o.mmf").string() + "' --channels 0,17").code, 2);
    EXPECT_EQ(run("make '" + song.string() + "' '" + (dir_ / "o.mmf").string() + "' --from 5000").code, 2);
    EXPECT_EQ(run("play '" + song.string() + "' --mute x").code, 2);

    // The third track lacks its End of Track.
    const auto bad = write("bad.mid", smf(1, 480, {trackData({{0, endOfTrack()}}), trackData({{0, endOfTrack()}}),
                                                   trackData({{0, control(3, 7, 50)}})}));
    const ToolRun r = run("info '" + bad.string() + "' --json");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Track 2 Offset"), std::string::npos) << r.err; // the reader's diagnostic
    EXPECT_EQ(run("info '" + (dir_ / "missing.mid").string() + "' --json").code, 1);
}

TEST_F(RingtoneTool, FailedMakeLeavesAnOldOutputAsItWas)
{
    // A copy of the program beside the channel filter but without the converter.
    const fs::path alone = dir_ / "noconverter";
    fs::create_directories(alone);
    fs::copy_file(tool_, alone / "ringtone");
    fs::copy_file(orka::testing::testBinary("libQmix.so"), alone / "libQmix.so");
    const auto song = write("a.mid", twoChannels());
    const fs::path out = dir_ / "out.mmf";
    write("out.mmf", Bytes{1, 2, 3}); // the user's file from before
    const ToolRun r = run("make '" + song.string() + "' '" + out.string() + "' --from 480 --tempo 1.5 --volume 80",
                          alone / "ringtone");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("轉換檔案失敗!"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Melconv.dll was not found."), std::string::npos) << r.err;
    EXPECT_EQ(orka::testing::readText(out), std::string("\x01\x02\x03"));
}

TEST_F(RingtoneTool, WithoutTheChannelFilterTheSongGoesToRingLog)
{
    // A copy of the program in a folder without libQmix.so: the filter is missing, its
    // detect answers 8, and the assembled song is kept in RingLog.log.
    const fs::path lonely = dir_ / "lonely";
    fs::create_directories(lonely);
    fs::copy_file(tool_, lonely / "ringtone");
    const auto song = write("a.mid", twoChannels());
    const ToolRun r = run("make '" + song.string() + "' '" + (dir_ / "o.mmf").string() + "'", lonely / "ringtone");
    EXPECT_EQ(r.code, 1);
    const fs::path log = dir_ / "home" / "RingLog.log";
    ASSERT_TRUE(fs::exists(log)) << r.err;
    EXPECT_EQ(orka::testing::readText(log).substr(0, 4), "MThd");
    EXPECT_FALSE(fs::exists(dir_ / "o.mmf"));
}

TEST_F(RingtoneTool, MakeThroughTheRealConverter)
{
    const auto song = write("s.mid", smf(0, 480, {trackData({{0, control(0, 0, 122)}, {0, control(0, 32, 0)}, {0, control(0, 55, 4)},
                                                              {0, program(0, 0)}, {0, noteOn(0, 60, 100)}, {480, noteOff(0, 60)},
                                                              {0, endOfTrack()}})}));
    const fs::path out = dir_ / "s.mmf";
    const ToolRun r = run("make '" + song.string() + "' '" + out.string() + "'");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(fs::exists(out));
}

TEST_F(RingtoneTool, PlayRunsToTheEndOnAnyOutput)
{
    const auto song = write("short.mid", smf(0, 480, {trackData({{0, noteOn(0, 60, 100)}, {96, noteOff(0, 60)}, {0, endOfTrack()}})}));
    const ToolRun r = run("play '" + song.string() + "' --tempo 2.0 --mute 2 < /dev/null");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("output: "), std::string::npos);
}

// Real songs cut to their first 16 bars, as a new user tries them: each becomes a ring tone,
// and --log shows what the channel filter changed.
TEST_F(RingtoneTool, RealSongsCutToSixteenBarsBecomeRingTones)
{
    const char* source = std::getenv("ORKA_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    int made = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(source) / "qmix/tests/corpus")) {
        if (entry.path().extension() != ".mid")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        const std::string bytes = orka::testing::readText(entry.path());
        const unsigned division = (static_cast<unsigned char>(bytes[12]) << 8) | static_cast<unsigned char>(bytes[13]);
        const fs::path out = dir_ / (entry.path().stem().string() + ".mmf");
        const ToolRun r = run("make '" + entry.path().string() + "' '" + out.string() + "' --to " +
                              std::to_string(16 * 4 * division) + " --log");
        ASSERT_EQ(r.code, 0) << r.err << r.out;
        EXPECT_NE(r.out.find("notes kept: "), std::string::npos) << r.out;
        EXPECT_EQ(orka::testing::readText(out).substr(0, 4), "MMMD");
        ++made;
    }
    EXPECT_GE(made, 5);
}
