#include "orka/platform/StatePaths.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
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
    EXPECT_EQ(StatePaths::mailDir(), fs::path("/tmp/orka-home/mail"));
}

TEST(StatePaths, WithoutOrkaHomeFollowsXdg)
{
    EnvGuard env;
    env.set("ORKA_HOME", nullptr);
    env.set("XDG_CONFIG_HOME", "/c");
    env.set("XDG_DATA_HOME", "/d");
    env.set("XDG_STATE_HOME", "/s");
    env.set("XDG_RUNTIME_DIR", "/r");
    env.set("XDG_CACHE_HOME", "/k");
    EXPECT_EQ(StatePaths::registryDir(), fs::path("/c/orka/registry"));
    EXPECT_EQ(StatePaths::galleryDir(), fs::path("/d/orka/gallery"));
    EXPECT_EQ(StatePaths::ringLogFile(), fs::path("/s/orka/RingLog.log"));
    EXPECT_EQ(StatePaths::irdaDir(), fs::path("/r/orka/irda"));
    EXPECT_EQ(StatePaths::mailDir(), fs::path("/k/orka/mail"));
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

namespace {
std::string contents(const fs::path& f)
{
    std::ifstream in(f, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
std::vector<std::string> entries(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class AtomicFileWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        std::ofstream(target_, std::ios::binary) << "old file";
    }
    void TearDown() override { fs::remove_all(dir_); }
    const fs::path dir_ = fs::temp_directory_path() / ("orka-afw-" + std::to_string(::getpid()));
    const fs::path target_ = dir_ / "out.wav";
};
} // namespace

TEST_F(AtomicFileWriterTest, TheNewFileAppearsWholeOnlyAtCommit)
{
    orka::platform::AtomicFileWriter writer(target_);
    ASSERT_TRUE(writer.ok()) << writer.error();
    const std::string big(200 * 1024, 'x'); // larger than the gathering buffer
    EXPECT_TRUE(writer.write("HEAD", 4));
    EXPECT_TRUE(writer.write(big.data(), big.size()));
    EXPECT_TRUE(writer.write("tail", 4));
    EXPECT_TRUE(writer.writeAt(0, "head", 4)); // patched once the length is known
    // Until the commit the folder shows the old file only.
    EXPECT_EQ(entries(dir_), std::vector<std::string>{"out.wav"});
    EXPECT_EQ(contents(target_), "old file");
    ASSERT_TRUE(writer.commit()) << writer.error();
    EXPECT_EQ(entries(dir_), std::vector<std::string>{"out.wav"});
    EXPECT_EQ(contents(target_), "head" + big + "tail");
    EXPECT_FALSE(writer.write("more", 4)); // a committed writer takes nothing more
    EXPECT_EQ(fs::file_size(target_), 4 + big.size() + 4);
}

TEST_F(AtomicFileWriterTest, AbandonedOrFailedWritesLeaveTheOldFileAndNothingElse)
{
    {
        orka::platform::AtomicFileWriter writer(target_);
        writer.write("new", 3);
    } // destroyed without commit
    {
        orka::platform::AtomicFileWriter writer(target_);
        writer.write("new", 3);
        writer.discard();
        EXPECT_FALSE(writer.commit());
    }
    EXPECT_EQ(entries(dir_), std::vector<std::string>{"out.wav"});
    EXPECT_EQ(contents(target_), "old file");

    // A folder that does not exist: the writer fails at once and says why.
    orka::platform::AtomicFileWriter nowhere(dir_ / "missing" / "x.bin");
    EXPECT_FALSE(nowhere.ok());
    EXPECT_FALSE(nowhere.error().empty());
    EXPECT_FALSE(nowhere.write("a", 1));
    EXPECT_FALSE(nowhere.commit());
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

TEST_F(AtomicFileWriterTest, AFileSizeLimitFailsTheWriteWithItsReasonAndLeavesNothingPartial)
{
    // In a child, so the limit does not stay on the test process.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::string big(1 << 20, 'x');
        std::string why;
        const bool written = orka::platform::writeFileAtomically(target_, big.data(), big.size(), &why);
        ::_exit(!written && why == std::strerror(EFBIG) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(entries(dir_), std::vector<std::string>{"out.wav"});
    EXPECT_EQ(contents(target_), "old file");
}
