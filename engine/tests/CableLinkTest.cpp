// The engine over a real pseudo-terminal and over the virtual IrDA bus against the
// handset simulator: every store type round-trips, blocks are cut as the link wants.
#include "SimulatorFixture.h"

#include "orka/platform/Codepage.h"
#include "orka/platform/StatePaths.h"

#include <cstring>
#include <fstream>
#include <thread>

using namespace orka::test;

namespace {

struct StoreCase {
    int type;
    int part;
};

class BothLinks : public SimulatorTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        SimulatorTest::SetUp();
        start({});
        ASSERT_EQ(PIOOpen(GetParam()), 1) << PIOGetLastErrMsg();
    }
    std::vector<int> indexes(int type, int selector)
    {
        PIOResult* r = keep(PIOQXIndexRead(1, type, selector, 3));
        std::vector<int> out;
        if (r && r->ok && r->data) {
            auto* l = static_cast<PIOIndexList*>(r->data);
            out.assign(l->numbers, l->numbers + l->count);
        }
        return out;
    }
};

} // namespace

TEST_P(BothLinks, EveryStoreTypeRoundTripsWithItsParts)
{
    const StoreCase cases[] = {{2, 0}, {3, 1}, {3, 2}, {4, 0}, {5, 1}, {5, 5}, {7, 0}, {8, 1}, {10, 0}, {11, 0}};
    unsigned seed = 1;
    for (auto c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type) + " part " + std::to_string(c.part));
        PIOResult* f = keep(PIOQXFeatureRead(1, c.type, 3));
        ASSERT_TRUE(f && f->ok && f->data);
        EXPECT_GT(static_cast<PIOFeatureRecord*>(f->data)->values[1], 0);

        // Sets (main menus, MIDlets) are item 1 with one part per piece.
        const bool set = c.type == 3 || c.type == 8;
        auto freeList = indexes(c.type, 1);
        ASSERT_TRUE(set || !freeList.empty());
        const int index = set ? 1 : freeList.front();
        auto bytes = patternBytes(c.type == 10 ? 60 : 333, seed++);
        PIOResult* w = keep(PIOQXDataWrite(1, c.type, index, c.part, bytes.data(), bytes.size(), 3));
        ASSERT_TRUE(w);
        ASSERT_EQ(w->ok, 1) << (w->data ? static_cast<char*>(w->data) : "");

        PIOResult* r = keep(PIOQXDataRead(1, c.type, index, c.part, 3));
        ASSERT_TRUE(r && r->ok == 1 && r->data);
        auto* rec = static_cast<PIODataRecord*>(r->data);
        ASSERT_EQ(rec->count, static_cast<int>(bytes.size()));
        EXPECT_EQ(std::memcmp(rec->bytes, bytes.data(), bytes.size()), 0);
        EXPECT_EQ(rec->part, c.part);

        auto used = indexes(c.type, 2);
        EXPECT_NE(std::find(used.begin(), used.end(), index), used.end());
    }
}

TEST_P(BothLinks, DeletedItemsAreGoneAndReadingThemGivesTheHandsetText)
{
    auto bytes = patternBytes(10);
    PIOResult* w = keep(PIOQXDataWrite(1, 7, 3, 0, bytes.data(), bytes.size(), 3));
    ASSERT_EQ(w->ok, 1);
    PIOResult* d = keep(PIOQXDataDelete(1, 7, 3, 0, 3));
    ASSERT_EQ(d->ok, 1);
    sim->clearLog();
    PIOResult* r = keep(PIOQXDataRead(1, 7, 3, 0, 3));
    EXPECT_EQ(r->ok, 0);
    EXPECT_EQ(r->error, 25022);
    EXPECT_STREQ(static_cast<char*>(r->data), "手機資料找不到.");
    EXPECT_EQ(sim->countReceived("AT^QXBNR=7,3,0"), 4);
}

