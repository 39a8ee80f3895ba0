// The shared command line: what each form of argument parses to, and what the user sees.
#include "orka/cli/CommandLine.h"

#include "orka/Version.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

namespace orka::cli {
namespace {

const char* const kUsage = "usage: tool [--bank FILE] [-d DIR] [-v] IN...\n";

// Runs a program in-process and keeps what it printed.
class Cli : public ::testing::Test {
protected:
    // Runs `tool WORDS...` through a program set up by `runProgram`.
    template <typename Run>
    int runWords(std::vector<std::string> words, const Run& runProgram)
    {
        words.insert(words.begin(), "tool");
        std::vector<char*> argv;
        for (std::string& w : words)
            argv.push_back(w.data());
        Program program("tool", kUsage);
        program.setStreams(out_, err_);
        return runProgram(program, static_cast<int>(argv.size()), argv.data());
    }
    int run(std::vector<std::string> words, const std::vector<Option>& options, const Body& body)
    {
        return runWords(std::move(words), [&](const Program& p, int argc, char** argv) { return p.run(argc, argv, options, body); });
    }
    int runCommands(std::vector<std::string> words, const std::vector<Command>& commands)
    {
        return runWords(std::move(words),
                        [&](const Program& p, int argc, char** argv) { return p.run(argc, argv, {{"port", 0, true}}, commands); });
    }

    const std::vector<Option> options_{{"bank", 0, true}, {"", 'd', true}, {"verbose", 'v', false}, {"fault", 0, true}};
    Arguments seen_;
    Body keep_ = [this](const Arguments& a) {
        seen_ = a;
        return kExitOk;
    };
    std::ostringstream out_, err_;
};

TEST_F(Cli, OptionsInEveryPlaceAndSpelling)
{
    ASSERT_EQ(run({"a.mid", "--bank", "x.vma", "-dOUT", "b.mid", "-v", "--fault=slow=5", "--fault", "echo"}, options_, keep_),
              kExitOk);
    EXPECT_EQ(seen_.positional(), (std::vector<std::string>{"a.mid", "b.mid"}));
    EXPECT_EQ(seen_.value("bank"), "x.vma");
    EXPECT_EQ(seen_.value("d"), "OUT");
    EXPECT_TRUE(seen_.has("verbose"));
    EXPECT_EQ(seen_.values("fault"), (std::vector<std::string>{"slow=5", "echo"}));
    EXPECT_EQ(seen_.value("fault"), "echo"); // the last one counts
    EXPECT_FALSE(seen_.value("missing"));

    // A value may itself begin with a dash; after "--" nothing is an option.
    ASSERT_EQ(run({"--bank", "-10,5", "--", "-v", "--bank"}, options_, keep_), kExitOk);
    EXPECT_EQ(seen_.value("bank"), "-10,5");
    EXPECT_FALSE(seen_.has("verbose"));
    EXPECT_EQ(seen_.positional(), (std::vector<std::string>{"-v", "--bank"}));
    // A lone dash is an argument (standard input, by custom).
    ASSERT_EQ(run({"-"}, options_, keep_), kExitOk);
    EXPECT_EQ(seen_.positional(), std::vector<std::string>{"-"});
}

TEST_F(Cli, HelpAndVersionAnswerOnStandardOutputWithoutRunning)
{
    bool ran = false;
    const Body mark = [&](const Arguments&) {
        ran = true;
        return kExitFailed;
    };
    EXPECT_EQ(run({"--help"}, options_, mark), kExitOk);
    EXPECT_EQ(out_.str(), kUsage);
    EXPECT_EQ(run({"a", "-h", "--frobnicate-comes-later-and-is-ignored"}, options_, mark), kExitUsage);
    out_.str("");
    EXPECT_EQ(run({"--version"}, options_, mark), kExitOk);
    EXPECT_EQ(out_.str(), std::string("tool ") + ORKA_VERSION + "\n");
    EXPECT_FALSE(ran);
    EXPECT_EQ(std::string(ORKA_VERSION), std::to_string(ORKA_VERSION_MAJOR) + "." + std::to_string(ORKA_VERSION_MINOR) +
                                             "." + std::to_string(ORKA_VERSION_PATCH));
}

TEST_F(Cli, UsageErrorsNameTheProblemThenShowTheUsage)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--frobnicate"}, "tool: unknown option --frobnicate\n"},
        {{"-x"}, "tool: unknown option -x\n"},
        {{"a", "--bank"}, "tool: --bank needs a value\n"},
        {{"-d"}, "tool: -d needs a value\n"},
        {{"--verbose=yes"}, "tool: --verbose takes no value\n"},
    };
    for (const auto& [words, message] : cases) {
        err_.str("");
        EXPECT_EQ(run(words, options_, keep_), kExitUsage) << message;
        EXPECT_EQ(err_.str(), message + kUsage);
    }
    // The program's own checks after parsing end the same way; other failures exit 1.
    err_.str("");
    EXPECT_EQ(run({}, options_, [](const Arguments&) -> int { throw UsageError("IN is missing"); }), kExitUsage);
    EXPECT_EQ(err_.str(), std::string("tool: IN is missing\n") + kUsage);
    err_.str("");
    EXPECT_EQ(run({}, options_, [](const Arguments&) -> int { throw std::runtime_error("disk on fire"); }), kExitFailed);
    EXPECT_EQ(err_.str(), "tool: disk on fire\n");
    EXPECT_EQ(out_.str(), "");
}

