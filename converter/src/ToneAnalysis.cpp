#include "ToneAnalysis.h"

#include "orka/common/MidiCodes.h"

#include <cstring>

namespace melconv {

namespace midi = orka::midi;

namespace {

bool isLeadByte(std::uint8_t b) { return b >= 0x81 && b <= 0xFE; }

bool startsWith(std::span<const std::uint8_t> text, const char* prefix)
{
    const std::size_t n = std::strlen(prefix);
    return text.size() >= n && std::memcmp(text.data(), prefix, n) == 0;
}

bool equals(std::span<const std::uint8_t> text, const char* word)
{
    return text.size() == std::strlen(word) && startsWith(text, word);
}

// Leading decimal digits of `text`, as a C library reader takes them; 0 without any.
int leadingNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    int value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 1000)
            return 0;
    }
    return value;
}

} // namespace

std::string escapeContentsText(std::span<const std::uint8_t> text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint8_t b = text[i];
        if (isLeadByte(b) && i + 1 < text.size()) {
            out.push_back(static_cast<char>(b));
            out.push_back(static_cast<char>(text[++i]));
            continue;
        }
        if (b == ',' || b == '\\')
            out.push_back('\\');
        out.push_back(static_cast<char>(b));
    }
    return out;
}

void readXflnText(std::span<const std::uint8_t> text, ContentsInfo& info)
{
    const std::string escaped = escapeContentsText(text.size() > 5 ? text.subspan(5) : std::span<const std::uint8_t>{});
    // Split at ":"; a double-byte character never holds one as its second byte in the code
    // pages used, so a plain split is safe.
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        const auto b = static_cast<std::uint8_t>(escaped[i]);
        if (isLeadByte(b) && i + 1 < escaped.size()) {
            fields.back().push_back(escaped[i]);
            fields.back().push_back(escaped[++i]);
        } else if (b == ':') {
            fields.emplace_back();
        } else {
            fields.back().push_back(escaped[i]);
        }
    }
    static const struct { const char* code; std::uint8_t type; } languages[] = {
        {"L1", 1}, {"JP", 0}, {"KR", 2}, {"HZ", 3}, {"B5", 4}, {"CY", 5}, {"VN", 6}};
    for (const auto& l : languages)
        if (fields[0] == l.code)
            info.codeType = l.type;
    std::string* targets[] = {&info.songTitle, &info.songWriter, &info.wordsWriter, &info.arranger, &info.artist};
    for (std::size_t i = 0; i < 5; ++i)
        *targets[i] = i + 1 < fields.size() ? fields[i + 1] : std::string();
}

void readLyricCue(std::span<const std::uint8_t> text, ContentsInfo& info)
{
    const std::string_view all(reinterpret_cast<const char*>(text.data()), text.size());
    if (all.find("$Lyrc:") == std::string_view::npos)
        return;
    const std::string_view rest = all.substr(all.find(':') + 1);
    const auto comma = rest.find(',');
    std::string_view first, second;
    if (comma != std::string_view::npos) {
        first = rest.substr(0, comma);
        second = rest.substr(comma + 1);
        second = second.substr(0, second.find(':'));
    } else {
        const auto colon = rest.find(':');
        if (colon == std::string_view::npos)
            return;
        first = rest.substr(0, colon);
    }
    for (auto part : {first, second}) {
        const int n = leadingNumber(part);
        if (n >= 1 && n <= 16)
            info.lyricChannels[static_cast<std::size_t>(n - 1)] = true;
    }
}

bool ToneAnalysis::run(const MidiStream& stream, const VoiceBankView& bank)
{
    reset();
    channels_ = {};
    table_ = {};
    slots_ = {};
    contents_ = {};
    if (!walk(stream))
        return false;
    return checkDrumReserves() && assignOperators(bank);
}

