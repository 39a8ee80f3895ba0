#include "orka/platform/Codepage.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <vector>

namespace orka::platform {
namespace {

// Converts bytes between two iconv encodings; nullopt on any invalid or unmappable input.
std::optional<std::string> convert(const char* from, const char* to, const char* data, std::size_t size)
{
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out;
    std::vector<char> buf(4 * size + 16);
    char* in = const_cast<char*>(data);
    std::size_t inLeft = size;
    bool ok = true;
    while (inLeft > 0) {
        char* o = buf.data();
        std::size_t oLeft = buf.size();
        std::size_t r = ::iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buf.data(), buf.size() - oLeft);
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            ok = false;
            break;
        }
        if (r > 0) { // irreversible conversions mean unmappable characters
            ok = false;
            break;
        }
    }
    if (ok) {
        char* o = buf.data();
        std::size_t oLeft = buf.size();
        if (::iconv(cd, nullptr, nullptr, &o, &oLeft) == static_cast<std::size_t>(-1))
            ok = false;
        out.append(buf.data(), buf.size() - oLeft);
    }
    ::iconv_close(cd);
    if (!ok)
        return std::nullopt;
    return out;
}

std::u16string toU16(const std::string& bytes)
{
    std::u16string s(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return s;
}

std::string fromU16(const std::u16string& s)
{
    std::string bytes(s.size() * 2, '\0');
    for (std::size_t i = 0; i < s.size(); ++i) {
        bytes[2 * i] = static_cast<char>(s[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(s[i] >> 8);
    }
    return bytes;
}
} // namespace

std::string Codepage::ansiName()
{
    const char* v = std::getenv("ORKA_ANSI_CODEPAGE");
    if (!v || !*v)
        return "CP950";
    std::string name = v;
    if (name.find_first_not_of("0123456789") == std::string::npos)
        return "CP" + name;
    return name;
}

std::optional<std::u16string> Codepage::ansiToUtf16(const std::string& ansi)
{
    auto r = convert(ansiName().c_str(), "UTF-16LE", ansi.data(), ansi.size());
    if (!r)
        return std::nullopt;
    return toU16(*r);
}

std::optional<std::string> Codepage::utf16ToAnsi(const std::u16string& text)
{
    std::string bytes = fromU16(text);
    return convert("UTF-16LE", ansiName().c_str(), bytes.data(), bytes.size());
}

std::string Codepage::utf16ToAnsiOrQuestionMarks(const std::u16string& text)
{
    auto isHigh = [](char16_t c) { return c >= 0xD800 && c <= 0xDBFF; };
    auto isLow = [](char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; };
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t length = (isHigh(text[i]) && i + 1 < text.size() && isLow(text[i + 1])) ? 2 : 1;
        const auto converted = utf16ToAnsi(text.substr(i, length));
        out += converted && !converted->empty() ? *converted : std::string("?");
        i += length;
    }
    return out;
}

std::optional<std::string> Codepage::ansiToUtf8(const std::string& ansi)
{
    return convert(ansiName().c_str(), "UTF-8", ansi.data(), ansi.size());
}

std::optional<std::string> Codepage::utf8ToAnsi(const std::string& utf8)
{
    return convert("UTF-8", ansiName().c_str(), utf8.data(), utf8.size());
}

std::optional<std::u16string> Codepage::utf8ToUtf16(const std::string& utf8)
{
    auto r = convert("UTF-8", "UTF-16LE", utf8.data(), utf8.size());
    if (!r)
        return std::nullopt;
    return toU16(*r);
}

std::optional<std::string> Codepage::utf16ToUtf8(const std::u16string& text)
{
    std::string bytes = fromU16(text);
    return convert("UTF-16LE", "UTF-8", bytes.data(), bytes.size());
}

} // namespace orka::platform
