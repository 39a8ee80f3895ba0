// Builds Orka's FM voice bank (86948 bytes, "FM  ") from the readable patch list and writes
// it both as a file and as a C++ source with the bytes, for the programs to embed.
//
//   orka_voicebank_gen genmidi.txt out.vma out.cpp
//
// Melodic bank 0 holds a 2-operator voice per General MIDI program, bank 1 a 4-operator
// voice per program (the patch's second voice, or an octave layer, as the second pair),
// each tuned from its own multipliers to sound at the note played;
// banks 2-9 are brighter, mellower, vibrato and tremolo variants of those two. Drum kits
// 0-9 cover notes 13-91: the General MIDI percussion patches where they exist and the
// nearest-sounding patch elsewhere, each kit tuned and damped a little differently.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <numeric>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Operator {
    int mul = 0, am = 0, vib = 0, egt = 0, ksr = 0, ar = 0, dr = 0, sl = 0, rr = 0, ksl = 0, tl = 63, wav = 0;
};

struct TwoOpVoice {
    int fb = 0, con = 0, offset = 0;
    Operator mod, car;
};

struct Patch {
    std::string name;
    std::string shortName;
    int fixed = -1;
    int pitch = 0; // octaves from the note that the instrument is expected to sound at
    int gain = 0;  // loudness correction in dB, applied to the carriers' total level
    TwoOpVoice first;
    std::optional<TwoOpVoice> second;
};

constexpr std::size_t kBankSize = 86948;
constexpr std::size_t kNames = 8;
constexpr std::size_t kMelodic = 8 + 2070 * 16;
constexpr std::size_t kDrums = kMelodic + 1280 * 26;

[[noreturn]] void die(const std::string& why)
{
    std::cerr << "orka_voicebank_gen: " << why << "\n";
    std::exit(1);
}

// "key=value" pairs of a line; operator fields are read from "[...]" groups.
std::map<std::string, std::string> fields(const std::string& text)
{
    std::map<std::string, std::string> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ')
            ++i;
        const auto eq = text.find('=', i);
        if (eq == std::string::npos)
            break;
        const std::string key = text.substr(i, eq - i);
        std::size_t end;
        if (eq + 1 < text.size() && text[eq + 1] == '[') {
            end = text.find(']', eq);
            if (end == std::string::npos)
                die("unclosed [ in: " + text);
            out[key] = text.substr(eq + 2, end - eq - 2);
            ++end;
        } else {
            end = text.find(' ', eq);
            if (end == std::string::npos)
                end = text.size();
            out[key] = text.substr(eq + 1, end - eq - 1);
        }
        i = end;
    }
    return out;
}

int number(const std::map<std::string, std::string>& f, const std::string& key, int lo, int hi)
{
    const auto it = f.find(key);
    if (it == f.end())
        die("missing field " + key);
    const int v = std::stoi(it->second);
    if (v < lo || v > hi)
        die("field " + key + " out of range: " + it->second);
    return v;
}

Operator readOperator(const std::string& text)
{
    const auto f = fields(text);
    Operator op;
    op.mul = number(f, "mul", 0, 15);
    op.am = number(f, "am", 0, 1);
    op.vib = number(f, "vib", 0, 1);
    op.egt = number(f, "egt", 0, 1);
    op.ksr = number(f, "ksr", 0, 1);
    op.ar = number(f, "ar", 0, 15);
    op.dr = number(f, "dr", 0, 15);
    op.sl = number(f, "sl", 0, 15);
    op.rr = number(f, "rr", 0, 15);
    op.ksl = number(f, "ksl", 0, 3);
    op.tl = number(f, "tl", 0, 63);
    op.wav = number(f, "wav", 0, 7);
    return op;
}

TwoOpVoice readVoice(const std::map<std::string, std::string>& f)
{
    TwoOpVoice v;
    v.fb = number(f, "fb", 0, 7);
    v.con = number(f, "con", 0, 1);
    v.offset = number(f, "offset", -128, 127);
    v.mod = readOperator(f.at("mod"));
    v.car = readOperator(f.at("car"));
    return v;
}

struct PatchList {
    std::array<Patch, 128> melodic;
    std::map<int, Patch> drums; // General MIDI percussion note -> patch
};

