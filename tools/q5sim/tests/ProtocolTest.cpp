// The command interpreter on its own: lines in, answer lines out, stores in memory.
#include "HandsetProtocol.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace q5sim;
using ::testing::ElementsAre;

namespace {

class ProtocolTest : public ::testing::Test {
protected:
    HandsetStore store{std::nullopt};
    HandsetProtocol protocol{store};

    std::vector<std::string> ask(const std::string& line, const AnswerQuirks& q = {})
    {
        return protocol.handle(line, q).lines;
    }
    // Writes bytes the way the PC does: blocks of blockHex hex characters.
    std::string write(int type, int index, int part, const Bytes& data, std::size_t blockHex = 200)
    {
        const std::string hex = toHex(data);
        const std::size_t count = (hex.size() + blockHex - 1) / blockHex;
        std::string last;
        for (std::size_t k = 1; k <= count; ++k) {
            const std::string block = hex.substr((k - 1) * blockHex, blockHex);
            auto lines = ask("AT^QXBNW=" + std::to_string(type) + "," + std::to_string(index) + "," + std::to_string(part)
                             + "," + std::to_string(count) + "," + std::to_string(k) + "," + std::to_string(block.size())
                             + ",\"" + block + "\"");
            last = lines.back();
            if (last != "OK")
                return last;
        }
        return last;
    }
    static Bytes pattern(std::size_t size)
    {
        Bytes b(size);
        for (std::size_t i = 0; i < size; ++i)
            b[i] = static_cast<std::uint8_t>(i * 7 + 3);
        return b;
    }
};

TEST_F(ProtocolTest, PlainAtAndUnknownCommands)
{
    EXPECT_THAT(ask("AT"), ElementsAre("OK"));
    EXPECT_THAT(ask("at"), ElementsAre("OK"));
    EXPECT_THAT(ask("ATX"), ElementsAre("ERROR"));
    EXPECT_THAT(ask("AT^QXNOPE=1"), ElementsAre("ERROR"));
    EXPECT_THAT(ask("hello"), ElementsAre("ERROR"));
    EXPECT_THAT(ask("AT^QXFTR"), ElementsAre("ERROR"));   // needs its argument
    EXPECT_THAT(ask("AT^QXFTR?"), ElementsAre("ERROR"));  // no read form
    EXPECT_THAT(ask("AT^QXFTR=x"), ElementsAre("ERROR"));
    EXPECT_THAT(ask("AT^QXFTR=2,3"), ElementsAre("ERROR"));
    EXPECT_THAT(ask("AT^QXFTR=9"), ElementsAre("+CME ERROR: 4"));
    EXPECT_THAT(ask("AT^QXFTR=?"), ElementsAre("^QXFTR: (2,3,4,5,7,8,10,11)", "OK"));
}

TEST_F(ProtocolTest, FeatureRecordHasSevenNumbersWithCapacitySecond)
{
    ASSERT_EQ(write(7, 3, 0, pattern(10)), "OK");
    auto lines = ask("AT^QXFTR=7");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "^QXFTR: 7,40,0,1,39," + std::to_string(4096 * 1024 - 10) + ",20");
    EXPECT_EQ(lines[1], "OK");
    EXPECT_THAT(ask("AT^QXFTR=5"), ElementsAre("^QXFTR: 5,10,5,0,10,2097152,20", "OK"));
}

TEST_F(ProtocolTest, InfraredSizedBlocksAndLowerCaseHexAreAccepted)
{
    const Bytes data = pattern(120);
    ASSERT_EQ(write(4, 1, 0, data, 100), "OK");
    EXPECT_EQ(*store.part(4, 1, 0), data);
    EXPECT_THAT(ask("AT^QXBNW=4,2,0,1,1,4,\"abff\""), ElementsAre("OK"));
    EXPECT_EQ(*store.part(4, 2, 0), (Bytes{0xAB, 0xFF}));
    EXPECT_THAT(ask("AT^QXBNR=4,2,0"), ElementsAre("^QXBNR: 4,2,0,1,1,4,\"ABFF\"", "OK"));
}

