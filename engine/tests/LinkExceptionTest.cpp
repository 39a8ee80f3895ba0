// The link exception's text: formatting, diagnostic numbers, fallback and length limit.
#include "EngineStrings.h"
#include "LinkException.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace orka::engine;

TEST(LinkException, FormatsTheArgumentAndAppendsTheNumbers)
{
    std::string port = "COM3:";
    CLinkException e(kStrSerialSetup, 106, 500, 183, 22, &port);
    EXPECT_EQ(e.errorMessage(), "無法設定序列埠: COM3:\n106:500:183:22");
    EXPECT_EQ(e.messageId(), kStrSerialSetup);
    EXPECT_EQ(e.systemError(), 22u);
    CLinkException plain(kStrConnectionFailed, 0, 0, 0, 0);
    EXPECT_EQ(plain.errorMessage(), "連線失敗.");
}

TEST(LinkException, MissingTextFallsBackAndLongTextIsCut)
{
    CLinkException missing(1, 0, 0, 0, 0);
    EXPECT_EQ(missing.errorMessage(), "無法提供更詳細的錯誤資訊.");
    std::string longText(600, 'x');
    CLinkException cut(kStrInfraredRead, 210, 300, 428, 0, &longText);
    EXPECT_EQ(cut.errorMessage().size(), CLinkException::kMaxText);
    std::string chinese;
    for (int i = 0; i < 200; ++i)
        chinese += "錯";
    CLinkException cutChinese(kStrInfraredRead, 210, 300, 428, 0, &chinese);
    EXPECT_LE(cutChinese.errorMessage().size(), CLinkException::kMaxText);
    // No character is split: the text still converts as UTF-8 from end to end.
    const std::string& t = cutChinese.errorMessage();
    std::size_t i = 0;
    while (i < t.size()) {
        unsigned char c = static_cast<unsigned char>(t[i]);
        std::size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
        ASSERT_LE(i + len, t.size());
        i += len;
    }
}

TEST(LinkException, PortThatCannotBeOpenedNamesThePort)
{
    EXPECT_EQ(std::string(CFileException(ENOENT, "COM0:").what()), "找不到 COM0:.");
    EXPECT_EQ(std::string(CFileException(EBUSY, "COM3:").what()), "COM3: 正被其他程式使用中.");
}
