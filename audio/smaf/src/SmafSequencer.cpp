#include "orka/smaf/SmafSequencer.h"

#include "orka/smaf/Synthesizer.h"
#include "orka/common/ByteOrder.h"

#include "orka/common/SmafCodes.h"
#include "orka/common/MidiCodes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace orka::smaf {
namespace codes = orka::common::smaf;
namespace {

using common::readBE32;

struct Chunk {
    std::size_t offset; // of the body, in the whole image
    std::size_t length;
};

// Finds a chunk by its four-byte identifier among the chunks of [begin, end). A chunk whose
// length runs past its container ends the walk: nothing after it can be trusted.
std::optional<Chunk> findChunk(const std::vector<std::uint8_t>& d, std::size_t begin, std::size_t end, const char* id)
{
    std::size_t pos = begin;
    while (pos + 8 <= end) {
        const std::size_t length = readBE32(&d[pos + 4]);
        if (length > end - pos - 8)
            return std::nullopt;
        if (std::memcmp(&d[pos], id, 4) == 0)
            return Chunk{pos + 8, length};
        pos += 8 + length;
    }
    return std::nullopt;
}

template <typename F>
void forEachChunk(const std::vector<std::uint8_t>& d, std::size_t begin, std::size_t end, F&& f)
{
    std::size_t pos = begin;
    while (pos + 8 <= end) {
        const std::size_t length = readBE32(&d[pos + 4]);
        if (length > end - pos - 8)
            return;
        f(&d[pos], Chunk{pos + 8, length});
        pos += 8 + length;
    }
}

// Reads over a bounded range; every read past the end fails instead of reading on.
class Cursor {
public:
    Cursor(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
    bool atEnd() const { return pos_ >= n_; }
    bool atFourZeros() const
    {
        return pos_ + 4 <= n_ && p_[pos_] == 0 && p_[pos_ + 1] == 0 && p_[pos_ + 2] == 0 && p_[pos_ + 3] == 0;
    }
    bool byte(std::uint8_t& b)
    {
        if (pos_ >= n_)
            return false;
        b = p_[pos_++];
        return true;
    }
    // A duration or gate time: one byte below 0x80, else two.
    bool number(std::uint32_t& value)
    {
        std::uint8_t d = 0;
        if (!byte(d))
            return false;
        if (d < 0x80) {
            value = d;
            return true;
        }
        std::uint8_t lo = 0;
        if (!byte(lo))
            return false;
        value = ((d & 0x7Fu) + 1) * 128 + lo;
        return true;
    }
    bool bytes(std::size_t count, std::span<const std::uint8_t>& out)
    {
        if (count > n_ - pos_)
            return false;
        out = {p_ + pos_, count};
        pos_ += count;
        return true;
    }
    // The next event of a sequence: its duration moves the clock t on, e is its first byte.
    // False at the end of the data, at four zero bytes, or when the event is cut short.
    bool event(std::uint64_t& t, std::uint32_t durationBase, std::uint8_t& e)
    {
        std::uint32_t duration = 0;
        if (atEnd() || atFourZeros() || !number(duration) || !byte(e))
            return false;
        t += std::uint64_t{duration} * durationBase;
        return true;
    }

private:
    const std::uint8_t* p_;
    std::size_t n_;
    std::size_t pos_ = 0;
};

constexpr std::uint32_t pack(int status, int d1 = 0, int d2 = 0, int d3 = 0)
{
    return static_cast<std::uint32_t>(status & 0xFF) | static_cast<std::uint32_t>(d1 & 0xFF) << 8 |
           static_cast<std::uint32_t>(d2 & 0xFF) << 16 | static_cast<std::uint32_t>(d3 & 0xFF) << 24;
}

std::uint32_t findPoint(const std::vector<std::uint8_t>& d, const Chunk& c, const char* tag, std::uint32_t absent)
{
    for (std::size_t i = c.offset; i + 8 <= c.offset + c.length; ++i)
        if (std::memcmp(&d[i], tag, 3) == 0 && d[i + 7] == ',')
            return readBE32(&d[i + 3]);
    return absent;
}

constexpr std::uint64_t kMaxSeekFrames = 60ull * kSampleRate;

constexpr std::uint8_t kExpression[16] = {0, 0, 32, 40, 48, 56, 64, 72, 80, 88, 96, 104, 112, 120, 127, 127};
constexpr std::uint8_t kModulation[16] = {0, 0, 1, 1, 32, 32, 32, 32, 64, 64, 64, 64, 96, 96, 96, 0};
constexpr std::uint8_t kOldAttackRate[16] = {1, 1, 1, 1, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 15};
constexpr std::uint8_t kOldRate[16] = {0, 0, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14};

} // namespace

std::uint32_t timebaseMs(std::uint8_t code)
{
    switch (code) {
    case 0x00: return 1;
    case 0x01: return 2;
    case 0x02: return 4;
    case 0x03: return 5;
    case 0x10: return 10;
    case 0x11: return 20;
    case 0x12: return 40;
    case 0x13: return 50;
    default: return 4;
    }
}

void SmafSequencer::setData(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty()) {
        clear();
        return;
    }
    data_.insert(data_.end(), bytes.begin(), bytes.end());
}

