#include "SmafWriter.h"

#include "orka/common/ByteOrder.h"
#include "orka/common/SmafCodes.h"

#include <algorithm>
#include <cstring>

namespace melconv {

namespace codes = orka::common::smaf;

namespace {

constexpr std::uint8_t kNoOperation[] = {codes::kEventEscape, codes::kEscapeNoOperation};
// The stamps closing the contents chunk: "A0:QV18" or "A2:QV18", two checksum characters, ",".
constexpr std::size_t kStampLength = 10;
constexpr std::size_t kStampPrefixLength = 7;
// The stamp checksum's fixed key: the handset computes the same to accept the file.
constexpr unsigned kStampKey = 0x3A5Cu;

const std::array<std::uint16_t, 256>& crcTable()
{
    static const std::array<std::uint16_t, 256> table = [] {
        std::array<std::uint16_t, 256> t{};
        for (unsigned i = 0; i < 256; ++i) {
            std::uint16_t c = static_cast<std::uint16_t>(i << 8);
            for (int b = 0; b < 8; ++b)
                c = static_cast<std::uint16_t>(c & 0x8000 ? (c << 1) ^ 0x1021 : c << 1);
            t[i] = c;
        }
        return t;
    }();
    return table;
}

// Starts a chunk: its id and a length filled in by `endChunk`.
std::size_t beginChunk(MemoryFile& f, const char* id, int numberByte = -1)
{
    if (numberByte < 0) {
        f.putText(id);
    } else {
        f.putText(id);
        f.put(static_cast<std::uint8_t>(numberByte));
    }
    const auto at = static_cast<std::size_t>(f.size());
    f.put32(0);
    return at;
}

void endChunk(MemoryFile& f, std::size_t lengthAt)
{
    f.set32(lengthAt, static_cast<std::uint32_t>(f.size() - lengthAt - 4));
}

// A seek-point chunk ("MspI" or "AspI") with start and stop points of 0, filled in once the
// sequence is written; returns where its body starts.
std::size_t seekPointChunk(MemoryFile& f, const char* id)
{
    const std::size_t chunk = beginChunk(f, id);
    const std::size_t body = static_cast<std::size_t>(f.size());
    f.putText("st:");
    f.put32(0);
    f.putText(",");
    f.putText("sp:");
    f.put32(0);
    f.putText(",");
    endChunk(f, chunk);
    return body;
}

// Writes a rest before an event: exclusive events take 1-byte durations only.
void putDuration(MemoryFile& f, std::int64_t d, bool exclusive)
{
    d = std::max<std::int64_t>(d, 0);
    if (exclusive) {
        if (d > 127) {
            const auto steps = static_cast<std::uint64_t>((d - 1) / 127);
            const std::uint8_t step[] = {127, kNoOperation[0], kNoOperation[1]};
            f.repeat(step, steps);
            d -= static_cast<std::int64_t>(steps) * 127;
        }
    } else if (d > kLongestGate) {
        const auto steps = static_cast<std::uint64_t>((d - 1) / kLongestGate);
        // The longest two-byte duration, then a no-operation to carry it.
        const std::uint8_t step[] = {0xFF, 0x7F, kNoOperation[0], kNoOperation[1]};
        f.repeat(step, steps);
        d -= static_cast<std::int64_t>(steps) * kLongestGate;
    }
    putNumber(f, d);
}

} // namespace

void MemoryFile::put(std::uint8_t b)
{
    if (size_ < limit_ && size_ == bytes_.size()) {
        if (bytes_.size() == bytes_.capacity())
            bytes_.reserve(bytes_.capacity() + 1024 + bytes_.capacity() / 2);
        bytes_.push_back(b);
    }
    ++size_;
}

void MemoryFile::put(std::span<const std::uint8_t> bytes)
{
    for (auto b : bytes)
        put(b);
}

void MemoryFile::putText(const char* text)
{
    for (; *text; ++text)
        put(static_cast<std::uint8_t>(*text));
}

void MemoryFile::put32(std::uint32_t v)
{
    std::uint8_t field[4];
    orka::common::writeBE32(field, v);
    put(std::span<const std::uint8_t>(field));
}

void MemoryFile::repeat(std::span<const std::uint8_t> pattern, std::uint64_t count)
{
    while (count > 0 && complete() && size_ < limit_) {
        put(pattern);
        --count;
    }
    size_ += count * pattern.size(); // the rest lies past the limit: count it only
}

void MemoryFile::set32(std::size_t offset, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        set8(offset + static_cast<std::size_t>(i), static_cast<std::uint8_t>(v >> (24 - 8 * i)));
}

void MemoryFile::set8(std::size_t offset, std::uint8_t v)
{
    if (offset < bytes_.size())
        bytes_[offset] = v;
}

void putNumber(MemoryFile& f, std::int64_t n)
{
    n = std::clamp<std::int64_t>(n, 0, kLongestGate);
    if (n < 128) {
        f.put(static_cast<std::uint8_t>(n));
    } else {
        f.put(static_cast<std::uint8_t>(0x80 | ((n - 128) >> 7)));
        f.put(static_cast<std::uint8_t>(n & 0x7F));
    }
}

std::uint16_t SmafWriter::crc(std::span<const std::uint8_t> bytes)
{
    const auto& table = crcTable();
    std::uint16_t c = 0xFFFF;
    for (auto b : bytes)
        c = static_cast<std::uint16_t>(table[((c >> 8) ^ b) & 0xFF] ^ (c << 8));
    return c;
}

std::array<char, 2> SmafWriter::stamp(std::span<const std::uint8_t> bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    const unsigned x = (~crc(bytes) & 0xFFFFu) ^ kStampKey;
    return {digits[x & 0xF], digits[(x >> 8) & 0xF]};
}

std::uint8_t SmafWriter::scoreTracksNeeded(const ToneSlots& slots, const FmChannels& channels)
{
    int used = 0;
    for (const FmChannelSlot& f : channels)
        if (f.isTaken())
            ++used;
    int groups = 0;
    for (int start = 0; start < 16;) {
        bool four = false, two = false;
        for (int s = start; s < start + 4; ++s) {
            four = four || slots[s].operators == 4;
            two = two || slots[s].operators == 2;
        }
        if (four) {
            groups += 2;
            start += 8;
        } else {
            groups += two ? 1 : 0;
            start += 4;
        }
    }
    const int value = std::max(groups, (used + 3) / 4);
    return static_cast<std::uint8_t>(value < 0 || value > 4 ? 4 : value);
}

MemoryFile SmafWriter::write(const SmafSong& song, std::size_t limit) const
{
    MemoryFile f(limit);
    // Each event takes its bytes and a duration of one or two bytes.
    std::size_t estimate = 1024;
    for (const FmChannelSlot& channel : *song.channels)
        estimate += channel.events.size() * 5;
    if (song.audioEvents)
        estimate += song.audioEvents->size() * 5;
    if (song.waves)
        for (const WaveEntry& w : *song.waves)
            estimate += w.bytes.size() + 8;
    f.reserve(std::min(estimate, limit));
    f.putText("MMMD");
    f.put32(0);
    contents(f, song);
    const std::size_t contentsEnd = static_cast<std::size_t>(f.size());
    bool setupWritten = false;
    for (int track = 0; track < 4; ++track) {
        bool hasEvents = false;
        for (int c = 0; c < 4; ++c)
            hasEvents = hasEvents || !(*song.channels)[track * 4 + c].events.empty();
        if (!hasEvents)
            continue;
        scoreTrack(f, song, track, !setupWritten);
        setupWritten = true;
    }
    if (song.audioEvents && !song.audioEvents->empty())
        audioTrack(f, song);
    f.put({0x00, 0x00});
    f.set32(4, static_cast<std::uint32_t>(f.size() - 8));
    if (!f.complete())
        return f; // too long for the caller: only its length matters now

    auto& bytes = f.bytes();
    const std::size_t crcAt = bytes.size() - 2;
    // The stamps sit at the end of the contents chunk: "A0:QV18xx," then "A2:QV18xx,".
    const std::size_t a0 = contentsEnd - 2 * kStampLength + kStampPrefixLength;
    const std::size_t a2 = contentsEnd - kStampLength + kStampPrefixLength;
    const auto s0 = stamp({bytes.data() + contentsEnd, crcAt - contentsEnd});
    bytes[a0] = static_cast<std::uint8_t>(s0[0]);
    bytes[a0 + 1] = static_cast<std::uint8_t>(s0[1]);
    const auto s2 = stamp({bytes.data() + 8, contentsEnd - 8});
    bytes[a2] = static_cast<std::uint8_t>(s2[0]);
    bytes[a2 + 1] = static_cast<std::uint8_t>(s2[1]);
    const std::uint16_t fileCrc = static_cast<std::uint16_t>(~crc({bytes.data(), crcAt}));
    orka::common::writeBE16(&bytes[crcAt], fileCrc);
    return f;
}

void SmafWriter::contents(MemoryFile& f, const SmafSong& song) const
{
    const ContentsInfo& info = *song.contents;
    const std::size_t at = beginChunk(f, "CNTI");
    f.put({0x00, 0x01, info.codeType, info.copyStatus, 0x00});
    f.putText("M2:");
    f.put(song.m2);
    f.putText(",");
    const std::pair<const char*, const std::string*> items[] = {
        {"ST", &info.songTitle}, {"AN", &info.artist},  {"WW", &info.wordsWriter},
        {"SW", &info.songWriter}, {"AW", &info.arranger}, {"CR", &info.copyright}};
    for (const auto& [tag, value] : items) {
        if (value->empty())
            continue;
        f.putText(tag);
        f.putText(":");
        f.put(std::span(reinterpret_cast<const std::uint8_t*>(value->data()), value->size()));
        f.putText(",");
    }
    f.putText("A0:QV18  ,");
    f.putText("A2:QV18  ,");
    endChunk(f, at);
}

void SmafWriter::scoreTrack(MemoryFile& f, const SmafSong& song, int track, bool withSetup) const
{
    const std::size_t at = beginChunk(f, "MTR", track + 1);
    f.put({0x00, 0x00, 0x02, 0x02});
    const auto status = [&](int c) { return song.channelStatus[static_cast<std::size_t>(track * 4 + c)] & 0x0F; };
    f.put(static_cast<std::uint8_t>((status(0) << 4) | status(1)));
    f.put(static_cast<std::uint8_t>((status(2) << 4) | status(3)));

    const std::size_t seekAt = seekPointChunk(f, "MspI");

    if (withSetup) {
        const std::size_t setup = beginChunk(f, "Mtsu");
        for (const ToneSlot& s : *song.slots) {
            if (!s.inUse())
                continue;
            const std::size_t voiceBytes = s.operators == 4 ? 22 : 12;
            // Maker, kind, index, bank and program before the voice bytes, the end byte after.
            const auto length = static_cast<std::uint8_t>(5 + voiceBytes + 1);
            f.put({codes::kEventEscape, codes::kEscapeExclusive, length, codes::kMakerId, codes::kExclusiveFmVoice, s.index,
                   static_cast<std::uint8_t>(s.isDrum() ? 128 + s.program : s.bankLsb),
                   static_cast<std::uint8_t>(s.isDrum() ? s.drumNote : s.program)});
            f.put(std::span(s.voice.data() + 3, voiceBytes));
            f.put(codes::kExclusiveEnd);
        }
        endChunk(f, setup);
    }

    const std::vector<SeqEvent>* lists[4];
    for (int c = 0; c < 4; ++c)
        lists[c] = &(*song.channels)[static_cast<std::size_t>(track * 4 + c)].events;
    sequence(f, song.loop, lists, seekAt);
    endChunk(f, at);
}

void SmafWriter::audioTrack(MemoryFile& f, const SmafSong& song) const
{
    const std::size_t at = beginChunk(f, "ATR", 0);
    f.put({0x00, 0x00, static_cast<std::uint8_t>(song.sampleRate == 4000 ? 0x10 : 0x11), 0x00, 0x02, 0x02});
    const std::size_t seekAt = seekPointChunk(f, "AspI");
    const std::vector<SeqEvent>* lists[1] = {song.audioEvents};
    sequence(f, song.loop, lists, seekAt);
    for (const WaveEntry& w : *song.waves) {
        const std::size_t wave = beginChunk(f, "Awa", w.number);
        f.put(w.bytes);
        endChunk(f, wave);
    }
    endChunk(f, at);
}

void SmafWriter::sequence(MemoryFile& f, const LoopPoints& loop, std::span<const std::vector<SeqEvent>* const> lists,
                          std::size_t seekAt) const
{
    const bool score = lists.size() == 4;
    const std::size_t at = beginChunk(f, score ? "Mtsq" : "Atsq");
    const std::size_t bodyStart = static_cast<std::size_t>(f.size());
    std::array<std::size_t, 4> next{};
    int marker = 0; // 0: "st" next, 1: "sp" next, 2: both written
    std::int64_t last = 0;
    for (;;) {
        // The channel event with the smallest time; the lowest channel wins a tie.
        int best = -1;
        for (std::size_t c = 0; c < lists.size(); ++c) {
            if (next[c] >= lists[c]->size())
                continue;
            if (best < 0 || (*lists[c])[next[c]].time < (*lists[best])[next[best]].time)
                best = static_cast<int>(c);
        }
        const std::int64_t markerTime = marker == 0 ? loop.start : loop.stop;
        const bool takeMarker = marker < 2 && (best < 0 || (marker == 0 ? markerTime <= (*lists[best])[next[best]].time
                                                                         : markerTime < (*lists[best])[next[best]].time));
        if (takeMarker) {
            const std::int64_t t = std::max(markerTime, last);
            if (marker == 1 || t > 0) {
                putDuration(f, t - last, false);
                f.put(kNoOperation);
                last = t;
            }
            f.set32(seekAt + (marker == 0 ? 3 : 11), static_cast<std::uint32_t>(f.size() - bodyStart));
            ++marker;
            continue;
        }
        if (best < 0)
            break;
        const SeqEvent& ev = (*lists[best])[next[best]++];
        const std::int64_t t = std::max(ev.time, last);
        putDuration(f, t - last, ev.isExclusive());
        f.put(ev.data());
        last = t;
    }
    f.put32(0); // the sequence ends at four zero bytes
    static_assert(codes::kSequenceEndBytes == 4);
    endChunk(f, at);
}

} // namespace melconv
