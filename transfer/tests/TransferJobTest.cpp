// The four jobs against the handset simulator, with the faults a real handset shows.
#include "orka/transfer/TransferJob.h"

#include "orka/testing/SimulatorProcess.h"
#include "orka/pio.h"
#include "orka/testing/ToolRunner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

using namespace orka::transfer;
using orka::test::patternBytes;
using orka::test::Simulator;
namespace fs = std::filesystem;

namespace {

constexpr int kPort = 6;
using Result = JobOutcome::Result;

class Jobs : public ::testing::Test {
protected:
    void SetUp() override
    {
        home = Simulator::makeHome();
        ASSERT_TRUE(PIOInitPhone());
    }
    void TearDown() override
    {
        sim.reset();
        std::error_code ec;
        fs::remove_all(home, ec);
    }
    // Items already on the handset and store sizes, before the simulator starts.
    void putItem(int type, int index, int part, const std::vector<unsigned char>& bytes)
    {
        const fs::path dir = home / "store" / ("store" + std::to_string(type)) / ("item" + std::to_string(index));
        fs::create_directories(dir);
        orka::testing::writeBytes(dir / ("part" + std::to_string(part) + ".bin"), bytes);
    }
    void setStoreSize(int type, int capacity, int parts)
    {
        fs::create_directories(home / "store");
        std::ofstream(home / "store" / "stores.txt") << type << " " << capacity << " " << parts << " 10000000\n";
    }
    void start(std::vector<std::string> faults = {})
    {
        sim = std::make_unique<Simulator>(home, Simulator::Options{kPort, "", std::move(faults)});
    }
    std::vector<unsigned char> stored(int type, int index, int part) const
    {
        const std::string text = orka::testing::readText(sim->storeDir() / ("store" + std::to_string(type)) /
                                                         ("item" + std::to_string(index)) /
                                                         ("part" + std::to_string(part) + ".bin"));
        return {text.begin(), text.end()};
    }
    static TransferEntry entry(std::vector<unsigned char> bytes) { return TransferEntry{{std::move(bytes)}}; }

    fs::path home;
    std::unique_ptr<Simulator> sim;
};

} // namespace

TEST_F(Jobs, DownloadReadsEveryItemInHandsetOrder)
{
    const auto a = patternBytes(300, 1), b = patternBytes(900, 2);
    putItem(7, 2, 0, a);
    putItem(7, 5, 0, b);
    start();
    CTransferDlg dlg(7, JobKind::Download);
    const JobOutcome out = dlg.run(kPort);
    EXPECT_EQ(out.result, Result::Succeeded);
    EXPECT_EQ(out.message, "下載成功!");
    ASSERT_EQ(dlg.items.size(), 2u);
    EXPECT_EQ(dlg.items[0].parts[0], a);
    EXPECT_EQ(dlg.items[1].parts[0], b);
    EXPECT_EQ(dlg.handsetNumbers, (std::vector<unsigned>{2, 5}));
    EXPECT_EQ(dlg.progress.countText(), "2 / 2");
    EXPECT_EQ(dlg.progress.position(), 50);
}

TEST_F(Jobs, DownloadOfAnEmptyStoreEndsQuietlyAndOneWithoutNumbersSaysNoData)
{
    start();
    CTransferDlg empty(2, JobKind::Download);
    const JobOutcome quiet = empty.run(kPort);
    EXPECT_EQ(quiet.result, Result::NothingDone);
    EXPECT_EQ(quiet.message, "");

    sim->setFaults({"empty-list-line"});
    CTransferDlg noNumbers(2, JobKind::Download);
    const JobOutcome out = noNumbers.run(kPort);
    EXPECT_EQ(out.result, Result::Failed);
    EXPECT_EQ(out.message, "無資料!\n31031:300:10:0");
}

TEST_F(Jobs, CancelAfterTheSecondItemKeepsTwoItemsWithoutSuccess)
{
    for (int i = 1; i <= 4; ++i)
        putItem(2, i, 0, patternBytes(200, unsigned(i)));
    start();
    CTransferDlg dlg(2, JobKind::Download);
    dlg.progress.onCountChanged([&dlg](int done, int) {
        if (done == 2)
            dlg.pressCancel();
    });
    const JobOutcome out = dlg.run(kPort);
    EXPECT_EQ(out.result, Result::NothingDone);
    EXPECT_EQ(out.message, "");
    EXPECT_EQ(dlg.items.size(), 2u);
    EXPECT_EQ(dlg.handsetNumbers, (std::vector<unsigned>{1, 2}));
    EXPECT_EQ(sim->countReceived("AT^QXBNR="), 2);
}

