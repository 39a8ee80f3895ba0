// The exported functions as a program sees them right after loading the library.
#include "orka/pio.h"
#include "orka/testing/ToolRunner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>

namespace {
class Pio : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // No port links and no IrDA devices: an empty home of our own.
        home_ = std::make_unique<orka::testing::ScratchDir>("orka-pio");
        ::setenv("ORKA_HOME", home_->path().c_str(), 1);
    }
    static void TearDownTestSuite() { home_.reset(); }

private:
    static inline std::unique_ptr<orka::testing::ScratchDir> home_;
};

// The engine is one object per process, so what other cases did stays behind. A check of the
// state right after loading runs in a fresh copy of this program (the "threadsafe" style
// starts the program again rather than forking it) and passes when that copy saw no failure.
#define EXPECT_IN_A_FRESH_PROCESS(...)                                                                         \
    do {                                                                                                       \
        GTEST_FLAG_SET(death_test_style, "threadsafe");                                                         \
        EXPECT_EXIT(                                                                                           \
            {                                                                                                  \
                __VA_ARGS__;                                                                                   \
                std::exit(::testing::Test::HasFailure() ? 1 : 0);                                              \
            },                                                                                                 \
            ::testing::ExitedWithCode(0), "");                                                                 \
    } while (false)
} // namespace

TEST_F(Pio, LastErrorBeforeAnyFailureIsTheZeroHandsetText)
{
    EXPECT_IN_A_FRESH_PROCESS(EXPECT_STREQ(PIOGetLastErrMsg(), "手機故障. (0)"));
}

TEST_F(Pio, VersionLeavesTheThirdNumberAlone)
{
    unsigned short major = 9, minor = 9, third = 77;
    PIOGetDLLVersion(&major, &minor, &third);
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 0);
    EXPECT_EQ(third, 77);
}

TEST_F(Pio, GalleryCallsBeforeInitRefuseAndFreeingNothingIsHarmless)
{
    EXPECT_IN_A_FRESH_PROCESS({
        PIOFreeMemory(0);
        EXPECT_EQ(PIOQXFeatureRead(1, 2, 3), 0ul);
        EXPECT_EQ(PIOInitPhone(), 1);
        const unsigned long r = PIOQXFeatureRead(1, 2, 3); // once initialised the call does run
        EXPECT_NE(r, 0ul);
        PIOFreeMemory(r);
        PIOFreeMemory(0);
    });
}

TEST_F(Pio, OpeningPortZeroFailsWithTheDeviceText)
{
    ASSERT_EQ(PIOInitPhone(), 1);
    EXPECT_EQ(PIOOpen(0), 0);
    EXPECT_STREQ(PIOGetLastErrMsg(), "找不到 COM0:.");
    EXPECT_EQ(PIOOpen(257), 0);
    EXPECT_EQ(PIOClose(), 1);
}

TEST_F(Pio, NamesOutsideOneToTwentyBytesAreRefusedWithoutACommand)
{
    ASSERT_EQ(PIOInitPhone(), 1);
    char empty[] = "";
    char longName[] = "123456789012345678901";
    EXPECT_EQ(PIOQXUpdateName(1, 2, 1, empty, 3), 0ul);
    EXPECT_EQ(PIOQXUpdateName(1, 2, 1, longName, 3), 0ul);
    EXPECT_EQ(PIOQXUpdateName(1, 2, 1, nullptr, 3), 0ul);
    EXPECT_EQ(PIOQXDataWrite(1, 2, 1, 0, nullptr, 5, 3), 0ul);
    unsigned char byte = 1;
    EXPECT_EQ(PIOQXDataWrite(1, 2, 1, 0, &byte, 0, 3), 0ul);
}

TEST_F(Pio, InfraredWithNoDeviceInRangeFailsAfterFiveSearches)
{
    ASSERT_EQ(PIOInitPhone(), 1);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(PIOOpen(PIO_PORT_IRDA_ALT), 0);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(ms, 4 * 500 - 50);
    EXPECT_STREQ(PIOGetLastErrMsg(), "無法設定序列埠: 搜尋不到任何紅外線裝置!\n210:100:194:0");
    // The unconnected link stays: commands fail with the time-limit result.
    unsigned long r = PIOQXFeatureRead(1, 2, 3);
    ASSERT_NE(r, 0ul);
    auto* result = reinterpret_cast<PIOResult*>(r);
    EXPECT_EQ(result->error, -1);
    EXPECT_STREQ(static_cast<char*>(result->data), "AT 指令已逾時.");
    PIOFreeMemory(r);
    EXPECT_EQ(PIOClose(), 1);
}
