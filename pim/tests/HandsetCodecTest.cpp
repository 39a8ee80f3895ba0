// The handset's phonebook and calendar records: the codings inside them, the documented cases
// and what bytes from outside may hold.
#include "orka/pim/AnsiText.h"
#include "orka/pim/HandsetCodec.h"
#include "orka/pim/PimError.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace orka::pim;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Entries keep ANSI (Big5) text; tests write UTF-8.
std::string big5(const char* utf8) { return ansiFromUtf8(utf8); }

Bytes alpha(const std::u16string& text, std::size_t size)
{
    Bytes field(size);
    EXPECT_TRUE(encodeAlphaField(text, field.data(), size));
    return field;
}

unsigned encodeFailure(CContactItem c)
{
    try {
        encodeContact(c);
    } catch (const PimError& e) {
        return e.messageId();
    }
    return 0;
}

CContactItem withNumber(const char* name)
{
    CContactItem c;
    c.name = big5(name);
    c.phone1 = "0912345678";
    return c;
}

class Codec : public ::testing::Test {
protected:
    void SetUp() override { ::unsetenv("ORKA_ANSI_CODEPAGE"); }
};
} // namespace

TEST_F(Codec, AlphaFieldsChooseTheFirstSchemeThatFits)
{
    Bytes anna = alpha(u"Anna", 20);
    Bytes expected = {0x41, 0x6E, 0x6E, 0x61};
    expected.resize(20, 0xFF);
    EXPECT_EQ(anna, expected);

    // Latin letters with Chinese characters of one block whose ends have bit 7 clear (U+4E00..U+4E2D).
    Bytes mixed = alpha(u"Li\u4E00\u4E2D", 20);
    EXPECT_EQ((Bytes{mixed.begin(), mixed.begin() + 7}), (Bytes{0x81, 4, 0x9C, 0x4C, 0x69, 0x80, 0xAD}));
    EXPECT_EQ(decodeAlphaField(mixed.data(), 20), u"Li\u4E00\u4E2D");

    // Within 0x80 of each other but across a block with bit 7 set: the 16-bit base.
    Bytes based = alpha(u"\u738B\u5C0F\u660E", 20); // far apart: UCS-2
    EXPECT_EQ(based[0], 0x80);
    Bytes close = alpha(u"\u6C90\u6CA0", 20);
    EXPECT_EQ((Bytes{close.begin(), close.begin() + 6}), (Bytes{0x82, 2, 0x6C, 0x90, 0x80, 0x90}));
    EXPECT_EQ(decodeAlphaField(close.data(), 20), u"\u6C90\u6CA0");

    // Ten Chinese characters far apart need 21 bytes: nothing fits 20.
    std::u16string ten = u"\u738B\u5C0F\u660E\u9673\u5927\u6587\u674E\u56DB\u5F35\u4E09";
    Bytes field(21);
    EXPECT_FALSE(encodeAlphaField(ten, field.data(), 20));
    EXPECT_TRUE(encodeAlphaField(ten, field.data(), 21));
    EXPECT_EQ(decodeAlphaField(field.data(), 21), ten);
}

TEST_F(Codec, FullWidthCharactersSurviveUcs2)
{
    // U+FF08 and U+FF01 begin with the fill byte 0xFF in UCS-2; the text goes on after them.
    const std::u16string text = u"\u738B\uFF08\u660E\uFF09\uFF01";
    Bytes field = alpha(text, 20);
    EXPECT_EQ(field[0], 0x80);
    EXPECT_EQ(decodeAlphaField(field.data(), 20), text);
    const Bytes filled = {0x80, 0x4E, 0x00, 0xFF, 0xFF, 0x4E, 0x01};
    EXPECT_EQ(decodeAlphaField(filled.data(), filled.size()), u"\u4E00");
}

