#include "MidiStream.h"

#include "orka/common/ByteOrder.h"
#include "orka/common/MidiCodes.h"
#include "orka/smf/Smf.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace melconv {

namespace {

// Reads bytes from a span without ever stepping past its end.
class ByteCursor {
public:
    ByteCursor(std::span<const std::uint8_t> bytes, std::size_t pos) : bytes_(bytes), pos_(pos) {}
    bool atEnd() const { return pos_ >= bytes_.size(); }
    std::size_t pos() const { return pos_; }
    std::size_t remaining() const { return atEnd() ? 0 : bytes_.size() - pos_; }
    bool next(std::uint8_t& b)
    {
        if (atEnd())
            return false;
        b = bytes_[pos_++];
        return true;
    }
    bool peek(std::uint8_t& b) const
    {
        if (atEnd())
            return false;
        b = bytes_[pos_];
        return true;
    }
    // A variable-length number, read as every reader of ours reads it.
    bool varLength(std::uint32_t& value)
    {
        const auto read = orka::smf::readVariableLength(bytes_, pos_);
        value = read.value_or(0);
        return read.has_value();
    }
    bool skip(std::size_t n)
    {
        if (n > remaining())
            return false;
        pos_ += n;
        return true;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_;
};

} // namespace

MidiStream::MidiStream(std::span<const std::uint8_t> file) : file_(file)
{
    if (file_.size() >= 14)
        division_ = orka::common::readBE16(file_.data() + 12);
    signatures_.push_back(Signature{});
    read();
    findNoteSpans();
}

MusicalPosition MidiStream::position(const MidiEvent& e) const
{
    const auto index = static_cast<std::size_t>(&e - events_.data());
    const auto it = std::upper_bound(signatures_.begin(), signatures_.end(), index,
                                     [](std::size_t i, const Signature& s) { return i < s.firstEvent; });
    const Signature& s = *std::prev(it);
    const std::uint64_t since = e.tick - s.startTick;
    MusicalPosition p;
    p.bar = static_cast<std::int64_t>(since / s.ticksPerBar + s.wholeBars + 1);
    p.beat = static_cast<std::int64_t>((since % s.ticksPerBar) / s.ticksPerBeat + 1);
    p.tick = static_cast<std::int64_t>((since % s.ticksPerBar) % s.ticksPerBeat);
    return p;
}

std::int64_t MidiStream::toTicks(double elapsed) const
{
    // A division of 0 counts as 1 so that times stay finite.
    const double unit = static_cast<double>(std::max(division_, 1u)) * kTimebaseMs * 1000.0;
    const double ticks = std::floor(elapsed / unit + 0.5);
    constexpr double limit = 9.0e15; // far beyond any song; keeps the integer exact
    return static_cast<std::int64_t>(std::min(ticks, limit));
}

void MidiStream::read()
{
    ByteCursor in(file_, 22);
    double elapsed = 0.0;
    std::uint64_t tick = 0;
    std::uint32_t tempo = 500000;
    std::uint8_t running = 0;
    std::uint32_t noteOns = 0;
    // An event takes at least 2 bytes, so this never grows; pages not reached stay untouched.
    events_.reserve(file_.size() / 2 + 1);
    while (!in.atEnd()) {
        std::uint32_t delta;
        if (!in.varLength(delta))
            break;
        MidiEvent e;
        std::uint8_t first;
        if (!in.peek(first))
            break;
        if (first & 0x80) {
            in.next(first);
            e.status = first;
            if (first < 0xF0)
                running = first;
        } else if (running != 0) {
            e.status = running; // running status: the data byte belongs to the last channel message
        } else {
            in.next(first); // a stray data byte with no status to re-use is dropped
            elapsed += static_cast<double>(delta) * tempo;
            tick += delta;
            continue;
        }
        bool complete = true;
        if (e.status == 0xFF || e.status == 0xF0 || e.status == 0xF7) {
            if (e.status == 0xFF && !in.next(e.metaType))
                break;
            std::uint32_t length;
            if (!in.varLength(length))
                break;
            e.aux = static_cast<std::uint32_t>(payloads_.size());
            payloads_.push_back({static_cast<std::uint32_t>(in.pos()), length});
            complete = in.skip(length);
        } else {
            const int n = orka::midi::dataBytesOf(e.status);
            std::uint8_t b = 0;
            if (n >= 1) {
                complete = in.next(b);
                e.data1 = b & 0x7F;
            }
            if (n >= 2 && complete) {
                complete = in.next(b);
                e.data2 = b & 0x7F;
            }
        }
        if (!complete)
            break; // an event cut off by the end of the data is not an event
        elapsed += static_cast<double>(delta) * tempo;
        tick += delta;
        e.time = toTicks(elapsed);
        e.tick = tick;
        if (e.isNoteOn()) {
            e.aux = noteOns++;
        } else if (e.isMeta(orka::midi::meta::kSetTempo) && payload(e).size() >= 3) {
            const auto p = payload(e);
            tempo = orka::common::readBE24(p.data());
        } else if (e.isMeta(orka::midi::meta::kTimeSignature) && payload(e).size() >= 2) {
            const auto p = payload(e);
            timeSignature(tick, p[0], p[1]);
        } else if (e.kind() == 0xE0) {
            bends_[e.channel()].push_back(events_.size());
        }
        events_.push_back(e);
    }
    endElapsed_ = events_.empty() ? 0.0 : elapsed;
    spans_.resize(noteOns);
}

void MidiStream::timeSignature(std::uint64_t tick, unsigned numerator, unsigned denominatorPower)
{
    const Signature& old = signatures_.back();
    Signature s;
    s.firstEvent = events_.size() + 1; // from the event after the signature itself
    s.startTick = tick;
    s.wholeBars = old.wholeBars + (tick - old.startTick) / old.ticksPerBar; // a partial bar is dropped
    // A beat or bar of 0 ticks (tiny division, huge denominator, numerator 0) would divide
    // by zero; such a signature keeps at least one tick per beat and bar.
    const std::uint64_t beat = denominatorPower > 31 ? 0 : (std::uint64_t{division_} * 4u) >> denominatorPower;
    s.ticksPerBeat = std::max<std::uint64_t>(beat, 1);
    s.ticksPerBar = std::max<std::uint64_t>(numerator * s.ticksPerBeat, 1);
    signatures_.push_back(s);
}

void MidiStream::findNoteSpans()
{
    // Walking backwards, remember the nearest later note-off and note-on per channel and note.
    std::vector<std::uint32_t> nextOff(16 * 128, NoteSpan::none);
    std::vector<std::uint32_t> nextOn(16 * 128, NoteSpan::none);
    std::array<std::uint32_t, 16> nextChannelOn;
    nextChannelOn.fill(NoteSpan::none);
    for (std::size_t i = events_.size(); i-- > 0;) {
        const MidiEvent& e = events_[i];
        const unsigned key = e.channel() * 128u + e.data1;
        if (e.isNoteOn()) {
            NoteSpan& span = spans_[e.aux];
            span.noteOff = nextOff[key];
            span.sameNoteOn = nextOn[key];
            span.channelNoteOn = nextChannelOn[e.channel()];
            nextOn[key] = static_cast<std::uint32_t>(i);
            nextChannelOn[e.channel()] = static_cast<std::uint32_t>(i);
        } else if (e.isNoteOff()) {
            nextOff[key] = static_cast<std::uint32_t>(i);
        }
    }
}

bool MidiStream::bendBetween(unsigned ch, std::size_t from, std::size_t to) const
{
    const auto& list = bends_[ch & 15];
    const auto it = std::upper_bound(list.begin(), list.end(), from);
    return it != list.end() && *it < to;
}

std::string formatMessage(const char* format, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0)
        return {};
    return std::string(buffer, static_cast<std::size_t>(std::min<int>(n, sizeof buffer - 1)));
}

std::string positionText(const MusicalPosition& p)
{
    return formatMessage("%lld:%lld:%lld", static_cast<long long>(p.bar), static_cast<long long>(p.beat),
                         static_cast<long long>(p.tick));
}

} // namespace melconv
