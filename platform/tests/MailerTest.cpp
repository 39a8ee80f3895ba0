// The mail program gets one "--attach FILE" pair per file, names with blanks whole, and its
// failure or absence comes back as false.
#include "orka/platform/Mailer.h"
#include "orka/platform/Process.h"
#include "orka/testing/ToolRunner.h"

#include <gtest/gtest.h>

#include <filesystem>

using orka::platform::Mailer;
using orka::platform::Process;
namespace fs = std::filesystem;

namespace {

// A stand-in mail program that records its arguments and ends with `status`.
fs::path recordingMailProgram(const fs::path& dir, int status)
{
    const fs::path script = dir / "mail-program";
    const std::string text = "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args.txt\"\nexit " +
                             std::to_string(status) + "\n";
    orka::testing::writeBytes(script, {text.begin(), text.end()});
    fs::permissions(script, fs::perms::owner_all);
    return script;
}

} // namespace

TEST(Mailer, EachFileIsOneAttachmentAndTheProgramIsWaitedFor)
{
    orka::testing::ScratchDir dir{"orka-mailer"};
    const Mailer mailer(recordingMailProgram(dir.path(), 0).string());
    EXPECT_TRUE(mailer.send({"/tmp/my photo.jpg", "/tmp/ring.mid"}));
    // Waited for: the arguments are there as soon as send returns.
    EXPECT_EQ(orka::testing::readText(dir.path() / "args.txt"),
              "--attach\n/tmp/my photo.jpg\n--attach\n/tmp/ring.mid\n");
}

TEST(Mailer, AFailingOrMissingMailProgramIsFalse)
{
    orka::testing::ScratchDir dir{"orka-mailer"};
    EXPECT_FALSE(Mailer(recordingMailProgram(dir.path(), 3).string()).send({"a.jpg"}));
    EXPECT_FALSE(Mailer((dir.path() / "no-such-mailer").string()).send({"a.jpg"}));
    EXPECT_FALSE(Mailer("orka-no-such-mail-program").send({"a.jpg"}));
    EXPECT_EQ(Process::run("true", {}), 0);
}
