// The mmfplay command: exit codes, messages and the WAV it writes.
#include "SmafBuilder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

namespace orka::smaf::test {
namespace {

namespace fs = std::filesystem;

class Mmfplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/orka-mmfplay-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        ::setenv("ORKA_HOME", (dir_ / "home").c_str(), 1);
        const char* bin = std::getenv("ORKA_TEST_BIN");
        program_ = fs::path(bin ? bin : ".") / "mmfplay";
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path write(const std::string& name, const Bytes& b)
    {
        std::ofstream(dir_ / name, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        return dir_ / name;
    }
    int run(const std::string& args)
    {
        const std::string cmd = program_.string() + " " + args + " >" + (dir_ / "out.txt").string() + " 2>" + (dir_ / "err.txt").string();
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string err()
    {
        std::ifstream in(dir_ / "err.txt");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path dir_;
    fs::path program_;
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
    const fs::path out = dir_ / "tune.wav";
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
    EXPECT_EQ(run(text.string() + " --wav " + (dir_ / "x.wav").string()), 1);
    EXPECT_NE(err().find("MMMD"), std::string::npos);
    const fs::path empty = write("empty.mmf", smafFile({}));
    EXPECT_EQ(run(empty.string() + " --wav " + (dir_ / "x.wav").string()), 1);
    EXPECT_NE(err().find("no playable"), std::string::npos);
    const fs::path noSeq = write("noseq.mmf", smafFile({scoreTrack(1, {}, {}, 2, false)}));
    EXPECT_EQ(run(noSeq.string() + " --wav " + (dir_ / "x.wav").string()), 1);
    EXPECT_NE(err().find("Mtsq"), std::string::npos);
    EXPECT_EQ(run((dir_ / "missing.mmf").string()), 1);
    EXPECT_NE(err().find("cannot read"), std::string::npos);
    const fs::path nothing = write("nothing.mmf", Bytes{});
    EXPECT_EQ(run(nothing.string()), 1);
    EXPECT_NE(err().find("MMMD"), std::string::npos);
}

TEST_F(Mmfplay, AnUnwritableWaveFileExitsOne)
{
    const fs::path in = write("tune.mmf", tune());
    EXPECT_EQ(run(in.string() + " --wav " + (dir_ / "no-such-dir" / "x.wav").string()), 1);
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
