#include "orka/audio/midi/RingToneAssembly.h"

#include "orka/platform/MidiOut.h"

#include <algorithm>
#include <cmath>

namespace orka::audio::midi {

namespace {

constexpr std::uint32_t kMaxTempo = 0xFFFFFF;

bool isSetTempo(const SongEvent& e) { return e.bytes.size() == 6 && e.bytes[0] == 0xFF && e.bytes[1] == 0x51; }
int kindOf(const SongEvent& e) { return e.bytes.empty() || e.bytes[0] >= 0xF0 ? 0 : e.bytes[0] >> 4; }
bool isNoteStart(const SongEvent& e) { return kindOf(e) == 0x9 && e.bytes.size() == 3 && e.bytes[2] != 0; }

std::uint32_t scaledTempo(std::uint32_t tempo, float factor)
{
    const double t = std::trunc(tempo / static_cast<double>(factor));
    return static_cast<std::uint32_t>(std::clamp(t, 1.0, static_cast<double>(kMaxTempo)));
}

void appendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Walks one checked track as the loading check walked it and appends its events.
void collectTrack(const MidiTrack& track, std::vector<SongEvent>& out)
{
    const std::span<const std::uint8_t> d = track.data;
    std::size_t pos = 0;
    std::int64_t tick = 0;
    std::uint8_t status = 0;
    auto take = [&](std::size_t n, std::vector<std::uint8_t>& into) {
        if (n > d.size() - pos)
            return false;
        into.insert(into.end(), d.begin() + static_cast<std::ptrdiff_t>(pos), d.begin() + static_cast<std::ptrdiff_t>(pos + n));
        pos += n;
        return true;
    };
    for (;;) {
        auto delta = readVariableLength(d, pos);
        if (!delta || pos >= d.size())
            return;
        tick += *delta;
        SongEvent e;
        e.tick = tick;
        const std::uint8_t first = d[pos++];
        if (first == 0xFF) {
            if (pos >= d.size())
                return;
            const std::uint8_t type = d[pos++];
            if (type == 0x2F)
                return;
            std::optional<std::uint32_t> length;
            if (type == 0x51) {
                if (pos >= d.size())
                    return;
                ++pos; // the length byte, taken as 3
                length = 3;
            } else if (type < 7 || type == 0x7F) {
                length = readVariableLength(d, pos);
            } else if (pos < d.size()) {
                length = d[pos++];
            }
            if (!length)
                return;
            e.bytes = {0xFF, type};
            appendVariableLength(e.bytes, *length);
            if (!take(*length, e.bytes))
                return;
        } else if (first == 0xF0 || first == 0xF7) {
            auto length = readVariableLength(d, pos);
            if (!length)
                return;
            e.bytes = {first};
            appendVariableLength(e.bytes, *length);
            if (!take(*length, e.bytes))
                return;
        } else if (first >= 0xF0) {
            return;
        } else {
            std::uint8_t data1 = first;
            if (first >= 0x80) {
                status = first;
                if (pos >= d.size())
                    return;
                data1 = d[pos++];
            }
            if (status == 0) { // a data byte before any status carries no message
                pos = std::min(pos + 1, d.size());
                continue;
            }
            e.bytes = {status, data1};
            if (platform::midiDataBytes(status) == 2) {
                if (pos >= d.size())
                    return;
                e.bytes.push_back(d[pos++]);
            }
        }
        out.push_back(std::move(e));
    }
}

void appendEvent(std::vector<std::uint8_t>& body, std::int64_t delta, const SongEvent& e, const RingToneSettings& s,
                 bool scaleVolume)
{
    appendVariableLength(body, static_cast<std::uint32_t>(std::clamp<std::int64_t>(delta, 0, 0x0FFFFFFF)));
    if (isSetTempo(e)) {
        const std::uint32_t tempo = (std::uint32_t{e.bytes[3]} << 16) | (std::uint32_t{e.bytes[4]} << 8) | e.bytes[5];
        body.insert(body.end(), {0xFF, 0x51, 0x03});
        appendBigEndian(body, scaledTempo(std::max<std::uint32_t>(1, tempo), s.tempoFactor), 3);
        return;
    }
    if (scaleVolume && kindOf(e) == 0xB && e.bytes.size() == 3 && e.bytes[1] == 7) {
        body.insert(body.end(), {e.bytes[0], 7});
        body.push_back(static_cast<std::uint8_t>(std::min<std::uint64_t>(127, std::uint64_t{e.bytes[2]} * s.volumePercent / 100)));
        return;
    }
    body.insert(body.end(), e.bytes.begin(), e.bytes.end());
}

} // namespace

std::vector<SongEvent> mergedEvents(const MidiSong& song)
{
    std::vector<SongEvent> events;
    for (const auto& track : song.tracks)
        collectTrack(track, events);
    std::stable_sort(events.begin(), events.end(), [](const SongEvent& a, const SongEvent& b) { return a.tick < b.tick; });
    return events;
}

std::uint32_t tempoAt(const std::vector<SongEvent>& events, std::int64_t tick)
{
    std::uint32_t tempo = kDefaultTempo;
    for (const auto& e : events) {
        if (e.tick >= tick)
            break;
        if (isSetTempo(e))
            tempo = std::max<std::uint32_t>(1, (std::uint32_t{e.bytes[3]} << 16) | (std::uint32_t{e.bytes[4]} << 8) | e.bytes[5]);
    }
    return tempo;
}

std::vector<std::uint8_t> assembleRingTone(const MidiSong& song, const RingToneSettings& s)
{
    const std::int64_t start = std::max(0, s.rangeStart);
    const std::int64_t end = s.rangeEnd > 0 ? s.rangeEnd : song.songLength;
    const bool toSongEnd = end >= song.songLength;
    const std::vector<SongEvent> events = mergedEvents(song);
    const bool scaleVolume = song.volumePresent; // the player scales the song's own volumes too

    std::vector<std::uint8_t> body;
    if (start > 0) {
        // Programs, controllers and pitch bends before the range, so its start sounds as
        // it did in the song; notes before it are not carried.
        for (const auto& e : events) {
            if (e.tick >= start)
                break;
            const int kind = kindOf(e);
            if (kind == 0xB || kind == 0xC || kind == 0xE)
                appendEvent(body, 0, e, s, scaleVolume);
        }
    }
    if (!song.volumePresent) {
        const auto value = static_cast<std::uint8_t>(std::min<std::uint64_t>(127, std::uint64_t{s.volumePercent} * 127 / 100));
        for (int ch = 0; ch < 16; ++ch)
            if (song.channels[static_cast<std::size_t>(ch)].hasNotes)
                body.insert(body.end(), {0x00, static_cast<std::uint8_t>(0xB0 | ch), 0x07, value});
    }
    body.insert(body.end(), {0x00, 0xFF, 0x51, 0x03});
    appendBigEndian(body, scaledTempo(tempoAt(events, start), s.tempoFactor), 3);

    std::int64_t previous = start;
    for (const auto& e : events) {
        if (e.tick < start)
            continue;
        if (!toSongEnd && (e.tick > end || (e.tick == end && isNoteStart(e))))
            break;
        appendEvent(body, e.tick - previous, e, s, scaleVolume);
        previous = e.tick;
    }
    const std::int64_t tail = toSongEnd ? std::max<std::int64_t>(0, song.songLength - previous) : 0;
    appendVariableLength(body, static_cast<std::uint32_t>(std::min<std::int64_t>(tail, 0x0FFFFFFF)));
    body.insert(body.end(), {0xFF, 0x2F, 0x00});

    std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1};
    appendBigEndian(file, static_cast<std::uint16_t>(song.division), 2);
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    appendBigEndian(file, static_cast<std::uint32_t>(body.size()), 4);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

} // namespace orka::audio::midi
