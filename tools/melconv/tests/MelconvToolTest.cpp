// The melconv command: exit codes, messages and files left behind.
#include "orka/testing/ToolRunner.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class MelconvTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("melconv_tool_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ::setenv("ORKA_HOME", dir_.c_str(), 1);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs melconv with `args`; returns its exit code and collects stderr.
    int run(const std::string& args)
    {
        const auto r = orka::testing::runShell(orka::testing::shellQuote(orka::testing::testBinary("melconv").string()) + " " + args);
        stderr_ = r.err;
        return r.code;
    }

    fs::path write(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        const fs::path p = dir_ / name;
        orka::testing::writeBytes(p, bytes);
        return p;
    }

    // One channel, program 0, a C major arpeggio.
    static std::vector<std::uint8_t> tune(std::uint8_t format = 0)
    {
        std::vector<std::uint8_t> track = {0x00, 0xB0, 55, 1, 0x00, 0xC0, 0};
        for (std::uint8_t n : {60, 64, 67, 72})
            track.insert(track.end(), {0x00, 0x90, n, 100, 0x83, 0x60, 0x80, n, 0});
        track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
        std::vector<std::uint8_t> f = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, format, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k', 0, 0, 0,
                                       static_cast<std::uint8_t>(track.size())};
        for (const std::uint8_t b : track)
            f.push_back(b);
        return f;
    }

    fs::path dir_;
    std::string stderr_;
};

TEST_F(MelconvTool, ConvertsWithTheEmbeddedBank)
{
    const fs::path in = write("tune.mid", tune());
    EXPECT_EQ(run(in.string() + " " + (dir_ / "tune.mmf").string()), 0) << stderr_;
    EXPECT_EQ(orka::testing::readText(dir_ / "tune.mmf").substr(0, 4), "MMMD");

    // The bank next to the programs gives the same file.
    const std::string bank = orka::testing::testBinary("orkavoice.vma").string();
    EXPECT_EQ(run("--bank " + bank + " " + in.string() + " " + (dir_ / "same.mmf").string()), 0) << stderr_;
    EXPECT_EQ(fs::file_size(dir_ / "same.mmf"), fs::file_size(dir_ / "tune.mmf"));
}

TEST_F(MelconvTool, RefusalPrintsTheReasonAndLeavesNoFile)
{
    const fs::path in = write("format1.mid", tune(1));
    EXPECT_EQ(run(in.string() + " " + (dir_ / "out.mmf").string()), 1);
    EXPECT_NE(stderr_.find("This SMF is not Format0."), std::string::npos) << stderr_;
    EXPECT_FALSE(fs::exists(dir_ / "out.mmf"));

    // An earlier good file at the same place stays as it was.
    const fs::path good = write("good.mid", tune());
    ASSERT_EQ(run(good.string() + " " + (dir_ / "out.mmf").string()), 0);
    const auto size = fs::file_size(dir_ / "out.mmf");
    EXPECT_EQ(run(in.string() + " " + (dir_ / "out.mmf").string()), 1);
    EXPECT_EQ(fs::file_size(dir_ / "out.mmf"), size);

    EXPECT_EQ(run((dir_ / "missing.mid").string() + " " + (dir_ / "x.mmf").string()), 1);
    EXPECT_EQ(run("--bank " + (dir_ / "missing.vma").string() + " " + good.string() + " " + (dir_ / "x.mmf").string()), 1);
    const fs::path shortBank = write("short.vma", std::vector<std::uint8_t>(100, 0));
    EXPECT_EQ(run("--bank " + shortBank.string() + " " + good.string() + " " + (dir_ / "x.mmf").string()), 1);
    EXPECT_FALSE(fs::exists(dir_ / "x.mmf"));
}

TEST_F(MelconvTool, UsageErrorsExitWithTwo)
{
    EXPECT_EQ(run(""), 2);
    EXPECT_EQ(run("only-one.mid"), 2);
    EXPECT_EQ(run("a.mid b.mmf c.mmf"), 2);
    EXPECT_EQ(run("--bank"), 2);
    EXPECT_EQ(run("--frobnicate a.mid b.mmf"), 2);
    EXPECT_EQ(run("-d " + dir_.string()), 2);
    EXPECT_NE(stderr_.find("usage"), std::string::npos);
}

TEST_F(MelconvTool, DirectoryFormConvertsEachFileAndReports)
{
    const fs::path a = write("a.mid", tune());
    const fs::path b = write("b.mid", tune(1));
    const fs::path c = write("c.mid", tune());
    EXPECT_EQ(run("-d " + (dir_ / "out").string() + " " + a.string() + " " + b.string() + " " + c.string()), 1);
    EXPECT_TRUE(fs::exists(dir_ / "out" / "a.mmf"));
    EXPECT_FALSE(fs::exists(dir_ / "out" / "b.mmf"));
    EXPECT_TRUE(fs::exists(dir_ / "out" / "c.mmf"));
    EXPECT_NE(stderr_.find("b.mid: This SMF is not Format0."), std::string::npos) << stderr_;
    EXPECT_EQ(run("-d " + (dir_ / "out2").string() + " " + a.string() + " " + c.string()), 0);
}

} // namespace
