// The gallery commands against a scripted handset: arguments, block transfer, time limits
// and every answer parser.
#include "GalleryProtocol.h"
#include "ScriptedLink.h"

#include <gtest/gtest.h>

#include <memory>

using namespace orka::engine;
using orka::engine::test::ScriptedLink;

namespace {

// Owns a result of the command set.
struct Owned {
    CGalleryProtocol& p;
    PIOResult* r;
    ~Owned() { p.FreeResult(r); }
    PIOResult* operator->() const { return r; }
};

std::vector<std::string> ok() { return {"OK"}; }

class Gallery : public ::testing::Test {
protected:
    void use(ScriptedLink::Handset handset, bool infrared = false)
    {
        link = std::make_unique<ScriptedLink>(std::move(handset), infrared);
        if (infrared)
            p.setLinks({nullptr, link.get()});
        else
            p.setLinks({link.get(), nullptr});
    }
    CGalleryProtocol p;
    std::unique_ptr<ScriptedLink> link;
};

} // namespace

TEST_F(Gallery, WritingThreeBytesSendsOneCommand)
{
    for (bool infrared : {false, true}) {
        use([](const std::string&) { return ok(); }, infrared);
        Owned r{p, p.DataWrite(1, 2, 5, 0, "414243", 3)};
        ASSERT_NE(r.r, nullptr);
        EXPECT_EQ(r->ok, 1);
        ASSERT_EQ(link->sent.size(), 1u);
        EXPECT_EQ(link->sent[0], "AT^QXBNW=2,5,0,1,1,6,\"414243\"\r");
        EXPECT_EQ(link->timeouts.back(), infrared ? 30000u : 6000u);
    }
}

TEST_F(Gallery, TwoHundredFiftyBytesMakeThreeCableBlocksAndFiveInfraredBlocks)
{
    const std::string hex(500, 'A');
    use([](const std::string&) { return ok(); });
    Owned cable{p, p.DataWrite(1, 7, 1, 0, hex, 3)};
    ASSERT_EQ(link->sent.size(), 3u);
    EXPECT_EQ(link->sent[0].substr(0, 22), "AT^QXBNW=7,1,0,3,1,200");
    EXPECT_EQ(link->sent[2].substr(0, 22), "AT^QXBNW=7,1,0,3,3,100");
    EXPECT_EQ(link->sent[2].size(), std::string("AT^QXBNW=7,1,0,3,3,100,\"\"\r").size() + 100);

    use([](const std::string&) { return ok(); }, true);
    Owned ir{p, p.DataWrite(1, 7, 1, 0, hex, 3)};
    ASSERT_EQ(link->sent.size(), 5u);
    EXPECT_EQ(link->sent[4].substr(0, 22), "AT^QXBNW=7,1,0,5,5,100");
}

TEST_F(Gallery, AnswerArrivingAfterItsCommandGaveUpIsNotTakenByTheNext)
{
    for (bool infrared : {false, true}) {
        use([](const std::string& line) -> std::vector<std::string> {
            if (line.rfind("AT^QXDIR", 0) == 0)
                return {"^QXDIR: 1,2,3", "OK"};
            return {}; // the data read's answer comes too late for it
        }, infrared);
        Owned read{p, p.DataRead(1, 8, 1, 1, 3)};
        EXPECT_EQ(read->error, -1);
        link->arrive({"^QXBNR: 8,1,1,1,1,4,\"4142\"", "OK"});
        Owned list{p, p.IndexRead(1, 2, 2, 3)};
        ASSERT_EQ(list->ok, 1);
        auto* numbers = static_cast<PIOIndexList*>(list->data);
        ASSERT_NE(numbers, nullptr);
        EXPECT_EQ(std::vector<int>(numbers->numbers, numbers->numbers + numbers->count), (std::vector<int>{1, 2, 3}));
        EXPECT_EQ(link->sent.size(), 5u); // answered at its first sending
    }
}

TEST_F(Gallery, AFailedBlockEndsTheTransfer)
{
    int n = 0;
    use([&](const std::string&) -> std::vector<std::string> {
        return ++n >= 2 ? std::vector<std::string>{"+CME ERROR: 20"} : ok();
    });
    Owned r{p, p.DataWrite(1, 2, 1, 0, std::string(600, '0'), 3)};
    EXPECT_EQ(r->ok, 0);
    EXPECT_EQ(r->error, 25020);
    EXPECT_EQ(link->sent.size(), 5u); // block 1, then block 2 sent four times
}

