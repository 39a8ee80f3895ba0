// Fault texts, how often each fault acts, and the line handling of one link.
#include "FaultSet.h"
#include "LinkSession.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace q5sim;
namespace fs = std::filesystem;

namespace {

TEST(FaultSpecTest, ParsesNameValueCommandAndCount)
{
    auto f = parseFault("cme=22:QXBNR*2");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->kind, FaultKind::Cme);
    EXPECT_EQ(f->value, 22);
    EXPECT_EQ(f->command, "QXBNR");
    EXPECT_EQ(f->limit, 2);
    auto g = parseFault(" silent:at^qxdir ");
    ASSERT_TRUE(g);
    EXPECT_EQ(g->command, "QXDIR");
    EXPECT_FALSE(g->limit);
    EXPECT_TRUE(parseFault("irda-service-late"));
    // An answer text may hold ':' and '*' where they make no suffix.
    auto a = parseFault("answer=+CME ERROR:22*3");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->text, "+CME ERROR:22");
    EXPECT_EQ(a->limit, 3);
    EXPECT_TRUE(a->command.empty());
    auto b = parseFault("answer=Error:QXDIR");
    ASSERT_TRUE(b);
    EXPECT_EQ(b->text, "Error");
    EXPECT_EQ(b->command, "QXDIR");
    EXPECT_EQ(parseFault("answer=*QX*")->text, "*QX*");
    EXPECT_FALSE(parseFault("answer="));
    EXPECT_TRUE(parseFault("slow=0"));

    std::string why;
    EXPECT_FALSE(parseFault("cme", &why));
    EXPECT_NE(why.find("needs a value"), std::string::npos);
    EXPECT_FALSE(parseFault("echo=1"));
    EXPECT_FALSE(parseFault("drop-after=0"));
    EXPECT_FALSE(parseFault("slow=-5"));
    EXPECT_FALSE(parseFault("cme=22:"));
    EXPECT_FALSE(parseFault("cme=22:QX-BNR"));
    EXPECT_FALSE(parseFault("silent*0"));
    EXPECT_FALSE(parseFault("silent*x"));
    EXPECT_FALSE(parseFault("wobble", &why));
    EXPECT_NE(why.find("unknown fault"), std::string::npos);
}

TEST(FaultSetTest, CountLimitsAndCommandFilters)
{
    FaultSet faults;
    ASSERT_TRUE(faults.addOption("silent*2"));
    ASSERT_TRUE(faults.addOption("cme=22:QXBNR"));
    ASSERT_TRUE(faults.addOption("full"));
    const AtCommand at = parseAtCommand("AT");
    const AtCommand read = parseAtCommand("AT^QXBNR=2,1,0");
    const AtCommand write = parseAtCommand("AT^QXBNW=2,1,0,1,1,2,\"00\"");
    const AtCommand remove = parseAtCommand("AT^QXBNW=2,1,0,0");
    EXPECT_TRUE(faults.planFor(at).silent);
    EXPECT_TRUE(faults.planFor(read).silent);
    CommandPlan third = faults.planFor(read);
    EXPECT_FALSE(third.silent);
    EXPECT_EQ(third.replacement, "+CME ERROR: 22");
    EXPECT_FALSE(faults.planFor(at).replacement);
    EXPECT_EQ(faults.planFor(write).replacement, "+CME ERROR: 20");
    EXPECT_FALSE(faults.planFor(remove).replacement); // a delete is no write
}

TEST(FaultSetTest, FirstReplacingFaultWinsAndOthersKeepTheirUses)
{
    FaultSet faults;
    ASSERT_TRUE(faults.addOption("error*1"));
    ASSERT_TRUE(faults.addOption("cms=500*1"));
    const AtCommand at = parseAtCommand("AT");
    EXPECT_EQ(faults.planFor(at).replacement, "ERROR");
    EXPECT_EQ(faults.planFor(at).replacement, "+CMS ERROR: 500");
    EXPECT_FALSE(faults.planFor(at).replacement);
}

TEST(FaultSetTest, DropAfterEveryNthCommand)
{
    FaultSet faults;
    ASSERT_TRUE(faults.addOption("drop-after=2*2"));
    const AtCommand at = parseAtCommand("AT");
    std::vector<bool> drops;
    for (int i = 0; i < 8; ++i)
        drops.push_back(faults.planFor(at).dropAfter);
    EXPECT_EQ(drops, (std::vector<bool>{false, true, false, true, false, false, false, false}));
}

