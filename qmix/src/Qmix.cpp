// The channel filter the ring-tone editor loads as "Qmix.DLL": it reads a Standard MIDI
// File (format 0 or 1), reports the channels it uses, and writes a format-0 copy that
// keeps the chosen channels and every meta event in time order. Its state lives in the
// library, as the editor expects: SetInfo before Convert, GetInfo after Detect/Convert.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#define QMIX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

enum Result : std::int32_t {
    kOk = 0,
    kBadArguments = 1,
    kNotSmf = 2,
    kBadChunk = 3,
    kBadTrack = 4,
    kNoRoom = 5,
};

struct Event {
    std::uint64_t tick = 0;
    std::vector<std::uint8_t> bytes; // status written out, no delta
    int channel = -1;                // -1 for meta events
};

struct Song {
    std::uint16_t division = 0;
    std::vector<Event> events; // merged by time, End of Track left out
    std::uint64_t endTick = 0; // the latest End of Track (or last event)
    std::uint32_t present = 0; // one bit per channel with a channel message
};

std::optional<std::uint32_t> readVarLen(std::span<const std::uint8_t> d, std::size_t& pos)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        if (pos >= d.size())
            return std::nullopt;
        const std::uint8_t b = d[pos++];
        value = (value << 7) | (b & 0x7F);
        if (b < 0x80)
            return value;
    }
    return std::nullopt;
}

void writeVarLen(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    std::uint8_t bytes[5];
    int n = 0;
    bytes[n++] = value & 0x7F;
    while ((value >>= 7) != 0 && n < 4)
        bytes[n++] = static_cast<std::uint8_t>(0x80 | (value & 0x7F));
    while (n > 0)
        out.push_back(bytes[--n]);
}

std::uint32_t be32(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

Result parseTrack(std::span<const std::uint8_t> d, Song& song, std::vector<Event>& out)
{
    std::size_t pos = 0;
    std::uint64_t tick = 0;
    std::uint8_t status = 0;
    while (pos < d.size()) {
        auto delta = readVarLen(d, pos);
        if (!delta || pos >= d.size())
            return kBadTrack;
        tick += *delta;
        Event e;
        e.tick = tick;
        const std::uint8_t first = d[pos];
        if (first == 0xFF) {
            if (d.size() - pos < 2)
                return kBadTrack;
            const std::uint8_t type = d[pos + 1];
            pos += 2;
            auto length = readVarLen(d, pos);
            if (!length || *length > d.size() - pos)
                return kBadTrack;
            if (type == 0x2F) {
                song.endTick = std::max(song.endTick, tick);
                return kOk; // anything after End of Track is not part of the track
            }
            e.bytes = {0xFF, type};
            writeVarLen(e.bytes, *length);
            e.bytes.insert(e.bytes.end(), d.begin() + static_cast<std::ptrdiff_t>(pos),
                           d.begin() + static_cast<std::ptrdiff_t>(pos + *length));
            pos += *length;
            out.push_back(std::move(e));
        } else if (first == 0xF0 || first == 0xF7) {
            ++pos;
            auto length = readVarLen(d, pos);
            if (!length || *length > d.size() - pos)
                return kBadTrack;
            pos += *length; // system exclusive is not carried
        } else if (first > 0xF0) {
            return kBadTrack;
        } else {
            if (first >= 0x80) {
                status = first;
                ++pos;
            } else if (status == 0) {
                return kBadTrack; // running status before any status byte
            }
            const int dataBytes = ((status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0) ? 1 : 2;
            if (d.size() - pos < static_cast<std::size_t>(dataBytes))
                return kBadTrack;
            e.bytes = {status};
            for (int i = 0; i < dataBytes; ++i) {
                if (d[pos] >= 0x80)
                    return kBadTrack;
                e.bytes.push_back(d[pos++]);
            }
            e.channel = status & 0x0F;
            song.present |= 1u << e.channel;
            out.push_back(std::move(e));
        }
    }
    song.endTick = std::max(song.endTick, tick); // a track without End of Track ends with its data
    return kOk;
}

Result parse(const std::uint8_t* smf, std::int32_t length, Song& song)
{
    if (!smf || length < 14)
        return kBadArguments;
    const std::span<const std::uint8_t> file(smf, static_cast<std::size_t>(length));
    if (std::memcmp(file.data(), "MThd", 4) != 0)
        return kNotSmf;
    const std::uint32_t headerLength = be32(file.data() + 4);
    if (headerLength < 6 || headerLength > file.size() - 8)
        return kNotSmf;
    const unsigned format = (file[8] << 8) | file[9];
    const unsigned tracks = (file[10] << 8) | file[11];
    song.division = static_cast<std::uint16_t>((file[12] << 8) | file[13]);
    if (format > 1 || song.division == 0 || (song.division & 0x8000))
        return kNotSmf;
    std::size_t pos = 8 + headerLength;
    unsigned found = 0;
    while (found < tracks && file.size() - pos >= 8) {
        const std::uint32_t chunkLength = be32(file.data() + pos + 4);
        const bool isTrack = std::memcmp(file.data() + pos, "MTrk", 4) == 0;
        pos += 8;
        if (chunkLength > file.size() - pos)
            return kBadChunk;
        if (isTrack) {
            std::vector<Event> events;
            if (Result r = parseTrack(file.subspan(pos, chunkLength), song, events); r != kOk)
                return r;
            // Merge by time; at equal times earlier tracks come first.
            std::vector<Event> merged;
            merged.reserve(song.events.size() + events.size());
            std::merge(std::make_move_iterator(song.events.begin()), std::make_move_iterator(song.events.end()),
                       std::make_move_iterator(events.begin()), std::make_move_iterator(events.end()),
                       std::back_inserter(merged), [](const Event& a, const Event& b) { return a.tick < b.tick; });
            song.events = std::move(merged);
            ++found;
        }
        pos += chunkLength;
    }
    return found == tracks ? kOk : kBadChunk;
}

struct State {
    std::mutex mutex;
    std::uint32_t keep = 0xFFFF;    // channels Convert keeps
    std::uint32_t present = 0;      // channels of the last song read
    std::string log;
};

State& state()
{
    static State s;
    return s;
}

void logLine(State& s, const std::string& line)
{
    if (s.log.size() < 16384)
        s.log += line + "\n";
}

std::string channelList(std::uint32_t bits)
{
    std::string text;
    for (int ch = 0; ch < 16; ++ch)
        if (bits & (1u << ch))
            text += (text.empty() ? "" : ",") + std::to_string(ch + 1);
    return text.empty() ? "none" : text;
}

} // namespace

QMIX_EXPORT std::int32_t GetInfo(std::uint32_t* flags)
{
    if (!flags)
        return kBadArguments;
    State& s = state();
    std::lock_guard lock(s.mutex);
    for (int ch = 0; ch < 16; ++ch)
        flags[ch] = (s.present >> ch) & 1u;
    return kOk;
}

QMIX_EXPORT std::int32_t SetInfo(std::uint32_t* flags)
{
    if (!flags)
        return kBadArguments;
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.keep = 0;
    for (int ch = 0; ch < 16; ++ch)
        if (flags[ch])
            s.keep |= 1u << ch;
    logLine(s, "keep channels " + channelList(s.keep));
    return kOk;
}

QMIX_EXPORT std::int32_t Reset()
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.keep = 0xFFFF;
    s.present = 0;
    s.log.clear();
    return kOk;
}

