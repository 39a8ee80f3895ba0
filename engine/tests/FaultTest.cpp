// A misbehaving handset on the cable: the engine gives the defined result, within the
// time limits, and keeps working afterwards.
#include "SimulatorFixture.h"

using namespace orka::test;
using Clock = std::chrono::steady_clock;

namespace {
class CableFaults : public SimulatorTest {
protected:
    void SetUp() override
    {
        SimulatorTest::SetUp();
        start({kCom, "", {}});
        ASSERT_EQ(PIOOpen(kCom), 1) << PIOGetLastErrMsg();
    }
    long long millisSince(Clock::time_point t0)
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    }
};
} // namespace

TEST_F(CableFaults, SilentHandsetTimesOutAfterFourSendings)
{
    sim->setFaults({"silent"});
    sim->clearLog();
    const auto t0 = Clock::now();
    PIOResult* r = keep(PIOQXFeatureRead(1, 2, 3));
    const auto ms = millisSince(t0);
    EXPECT_EQ(r->error, -1);
    EXPECT_EQ(r->ok, 0);
    EXPECT_EQ(r->kind, -1);
    EXPECT_STREQ(static_cast<char*>(r->data), "AT 指令已逾時.");
    EXPECT_EQ(sim->countReceived("AT^QXFTR=2"), 4);
    // Four waits of just over 3 s with three 50 ms pauses.
    EXPECT_GE(ms, 4 * 3000);
    EXPECT_LT(ms, 4 * 3000 + 3000);
}

TEST_F(CableFaults, EchoedCommandIsIgnored)
{
    sim->setFaults({"echo"});
    auto bytes = patternBytes(300);
    ASSERT_EQ(keep(PIOQXDataWrite(1, 7, 2, 0, bytes.data(), bytes.size(), 3))->ok, 1);
    PIOResult* r = keep(PIOQXDataRead(1, 7, 2, 0, 3));
    ASSERT_EQ(r->ok, 1);
    EXPECT_EQ(static_cast<PIODataRecord*>(r->data)->count, 300);
    PIOResult* l = keep(PIOQXIndexRead(1, 7, 2, 3));
    ASSERT_TRUE(l->data);
    EXPECT_EQ(static_cast<PIOIndexList*>(l->data)->count, 1);
}

TEST_F(CableFaults, LowerCaseOkDoesNotEndTheAnswer)
{
    sim->setFaults({"lowercase-ok*1"});
    sim->clearLog();
    const auto t0 = Clock::now();
    PIOResult* r = keep(PIOQXFeatureRead(1, 2, 3));
    EXPECT_EQ(r->ok, 1);
    EXPECT_EQ(sim->countReceived("AT^QXFTR=2"), 2);
    EXPECT_GE(millisSince(t0), 3000);
}

TEST_F(CableFaults, HandsetErrorsAndPlainErrors)
{
    sim->setFaults({"cme=22:QXFTR"});
    sim->clearLog();
    PIOResult* r = keep(PIOQXFeatureRead(1, 2, 3));
    EXPECT_EQ(r->error, 25022);
    EXPECT_STREQ(static_cast<char*>(r->data), "手機資料找不到.");
    EXPECT_EQ(sim->countReceived("AT^QXFTR=2"), 4);

    sim->setFaults({"cms=322"});
    PIOResult* cms = keep(PIOQXIndexRead(1, 2, 1, 3));
    EXPECT_EQ(cms->error, 25322);

    sim->setFaults({"error"});
    PIOResult* e = keep(PIOQXDataDelete(1, 2, 1, 0, 3));
    EXPECT_EQ(e->ok, 0);
    EXPECT_EQ(e->error, 0);
    EXPECT_EQ(e->data, nullptr);
}

TEST_F(CableFaults, FullStoreRefusesWrites)
{
    sim->setFaults({"full"});
    auto bytes = patternBytes(20);
    PIOResult* w = keep(PIOQXDataWrite(1, 2, 1, 0, bytes.data(), bytes.size(), 3));
    EXPECT_EQ(w->error, 25020);
    EXPECT_STREQ(static_cast<char*>(w->data), "手機記憶體已滿.\n請刪除您手機上不用的資料再試.");
}

TEST_F(CableFaults, DataReadSequenceAndLengthFaults)
{
    auto bytes = patternBytes(450);
    ASSERT_EQ(keep(PIOQXDataWrite(1, 4, 1, 0, bytes.data(), bytes.size(), 3))->ok, 1);
    sim->setFaults({"block-order"});
    PIOResult* order = keep(PIOQXDataRead(1, 4, 1, 0, 3));
    EXPECT_EQ(order->ok, 0);
    EXPECT_EQ(order->error, 0);
    EXPECT_STREQ(static_cast<char*>(order->data), "不正確的資料傳送順序.");
    sim->setFaults({"wrong-length"});
    PIOResult* length = keep(PIOQXDataRead(1, 4, 1, 0, 3));
    EXPECT_STREQ(static_cast<char*>(length->data), "不正確的位元資料長度.");
}

TEST_F(CableFaults, LongAndBinaryLinesBeforeTheAnswerArriveWhole)
{
    sim->setFaults({"long-line=5000", "garbage"});
    PIOResult* f = keep(PIOQXFeatureRead(1, 2, 3));
    ASSERT_EQ(f->ok, 1);
    ASSERT_TRUE(f->data);
    PIOResult* l = keep(PIOQXIndexRead(1, 2, 1, 3));
    EXPECT_EQ(l->ok, 1);
    EXPECT_TRUE(l->data);
}

TEST_F(CableFaults, SlowAnswersWithinTheLimitSucceed)
{
    sim->setFaults({"slow=400"});
    const auto t0 = Clock::now();
    PIOResult* f = keep(PIOQXFeatureRead(1, 2, 3));
    EXPECT_EQ(f->ok, 1);
    EXPECT_GE(millisSince(t0), 400);
}

TEST_F(CableFaults, DroppedCableTimesOutAndTheNextOpenWorks)
{
    sim->setFaults({"drop-after=1"});
    ASSERT_EQ(keep(PIOQXFeatureRead(1, 2, 3))->ok, 1);
    PIOResult* lost = keep(PIOQXFeatureRead(1, 2, 3));
    EXPECT_EQ(lost->error, -1);
    EXPECT_STREQ(static_cast<char*>(lost->data), "AT 指令已逾時.");
    sim->setFaults({});
    ASSERT_EQ(PIOClose(), 1);
    ASSERT_EQ(PIOOpen(kCom), 1) << PIOGetLastErrMsg();
    EXPECT_EQ(keep(PIOQXFeatureRead(1, 2, 3))->ok, 1);
}
