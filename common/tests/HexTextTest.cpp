// Hex text as the link and the infrared service records carry it.
#include "orka/common/HexText.h"

#include <gtest/gtest.h>

namespace orka::common {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(HexText, EncodesTwoUpperCaseDigitsPerByte)
{
    const Bytes bytes = {0x00, 0x0F, 0xA5, 0xFF};
    EXPECT_EQ(encodeHex(bytes.data(), bytes.size()), "000FA5FF");
    EXPECT_EQ(encodeHex(nullptr, 0), "");
}

TEST(HexText, DecodesLeadingPairsOfEitherCaseAndStopsAtTheFirstBadPair)
{
    EXPECT_EQ(decodeHexPrefix("a5FF0f"), (Bytes{0xA5, 0xFF, 0x0F}));
    EXPECT_EQ(decodeHexPrefix("A5F"), (Bytes{0xA5}));          // an odd last digit is dropped
    EXPECT_EQ(decodeHexPrefix("A5G1FF"), (Bytes{0xA5}));       // nothing after a bad pair
    EXPECT_EQ(decodeHexPrefix("1G"), Bytes{});
    EXPECT_EQ(decodeHexPrefix(""), Bytes{});
    EXPECT_EQ(decodeHexPrefix("0102030405", 3), (Bytes{1, 2, 3})); // capped
    EXPECT_EQ(decodeHexPrefix("0102", 0), Bytes{});
}

TEST(HexText, DigitValuesCoverOnlyTheSixteenDigitsOfEachCase)
{
    EXPECT_EQ(hexDigitValue('0'), 0);
    EXPECT_EQ(hexDigitValue('9'), 9);
    EXPECT_EQ(hexDigitValue('a'), 10);
    EXPECT_EQ(hexDigitValue('F'), 15);
    for (char c : {'/', ':', '@', 'G', '`', 'g', ' ', '\0'})
        EXPECT_EQ(hexDigitValue(c), -1) << int(c);
}

TEST(HexText, WhatIsEncodedDecodesBackWhole)
{
    Bytes all(256);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(decodeHexPrefix(encodeHex(all.data(), all.size())), all);
}

} // namespace
} // namespace orka::common