TEST_F(ProtocolTest, BlocksOutOfOrderAreRefusedAndNothingIsStored)
{
    EXPECT_THAT(ask("AT^QXBNW=2,1,0,3,2,4,\"0102\""), ElementsAre("+CME ERROR: 3")); // no block 1 yet
    EXPECT_THAT(ask("AT^QXBNW=2,1,0,3,1,4,\"0102\""), ElementsAre("OK"));
    EXPECT_THAT(ask("AT^QXBNW=2,1,0,3,3,4,\"0506\""), ElementsAre("+CME ERROR: 3")); // skips 2
    EXPECT_THAT(ask("AT^QXBNW=2,1,0,3,2,4,\"0304\""), ElementsAre("+CME ERROR: 3")); // transfer was dropped
    EXPECT_EQ(store.part(2, 1, 0), nullptr);
    // A block of another item in the middle breaks the transfer as well.
    EXPECT_THAT(ask("AT^QXBNW=2,1,0,2,1,4,\"0102\""), ElementsAre("OK"));
    EXPECT_THAT(ask("AT^QXBNW=2,2,0,2,2,4,\"0304\""), ElementsAre("+CME ERROR: 3"));
    EXPECT_THAT(ask("AT^QXDIR=2,2"), ElementsAre("OK"));
}

TEST_F(ProtocolTest, BadBlockTextIsRefused)
{
    EXPECT_THAT(ask("AT^QXBNW=2,1,0,1,1,5,\"0102\""), ElementsAre("+CME ERROR: 3")); // length field wrong
    EXPECT_THAT(ask("AT^QXBNW=2,1,0,1,1,4,\"01G2\""), ElementsAre("+CME ERROR: 3")); // not hex
    EXPECT_THAT(ask("AT^QXBNW=2,1,0,1,1,3,\"010\""), ElementsAre("+CME ERROR: 3"));  // odd
    EXPECT_THAT(ask("AT^QXBNW=2,1,0,1,1,0,\"\""), ElementsAre("+CME ERROR: 3"));     // empty
    EXPECT_THAT(ask("AT^QXBNW=2,1,0,1,2,4,\"0102\""), ElementsAre("+CME ERROR: 3")); // k > count
    EXPECT_THAT(ask("AT^QXBNW=2,1,0,1,1,4,\"0102"), ElementsAre("ERROR"));          // open quote
    EXPECT_THAT(ask("AT^QXBNW=2,1,0,1,1,4"), ElementsAre("ERROR"));                 // 6 arguments
    EXPECT_EQ(store.usedIndexes(2).size(), 0u);
}

TEST_F(ProtocolTest, AddressesOutsideTheStoreAreInvalidIndexes)
{
    EXPECT_THAT(ask("AT^QXBNW=2,0,0,1,1,2,\"01\""), ElementsAre("+CME ERROR: 21"));
    EXPECT_THAT(ask("AT^QXBNW=2,31,0,1,1,2,\"01\""), ElementsAre("+CME ERROR: 21"));
    EXPECT_THAT(ask("AT^QXBNW=2,1,1,1,1,2,\"01\""), ElementsAre("+CME ERROR: 21")); // one-part store
    EXPECT_THAT(ask("AT^QXBNW=5,1,0,1,1,2,\"01\""), ElementsAre("+CME ERROR: 21")); // frames are 1..5
    EXPECT_THAT(ask("AT^QXBNW=5,1,6,1,1,2,\"01\""), ElementsAre("+CME ERROR: 21"));
    EXPECT_THAT(ask("AT^QXBNW=3,2,1,1,1,2,\"01\""), ElementsAre("+CME ERROR: 21")); // a set is item 1
    EXPECT_THAT(ask("AT^QXBNW=6,1,0,1,1,2,\"01\""), ElementsAre("+CME ERROR: 4"));
    EXPECT_THAT(ask("AT^QXBNR=2,-1,0"), ElementsAre("+CME ERROR: 21"));
    EXPECT_THAT(ask("AT^QXBNR=2,1,0"), ElementsAre("+CME ERROR: 22"));
    EXPECT_THAT(ask("AT^QXBNR=2,99999999999,0"), ElementsAre("ERROR"));
}