TEST_F(Jobs, HandsetFailingMidJobEndsWithItsMessageAndThePortClosed)
{
    for (int i = 1; i <= 3; ++i)
        putItem(4, i, 0, patternBytes(4950, unsigned(i)));
    start();
    CTransferDlg dlg(4, JobKind::Download);
    dlg.progress.onCountChanged([this](int done, int) {
        if (done == 1)
            sim->setFaults({"cme=22:QXBNR"});
    });
    const JobOutcome out = dlg.run(kPort);
    EXPECT_EQ(out.result, Result::Failed);
    EXPECT_EQ(out.message, "手機資料找不到.\n31031:300:20:0");
    EXPECT_EQ(dlg.items.size(), 1u) << "the item read before stays";
    EXPECT_FALSE(dlg.progress.timerRunning());

    sim->setFaults({"error:QXBNR"});
    CTransferDlg plain(4, JobKind::Download);
    EXPECT_EQ(plain.run(kPort).message, "無回應!\n31031:300:30:0");

    sim->setFaults({});
    CTransferDlg again(4, JobKind::Download);
    EXPECT_EQ(again.run(kPort).result, Result::Succeeded) << "the port was closed and opens again";
}

TEST_F(Jobs, OpenFailureShowsItsMessageWithTheOpenNumbers)
{
    CTransferDlg dlg(2, JobKind::Delete);
    dlg.handsetNumbers = {1};
    const JobOutcome out = dlg.run(kPort + 1); // no handset there
    EXPECT_EQ(out.result, Result::Failed);
    EXPECT_EQ(out.message, "開啟序列埠失敗!\n31031:100:10");
}

TEST_F(Jobs, UploadStopsWhenTheStoreIsFullAndKeepsWhatWentBefore)
{
    setStoreSize(2, 2, 0);
    start();
    CTransferDlg dlg(2, JobKind::Upload);
    for (unsigned i = 0; i < 3; ++i)
        dlg.items.push_back(entry(patternBytes(500, i + 10)));
    const JobOutcome out = dlg.run(kPort);
    EXPECT_EQ(out.result, Result::Failed);
    EXPECT_EQ(out.message, "無儲存空間\n31031:200:20:0");
    EXPECT_EQ(stored(2, 1, 0), patternBytes(500, 10));
    EXPECT_EQ(stored(2, 2, 0), patternBytes(500, 11));
    EXPECT_EQ(dlg.progress.countText(), "2 / 3");

    // A handset that answers the free list with its line but no numbers says the same.
    sim->setFaults({"empty-list-line"});
    CTransferDlg more(2, JobKind::Upload);
    more.items.push_back(entry(patternBytes(100, 1)));
    EXPECT_EQ(more.run(kPort).message, "無儲存空間\n31031:200:20:0");
}

TEST_F(Jobs, MainMenuCancelAnsweredNoGoesOnWhereItWas)
{
    start();
    CTransferDlg dlg(3, JobKind::Upload);
    for (unsigned i = 0; i < 4; ++i)
        dlg.items.push_back(entry(patternBytes(400, i + 20)));
    std::atomic<bool> asked{false};
    dlg.progress.onCountChanged([&](int done, int) {
        if (done == 1)
            asked = dlg.pressCancel();
    });
    dlg.start(kPort);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_TRUE(asked);
    EXPECT_EQ(dlg.progress.done(), 1) << "the upload waits while the user is asked";
    dlg.answerCancelQuestion(false);
    const JobOutcome out = dlg.wait();
    EXPECT_EQ(out.result, Result::Succeeded);
    EXPECT_EQ(out.message, "上傳成功!");
    for (int part = 1; part <= 4; ++part)
        EXPECT_EQ(stored(3, 1, part), patternBytes(400, unsigned(part - 1 + 20))) << "part " << part;
}

TEST_F(Jobs, PreviewOfAOneFrameAnimationShowsFrameOneOnly)
{
    start();
    CTransferDlg dlg(5, JobKind::Preview);
    dlg.items.push_back(entry(patternBytes(700, 3)));
    const JobOutcome out = dlg.run(kPort);
    EXPECT_EQ(out.result, Result::Succeeded);
    EXPECT_EQ(out.message, "預覽成功!");
    EXPECT_GT(sim->countReceived("AT^QXDPV=5,1,1,"), 0);
    EXPECT_EQ(sim->countReceived("AT^QXDPV="), sim->countReceived("AT^QXDPV=5,1,1,")) << "frame 1 only";
    const std::string shown = orka::testing::readText(sim->storeDir() / "preview" / "store5-part1.bin");
    EXPECT_EQ(std::vector<unsigned char>(shown.begin(), shown.end()), patternBytes(700, 3));
}

TEST_F(Jobs, DeleteOfThreeItemsSendsThreeDeletesAndEndsAtThreeOfThree)
{
    for (int i = 1; i <= 4; ++i)
        putItem(7, i, 0, patternBytes(100, unsigned(i)));
    start();
    CTransferDlg dlg(7, JobKind::Delete);
    dlg.handsetNumbers = {1, 3, 4};
    const JobOutcome out = dlg.run(kPort);
    EXPECT_EQ(out.result, Result::Succeeded);
    EXPECT_EQ(out.message, "刪除成功!");
    EXPECT_EQ(dlg.progress.countText(), "3 / 3");
    EXPECT_EQ(sim->countReceived("AT^QXBNW=7,"), 3);
    EXPECT_FALSE(fs::exists(sim->storeDir() / "store7" / "item1"));
    EXPECT_TRUE(fs::exists(sim->storeDir() / "store7" / "item2"));
}
