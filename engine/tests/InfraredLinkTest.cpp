// Opening the infrared link: device search, the IrCOMM service check and its failures.
#include "SimulatorFixture.h"

#include <thread>

using namespace orka::test;

TEST_F(SimulatorTest, DeviceSearchWaitsForADeviceThatComesIntoRange)
{
    std::thread later([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        start({0, "Q5", {}});
    });
    const auto t0 = std::chrono::steady_clock::now();
    const int opened = PIOOpen(300);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    later.join();
    ASSERT_EQ(opened, 1) << PIOGetLastErrMsg();
    EXPECT_GE(ms, 1000);
    EXPECT_LT(ms, 4000); // found on a later search, well before a sixth would start
}

TEST_F(SimulatorTest, ServiceTypeAfterAnotherParameterIsAccepted)
{
    start({0, "Q5", {"irda-service-late"}});
    ASSERT_EQ(PIOOpen(300), 1) << PIOGetLastErrMsg();
    EXPECT_EQ(keep(PIOQXFeatureRead(1, 2, 3))->ok, 1);
}

TEST_F(SimulatorTest, DeviceWithoutNineWireModeIsRefused)
{
    start({0, "Q5", {"irda-no9wire"}});
    EXPECT_EQ(PIOOpen(300), 0);
    EXPECT_STREQ(PIOGetLastErrMsg(), "無法設定序列埠: 紅外線裝置不支援 IrComm 的 9 wire mode!\n210:100:265:0");
}

TEST_F(SimulatorTest, DeviceWithoutIrCommIsRefused)
{
    start({0, "Q5", {"irda-noircomm"}});
    EXPECT_EQ(PIOOpen(301), 0);
    EXPECT_STREQ(PIOGetLastErrMsg(), "無法設定序列埠: 紅外線裝置不支援 IrComm!\n210:100:230:0");
    // The unconnected link stays until the next open: commands fail with the time limit.
    PIOResult* r = keep(PIOQXFeatureRead(1, 2, 3));
    EXPECT_EQ(r->error, -1);
    EXPECT_EQ(r->kind, -1);
}

TEST_F(SimulatorTest, DroppedInfraredLinkEndsTheCommandWithTheReadText)
{
    start({0, "Q5", {"drop-after=2"}});
    ASSERT_EQ(PIOOpen(300), 1);
    auto bytes = patternBytes(400);
    PIOResult* w = keep(PIOQXDataWrite(1, 7, 1, 0, bytes.data(), bytes.size(), 3));
    ASSERT_TRUE(w);
    EXPECT_EQ(w->ok, 0);
    EXPECT_EQ(w->error, -1);
    EXPECT_EQ(w->kind, -1);
    // Whichever side notices first: the next block cannot be sent, or its answer cannot be read.
    const std::string text = static_cast<char*>(w->data);
    const bool readFailed = text.rfind("無法從紅外線裝置讀取資料: ", 0) == 0 && text.find("\n210:350:494:0") != std::string::npos;
    const bool sendFailed = text.rfind("無法從紅外線裝置寫入資料: ", 0) == 0 && text.find("\n210:200:386:") != std::string::npos;
    EXPECT_TRUE(readFailed || sendFailed) << text;
    EXPECT_EQ(std::string(PIOGetLastErrMsg()), text);
    EXPECT_EQ(PIOClose(), 1);
}
