#include "orka/smaf/Synthesizer.h"

#include "orka/smaf/FmTables.h"
#include "orka/common/MidiCodes.h"

#include "orka/common/FmFrequency.h"
#include "orka/common/SmafCodes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orka::smaf {
namespace codes = orka::common::smaf;
namespace {

// Flags of a wave data message.
constexpr std::uint8_t kWaveMoreFollows = 0x40;
constexpr std::uint8_t kWaveAt8000Hz = 0x01;
constexpr int kRenderBlock = 64;
// A wave that never completes must not grow without bound.
constexpr std::size_t kMaxPendingWave = 8u << 20;

bool isDrumBank(int bank) { return bank >= 10 && bank < 20; }
bool isWaveNote(int note) { return note < 13 || note > 91; }

} // namespace

Synthesizer::Synthesizer(std::span<const std::uint8_t> builtinBank, const std::filesystem::path& driversDir)
    : tables_(builtinBank)
{
    fmTables();
    if (!driversDir.empty()) {
        tables_.loadBankFile(driversDir / "sx4voice.vma");
        tables_.loadDrumWaveFile(driversDir / "sx4voice.adp", waves_);
    }
}

int Synthesizer::resolveBank(int msb, int lsb, int program, int channel)
{
    switch (msb) {
    case 0:
        if (lsb == 0)
            return channel == 9 ? 10 : 0;
        return 0;
    case 122:
        return lsb < 10 ? lsb : 0;
    case 123:
        if (lsb == 0)
            return program <= 9 ? 10 + program : 10;
        return 0;
    case 124:
        return lsb < 20 ? 20 + lsb : 0;
    default:
        return 0;
    }
}

const DecodedVoice* Synthesizer::lookupVoice(int bank, int program, int note) const
{
    const DecodedVoice* v = nullptr;
    if (bank < 10) {
        v = &tables_.melodic(bank, program);
    } else if (bank < 20) {
        v = &tables_.drum(bank - 10, note);
        if (isWaveNote(note))
            return v; // its drum wave is what sounds
    } else if (bank < 40) {
        v = &tables_.working(bank - 20, program);
    }
    return v && v->operatorCount != 0 ? v : nullptr;
}

int Synthesizer::totalAttenuation(int volume, int expression, int velocity) const
{
    const auto& t = fmTables();
    const int cv = t.levelCurve[volume & 0x7F];
    const int a = cv > masterAttenuation_ ? cv - masterAttenuation_ : 0;
    return a + t.levelCurve[expression & 0x7F] + t.levelCurve[velocity & 0x7F];
}

std::int32_t Synthesizer::sampleGain(int volume, int expression, int velocity) const
{
    return fmTables().sampleGain[std::clamp(totalAttenuation(volume, expression, velocity), 0, kSilentStep)];
}

Attenuation Synthesizer::attenuation(int volume, int expression, int velocity, int pan) const
{
    const auto& t = fmTables();
    const int total = totalAttenuation(volume, expression, velocity);
    const int pl = t.panLeft[pan & 0x7F];
    const int pr = t.panRight[pan & 0x7F];
    Attenuation result;
    if (stereo_) {
        result.left = total + pl;
        result.right = total + pr;
    } else {
        result.left = result.right = total + (pl + pr) / 2;
    }
    result.left = std::min(result.left, kSilentStep);
    result.right = std::min(result.right, kSilentStep);
    return result;
}

void Synthesizer::pitchFor(int note, int bendRange, int bend, int& block, int& fnumber)
{
    namespace fm = orka::common::fm;
    const auto split = fm::splitForVoice(fm::frequencyNumber(fmTables().noteFrequency[note & 0x7F], bendRange, bend));
    block = split.block;
    fnumber = split.fnumber;
}

bool Synthesizer::budgetAllows(int inUse, int previous, int operators)
{
    if (inUse + operators > kOperatorBudget)
        return false;
    return !(operators == 4 && inUse + 6 > kOperatorBudget && previous + 4 > kOperatorBudget);
}

int Synthesizer::allocateSlot(int operators) const
{
    if (!budgetAllows(operatorsInUse_, previousOperators_, operators))
        return -1;
    int best = -1;
    for (int s = 0; s < kSlots; ++s)
        if (!slots_[s].busy && (best < 0 || slots_[s].stamp < slots_[best].stamp))
            best = s;
    return best;
}

