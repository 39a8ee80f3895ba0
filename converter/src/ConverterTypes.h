#pragma once
// The records the conversion stages hand to each other.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace melconv {

constexpr std::uint8_t kNormalBank = 122;
constexpr std::uint8_t kDrumBank = 123;
constexpr std::uint8_t kNone = 255;     // free entry, no program, no reserve
constexpr std::uint8_t kPartner = 254;  // reserved as the partner of a 4-operator slot or channel
constexpr int kFirstFmDrumNote = 13;
constexpr int kLastFmDrumNote = 91;
constexpr std::int64_t kLongestGate = 16511;

inline bool isFmDrumNote(int note) { return note >= kFirstFmDrumNote && note <= kLastFmDrumNote; }

// What one MIDI channel has said so far, as one stage sees it.
struct MidiChannelState {
    std::uint8_t bankMsb = kNormalBank;
    std::uint8_t bankLsb = 0;
    std::uint8_t program = kNone;
    bool msbSeen = false;
    bool lsbSeen = false;
    bool programSeen = false;
    bool used = false;
    std::uint8_t reserve = kNone;
    bool reserveSeen = false;
    bool rpnLsbSeen = false;
    bool rpnMsbSeen = false;
    std::uint8_t bendRange = 2;
    std::int32_t bend = 0;
    std::vector<std::uint8_t> drumNotes;
    std::vector<int> fmChannels; // FM channels assigned to this MIDI channel, in use order

    bool isDrum() const { return bankMsb == kDrumBank; }
    bool hasDrumNote(int note) const
    {
        for (auto n : drumNotes)
            if (n == note)
                return true;
        return false;
    }
};

// One tone the song needs: a normal voice (bank, program) or a drum voice (kit, note).
struct ToneEntry {
    std::uint8_t bankMsb = kNone;
    std::uint8_t bankLsb = 0;
    std::uint8_t program = 0;
    std::uint8_t midiChannel = 0;
    std::uint8_t drumNote = 0;
    bool isFree() const { return bankMsb == kNone; }
    bool isDrum() const { return bankMsb == kDrumBank; }
};

struct ToneTable {
    std::array<ToneEntry, 16> entries{};
};

// A voice of the SMAF setup; the slot index is the voice number.
struct ToneSlot {
    std::array<char, 16> name{};
    std::uint8_t midiChannel = 0;
    std::uint8_t index = 0;
    std::uint8_t bankMsb = kNone;
    std::uint8_t bankLsb = 0;
    std::uint8_t program = 0;
    std::uint8_t drumNote = 0;
    std::uint8_t operators = kNone; // 2 or 4; kNone free; kPartner reserved partner
    std::array<std::uint8_t, 26> voice{};
    std::uint8_t drumKey = 0;

    bool inUse() const { return operators == 2 || operators == 4; }
    bool isDrum() const { return bankMsb == kDrumBank; }
};

using ToneSlots = std::array<ToneSlot, 16>;

// One timed event of an FM channel or of the audio track.
struct SeqEvent {
    std::int64_t time = 0;
    std::uint8_t size = 0;
    std::array<std::uint8_t, 9> bytes{};

    bool isExclusive() const { return size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xF0; }
    std::span<const std::uint8_t> data() const { return {bytes.data(), size}; }

    // A note's first byte followed by its gate time: one byte below 128, else two.
    void setNote(std::uint8_t first, int gate)
    {
        bytes[0] = first;
        if (gate < 128) {
            bytes[1] = static_cast<std::uint8_t>(gate);
            size = 2;
        } else {
            bytes[1] = static_cast<std::uint8_t>(0x80 | ((gate - 128) >> 7));
            bytes[2] = static_cast<std::uint8_t>(gate & 0x7F);
            size = 3;
        }
    }
};

// A value last sent on an FM channel and whether it was sent since the last START.
struct SentValue {
    int value;
    bool sent = false;
};

struct FmChannelSlot {
    std::uint8_t midiChannel = 0;
    std::uint8_t bankMsb = 0;
    std::uint8_t bankLsb = 0;
    std::uint8_t program = kNone; // kNone free, kPartner reserved partner
    std::uint8_t drumNote = 0;
    std::uint8_t drumKey = 0;
    std::uint8_t voice = 0;
    bool singleVoice = false;
    bool busy = false;
    int note = -1;               // the note sounding (or last played, for frequency updates)
    bool registerPlayed = false; // the sounding note is played through the frequency registers
    std::int64_t busyUntil = 0;
    SentValue octave{0};
    SentValue velocity{255};
    SentValue volume{98};
    SentValue modulation{255};
    std::array<int, 2> frequency{-1, -1};
    bool writeBothFrequencies = false;
    bool voiceAssigned = false;
    std::vector<SeqEvent> events;

    bool isAssigned() const { return program != kNone && program != kPartner; }
    bool isTaken() const { return program != kNone; }
};

using FmChannels = std::array<FmChannelSlot, 16>;

// One ADPCM wave the song uses.
struct WaveEntry {
    std::uint8_t program = 0;
    std::uint8_t note = 0;
    std::uint8_t number = 0;
    std::vector<std::uint8_t> bytes;
};

// Song information for the contents chunk.
struct ContentsInfo {
    std::uint8_t codeType = 0;
    std::uint8_t copyStatus = 0;
    std::string songTitle, songWriter, wordsWriter, arranger, artist, copyright;
    std::array<bool, 16> lyricChannels{};
};

struct LoopPoints {
    std::int64_t start = 0;
    std::int64_t stop = 0;
};

// The caller's FM voice bank; every read is checked against the size given.
class VoiceBankView {
public:
    static constexpr std::size_t kSize = 86948;
    VoiceBankView(const std::uint8_t* data, std::size_t size) : data_(data), size_(data ? size : 0) {}
    bool isComplete() const { return size_ >= kSize; }
    // Copies `out.size()` bytes from `offset`; bytes outside the bank read as 0.
    void copy(std::size_t offset, std::span<std::uint8_t> out) const
    {
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = offset + i < size_ ? data_[offset + i] : 0;
    }
    static std::size_t normalName(unsigned lsb, unsigned program) { return 8 + lsb * 2048 + program * 16; }
    static std::size_t drumName(unsigned kit, unsigned note) { return 20280 + kit * 1264 + note * 16; }
    static std::size_t normalVoice(unsigned lsb, unsigned program) { return 33128 + lsb * 3328 + program * 26; }
    static std::size_t drumVoice(unsigned kit, unsigned note) { return 66070 + kit * 2054 + note * 26; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

} // namespace melconv
