#include "AtValue.h"

#include "orka/platform/Codepage.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace orka::engine {
namespace {
std::string format(const char* fmt, double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}

std::int32_t leadingNumber(const std::string& s)
{
    return static_cast<std::int32_t>(std::strtol(s.c_str(), nullptr, 10));
}
} // namespace

CAtValue CAtValue::fromInt(std::int32_t v) { CAtValue a; a.type_ = Int; a.i_ = v; return a; }
CAtValue CAtValue::fromUInt(std::uint32_t v) { CAtValue a; a.type_ = UInt; a.i_ = v; return a; }
CAtValue CAtValue::fromFloat(float v) { CAtValue a; a.type_ = Float; a.d_ = v; return a; }
CAtValue CAtValue::fromDouble(double v) { CAtValue a; a.type_ = Double; a.d_ = v; return a; }
CAtValue CAtValue::fromString(const char* s) { return s ? fromString(std::string(s)) : CAtValue(); }
CAtValue CAtValue::fromString(std::string s) { CAtValue a; a.type_ = String; a.text_ = std::move(s); return a; }
CAtValue CAtValue::fromWide(std::u16string s) { CAtValue a; a.type_ = WideString; a.wide_ = std::move(s); return a; }
CAtValue CAtValue::fromIntPair(std::int32_t x, std::int32_t y) { CAtValue a; a.type_ = IntPair; a.pairA_ = x; a.pairB_ = y; return a; }
CAtValue CAtValue::fromFloatPair(float x, float y) { CAtValue a; a.type_ = FloatPair; a.fA_ = x; a.fB_ = y; return a; }

std::int32_t CAtValue::toInt() const
{
    switch (type_) {
    case Int:
    case UInt: return static_cast<std::int32_t>(i_);
    case Float:
    case Double: {
        if (!(d_ > -2147483648.0 && d_ < 2147483648.0))
            return 0;
        return static_cast<std::int32_t>(d_);
    }
    case String: return leadingNumber(text_);
    case WideString: {
        std::string ascii;
        for (char16_t c : wide_) {
            if (c > 0x7F) break;
            ascii += static_cast<char>(c);
        }
        return leadingNumber(ascii);
    }
    default: return 0;
    }
}

std::string CAtValue::commandText(bool quoted) const
{
    switch (type_) {
    case Int: return std::to_string(static_cast<std::int32_t>(i_));
    case UInt: return std::to_string(static_cast<std::uint32_t>(i_));
    case Float:
    case Double: return format("%f", d_);
    case String: return quoted ? "\"" + text_ + "\"" : text_;
    case IntPair: return std::to_string(pairA_) + "-" + std::to_string(pairB_);
    case FloatPair: return format("%f", fA_) + "-" + format("%f", fB_);
    case WideString: return platform::Codepage::utf16ToAnsiOrQuestionMarks(wide_);
    default: return {};
    }
}

void CAtValueList::add(CAtValue v)
{
    if (items_.size() == items_.capacity()) {
        std::size_t grow = std::clamp<std::size_t>(items_.size() / 8, 4, 1024);
        items_.reserve(items_.size() + grow);
    }
    items_.push_back(std::move(v));
}

} // namespace orka::engine