TEST_F(ProtocolTest, ResentBlockAfterLostAnswerIsTakenOnce)
{
    const std::string b1 = "AT^QXBNW=7,1,0,2,1,4,\"0102\"";
    const std::string b2 = "AT^QXBNW=7,1,0,2,2,4,\"0304\"";
    EXPECT_THAT(ask(b1), ElementsAre("OK"));
    EXPECT_THAT(ask(b1), ElementsAre("OK")); // the PC did not see the first OK
    EXPECT_THAT(ask(b2), ElementsAre("OK"));
    EXPECT_THAT(ask(b2), ElementsAre("OK"));
    EXPECT_EQ(*store.part(7, 1, 0), (Bytes{1, 2, 3, 4}));
    // A change by another link in between makes the same last block a new write.
    HandsetProtocol otherLink(store);
    EXPECT_THAT(otherLink.handle("AT^QXBNW=7,1,0,0").lines, ElementsAre("OK"));
    EXPECT_THAT(ask(b2), ElementsAre("+CME ERROR: 3")); // block 2 without block 1
    EXPECT_THAT(ask("AT^QXBNW=7,2,0,1,1,2,\"AA\""), ElementsAre("OK"));
    EXPECT_THAT(otherLink.handle("AT^QXBNW=7,2,0,0").lines, ElementsAre("OK"));
    EXPECT_THAT(ask("AT^QXBNW=7,2,0,1,1,2,\"AA\""), ElementsAre("OK"));
    EXPECT_EQ(*store.part(7, 2, 0), Bytes{0xAA});
    // Any other command in between ends the grace, even one that changes nothing.
    EXPECT_THAT(ask(b1), ElementsAre("OK"));
    EXPECT_THAT(ask(b2), ElementsAre("OK"));
    EXPECT_THAT(ask("AT"), ElementsAre("OK"));
    EXPECT_THAT(ask(b2), ElementsAre("+CME ERROR: 3"));
}

TEST_F(ProtocolTest, DeleteWholeItemsAndSingleFrames)
{
    for (int frame = 1; frame <= 5; ++frame)
        ASSERT_EQ(write(5, 2, frame, pattern(static_cast<std::size_t>(frame) * 30)), "OK");
    EXPECT_THAT(ask("AT^QXDIR=5,2"), ElementsAre("^QXDIR: 2", "OK"));
    EXPECT_THAT(ask("AT^QXBNW=5,2,3,0"), ElementsAre("OK"));
    EXPECT_THAT(ask("AT^QXBNR=5,2,3"), ElementsAre("+CME ERROR: 22"));
    EXPECT_EQ(ask("AT^QXBNR=5,2,4").back(), "OK");
    EXPECT_THAT(ask("AT^QXBNW=5,2,0,0"), ElementsAre("OK"));
    EXPECT_THAT(ask("AT^QXBNR=5,2,1"), ElementsAre("+CME ERROR: 22"));
    EXPECT_THAT(ask("AT^QXBNW=5,2,0,0"), ElementsAre("+CME ERROR: 22"));
    EXPECT_THAT(ask("AT^QXBNW=5,2,0,1"), ElementsAre("ERROR")); // a delete ends in 0
    EXPECT_THAT(ask("AT^QXDIR=5,2"), ElementsAre("OK"));
}

TEST_F(ProtocolTest, SetsStartOverWithPartOne)
{
    for (int part = 1; part <= 4; ++part)
        ASSERT_EQ(write(3, 1, part, pattern(50)), "OK");
    ASSERT_EQ(write(3, 1, 1, pattern(20)), "OK");
    EXPECT_EQ(store.part(3, 1, 1)->size(), 20u);
    EXPECT_EQ(store.part(3, 1, 2), nullptr);
    EXPECT_EQ(store.usedBytes(3), 20u);
    EXPECT_THAT(ask("AT^QXDIR=3,2"), ElementsAre("^QXDIR: 1", "OK"));
    EXPECT_THAT(ask("AT^QXDIR=3,1"), ElementsAre("OK"));
}