void SmafSequencer::clear()
{
    if (running_)
        stop();
    data_.clear();
    data_.shrink_to_fit();
    events_.clear();
    events_.shrink_to_fit();
    scoreTracks_.clear();
    audioTracks_.clear();
    prepared_ = fullPiece_ = false;
    next_ = 0;
}

bool SmafSequencer::parseScoreTrack(int number, std::size_t body, std::size_t length)
{
    if (length < 6 || data_[body] != 0)
        return false;
    ScoreTrack t;
    t.number = number;
    t.durationBase = timebaseMs(data_[body + 2]);
    t.gateBase = timebaseMs(data_[body + 3]);
    const std::size_t end = body + length;
    if (auto spi = findChunk(data_, body + 6, end, "MspI")) {
        t.startPoint = findPoint(data_, *spi, "st:", 0);
        t.stopPoint = findPoint(data_, *spi, "sp:", 0xFFFFFFFFu);
    }
    if (auto setup = findChunk(data_, body + 6, end, "Mtsu")) {
        t.setupOffset = setup->offset;
        t.setupLength = setup->length;
    }
    const auto sequence = findChunk(data_, body + 6, end, "Mtsq");
    if (!sequence) {
        sawTrackWithoutSequence_ = true;
        return false;
    }
    t.sequenceOffset = sequence->offset;
    t.sequenceLength = sequence->length;
    scoreTracks_.push_back(t);
    return true;
}

bool SmafSequencer::parseAudioTrack(std::size_t body, std::size_t length)
{
    if (length < 6 || data_[body] != 0 || (data_[body + 2] >> 4) != 1 || (data_[body + 2] & 0x0F) > 1)
        return false;
    AudioTrack t;
    t.rate = (data_[body + 2] & 0x0F) == 1 ? 8000 : 4000;
    t.durationBase = timebaseMs(data_[body + 4]);
    t.gateBase = timebaseMs(data_[body + 5]);
    forEachChunk(data_, body + 6, body + length, [&](const std::uint8_t* id, Chunk c) {
        if (std::memcmp(id, "Atsq", 4) == 0 && !t.hasSequence) {
            t.hasSequence = true;
            t.sequenceOffset = c.offset;
            t.sequenceLength = c.length;
        } else if (std::memcmp(id, "Awa", 3) == 0) {
            t.waves.push_back(AudioWave{id[3], c.offset, c.length});
        }
    });
    audioTracks_.push_back(std::move(t));
    return true;
}

bool SmafSequencer::prepare()
{
    if (running_) {
        prepareError_ = PrepareError::kBusy;
        return false;
    }
    if (data_.size() < 8 || std::memcmp(data_.data(), "MMMD", 4) != 0) {
        prepareError_ = PrepareError::kNotSmaf;
        return false;
    }
    sawTrackWithoutSequence_ = false;
    scoreTracks_.clear();
    audioTracks_.clear();
    events_.clear();
    next_ = 0;
    prepared_ = fullPiece_ = false;
    // A file chunk claiming more than there is holds what there is.
    const std::size_t end = 8 + std::min<std::size_t>(readBE32(&data_[4]), data_.size() - 8);
    for (int n = 4; n >= 1; --n) {
        const char id[4] = {'M', 'T', 'R', static_cast<char>(n)};
        if (auto c = findChunk(data_, 8, end, id); c && parseScoreTrack(n, c->offset, c->length))
            fullPiece_ = true;
    }
    if (scoreTracks_.empty()) {
        const char id[4] = {'M', 'T', 'R', 0};
        if (auto c = findChunk(data_, 8, end, id))
            parseScoreTrack(0, c->offset, c->length);
    }
    const char audioId[4] = {'A', 'T', 'R', 0};
    if (auto c = findChunk(data_, 8, end, audioId); c && parseAudioTrack(c->offset, c->length))
        fullPiece_ = true;
    if (scoreTracks_.empty() && audioTracks_.empty()) {
        prepareError_ = sawTrackWithoutSequence_ ? PrepareError::kNoSequenceChunk : PrepareError::kNoTrack;
        return false;
    }
    prepareError_ = PrepareError::kNone;
    std::fill(std::begin(octaveShift_), std::end(octaveShift_), 0);
    for (const ScoreTrack& t : scoreTracks_)
        buildScoreEvents(t);
    for (const AudioTrack& t : audioTracks_)
        buildAudioEvents(t);
    std::stable_sort(events_.begin(), events_.end(),
                     [](const SmafEvent& a, const SmafEvent& b) { return a.time < b.time; });
    prepared_ = true;
    return true;
}

