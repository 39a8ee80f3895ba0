#include "AdpcmStage.h"

#include "orka/common/MidiCodes.h"

#include "orka/common/ByteOrder.h"

#include <cstring>

namespace melconv {

namespace midi = orka::midi;

namespace {

bool isAdpcmNote(const MidiChannelState& ch, const MidiEvent& e) { return ch.isDrum() && e.isNoteOn() && !isFmDrumNote(e.data1); }

// Follows bank selects and program changes as the walk goes.
void track(MidiChannelState& ch, const MidiEvent& e)
{
    if (e.kind() == midi::status::kControlChange && e.data1 == midi::controller::kBankSelectMsb && (e.data2 == kNormalBank || e.data2 == kDrumBank))
        ch.bankMsb = e.data2;
    else if (e.kind() == midi::status::kProgramChange)
        ch.program = e.data1;
}

std::string audioPrefix(const MidiStream& stream, const MidiEvent& e) { return positionText(stream.position(e)) + " : "; }

} // namespace

std::uint32_t AdpcmBank::u32(std::size_t offset) const
{
    if (offset + 4 > bytes_.size())
        return 0;
    return orka::common::readBE32(bytes_.data() + offset);
}

std::string AdpcmBank::find(unsigned program, unsigned note, Wave& wave) const
{
    const auto tagAt = [&](std::size_t offset, const char* tag) {
        return offset + 4 <= bytes_.size() && std::memcmp(bytes_.data() + offset, tag, 4) == 0;
    };
    if (!tagAt(0, "ADP "))
        return "Illegal format in adpcm_temp.vma file.";
    if (!tagAt(8, "FMT "))
        return "Illegal format in adpcm file.";
    const std::size_t tableLength = u32(12);
    const std::size_t entries = tableLength / 24;
    unsigned firstRate = 0;
    const std::uint8_t* entry = nullptr;
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t at = 16 + i * 24;
        if (at + 24 > bytes_.size())
            break; // the table runs past the end of the bank
        const std::uint8_t* e = bytes_.data() + at;
        const unsigned rate = orka::common::readBE16(e + 22);
        if (i == 0)
            firstRate = rate;
        if (rate != firstRate)
            return "Different sampling rate adpcm data.";
        if (e[18] == program && e[19] == note) {
            entry = e;
            break;
        }
    }
    if (!entry)
        return "Cannot find the adpcm data.";
    std::size_t pos = 16 + tableLength;
    for (std::size_t n = 0; n < entries; ++n) {
        if (pos + 8 > bytes_.size())
            break;
        const std::size_t length = u32(pos + 4);
        if (bytes_[pos + 2] == entry[0] && bytes_[pos + 3] == entry[1]) {
            if (length > bytes_.size() - pos - 8)
                break; // the wave runs past the end of the bank
            wave.rate = firstRate;
            wave.bytes = bytes_.subspan(pos + 8, length);
            return {};
        }
        if (length > bytes_.size() - pos - 8)
            break;
        pos += 8 + length;
    }
    return "Cannot find the adpcm data.";
}

bool AdpcmStage::hasAdpcmNotes(const MidiStream& stream)
{
    std::array<MidiChannelState, 16> channels{};
    for (const MidiEvent& e : stream.events()) {
        MidiChannelState& ch = channels[e.channel()];
        if (e.status < 0xF0)
            track(ch, e);
        if (e.status < 0xF0 && isAdpcmNote(ch, e))
            return true;
    }
    return false;
}

