#include "HexText.h"

namespace q5sim {

void appendHex(std::string& text, std::uint8_t byte)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    text.push_back(digits[byte >> 4]);
    text.push_back(digits[byte & 0x0F]);
}

std::string toHex(const std::uint8_t* data, std::size_t size)
{
    std::string text;
    text.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i)
        appendHex(text, data[i]);
    return text;
}

namespace {
int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
} // namespace

std::optional<Bytes> fromHex(std::string_view text)
{
    if (text.size() % 2 != 0)
        return std::nullopt;
    Bytes bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int high = digitValue(text[i]);
        int low = digitValue(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return bytes;
}

} // namespace q5sim