TEST_F(Gallery, RefusedArgumentsSendNothing)
{
    use([](const std::string&) { return ok(); });
    EXPECT_EQ(p.DataWrite(1, 2, 1, 0, "", 3), nullptr);
    EXPECT_EQ(p.DataWrite(0, 2, 1, 0, "00", 3), nullptr);
    EXPECT_EQ(p.DataWrite(1, -1, 1, 0, "00", 3), nullptr);
    EXPECT_EQ(p.DataWrite(1, 2, 0, 0, "00", 3), nullptr);
    EXPECT_EQ(p.DataRead(1, 2, 0, 0, 3), nullptr);
    EXPECT_EQ(p.FeatureRead(1, -1, 3), nullptr);
    EXPECT_EQ(p.IndexRead(1, -2, 1, 3), nullptr);
    EXPECT_EQ(p.DataPreview(0, 2, 0, "00", 3), nullptr);
    EXPECT_TRUE(link->sent.empty());
}

TEST_F(Gallery, PreviewUsesTwoHundredCharacterBlocksOnBothLinksWithoutLength)
{
    for (bool infrared : {false, true}) {
        use([](const std::string&) { return ok(); }, infrared);
        Owned r{p, p.DataPreview(1, 2, 0, std::string(300, 'F'), 3)};
        ASSERT_EQ(link->sent.size(), 2u);
        EXPECT_EQ(link->sent[0].substr(0, 21), "AT^QXDPV=2,1,0,2,1,\"F");
        EXPECT_EQ(link->timeouts.back(), infrared ? 18000u : 6000u);
    }
}

TEST_F(Gallery, HandsetErrorGivesItsNumberAndTextAfterFourSendings)
{
    use([](const std::string&) { return std::vector<std::string>{"+CME ERROR: 22"}; });
    Owned r{p, p.DataRead(1, 2, 9, 0, 3)};
    EXPECT_EQ(link->sent.size(), 4u);
    EXPECT_EQ(r->ok, 0);
    EXPECT_EQ(r->error, 25022);
    EXPECT_EQ(r->kind, 3);
    EXPECT_STREQ(static_cast<char*>(r->data), "手機資料找不到.");
}

TEST_F(Gallery, PlainErrorGivesNoText)
{
    use([](const std::string&) { return std::vector<std::string>{"ERROR"}; });
    Owned r{p, p.DataDelete(1, 2, 3, 0, 3)};
    EXPECT_EQ(link->sent[0], "AT^QXBNW=2,3,0,0\r");
    EXPECT_EQ(r->ok, 0);
    EXPECT_EQ(r->error, 0);
    EXPECT_EQ(r->data, nullptr);
}

TEST_F(Gallery, DataReadCollectsBlocksInOrder)
{
    use([](const std::string& line) -> std::vector<std::string> {
        std::string echo = line.substr(0, line.size() - 1);
        return {echo, "^QXBNR: 7,3,0,2,1,4,\"4142\"", "^QXBNR: 7,3,0,2,2,3,\"43f\"", "OK"};
    });
    Owned r{p, p.DataRead(1, 7, 3, 0, 3)};
    ASSERT_EQ(r->ok, 1);
    auto* rec = static_cast<PIODataRecord*>(r->data);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->type, 7);
    EXPECT_EQ(rec->index, 3);
    ASSERT_EQ(rec->count, 3); // the odd last digit is dropped
    EXPECT_EQ(rec->bytes[0], 0x41);
    EXPECT_EQ(rec->bytes[2], 0x43);
    EXPECT_EQ(link->timeouts.back(), 30000u);
}

TEST_F(Gallery, DataReadSequenceAndLengthFaults)
{
    use([](const std::string&) -> std::vector<std::string> {
        return {"^QXBNR: 2,1,0,2,1,2,\"41\"", "^QXBNR: 2,1,0,2,3,2,\"42\"", "OK"};
    });
    {
        Owned r{p, p.DataRead(1, 2, 1, 0, 3)};
        EXPECT_EQ(r->ok, 0);
        EXPECT_EQ(r->error, 0);
        EXPECT_STREQ(static_cast<char*>(r->data), "不正確的資料傳送順序.");
        EXPECT_EQ(link->sent.size(), 4u);
    }
    use([](const std::string&) -> std::vector<std::string> { return {"^QXBNR: 2,1,0,1,1,3,\"41\"", "OK"}; });
    Owned r{p, p.DataRead(1, 2, 1, 0, 3)};
    EXPECT_STREQ(static_cast<char*>(r->data), "不正確的位元資料長度.");
}

TEST_F(Gallery, DataReadAnsweredOnlyWithOkHasNoData)
{
    use([](const std::string&) { return ok(); });
    Owned r{p, p.DataRead(1, 2, 1, 0, 3)};
    EXPECT_EQ(r->ok, 1);
    EXPECT_EQ(r->data, nullptr);
}

