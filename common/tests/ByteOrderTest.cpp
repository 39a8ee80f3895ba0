// Fields of both byte orders at their extremes: the top bit of every byte must survive.
#include "orka/common/ByteOrder.h"

#include <gtest/gtest.h>

namespace orka::common {
namespace {

TEST(ByteOrder, BigEndianFieldsReadBackWhatWasWritten)
{
    std::uint8_t b[4] = {};
    writeBE32(b, 0x80FF0102u);
    EXPECT_EQ(b[0], 0x80);
    EXPECT_EQ(b[3], 0x02);
    EXPECT_EQ(readBE32(b), 0x80FF0102u);
    EXPECT_EQ(readBE24(b + 1), 0xFF0102u);
    writeBE16(b, 0xFF80);
    EXPECT_EQ(readBE16(b), 0xFF80);
    std::vector<std::uint8_t> out;
    appendBE16(out, 0x1234);
    appendBE32(out, 0xFFFFFFFFu);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0x12, 0x34, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(ByteOrder, LittleEndianFieldsReadBackWhatWasWritten)
{
    std::uint8_t b[4] = {};
    writeLE32(b, 0x80FF0102u);
    EXPECT_EQ(b[0], 0x02);
    EXPECT_EQ(b[3], 0x80);
    EXPECT_EQ(readLE32(b), 0x80FF0102u);
    writeLE16(b, 0xFF80);
    EXPECT_EQ(b[0], 0x80);
    EXPECT_EQ(readLE16(b), 0xFF80);
    std::vector<std::uint8_t> out;
    appendLE16(out, 0x1234);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0x34, 0x12}));
}

} // namespace
} // namespace orka::common