QMIX_EXPORT std::int32_t Detect(const std::uint8_t* smf, std::int32_t length)
{
    Song song;
    const Result r = parse(smf, length, song);
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (r != kOk) {
        logLine(s, "detect: not a readable MIDI file (" + std::to_string(r) + ")");
        return r;
    }
    s.present = song.present;
    logLine(s, "detect: " + std::to_string(song.events.size()) + " events, channels " + channelList(song.present));
    return kOk;
}

QMIX_EXPORT std::int32_t Convert(const std::uint8_t* smf, std::int32_t length, std::uint8_t* out,
                                 std::int32_t* outLength, std::int32_t mode)
{
    if (!out || !outLength)
        return kBadArguments;
    Song song;
    const Result r = parse(smf, length, song);
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (r != kOk) {
        logLine(s, "convert: not a readable MIDI file (" + std::to_string(r) + ")");
        return r;
    }
    s.present = song.present;

    std::vector<std::uint8_t> body;
    std::uint64_t previous = 0;
    std::size_t kept = 0;
    for (const Event& e : song.events) {
        if (e.channel >= 0 && !(s.keep & (1u << e.channel)))
            continue;
        writeVarLen(body, static_cast<std::uint32_t>(std::min<std::uint64_t>(e.tick - previous, 0x0FFFFFFF)));
        body.insert(body.end(), e.bytes.begin(), e.bytes.end());
        previous = e.tick;
        ++kept;
    }
    writeVarLen(body, static_cast<std::uint32_t>(std::min<std::uint64_t>(song.endTick - std::min(song.endTick, previous), 0x0FFFFFFF)));
    body.insert(body.end(), {0xFF, 0x2F, 0x00});

    std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1,
                                      static_cast<std::uint8_t>(song.division >> 8), static_cast<std::uint8_t>(song.division),
                                      'M', 'T', 'r', 'k'};
    for (int shift = 24; shift >= 0; shift -= 8)
        file.push_back(static_cast<std::uint8_t>(body.size() >> shift));
    file.insert(file.end(), body.begin(), body.end());

    // The caller gives its capacity in *outLength (or 0: the twice-the-input buffer it made).
    const std::uint64_t limit = 2ull * static_cast<std::uint64_t>(length);
    const std::uint64_t capacity = *outLength > 0 ? std::min<std::uint64_t>(static_cast<std::uint64_t>(*outLength), limit) : limit;
    if (file.size() > capacity) {
        logLine(s, "convert: output of " + std::to_string(file.size()) + " bytes does not fit");
        return kNoRoom;
    }
    std::memcpy(out, file.data(), file.size());
    *outLength = static_cast<std::int32_t>(file.size());
    logLine(s, "convert (mode " + std::to_string(mode) + "): kept " + std::to_string(kept) + " of " +
                   std::to_string(song.events.size()) + " events, channels " + channelList(s.keep & song.present) + ", " +
                   std::to_string(file.size()) + " bytes");
    return kOk;
}

QMIX_EXPORT std::int32_t GetLogSize()
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    return static_cast<std::int32_t>(s.log.size() + 1);
}

QMIX_EXPORT std::int32_t GetLog(char* buffer, std::int32_t size)
{
    if (!buffer || size <= 0)
        return 0;
    State& s = state();
    std::lock_guard lock(s.mutex);
    const std::size_t n = std::min(s.log.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, s.log.data(), n);
    buffer[n] = '\0';
    return static_cast<std::int32_t>(n);
}
