#include "ChannelStage.h"

#include "orka/common/FmFrequency.h"
#include "orka/common/MidiCodes.h"

#include <algorithm>
#include <cmath>

namespace melconv {

namespace midi = orka::midi;

namespace {

int shown(unsigned channel) { return static_cast<int>(channel) + 1; }

std::string notePrefix(const MidiStream& stream, const MidiEvent& e)
{
    return positionText(stream.position(e)) + formatMessage(" MidiCh %d NoteNumber %d : ", shown(e.channel()), e.data1);
}

std::string channelNotePrefix(const MidiStream& stream, const MidiEvent& e)
{
    return positionText(stream.position(e)) + formatMessage(" MidiCh %d : ", shown(e.channel()));
}

bool isCue(const MidiStream& stream, const MidiEvent& e, const char* word)
{
    if (!e.isMeta(0x07))
        return false;
    const auto text = stream.payload(e);
    return std::string_view(reinterpret_cast<const char*>(text.data()), text.size()) == word;
}

int shortVelocityCode(int v)
{
    if (v >= 0 && v <= 3)
        return 1;
    if (v >= 28 && v <= 127 && (v & 7) >= 4) // 28-31, 36-39, ... 124-127
        return (v - 28) / 8 + 2;
    return 0;
}

int modulationCode(int v)
{
    if (v == 0)
        return 1;
    if (v < 32)
        return 2;
    if (v < 64)
        return 4;
    if (v < 96)
        return 8;
    return 12;
}

} // namespace

double ChannelStage::noteFrequency(int note) { return orka::common::fm::noteFrequency(note); }

std::array<int, 2> ChannelStage::frequencyRegisters(int note, int bend, int range, bool keyOn)
{
    namespace fm = orka::common::fm;
    const auto split = fm::splitForRegisters(fm::frequencyNumber(fm::noteFrequency(note), range, bend));
    constexpr int kKeyOnBit = 32;
    return {split.fnumber & 0xFF, (split.fnumber >> 8) + 4 * split.block + (keyOn ? kKeyOnBit : 0)};
}

bool ChannelStage::run(const MidiStream& stream, const ToneSlots& slots)
{
    reset();
    slots_ = &slots;
    stream_ = &stream;
    channels_ = {};
    walk_ = {};
    fm_ = {};
    loop_ = {};
    return checkEvents(stream) && checkCompleteness() && assignChannels() && build(stream);
}

bool ChannelStage::checkEvents(const MidiStream& stream)
{
    bool stopSeen = false;
    bool noteOnSeen = false;
    for (const MidiEvent& e : stream.events()) {
        MidiChannelState& ch = channels_[e.channel()];
        const int c = shown(e.channel());
        if (e.isNoteOff()) {
            if (stopSeen)
                return fail("Wrong STOP point position.");
            continue;
        }
        switch (e.kind()) {
        case 0x90: // note-on with a velocity
            noteOnSeen = true;
            if (!ch.isDrum()) {
                ch.used = true;
            } else if (isFmDrumNote(e.data1)) {
                ch.used = true;
                if (!ch.hasDrumNote(e.data1))
                    ch.drumNotes.push_back(e.data1);
            }
            break;
        case 0xB0:
            switch (e.data1) {
            case midi::controller::kBankSelectMsb:
                if (e.data2 == kNormalBank || e.data2 == kDrumBank) {
                    if (ch.programSeen && e.data2 != ch.bankMsb)
                        return fail(formatMessage("MidiCh %d : Wrong BankSelectMSB %d.", c, e.data2));
                    if (!ch.msbSeen) {
                        ch.bankMsb = e.data2;
                        ch.msbSeen = true;
                    }
                }
                break;
            case midi::controller::kModulation: case midi::controller::kVolume: case midi::controller::kPan: case midi::controller::kDataEntryLsb:
                break;
            case midi::controller::kDataEntryMsb:
                if (!ch.rpnLsbSeen)
                    return fail(formatMessage("MidiCh %d : No RPN:LSB.", c));
                if (!ch.rpnMsbSeen)
                    return fail(formatMessage("MidiCh %d : No RPN:MSB.", c));
                if (e.data2 > 24)
                    return fail(formatMessage("MidiCh %d : Wrong DataEntry %d.", c, e.data2));
                break;
            case midi::controller::kBankSelectLsb:
                if ((!ch.isDrum() && e.data2 >= 10) || (ch.isDrum() && e.data2 != 0))
                    return fail(formatMessage("MidiCh %d : Wrong BankSelectLSB %d.", c, e.data2));
                if (!ch.lsbSeen) {
                    ch.bankLsb = e.data2;
                    ch.lsbSeen = true;
                }
                break;
            case midi::controller::kChannelReserve:
                if (!ch.reserveSeen) {
                    ch.reserve = e.data2;
                    ch.reserveSeen = true;
                }
                break;
            case midi::controller::kRpnLsb:
                if (e.data2 != 0)
                    return fail(formatMessage("MidiCh %d : Wrong RPN:LSB %d.", c, e.data2));
                ch.rpnLsbSeen = true;
                break;
            case midi::controller::kRpnMsb:
                if (e.data2 != 0)
                    return fail(formatMessage("MidiCh %d : Wrong RPN:MSB %d.", c, e.data2));
                ch.rpnMsbSeen = true;
                break;
            default:
                return fail(formatMessage("MidiCh %d : Wrong ControlNumber %d.", c, e.data1));
            }
            break;
        case 0xC0:
            if (!ch.programSeen) {
                ch.program = e.data1;
                ch.programSeen = ch.msbSeen = ch.lsbSeen = true;
            } else if (ch.isDrum()) {
                return fail(formatMessage("MidiCh %d : Cannot insert Program Change.", c));
            }
            break;
        case 0xE0:
            if (ch.isDrum())
                return fail(formatMessage("MidiCh %d : Cannot use PitchBend.", c));
            break;
        case 0xA0:
        case 0xD0:
            return fail(formatMessage("MidiCh %d : Cannot use AfterTouch.", c));
        case 0xFF:
            if (isCue(stream, e, "START") && noteOnSeen)
                return fail("Wrong START point position.");
            if (isCue(stream, e, "STOP"))
                stopSeen = true;
            break;
        default:
            break;
        }
    }
    return true;
}

bool ChannelStage::checkCompleteness()
{
    for (unsigned c = 0; c < 16; ++c) {
        const MidiChannelState& ch = channels_[c];
        if (!ch.used)
            continue;
        if (!ch.reserveSeen)
            return fail(formatMessage("MidiCh %d : No Channel Reserve.", shown(c)));
        if (!ch.programSeen)
            return fail(formatMessage("MidiCh %d : No ProgramChange.", shown(c)));
        if (ch.lsbSeen && !ch.msbSeen)
            return fail(formatMessage("MidiCh %d : No BankSelectMSB.", shown(c)));
        if (ch.msbSeen && !ch.lsbSeen)
            return fail(formatMessage("MidiCh %d : No BankSelectLSB.", shown(c)));
    }
    return true;
}

bool ChannelStage::assignChannels()
{
    static constexpr int fourOperatorChannels[] = {0, 1, 2, 3, 8, 9, 10, 11};
    struct Pass { bool drum; std::uint8_t operators; };
    static constexpr Pass passes[] = {{true, 4}, {false, 4}, {true, 2}, {false, 2}};
    const ToneSlots& slots = *slots_;
    for (const Pass& pass : passes) {
        for (unsigned c = 0; c < 16; ++c) {
            MidiChannelState& ch = channels_[c];
            if (!ch.used || ch.isDrum() != pass.drum)
                continue;
            auto allocate = [&](const ToneSlot& slot) {
                int k = -1;
                if (pass.operators == 4) {
                    for (int candidate : fourOperatorChannels)
                        if (!fm_[candidate].isTaken() && !fm_[candidate + 4].isTaken()) {
                            k = candidate;
                            break;
                        }
                } else {
                    for (int candidate = 0; candidate < 16; ++candidate)
                        if (!fm_[candidate].isTaken()) {
                            k = candidate;
                            break;
                        }
                }
                if (k < 0)
                    return fail(formatMessage(pass.drum ? "MidiCh %d : Cannot assign Drum channel."
                                                        : "MidiCh %d : Cannot assign Normal channel.",
                                              shown(c)));
                if (pass.operators == 4)
                    fm_[k + 4].program = kPartner;
                FmChannelSlot& f = fm_[k];
                f.midiChannel = static_cast<std::uint8_t>(c);
                f.bankMsb = ch.bankMsb;
                f.bankLsb = ch.bankLsb;
                f.program = slot.program;
                f.voice = slot.index;
                f.singleVoice = ch.reserve == 1;
                if (pass.drum) {
                    f.drumNote = slot.drumNote;
                    f.drumKey = slot.drumKey & 0x7F;
                }
                ch.fmChannels.push_back(k);
                return true;
            };
            auto matches = [&](const ToneSlot& s) {
                return s.operators == pass.operators && s.bankMsb == ch.bankMsb && s.bankLsb == ch.bankLsb &&
                       s.program == ch.program;
            };
            if (pass.drum) {
                for (const ToneSlot& s : slots)
                    if (matches(s) && ch.hasDrumNote(s.drumNote) && !allocate(s))
                        return false;
            } else {
                for (unsigned r = 0; r < ch.reserve; ++r) {
                    for (const ToneSlot& s : slots) {
                        if (matches(s)) {
                            if (!allocate(s))
                                return false;
                            break;
                        }
                    }
                }
            }
        }
    }
    return true;
}

bool ChannelStage::build(const MidiStream& stream)
{
    bool startSeen = false;
    bool stopSeen = false;
    const auto& events = stream.events();
    for (std::size_t i = 0; i < events.size(); ++i) {
        const MidiEvent& e = events[i];
        MidiChannelState& w = walk_[e.channel()];
        if (e.isNoteOff()) {
            noteOff(e);
            continue;
        }
        switch (e.kind()) {
        case 0x90:
            if (!noteOn(stream, i))
                return false;
            break;
        case 0xC0:
            if (!programChange(e))
                return false;
            break;
        case 0xB0:
            if (e.data1 == midi::controller::kBankSelectMsb && (e.data2 == kNormalBank || e.data2 == kDrumBank))
                w.bankMsb = e.data2;
            else if (e.data1 == midi::controller::kBankSelectLsb)
                w.bankLsb = e.data2;
            else if (e.data1 == midi::controller::kDataEntryMsb)
                w.bendRange = e.data2;
            else if (e.data1 == midi::controller::kModulation || e.data1 == midi::controller::kVolume || e.data1 == midi::controller::kPan)
                controllerToChannels(e);
            break;
        case 0xE0:
            pitchBend(e);
            break;
        case 0xFF:
            if (isCue(stream, e, "START")) {
                loop_.start = e.time;
                startSeen = true;
                for (FmChannelSlot& f : fm_)
                    f.octave.sent = f.velocity.sent = f.volume.sent = f.modulation.sent = false;
            } else if (isCue(stream, e, "STOP")) {
                loop_.stop = e.time;
                stopSeen = true;
            }
            break;
        default:
            break;
        }
    }
    // A STOP before the START is wrong wherever it lies, at tick 0 too: a stop marker ahead
    // of the start would leave the loop points out of order.
    if (startSeen && stopSeen && loop_.stop < loop_.start)
        return fail("Wrong START and STOP position.");
    if (!startSeen)
        loop_.start = 0;
    if (!stopSeen)
        loop_.stop = stream.toTicks(stream.endElapsed()) + 2;
    return true;
}

bool ChannelStage::noteLength(const MidiStream& stream, std::size_t index, NoteLength& out)
{
    const MidiEvent& e = stream.events()[index];
    const NoteSpan& span = stream.span(index);
    const MidiChannelState& ch = channels_[e.channel()];
    std::uint32_t stop = span.noteOff;
    bool legato = false;
    if (ch.reserve == 1 && span.channelNoteOn != NoteSpan::none &&
        (stop == NoteSpan::none || span.channelNoteOn < stop)) {
        stop = span.channelNoteOn;
        legato = span.channelNoteOn != span.sameNoteOn;
    }
    if (span.sameNoteOn != NoteSpan::none && (stop == NoteSpan::none || span.sameNoteOn <= stop))
        return fail(channelNotePrefix(*stream_, e) + formatMessage("The NoteNumber %d is overlapped.", e.data1));
    if (stop == NoteSpan::none)
        return fail("No Note Off Message.");
    const MidiEvent& end = stream.events()[stop];
    out.stop = stop;
    out.end = legato ? end.time + 2 : end.time;
    out.bent = walk_[e.channel()].bend != 0 || stream.bendBetween(e.channel(), index, stop);
    return true;
}

bool ChannelStage::noteOn(const MidiStream& stream, std::size_t index)
{
    const MidiEvent& e = stream.events()[index];
    const MidiChannelState& ch = channels_[e.channel()];
    const MidiChannelState& w = walk_[e.channel()];
    if (ch.reserve == 0)
        return true; // a channel with a reserve of 0 plays nothing
    if (w.isDrum() && !isFmDrumNote(e.data1))
        return true; // ADPCM notes belong to the audio track
    NoteLength length;
    if (!noteLength(stream, index, length))
        return false;
    return w.isDrum() ? drumNote(e, length) : normalNote(e, length);
}

bool ChannelStage::normalNote(const MidiEvent& e, const NoteLength& length)
{
    MidiChannelState& ch = channels_[e.channel()];
    const int note = e.data1;
    if (note < 13 || note > 108)
        return fail(channelNotePrefix(*stream_, e) + formatMessage("The NoteNumber %d is Out of Area.", note));
    int chosen = -1;
    std::size_t chosenPos = 0;
    for (std::size_t p = 0; p < ch.fmChannels.size(); ++p) {
        const FmChannelSlot& f = fm_[ch.fmChannels[p]];
        if (f.busy && f.note == note)
            return fail(channelNotePrefix(*stream_, e) + formatMessage("The NoteNumber %d is overlapped.", note));
        if (chosen < 0 && (!f.busy || f.singleVoice)) {
            chosen = ch.fmChannels[p];
            chosenPos = p;
        }
    }
    if (chosen < 0)
        return fail(notePrefix(*stream_, e) + "Cannot assign the Note.");
    const std::int64_t gate = length.end - e.time;
    if (gate <= 0)
        return fail(notePrefix(*stream_, e) + "The GateTime is 0.");
    if (gate > kLongestGate)
        return fail(notePrefix(*stream_, e) + "The GateTime is too long.");
    FmChannelSlot& f = fm_[chosen];
    const int k = chosen;
    velocity(k, e.time, e.data2);
    f.note = note;
    f.busy = true;
    f.registerPlayed = length.bent;
    f.busyUntil = length.end;
    if (length.bent) {
        writeFrequency(k, e.time, true, true);
    } else {
        int block = 0, code = 0;
        octaveShift(k, e.time, note, block, code);
        SeqEvent ev;
        ev.time = e.time;
        const int c = k % 4;
        ev.setNote(static_cast<std::uint8_t>((c << 6) + (block << 4) + code), gate);
        f.events.push_back(ev);
    }
    // The next note takes the FM channel left unused longest.
    ch.fmChannels.erase(ch.fmChannels.begin() + static_cast<std::ptrdiff_t>(chosenPos));
    ch.fmChannels.push_back(chosen);
    return true;
}

bool ChannelStage::drumNote(const MidiEvent& e, const NoteLength& length)
{
    const MidiChannelState& ch = channels_[e.channel()];
    int k = -1;
    for (int candidate : ch.fmChannels)
        if (fm_[candidate].drumNote == e.data1) {
            k = candidate;
            break;
        }
    if (k < 0)
        return fail(notePrefix(*stream_, e) + "Cannot assign the Note.");
    FmChannelSlot& f = fm_[k];
    if (f.busy)
        return true;
    const std::int64_t gate = length.end - e.time;
    if (gate <= 0)
        return fail(notePrefix(*stream_, e) + "The GateTime is 0.");
    if (gate > kLongestGate)
        return true; // too long for a drum: the note is dropped
    int block = 0, code = 0;
    octaveShift(k, e.time, f.drumKey, block, code);
    velocity(k, e.time, e.data2);
    SeqEvent ev;
    ev.time = e.time;
    ev.setNote(static_cast<std::uint8_t>(((k % 4) << 6) + (block << 4) + code), gate);
    f.events.push_back(ev);
    f.busy = true;
    f.note = e.data1;
    f.registerPlayed = false;
    return true;
}

void ChannelStage::noteOff(const MidiEvent& e)
{
    const MidiChannelState& ch = channels_[e.channel()];
    const bool drum = walk_[e.channel()].isDrum();
    for (int k : ch.fmChannels) {
        FmChannelSlot& f = fm_[k];
        if (!f.busy || f.note != e.data1)
            continue;
        if (!drum && f.registerPlayed)
            writeFrequency(k, e.time, false, true);
        f.busy = false;
        f.registerPlayed = false;
        f.writeBothFrequencies = true;
    }
}

bool ChannelStage::programChange(const MidiEvent& e)
{
    MidiChannelState& w = walk_[e.channel()];
    const MidiChannelState& ch = channels_[e.channel()];
    w.program = e.data1;
    const ToneSlots& slots = *slots_;
    if (ch.reserve == 0)
        return true;
    for (int k : ch.fmChannels) {
        FmChannelSlot& f = fm_[k];
        if (f.busy)
            return fail(formatMessage("MidiCh %d : Cannot insert ProgramChange. ", shown(e.channel())));
        bool assign = f.voiceAssigned;
        if (!w.isDrum()) {
            const ToneSlot* tone = nullptr;
            for (const ToneSlot& s : slots)
                if (s.inUse() && !s.isDrum() && s.bankMsb == w.bankMsb && s.bankLsb == w.bankLsb && s.program == w.program) {
                    tone = &s;
                    break;
                }
            if (!tone || tone->operators != slots[f.voice].operators)
                return fail(formatMessage("MidiCh %d : Wrong Operator number at a program change.", shown(e.channel())));
            f.bankMsb = w.bankMsb;
            f.bankLsb = w.bankLsb;
            f.program = w.program;
            control(k, e.time, 0x31, w.bankLsb);
            control(k, e.time, 0x30, w.program);
            f.voice = tone->index;
            for (const ToneSlot& s : slots) {
                if (!s.inUse())
                    continue;
                if (!s.isDrum() && s.bankMsb == w.bankMsb && s.program == w.program && s.bankLsb != w.bankLsb)
                    assign = true;
                if (s.isDrum() && s.drumNote == w.program)
                    assign = true;
            }
        } else {
            control(k, e.time, 0x31, static_cast<std::uint8_t>(128 + w.program));
            control(k, e.time, 0x30, f.drumNote);
            for (const ToneSlot& s : slots) {
                if (!s.inUse())
                    continue;
                if (!s.isDrum() && s.program == f.drumNote)
                    assign = true;
                if (s.isDrum() && s.drumNote == f.drumNote && s.program != w.program)
                    assign = true;
            }
        }
        if (assign)
            voiceAssign(k, e.time);
    }
    return true;
}

void ChannelStage::controllerToChannels(const MidiEvent& e)
{
    const MidiChannelState& ch = channels_[e.channel()];
    if (ch.reserve == 0)
        return;
    for (int k : ch.fmChannels) {
        if (e.data1 == midi::controller::kModulation)
            modulation(k, e.time, e.data2);
        else if (e.data1 == midi::controller::kVolume)
            volume(k, e.time, e.data2);
        else
            control(k, e.time, 0x3A, e.data2); // pan is always sent
    }
}

void ChannelStage::pitchBend(const MidiEvent& e)
{
    MidiChannelState& w = walk_[e.channel()];
    w.bend = ((e.data1 | (e.data2 << 7)) - 8192) * 4;
    if (w.isDrum())
        return;
    for (int k : channels_[e.channel()].fmChannels) {
        FmChannelSlot& f = fm_[k];
        if (f.note >= 0)
            writeFrequency(k, e.time, f.busy && f.registerPlayed, false);
    }
}

void ChannelStage::add(int k, std::int64_t t, std::initializer_list<std::uint8_t> bytes)
{
    SeqEvent ev;
    ev.time = t;
    for (auto b : bytes)
        ev.bytes[ev.size++] = b;
    fm_[k].events.push_back(ev);
}

void ChannelStage::control(int k, std::int64_t t, std::uint8_t code, std::uint8_t value)
{
    add(k, t, {0x00, static_cast<std::uint8_t>(((k % 4) << 6) + code), value});
}

void ChannelStage::octaveShift(int k, std::int64_t t, int key, int& block, int& code)
{
    FmChannelSlot& f = fm_[k];
    int d = f.octave.value;
    while (key < 37 + 12 * d)
        --d;
    while (key > 84 + 12 * d)
        ++d;
    if (d != f.octave.value || !f.octave.sent) {
        control(k, t, 0x32, static_cast<std::uint8_t>(d >= 0 ? d : 0x80 + (-d)));
        f.octave.value = d;
        f.octave.sent = true;
    }
    const int relative = key - 12 * d;
    block = (relative - 37) / 12;
    code = relative - 36 - 12 * block;
}

void ChannelStage::velocity(int k, std::int64_t t, int value)
{
    SentValue& last = fm_[k].velocity;
    // After a START point every value is sent again, the velocity too, so that a loop
    // back to START does not play on with the velocity the song ended with.
    if (value == last.value && last.sent)
        return;
    const int code = shortVelocityCode(value);
    bool send;
    if (code != 0) {
        send = !(last.sent && shortVelocityCode(last.value) == code);
        if (send)
            add(k, t, {0x00, static_cast<std::uint8_t>(((k % 4) << 6) + code)});
    } else {
        send = !(last.sent && value / 4 == last.value / 4);
        if (send)
            control(k, t, 0x3B, static_cast<std::uint8_t>(value));
    }
    last.value = value;
    if (send)
        last.sent = true;
}

void ChannelStage::volume(int k, std::int64_t t, int value)
{
    SentValue& last = fm_[k].volume;
    if (last.sent && (value ^ last.value) < 4)
        return;
    control(k, t, 0x37, static_cast<std::uint8_t>(value));
    last = {value, true};
}

void ChannelStage::modulation(int k, std::int64_t t, int value)
{
    SentValue& last = fm_[k].modulation;
    const int code = modulationCode(value);
    if (last.sent && code == last.value)
        return;
    add(k, t, {0x00, static_cast<std::uint8_t>(((k % 4) << 6) + 0x20 + code)});
    last = {code, true};
}

void ChannelStage::writeFrequency(int k, std::int64_t t, bool keyOn, bool both)
{
    FmChannelSlot& f = fm_[k];
    const MidiChannelState& w = walk_[f.midiChannel];
    const auto values = frequencyRegisters(f.note, w.bend, w.bendRange, keyOn);
    if (f.writeBothFrequencies) {
        both = true;
        f.writeBothFrequencies = false;
    }
    for (int r = 0; r < 2; ++r) {
        if (!both && values[r] == f.frequency[r])
            continue;
        add(k, t, {0xFF, 0xF0, 0x06, 0x43, 0x03, 0x90, static_cast<std::uint8_t>((r == 0 ? 0xB0 : 0xC0) + k),
                   static_cast<std::uint8_t>(values[r]), 0xF7});
        f.frequency[r] = values[r];
    }
}

void ChannelStage::voiceAssign(int k, std::int64_t t)
{
    const int pair = k / 2;
    FmChannelSlot& even = fm_[2 * pair];
    FmChannelSlot& odd = fm_[2 * pair + 1];
    const int value = ((odd.isAssigned() ? odd.voice : 0) & 15) * 16 + ((even.isAssigned() ? even.voice : 0) & 15);
    add(k, t, {0xFF, 0xF0, 0x06, 0x43, 0x03, 0x91, static_cast<std::uint8_t>(0x18 + pair),
               static_cast<std::uint8_t>(value), 0xF7});
    even.voiceAssigned = odd.voiceAssigned = true;
}

} // namespace melconv