TEST_F(Codec, GsmAlphabetDecodesItsOwnLettersAndStopsAtFillOrEscape)
{
    const Bytes gsm = {0x00, 0x01, 0x11, 0x24, 0x5B, 0x7F, 0xFF, 0x41};
    EXPECT_EQ(decodeAlphaField(gsm.data(), gsm.size()), u"@\u00A3_\u00A4\u00C4\u00E0");
    const Bytes escape = {0x41, 0x1B, 0x42};
    EXPECT_EQ(decodeAlphaField(escape.data(), escape.size()), u"A");
    const Bytes unknownScheme = {0x90, 0x41};
    EXPECT_EQ(decodeAlphaField(unknownScheme.data(), unknownScheme.size()), u"");
    EXPECT_EQ(alpha(u"", 4), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(Codec, MalformedAlphaFieldsDecodeWhatIsThere)
{
    const Bytes countPastField = {0x81, 200, 0x9C, 0x80, 0x81};
    EXPECT_EQ(decodeAlphaField(countPastField.data(), countPastField.size()), u"\u4E00\u4E01");
    const Bytes oddUcs2 = {0x80, 0x4E, 0x00, 0x41};
    EXPECT_EQ(decodeAlphaField(oddUcs2.data(), oddUcs2.size()), u"\u4E00");
    const Bytes pastTheTop = {0x82, 2, 0xFF, 0xF0, 0x8F, 0x90};
    EXPECT_EQ(decodeAlphaField(pastTheTop.data(), pastTheTop.size()), u"??");
    const Bytes headerOnly = {0x82, 3};
    EXPECT_EQ(decodeAlphaField(headerOnly.data(), headerOnly.size()), u"");
}

TEST_F(Codec, DiallingNumbers)
{
    Bytes f(16);
    ASSERT_TRUE(encodeDiallingNumber("+886912345678", f.data()));
    Bytes expected = {0x07, 0x91, 0x88, 0x96, 0x21, 0x43, 0x65, 0x87};
    expected.resize(16, 0);
    EXPECT_EQ(f, expected);
    EXPECT_EQ(decodeDiallingNumber(f.data(), 16), "+886912345678");

    ASSERT_TRUE(encodeDiallingNumber("12*#p?+", f.data()));
    EXPECT_EQ((Bytes{f.begin(), f.begin() + 6}), (Bytes{0x05, 0x81, 0x21, 0xBA, 0xDC, 0xFE}));
    EXPECT_EQ(decodeDiallingNumber(f.data(), 16), "12*#p?+");

    EXPECT_TRUE(encodeDiallingNumber("+1234567890123456789", f.data())); // 20 with the "+"
    EXPECT_FALSE(encodeDiallingNumber("123456789012345678901", f.data()));
    EXPECT_FALSE(encodeDiallingNumber("", f.data()));
    EXPECT_FALSE(encodeDiallingNumber("+", f.data()));
    EXPECT_FALSE(encodeDiallingNumber("02-1234", f.data()));

    Bytes huge = {200, 0x81, 0x21, 0x43};
    EXPECT_EQ(decodeDiallingNumber(huge.data(), huge.size()), "1234");
    EXPECT_EQ(decodeDiallingNumber(Bytes{0, 0}.data(), 2), "");
}

TEST_F(Codec, ContactRecordsRoundTripAndKeepTheirLayout)
{
    CContactItem c = withNumber("王小明");
    c.key = 0x0102;
    c.phone2 = "0223456789";
    c.company = "Tessel";
    c.title = big5("經理");
    c.address = big5("台北市信義路五段7號");
    c.email1 = "ming@example.com";
    c.remark = "VIP";
    c.birthday = {1980, 2, 29, 0, 0, true};
    Bytes r = encodeContact(c);
    ASSERT_EQ(r.size(), kPhonebookRecordSize);
    EXPECT_EQ(r[0], 0x02);
    EXPECT_EQ(r[1], 0x01);
    EXPECT_EQ((Bytes{r.begin() + 242, r.begin() + 246}), (Bytes{0xBC, 0x07, 2, 29}));
    EXPECT_EQ((Bytes{r.end() - 6, r.end()}), (Bytes{0x00, 0xFF, 0x00, 0x00, 0xFF, 0x07}));

    CContactItem back = decodeContact(r.data(), r.size());
    for (auto f : {ContactField::Name, ContactField::Phone1, ContactField::Phone2, ContactField::Company,
                   ContactField::Title, ContactField::Address, ContactField::Email1, ContactField::Remark})
        EXPECT_EQ(back.text(f), c.text(f)) << contactFieldTitle(f);
    EXPECT_EQ(back.birthday, c.birthday);
    EXPECT_EQ(back.key, 0x0102);
}

TEST_F(Codec, ContactEncodingFailures)
{
    CContactItem faxOnly;
    faxOnly.fax = "+886223456789";
    encodeContact(faxOnly);
    EXPECT_EQ(faxOnly.phone1, "+886223456789");

    EXPECT_EQ(encodeFailure(CContactItem{}), msg::kNoPhoneNumber);
    EXPECT_EQ(encodeFailure(withNumber("王小明陳大文李四張三")), msg::kFieldTooLong);
    EXPECT_EQ(encodeFailure(withNumber("A name, twenty-one ch")), msg::kFieldTooLong);
    CContactItem badFirst = withNumber("Anna");
    badFirst.phone1 = "0912-345-678";
    EXPECT_EQ(encodeFailure(badFirst), msg::kNumberEncodingFailed);
    CContactItem badOther = withNumber("Anna");
    badOther.phone3 = "ext. 12";
    EXPECT_EQ(encodeFailure(badOther), msg::kNumberEncodingFailed);

    try {
        encodeContact(*std::make_unique<CContactItem>(withNumber("王小明陳大文李四張三")));
        FAIL();
    } catch (const PimError& e) {
        EXPECT_NE(e.message().find("(Name)"), std::string::npos) << e.message();
        EXPECT_NE(e.message().find("王小明陳大文李四張三"), std::string::npos) << e.message();
        EXPECT_NE(std::string(e.what()).find("\n71:1:"), std::string::npos) << e.what();
    }
}

TEST_F(Codec, BirthdaysOutsideTheirRangeAreDropped)
{
    CContactItem c = withNumber("Anna");
    Bytes r = encodeContact(c);
    EXPECT_EQ((Bytes{r.begin() + 242, r.begin() + 246}), (Bytes{0, 0, 0, 0}));
    struct Case { int year, month, day; bool valid; };
    for (auto k : {Case{1901, 1, 1, true}, Case{2999, 12, 31, true}, Case{1900, 6, 1, false},
                   Case{3000, 1, 1, false}, Case{2000, 13, 1, false}, Case{2000, 1, 32, false}, Case{2000, 1, 0, false}}) {
        r[242] = static_cast<std::uint8_t>(k.year);
        r[243] = static_cast<std::uint8_t>(k.year >> 8);
        r[244] = static_cast<std::uint8_t>(k.month);
        r[245] = static_cast<std::uint8_t>(k.day);
        EXPECT_EQ(decodeContact(r.data(), r.size()).birthday.valid, k.valid) << k.year << "-" << k.month << "-" << k.day;
    }
}

TEST_F(Codec, ShortContactRecordsKeepTheWholeFieldsTheyHold)
{
    CContactItem c = withNumber("Anna");
    c.email1 = "a@b.c";
    Bytes r = encodeContact(c);
    CContactItem cut = decodeContact(r.data(), 60);
    EXPECT_EQ(cut.name, "Anna");
    EXPECT_EQ(cut.phone1, "0912345678");
    EXPECT_EQ(cut.email1, "");
    EXPECT_EQ(decodeContact(r.data(), 1).key, 0);
    EXPECT_EQ(decodeContact(r.data(), 0).name, "");
}

TEST_F(Codec, CalendarRecords)
{
    CCalendarItem e;
    e.key = 4;
    e.flag = 2;
    e.subject = "Eighteen chars abc";
    e.content = big5("看牙醫");
    e.when = {2027, 1, 10, 9, 30, true};
    auto r = encodeCalendar(e);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->size(), 2u * 15 + 2 + 2 * 3 + 2 + 9);
    EXPECT_EQ((Bytes{r->end() - 9, r->end()}), (Bytes{9, 4, 0xEB, 0x07, 1, 10, 30, 0xFF, 2}));
    CCalendarItem back = decodeCalendar(r->data(), r->size(), 4);
    EXPECT_EQ(back.subject, "Eighteen chars ");
    EXPECT_EQ(back.content, e.content);
    EXPECT_EQ(back.when, e.when);
    EXPECT_EQ(back.flag, 2);

    e.when.year = 2100;
    EXPECT_FALSE(encodeCalendar(e));
    e.when.year = 1999;
    EXPECT_FALSE(encodeCalendar(e));
    e.when = {2030, 2, 1, 25, 0, true};
    EXPECT_FALSE(encodeCalendar(e));
    e.when = {2030, 2, 1, 24, 60, true};
    EXPECT_TRUE(encodeCalendar(e));
    e.when.valid = false;
    EXPECT_FALSE(encodeCalendar(e));
}

TEST_F(Codec, MalformedCalendarRecordsDecodeWhatIsThere)
{
    CCalendarItem e;
    e.subject = "Lunch";
    e.when = {2027, 3, 4, 12, 0, true};
    Bytes r = *encodeCalendar(e);
    CCalendarItem cut = decodeCalendar(r.data(), r.size() - 1, 0);
    EXPECT_EQ(cut.subject, "Lunch");
    EXPECT_FALSE(cut.when.valid);
    // No terminators at all: the subject ends after 30 bytes and the content after 40 more.
    Bytes full(83, 0x41);
    CCalendarItem noEnds = decodeCalendar(full.data(), full.size(), 0);
    EXPECT_EQ(noEnds.subject.size(), 15u);
    EXPECT_FALSE(noEnds.when.valid);
    Bytes odd = {0x41, 0x00, 0x42};
    EXPECT_EQ(decodeCalendar(odd.data(), odd.size(), 0).subject, "A");
    EXPECT_EQ(decodeCalendar(odd.data(), 0, 0).subject, "");
}

TEST_F(Codec, HandsetTextTheCodePageLacksBecomesQuestionMarks)
{
    EXPECT_EQ(ansiFromUtf16(u"A\u00E9\u4E2DB"), "A?" + big5("中") + "B");
    EXPECT_EQ(ansiFromUtf16(u"\U0001F600x"), "?x");
    EXPECT_EQ(utf8FromAnsi(ansiFromUtf8("Zoë 王")), "Zo? 王");
}