TEST(FaultSetTest, FileReplacesOptionsWhileItExistsAndKeepsCountsWhileUnchanged)
{
    std::string pattern = (fs::temp_directory_path() / "q5sim-faults-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path file = fs::path(pattern) / "faults";
    FaultSet faults;
    ASSERT_TRUE(faults.addOption("error"));
    faults.watchFile(file);
    const AtCommand at = parseAtCommand("AT");
    EXPECT_TRUE(faults.refresh().empty());
    EXPECT_EQ(faults.planFor(at).replacement, "ERROR");

    std::ofstream(file) << "# test\ncme=13*1\nnonsense\n\nirda-noircomm\n";
    auto problems = faults.refresh();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(faults.planFor(at).replacement, "+CME ERROR: 13");
    EXPECT_TRUE(faults.iasVariant().noIrcomm);
    EXPECT_TRUE(faults.refresh().empty());
    EXPECT_FALSE(faults.planFor(at).replacement); // used up, and the unchanged file does not renew it

    fs::remove(file);
    faults.refresh();
    EXPECT_EQ(faults.planFor(at).replacement, "ERROR");
    EXPECT_FALSE(faults.iasVariant().noIrcomm);
    fs::remove_all(pattern);
}

TEST(FaultSetTest, PreludeLines)
{
    EXPECT_EQ(FaultSet::longLine(600).size(), 600u);
    EXPECT_EQ(FaultSet::longLine(3), "*QX");
    const std::string garbage = FaultSet::garbageLine();
    EXPECT_EQ(garbage.find_first_of(std::string("\r\n\0", 3)), std::string::npos);
    EXPECT_NE(garbage.find('\xFF'), std::string::npos);
}

class LinkSessionTest : public ::testing::Test {
protected:
    HandsetStore store{std::nullopt};
    FaultSet faults;
    Logger logger;
    LinkSession session{"test", store, faults, logger};
    LinkSession::Clock::time_point now = LinkSession::Clock::now();

    // Everything due by now, as the link would carry it.
    std::string drain()
    {
        std::string out;
        while (true) {
            auto step = session.next(now);
            if (step.step != LinkSession::Step::Send)
                return out;
            out += step.bytes;
            session.sent(step.bytes.size());
        }
    }
    void feed(const std::string& bytes) { session.receive(bytes.data(), bytes.size()); }
};

TEST_F(LinkSessionTest, LinesEndWithCarriageReturnAndCrLfIsTolerated)
{
    feed("AT\r\nAT^QXFTR");
    EXPECT_EQ(drain(), "OK\r\n");
    feed("=2\r");
    EXPECT_EQ(drain(), "^QXFTR: 2,30,0,0,30,4194304,20\r\nOK\r\n");
    feed("\r\n\r\n");
    EXPECT_EQ(drain(), "");
    EXPECT_TRUE(session.idle());
}

TEST_F(LinkSessionTest, OverlongLineIsAnsweredErrorAndTheNextLineWorks)
{
    feed("AT" + std::string(LinkSession::maxLineLength + 10, '1') + "\rAT\r");
    EXPECT_EQ(drain(), "ERROR\r\nOK\r\n");
}

TEST_F(LinkSessionTest, SlowAnswersComeLineByLineAndTheNextCommandWaits)
{
    ASSERT_TRUE(faults.addOption("slow=100"));
    feed("AT^QXFTR=2\rAT\r");
    EXPECT_EQ(drain(), "");
    now += std::chrono::milliseconds(100);
    EXPECT_EQ(drain(), "^QXFTR: 2,30,0,0,30,4194304,20\r\n");
    now += std::chrono::milliseconds(99);
    EXPECT_EQ(drain(), "");
    now += std::chrono::milliseconds(1);
    EXPECT_EQ(drain(), "OK\r\n");
    now += std::chrono::milliseconds(100);
    EXPECT_EQ(drain(), "OK\r\n"); // the second command, another 100 ms on
}

TEST_F(LinkSessionTest, PartialWritesResumeWhereTheyStopped)
{
    feed("AT\r");
    auto step = session.next(now);
    ASSERT_EQ(step.bytes, "OK\r\n");
    session.sent(1);
    EXPECT_EQ(session.next(now).bytes, "K\r\n");
}

TEST_F(LinkSessionTest, DropComesAfterTheAnswerAndForgetsWaitingLines)
{
    ASSERT_TRUE(faults.addOption("drop-after=1*1"));
    ASSERT_TRUE(faults.addOption("echo:QXFTR"));
    feed("AT\rAT^QXFTR=2\r");
    EXPECT_EQ(drain(), "OK\r\n");
    EXPECT_EQ(session.next(now).step, LinkSession::Step::Drop);
    session.reset();
    EXPECT_EQ(drain(), "");
    feed("AT^QXFTR=3\r");
    EXPECT_EQ(drain(), "AT^QXFTR=3\r\n^QXFTR: 3,1,81,0,1,2097152,20\r\nOK\r\n");
}

} // namespace