PatchList readPatches(const char* path)
{
    std::ifstream in(path);
    if (!in)
        die(std::string("cannot read ") + path);
    PatchList list;
    std::array<bool, 128> seen{};
    Patch* last = nullptr;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        std::string kind;
        int index = -1;
        words >> kind;
        if (kind == "voice2") {
            if (!last)
                die("voice2 before any patch");
            last->second = readVoice(fields(line.substr(6)));
            continue;
        }
        words >> index;
        const auto q1 = line.find('"');
        const auto q2 = line.find('"', q1 + 1);
        if (q1 == std::string::npos || q2 == std::string::npos)
            die("patch without a name: " + line);
        const auto f = fields(line.substr(q2 + 1));
        Patch p;
        p.name = line.substr(q1 + 1, q2 - q1 - 1);
        p.shortName = f.count("short") ? f.at("short").substr(0, 8) : p.name.substr(0, 8);
        p.fixed = f.at("fixed") == "-" ? -1 : number(f, "fixed", 0, 127);
        p.pitch = f.count("pitch") ? number(f, "pitch", -2, 1) : 0;
        p.gain = f.count("gain") ? number(f, "gain", -30, 30) : 0;
        p.first = readVoice(f);
        if (kind == "patch" && index >= 0 && index < 128) {
            list.melodic[static_cast<std::size_t>(index)] = p;
            seen[static_cast<std::size_t>(index)] = true;
            last = &list.melodic[static_cast<std::size_t>(index)];
        } else if (kind == "drum" && index >= 0 && index < 128) {
            list.drums[index] = p;
            last = &list.drums[index];
        } else {
            die("unknown line: " + line);
        }
    }
    for (int i = 0; i < 128; ++i)
        if (!seen[static_cast<std::size_t>(i)])
            die("program " + std::to_string(i) + " missing");
    return list;
}

std::array<std::uint8_t, 5> encode(const Operator& op, int vibratoDepth = 0, int tremoloDepth = 0)
{
    return {static_cast<std::uint8_t>(op.mul << 4 | op.vib << 3 | op.egt << 2 | op.ksr),
            static_cast<std::uint8_t>(op.rr << 4 | op.dr), static_cast<std::uint8_t>(op.ar << 4 | op.sl),
            static_cast<std::uint8_t>(op.tl << 2 | op.ksl),
            static_cast<std::uint8_t>(vibratoDepth << 6 | tremoloDepth << 4 | op.am << 3 | op.wav)};
}

int clampLevel(int tl) { return std::clamp(tl, 0, 63); }

// Frequency of each multiplier code, in halves of the note's frequency (code 0 is one half).
constexpr int kHalves[16] = {1, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 20, 24, 24, 30, 30};

int codeForHalves(int halves)
{
    for (int code = 0; code < 16; ++code)
        if (kHalves[code] == halves)
            return code;
    return -1;
}

// Waveforms 2 (absolute sine) and 3 (its first and third quarters) repeat twice per turn
// of the phase, so an operator playing them sounds an octave above its multiplier.
int waveFactor(int wav) { return wav == 2 || wav == 3 ? 2 : 1; }

// A modulator this far down (0.75 dB a step) hardly bends its carrier, and an additive
// operator this far down is hardly heard: neither sets the pitch.
constexpr int kInaudibleLevel = 40;

// The repetition rate of the voice's waveform, in halves of the note's frequency: the
// common divisor of what the carrier and (when it counts) the modulator contribute. For
// frequency modulation every sideband lies at carrier +- k x modulator; for an additive
// voice both operators sound.
int periodHalves(const TwoOpVoice& v)
{
    const int carrier = kHalves[v.car.mul] * waveFactor(v.car.wav);
    if (v.mod.tl >= kInaudibleLevel)
        return carrier;
    return std::gcd(carrier, kHalves[v.mod.mul] * waveFactor(v.mod.wav));
}

// Divides both multipliers by `by` where the result is a multiplier there is a code for.
void divideMultipliers(TwoOpVoice& v, int by)
{
    for (Operator* op : {&v.mod, &v.car}) {
        const int halves = kHalves[op->mul];
        if (halves % by == 0 && codeForHalves(halves / by) >= 0)
            op->mul = codeForHalves(halves / by);
    }
}

int log2Exact(int n)
{
    int k = 0;
    while (n > 1) {
        n >>= 1;
        ++k;
    }
    return k;
}

