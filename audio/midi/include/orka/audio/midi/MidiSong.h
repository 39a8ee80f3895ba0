#pragma once
// The Standard MIDI File reader: checks a whole file image event by event, keeps a copy of
// each track's bytes and gathers the facts playback and the ring-tone editor need. It
// builds no event list; the sequencer walks the raw track bytes again at play time.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orka::audio::midi {

constexpr std::uint32_t kDefaultTempo = 500000;    // microseconds per quarter note
constexpr std::uint32_t kNoVolume = 0xFFFFFFFFu;   // channel volume entry: none set

struct MidiTrack {
    std::vector<std::uint8_t> data; // the reader's own copy of the chunk data
    // Playback state, left zero by the reader.
    std::size_t cursor = 0;
    std::uint8_t runningStatus = 0;
    bool deltaPending = false;
    bool ended = false;
    float remaining = 0.0f;
    // The sum of the track's delta times, from the check.
    std::int32_t lengthTicks = 0;
};

struct MidiChannelInfo {
    bool hasNotes = false;        // a Note On status was met, whatever its velocity
    std::int32_t firstProgram = -1; // the first Program Change in file order, -1 when none
};

struct MidiSong {
    std::uint16_t format = 0;
    std::uint16_t trackCount = 0;
    std::int16_t division = 0;      // ticks per quarter note
    std::uint32_t tempo = kDefaultTempo; // the last Set Tempo in file order
    std::vector<MidiTrack> tracks;
    std::int32_t songLength = 0;    // the largest track length in ticks
    std::array<MidiChannelInfo, 16> channels{};
    std::array<std::uint32_t, 16> channelVolumes{}; // last Control Change 7, kNoVolume when none
    std::uint32_t highestVolume = 0;
    std::uint32_t lowestVolume = 999;
    bool volumePresent = false;

    // The volume a channel plays at: its file volume, or 127 when the file set none.
    std::uint32_t effectiveVolume(int channel) const
    {
        const std::uint32_t v = channelVolumes[static_cast<std::size_t>(channel)];
        return v == kNoVolume ? 127u : v;
    }
};

// Reads a whole file image. On failure returns nullopt; a track check failure also leaves
// its diagnostic ("Track 0 Offset 12: Delta-time problem.") in `message`, header and chunk
// failures leave it empty.
std::optional<MidiSong> readMidiSong(std::span<const std::uint8_t> image, std::string* message = nullptr);

// Reads a variable-length quantity at `pos` within `data`, moving `pos` past the bytes
// read. Returns nullopt when it is longer than four significant bytes or the data ends.
std::optional<std::uint32_t> readVariableLength(std::span<const std::uint8_t> data, std::size_t& pos);

// Writes a variable-length quantity (values up to 0x0FFFFFFF).
void appendVariableLength(std::vector<std::uint8_t>& out, std::uint32_t value);

} // namespace orka::audio::midi
