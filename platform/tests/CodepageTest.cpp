#include "orka/platform/Codepage.h"

#include <gtest/gtest.h>

#include <cstdlib>

using orka::platform::Codepage;

TEST(Codepage, Big5IsTheDefaultAnsiCodePage)
{
    ::unsetenv("ORKA_ANSI_CODEPAGE");
    EXPECT_EQ(Codepage::ansiName(), "CP950");
    auto ansi = Codepage::utf8ToAnsi("中文 A");
    ASSERT_TRUE(ansi);
    EXPECT_EQ(*ansi, "\xA4\xA4\xA4\xE5 A");
    EXPECT_EQ(Codepage::ansiToUtf8(*ansi).value(), "中文 A");
    EXPECT_EQ(Codepage::ansiToUtf16(*ansi).value(), u"中文 A");
    EXPECT_EQ(Codepage::utf16ToAnsi(u"中文 A").value(), *ansi);
}

TEST(Codepage, UnmappableAndInvalidTextIsRefused)
{
    ::unsetenv("ORKA_ANSI_CODEPAGE");
    EXPECT_FALSE(Codepage::utf8ToAnsi("😀"));          // no Big5 form
    EXPECT_FALSE(Codepage::ansiToUtf8("\xA4"));        // a lead byte alone
    EXPECT_FALSE(Codepage::utf8ToUtf16("\xC3"));
    EXPECT_EQ(Codepage::utf8ToAnsi("").value(), "");
}

TEST(Codepage, VariableChoosesAnotherCodePage)
{
    ::setenv("ORKA_ANSI_CODEPAGE", "1252", 1);
    EXPECT_EQ(Codepage::ansiName(), "CP1252");
    EXPECT_EQ(Codepage::utf8ToAnsi("é").value(), "\xE9");
    ::setenv("ORKA_ANSI_CODEPAGE", "NO-SUCH-CODEPAGE", 1);
    EXPECT_FALSE(Codepage::utf8ToAnsi("a"));
    ::unsetenv("ORKA_ANSI_CODEPAGE");
}

TEST(Codepage, TextFromOutsideKeepsWhatTheCodePageHasAndMarksTheRest)
{
    ::unsetenv("ORKA_ANSI_CODEPAGE");
    const std::string zhong = Codepage::utf8ToAnsi("中").value();
    EXPECT_EQ(Codepage::utf16ToAnsiOrQuestionMarks(u"A\u00E9B"), "A?B");
    EXPECT_EQ(Codepage::utf16ToAnsiOrQuestionMarks(u"A\u4EECB"), "A?B");     // simplified, not in Big5
    EXPECT_EQ(Codepage::utf16ToAnsiOrQuestionMarks(u"A\U0001F600B"), "A?B"); // one character, one mark
    EXPECT_EQ(Codepage::utf16ToAnsiOrQuestionMarks(std::u16string(u"A") + char16_t(0xD800) + u"B"), "A?B");
    EXPECT_EQ(Codepage::utf16ToAnsiOrQuestionMarks(u"中\u00E9"), zhong + "?");
    EXPECT_EQ(Codepage::utf16ToAnsiOrQuestionMarks(u""), "");
}