bool ToneAnalysis::walk(const MidiStream& stream)
{
    for (const MidiEvent& e : stream.events()) {
        MidiChannelState& ch = channels_[e.channel()];
        switch (e.kind()) {
        case midi::status::kControlChange:
            if (!controller(ch, e.channel(), e.data1, e.data2))
                return false;
            break;
        case midi::status::kProgramChange:
            if (!programChange(ch, e.channel(), e.data1))
                return false;
            break;
        case midi::status::kNoteOn:
            if (e.data2 > 0 && !drumNote(ch, e.channel(), e.data1))
                return false;
            break;
        case midi::status::kMeta:
            metaEvent(stream, e);
            break;
        default:
            break;
        }
    }
    return !failed();
}

bool ToneAnalysis::controller(MidiChannelState& ch, unsigned channel, unsigned number, unsigned value)
{
    const int shown = static_cast<int>(channel) + 1;
    switch (number) {
    case midi::controller::kBankSelectMsb:
        if (value != kNormalBank && value != kDrumBank)
            return fail(formatMessage("MidiCh %d : Wrong BankSelectMSB %d.", shown, static_cast<int>(value)));
        ch.bankMsb = static_cast<std::uint8_t>(value);
        ch.msbSeen = true;
        return true;
    case midi::controller::kBankSelectLsb:
        if (value > 9)
            return fail(formatMessage("MidiCh %d : Wrong BankSelectLSB %d.", shown, static_cast<int>(value)));
        ch.bankLsb = static_cast<std::uint8_t>(value);
        ch.lsbSeen = true;
        return true;
    case midi::controller::kChannelReserve:
        if (ch.reserveSeen) {
            fail(formatMessage("MidiCh %d : ChannelReserve Error.", shown));
            return true; // the walk goes on; the stage has failed all the same
        }
        ch.reserve = static_cast<std::uint8_t>(value);
        ch.reserveSeen = true;
        return true;
    case midi::controller::kModulation:
    case midi::controller::kDataEntryMsb:
    case midi::controller::kVolume:
    case midi::controller::kPan:
    case midi::controller::kExpression:
    case midi::controller::kDataEntryLsb:
    case midi::controller::kRpnLsb:
    case midi::controller::kRpnMsb:
        return true;
    default:
        return fail(formatMessage("MidiCh %d : Wrong ControlNumber %d.", shown, static_cast<int>(number)));
    }
}

bool ToneAnalysis::programChange(MidiChannelState& ch, unsigned channel, unsigned program)
{
    const int shown = static_cast<int>(channel) + 1;
    if (ch.isDrum() && program > 9)
        return fail(formatMessage("MidiCh %d : Wrong ProgramChange %d.", shown, static_cast<int>(program) + 1));
    ch.program = static_cast<std::uint8_t>(program);
    if (!ch.programSeen) {
        ch.programSeen = ch.msbSeen = ch.lsbSeen = true;
    }
    if (ch.isDrum() || ch.reserve == 0)
        return true;
    for (const ToneEntry& t : table_.entries)
        if (!t.isFree() && !t.isDrum() && t.bankMsb == ch.bankMsb && t.bankLsb == ch.bankLsb && t.program == program)
            return true;
    for (ToneEntry& t : table_.entries) {
        if (t.isFree()) {
            t = ToneEntry{ch.bankMsb, ch.bankLsb, static_cast<std::uint8_t>(program), static_cast<std::uint8_t>(channel), 0};
            return true;
        }
    }
    return fail(formatMessage("MidiCh %d : Cannot assign a Normal tone.", shown));
}

bool ToneAnalysis::drumNote(const MidiChannelState& ch, unsigned channel, unsigned note)
{
    if (!ch.isDrum() || ch.reserve == 0 || !isFmDrumNote(static_cast<int>(note)))
        return true;
    for (const ToneEntry& t : table_.entries)
        if (t.isDrum() && t.bankLsb == ch.bankLsb && t.program == ch.program && t.drumNote == note)
            return true;
    for (ToneEntry& t : table_.entries) {
        if (t.isFree()) {
            t = ToneEntry{ch.bankMsb, ch.bankLsb, ch.program, static_cast<std::uint8_t>(channel),
                          static_cast<std::uint8_t>(note)};
            return true;
        }
    }
    return fail(formatMessage("MidiCh %d : Cannot assign a Drum tone.", static_cast<int>(channel) + 1));
}

