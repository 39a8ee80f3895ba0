#pragma once
// A typed value: a command argument or a field of a response line.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace orka::engine {

class CAtValue {
public:
    enum Type : std::uint8_t {
        None = 0, Int = 1, UInt = 2, Float = 3, Double = 4, String = 5, IntPair = 6, FloatPair = 7, Raw = 8, WideString = 9
    };
    // Group marks: nesting depth in bits 0-13, last field of a group in bit 14, first in bit 15.
    static constexpr std::uint16_t kDepthMask = 0x3FFF;
    static constexpr std::uint16_t kLastInGroup = 0x4000;
    static constexpr std::uint16_t kFirstInGroup = 0x8000;

    CAtValue() = default;
    static CAtValue fromInt(std::int32_t v);
    static CAtValue fromUInt(std::uint32_t v);
    static CAtValue fromFloat(float v);
    static CAtValue fromDouble(double v);
    // A null pointer gives an empty value (type None).
    static CAtValue fromString(const char* s);
    static CAtValue fromString(std::string s);
    static CAtValue fromWide(std::u16string s);
    static CAtValue fromIntPair(std::int32_t a, std::int32_t b);
    static CAtValue fromFloatPair(float a, float b);

    Type type() const { return type_; }
    std::uint16_t groupMarks() const { return marks_; }
    void setGroupMarks(std::uint16_t m) { marks_ = m; }
    const std::string& text() const { return text_; }

    // Integer reading: numbers give their value (floats truncated), strings the decimal
    // number at their start, all else 0.
    std::int32_t toInt() const;
    // The text form in a command line; quoted marks a string argument of a set command.
    std::string commandText(bool quoted) const;

private:
    Type type_ = None;
    std::uint16_t marks_ = 0;
    std::int64_t i_ = 0;
    double d_ = 0;
    std::int32_t pairA_ = 0, pairB_ = 0;
    float fA_ = 0, fB_ = 0;
    std::string text_;
    std::u16string wide_;
};

// An ordered list of values; grows by an eighth of its size, at least 4 and at most 1024.
class CAtValueList {
public:
    void add(CAtValue v);
    void clear() { items_.clear(); }
    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    const CAtValue& operator[](std::size_t i) const { return items_[i]; }
    CAtValue& operator[](std::size_t i) { return items_[i]; }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }
    std::size_t capacity() const { return items_.capacity(); }

private:
    std::vector<CAtValue> items_;
};

} // namespace orka::engine
