#pragma once
// The codes of a SMAF piece's sequence data and of the messages the SMAF sequencer sends
// the FM synthesizer: one place for what the converter writes, the sequencer reads and the
// synthesizer obeys.
#include <cstdint>

namespace orka::common::smaf {

// --- Sequence data ("Mtsq" of a score track, "Atsq" of the audio track) ---
// Each event follows its duration. An event byte is one of these two, or else a note (score:
// channel in bits 6-7, block in bits 4-5, note code 1-12 in bits 0-3; audio: a wave number),
// followed by its gate time.
inline constexpr std::uint8_t kEventControl = 0x00; // a control byte follows
inline constexpr std::uint8_t kEventEscape = 0xFF;  // kEscapeExclusive or kEscapeNoOperation follows
inline constexpr std::uint8_t kEscapeExclusive = 0xF0; // a length byte and that many data bytes
inline constexpr std::uint8_t kEscapeNoOperation = 0x00;
inline constexpr std::uint8_t kExclusiveEnd = 0xF7; // the last data byte of an exclusive
// A sequence ends at this many zero bytes.
inline constexpr int kSequenceEndBytes = 4;

// The control byte of a score track: bits 6-7 the channel of the track, bits 4-5 the kind,
// bits 0-3 a short value or, for kControlExtended, the code of an extended control whose
// value byte follows.
inline constexpr int kControlChannelShift = 6;
inline constexpr std::uint8_t kControlKindMask = 0x30;
inline constexpr std::uint8_t kControlValueMask = 0x0F;
inline constexpr std::uint8_t kControlExpression = 0x00;
inline constexpr std::uint8_t kControlPitchBend = 0x10;
inline constexpr std::uint8_t kControlModulation = 0x20;
inline constexpr std::uint8_t kControlExtended = 0x30;

enum ExtendedControl : std::uint8_t {
    kExtendedProgram = 0,
    kExtendedBank = 1, // 128 + n: drum bank n
    kExtendedOctaveShift = 2, // bit 7: downwards
    kExtendedPitchBend = 4,
    kExtendedVolume = 7,
    kExtendedPan = 10,
    kExtendedExpression = 11,
};

// The control byte of the audio track that sets the sample volume (its value follows).
inline constexpr std::uint8_t kAudioControlSampleVolume = 0x37;

// Exclusive data inside a sequence or setup ("Mtsu"): the maker, then what it carries.
inline constexpr std::uint8_t kMakerId = 0x43;
inline constexpr std::uint8_t kExclusiveFmVoice = 0x03;    // a voice record, or kFmRegister...
inline constexpr std::uint8_t kExclusiveOldFmVoice = 0x02; // the older 2-operator voice layout
inline constexpr std::uint8_t kFmRegisterWrite = 0x90;     // after kMakerId, kExclusiveFmVoice: register, value
inline constexpr std::uint8_t kFmVoiceAssign = 0x91;       // after kMakerId, kExclusiveFmVoice: pair, voices

// FM registers written by a piece: the low 8 bits of channel c's F-number at kRegisterFnumberLow
// + c; block, F-number bits 8-9 and the key bit at kRegisterBlockAndKey + c.
inline constexpr std::uint8_t kRegisterFnumberLow = 0xB0;
inline constexpr std::uint8_t kRegisterBlockAndKey = 0xC0;
inline constexpr std::uint8_t kRegisterKeyOn = 0x20;

// --- Messages of the sequencer to the synthesizer ---
// System exclusive: these five bytes, then a command byte and its data, ending in 0xF7.
inline constexpr std::uint8_t kSynthHeader[5] = {0xF0, 0x43, 0x79, 0x05, 0x7F};

enum SynthCommand : std::uint8_t {
    kSynthNoteLimit = 0x00,
    kSynthRegisterWrite = 0x03,
    kSynthStereo = 0x04,
    kSynthWaveData = 0x05,
    kSynthWaveDelete = 0x06,
    kSynthWaveStart = 0x07,
    kSynthWaveEnd = 0x08,
    kSynthSampleVolume = 0x09,
    kSynthMasterAttenuation = 0x0A,
    kSynthAllocationMode = 0x0B,
};

// Events of the sequencer's list that are no MIDI channel messages: a register write of the
// piece, and a sample event whose first data byte is kSynthWaveStart, kSynthWaveEnd or
// kSynthSampleVolume.
inline constexpr std::uint8_t kPackedRegisterWrite = 0xF0;
inline constexpr std::uint8_t kPackedSampleEvent = 0xF1;

} // namespace orka::common::smaf