void Synthesizer::setOperatorsInUse(int value)
{
    previousOperators_ = operatorsInUse_;
    operatorsInUse_ = std::max(0, value);
}

void Synthesizer::applyGains(int ch, const SoundingNote& n)
{
    if (n.slot < 0)
        return;
    const ChannelState& c = channels_[ch];
    const Attenuation a = attenuation(c.volume, c.expression, n.velocity, c.pan);
    engine_.setGains(n.slot, a.left, a.right);
}

void Synthesizer::applyPitch(int ch, const SoundingNote& n)
{
    if (n.slot < 0)
        return;
    const ChannelState& c = channels_[ch];
    int block = 0;
    int fnumber = 0;
    pitchFor(n.pitchNote, c.bendRange, c.pitchBend, block, fnumber);
    engine_.setPitch(n.slot, block, fnumber);
}

void Synthesizer::updateSampleVolume(int ch)
{
    const ChannelState& c = channels_[ch];
    for (int i = 0; i < c.noteCount; ++i)
        if (c.notes[i].slot < 0)
            sampleVoice_.setVolume(sampleGain(c.volume, c.expression, c.notes[i].velocity));
}

void Synthesizer::startNote(int ch, int slotIndex, const DecodedVoice* voice, int note, int pitchNote, int velocity)
{
    ChannelState& c = channels_[ch];
    if (c.noteCount >= ChannelState::kMaxNotes)
        return;
    VoiceSlot& s = slots_[slotIndex];
    s.stamp = clock_;
    s.voice = voice;
    s.busy = true;
    s.operators = voice->operatorCount;
    s.velocity = static_cast<std::uint8_t>(velocity);
    s.channel = static_cast<std::uint8_t>(ch);
    setOperatorsInUse(operatorsInUse_ + s.operators);
    ++c.activeNotes;
    SoundingNote& n = c.notes[c.noteCount++];
    n = SoundingNote{voice, static_cast<std::uint8_t>(note), static_cast<std::uint8_t>(pitchNote),
                     static_cast<std::uint8_t>(velocity), 1, static_cast<std::int8_t>(slotIndex)};
    engine_.loadVoice(slotIndex, *voice);
    engine_.setModulation(slotIndex, c.modulation);
    applyGains(ch, n);
    applyPitch(ch, n);
    engine_.keyOn(slotIndex);
}

void Synthesizer::playDrumWave(int ch, const DecodedVoice& record, int note, int velocity)
{
    ChannelState& c = channels_[ch];
    const StoredWave* wave = waves_.find(static_cast<int>(record.waveHandle));
    if (!wave || c.noteCount >= ChannelState::kMaxNotes)
        return;
    sampleVoice_.setVolume(sampleGain(c.volume, c.expression, velocity));
    sampleVoice_.strike(*wave, static_cast<int>(record.waveHandle));
    ++c.activeNotes;
    c.notes[c.noteCount++] = SoundingNote{&record, static_cast<std::uint8_t>(note), static_cast<std::uint8_t>(note),
                                          static_cast<std::uint8_t>(velocity), 1, -1};
}