bool AdpcmStage::run(const MidiStream& stream, const AdpcmBank& bank)
{
    reset();
    stream_ = &stream;
    waves_.clear();
    events_.clear();
    rate_ = 0;
    walk_ = {};
    adpcmChannel_ = {};
    start_ = 0;
    haveFirst_ = havePrevious_ = tickTaken_ = volumeSent_ = false;
    firstDistance_ = previousEnd_ = lastTick_ = 0;
    lastVolume_ = 0;

    // Which notes are ADPCM notes depends on the bank in force; find them once, in order.
    std::vector<std::size_t> notes;
    {
        std::array<MidiChannelState, 16> channels{};
        const auto& events = stream.events();
        for (std::size_t i = 0; i < events.size(); ++i) {
            const MidiEvent& e = events[i];
            if (e.status >= 0xF0)
                continue;
            MidiChannelState& ch = channels[e.channel()];
            track(ch, e);
            if (isAdpcmNote(ch, e)) {
                notes.push_back(i);
                adpcmChannel_[e.channel()] = true;
            }
        }
    }
    std::size_t nextNote = 0;
    const auto& events = stream.events();
    for (std::size_t i = 0; i < events.size(); ++i) {
        const MidiEvent& e = events[i];
        if (e.status < 0xF0) {
            track(walk_[e.channel()], e);
            if (nextNote < notes.size() && notes[nextNote] == i) {
                const std::size_t following = nextNote + 1 < notes.size() ? notes[nextNote + 1] : std::size_t{NoteSpan::none};
                ++nextNote;
                const NoteSpan& span = stream.span(i);
                if (following != NoteSpan::none && (span.noteOff == NoteSpan::none || following < span.noteOff))
                    return fail(positionText(stream.position(e)) +
                                formatMessage(" MidiCh %d NoteNumber %d : The ADPCM Note is overlapped.", e.channel() + 1, e.data1));
                if (span.noteOff == NoteSpan::none)
                    return fail("No Note Off Message.");
                if (!note(stream, i, bank))
                    return false;
            } else if (e.kind() == midi::status::kControlChange && e.data1 == midi::controller::kVolume && adpcmChannel_[e.channel()]) {
                if (volumeSent_ && (e.data2 ^ lastVolume_) < 4)
                    continue;
                if (!takeTick(e, e.time))
                    return false;
                SeqEvent ev;
                ev.time = e.time;
                ev.bytes = {0x00, 0x37, e.data2};
                ev.size = 3;
                events_.push_back(ev);
                volumeSent_ = true;
                lastVolume_ = e.data2;
            }
            continue;
        }
        if (!e.isMeta(0x07))
            continue;
        const auto text = stream.payload(e);
        const std::string_view cue(reinterpret_cast<const char*>(text.data()), text.size());
        if (cue == "START") {
            start_ = e.time;
            volumeSent_ = false;
            tickTaken_ = true; // the start point occupies its tick
            lastTick_ = start_;
        } else if (cue == "STOP") {
            if (haveFirst_ && firstDistance_ + (e.time - previousEnd_) <= 1)
                return fail(audioPrefix(*stream_, e) + " ADPCM part : NoteEventDurationError.");
            if (tickTaken_ && e.time == lastTick_)
                return fail(audioPrefix(*stream_, e) + "ADPCM part : Wrong STOP point Position.");
        }
    }
    return true;
}

bool AdpcmStage::takeTick(const MidiEvent& e, std::int64_t t)
{
    if (tickTaken_ && t == lastTick_)
        return fail(audioPrefix(*stream_, e) + "ADPCM part : EventOverlapError.");
    tickTaken_ = true;
    lastTick_ = t;
    return true;
}

bool AdpcmStage::note(const MidiStream& stream, std::size_t index, const AdpcmBank& bank)
{
    const MidiEvent& e = stream.events()[index];
    const MidiEvent& off = stream.events()[stream.span(index).noteOff];
    const MidiChannelState& ch = walk_[e.channel()];
    const std::string prefix =
        positionText(stream.position(e)) + formatMessage(" MidiCh %d NoteNumber %d : ", e.channel() + 1, e.data1);

    const WaveEntry* wave = nullptr;
    for (const WaveEntry& w : waves_)
        if (w.program == ch.program && w.note == e.data1)
            wave = &w;
    if (!wave) {
        AdpcmBank::Wave found;
        const std::string problem = bank.find(ch.program, e.data1, found);
        if (!problem.empty())
            return fail(problem);
        if (waves_.size() >= 255)
            return fail("Cannot find the adpcm data."); // wave numbers are one byte
        WaveEntry entry;
        entry.program = ch.program;
        entry.note = e.data1;
        entry.number = static_cast<std::uint8_t>(waves_.size() + 1);
        entry.bytes.assign(found.bytes.begin(), found.bytes.end());
        if (waves_.empty())
            rate_ = found.rate;
        waves_.push_back(std::move(entry));
        wave = &waves_.back();
    }
    const std::int64_t gate = off.time - e.time;
    if (gate <= 0)
        return fail(prefix + "GateTime is 0.");
    if (gate > kLongestGate)
        return fail(prefix + "The GateTime is too long.");
    if (havePrevious_ && e.time < previousEnd_ + 2)
        return fail(audioPrefix(*stream_, e) + " ADPCM part : NoteEventDurationError.");
    if (!takeTick(e, e.time))
        return false;
    if (!haveFirst_) {
        haveFirst_ = true;
        firstDistance_ = e.time - start_;
    }
    SeqEvent ev;
    ev.time = e.time;
    ev.setNote(wave->number, gate);
    events_.push_back(ev);
    havePrevious_ = true;
    previousEnd_ = e.time + gate;
    return true;
}

} // namespace melconv
