#include "orka/audio/midi/MidiSong.h"

#include "orka/common/ByteOrder.h"
#include "orka/common/MidiCodes.h"
#include "orka/smf/Smf.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace orka::audio::midi {

namespace {

// The check's message for each way a track can fail; `metaType` picks between the two
// wordings of a meta length fault.
const char* messageFor(smf::TrackError error, std::uint8_t metaType)
{
    using smf::TrackError;
    const bool variableGroup = metaType < orka::midi::meta::kCuePoint || metaType == orka::midi::meta::kSequencerSpecific;
    switch (error) {
    case TrackError::DeltaTime:
    case TrackError::MessageCut: // found when the next delta time is missing
        return "Track %i Offset %i: Delta-time problem.";
    case TrackError::TickOverflow:
        return "Track %i Offset %i: Total ticks can't fit in integer.";
    case TrackError::FirstByte:
        return "Track %i Offset %i: First byte problem.";
    case TrackError::MetaType:
        return "Track %i Offset %i: Second byte problem on meta-event.";
    case TrackError::MetaLength:
        if (metaType == orka::midi::meta::kSetTempo)
            return "Track %i Offset %i: Data problem on meta-event.";
        return variableGroup ? "Track %i Offset %i: Variable-length problem on meta-event."
                             : "Track %i Offset %i: Length problem on meta-event.";
    case TrackError::MetaData:
        return variableGroup ? "Track %i Offset %i: Variable-length data on meta-event."
                             : "Track %i Offset %i: Data problem on meta-event.";
    case TrackError::SysExLength:
        return "Track %i Offset %i: Variable-length problem on SysEx message.";
    case TrackError::SysExData:
        return "Track %i Offset %i Variable-Length data on SysEx message.";
    case TrackError::UndefinedStatus:
        return "Track %i Offset %i: Incorrect first byte.";
    case TrackError::FirstDataByte:
        return "Track %i Offset %i: Message first data byte problem.";
    case TrackError::None:
        break;
    }
    return "Track %i Offset %i: Delta-time problem.";
}

// Walks one track's copy and fills the song facts it finds; returns the failure text.
std::optional<std::string> checkTrack(int index, MidiTrack& track, MidiSong& song)
{
    namespace status = orka::midi::status;
    smf::TrackReader reader(track.data);
    smf::Event e;
    while (reader.next(e)) {
        track.lengthTicks = static_cast<std::int32_t>(e.tick);
        if (e.isMeta(orka::midi::meta::kSetTempo)) {
            const auto& p = e.payload;
            // A tempo of 0 would stop time and divide by zero later; 1 us is as fast as it gets.
            song.tempo = std::max<std::uint32_t>(1, (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2]);
            continue;
        }
        if (!e.isChannelMessage())
            continue; // exclusive, other meta events, and a data byte with no status
        auto& channel = song.channels[e.channel()];
        switch (e.kind()) {
        case status::kNoteOn:
            channel.hasNotes = true;
            break;
        case status::kProgramChange:
            if (channel.firstProgram == -1)
                channel.firstProgram = e.data1;
            break;
        case status::kControlChange:
            if (e.data1 == orka::midi::controller::kVolume)
                song.channelVolumes[e.channel()] = e.data2;
            break;
        default:
            break;
        }
    }
    track.lengthTicks = static_cast<std::int32_t>(reader.tick() & 0x7FFFFFFF);
    if (reader.endOfTrack())
        return std::nullopt;
    char text[128];
    std::snprintf(text, sizeof text, messageFor(reader.error(), reader.failedMetaType()), index,
                  static_cast<int>(reader.offset()));
    return std::string(text);
}

} // namespace

std::optional<std::uint32_t> readVariableLength(std::span<const std::uint8_t> data, std::size_t& pos)
{
    return smf::readVariableLength(data, pos);
}

void appendVariableLength(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    smf::appendVariableLength(out, value);
}

std::optional<MidiSong> readMidiSong(std::span<const std::uint8_t> image, std::string* message)
{
    if (message)
        message->clear();
    MidiSong song;
    song.channelVolumes.fill(kNoVolume);

    // Every header read is bounded by the image: a file cut short fails without a message.
    const auto header = smf::readHeader(image);
    // SMPTE timing is refused, and a division of 0 would leave the position unable to move.
    if (!header || !header->ticksPerQuarter())
        return std::nullopt;
    song.format = header->format;
    song.trackCount = header->trackCount;
    song.division = static_cast<std::int16_t>(header->division);

    std::size_t pos = smf::kHeaderChunkSize;
    if (std::size_t{song.trackCount} * smf::kChunkHeaderSize > image.size() - pos)
        return std::nullopt; // cannot hold that many chunk headers
    song.tracks.resize(song.trackCount);
    for (std::size_t i = 0; i < song.trackCount; ++i) {
        if (image.size() - pos < smf::kChunkHeaderSize ||
            std::string_view(reinterpret_cast<const char*>(image.data() + pos), 4) != "MTrk")
            return std::nullopt;
        const std::uint32_t length = common::readBE32(image.data() + pos + 4);
        pos += smf::kChunkHeaderSize;
        if (length > 0x7FFFFFFFu || length > image.size() - pos)
            return std::nullopt;
        MidiTrack& track = song.tracks[i];
        track.data.assign(image.begin() + static_cast<std::ptrdiff_t>(pos), image.begin() + static_cast<std::ptrdiff_t>(pos + length));
        pos += length;
        if (auto failure = checkTrack(static_cast<int>(i), track, song)) {
            if (message)
                *message = *failure;
            return std::nullopt;
        }
        song.songLength = std::max(song.songLength, track.lengthTicks);
    }

    for (std::uint32_t v : song.channelVolumes) {
        if (v == kNoVolume)
            continue;
        song.highestVolume = std::max(song.highestVolume, v);
        song.lowestVolume = std::min(song.lowestVolume, v);
    }
    song.volumePresent = song.lowestVolume <= song.highestVolume;
    return song;
}

} // namespace orka::audio::midi
