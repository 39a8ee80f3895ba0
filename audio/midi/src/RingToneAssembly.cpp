#include "orka/audio/midi/RingToneAssembly.h"

#include "orka/common/ByteOrder.h"
#include "orka/common/MidiCodes.h"
#include "orka/smf/Smf.h"

#include <algorithm>
#include <cmath>

namespace orka::audio::midi {

namespace {

constexpr std::uint32_t kMaxTempo = 0xFFFFFF;

bool isSetTempo(const SongEvent& e) { return e.bytes.size() == 6 && e.bytes[0] == orka::midi::status::kMeta && e.bytes[1] == orka::midi::meta::kSetTempo; }
int kindOf(const SongEvent& e) { return e.bytes.empty() || e.bytes[0] >= 0xF0 ? 0 : e.bytes[0] >> 4; }
bool isNoteStart(const SongEvent& e) { return kindOf(e) == 0x9 && e.bytes.size() == 3 && e.bytes[2] != 0; }

std::uint32_t scaledTempo(std::uint32_t tempo, float factor)
{
    const double t = std::trunc(tempo / static_cast<double>(factor));
    return static_cast<std::uint32_t>(std::clamp(t, 1.0, static_cast<double>(kMaxTempo)));
}

void appendTempo(std::vector<std::uint8_t>& out, std::uint32_t tempo)
{
    out.insert(out.end(), {orka::midi::status::kMeta, orka::midi::meta::kSetTempo, 0x03, static_cast<std::uint8_t>(tempo >> 16),
                           static_cast<std::uint8_t>(tempo >> 8), static_cast<std::uint8_t>(tempo)});
}

// Walks one checked track as the loading check walked it and appends its events.
void collectTrack(const MidiTrack& track, std::vector<SongEvent>& out)
{
    smf::TrackReader reader(track.data);
    smf::Event e;
    while (reader.next(e)) {
        SongEvent event;
        event.tick = static_cast<std::int64_t>(e.tick);
        if (e.status == orka::midi::status::kMeta) {
            event.bytes = {e.status, e.metaType};
            smf::appendVariableLength(event.bytes, static_cast<std::uint32_t>(e.payload.size()));
            event.bytes.insert(event.bytes.end(), e.payload.begin(), e.payload.end());
        } else if (e.status == orka::midi::status::kSysEx || e.status == orka::midi::status::kSysExContinuation) {
            event.bytes = {e.status};
            smf::appendVariableLength(event.bytes, static_cast<std::uint32_t>(e.payload.size()));
            event.bytes.insert(event.bytes.end(), e.payload.begin(), e.payload.end());
        } else if (e.isChannelMessage()) {
            event.bytes = {e.status, e.data1};
            if (orka::midi::dataBytesOf(e.status) == 2)
                event.bytes.push_back(e.data2);
        } else {
            continue; // a data byte before any status carries no message
        }
        out.push_back(std::move(event));
    }
}

void appendEvent(std::vector<std::uint8_t>& body, std::int64_t delta, const SongEvent& e, const RingToneSettings& s,
                 bool scaleVolume)
{
    appendVariableLength(body, static_cast<std::uint32_t>(std::clamp<std::int64_t>(delta, 0, 0x0FFFFFFF)));
    if (isSetTempo(e)) {
        const std::uint32_t tempo = common::readBE24(&e.bytes[3]);
        appendTempo(body, scaledTempo(std::max<std::uint32_t>(1, tempo), s.tempoFactor));
        return;
    }
    if (scaleVolume && kindOf(e) == 0xB && e.bytes.size() == 3 && e.bytes[1] == orka::midi::controller::kVolume) {
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
            tempo = std::max<std::uint32_t>(1, common::readBE24(&e.bytes[3]));
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
    body.push_back(0x00); // delta
    appendTempo(body, scaledTempo(tempoAt(events, start), s.tempoFactor));

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
    body.insert(body.end(), {orka::midi::status::kMeta, orka::midi::meta::kEndOfTrack, 0x00});

    std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1};
    common::appendBE16(file, static_cast<std::uint16_t>(song.division));
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    common::appendBE32(file, static_cast<std::uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

} // namespace orka::audio::midi