TEST_F(ProtocolTest, IndexListsSplitOverLinesOfTwenty)
{
    auto lines = ask("AT^QXDIR=10,1");
    ASSERT_EQ(lines.size(), 26u); // 500 free numbers
    EXPECT_EQ(lines[0], "^QXDIR: 1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20");
    EXPECT_EQ(lines[24].substr(0, 12), "^QXDIR: 481,");
    EXPECT_EQ(lines[25], "OK");
    ASSERT_EQ(write(10, 7, 0, pattern(3)), "OK");
    EXPECT_EQ(ask("AT^QXDIR=10,1")[0], "^QXDIR: 1,2,3,4,5,6,8,9,10,11,12,13,14,15,16,17,18,19,20,21");
    EXPECT_THAT(ask("AT^QXDIR=10,2"), ElementsAre("^QXDIR: 7", "OK"));
    EXPECT_THAT(ask("AT^QXDIR=10,3"), ElementsAre("+CME ERROR: 3"));
    AnswerQuirks q;
    q.emptyListLine = true;
    EXPECT_THAT(ask("AT^QXDIR=11,2", q), ElementsAre("^QXDIR:", "OK"));
}

TEST_F(ProtocolTest, FullStoreRefusesTheBlockThatOverflows)
{
    // Fill store 4 (2 MiB) to 100 bytes below its memory.
    const std::uint32_t memory = store.settings(4)->memory;
    ASSERT_EQ(store.writePart(4, 1, 0, Bytes(memory - 100, 0x11)), StoreError::None);
    EXPECT_EQ(write(4, 2, 0, pattern(150), 200), "+CME ERROR: 20");
    EXPECT_EQ(store.part(4, 2, 0), nullptr);
    EXPECT_EQ(write(4, 2, 0, pattern(100)), "OK");
    EXPECT_EQ(store.freeBytes(4), 0u);
    // Replacing an item may reuse its own room.
    EXPECT_EQ(write(4, 2, 0, pattern(100)), "OK");
    EXPECT_THAT(ask("AT^QXFMQ=4,1"), ElementsAre("^QXFMQ: 4,0," + std::to_string(memory), "OK"));
    EXPECT_THAT(ask("AT^QXFMQ=4,1,2"), ElementsAre("^QXFMQ: 4,0," + std::to_string(memory), "OK"));
    EXPECT_THAT(ask("AT^QXFMQ=4"), ElementsAre("ERROR"));
}

TEST_F(ProtocolTest, NamesAreUtf16HexOfExistingItems)
{
    EXPECT_THAT(ask("AT^QXUIN=2,1"), ElementsAre("+CME ERROR: 22"));
    EXPECT_THAT(ask("AT^QXUIN=2,1,4,\"4100\""), ElementsAre("+CME ERROR: 22"));
    ASSERT_EQ(write(2, 1, 0, pattern(5)), "OK");
    EXPECT_THAT(ask("AT^QXUIN=2,1"), ElementsAre("^QXUIN: 2,1,\"\"", "OK")); // no name yet
    // Ten double-byte characters: 40 hex digits.
    const std::string name = "E4B8ADE69687E4B8ADE69687E4B8ADE69687E4B8";
    EXPECT_THAT(ask("AT^QXUIN=2,1,40,\"" + name + "\""), ElementsAre("OK"));
    EXPECT_THAT(ask("AT^QXUIN=2,1"), ElementsAre("^QXUIN: 2,1,\"" + name + "\"", "OK"));
    EXPECT_THAT(ask("AT^QXUIN=2,1,84,\"" + std::string(84, '4') + "\""), ElementsAre("+CME ERROR: 24"));
    EXPECT_THAT(ask("AT^QXUIN=2,1,6,\"410042\""), ElementsAre("+CME ERROR: 25")); // half a character
    EXPECT_THAT(ask("AT^QXUIN=2,1,4,\"41ZZ\""), ElementsAre("+CME ERROR: 25"));
    EXPECT_THAT(ask("AT^QXUIN=2,1,5,\"4100\""), ElementsAre("+CME ERROR: 3"));
    EXPECT_THAT(ask("AT^QXUIN=2,1,4"), ElementsAre("ERROR"));
    // A new item in the same place starts without the old name.
    EXPECT_THAT(ask("AT^QXBNW=2,1,0,0"), ElementsAre("OK"));
    ASSERT_EQ(write(2, 1, 0, pattern(5)), "OK");
    EXPECT_THAT(ask("AT^QXUIN=2,1"), ElementsAre("^QXUIN: 2,1,\"\"", "OK"));
}

