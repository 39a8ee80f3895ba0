// The removal launcher: which registered commands start what, and that it never says a word.
#include "RemovalCommand.h"

#include "orka/platform/Registry.h"
#include "orka/testing/ToolRunner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sys/stat.h>
#include <thread>

using namespace orka;
using remover::parseRemovalCommand;
namespace fs = std::filesystem;

TEST(RemovalCommand, OnlyAQuotedProgramIsStarted)
{
    EXPECT_FALSE(parseRemovalCommand(""));
    EXPECT_FALSE(parseRemovalCommand(R"(C:\Windows\unins000.exe /S)")) << "no quote";
    EXPECT_FALSE(parseRemovalCommand(R"("C:\Program Files\Orka\unins000.exe /S)")) << "one quote";

    const auto bare = parseRemovalCommand(R"("C:\Program Files\Orka\unins000.exe")");
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->program, R"(C:\Program Files\Orka\unins000.exe)");
    EXPECT_EQ(bare->commandLine, "");

    const auto full = parseRemovalCommand(R"(RunDll32 "C:\奧卡\setup.exe" -l0x0404 "remove")");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->program, R"(C:\奧卡\setup.exe)");
    EXPECT_EQ(full->commandLine, R"( -l0x0404 "remove")") << "kept as it stands, blank included";
}

namespace {
// A home whose registry names an uninstaller script that records how it was started.
class RemoverRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("ORKA_HOME", home.path().c_str(), 1);
        fs::create_directories(uninstaller.parent_path());
        std::ofstream(uninstaller) << "#!/bin/sh\n"
                                      "printf '%s\\n' \"$#\" \"$@\" > \"$(dirname \"$0\")/started.tmp\"\n"
                                      "mv \"$(dirname \"$0\")/started.tmp\" \"$(dirname \"$0\")/started\"\n";
        ::chmod(uninstaller.c_str(), 0755);
    }
    void registerValue(const std::string& value)
    {
        auto key = platform::RegistryKey::create(
            platform::RegistryHive::LocalMachine,
            "SOFTWARE\\MICROSOFT\\Windows\\CurrentVersion\\Uninstall\\{5B1D7C42-9E3A-4F60-B8D2-17C4A9E05F3B}");
        ASSERT_TRUE(key);
        ASSERT_TRUE(key->writeString("UninstallString", value));
    }
    // Runs the launcher: it must end at once, silently, with status 0.
    void runRemover()
    {
        const auto run = orka::testing::runShell("ORKA_HOME=" + orka::testing::shellQuote(home.path().string()) + " " +
                                           orka::testing::shellQuote(orka::testing::testBinary("remover").string()));
        EXPECT_EQ(run.code, 0);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "");
    }
    // What the uninstaller recorded: its argument count and arguments; empty when it never ran.
    std::string started(std::chrono::milliseconds patience = std::chrono::seconds(10))
    {
        const auto until = std::chrono::steady_clock::now() + patience;
        while (!fs::exists(record) && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return fs::exists(record) ? orka::testing::readText(record) : "";
    }
    orka::testing::ScratchDir home{"orka-remover"};
    fs::path uninstaller = home.path() / "Program Files" / "Orka Kit" / "un install";
    fs::path record = uninstaller.parent_path() / "started";
};
} // namespace

TEST_F(RemoverRun, BlanksInThePathStartTheRightProgramWithItsSwitches)
{
    registerValue("\"" + uninstaller.string() + "\" /S \"/D=C:\\Orka Kit\"");
    runRemover();
    EXPECT_EQ(started(), "2\n/S\n/D=C:\\Orka Kit\n");
}

TEST_F(RemoverRun, NothingAfterThePathStartsItWithNoArguments)
{
    registerValue("\"" + uninstaller.string() + "\"");
    runRemover();
    EXPECT_EQ(started(), "0\n");
}

TEST_F(RemoverRun, EveryFailureIsSilent)
{
    runRemover(); // no entry at all
    registerValue("");
    runRemover();
    registerValue(uninstaller.string()); // no quote
    runRemover();
    registerValue("\"" + uninstaller.string()); // one quote
    runRemover();
    registerValue("\"" + (home.path() / "missing").string() + "\" /S");
    runRemover();
    // Too long for the 260-byte buffer: not read at all.
    registerValue("\"" + uninstaller.string() + "\"" + std::string(300, ' '));
    runRemover();
    EXPECT_EQ(started(std::chrono::milliseconds(300)), "");
}