// Tunes a voice so that it sounds `octaves` from the note: the multipliers lose any odd
// factor of the voice's repetition rate (a fifth or a third above the octave becomes the
// octave, the timbre keeps its ratios), and the octave code moves the rest. Returns the
// octave code: 0 raises an octave, 1 plays as struck, 2 and 3 lower by one and two.
// The source's note offsets (0 or -12) only undid its own player's octave convention,
// which left a fifth of its instruments an octave or two away; what the operators play
// is what sets the pitch here.
int tune(TwoOpVoice& v, int octaves)
{
    int period = periodHalves(v);
    int odd = period;
    while (odd % 2 == 0)
        odd /= 2;
    if (odd > 1) {
        divideMultipliers(v, odd);
        period = periodHalves(v);
    }
    // period = 2^k halves sounds k - 1 octaves above the note; the code shifts by 1 - code.
    int shift = octaves - (log2Exact(period) - 1);
    while (shift < -2 && periodHalves(v) % 2 == 0 && kHalves[v.car.mul] % 2 == 0) {
        divideMultipliers(v, 2);
        ++shift;
    }
    return std::clamp(1 - shift, 0, 3);
}

// Each 0.75 dB of gain is one step of total level off the carriers (as far as they go).
constexpr double kLevelStepDb = 0.75;
int gainSteps(int gainDb) { return static_cast<int>(std::lround(gainDb / kLevelStepDb)); }

// Key scaling of a carrier's level counts from the lowest octave, so the source set's
// carriers with it sounded up to 18 dB under the rest in the middle of the keyboard (and a
// drum keyed high, more). Carriers keep an even level; modulators keep theirs (it darkens
// high notes).
void levelCarriers(TwoOpVoice& v)
{
    v.car.ksl = 0;
    if (v.con == 1)
        v.mod.ksl = 0;
}

void applyGain(TwoOpVoice& v, int gainDb)
{
    const int steps = gainSteps(gainDb);
    v.car.tl = std::clamp(v.car.tl - steps, 0, 63);
    if (v.con == 1)
        v.mod.tl = std::clamp(v.mod.tl - steps, 0, 63);
}

struct Record {
    std::array<std::uint8_t, 26> bytes{};
    void put(int at, const std::array<std::uint8_t, 5>& op) { std::copy(op.begin(), op.end(), bytes.begin() + at); }
};

Record twoOperator(const TwoOpVoice& v, int octaveCode, int tag, int program)
{
    Record r;
    r.bytes[1] = static_cast<std::uint8_t>(tag);
    r.bytes[2] = static_cast<std::uint8_t>(program);
    r.bytes[3] = static_cast<std::uint8_t>(v.fb << 3 | v.con);
    r.bytes[4] = static_cast<std::uint8_t>(octaveCode);
    r.put(5, encode(v.mod));
    r.put(10, encode(v.car));
    return r;
}

// The second pair of a single-voice patch: the same voice with its carrier an octave up,
// quieter, which thickens the tone without changing its character.
TwoOpVoice octaveLayer(TwoOpVoice v)
{
    static constexpr int doubled[16] = {1, 2, 4, 6, 8, 10, 12, 14, 15, 15, 15, 15, 15, 15, 15, 15};
    v.car.mul = doubled[v.car.mul];
    v.car.tl = clampLevel(v.car.tl + 10);
    return v;
}

Record fourOperator(const TwoOpVoice& a, const std::optional<TwoOpVoice>& second, int octaveCode, int tag, int program)
{
    TwoOpVoice b = second ? *second : octaveLayer(a);
    TwoOpVoice main = a;
    // Two carriers sound together: each a little quieter keeps the loudness of the patch.
    main.car.tl = clampLevel(main.car.tl + 3);
    b.car.tl = clampLevel(b.car.tl + 3);
    Record r;
    r.bytes[1] = static_cast<std::uint8_t>(tag);
    r.bytes[2] = static_cast<std::uint8_t>(program);
    r.bytes[4] = static_cast<std::uint8_t>(octaveCode);
    int algorithm;
    int feedback;
    std::array<Operator, 4> ops;
    if (a.con == 0 && b.con == 0) {
        algorithm = 5; // (1 -> 2) + (3 -> 4)
        feedback = a.fb;
        ops = {main.mod, main.car, b.mod, b.car};
    } else if (a.con == 0) {
        algorithm = 7; // 1 + (2 -> 3) + 4: the additive pair's two halves around the FM pair
        feedback = b.fb;
        ops = {b.mod, main.mod, main.car, b.car};
        ops[0].tl = clampLevel(ops[0].tl + 3);
    } else {
        algorithm = 7;
        feedback = a.fb;
        Operator mod = b.mod;
        if (b.con == 1)
            mod.tl = 63; // an additive second voice keeps only its carrier
        ops = {main.mod, mod, b.car, main.car};
        ops[0].tl = clampLevel(ops[0].tl + 3);
    }
    r.bytes[3] = static_cast<std::uint8_t>(feedback << 3 | algorithm);
    for (int i = 0; i < 4; ++i)
        r.put(5 + 5 * i, encode(ops[static_cast<std::size_t>(i)]));
    return r;
}

