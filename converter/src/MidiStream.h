#pragma once
// The event stream of a format-0 Standard MIDI File, read once into a list with the timing
// every stage needs: elapsed time, the rounded 4 ms tick and the bar:beat:tick position.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace melconv {

// Milliseconds of one SMAF tick, for the score tracks and the audio track alike; no input
// changes it.
constexpr int kTimebaseMs = 4;

// Bar, beat and tick of an event for messages, counted from 1:1:0.
struct MusicalPosition {
    std::int64_t bar = 1;
    std::int64_t beat = 1;
    std::int64_t tick = 0;
};

struct MidiEvent {
    std::uint8_t status = 0;   // 0x80-0xEF channel message, 0xFF meta, 0xF0/0xF7 exclusive, others system
    std::uint8_t data1 = 0;    // 7-bit data bytes of channel messages
    std::uint8_t data2 = 0;
    std::uint8_t metaType = 0; // meta events only
    // Meta and exclusive events: the index of their payload; note-ons: the index of their
    // span. Kept apart so that the record of every event stays small (long songs hold
    // hundreds of thousands).
    std::uint32_t aux = 0;
    std::int64_t time = 0;        // elapsed time (delta ticks x microseconds per quarter) in 4 ms ticks
    std::uint64_t tick = 0;       // file ticks since the start

    std::uint8_t kind() const { return status < 0xF0 ? static_cast<std::uint8_t>(status & 0xF0) : status; }
    std::uint8_t channel() const { return static_cast<std::uint8_t>(status & 0x0F); }
    bool isNoteOn() const { return kind() == 0x90 && data2 > 0; }
    bool isNoteOff() const { return kind() == 0x80 || (kind() == 0x90 && data2 == 0); }
    bool isMeta(std::uint8_t type) const { return status == 0xFF && metaType == type; }
};

// Where the note started by one note-on ends, worked out for every note-on in one pass so
// that finding a note's length never walks the rest of the song again.
struct NoteSpan {
    static constexpr std::uint32_t none = 0xFFFFFFFFu;
    std::uint32_t noteOff = none;       // the matching note-off (or note-on with velocity 0)
    std::uint32_t sameNoteOn = none;    // the next note-on of the same channel and note
    std::uint32_t channelNoteOn = none; // the next note-on of the same channel, any note
};

class MidiStream {
public:
    // Reads the events from byte 22 to the end of `file`. Nothing outside `file` is read:
    // an event cut off by the end of the data ends the stream.
    explicit MidiStream(std::span<const std::uint8_t> file);

    std::span<const std::uint8_t> file() const { return file_; }
    const std::vector<MidiEvent>& events() const { return events_; }
    // The span of the note started by note-on event `index`.
    const NoteSpan& span(std::size_t index) const { return spans_[events_[index].aux]; }
    unsigned division() const { return division_; }
    double endElapsed() const { return endElapsed_; }
    // Bar, beat and tick of an event of this stream, for messages.
    MusicalPosition position(const MidiEvent& e) const;
    // The data bytes of a meta or exclusive event.
    std::span<const std::uint8_t> payload(const MidiEvent& e) const
    {
        const Payload& p = payloads_[e.aux];
        return file_.subspan(p.offset, p.length);
    }
    // Indices of the pitch-bend events of one channel, in order.
    const std::vector<std::size_t>& pitchBends(unsigned channel) const { return bends_[channel & 15]; }
    // True when channel `ch` has a pitch bend strictly between events `from` and `to`.
    bool bendBetween(unsigned ch, std::size_t from, std::size_t to) const;

    // round-half-up(elapsed / (division x 4000)): the one rounding rule for all times.
    std::int64_t toTicks(double elapsed) const;

private:
    void read();
    void findNoteSpans();
    void timeSignature(std::uint64_t tick, unsigned numerator, unsigned denominatorPower);

    std::span<const std::uint8_t> file_;
    unsigned division_ = 1;
    std::vector<MidiEvent> events_;
    struct Payload {
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
    };
    std::vector<Payload> payloads_;
    std::vector<NoteSpan> spans_; // one per note-on
    std::vector<std::size_t> bends_[16];
    double endElapsed_ = 0.0;

    // Bar bookkeeping from one time-signature event on: 1920 ticks a bar and 480 a beat
    // before the first one, whatever the division.
    struct Signature {
        std::size_t firstEvent = 0;   // the first event counted with it
        std::uint64_t startTick = 0;  // file tick of the change
        std::uint64_t wholeBars = 0;  // bars counted before it
        std::uint64_t ticksPerBar = 1920;
        std::uint64_t ticksPerBeat = 480;
    };
    std::vector<Signature> signatures_;
};

// printf-style formatting into a std::string.
std::string formatMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "%d:%d:%d" positions use 64-bit counts; this prints "bar:beat:tick".
std::string positionText(const MusicalPosition& p);

} // namespace melconv