void SmafSequencer::add(std::uint64_t time, std::uint32_t message)
{
    const auto t = static_cast<std::uint32_t>(std::min<std::uint64_t>(time, 0xFFFFFFFFu));
    latestTime_ = std::max(latestTime_, t);
    events_.push_back(SmafEvent{t, message});
}

void SmafSequencer::buildScoreEvents(const ScoreTrack& track)
{
    const int base = track.number >= 1 ? (track.number - 1) * 4 : 0;
    Cursor in(data_.data() + track.sequenceOffset, track.sequenceLength);
    std::uint64_t t = 0;
    latestTime_ = 0;
    std::uint8_t e = 0;
    while (in.event(t, track.durationBase, e)) {
        if (e == codes::kEventControl) {
            std::uint8_t c = 0;
            if (!in.byte(c))
                break;
            const int ch = base + (c >> codes::kControlChannelShift);
            const int code = c & codes::kControlValueMask;
            switch (c & codes::kControlKindMask) {
            case codes::kControlExpression:
                add(t, pack(0xB0 | ch, midi::controller::kExpression, kExpression[code]));
                break;
            case codes::kControlPitchBend:
                add(t, pack(0xE0 | ch, 0, code * 8));
                break;
            case codes::kControlModulation:
                add(t, pack(0xB0 | ch, midi::controller::kModulation, kModulation[code]));
                break;
            default: { // codes::kControlExtended
                std::uint8_t v = 0;
                if (!in.byte(v))
                    break;
                switch (code) {
                case codes::kExtendedProgram: add(t, pack(0xC0 | ch, v)); break;
                case codes::kExtendedBank: add(t, pack(0xB0 | ch, midi::controller::kBankSelectLsb, v > 127 ? v - 118 : v)); break;
                case codes::kExtendedOctaveShift: {
                    const int magnitude = v & 0x7F;
                    octaveShift_[ch] = static_cast<std::int8_t>(magnitude > 4 ? 0 : (v & 0x80 ? -magnitude : magnitude));
                    break;
                }
                case codes::kExtendedPitchBend: add(t, pack(0xE0 | ch, 0, v)); break;
                case codes::kExtendedVolume: add(t, pack(0xB0 | ch, midi::controller::kVolume, v)); break;
                case codes::kExtendedPan: add(t, pack(0xB0 | ch, midi::controller::kPan, v)); break;
                case codes::kExtendedExpression: add(t, pack(0xB0 | ch, midi::controller::kExpression, v)); break;
                default: break;
                }
                break;
            }
            }
        } else if (e != codes::kEventEscape) {
            const int ch = base + (e >> codes::kControlChannelShift);
            const int key = std::clamp((octaveShift_[ch] + ((e >> 4) & 3) + 3) * 12 + (e & 0x0F), 0, 127);
            std::uint32_t gate = 0;
            if (!in.number(gate))
                break;
            add(t, pack(0x90 | ch, key, 127));
            add(t + std::uint64_t{gate} * track.gateBase, pack(0x80 | ch, key, 127));
        } else {
            std::uint8_t x = 0;
            if (!in.byte(x))
                break;
            if (x != codes::kEscapeExclusive)
                continue;
            std::uint8_t length = 0;
            std::span<const std::uint8_t> d;
            if (!in.byte(length) || !in.bytes(length, d))
                break;
            if (d.size() >= 5 && d[0] == codes::kMakerId && d[1] == codes::kExclusiveFmVoice && d[2] == codes::kFmRegisterWrite) {
                // Register and value as three 7-bit bytes: their top bits go to bits 6 and 5
                // of the first.
                const int p = d[3];
                const int q = d[4];
                add(t, pack(codes::kPackedRegisterWrite, ((p >> 1) & 64) + ((q >> 2) & 32), p & 0x7F, q & 0x7F));
            } else {
                defineVoice(synth_, d);
            }
        }
    }
    // All sound off for the track's own four channels when its last event is done.
    for (int ch = base; ch < base + 4; ++ch)
        add(latestTime_, pack(0xB0 | ch, midi::controller::kAllSoundOff, 0));
}