// Drums sound at their drum key, unshifted.
constexpr int kDrumOctaveCode = 1;
// The percussion patches name their key an octave below the one they sound at.
constexpr int kFixedKeyOctave = 12;

// Whether operator i (0-3) of an algorithm only modulates another: 2-operator algorithm 0
// (1 -> 2), and the four-operator ones as the engine wires them; additive operators sound.
bool isModulator(int algorithm, int i)
{
    switch (algorithm) {
    case 0: return i == 0;     // 1 -> 2
    case 4: return i < 3;      // 1 -> 2 -> 3 -> 4
    case 5: return i % 2 == 0; // (1 -> 2) + (3 -> 4)
    case 6: return i == 1 || i == 2; // 1 + (2 -> 3 -> 4)
    case 7: return i == 1;     // 1 + (2 -> 3) + 4
    default: return false;     // 1: both operators sound
    }
}

// Variants for banks 2-9: brighter, mellower, with vibrato, with tremolo. Brightness moves
// only the modulators' levels, so the variants keep the loudness of the voice.
Record vary(Record r, int variant)
{
    const int algorithm = r.bytes[3] & 7;
    const int operators = algorithm >= 4 ? 4 : 2;
    for (int i = 0; i < operators; ++i) {
        std::uint8_t* op = &r.bytes[static_cast<std::size_t>(5 + 5 * i)];
        const bool modulator = isModulator(algorithm, i);
        int tl = op[3] >> 2;
        switch (variant) {
        case 1:
            if (modulator)
                tl -= 4;
            break;
        case 2:
            if (modulator)
                tl += 5;
            break;
        case 3:
            if (!modulator) {
                op[0] |= 0x08;        // vibrato
                op[4] = static_cast<std::uint8_t>((op[4] & 0x3F) | 1 << 6);
            }
            break;
        default:
            if (!modulator) {
                op[4] |= 0x08;        // tremolo
                op[4] = static_cast<std::uint8_t>((op[4] & 0xCF) | 1 << 4);
            }
            break;
        }
        op[3] = static_cast<std::uint8_t>(clampLevel(tl) << 2 | (op[3] & 3));
    }
    return r;
}

// The General MIDI percussion patch that stands in for a drum note outside 35-81.
int drumSource(int note)
{
    if (note >= 35 && note <= 81)
        return note;
    static const std::map<int, int> extra = {
        {27, 76}, {28, 39}, {29, 54}, {30, 54}, {31, 75}, {32, 76}, {33, 76}, {34, 53},
        {82, 70}, {83, 81}, {84, 81}, {85, 75}, {86, 35}, {87, 36}, {88, 53}, {89, 80}, {90, 81}, {91, 75}};
    if (const auto it = extra.find(note); it != extra.end())
        return it->second;
    return note + 24; // 13-26: the side stick, snares, claps and toms an octave and more down
}

void putName(std::vector<std::uint8_t>& bank, std::size_t index, const std::string& name)
{
    for (std::size_t i = 0; i < 8 && i < name.size(); ++i) {
        const char c = name[i];
        bank[kNames + index * 16 + i] = static_cast<std::uint8_t>(c >= 0x20 && c < 0x7F ? c : '_');
    }
}