TEST_P(BothLinks, BlocksFollowTheLink)
{
    auto bytes = patternBytes(250);
    sim->clearLog();
    PIOResult* w = keep(PIOQXDataWrite(1, 2, 1, 0, bytes.data(), bytes.size(), 3));
    ASSERT_EQ(w->ok, 1);
    auto lines = sim->received();
    if (GetParam() == kCom) {
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[0].substr(0, 22), "AT^QXBNW=2,1,0,3,1,200");
        EXPECT_EQ(lines[2].substr(0, 22), "AT^QXBNW=2,1,0,3,3,100");
    } else {
        ASSERT_EQ(lines.size(), 5u);
        EXPECT_EQ(lines[4].substr(0, 22), "AT^QXBNW=2,1,0,5,5,100");
    }
    sim->clearLog();
    const unsigned char abc[] = {0x41, 0x42, 0x43};
    PIOResult* one = keep(PIOQXDataWrite(1, 2, 5, 0, const_cast<unsigned char*>(abc), 3, 3));
    ASSERT_EQ(one->ok, 1);
    ASSERT_EQ(sim->received().size(), 1u);
    EXPECT_EQ(sim->received()[0], "AT^QXBNW=2,5,0,1,1,6,\"414243\"");
}

TEST_P(BothLinks, PreviewIsSentInTwoHundredCharacterBlocks)
{
    auto bytes = patternBytes(150);
    sim->clearLog();
    PIOResult* p = keep(PIOQXDataPreview(1, 2, 0, bytes.data(), bytes.size(), 3));
    ASSERT_EQ(p->ok, 1);
    EXPECT_EQ(sim->countReceived("AT^QXDPV=2,1,0,2,"), 2);
}

TEST_P(BothLinks, NamesOfTwentyBytesGoAsFortyHexDigitsAndTwentyOneAreRefused)
{
    const std::string twenty = *orka::platform::Codepage::utf8ToAnsi("一二三四五六七八九十");
    ASSERT_EQ(twenty.size(), 20u);
    auto bytes = patternBytes(5);
    keep(PIOQXDataWrite(1, 2, 2, 0, bytes.data(), bytes.size(), 3));
    sim->clearLog();
    std::string name = twenty;
    PIOResult* w = keep(PIOQXUpdateName(1, 2, 2, name.data(), 3));
    ASSERT_TRUE(w);
    EXPECT_EQ(w->ok, 1);
    ASSERT_EQ(sim->received().size(), 1u);
    EXPECT_EQ(sim->received()[0].substr(0, 17), "AT^QXUIN=2,2,40,\"");
    EXPECT_EQ(sim->received()[0].substr(17, 4), "004E"); // 一 is U+4E00, low byte first

    std::string back;
    EXPECT_EQ(PIOQXGetName(back, 2, 2), 20);
    EXPECT_EQ(back, twenty);

    std::string tooLong = twenty + "A";
    sim->clearLog();
    EXPECT_EQ(PIOQXUpdateName(1, 2, 2, tooLong.data(), 3), 0ul);
    EXPECT_TRUE(sim->received().empty());
}

TEST_P(BothLinks, NameOfAnUnknownIndexIsEmpty)
{
    std::string name = "left over";
    EXPECT_EQ(PIOQXGetName(name, 2, 29), 0);
    EXPECT_TRUE(name.empty());
}

TEST_P(BothLinks, NameWithCharactersOutsideTheCodePageKeepsTheRest)
{
    // "AéB", "A们B" (a simplified character Big5 lacks) and "A😀B" as the handset stores them.
    const std::vector<std::string> stored = {"4100E9004200", "4100EC4E4200", "41003DD800DE4200"};
    ASSERT_EQ(PIOClose(), 1);
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const auto item = sim->storeDir() / "store2" / ("item" + std::to_string(i + 1));
        std::filesystem::create_directories(item);
        std::ofstream(item / "part0.bin") << "x";
        std::ofstream(item / "name.hex") << stored[i];
    }
    start({});
    ASSERT_EQ(PIOOpen(GetParam()), 1) << PIOGetLastErrMsg();
    for (int index = 1; index <= 3; ++index) {
        std::string name;
        EXPECT_EQ(PIOQXGetName(name, 2, index), 3) << index;
        EXPECT_EQ(name, "A?B") << index;
    }
}

