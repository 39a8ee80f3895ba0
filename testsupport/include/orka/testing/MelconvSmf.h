#pragma once
// Small format-0 Standard MIDI Files for the converter's tests and benchmark.
#include "orka/common/ByteOrder.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace melconv::test {

// Builds a format-0 Standard MIDI File event by event.
class Smf {
public:
    Smf& raw(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes)
    {
        varLength(delta);
        track_.insert(track_.end(), bytes);
        return *this;
    }
    Smf& on(std::uint32_t delta, int ch, int note, int velocity = 100)
    {
        return raw(delta, {u8(0x90 | ch), u8(note), u8(velocity)});
    }
    Smf& off(std::uint32_t delta, int ch, int note) { return raw(delta, {u8(0x80 | ch), u8(note), 0}); }
    Smf& cc(std::uint32_t delta, int ch, int number, int value) { return raw(delta, {u8(0xB0 | ch), u8(number), u8(value)}); }
    Smf& program(std::uint32_t delta, int ch, int p) { return raw(delta, {u8(0xC0 | ch), u8(p)}); }
    Smf& bend(std::uint32_t delta, int ch, int value)
    {
        return raw(delta, {u8(0xE0 | ch), u8(value & 0x7F), u8((value >> 7) & 0x7F)});
    }
    Smf& meta(std::uint32_t delta, int type, const std::string& text)
    {
        varLength(delta);
        track_.push_back(0xFF);
        track_.push_back(u8(type));
        varLength(static_cast<std::uint32_t>(text.size()));
        track_.insert(track_.end(), text.begin(), text.end());
        return *this;
    }
    Smf& cue(std::uint32_t delta, const std::string& text) { return meta(delta, 0x07, text); }
    Smf& tempo(std::uint32_t delta, std::uint32_t usPerQuarter)
    {
        return meta(delta, 0x51, std::string{char(usPerQuarter >> 16), char(usPerQuarter >> 8), char(usPerQuarter)});
    }
    Smf& timeSignature(std::uint32_t delta, int numerator, int power)
    {
        return meta(delta, 0x58, std::string{char(numerator), char(power), 24, 8});
    }
    // A normal channel ready to play: reserve and program.
    Smf& setup(int ch, int reserve, int p, int lsb = -1)
    {
        cc(0, ch, 55, reserve);
        if (lsb >= 0) {
            cc(0, ch, 0, 122);
            cc(0, ch, 32, lsb);
        }
        return program(0, ch, p);
    }
    Smf& drumSetup(int ch, int reserve, int kit = 0)
    {
        cc(0, ch, 0, 123);
        cc(0, ch, 32, 0);
        cc(0, ch, 55, reserve);
        return program(0, ch, kit);
    }
    Smf& note(std::uint32_t delta, int ch, int n, std::uint32_t length, int velocity = 100)
    {
        on(delta, ch, n, velocity);
        return off(length, ch, n);
    }

    std::vector<std::uint8_t> bytes(int format = 0, int division = 480) const
    {
        std::vector<std::uint8_t> out = {'M', 'T', 'h', 'd', 0, 0, 0, 6};
        orka::common::appendBE16(out, static_cast<std::uint16_t>(format));
        orka::common::appendBE16(out, 1);
        orka::common::appendBE16(out, static_cast<std::uint16_t>(division));
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        orka::common::appendBE32(out, static_cast<std::uint32_t>(track_.size() + 4));
        out.insert(out.end(), track_.begin(), track_.end());
        out.insert(out.end(), {0x00, 0xFF, 0x2F, 0x00});
        return out;
    }

private:
    static std::uint8_t u8(int v) { return static_cast<std::uint8_t>(v); }
    void varLength(std::uint32_t v)
    {
        std::uint8_t tmp[5];
        int n = 0;
        tmp[n++] = v & 0x7F;
        while (v >>= 7)
            tmp[n++] = static_cast<std::uint8_t>(0x80 | (v & 0x7F));
        while (n > 0)
            track_.push_back(tmp[--n]);
    }
    std::vector<std::uint8_t> track_;
};

} // namespace melconv::test