void SmafSequencer::buildAudioEvents(const AudioTrack& track)
{
    if (!track.hasSequence)
        return;
    Cursor in(data_.data() + track.sequenceOffset, track.sequenceLength);
    std::uint64_t t = 0;
    std::uint8_t e = 0;
    while (in.event(t, track.durationBase, e)) {
        if (e == codes::kEventControl) {
            std::uint8_t x = 0;
            if (!in.byte(x))
                break;
            if (x == codes::kAudioControlSampleVolume) {
                std::uint8_t v = 0;
                if (!in.byte(v))
                    break;
                add(t, pack(codes::kPackedSampleEvent, codes::kSynthSampleVolume, 0, v));
            }
        } else if (e == codes::kEventEscape) {
            std::uint8_t skipped = 0;
            if (!in.byte(skipped))
                break;
        } else {
            std::uint32_t gate = 0;
            if (!in.number(gate))
                break;
            add(t, pack(codes::kPackedSampleEvent, codes::kSynthWaveStart, 0, e));
            add(t + std::uint64_t{gate} * track.gateBase, pack(codes::kPackedSampleEvent, codes::kSynthWaveEnd, 0));
        }
    }
}

void SmafSequencer::defineVoice(Synthesizer& synth, std::span<const std::uint8_t> d)
{
    if (!d.empty() && d.back() == codes::kExclusiveEnd)
        d = d.first(d.size() - 1);
    if (d.size() < 2 || d[0] != codes::kMakerId)
        return;
    if (d[1] == codes::kExclusiveFmVoice) {
        if (d.size() < 7 || (d[2] & 0xF0) != 0)
            return;
        const std::span<const std::uint8_t> record = d.subspan(2, std::min<std::size_t>(d.size() - 2, 25));
        const int operators = operatorsForAlgorithm(record[3] & 7);
        // A definition cut short before its last operator is not stored.
        const std::size_t needed = operators == 4 ? 25 : operators == 2 ? 15 : 5;
        if (record.size() < needed)
            return;
        DecodedVoice voice = decodeVoiceRecord(record);
        const int bank = record[1];
        const int program = record[2] & 0x7F;
        const int working = bank < 0x80 ? bank : 10 + (bank & 0x7F);
        const bool valid = bank < 0x80 ? bank < 10 : (bank & 0x7F) < 10;
        if (valid)
            synth.tables().working(working, program) = voice;
    } else if (d[1] == codes::kExclusiveOldFmVoice) {
        // Older two-operator layout: bank, program, voice flags, octave, then two operators
        // of five bytes whose attack and other rates use the older rate scale.
        if (d.size() < 16 || d[2] >= 10)
            return;
        std::array<std::uint8_t, kVoiceRecordSize> record{};
        record[1] = d[2];
        record[2] = d[3] & 0x7F;
        record[3] = d[4];
        record[4] = d[5];
        for (int op = 0; op < 2; ++op) {
            const std::uint8_t* in = &d[6 + 5 * op];
            std::uint8_t* out = &record[5 + 5 * op];
            out[0] = in[0];
            out[1] = static_cast<std::uint8_t>(kOldRate[in[1] >> 4] << 4 | kOldRate[in[1] & 15]);
            out[2] = static_cast<std::uint8_t>(kOldAttackRate[in[2] >> 4] << 4 | (in[2] & 15));
            out[3] = in[3];
            out[4] = in[4];
        }
        DecodedVoice voice = decodeVoiceRecord(record);
        if (voice.operatorCount == 4) {
            voice.algorithm = 0;
            voice.operatorCount = 2;
            voice.op[2] = voice.op[3] = OperatorFields{};
        }
        synth.tables().working(d[2], d[3] & 0x7F) = voice;
    }
}

void SmafSequencer::sendToSynth(std::uint8_t command, std::initializer_list<std::uint8_t> data)
{
    // Header, command, at most four data bytes and the end byte; no allocation while playing.
    std::array<std::uint8_t, std::size(codes::kSynthHeader) + 6> message{};
    std::size_t n = 0;
    for (auto b : codes::kSynthHeader)
        message[n++] = b;
    message[n++] = command;
    for (auto b : data)
        if (n + 1 < message.size())
            message[n++] = b;
    message[n++] = codes::kExclusiveEnd;
    synth_.systemExclusive(std::span<const std::uint8_t>(message.data(), n));
}

