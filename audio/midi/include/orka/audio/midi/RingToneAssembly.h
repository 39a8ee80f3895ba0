#pragma once
// Builds the single-track Standard MIDI File of a ring tone: the chosen range of a song
// with the programs and controllers in force at its start, its volume and its tempo.
#include "orka/audio/midi/MidiSong.h"

#include <cstdint>
#include <vector>

namespace orka::audio::midi {

struct RingToneSettings {
    std::int32_t rangeStart = 0;
    std::int32_t rangeEnd = 0;         // 0: the song's end
    std::uint32_t volumePercent = 100; // as the player applies it
    float tempoFactor = 1.0f;
};

// One event of a song in time order over all its tracks, with its status written out.
struct SongEvent {
    std::int64_t tick = 0;
    std::vector<std::uint8_t> bytes; // the event without its delta time
};

// All events of a checked song, tracks merged by time (earlier tracks first at equal
// ticks), End of Track events left out.
std::vector<SongEvent> mergedEvents(const MidiSong& song);

// The tempo (us per quarter note) in force at `tick`: that of the last Set Tempo before it.
std::uint32_t tempoAt(const std::vector<SongEvent>& events, std::int64_t tick);

// The assembled file: one format-0 track at the song's division.
std::vector<std::uint8_t> assembleRingTone(const MidiSong& song, const RingToneSettings& settings);

} // namespace orka::audio::midi
