// orkactl as a user runs it, against the handset simulator on both links.
#include "orka/testing/SimulatorProcess.h"

#include "orka/testing/ToolRunner.h"

#include <gtest/gtest.h>


using namespace orka::test;
namespace fs = std::filesystem;

namespace {

using orka::testing::shellQuote;
using Outcome = orka::testing::ToolRun;

class Orkactl : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        home = Simulator::makeHome();
        sim = std::make_unique<Simulator>(home, Simulator::Options{4, "Q5", {}});
    }
    void TearDown() override
    {
        sim.reset();
        std::error_code ec;
        fs::remove_all(home, ec);
    }
    Outcome orkactl(const std::vector<std::string>& args, const char* portEnv = nullptr)
    {
        std::string cmd = portEnv ? std::string("ORKA_PORT=") + portEnv + " " : std::string("unset ORKA_PORT; ");
        cmd += shellQuote(orka::testing::testBinary("orkactl").string());
        for (const auto& a : args)
            cmd += " " + shellQuote(a);
        return orka::testing::runShell(cmd);
    }
    std::vector<std::string> withPort(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--port", std::to_string(GetParam())});
        return args;
    }
    fs::path writeFile(const std::string& name, const std::vector<unsigned char>& bytes)
    {
        fs::path p = home / name;
        orka::testing::writeBytes(p, bytes);
        return p;
    }
    static std::string readFile(const fs::path& p) { return orka::testing::readText(p); }

    fs::path home;
    std::unique_ptr<Simulator> sim;
};

} // namespace

TEST_P(Orkactl, EveryStoreTypeRoundTrips)
{
    struct Case { int type; int part; };
    const Case cases[] = {{2, 0}, {3, 1}, {4, 0}, {5, 3}, {7, 0}, {8, 2}, {10, 0}, {11, 0}};
    unsigned seed = 3;
    for (auto c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type));
        auto bytes = patternBytes(700, seed++);
        auto file = writeFile("in" + std::to_string(c.type), bytes);
        std::vector<std::string> put = {"put", std::to_string(c.type), file.string(), "--part", std::to_string(c.part)};
        if (c.type == 3 || c.type == 8)
            put.insert(put.end(), {"--index", "1"});
        Outcome w = orkactl(withPort(put));
        ASSERT_EQ(w.code, 0) << w.err;
        const std::string index = w.out.substr(0, w.out.find('\n'));

        Outcome ls = orkactl(withPort({"ls", std::to_string(c.type)}));
        ASSERT_EQ(ls.code, 0) << ls.err;
        EXPECT_NE(ls.out.find(index + "\n"), std::string::npos);

        auto back = home / ("out" + std::to_string(c.type));
        Outcome g = orkactl(withPort({"get", std::to_string(c.type), index, "--part", std::to_string(c.part), "-o", back.string()}));
        ASSERT_EQ(g.code, 0) << g.err;
        EXPECT_EQ(readFile(back), readFile(file));

        Outcome rm = orkactl(withPort({"rm", std::to_string(c.type), index, "--part", std::to_string(c.part)}));
        EXPECT_EQ(rm.code, 0) << rm.err;
    }
}

TEST_P(Orkactl, FeaturesFreeIndexesNamesAndPreview)
{
    Outcome f = orkactl(withPort({"features", "7"}));
    ASSERT_EQ(f.code, 0) << f.err;
    int values = 0;
    for (char ch : f.out)
        values += ch == ' ';
    EXPECT_EQ(values, 6);

    Outcome free1 = orkactl(withPort({"ls", "2", "--free"}));
    ASSERT_EQ(free1.code, 0);
    EXPECT_EQ(free1.out.substr(0, 2), "1\n");

    auto file = writeFile("pic", patternBytes(50));
    ASSERT_EQ(orkactl(withPort({"put", "2", file.string()})).out, "1\n");
    ASSERT_EQ(orkactl(withPort({"put", "2", file.string()})).out, "2\n");
    Outcome n = orkactl(withPort({"name", "2", "2", "海邊 Beach"}));
    ASSERT_EQ(n.code, 0) << n.err;
    EXPECT_EQ(orkactl(withPort({"name", "2", "2"})).out, "海邊 Beach\n");
    Outcome tooLong = orkactl(withPort({"name", "2", "2", "一二三四五六七八九十A"}));
    EXPECT_EQ(tooLong.code, 1);

    EXPECT_EQ(orkactl(withPort({"preview", "2", file.string()})).code, 0);
}

TEST_P(Orkactl, FailuresShowTheEngineText)
{
    Outcome missing = orkactl(withPort({"get", "7", "9", "-o", (home / "x").string()}));
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.err, "手機資料找不到.\n");
    EXPECT_FALSE(fs::exists(home / "x"));

    sim->setFaults({"full"});
    auto file = writeFile("tone", patternBytes(20));
    Outcome full = orkactl(withPort({"put", "7", file.string(), "--index", "3"}));
    EXPECT_EQ(full.code, 1);
    EXPECT_EQ(full.err, "手機記憶體已滿.\n請刪除您手機上不用的資料再試.\n");
}

INSTANTIATE_TEST_SUITE_P(Links, Orkactl, ::testing::Values(4, 300),
                         [](const auto& info) { return info.param == 300 ? std::string("Infrared") : std::string("Cable"); });

TEST(OrkactlUsage, UsageErrorsExitTwo)
{
    auto home = Simulator::makeHome();
    const std::string exe = shellQuote(orka::testing::testBinary("orkactl").string());
    for (const char* args : {"", "frobnicate 2", "features", "get 2 1", "ls x", "--port 0 features 2",
                             "--port 999 features 2", "rm 2 0", "put 2", "--part -1 ls 2"}) {
        EXPECT_EQ(orka::testing::runShell(exe + " " + args).code, 2) << args;
    }
    // A port with nothing behind it fails with the engine's text and exit 1.
    EXPECT_EQ(orka::testing::runShell(exe + " --port 9 features 2").code, 1);
    // Without --port the default comes from ORKA_PORT.
    EXPECT_EQ(orka::testing::runShell("ORKA_PORT=abc " + exe + " features 2").code, 2);
    fs::remove_all(home);
}
