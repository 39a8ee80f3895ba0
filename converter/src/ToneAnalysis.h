#pragma once
// First walk over the song: checks the controllers and programs, collects the tones the song
// needs and the song information, then gives every tone a voice slot.
#include "ConverterTypes.h"
#include "MidiStream.h"
#include "Stage.h"

namespace melconv {

class ToneAnalysis : public Stage {
public:
    bool run(const MidiStream& stream, const VoiceBankView& bank);

    const ToneTable& toneTable() const { return table_; }
    const ToneSlots& toneSlots() const { return slots_; }
    const ContentsInfo& contents() const { return contents_; }

private:
    bool walk(const MidiStream& stream);
    bool controller(MidiChannelState& ch, unsigned channel, unsigned number, unsigned value);
    bool programChange(MidiChannelState& ch, unsigned channel, unsigned program);
    bool drumNote(const MidiChannelState& ch, unsigned channel, unsigned note);
    void metaEvent(const MidiStream& stream, const MidiEvent& e);
    bool checkDrumReserves();
    bool assignOperators(const VoiceBankView& bank);
    void fillSlot(ToneSlot& slot, std::uint8_t index, const ToneEntry& entry, std::uint8_t operators,
                  const VoiceBankView& bank) const;

    std::array<MidiChannelState, 16> channels_{};
    ToneTable table_{};
    ToneSlots slots_{};
    ContentsInfo contents_{};
};

// Copies text with "," and "\" escaped by a "\"; a double-byte character is copied whole.
std::string escapeContentsText(std::span<const std::uint8_t> text);
// Reads an "XFln" text into the song information (language code and five names).
void readXflnText(std::span<const std::uint8_t> text, ContentsInfo& info);
// Reads the MIDI channels named by a "$Lyrc:" cue point.
void readLyricCue(std::span<const std::uint8_t> text, ContentsInfo& info);
// Operator count of a voice: algorithms 0 and 1 use 2 operators, the others 4.
inline std::uint8_t operatorCount(const std::array<std::uint8_t, 26>& voice) { return (voice[3] & 7) <= 1 ? 2 : 4; }

} // namespace melconv
