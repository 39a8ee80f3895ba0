#include "HexText.h"

namespace orka::engine {
namespace {
int digit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
} // namespace

std::string encodeHex(const unsigned char* data, std::size_t length)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(length * 2, '0');
    for (std::size_t i = 0; i < length; ++i) {
        text[2 * i] = kDigits[data[i] >> 4];
        text[2 * i + 1] = kDigits[data[i] & 0x0F];
    }
    return text;
}

std::vector<unsigned char> decodeHex(const std::string& text)
{
    std::vector<unsigned char> bytes(text.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        int hi = digit(text[2 * i]), lo = digit(text[2 * i + 1]);
        // Like reading the pair as a base-16 number: stop at the first non-digit.
        int value = 0;
        if (hi >= 0) {
            value = hi;
            if (lo >= 0)
                value = hi * 16 + lo;
        }
        bytes[i] = static_cast<unsigned char>(value);
    }
    return bytes;
}

} // namespace orka::engine
