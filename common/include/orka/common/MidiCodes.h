// Names for the numbers of the MIDI protocol: status kinds, controller numbers and meta
// types, so that no subsystem spells them as bare literals.
#pragma once

#include <cstdint>

namespace orka::midi {

// Upper four bits of a channel message's status byte.
namespace status {
constexpr std::uint8_t kNoteOff = 0x80;
constexpr std::uint8_t kNoteOn = 0x90;
constexpr std::uint8_t kPolyPressure = 0xA0;
constexpr std::uint8_t kControlChange = 0xB0;
constexpr std::uint8_t kProgramChange = 0xC0;
constexpr std::uint8_t kChannelPressure = 0xD0;
constexpr std::uint8_t kPitchBend = 0xE0;
// Whole status bytes of the events a file holds besides channel messages.
constexpr std::uint8_t kSysEx = 0xF0;
constexpr std::uint8_t kSysExContinuation = 0xF7;
constexpr std::uint8_t kMeta = 0xFF;
constexpr std::uint8_t kKindMask = 0xF0;
constexpr std::uint8_t kChannelMask = 0x0F;
} // namespace status

namespace controller {
constexpr std::uint8_t kBankSelectMsb = 0;
constexpr std::uint8_t kModulation = 1;
constexpr std::uint8_t kDataEntryMsb = 6;
constexpr std::uint8_t kVolume = 7;
constexpr std::uint8_t kPan = 10;
constexpr std::uint8_t kExpression = 11;
constexpr std::uint8_t kBankSelectLsb = 32;
constexpr std::uint8_t kDataEntryLsb = 38;
constexpr std::uint8_t kChannelReserve = 55; // the handset's FM channel reserve
constexpr std::uint8_t kSustain = 64;
constexpr std::uint8_t kReverb = 91;
constexpr std::uint8_t kChorus = 93;
constexpr std::uint8_t kNrpnLsb = 98;
constexpr std::uint8_t kNrpnMsb = 99;
constexpr std::uint8_t kRpnLsb = 100;
constexpr std::uint8_t kRpnMsb = 101;
constexpr std::uint8_t kAllSoundOff = 120;
constexpr std::uint8_t kResetAllControllers = 121;
constexpr std::uint8_t kAllNotesOff = 123;
} // namespace controller

namespace meta {
constexpr std::uint8_t kText = 0x01;
constexpr std::uint8_t kCopyright = 0x02;
constexpr std::uint8_t kTrackName = 0x03;
constexpr std::uint8_t kCuePoint = 0x07;
constexpr std::uint8_t kProgramName = 0x08;
constexpr std::uint8_t kDeviceName = 0x09;
constexpr std::uint8_t kEndOfTrack = 0x2F;
constexpr std::uint8_t kSetTempo = 0x51;
constexpr std::uint8_t kTimeSignature = 0x58;
constexpr std::uint8_t kSequencerSpecific = 0x7F;
} // namespace meta

constexpr std::uint8_t kDataMask = 0x7F;
constexpr int kChannels = 16;
constexpr int kGmDrumChannel = 9; // channel 10 as users count
constexpr std::uint16_t kPitchBendCentre = 8192;

// Data bytes after a status byte: 1 for program change, channel pressure and the one-byte
// system common messages, 0 for the other system messages, 2 otherwise.
constexpr int dataBytesOf(std::uint8_t statusByte)
{
    switch (statusByte & status::kKindMask) {
    case status::kProgramChange:
    case status::kChannelPressure:
        return 1;
    case 0xF0:
        return statusByte == 0xF1 || statusByte == 0xF3 ? 1 : statusByte == 0xF2 ? 2 : 0;
    default:
        return 2;
    }
}

} // namespace orka::midi
