#include "orka/platform/StatePaths.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

using orka::platform::StatePaths;
namespace fs = std::filesystem;

namespace {
// Sets environment variables for one test and restores them afterwards.
class EnvGuard {
public:
    void set(const char* name, const char* value)
    {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value) ::setenv(name, value, 1); else ::unsetenv(name);
    }
    ~EnvGuard()
    {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) ::setenv(it->first.c_str(), it->second->c_str(), 1);
            else ::unsetenv(it->first.c_str());
        }
    }
private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};
}

TEST(StatePaths, OrkaHomeHoldsEverythingDirectlyBelowIt)
{
    EnvGuard env;
    env.set("ORKA_HOME", "/tmp/orka-home");
    EXPECT_EQ(StatePaths::registryDir(), fs::path("/tmp/orka-home/registry"));
    EXPECT_EQ(StatePaths::dosDevicesDir(), fs::path("/tmp/orka-home/dosdevices"));
    EXPECT_EQ(StatePaths::driversDir(), fs::path("/tmp/orka-home/drivers"));
    EXPECT_EQ(StatePaths::ringLogFile(), fs::path("/tmp/orka-home/RingLog.log"));
    EXPECT_EQ(StatePaths::irdaDir(), fs::path("/tmp/orka-home/irda"));
}

TEST(StatePaths, WithoutOrkaHomeFollowsXdg)
{
    EnvGuard env;
    env.set("ORKA_HOME", nullptr);
    env.set("XDG_CONFIG_HOME", "/c");
    env.set("XDG_DATA_HOME", "/d");
    env.set("XDG_STATE_HOME", "/s");
    env.set("XDG_RUNTIME_DIR", "/r");
    EXPECT_EQ(StatePaths::registryDir(), fs::path("/c/orka/registry"));
    EXPECT_EQ(StatePaths::galleryDir(), fs::path("/d/orka/gallery"));
    EXPECT_EQ(StatePaths::ringLogFile(), fs::path("/s/orka/RingLog.log"));
    EXPECT_EQ(StatePaths::irdaDir(), fs::path("/r/orka/irda"));
}

TEST(StatePaths, AtomicWriteReplacesWholeFileAndLeavesNoTemporary)
{
    fs::path dir = fs::temp_directory_path() / ("orka-sp-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::path f = dir / "sub" / "file.bin";
    ASSERT_TRUE(orka::platform::writeFileAtomically(f, "first", 5));
    ASSERT_TRUE(orka::platform::writeFileAtomically(f, "2nd", 3));
    std::ifstream in(f);
    std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(s, "2nd");
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir / "sub")) ++entries;
    EXPECT_EQ(entries, 1);
    // Readable like any file the user creates, not private as a temporary file is made.
    auto perms = fs::status(f).permissions();
    EXPECT_NE(perms & fs::perms::others_read, fs::perms::none);
    EXPECT_FALSE(orka::platform::writeFileAtomically("/proc/nope/x", "a", 1));
    fs::remove_all(dir);
}
