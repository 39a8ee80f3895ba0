#pragma once
// Texts between the ANSI code page the entries keep and the UTF-16 / UTF-8 texts of the handset
// and the store. A character the code page lacks becomes "?", so one foreign character never
// costs the whole text.
#include <string>

namespace orka::pim {

std::string ansiFromUtf16(const std::u16string& text);
std::string ansiFromUtf8(const std::string& text);
// Invalid ANSI bytes become U+FFFD / "?" in the result.
std::u16string utf16FromAnsi(const std::string& ansi);
std::string utf8FromAnsi(const std::string& ansi);

} // namespace orka::pim
