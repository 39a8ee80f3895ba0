#pragma once
// The system's ANSI code page (CP950, Traditional Chinese Big5, unless ORKA_ANSI_CODEPAGE
// names another) and conversions between it, UTF-8 and UTF-16.
#include <optional>
#include <string>

namespace orka::platform {

class Codepage {
public:
    // The iconv name of the ANSI code page ("CP950"; "950" in the variable means CP950).
    static std::string ansiName();

    // Each gives nullopt when the text cannot be converted (invalid or unmappable bytes).
    static std::optional<std::u16string> ansiToUtf16(const std::string& ansi);
    static std::optional<std::string> utf16ToAnsi(const std::u16string& text);
    // Converts character by character and puts "?" for each character the code page lacks
    // (a surrogate pair is one character; a lone surrogate is one "?"), as the system's own
    // conversion does for text from outside: one strange character does not lose the rest.
    static std::string utf16ToAnsiOrQuestionMarks(const std::u16string& text);
    static std::optional<std::string> ansiToUtf8(const std::string& ansi);
    static std::optional<std::string> utf8ToAnsi(const std::string& utf8);
    static std::optional<std::u16string> utf8ToUtf16(const std::string& utf8);
    static std::optional<std::string> utf16ToUtf8(const std::u16string& text);
};

} // namespace orka::platform
