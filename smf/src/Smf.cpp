#include "orka/smf/Smf.h"

#include "orka/common/ByteOrder.h"
#include "orka/common/MidiCodes.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace orka::smf {

namespace {

constexpr std::uint32_t kLastFoldableValue = 0x7FFFFF; // one more 7-bit group would pass 28 bits
constexpr std::uint8_t kContinuation = 0x80;
constexpr std::uint8_t kSetTempoDataLength = 3;

bool hasId(std::span<const std::uint8_t> image, std::size_t pos, const char* id)
{
    return image.size() - pos >= 4 && std::memcmp(image.data() + pos, id, 4) == 0;
}

} // namespace

std::optional<std::uint32_t> readVariableLength(std::span<const std::uint8_t> data, std::size_t& pos)
{
    std::uint32_t value = 0;
    for (;;) {
        if (pos >= data.size())
            return std::nullopt;
        const std::uint8_t byte = data[pos++];
        if (value > kLastFoldableValue)
            return std::nullopt;
        value = value * 128 + (byte & midi::kDataMask);
        if (byte < kContinuation)
            return value;
    }
}

void appendVariableLength(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    value = std::min(value, kMaxVariableLength);
    std::uint8_t bytes[4];
    int n = 0;
    bytes[n++] = value & midi::kDataMask;
    while ((value >>= 7) != 0)
        bytes[n++] = static_cast<std::uint8_t>(kContinuation | (value & midi::kDataMask));
    while (n > 0)
        out.push_back(bytes[--n]);
}

std::optional<Header> readHeader(std::span<const std::uint8_t> image)
{
    if (image.size() < kHeaderChunkSize || !hasId(image, 0, "MThd"))
        return std::nullopt;
    if (common::readBE32(image.data() + 4) != kHeaderDataLength)
        return std::nullopt;
    Header h;
    h.format = common::readBE16(image.data() + 8);
    h.trackCount = common::readBE16(image.data() + 10);
    h.division = common::readBE16(image.data() + 12);
    return h;
}

std::optional<std::vector<std::span<const std::uint8_t>>> trackChunks(std::span<const std::uint8_t> image,
                                                                       const Header& header)
{
    std::vector<std::span<const std::uint8_t>> tracks;
    std::size_t pos = kHeaderChunkSize;
    while (tracks.size() < header.trackCount) {
        if (image.size() - pos < kChunkHeaderSize)
            return std::nullopt;
        const bool isTrack = hasId(image, pos, "MTrk");
        const std::uint32_t length = common::readBE32(image.data() + pos + 4);
        pos += kChunkHeaderSize;
        if (length > image.size() - pos)
            return std::nullopt;
        if (isTrack)
            tracks.push_back(image.subspan(pos, length));
        pos += length;
    }
    return tracks;
}

bool TrackReader::fail(TrackError e)
{
    error_ = e;
    return false;
}

std::optional<std::uint8_t> TrackReader::readByte()
{
    if (pos_ >= data_.size())
        return std::nullopt;
    return data_[pos_++];
}

bool TrackReader::skip(std::uint64_t n)
{
    if (n > data_.size() - pos_) {
        pos_ = data_.size(); // the data ends on the way
        return false;
    }
    pos_ += static_cast<std::size_t>(n);
    return true;
}