TEST_P(BothLinks, LateAnswerIsNotTakenByTheNextCommand)
{
    auto midlet = patternBytes(40);
    ASSERT_EQ(keep(PIOQXDataWrite(1, 8, 1, 1, midlet.data(), midlet.size(), 3))->ok, 1);
    for (int index = 1; index <= 3; ++index)
        ASSERT_EQ(keep(PIOQXDataWrite(1, 2, index, 0, midlet.data(), 4, 3))->ok, 1);
    // A MIDlet read waits 0 ms for its answer: every line of it comes after the engine gave up.
    sim->setFaults({"slow=300:QXBNR*1"});
    keep(PIOQXDataRead(1, 8, 1, 1, 3));
    std::this_thread::sleep_for(std::chrono::milliseconds(1200)); // every late line is in
    sim->setFaults({});
    EXPECT_EQ(indexes(2, 2), (std::vector<int>{1, 2, 3}));
}

TEST_P(BothLinks, ReopeningTheLinkKeepsWorking)
{
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(PIOClose(), 1);
        ASSERT_EQ(PIOOpen(GetParam()), 1) << PIOGetLastErrMsg();
        PIOResult* f = keep(PIOQXFeatureRead(1, 7, 3));
        ASSERT_EQ(f->ok, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Links, BothLinks, ::testing::Values(SimulatorTest::kCom, PIO_PORT_IRDA),
                         [](const auto& info) { return info.param == PIO_PORT_IRDA ? std::string("Infrared") : std::string("Cable"); });

TEST_F(SimulatorTest, PortsThreeHundredAndThreeHundredOneAreBothInfrared)
{
    start({0, "Q5", {}});
    for (int port : {300, 301}) {
        ASSERT_EQ(PIOOpen(port), 1) << PIOGetLastErrMsg();
        PIOResult* f = keep(PIOQXFeatureRead(1, 2, 3));
        EXPECT_EQ(f->ok, 1);
    }
}

TEST_F(SimulatorTest, SerialPortNumbersEndAtTwoHundredFiftySix)
{
    start({kCom, "", {}});
    const auto links = orka::platform::StatePaths::dosDevicesDir();
    const auto handset = std::filesystem::read_symlink(links / "com5");
    std::filesystem::create_symlink(handset, links / "com256");
    std::filesystem::create_symlink(handset, links / "com257");
    ASSERT_EQ(PIOOpen(256), 1) << PIOGetLastErrMsg();
    EXPECT_EQ(keep(PIOQXFeatureRead(1, 2, 3))->ok, 1);
    EXPECT_EQ(PIOOpen(257), 0);
    EXPECT_STREQ(PIOGetLastErrMsg(), "找不到 COM257:.");
}

TEST_F(SimulatorTest, ASecondOpenOfABusyPortFailsWithItsText)
{
    start({kCom, "", {}});
    ASSERT_EQ(PIOOpen(kCom), 1);
    orka::platform::SerialPort other;
    EXPECT_NE(other.open("COM5:"), 0);
    // Through the engine in another process: the port is busy.
    ASSERT_EQ(PIOClose(), 1);
    EXPECT_EQ(other.open("COM5:"), 0);
    EXPECT_EQ(PIOOpen(kCom), 0);
    EXPECT_STREQ(PIOGetLastErrMsg(), "COM5: 正被其他程式使用中.");
}

TEST_F(SimulatorTest, SerialSettingsThePortCannotTakeAreRefusedWithNumbers)
{
    start({kCom, "", {}});
    DCB odd = DCB{};
    odd.BaudRate = 12345;
    odd.ByteSize = 8;
    PIOSetCOMPort(odd);
    EXPECT_EQ(PIOOpen(kCom), 0);
    EXPECT_STREQ(PIOGetLastErrMsg(), "無法設定序列埠: COM5:\n106:500:183:22");
    DCB good = DCB{};
    good.BaudRate = 115200;
    good.ByteSize = 8;
    good.fDtrControl = 2;
    good.fRtsControl = 2;
    PIOSetCOMPort(good);
    EXPECT_EQ(PIOOpen(kCom), 1);
}