void ToneAnalysis::metaEvent(const MidiStream& stream, const MidiEvent& e)
{
    const auto text = stream.payload(e);
    switch (e.metaType) {
    case midi::meta::kText:
        if (startsWith(text, "XFln"))
            readXflnText(text, contents_);
        break;
    case midi::meta::kCopyright:
        if (!text.empty()) {
            contents_.copyright = escapeContentsText(text);
            contents_.copyStatus = 1;
        }
        break;
    case midi::meta::kCuePoint:
        if (!equals(text, "START") && !equals(text, "STOP"))
            readLyricCue(text, contents_);
        break;
    default:
        break;
    }
}

bool ToneAnalysis::checkDrumReserves()
{
    for (unsigned c = 0; c < 16; ++c) {
        const MidiChannelState& ch = channels_[c];
        if (!ch.isDrum())
            continue;
        int count = 0;
        for (const ToneEntry& t : table_.entries)
            if (!t.isFree() && t.midiChannel == c)
                ++count;
        // A drum channel without FM drum tones (only ADPCM notes, or none) needs no reserve;
        // the channels after it are still checked.
        if (count == 0)
            continue;
        if (count != ch.reserve)
            return fail(formatMessage("MidiCh %d : ChannelReserve should be %d.", static_cast<int>(c) + 1, count));
    }
    return true;
}

void ToneAnalysis::fillSlot(ToneSlot& slot, std::uint8_t index, const ToneEntry& entry, std::uint8_t operators,
                            const VoiceBankView& bank) const
{
    slot.midiChannel = entry.midiChannel;
    slot.index = index;
    slot.bankMsb = entry.bankMsb;
    slot.bankLsb = entry.bankLsb;
    slot.program = entry.program;
    slot.drumNote = entry.drumNote;
    slot.operators = operators;
    std::array<std::uint8_t, 16> name{};
    if (entry.isDrum()) {
        bank.copy(VoiceBankView::drumName(entry.program, entry.drumNote), name);
        bank.copy(VoiceBankView::drumVoice(entry.program, entry.drumNote), slot.voice);
    } else {
        bank.copy(VoiceBankView::normalName(entry.bankLsb, entry.program), name);
        bank.copy(VoiceBankView::normalVoice(entry.bankLsb, entry.program), slot.voice);
    }
    std::memcpy(slot.name.data(), name.data(), name.size());
    slot.drumKey = slot.voice[25];
}

bool ToneAnalysis::assignOperators(const VoiceBankView& bank)
{
    static constexpr int fourOperatorSlots[] = {0, 1, 2, 3, 8, 9, 10, 11};
    struct Pass { bool drum; std::uint8_t operators; };
    static constexpr Pass passes[] = {{true, 4}, {false, 4}, {true, 2}, {false, 2}};
    for (const Pass& pass : passes) {
        for (const ToneEntry& entry : table_.entries) {
            if (entry.isFree() || entry.isDrum() != pass.drum)
                continue;
            ToneSlot probe;
            fillSlot(probe, 0, entry, 0, bank);
            if (operatorCount(probe.voice) != pass.operators)
                continue;
            bool placed = false;
            if (pass.operators == 4) {
                for (int s : fourOperatorSlots) {
                    if (slots_[s].operators == kNone && slots_[s + 4].operators == kNone) {
                        fillSlot(slots_[s], static_cast<std::uint8_t>(s), entry, 4, bank);
                        slots_[s + 4].operators = kPartner;
                        placed = true;
                        break;
                    }
                }
                if (!placed)
                    return fail("Cannot assign a 4 operator tone.");
            } else {
                for (int s = 0; s < 16; ++s) {
                    if (slots_[s].operators == kNone) {
                        fillSlot(slots_[s], static_cast<std::uint8_t>(s), entry, 2, bank);
                        placed = true;
                        break;
                    }
                }
                if (!placed)
                    return fail("Cannot assign a 2 operator tone.");
            }
        }
    }
    return true;
}

} // namespace melconv
