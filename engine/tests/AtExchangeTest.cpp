// Line building, classification, field splitting, final codes and values of the exchange.
#include "AtProtocol.h"
#include "AtValue.h"
#include "HexText.h"
#include "ScriptedLink.h"

#include <gtest/gtest.h>

using namespace orka::engine;
using orka::engine::test::ScriptedLink;

namespace {
CAtValueList ints(std::initializer_list<int> v)
{
    CAtValueList l;
    for (int i : v)
        l.add(CAtValue::fromInt(i));
    return l;
}
} // namespace

TEST(CommandLine, SetFormSeparatesArgumentsAndQuotesStrings)
{
    EXPECT_EQ(CAtProtocol::BuildCommandLine("^QXDIR", 3, ints({1, 2}), 3), "AT^QXDIR=1,2\r");
    CAtValueList args = ints({2, 5, 0, 1, 1, 6});
    args.add(CAtValue::fromString("414243"));
    EXPECT_EQ(CAtProtocol::BuildCommandLine("^QXBNW", 3, args, 3), "AT^QXBNW=2,5,0,1,1,6,\"414243\"\r");
    // An empty value contributes only its separator.
    CAtValueList gap = ints({1});
    gap.add(CAtValue::fromString(nullptr));
    gap.add(CAtValue::fromInt(3));
    EXPECT_EQ(CAtProtocol::BuildCommandLine("+X", 3, gap, 0), "+X=1,,3");
}

TEST(CommandLine, OtherKindsAndFlags)
{
    CAtValueList args = ints({1, 2});
    args.add(CAtValue::fromString("ab"));
    EXPECT_EQ(CAtProtocol::BuildCommandLine("D", 1, args, 1), "ATD12ab");
    EXPECT_EQ(CAtProtocol::BuildCommandLine("^QXFTR", 2, args, 3), "AT^QXFTR\r");
    EXPECT_EQ(CAtProtocol::BuildCommandLine("^QXFTR", 4, args, 3), "AT^QXFTR=?\r");
    EXPECT_EQ(CAtProtocol::BuildCommandLine("^QXFTR", 5, args, 2), "^QXFTR?\r");
    EXPECT_EQ(CAtProtocol::BuildCommandLine("^QXFTR", 9, args, 0), "^QXFTR");
}

TEST(Values, TextFormsAndIntegerReading)
{
    EXPECT_EQ(CAtValue::fromDouble(1.5).commandText(true), "1.500000");
    EXPECT_EQ(CAtValue::fromIntPair(3, -4).commandText(true), "3--4");
    EXPECT_EQ(CAtValue::fromFloatPair(1, 2).commandText(true), "1.000000-2.000000");
    EXPECT_EQ(CAtValue::fromUInt(4000000000u).commandText(true), "4000000000");
    EXPECT_EQ(CAtValue::fromWide(u"AB").commandText(true), "AB");
    EXPECT_EQ(CAtValue::fromString(nullptr).type(), CAtValue::None);
    EXPECT_EQ(CAtValue::fromString("22 not found").toInt(), 22);
    EXPECT_EQ(CAtValue::fromDouble(-7.9).toInt(), -7);
    EXPECT_EQ(CAtValue::fromWide(u"15x").toInt(), 15);
    EXPECT_EQ(CAtValue::fromIntPair(1, 2).toInt(), 0);
}

TEST(Values, ListGrowsByAnEighthBetweenFourAndAThousand)
{
    CAtValueList list;
    list.add(CAtValue::fromInt(1));
    EXPECT_EQ(list.capacity(), 4u);
    for (int i = 0; i < 4; ++i)
        list.add(CAtValue::fromInt(i));
    EXPECT_EQ(list.capacity(), 8u);
    for (int i = 0; i < 20000; ++i)
        list.add(CAtValue::fromInt(i));
    EXPECT_LE(list.capacity() - list.size(), 1024u);
}

TEST(FinalCodes, CaseSensitiveLookupOfThePartBeforeTheColon)
{
    CAtProtocol p;
    for (const char* line : {"OK", "ERROR", "Error", "+CME ERROR", "+CME ERROR: 22", "+CMS ERROR:300"})
        EXPECT_TRUE(p.IsFinal(line)) << line;
    for (const char* line : {"ok", "+CME ERROR 22", "^QXDIR: 1", "OK ", ""})
        EXPECT_FALSE(p.IsFinal(line)) << line;
    p.ResetFinalCodes(true);
    EXPECT_TRUE(p.IsFinal("OK"));
}

TEST(ParseLine, ClassifiesEveryKindOfLine)
{
    CAtValueList f;
    const char* echo = "AT^QXDIR=2,1\r";
    EXPECT_EQ(CAtProtocol::ParseLine("", "^QXDIR", echo, 2, f), kLineOther);
    EXPECT_EQ(CAtProtocol::ParseLine(" \r", "^QXDIR", echo, 2, f), kLineOther);
    EXPECT_EQ(CAtProtocol::ParseLine("ok", "^QXDIR", echo, 2, f), kLineOk);
    EXPECT_EQ(CAtProtocol::ParseLine("Error", "^QXDIR", echo, 2, f), kLineError);
    EXPECT_EQ(CAtProtocol::ParseLine("at^qxdir=2,1", "^QXDIR", echo, 2, f), kLineEcho);
    EXPECT_EQ(CAtProtocol::ParseLine("RING", "^QXDIR", echo, 2, f), kLineNoPrefix);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].text(), "RING");
    EXPECT_EQ(CAtProtocol::ParseLine("RING", nullptr, echo, 2, f), kLineOther);
    EXPECT_EQ(CAtProtocol::ParseLine("^qxdir: 3, 4", "^QXDIR", echo, 2, f), kLinePrefixed);
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[1].toInt(), 4);
}

