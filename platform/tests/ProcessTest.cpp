// Command-line texts split into arguments the way a Windows program splits them.
#include "orka/platform/Process.h"

#include <gtest/gtest.h>

using orka::platform::Process;
using V = std::vector<std::string>;

TEST(ProcessCommandLine, BlanksQuotesAndBackslashes)
{
    EXPECT_EQ(Process::splitCommandLine(""), V{});
    EXPECT_EQ(Process::splitCommandLine("   \t "), V{});
    EXPECT_EQ(Process::splitCommandLine(" /S  /x:1 "), (V{"/S", "/x:1"}));
    EXPECT_EQ(Process::splitCommandLine(R"(-f "C:\Program Files\Orka" x)"), (V{"-f", R"(C:\Program Files\Orka)", "x"}));
    EXPECT_EQ(Process::splitCommandLine(R"("" a)"), (V{"", "a"}));
    EXPECT_EQ(Process::splitCommandLine(R"(a\\b \"q\")"), (V{R"(a\\b)", R"("q")"}));
    EXPECT_EQ(Process::splitCommandLine(R"("a\\" b)"), (V{R"(a\)", "b"}));
    EXPECT_EQ(Process::splitCommandLine(R"("say ""hi""")"), (V{R"(say "hi")"}));
    EXPECT_EQ(Process::splitCommandLine(R"("open end)"), (V{"open end"}));
}

TEST(ProcessStart, AMissingProgramIsReportedAndNothingWaits)
{
    EXPECT_FALSE(Process::start("/nonexistent/uninstall", ""));
    EXPECT_TRUE(Process::start("/bin/true", " /S"));
}
