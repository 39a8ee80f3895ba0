// Texts with a detail filled in, and the cores' error type that carries them.
#include "orka/Failure.h"
#include "orka/StringTable.h"

#include <gtest/gtest.h>

namespace {

constexpr unsigned kOpenFailed = 61107;  // 開啟檔案"%s"失敗
constexpr unsigned kBadFormat = 61102;   // 檔案格式不正確.
constexpr unsigned kNoSuchText = 1;

TEST(FormatString, FillsTheFirstPlaceholderOnlyAndLeavesPlainTextsAlone)
{
    EXPECT_EQ(orka::formatString(kOpenFailed, "a.bmp"), "開啟檔案\"a.bmp\"失敗");
    EXPECT_EQ(orka::formatString(kOpenFailed, ""), "開啟檔案\"\"失敗");
    // A detail that itself holds "%s" is taken as it is, not filled again.
    EXPECT_EQ(orka::formatString(kOpenFailed, "%s%s"), "開啟檔案\"%s%s\"失敗");
    EXPECT_EQ(orka::formatString(kBadFormat, "ignored"), "檔案格式不正確.");
    EXPECT_EQ(orka::formatString(kNoSuchText, "x"), "");
}

TEST(Failure, CarriesItsIdAndDetailAndShowsTheFilledText)
{
    try {
        throw orka::Failure(kOpenFailed, "/tmp/x.gif");
    } catch (const std::exception& e) {
        const auto* failure = dynamic_cast<const orka::Failure*>(&e);
        ASSERT_NE(failure, nullptr);
        EXPECT_EQ(failure->messageId(), kOpenFailed);
        EXPECT_EQ(failure->detail(), "/tmp/x.gif");
        EXPECT_STREQ(e.what(), "開啟檔案\"/tmp/x.gif\"失敗");
    }
    // An id the table lacks still names itself rather than saying nothing.
    EXPECT_STREQ(orka::Failure(kNoSuchText).what(), "error 1");
}

} // namespace
