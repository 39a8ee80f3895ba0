// The mmfplay command: exit codes, messages and the WAV it writes.
#include "orka/testing/SmafBuilder.h"

#include "orka/testing/ToolRunner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace orka::smaf::test {
namespace {

namespace fs = std::filesystem;

class Mmfplay : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("ORKA_HOME", (dir_.path() / "home").c_str(), 1); }

    fs::path write(const std::string& name, const Bytes& b)
    {
        orka::testing::writeBytes(dir_.path() / name, b);
        return dir_.path() / name;
    }
    int run(const std::string& args)
    {
        const auto r = orka::testing::runShell(orka::testing::shellQuote(orka::testing::testBinary("mmfplay").string()) + " " + args);
        err_ = r.err;
        return r.code;
    }
    const std::string& err() const { return err_; }

    orka::testing::ScratchDir dir_{"orka-mmfplay"};
    std::string err_;
};

Bytes tune()
{
    Bytes setup = voiceDefinition(VoiceBytes::sine(12), 0, 0, false);
    Sequence s;
    s.note(0, 0, 2, 9, 50).note(50, 1, 2, 5, 50);
    return smafFile({scoreTrack(1, setup, s.end())});
}

TEST_F(Mmfplay, WritesAWaveFileAndExitsZero)
{
    const fs::path in = write("tune.mmf", tune());
    const fs::path out = dir_.path() / "tune.wav";
    ASSERT_EQ(run(in.string() + " --wav " + out.string()), 0) << err();
    ASSERT_TRUE(fs::exists(out));
    const auto size = fs::file_size(out);
    // 400 ms of notes and a short release, at 88200 bytes a second.
    EXPECT_GT(size, 44u + 88200u * 4 / 10);
    EXPECT_LT(size, 44u + 88200u * 2);
}

TEST_F(Mmfplay, RefusedFilesExitOneWithAMessage)
{
    const fs::path text = write("text.mmf", Bytes{'h', 'e', 'l', 'l', 'o', 0, 0, 0, 0});
    EXPECT_EQ(run(text.string() + " --wav " + (dir_.path() / "x.wav").string()), 1);
    EXPECT_NE(err().find("MMMD"), std::string::npos);
    const fs::path empty = write("empty.mmf", smafFile({}));
    EXPECT_EQ(run(empty.string() + " --wav " + (dir_.path() / "x.wav").string()), 1);
    EXPECT_NE(err().find("no playable"), std::string::npos);
    const fs::path noSeq = write("noseq.mmf", smafFile({scoreTrack(1, {}, {}, 2, false)}));
    EXPECT_EQ(run(noSeq.string() + " --wav " + (dir_.path() / "x.wav").string()), 1);
    EXPECT_NE(err().find("Mtsq"), std::string::npos);
    EXPECT_EQ(run((dir_.path() / "missing.mmf").string()), 1);
    EXPECT_NE(err().find("cannot read"), std::string::npos);
    const fs::path nothing = write("nothing.mmf", Bytes{});
    EXPECT_EQ(run(nothing.string()), 1);
    EXPECT_NE(err().find("MMMD"), std::string::npos);
}

TEST_F(Mmfplay, AnUnwritableWaveFileExitsOne)
{
    const fs::path in = write("tune.mmf", tune());
    EXPECT_EQ(run(in.string() + " --wav " + (dir_.path() / "no-such-dir" / "x.wav").string()), 1);
    EXPECT_NE(err().find("cannot write"), std::string::npos);
}

TEST_F(Mmfplay, UsageErrorsExitTwo)
{
    EXPECT_EQ(run(""), 2);
    EXPECT_NE(err().find("usage"), std::string::npos);
    EXPECT_EQ(run("a.mmf --wav"), 2);
    EXPECT_EQ(run("a.mmf --mp3 b"), 2);
    EXPECT_EQ(run("a.mmf b.mmf c.mmf d.mmf"), 2);
}

TEST_F(Mmfplay, PlaysOnTheDefaultDeviceOrQuietly)
{
    const fs::path in = write("tune.mmf", tune());
    EXPECT_EQ(run(in.string()), 0) << err();
}

} // namespace
} // namespace orka::smaf::test
