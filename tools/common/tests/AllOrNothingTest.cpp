// Every program's output appears whole or not at all: a refused input, a kill in the middle
// of a large write and a full disk leave an old file of the same name as it was and no
// partial file beside it.
#include "orka/Version.h"
#include "orka/testing/ToolRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using orka::testing::readText;
using orka::testing::runShell;
using orka::testing::shellQuote;
using orka::testing::ToolRun;
using Bytes = std::vector<std::uint8_t>;

const std::string kOldContents = "the user's file from before";

void putVarLength(Bytes& out, std::uint32_t v)
{
    Bytes reversed{static_cast<std::uint8_t>(v & 0x7F)};
    while (v >>= 7)
        reversed.push_back(static_cast<std::uint8_t>(0x80 | (v & 0x7F)));
    out.insert(out.end(), reversed.rbegin(), reversed.rend());
}

// One channel of `notes` notes, each `ticks` long at 480 ticks a beat and 120 beats a minute.
Bytes song(std::uint32_t notes, std::uint32_t ticks)
{
    Bytes track = {0x00, 0xB0, 55, 1, 0x00, 0xC0, 0};
    for (std::uint32_t i = 0; i < notes; ++i) {
        const auto key = static_cast<std::uint8_t>(60 + i % 12);
        track.insert(track.end(), {0x00, 0x90, key, 100});
        putVarLength(track, ticks);
        track.insert(track.end(), {0x80, key, 0});
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    Bytes file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
    for (int shift = 24; shift >= 0; shift -= 8)
        file.push_back(static_cast<std::uint8_t>(track.size() >> shift));
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

class AllOrNothing : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("ORKA_HOME", (dir_.path() / "home").c_str(), 1); }

    fs::path write(const std::string& name, const Bytes& bytes)
    {
        orka::testing::writeBytes(dir_.path() / name, bytes);
        return dir_.path() / name;
    }
    fs::path oldFile(const std::string& name)
    {
        orka::testing::writeBytes(dir_.path() / name, Bytes(kOldContents.begin(), kOldContents.end()));
        return dir_.path() / name;
    }
    std::set<std::string> entries() const
    {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_.path()))
            names.insert(e.path().filename().string());
        return names;
    }
    static std::string tool(const std::string& name) { return shellQuote(orka::testing::testBinary(name).string()); }
    std::string in(const std::string& name) const { return shellQuote((dir_.path() / name).string()); }
    // A SMAF file of `notes` notes, made by the converter.
    fs::path smaf(const std::string& name, std::uint32_t notes, std::uint32_t ticks)
    {
        const fs::path mid = write(name + ".mid", song(notes, ticks));
        const ToolRun r = runShell(tool("melconv") + " " + shellQuote(mid.string()) + " " + in(name));
        EXPECT_EQ(r.code, 0) << r.err;
        return dir_.path() / name;
    }

    orka::testing::ScratchDir dir_{"orka-all-or-nothing"};
};

TEST_F(AllOrNothing, EachToolRefusingBrokenInputWritesNothingAndKeepsAnOldFile)
{
    write("broken.mid", Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1});
    write("broken.mmf", Bytes{'M', 'M', 'M', 'D', 0, 0, 0, 4, 1, 2, 3, 4});
    write("broken.bmp", Bytes{'B', 'M', 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9});
    struct Case {
        std::string command; // OUT stands for the output file
        int code;
        std::string says;
    };
    const std::vector<Case> cases = {
        {tool("melconv") + " " + in("broken.mid") + " OUT", 1, "broken.mid: "},
        {tool("mmfplay") + " " + in("broken.mmf") + " --wav OUT", 1, "broken.mmf"},
        {tool("ringtone") + " make " + in("broken.mid") + " OUT", 1, "broken.mid"},
        {tool("orkapic") + " convert " + in("broken.bmp") + " OUT", 1, "\n"},
        {tool("orkapic") + " upload " + in("broken.bmp") + " --type 4 -o OUT", 1, "\n"},
        // A port with no handset behind it: nothing to read, nothing written.
        {tool("orkactl") + " --port 9 get 2 1 -o OUT", 1, "COM9"},
        // An output of q5sim is its store folder: a refused start makes none.
        {tool("q5sim") + " --com 5 --fault no-such-fault --store OUT", 2, "no-such-fault"},
    };
    for (const Case& c : cases) {
        for (const bool existing : {false, true}) {
            const fs::path out = dir_.path() / (existing ? "old.out" : "fresh.out");
            if (existing)
                oldFile("old.out");
            const auto before = entries();
            std::string command = c.command;
            command.replace(command.find("OUT"), 3, shellQuote(out.string()));
            const ToolRun r = runShell(command);
            EXPECT_EQ(r.code, c.code) << command << "\n" << r.err;
            EXPECT_NE(r.err.find(c.says), std::string::npos) << command << "\n" << r.err;
            EXPECT_EQ(entries(), before) << command;
            if (existing) {
                EXPECT_EQ(readText(out), kOldContents) << command;
            }
        }
    }
    // The folder form of melconv makes its folder only for a file it writes.
    EXPECT_EQ(runShell(tool("melconv") + " -d " + in("outdir") + " " + in("broken.mid")).code, 1);
    EXPECT_FALSE(fs::exists(dir_.path() / "outdir"));
}