std::vector<std::uint8_t> buildBank(const PatchList& list)
{
    std::vector<std::uint8_t> bank(kBankSize, 0);
    bank[0] = 'F';
    bank[1] = 'M';
    bank[2] = ' ';
    bank[3] = ' ';
    const std::uint32_t rest = kBankSize - 8;
    for (int i = 0; i < 4; ++i)
        bank[static_cast<std::size_t>(4 + i)] = static_cast<std::uint8_t>(rest >> (24 - 8 * i));

    for (int b = 0; b < 10; ++b) {
        for (int p = 0; p < 128; ++p) {
            const Patch& patch = list.melodic[static_cast<std::size_t>(p)];
            TwoOpVoice first = patch.first;
            const int octave = tune(first, patch.pitch);
            levelCarriers(first);
            applyGain(first, patch.gain);
            std::optional<TwoOpVoice> second = patch.second;
            if (second) {
                tune(*second, patch.pitch);
                levelCarriers(*second);
                applyGain(*second, patch.gain);
            }
            Record r = b % 2 == 0 ? twoOperator(first, octave, b, p) : fourOperator(first, second, octave, b, p);
            if (b >= 2)
                r = vary(r, b / 2);
            r.bytes[1] = static_cast<std::uint8_t>(b);
            const std::size_t index = static_cast<std::size_t>(b * 128 + p);
            putName(bank, index, patch.shortName);
            std::copy(r.bytes.begin(), r.bytes.end(), bank.begin() + static_cast<std::ptrdiff_t>(kMelodic + index * 26));
        }
    }
    // Per kit: tuning in semitones, extra release speed, a brighter or darker attack.
    static constexpr int tuning[10] = {0, 2, -2, 4, -3, 1, -1, 3, -4, 5};
    static constexpr int damping[10] = {0, 0, 1, 0, 1, 2, 0, 2, 1, 3};
    for (int kit = 0; kit < 10; ++kit) {
        for (int i = 0; i < 79; ++i) {
            const int note = 13 + i;
            const auto it = list.drums.find(drumSource(note));
            if (it == list.drums.end())
                die("no percussion patch for note " + std::to_string(note));
            const Patch& patch = it->second;
            TwoOpVoice v = patch.first;
            v.mod.rr = std::min(15, v.mod.rr + damping[kit]);
            v.car.rr = std::min(15, v.car.rr + damping[kit]);
            v.car.dr = std::min(15, v.car.dr + damping[kit] / 2);
            levelCarriers(v);
            applyGain(v, patch.gain);
            Record r = twoOperator(v, kDrumOctaveCode, 10 + kit, kit);
            const int key = (patch.fixed >= 0 ? patch.fixed + kFixedKeyOctave : drumSource(note)) + v.offset + tuning[kit];
            r.bytes[25] = static_cast<std::uint8_t>(std::clamp(key, 0, 127));
            const std::size_t index = static_cast<std::size_t>(kit * 79 + i);
            putName(bank, 1280 + index, patch.shortName);
            std::copy(r.bytes.begin(), r.bytes.end(), bank.begin() + static_cast<std::ptrdiff_t>(kDrums + index * 26));
        }
    }
    return bank;
}

void writeBinary(const char* path, const std::vector<std::uint8_t>& bank)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bank.data()), static_cast<std::streamsize>(bank.size()));
    if (!out)
        die(std::string("cannot write ") + path);
}

void writeSource(const char* path, const std::vector<std::uint8_t>& bank)
{
    std::ofstream out(path);
    out << "// Generated by orka_voicebank_gen from resources/voicebank/genmidi.txt; do not edit.\n"
           "#include \"orka/resources/VoiceBank.h\"\n\nnamespace orka::resources {\n\nnamespace {\n"
           "const std::uint8_t kVoiceBank["
        << bank.size() << "] = {\n";
    for (std::size_t i = 0; i < bank.size(); ++i) {
        out << static_cast<unsigned>(bank[i]) << (i + 1 < bank.size() ? "," : "");
        if (i % 24 == 23)
            out << "\n";
    }
    out << "};\n} // namespace\n\nstd::span<const std::uint8_t> embeddedVoiceBank() { return kVoiceBank; }\n\n"
           "} // namespace orka::resources\n";
    if (!out)
        die(std::string("cannot write ") + path);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        die("usage: orka_voicebank_gen PATCHES.txt OUT.vma OUT.cpp");
    const auto bank = buildBank(readPatches(argv[1]));
    writeBinary(argv[2], bank);
    writeSource(argv[3], bank);
    return 0;
}