bool TrackReader::next(Event& e)
{
    if (error_ != TrackError::None || endOfTrack_)
        return false;
    const auto delta = readVariableLength(data_, pos_);
    if (!delta)
        return fail(TrackError::DeltaTime);
    tick_ += *delta;
    if (tick_ > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        return fail(TrackError::TickOverflow);
    e = Event{};
    e.tick = tick_;

    const auto first = readByte();
    if (!first)
        return fail(TrackError::FirstByte);
    if (*first == midi::status::kMeta) {
        const auto type = readByte();
        if (!type)
            return fail(TrackError::MetaType);
        metaType_ = *type;
        e.status = *first;
        e.metaType = *type;
        if (*type == midi::meta::kEndOfTrack) {
            endOfTrack_ = true; // the byte after the type is not read
            return false;
        }
        // Every meta length is a variable-length quantity; a length below 128 is one byte.
        const auto length = readVariableLength(data_, pos_);
        if (!length)
            return fail(TrackError::MetaLength);
        if (*type == midi::meta::kSetTempo) {
            // Three bytes of tempo follow whatever the length says.
            if (data_.size() - pos_ < kSetTempoDataLength)
                return fail(TrackError::MetaData);
            e.payload = data_.subspan(pos_, kSetTempoDataLength);
            pos_ += kSetTempoDataLength;
            return true;
        }
        const std::size_t start = pos_;
        if (!skip(*length))
            return fail(TrackError::MetaData);
        e.payload = data_.subspan(start, *length);
        return true;
    }
    if (*first == midi::status::kSysEx || *first == midi::status::kSysExContinuation) {
        const auto length = readVariableLength(data_, pos_);
        if (!length)
            return fail(TrackError::SysExLength);
        const std::size_t start = pos_;
        if (!skip(*length))
            return fail(TrackError::SysExData);
        e.status = *first;
        e.payload = data_.subspan(start, *length);
        return true;
    }
    if (*first >= 0xF0)
        return fail(TrackError::UndefinedStatus);

    if (*first >= kContinuation) {
        running_ = *first;
        const auto d = readByte();
        if (!d || *d >= kContinuation)
            return fail(TrackError::FirstDataByte);
        e.data1 = *d;
    } else {
        e.data1 = *first; // running status: the byte is the first data byte
    }
    e.status = running_;
    if (running_ == 0) {
        // A data byte before any status: taken as a two-byte message that carries nothing.
        skip(1);
        return true;
    }
    if (midi::dataBytesOf(running_) == 2) {
        const auto d = readByte();
        if (!d)
            return fail(TrackError::MessageCut);
        e.data2 = *d;
    }
    return true;
}

std::optional<Song> readSong(std::span<const std::uint8_t> image, bool lenient)
{
    const auto header = readHeader(image);
    if (!header)
        return std::nullopt;
    const auto tracks = trackChunks(image, *header);
    if (!tracks)
        return std::nullopt;
    Song song;
    song.header = *header;
    struct Placed {
        Event event;
        std::size_t order; // track, then place in the track
    };
    std::vector<Placed> all;
    std::size_t order = 0;
    for (const auto& data : *tracks) {
        TrackReader reader(data);
        Event e;
        while (reader.next(e)) {
            if (e.status != 0)
                all.push_back({e, order++});
        }
        if (reader.error() != TrackError::None && !lenient)
            return std::nullopt;
        song.endTick = std::max(song.endTick, reader.tick());
    }
    // Tracks in order and events in order within each: a stable sort by tick merges them.
    std::stable_sort(all.begin(), all.end(), [](const Placed& a, const Placed& b) { return a.event.tick < b.event.tick; });
    song.events.reserve(all.size());
    for (auto& p : all)
        song.events.push_back(p.event);
    return song;
}

Format0Writer::Format0Writer(std::uint16_t division) : division_(division) {}

void Format0Writer::delta(std::uint64_t tick)
{
    tick = std::max(tick, last_);
    // A gap longer than one delta can hold is carried by empty text events, so no time is lost.
    while (tick - last_ > kMaxVariableLength) {
        appendVariableLength(body_, kMaxVariableLength);
        body_.insert(body_.end(), {midi::status::kMeta, midi::meta::kText, 0x00});
        last_ += kMaxVariableLength;
    }
    appendVariableLength(body_, static_cast<std::uint32_t>(tick - last_));
    last_ = tick;
}

void Format0Writer::channelMessage(std::uint64_t tick, std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
{
    delta(tick);
    body_.push_back(status);
    body_.push_back(data1);
    if (midi::dataBytesOf(status) == 2)
        body_.push_back(data2);
}

void Format0Writer::meta(std::uint64_t tick, std::uint8_t type, std::span<const std::uint8_t> data)
{
    delta(tick);
    body_.push_back(midi::status::kMeta);
    body_.push_back(type);
    appendVariableLength(body_, static_cast<std::uint32_t>(data.size()));
    body_.insert(body_.end(), data.begin(), data.end());
}

void Format0Writer::sysEx(std::uint64_t tick, std::uint8_t status, std::span<const std::uint8_t> data)
{
    delta(tick);
    body_.push_back(status);
    appendVariableLength(body_, static_cast<std::uint32_t>(data.size()));
    body_.insert(body_.end(), data.begin(), data.end());
}

void Format0Writer::tempo(std::uint64_t tick, std::uint32_t microsecondsPerQuarter)
{
    const std::uint8_t data[3] = {static_cast<std::uint8_t>(microsecondsPerQuarter >> 16),
                                  static_cast<std::uint8_t>(microsecondsPerQuarter >> 8),
                                  static_cast<std::uint8_t>(microsecondsPerQuarter)};
    meta(tick, midi::meta::kSetTempo, data);
}

std::vector<std::uint8_t> Format0Writer::finish(std::uint64_t tick)
{
    delta(tick);
    body_.insert(body_.end(), {midi::status::kMeta, midi::meta::kEndOfTrack, 0x00});
    std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd'};
    common::appendBE32(file, kHeaderDataLength);
    common::appendBE16(file, 0);
    common::appendBE16(file, 1);
    common::appendBE16(file, division_);
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    common::appendBE32(file, static_cast<std::uint32_t>(body_.size()));
    file.insert(file.end(), body_.begin(), body_.end());
    body_.clear();
    last_ = 0;
    return file;
}

} // namespace orka::smf