void Synthesizer::noteOn(int ch, int note, int velocity)
{
    ++clock_;
    ChannelState& c = channels_[ch];
    const int bank = c.resolvedBank;
    if (c.noteLimit == 1) {
        if (isDrumBank(bank)) {
            if (isWaveNote(note) && c.noteCount == 0)
                playDrumWave(ch, tables_.drum(bank - 10, note), note, velocity);
            return;
        }
        if (c.noteCount > 0) {
            // Legato: the sounding note takes the new key without a new attack.
            SoundingNote& n = c.notes[0];
            if (n.slot < 0)
                return;
            n.note = n.pitchNote = static_cast<std::uint8_t>(note);
            n.velocity = static_cast<std::uint8_t>(velocity);
            n.holds = static_cast<std::uint8_t>(std::min(n.holds + 1, 255));
            slots_[n.slot].stamp = clock_;
            slots_[n.slot].velocity = n.velocity;
            applyGains(ch, n);
            applyPitch(ch, n);
            return;
        }
        const DecodedVoice* voice = lookupVoice(bank, c.program, note);
        if (!voice)
            return;
        int slotIndex = -1;
        if (allocationMode_ == 1)
            slotIndex = slots_[ch].busy ? -1 : ch; // another channel's note keeps its slot
        else
            slotIndex = allocateSlot(voice->operatorCount);
        if (slotIndex >= 0)
            startNote(ch, slotIndex, voice, note, note, velocity);
        return;
    }
    if (c.activeNotes >= c.noteLimit || bank >= 20)
        return;
    const DecodedVoice* voice = nullptr;
    int pitchNote = note;
    if (isDrumBank(bank)) {
        const DecodedVoice& record = tables_.drum(bank - 10, note);
        if (isWaveNote(note)) {
            playDrumWave(ch, record, note, velocity);
            return;
        }
        if (record.operatorCount == 0)
            return;
        voice = &record;
        pitchNote = record.drumKey;
    } else {
        voice = lookupVoice(bank, c.program, note);
    }
    if (!voice)
        return;
    const int slotIndex = allocateSlot(voice->operatorCount);
    if (slotIndex >= 0)
        startNote(ch, slotIndex, voice, note, pitchNote, velocity);
}

void Synthesizer::releaseNote(int ch, int index)
{
    ChannelState& c = channels_[ch];
    const SoundingNote n = c.notes[index];
    if (n.slot >= 0) {
        VoiceSlot& s = slots_[n.slot];
        engine_.keyOff(n.slot);
        if (s.busy) {
            setOperatorsInUse(operatorsInUse_ - s.operators);
            s.busy = false;
        }
        s.stamp = clock_;
    } else {
        sampleVoice_.endHold();
    }
    std::copy(c.notes.begin() + index + 1, c.notes.begin() + c.noteCount, c.notes.begin() + index);
    --c.noteCount;
    if (c.activeNotes > 0)
        --c.activeNotes;
}

void Synthesizer::releaseAll(int ch)
{
    ChannelState& c = channels_[ch];
    while (c.noteCount > 0)
        releaseNote(ch, c.noteCount - 1);
    c.activeNotes = 0;
}

void Synthesizer::allSoundOff()
{
    for (int ch = 0; ch < kChannels; ++ch)
        releaseAll(ch);
}

void Synthesizer::noteOff(int ch, int note)
{
    ++clock_;
    ChannelState& c = channels_[ch];
    if (c.noteLimit == 1) {
        if (c.noteCount == 0)
            return;
        if (c.notes[0].holds > 0)
            --c.notes[0].holds;
        if (c.notes[0].holds == 0)
            releaseNote(ch, 0);
        return;
    }
    for (int i = 0; i < c.noteCount; ++i)
        if (c.notes[i].note == note) {
            c.notes[i].holds = 0;
            releaseNote(ch, i);
            return;
        }
}

void Synthesizer::updateChannelVoice(ChannelState& c, int ch)
{
    c.resolvedBank = static_cast<std::uint8_t>(resolveBank(c.bankMsb, c.bankLsb, c.program, ch));
    const DecodedVoice* v = lookupVoice(c.resolvedBank, c.program, 60);
    c.voiceOperators = v ? v->operatorCount : 0;
}

