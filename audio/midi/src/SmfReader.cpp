#include "orka/audio/midi/MidiSong.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <limits>

namespace orka::audio::midi {

namespace {

std::uint32_t be32(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}
std::uint16_t be16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

// Walks one track's copy and fills the song facts it finds; returns the failure text.
class TrackCheck {
public:
    TrackCheck(int index, MidiTrack& track, MidiSong& song) : index_(index), track_(track), song_(song), data_(track.data) {}

    std::optional<std::string> run()
    {
        std::int64_t ticks = 0;
        bool haveStatus = false;
        std::uint8_t status = 0;
        for (;;) {
            auto delta = readVariableLength(data_, pos_);
            if (!delta)
                return fail("Track %i Offset %i: Delta-time problem.");
            ticks += *delta;
            if (ticks > std::numeric_limits<std::int32_t>::max())
                return fail("Track %i Offset %i: Total ticks can't fit in integer.");
            track_.lengthTicks = static_cast<std::int32_t>(ticks);

            auto first = readByte();
            if (!first)
                return fail("Track %i Offset %i: First byte problem.");
            if (*first == 0xFF) {
                auto type = readByte();
                if (!type)
                    return fail("Track %i Offset %i: Second byte problem on meta-event.");
                if (*type == 0x2F)
                    return std::nullopt; // End of Track: the track is good
                if (*type < 7 || *type == 0x7F) {
                    auto length = readVariableLength(data_, pos_);
                    if (!length)
                        return fail("Track %i Offset %i: Variable-length problem on meta-event.");
                    if (!skip(*length))
                        return fail("Track %i Offset %i: Variable-length data on meta-event.");
                } else if (*type == 0x51) {
                    // The length byte is taken as 3 whatever it says.
                    if (!skip(1) || remaining() < 3)
                        return fail("Track %i Offset %i: Data problem on meta-event.");
                    const std::uint8_t* p = data_.data() + pos_;
                    // A tempo of 0 would stop time and divide by zero later; 1 us is as fast as it gets.
                    song_.tempo = std::max<std::uint32_t>(1, (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2]);
                    pos_ += 3;
                } else {
                    auto length = readByte();
                    if (!length)
                        return fail("Track %i Offset %i: Length problem on meta-event.");
                    if (!skip(*length))
                        return fail("Track %i Offset %i: Data problem on meta-event.");
                }
                continue;
            }
            if (*first == 0xF0 || *first == 0xF7) {
                auto length = readVariableLength(data_, pos_);
                if (!length)
                    return fail("Track %i Offset %i: Variable-length problem on SysEx message.");
                if (!skip(*length))
                    return fail("Track %i Offset %i Variable-Length data on SysEx message.");
                continue;
            }
            if (*first >= 0xF0)
                return fail("Track %i Offset %i: Incorrect first byte.");

            std::uint8_t data1 = *first;
            if (*first >= 0x80) {
                status = *first;
                haveStatus = true;
                auto d = readByte();
                if (!d || *d >= 0x80)
                    return fail("Track %i Offset %i: Message first data byte problem.");
                data1 = *d;
            }
            if (!haveStatus) {
                // A data byte before any status: a two-byte message that changes nothing.
                skip(1);
                continue;
            }
            const auto channel = static_cast<std::size_t>(status & 0x0F);
            switch (status >> 4) {
            case 0x9:
                song_.channels[channel].hasNotes = true;
                skip(1);
                break;
            case 0xC:
                if (song_.channels[channel].firstProgram == -1)
                    song_.channels[channel].firstProgram = data1;
                break;
            case 0xD:
                break;
            case 0xB:
                if (data1 == 7) {
                    if (auto value = readByte())
                        song_.channelVolumes[channel] = *value;
                } else {
                    skip(1);
                }
                break;
            default:
                skip(1);
                break;
            }
        }
    }

private:
    std::size_t remaining() const { return data_.size() - pos_; }

    std::optional<std::uint8_t> readByte()
    {
        if (pos_ >= data_.size())
            return std::nullopt;
        return data_[pos_++];
    }

    // Moves past `n` bytes; at the end of the data it stops there and reports false.
    bool skip(std::uint64_t n)
    {
        if (n > remaining()) {
            pos_ = data_.size();
            return false;
        }
        pos_ += static_cast<std::size_t>(n);
        return true;
    }

    std::string fail(const char* format) const
    {
        char text[128];
        std::snprintf(text, sizeof text, format, index_, static_cast<int>(pos_));
        return text;
    }

    int index_;
    MidiTrack& track_;
    MidiSong& song_;
    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
};

} // namespace

std::optional<std::uint32_t> readVariableLength(std::span<const std::uint8_t> data, std::size_t& pos)
{
    std::uint32_t value = 0;
    for (;;) {
        if (pos >= data.size())
            return std::nullopt;
        const std::uint8_t byte = data[pos++];
        if (value > 0x7FFFFF)
            return std::nullopt;
        value = value * 128 + (byte & 0x7F);
        if (byte < 0x80)
            return value;
    }
}

void appendVariableLength(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    value &= 0x0FFFFFFF;
    std::uint8_t bytes[4];
    int n = 0;
    bytes[n++] = value & 0x7F;
    while ((value >>= 7) != 0)
        bytes[n++] = static_cast<std::uint8_t>(0x80 | (value & 0x7F));
    while (n > 0)
        out.push_back(bytes[--n]);
}

std::optional<MidiSong> readMidiSong(std::span<const std::uint8_t> image, std::string* message)
{
    if (message)
        message->clear();
    MidiSong song;
    song.channelVolumes.fill(kNoVolume);

    // Every header read is bounded by the image: a file cut short fails without a message.
    if (image.size() < 14 || std::string_view(reinterpret_cast<const char*>(image.data()), 4) != "MThd")
        return std::nullopt;
    if (be32(image.data() + 4) != 6)
        return std::nullopt;
    song.format = be16(image.data() + 8);
    song.trackCount = be16(image.data() + 10);
    song.division = static_cast<std::int16_t>(be16(image.data() + 12));
    // SMPTE timing is refused, and a division of 0 would leave the position unable to move.
    if (song.division <= 0)
        return std::nullopt;

    std::size_t pos = 14;
    if (std::size_t{song.trackCount} * 8 > image.size() - pos)
        return std::nullopt; // cannot hold that many chunk headers
    song.tracks.resize(song.trackCount);
    for (std::size_t i = 0; i < song.trackCount; ++i) {
        if (image.size() - pos < 8 || std::string_view(reinterpret_cast<const char*>(image.data() + pos), 4) != "MTrk")
            return std::nullopt;
        const std::uint32_t length = be32(image.data() + pos + 4);
        pos += 8;
        if (length > 0x7FFFFFFFu || length > image.size() - pos)
            return std::nullopt;
        MidiTrack& track = song.tracks[i];
        track.data.assign(image.begin() + static_cast<std::ptrdiff_t>(pos), image.begin() + static_cast<std::ptrdiff_t>(pos + length));
        pos += length;
        if (auto failure = TrackCheck(static_cast<int>(i), track, song).run()) {
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