TEST_F(ProtocolTest, PreviewTakesBlocksAndShowsThemWithoutStoring)
{
    const std::string hex = toHex(pattern(150));
    EXPECT_THAT(ask("AT^QXDPV=2,1,0,2,1,\"" + hex.substr(0, 200) + "\""), ElementsAre("OK"));
    auto last = protocol.handle("AT^QXDPV=2,1,0,2,2,\"" + hex.substr(200) + "\"");
    EXPECT_THAT(last.lines, ElementsAre("OK"));
    ASSERT_EQ(last.notes.size(), 1u);
    EXPECT_EQ(store.lastPreview(), pattern(150));
    EXPECT_TRUE(store.usedIndexes(2).empty());
    EXPECT_THAT(ask("AT^QXDPV=5,1,3,1,1,\"00\""), ElementsAre("OK"));
    EXPECT_THAT(ask("AT^QXDPV=5,1,0,1,1,\"00\""), ElementsAre("+CME ERROR: 21"));
    EXPECT_THAT(ask("AT^QXDPV=2,2,0,1,1,\"00\""), ElementsAre("+CME ERROR: 21"));
    EXPECT_THAT(ask("AT^QXDPV=10,1,0,1,1,\"00\""), ElementsAre("+CME ERROR: 4"));
    EXPECT_THAT(ask("AT^QXDPV=2,1,0,2,2,\"00\""), ElementsAre("+CME ERROR: 3"));
}

TEST_F(ProtocolTest, QuirksChangeTheDataReadAnswer)
{
    const Bytes data = pattern(300); // 600 hex: three blocks
    ASSERT_EQ(write(2, 1, 0, data), "OK");
    AnswerQuirks order;
    order.blockOrder = true;
    auto lines = ask("AT^QXBNR=2,1,0", order);
    EXPECT_EQ(lines[1].substr(0, 22), "^QXBNR: 2,1,0,3,3,200,");
    AnswerQuirks length;
    length.wrongLength = true;
    lines = ask("AT^QXBNR=2,1,0", length);
    EXPECT_EQ(lines[0].substr(0, 22), "^QXBNR: 2,1,0,3,1,201,");
    EXPECT_EQ(lines[1].substr(0, 22), "^QXBNR: 2,1,0,3,2,200,");
    AnswerQuirks lower;
    lower.lowercaseOk = true;
    EXPECT_THAT(ask("AT", lower), ElementsAre("ok"));
    EXPECT_THAT(ask("ATX", lower), ElementsAre("ERROR"));
}

TEST_F(ProtocolTest, EchoCanBeSwitchedOnAndOff)
{
    EXPECT_FALSE(protocol.echoOn());
    EXPECT_THAT(ask("ATE1"), ElementsAre("OK"));
    EXPECT_TRUE(protocol.echoOn());
    EXPECT_THAT(ask("ATZ"), ElementsAre("OK"));
    EXPECT_FALSE(protocol.echoOn());
    EXPECT_THAT(ask("AT+CGMM"), ElementsAre("Q5", "OK"));
}

TEST(AtCommandTest, SplitsArgumentsOutsideQuotes)
{
    AtCommand c = parseAtCommand("at^qxuin=2, 5 ,\"A,B\",\"\"");
    ASSERT_TRUE(c.valid);
    EXPECT_EQ(c.name, "^QXUIN");
    EXPECT_EQ(c.filterName(), "QXUIN");
    ASSERT_EQ(c.args.size(), 4u);
    EXPECT_EQ(c.args[1].text, "5");
    EXPECT_EQ(c.args[2].text, "A,B");
    EXPECT_TRUE(c.args[3].quoted);
    EXPECT_EQ(c.args[3].text, "");
    EXPECT_FALSE(parseAtCommand("AT^QXDIR=\"2\"x,1").valid);
    EXPECT_FALSE(parseAtCommand("AT^=1").valid);
    EXPECT_EQ(parseAtCommand("AT^QXDIR=?").form, CommandForm::Test);
    EXPECT_EQ(parseAtCommand("AT").filterName(), "AT");
    // An empty unquoted argument is kept as empty (and is no number).
    AtCommand gap = parseAtCommand("AT^QXDIR=2,");
    ASSERT_EQ(gap.args.size(), 2u);
    EXPECT_FALSE(numberArgument(gap.args[1], 0, 10));
}

} // namespace