TEST_F(Gallery, DataReadTimeLimitsByTypeAndLink)
{
    use([](const std::string&) { return ok(); });
    const std::pair<int, std::uint32_t> cable[] = {{2, 30000}, {3, 6000000}, {5, 120000}, {6, 120000}, {8, 0}, {10, 6000}, {1, 3000}};
    for (auto [type, ms] : cable) {
        Owned r{p, p.DataRead(1, type, 1, 0, 3)};
        EXPECT_EQ(link->timeouts.back(), ms) << type;
    }
    use([](const std::string&) { return ok(); }, true);
    Owned r{p, p.DataRead(1, 4, 1, 0, 3)};
    EXPECT_EQ(link->timeouts.back(), 90000u);
}

TEST_F(Gallery, IndexListsSpanLines)
{
    use([](const std::string&) -> std::vector<std::string> { return {"^QXDIR: 1,2,3", "^QXDIR: 7", "OK"}; });
    Owned r{p, p.IndexRead(1, 2, 1, 3)};
    EXPECT_EQ(link->sent[0], "AT^QXDIR=2,1\r");
    auto* list = static_cast<PIOIndexList*>(r->data);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count, 4);
    EXPECT_EQ(list->numbers[3], 7);

    use([](const std::string&) { return ok(); });
    Owned only{p, p.IndexRead(1, 2, 1, 3)};
    EXPECT_EQ(only->data, nullptr);
}

TEST_F(Gallery, FeatureRecordTakesTheLastLineOfSevenFields)
{
    use([](const std::string&) -> std::vector<std::string> {
        return {"^QXFTR: 1,2,3", "^QXFTR: 1,50,3,4,5,6,7", "^QXFTR: 9,60,9,9,9,9,9", "OK"};
    });
    Owned r{p, p.FeatureRead(1, 2, 3)};
    auto* rec = static_cast<PIOFeatureRecord*>(r->data);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->values[1], 60);
    EXPECT_EQ(link->timeouts.back(), 3000u);
}

TEST_F(Gallery, NamesReadAndWritten)
{
    use([](const std::string&) -> std::vector<std::string> { return {"^QXUIN: 2,4,\"41004200\"", "OK"}; });
    {
        Owned r{p, p.Name(1, 2, 4, "", 3)};
        EXPECT_EQ(link->sent[0], "AT^QXUIN=2,4\r");
        auto* rec = static_cast<PIODataRecord*>(r->data);
        ASSERT_NE(rec, nullptr);
        EXPECT_EQ(rec->count, 4);
        EXPECT_EQ(rec->part, 0);
        EXPECT_EQ(link->timeouts.back(), 9000u);
    }
    use([](const std::string&) -> std::vector<std::string> { return {"^QXUIN: 2,4,\"410\"", "OK"}; });
    {
        Owned odd{p, p.Name(1, 2, 4, "", 3)};
        EXPECT_EQ(odd->ok, 1);
        EXPECT_EQ(odd->data, nullptr);
    }
    use([](const std::string&) { return ok(); }, true);
    Owned w{p, p.Name(1, 2, 4, "4100", 3)};
    EXPECT_EQ(link->sent[0], "AT^QXUIN=2,4,4,\"4100\"\r");
    EXPECT_EQ(link->timeouts.back(), 27000u);
}

TEST_F(Gallery, MemoryQueryKeepsThePreviousTimeLimitAndGivesNoData)
{
    use([](const std::string&) -> std::vector<std::string> { return {"^QXFMQ: 100,200", "OK"}; });
    Owned a{p, p.FeatureRead(1, 2, 3)};
    const auto before = link->timeouts.size();
    Owned r{p, p.MemoryQuery(1, 2, 5, 0, 3)};
    Owned r2{p, p.MemoryQuery(1, 2, 5, 6, 3)};
    EXPECT_EQ(link->timeouts.size(), before);
    EXPECT_EQ(link->sent[1], "AT^QXFMQ=2,5\r");
    EXPECT_EQ(link->sent[2], "AT^QXFMQ=2,5,6\r");
    EXPECT_EQ(r->data, nullptr);
}

TEST_F(Gallery, TestFormAnswersGiveNumbersAndFailuresKeepTheirText)
{
    use([](const std::string&) -> std::vector<std::string> { return {"^QXBNR: (1-3),(1,2),5,6", "OK"}; });
    {
        Owned r{p, p.DataRead(1, 2, 1, 0, 4)};
        EXPECT_EQ(link->sent[0], "AT^QXBNR=?\r");
        auto* list = static_cast<PIOIndexList*>(r->data);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->count, 3);
    }
    use([](const std::string&) -> std::vector<std::string> { return {"+CME ERROR: 4"}; });
    Owned failed{p, p.FeatureRead(1, 2, 4)};
    EXPECT_STREQ(static_cast<char*>(failed->data), "此指令不支援.");
}
