#include "HexText.h"

namespace orka::engine {

std::vector<unsigned char> decodeHex(const std::string& text)
{
    std::vector<unsigned char> bytes(text.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int hi = common::hexDigitValue(text[2 * i]), lo = common::hexDigitValue(text[2 * i + 1]);
        // Like reading the pair as a base-16 number: stop at the first non-digit. A damaged pair
        // keeps its place, so the bytes after it stay where they belong.
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