TEST_F(Cli, CommandsTakeTheirOwnOptionsAndTheCommonOnesAnywhere)
{
    const std::vector<Command> commands = {
        {"ls", {{"free", 0, false}}, keep_},
        {"get", {{"", 'o', true}, {"part", 0, true}}, keep_},
    };
    ASSERT_EQ(runCommands({"--port", "4", "ls", "2", "--free"}, commands), kExitOk);
    EXPECT_EQ(seen_.command(), "ls");
    EXPECT_EQ(seen_.positional(), std::vector<std::string>{"2"});
    EXPECT_EQ(seen_.value("port"), "4");
    EXPECT_TRUE(seen_.has("free"));
    // The value of an option before the command is not taken for the command.
    ASSERT_EQ(runCommands({"-o", "ls", "get", "7", "1", "--port=300"}, commands), kExitOk);
    EXPECT_EQ(seen_.command(), "get");
    EXPECT_EQ(seen_.value("o"), "ls");
    EXPECT_EQ(seen_.positional(), (std::vector<std::string>{"7", "1"}));

    EXPECT_EQ(runCommands({"ls", "2", "-o", "x"}, commands), kExitUsage);
    EXPECT_NE(err_.str().find("tool: -o is not an option of ls\n"), std::string::npos) << err_.str();
    err_.str("");
    EXPECT_EQ(runCommands({"--port", "4"}, commands), kExitUsage);
    EXPECT_EQ(err_.str(), std::string("tool: no command given\n") + kUsage);
    err_.str("");
    EXPECT_EQ(runCommands({"frobnicate", "2"}, commands), kExitUsage);
    EXPECT_EQ(err_.str(), std::string("tool: unknown command frobnicate\n") + kUsage);
    EXPECT_EQ(runCommands({"--help"}, commands), kExitOk);
    EXPECT_EQ(out_.str(), kUsage);
}

TEST(ParseInteger, WholeDecimalTextWithinInclusiveBounds)
{
    EXPECT_EQ(parseInteger("0", 0, 10), 0);
    EXPECT_EQ(parseInteger("10", 0, 10), 10);
    EXPECT_EQ(parseInteger("-3", -5, 5), -3);
    EXPECT_FALSE(parseInteger("11", 0, 10));
    EXPECT_FALSE(parseInteger("-1", 0, 10));
    EXPECT_FALSE(parseInteger("", 0, 10));
    EXPECT_FALSE(parseInteger(" 5", 0, 10));
    EXPECT_FALSE(parseInteger("5 ", 0, 10));
    EXPECT_FALSE(parseInteger("5x", 0, 10));
    EXPECT_FALSE(parseInteger("0x5", 0, 10));
    EXPECT_FALSE(parseInteger("99999999999999999999", 0, 2147483647));
}

} // namespace
} // namespace orka::cli