TEST_F(AllOrNothing, AKillInTheMiddleOfALargeWriteLeavesTheOldFileOrTheWholeNewOne)
{
    // About 1 MB of MIDI for the converter, and ten minutes of music for the renderer (a
    // WAV file of some 50 MB).
    write("big.mid", song(130000, 60));
    ASSERT_EQ(runShell(tool("melconv") + " " + in("big.mid") + " " + in("whole.mmf")).code, 0);
    const std::string wholeSmaf = readText(dir_.path() / "whole.mmf");
    smaf("long.mmf", 1200, 480);

    const std::pair<std::string, std::string> runs[] = {
        {tool("melconv") + " " + in("big.mid") + " " + in("old.out"), "melconv"},
        {tool("mmfplay") + " " + in("long.mmf") + " --wav " + in("old.out"), "mmfplay"},
    };
    for (const auto& [command, name] : runs) {
        for (const char* delay : {"0.2", "0.6", "1.2"}) {
            oldFile("old.out");
            const auto before = entries();
            runShell(command + " & pid=$!; sleep " + delay + "; kill -9 $pid; wait $pid");
            EXPECT_EQ(entries(), before) << name << " killed after " << delay << " s";
            const std::string now = readText(dir_.path() / "old.out");
            if (now == kOldContents)
                continue;
            // Finished before the kill: then the file is whole.
            if (name == "melconv") {
                EXPECT_EQ(now, wholeSmaf);
            } else {
                ASSERT_GE(now.size(), 44u);
                const auto riffSize = static_cast<std::uint32_t>(static_cast<std::uint8_t>(now[4]) | static_cast<std::uint8_t>(now[5]) << 8 |
                                                                 static_cast<std::uint8_t>(now[6]) << 16 | static_cast<std::uint8_t>(now[7]) << 24);
                EXPECT_EQ(riffSize + 8, now.size());
            }
        }
    }
}

TEST_F(AllOrNothing, AFullDiskFailsWithAClearMessageAndLeavesNothingPartial)
{
    write("big.mid", song(130000, 60));
    smaf("long.mmf", 1200, 480);
    // ulimit -f counts blocks of 512 bytes: 64 KB, far below either output.
    const std::string limit = "ulimit -f 128; ";
    for (const std::string& command : {tool("melconv") + " " + in("big.mid") + " " + in("old.out"),
                                       tool("mmfplay") + " " + in("long.mmf") + " --wav " + in("old.out")}) {
        oldFile("old.out");
        const auto before = entries();
        const ToolRun r = runShell(limit + command);
        EXPECT_EQ(r.code, 1) << command;
        EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
        EXPECT_EQ(entries(), before);
        EXPECT_EQ(readText(dir_.path() / "old.out"), kOldContents);
    }
}

TEST(EveryTool, AnswersHelpAndVersionOnStandardOutputWithoutTouchingFiles)
{
    orka::testing::ScratchDir dir("orka-tool-help");
    for (const std::string name : {"melconv", "mmfplay", "ringtone", "orkapic", "orkactl", "q5sim"}) {
        const std::string exe = shellQuote(orka::testing::testBinary(name).string());
        // Run in an empty folder: "--help" must not be taken for a file to open or write.
        const std::string cd = "cd " + shellQuote(dir.path().string()) + " && ";
        const ToolRun help = runShell(cd + exe + " --help");
        EXPECT_EQ(help.code, 0) << name << help.err;
        EXPECT_NE(help.out.find("sage"), std::string::npos) << name << help.out;
        EXPECT_EQ(help.err, "") << name;
        const ToolRun version = runShell(cd + exe + " --version");
        EXPECT_EQ(version.code, 0) << name;
        EXPECT_EQ(version.out, name + " " + ORKA_VERSION + "\n");
        EXPECT_TRUE(fs::is_empty(dir.path())) << name;
    }
}

} // namespace