TEST(ParseLine, HandsetErrorNumberWithOrWithoutBlank)
{
    CAtValueList f;
    EXPECT_EQ(CAtProtocol::ParseLine("+CME ERROR:22", "^QXBNR", nullptr, 2, f), kLineCmeError);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].toInt(), 22);
    EXPECT_EQ(CAtProtocol::ParseLine("+cms error: 322", "^QXBNR", nullptr, 2, f), kLineCmeError);
    EXPECT_EQ(f[0].toInt(), 322);
    // Without flag bit 1 the fields accumulate.
    CAtProtocol::ParseLine("+CME ERROR: 3", "^QXBNR", nullptr, 0, f);
    EXPECT_EQ(f.size(), 2u);
}

TEST(SplitFields, QuotesEmptiesAndGroups)
{
    CAtValueList f;
    CAtProtocol::SplitFields("2, \"a,b\" ,\"\",,x", f);
    ASSERT_EQ(f.size(), 4u);
    EXPECT_EQ(f[0].text(), "2");
    EXPECT_EQ(f[1].text(), "a,b");
    EXPECT_EQ(f[2].text(), "");
    EXPECT_EQ(f[3].text(), "x");

    CAtValueList g;
    CAtProtocol::SplitFields("(1,(2,3)),4", g);
    ASSERT_EQ(g.size(), 4u);
    EXPECT_EQ(g[0].groupMarks(), CAtValue::kFirstInGroup | 1);
    EXPECT_EQ(g[1].groupMarks(), CAtValue::kFirstInGroup | 2);
    EXPECT_EQ(g[2].groupMarks(), CAtValue::kLastInGroup | 2);
    EXPECT_EQ(g[3].groupMarks(), 0);
    EXPECT_EQ(g[2].text(), "3");

    CAtValueList none;
    CAtProtocol::SplitFields("", none);
    EXPECT_TRUE(none.empty());
    CAtValueList unterminated;
    CAtProtocol::SplitFields("\"abc", unterminated);
    ASSERT_EQ(unterminated.size(), 1u);
    EXPECT_EQ(unterminated[0].text(), "abc");
}

TEST(ErrorTexts, HandsetNumbersEngineIdsAndFallback)
{
    EXPECT_EQ(CAtProtocol::ErrorText(22), "手機資料找不到.");
    EXPECT_EQ(CAtProtocol::ErrorText(20), "手機記憶體已滿.\n請刪除您手機上不用的資料再試.");
    EXPECT_EQ(CAtProtocol::ErrorText(340), "無 +CNMA 指令回應.");
    EXPECT_EQ(CAtProtocol::ErrorText(26003), "AT 指令已逾時.");
    EXPECT_EQ(CAtProtocol::ErrorText(999), "手機一般性錯誤.");
    EXPECT_EQ(CAtProtocol::ErrorText(-5), "手機一般性錯誤.");
}

TEST(HexText, UpperCaseOutEitherCaseInOddDigitDropped)
{
    const unsigned char bytes[] = {0x41, 0x42, 0x43, 0x00, 0xFF};
    EXPECT_EQ(encodeHex(bytes, 5), "41424300FF");
    EXPECT_EQ(decodeHex("41ff0"), (std::vector<unsigned char>{0x41, 0xFF}));
    EXPECT_TRUE(decodeHex("").empty());
}

TEST(Execute, PlainCommandSetAcceptsAnyFinalAnswerOnce)
{
    int sendings = 0;
    ScriptedLink link([&](const std::string& line) -> std::vector<std::string> {
        ++sendings;
        std::string echo = line.substr(0, line.size() - 1);
        return {echo, "", "+CME ERROR: 22"};
    });
    CAtProtocol p;
    p.setLinks({&link, nullptr});
    PIOResult* r = p.Execute("^QXFTR", 3, 2000, 1, ints({2}), 3);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(sendings, 1);
    EXPECT_EQ(r->ok, 1); // the plain command set parses nothing and leaves ok as preset
    EXPECT_EQ(r->data, nullptr);
    EXPECT_STREQ(r->commandLine, "AT^QXFTR=2\r");
    p.FreeResult(r);
}

TEST(Execute, SilenceEndsInTheTimeLimitResult)
{
    ScriptedLink link([](const std::string&) { return std::vector<std::string>{}; });
    CAtProtocol p;
    p.setLinks({&link, nullptr});
    PIOResult* r = p.Execute("^QXFTR", 3, 2000, 1, ints({2}), 3);
    EXPECT_EQ(link.sent.size(), 4u);
    EXPECT_EQ(r->error, -1);
    EXPECT_EQ(r->ok, 0);
    EXPECT_EQ(r->kind, -1);
    EXPECT_STREQ(static_cast<char*>(r->data), "AT 指令已逾時.");
    p.FreeResult(r);
}

TEST(Execute, WithoutALinkEveryAttemptFails)
{
    CAtProtocol p;
    PIOResult* r = p.Execute("^QXFTR", 3, 2000, 1, ints({2}), 3);
    EXPECT_EQ(r->error, -1);
    p.FreeResult(r);
    p.FreeResult(nullptr);
}