void Synthesizer::controlChange(int ch, int controller, int value)
{
    ChannelState& c = channels_[ch];
    switch (controller) {
    case midi::controller::kBankSelectMsb:
        c.bankMsb = static_cast<std::uint8_t>(value);
        updateChannelVoice(c, ch);
        break;
    case midi::controller::kBankSelectLsb:
        c.bankLsb = static_cast<std::uint8_t>(value);
        updateChannelVoice(c, ch);
        break;
    case midi::controller::kModulation:
        c.modulation = static_cast<std::uint8_t>(value == 0 ? 0 : (value >> 5) + 1);
        for (int i = 0; i < c.noteCount; ++i)
            if (c.notes[i].slot >= 0)
                engine_.setModulation(c.notes[i].slot, c.modulation);
        break;
    case midi::controller::kDataEntryMsb:
        if (c.rpnMsb == 0 && c.rpnLsb == 0 && c.nonRegistered == 0)
            c.bendRange = static_cast<std::uint8_t>(value);
        break;
    case midi::controller::kVolume:
    case midi::controller::kPan:
    case midi::controller::kExpression:
        if (controller == midi::controller::kVolume)
            c.volume = static_cast<std::uint8_t>(value);
        else if (controller == midi::controller::kPan)
            c.pan = static_cast<std::uint8_t>(value);
        else
            c.expression = static_cast<std::uint8_t>(value);
        for (int i = 0; i < c.noteCount; ++i)
            applyGains(ch, c.notes[i]);
        updateSampleVolume(ch);
        break;
    case midi::controller::kChannelReserve:
        c.noteLimit = static_cast<std::uint8_t>(value);
        break;
    case midi::controller::kNrpnLsb:
    case midi::controller::kNrpnMsb:
        c.nonRegistered = 1;
        break;
    case midi::controller::kRpnLsb:
        c.rpnLsb = static_cast<std::uint8_t>(value);
        c.nonRegistered = 0;
        break;
    case midi::controller::kRpnMsb:
        c.rpnMsb = static_cast<std::uint8_t>(value);
        c.nonRegistered = 0;
        break;
    case midi::controller::kAllSoundOff:
    case midi::controller::kAllNotesOff:
        releaseAll(ch);
        break;
    default:
        break;
    }
}

