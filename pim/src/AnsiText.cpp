#include "orka/pim/AnsiText.h"

#include "orka/platform/Codepage.h"

namespace orka::pim {
namespace {
using orka::platform::Codepage;

constexpr char16_t kReplacement = u'\uFFFD';

// Splits ANSI bytes into characters of the code page by trying one and then two bytes.
std::u16string utf16ByCharacter(const std::string& ansi)
{
    std::u16string out;
    for (std::size_t i = 0; i < ansi.size();) {
        if (auto one = Codepage::ansiToUtf16(ansi.substr(i, 1)); one && !one->empty()) {
            out += *one;
            i += 1;
        } else if (auto two = i + 1 < ansi.size() ? Codepage::ansiToUtf16(ansi.substr(i, 2)) : std::nullopt;
                   two && !two->empty()) {
            out += *two;
            i += 2;
        } else {
            out += kReplacement;
            i += 1;
        }
    }
    return out;
}
} // namespace

std::string ansiFromUtf16(const std::u16string& text)
{
    return Codepage::utf16ToAnsiOrQuestionMarks(text);
}

std::string ansiFromUtf8(const std::string& text)
{
    if (auto whole = Codepage::utf8ToAnsi(text))
        return *whole;
    auto wide = Codepage::utf8ToUtf16(text);
    if (!wide) { // not UTF-8 at all: keep the ASCII part
        std::string ascii;
        for (char c : text)
            ascii += static_cast<unsigned char>(c) < 0x80 ? c : '?';
        return ascii;
    }
    return Codepage::utf16ToAnsiOrQuestionMarks(*wide);
}

std::u16string utf16FromAnsi(const std::string& ansi)
{
    if (auto whole = Codepage::ansiToUtf16(ansi))
        return *whole;
    return utf16ByCharacter(ansi);
}

std::string utf8FromAnsi(const std::string& ansi)
{
    if (auto whole = Codepage::ansiToUtf8(ansi))
        return *whole;
    auto utf8 = Codepage::utf16ToUtf8(utf16ByCharacter(ansi));
    return utf8 ? *utf8 : std::string();
}

} // namespace orka::pim
