// Reading and writing Standard MIDI Files: variable-length numbers, the header and track
// chunks, the events of one track (running status, meta and system-exclusive lengths), the
// merge of a format-1 song into one time-ordered list, and a format-0 writer. Every read is
// bounded by the bytes given; nothing here allocates per byte of input beyond the events.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace orka::smf {

constexpr std::uint32_t kMaxVariableLength = 0x0FFFFFFF; // four significant 7-bit groups
constexpr std::uint32_t kDefaultTempo = 500000;          // microseconds per quarter note
constexpr std::size_t kHeaderChunkSize = 14;             // "MThd", length 6, three 16-bit fields
constexpr std::size_t kChunkHeaderSize = 8;              // four-letter id and 32-bit length
constexpr std::uint32_t kHeaderDataLength = 6;

// Reads a variable-length quantity at `pos`, moving `pos` past every byte read. A value
// already above 0x7FFFFF before the next byte is folded in is invalid, so at most four
// significant bytes are accepted. Nullopt when invalid or when the data ends first.
std::optional<std::uint32_t> readVariableLength(std::span<const std::uint8_t> data, std::size_t& pos);

// Writes a variable-length quantity; larger values are cut to kMaxVariableLength.
void appendVariableLength(std::vector<std::uint8_t>& out, std::uint32_t value);

struct Header {
    std::uint16_t format = 0;
    std::uint16_t trackCount = 0;
    std::uint16_t division = 0; // the raw word: top bit set means SMPTE timing
    bool ticksPerQuarter() const { return division != 0 && (division & 0x8000) == 0; }
};

// Reads the 14-byte header chunk ("MThd", length exactly 6). Nullopt when it is not there.
std::optional<Header> readHeader(std::span<const std::uint8_t> image);

// The data of the first `header.trackCount` "MTrk" chunks after the header; chunks of other
// ids are passed over. Nullopt when a chunk runs past the image or fewer tracks exist.
std::optional<std::vector<std::span<const std::uint8_t>>> trackChunks(std::span<const std::uint8_t> image,
                                                                       const Header& header);

// One event of a track. Channel messages keep their status even under running status.
struct Event {
    std::uint64_t tick = 0;     // absolute, in file ticks
    std::uint8_t status = 0;    // 0x80-0xEF, 0xF0/0xF7 exclusive, 0xFF meta; 0 for a data byte with no status
    std::uint8_t data1 = 0;     // channel messages (raw bytes, not masked)
    std::uint8_t data2 = 0;
    std::uint8_t metaType = 0;  // meta events
    std::span<const std::uint8_t> payload; // meta and exclusive data, inside the track's bytes

    std::uint8_t kind() const { return status < 0xF0 ? static_cast<std::uint8_t>(status & 0xF0) : status; }
    std::uint8_t channel() const { return static_cast<std::uint8_t>(status & 0x0F); }
    bool isChannelMessage() const { return status >= 0x80 && status < 0xF0; }
    bool isMeta(std::uint8_t type) const { return status == 0xFF && metaType == type; }
};

// Why a track could not be read further.
enum class TrackError {
    None,
    DeltaTime,        // the delta time is invalid or the data ended before it
    TickOverflow,     // the track's ticks no longer fit a signed 32-bit number
    FirstByte,        // the data ended before the event's first byte
    MetaType,         // the data ended before a meta event's type
    MetaLength,       // a meta event's length is invalid or missing
    MetaData,         // a meta event's data runs past the end
    SysExLength,
    SysExData,
    UndefinedStatus,  // 0xF1-0xFE where an event starts
    FirstDataByte,    // after a status byte: missing, or itself a status byte
    MessageCut,       // the data ended inside a channel message's later data bytes
};

// Walks the events of one track's data. next() gives one event at a time until End of Track,
// the end of the data or a fault; error() and offset() then say which and where (the bytes
// of the track consumed when it was found).
class TrackReader {
public:
    explicit TrackReader(std::span<const std::uint8_t> data) : data_(data) {}

    // False at End of Track (error() None, endOfTrack() true), at a fault, or when the data
    // ends cleanly after a whole event without an End of Track (error() DeltaTime).
    bool next(Event& event);
    TrackError error() const { return error_; }
    bool endOfTrack() const { return endOfTrack_; }
    std::size_t offset() const { return pos_; }
    std::uint64_t tick() const { return tick_; }
    // The meta type of the event being read when a meta fault was found.
    std::uint8_t failedMetaType() const { return metaType_; }

private:
    bool fail(TrackError e);
    std::optional<std::uint8_t> readByte();
    bool skip(std::uint64_t n);

    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
    std::uint64_t tick_ = 0;
    std::uint8_t running_ = 0;
    std::uint8_t metaType_ = 0;
    TrackError error_ = TrackError::None;
    bool endOfTrack_ = false;
};

// A song as one time-ordered list, as a format-0 file holds it.
struct Song {
    Header header;
    std::vector<Event> events; // merged: by tick, earlier tracks first at equal ticks; no End of Track
    std::uint64_t endTick = 0; // the latest End of Track or last event
};

// Reads every track and merges them. Tracks that stop early at a fault keep the events read
// up to it when `lenient` is set; otherwise the first fault refuses the song. Nullopt also
// for a missing header or track chunk. Events point into `image`, which must outlive them.
std::optional<Song> readSong(std::span<const std::uint8_t> image, bool lenient = false);

// Builds a format-0 file: every channel message written with its status byte.
class Format0Writer {
public:
    explicit Format0Writer(std::uint16_t division);

    // Appends an event at an absolute tick; ticks must not go backwards (a smaller one is
    // taken as the last). A gap past kMaxVariableLength is bridged by empty text events.
    void channelMessage(std::uint64_t tick, std::uint8_t status, std::uint8_t data1, std::uint8_t data2 = 0);
    void meta(std::uint64_t tick, std::uint8_t type, std::span<const std::uint8_t> data);
    void sysEx(std::uint64_t tick, std::uint8_t status, std::span<const std::uint8_t> data);
    void tempo(std::uint64_t tick, std::uint32_t microsecondsPerQuarter);
    // Ends the track at `tick` (or at the last event, when later) and returns the file.
    std::vector<std::uint8_t> finish(std::uint64_t tick);
    std::size_t size() const { return kHeaderChunkSize + kChunkHeaderSize + body_.size(); }

private:
    void delta(std::uint64_t tick);

    std::uint16_t division_;
    std::vector<std::uint8_t> body_;
    std::uint64_t last_ = 0;
};

} // namespace orka::smf