void SmafSequencer::send(std::uint32_t m)
{
    const std::uint8_t status = m & 0xFF;
    const std::uint8_t d1 = (m >> 8) & 0xFF;
    const std::uint8_t d2 = (m >> 16) & 0xFF;
    const std::uint8_t d3 = (m >> 24) & 0xFF;
    if (status >= 0x80 && status < 0xF0) {
        synth_.shortMessage(status, d1, d2);
    } else if (status == codes::kPackedRegisterWrite) {
        sendToSynth(codes::kSynthRegisterWrite, {d1, d2, d3});
    } else if (status == codes::kPackedSampleEvent) {
        if (d1 == codes::kSynthWaveStart)
            sendToSynth(codes::kSynthWaveStart, {d2, d3, 0x80, 0x00});
        else if (d1 == codes::kSynthWaveEnd)
            sendToSynth(codes::kSynthWaveEnd, {d2});
        else if (d1 == codes::kSynthSampleVolume)
            sendToSynth(codes::kSynthSampleVolume, {d2, d3});
    }
}

bool SmafSequencer::start(std::uint32_t timeMs)
{
    if (running_ || !prepared_ || events_.empty())
        return false;
    if (timeMs != 0 && timeMs > events_.back().time)
        return false;
    running_ = true;
    next_ = 0;
    sendToSynth(codes::kSynthAllocationMode, {0x01});
    // Master attenuation is the value less 64: none for a full piece, 18 steps otherwise.
    sendToSynth(codes::kSynthMasterAttenuation, {static_cast<std::uint8_t>(fullPiece_ ? 0x40 : 0x2E)});
    for (const ScoreTrack& t : scoreTracks_) {
        Cursor in(data_.data() + t.setupOffset, t.setupLength);
        std::uint8_t b = 0;
        while (in.byte(b)) {
            if (b != codes::kEventEscape)
                continue;
            std::uint8_t x = 0;
            std::uint8_t length = 0;
            std::span<const std::uint8_t> d;
            if (!in.byte(x))
                break;
            if (x != codes::kEscapeExclusive)
                continue;
            if (!in.byte(length) || !in.bytes(length, d))
                break;
            defineVoice(synth_, d);
        }
    }
    for (const AudioTrack& t : audioTracks_)
        for (const AudioWave& w : t.waves)
            synth_.waves().store(w.number, std::span<const std::uint8_t>(data_).subspan(w.offset, w.length), t.rate);
    for (int ch = 0; ch < 16; ++ch) {
        const auto cc = static_cast<std::uint8_t>(0xB0 | ch);
        synth_.shortMessage(cc, 55, 1);
        synth_.shortMessage(cc, 0, 124);
        synth_.shortMessage(cc, 32, 0);
        synth_.shortMessage(static_cast<std::uint8_t>(0xC0 | ch), 0, 0);
        synth_.shortMessage(cc, 7, 127);
        synth_.shortMessage(cc, 11, 127);
        synth_.shortMessage(cc, 10, 64);
        sendToSynth(codes::kSynthSampleVolume, {static_cast<std::uint8_t>(ch), 100}); // velocity 100
    }
    if (timeMs != 0) {
        std::uint32_t last = 0;
        while (next_ < events_.size() && events_[next_].time <= timeMs) {
            last = events_[next_].time;
            send(events_[next_++].message);
        }
        // Let the envelopes run on to where they would stand at the start time. Past a minute
        // every envelope has settled, so a long rest is not rendered in full.
        std::array<std::int16_t, 2 * 256> scratch{};
        std::uint64_t frames = std::min<std::uint64_t>(std::uint64_t{timeMs - last} * kSampleRate / 1000, kMaxSeekFrames);
        while (frames > 0) {
            const int n = static_cast<int>(std::min<std::uint64_t>(frames, 256));
            synth_.renderChunk(scratch.data(), n);
            frames -= static_cast<std::uint64_t>(n);
        }
    }
    return true;
}

bool SmafSequencer::process(std::uint32_t nowMs)
{
    if (!running_)
        return false;
    while (next_ < events_.size() && events_[next_].time <= nowMs)
        send(events_[next_++].message);
    return next_ < events_.size();
}

void SmafSequencer::rewind()
{
    next_ = 0;
}

void SmafSequencer::stop()
{
    for (int ch = 0; ch < 16; ++ch)
        synth_.shortMessage(static_cast<std::uint8_t>(0xB0 | ch), 120, 0);
    synth_.sampleVoice().endHold();
    running_ = false;
}

} // namespace orka::smaf