void Synthesizer::shortMessage(std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
{
    const int ch = status & 0x0F;
    const int d1 = data1 & 0x7F;
    const int d2 = data2 & 0x7F;
    switch (status & 0xF0) {
    case 0x80:
        noteOff(ch, d1);
        break;
    case 0x90:
        if (d2 == 0)
            noteOff(ch, d1);
        else
            noteOn(ch, d1, d2);
        break;
    case 0xB0:
        controlChange(ch, d1, d2);
        break;
    case 0xC0: {
        ChannelState& c = channels_[ch];
        c.program = static_cast<std::uint8_t>(d1);
        updateChannelVoice(c, ch);
        break;
    }
    case 0xE0: {
        ChannelState& c = channels_[ch];
        c.pitchBend = static_cast<std::int16_t>((d2 * 128 + d1) * 4 - 32768);
        for (int i = 0; i < c.noteCount; ++i)
            applyPitch(ch, c.notes[i]);
        break;
    }
    default:
        break;
    }
}

void Synthesizer::registerWrite(int reg, int value)
{
    const int c = reg & 0x0F;
    if ((reg & 0xF0) == codes::kRegisterFnumberLow) {
        engine_.setFnumberLow(c, static_cast<std::uint8_t>(value));
    } else if ((reg & 0xF0) == codes::kRegisterBlockAndKey) {
        engine_.setBlockAndFnumberHigh(c, (value >> 2) & 7, value & 3);
        ChannelState& ch = channels_[c];
        const std::uint8_t key = (value & codes::kRegisterKeyOn) ? 1 : 0;
        if (key == ch.registerKey)
            return;
        ch.registerKey = key;
        if (!key) {
            engine_.keyOff(c);
            return;
        }
        const DecodedVoice* voice = lookupVoice(ch.resolvedBank, ch.program, 60);
        if (!voice)
            return;
        const Attenuation a = attenuation(ch.volume, ch.expression, 127, ch.pan);
        engine_.loadVoice(c, *voice);
        engine_.setGains(c, a.left, a.right);
        engine_.keyOn(c);
    }
}

void Synthesizer::waveData(std::span<const std::uint8_t> d, std::size_t adpcmBytes)
{
    // d: number or note, kind, drum bank, flags, ADPCM bytes.
    const std::span<const std::uint8_t> adpcm = d.subspan(4, adpcmBytes);
    if (pendingWave_.size() + adpcm.size() <= kMaxPendingWave)
        pendingWave_.insert(pendingWave_.end(), adpcm.begin(), adpcm.end());
    const std::uint8_t flags = d[3];
    if (flags & kWaveMoreFollows)
        return;
    const std::uint32_t rate = (flags & kWaveAt8000Hz) ? 8000 : 4000;
    const int number = d[0];
    if (d[1] == 0) {
        const int bank = d[2];
        if (bank < VoiceTables::kBanks && number < VoiceTables::kPerBank) {
            const int handle = waves_.store(0, pendingWave_, rate);
            if (handle != 0)
                tables_.drum(bank, number).waveHandle = static_cast<std::uint32_t>(handle);
        }
    } else {
        waves_.store(number, pendingWave_, rate);
    }
    pendingWave_.clear();
}

void Synthesizer::systemExclusive(std::span<const std::uint8_t> m)
{
    constexpr std::size_t kHeader = std::size(codes::kSynthHeader);
    if (m.size() < kHeader + 1 || std::memcmp(m.data(), codes::kSynthHeader, kHeader) != 0)
        return;
    const std::uint8_t command = m[kHeader];
    std::span<const std::uint8_t> d = m.subspan(kHeader + 1);
    if (!d.empty() && d.back() == codes::kExclusiveEnd)
        d = d.first(d.size() - 1);
    auto at = [&](std::size_t i) -> int { return i < d.size() ? d[i] : 0; };
    switch (command) {
    case codes::kSynthNoteLimit:
        if (at(0) < kChannels)
            channels_[at(0)].noteLimit = static_cast<std::uint8_t>(at(1));
        break;
    case codes::kSynthRegisterWrite: {
        // Groups of up to seven 7-bit bytes after a byte holding their top bits.
        std::vector<std::uint8_t> bytes;
        for (std::size_t g = 0; g < d.size(); g += 8) {
            const std::uint8_t high = d[g];
            for (std::size_t k = 1; k < 8 && g + k < d.size(); ++k)
                bytes.push_back(static_cast<std::uint8_t>((d[g + k] & 0x7F) | (((high >> (7 - k)) & 1) << 7)));
        }
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            registerWrite(bytes[i], bytes[i + 1]);
        break;
    }
    case codes::kSynthStereo:
        stereo_ = static_cast<std::uint8_t>(at(0));
        for (int ch = 0; ch < kChannels; ++ch)
            for (int i = 0; i < channels_[ch].noteCount; ++i)
                applyGains(ch, channels_[ch].notes[i]);
        break;
    case codes::kSynthWaveData: {
        // Header, command, four header bytes of the wave and the end byte around the ADPCM bytes.
        constexpr std::size_t kFraming = kHeader + 1 + 4 + 1;
        if (m.size() >= kFraming && d.size() >= 4)
            waveData(d, std::min(m.size() - kFraming, d.size() - 4));
        break;
    }
    case codes::kSynthWaveDelete:
        if (at(1) == 0) {
            if (at(2) < VoiceTables::kBanks && at(0) < VoiceTables::kPerBank) {
                DecodedVoice& rec = tables_.drum(at(2), at(0));
                waves_.erase(static_cast<int>(rec.waveHandle));
                rec.waveHandle = 0;
            }
        } else {
            waves_.erase(at(0));
        }
        break;
    case codes::kSynthWaveStart:
        if (const StoredWave* w = waves_.find(at(1)))
            sampleVoice_.start(*w, at(1));
        break;
    case codes::kSynthWaveEnd:
        sampleVoice_.endHold();
        break;
    case codes::kSynthSampleVolume:
        sampleVoice_.setVolume(sampleGain(127, 127, at(1)));
        break;
    case codes::kSynthMasterAttenuation:
        masterAttenuation_ = at(0) - 64;
        break;
    case codes::kSynthAllocationMode:
        allocationMode_ = static_cast<std::uint8_t>(at(0));
        break;
    default:
        break;
    }
}

void Synthesizer::renderChunk(std::int16_t* out, int frames)
{
    std::int32_t left[kRenderBlock];
    std::int32_t right[kRenderBlock];
    while (frames > 0) {
        const int n = std::min(frames, kRenderBlock);
        std::fill_n(left, n, 0);
        std::fill_n(right, n, 0);
        engine_.render(left, right, n);
        for (int i = 0; i < n; ++i) {
            out[2 * i] = static_cast<std::int16_t>(std::clamp(left[i] >> outputShift_, -32767, 32767));
            out[2 * i + 1] = static_cast<std::int16_t>(std::clamp(right[i] >> outputShift_, -32767, 32767));
        }
        sampleVoice_.mix(out, n);
        out += 2 * n;
        frames -= n;
    }
}

} // namespace orka::smaf
