// The channel filter the ring-tone editor loads as "Qmix.DLL": it reads a Standard MIDI
// File (format 0 or 1), reports the channels it uses, and writes a format-0 copy that keeps
// the chosen channels, prepared so that the converter accepts it, with a log of every change. Its state lives in the
// library, as the editor expects: SetInfo before Convert, GetInfo after Detect/Convert.
#include "SongPreparation.h"
#include "orka/resources/VoiceBank.h"
#include "orka/smf/Smf.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <new>
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

constexpr std::uint32_t kAllChannels = 0xFFFF;
constexpr std::size_t kLogLimit = 65536;

// Reads a song leniently: a track cut off or broken keeps the events before the fault.
Result parse(const std::uint8_t* smf, std::int32_t length, std::optional<orka::smf::Song>& song)
{
    if (!smf || length < static_cast<std::int32_t>(orka::smf::kHeaderChunkSize))
        return kBadArguments;
    const std::span<const std::uint8_t> file(smf, static_cast<std::size_t>(length));
    const auto header = orka::smf::readHeader(file);
    if (!header || header->format > 1 || !header->ticksPerQuarter())
        return kNotSmf;
    song = orka::smf::readSong(file, true);
    return song ? kOk : kBadChunk;
}

std::uint32_t presentChannels(const orka::smf::Song& song)
{
    std::uint32_t present = 0;
    for (const auto& e : song.events)
        if (e.isChannelMessage())
            present |= 1u << e.channel();
    return present;
}

struct State {
    std::mutex mutex;
    std::uint32_t keep = kAllChannels; // channels Convert keeps
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
    if (s.log.size() < kLogLimit)
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
    s.keep = kAllChannels;
    s.present = 0;
    s.log.clear();
    return kOk;
}

QMIX_EXPORT std::int32_t Detect(const std::uint8_t* smf, std::int32_t length)
{
    std::optional<orka::smf::Song> song;
    const Result r = parse(smf, length, song);
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (r != kOk) {
        logLine(s, "detect: not a readable MIDI file (" + std::to_string(r) + ")");
        return r;
    }
    s.present = presentChannels(*song);
    logLine(s, "detect: " + std::to_string(song->events.size()) + " events, channels " + channelList(s.present));
    return kOk;
}

// Prepares the kept channels of the song for the converter (see SongPreparation.h) and
// writes the result when it fits both the caller's capacity and twice the input.
QMIX_EXPORT std::int32_t Convert(const std::uint8_t* smf, std::int32_t length, std::uint8_t* out,
                                 std::int32_t* outLength, std::int32_t mode)
{
    if (!out || !outLength)
        return kBadArguments;
    std::optional<orka::smf::Song> song;
    const Result r = parse(smf, length, song);
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (r != kOk) {
        logLine(s, "convert: not a readable MIDI file (" + std::to_string(r) + ")");
        return r;
    }
    s.present = presentChannels(*song);
    try {
        const auto prepared = orka::qmix::prepareSong(*song, s.keep, orka::resources::embeddedVoiceBank());
        for (const auto& line : prepared.log)
            logLine(s, line);
        // The caller gives its capacity in *outLength (or 0: the twice-the-input buffer it made).
        const std::uint64_t limit = 2ull * static_cast<std::uint64_t>(length);
        const std::uint64_t capacity =
            *outLength > 0 ? std::min<std::uint64_t>(static_cast<std::uint64_t>(*outLength), limit) : limit;
        if (prepared.file.size() > capacity) {
            logLine(s, "convert: output of " + std::to_string(prepared.file.size()) + " bytes does not fit in " +
                           std::to_string(capacity));
            return kNoRoom;
        }
        std::memcpy(out, prepared.file.data(), prepared.file.size());
        *outLength = static_cast<std::int32_t>(prepared.file.size());
        logLine(s, "convert (mode " + std::to_string(mode) + "): channels " + channelList(s.keep & s.present) + ", " +
                       std::to_string(prepared.file.size()) + " bytes");
        return kOk;
    } catch (const std::bad_alloc&) {
        logLine(s, "convert: out of memory");
        return kNoRoom;
    }
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
