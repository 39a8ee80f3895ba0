// Data bytes as hex text, the way the handset link and the infrared service records carry
// them: two upper-case digits a byte going out, either case accepted coming in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace orka::common {

// The value of one hex digit, or -1 for any other character.
inline int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

inline std::string encodeHex(const std::uint8_t* data, std::size_t size)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(size * 2, '0');
    for (std::size_t i = 0; i < size; ++i) {
        text[2 * i] = kDigits[data[i] >> 4];
        text[2 * i + 1] = kDigits[data[i] & 0x0F];
    }
    return text;
}

// The bytes of the leading whole pairs of digits: decoding stops at the first pair that is not
// two hex digits, at an odd last digit, or after maxBytes bytes.
inline std::vector<std::uint8_t> decodeHexPrefix(std::string_view text,
                                                 std::size_t maxBytes = std::numeric_limits<std::size_t>::max())
{
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < text.size() && bytes.size() < maxBytes; i += 2) {
        const int high = hexDigitValue(text[i]), low = hexDigitValue(text[i + 1]);
        if (high < 0 || low < 0)
            break;
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return bytes;
}

} // namespace orka::common
