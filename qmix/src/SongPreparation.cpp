#include "SongPreparation.h"

#include "ConverterTypes.h"
#include "ToneAnalysis.h"
#include "orka/common/ByteOrder.h"
#include "orka/common/MidiCodes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <set>
#include <tuple>

namespace orka::qmix {

namespace {

namespace status = orka::midi::status;
namespace controller = orka::midi::controller;
namespace meta = orka::midi::meta;

constexpr int kChannels = orka::midi::kChannels;
constexpr int kFmChannels = 16;
constexpr int kToneSlots = 16;
constexpr int kLowestMelodicNote = 13;
constexpr int kHighestMelodicNote = 108;
constexpr int kOctave = 12;
constexpr std::uint8_t kMaxBendRange = 24;
constexpr std::uint8_t kKits = 10;
constexpr std::uint8_t kFullExpression = 127;
constexpr std::uint8_t kPedalDown = 64;
constexpr std::uint8_t kNoParameter = 127;          // RPN/NRPN "null" and "not selected"
constexpr std::uint8_t kGm2MelodicBank = 121;
constexpr std::uint8_t kGm2DrumBank = 120;
constexpr std::uint8_t kXgDrumBank = 127;
constexpr int kProgramsPerFamily = 8;
constexpr double kMicrosecondsPerSmafTick = melconv::kTimebaseMs * 1000.0;
// What each way of fitting the budget costs, in notes lost: a note gone counts 1; a hit moved
// to a neighbouring kit piece or a note played with another tone of the same family still
// sounds, so it counts less; a tone borrowed from another family counts more.
constexpr double kMergeCost = 0.1;
constexpr double kRetuneCost = 0.25;
constexpr double kBorrowCost = 0.5;
constexpr std::uint64_t kSearchSpan = std::uint64_t{1} << 32;
constexpr std::uint64_t kUnset = std::numeric_limits<std::uint64_t>::max();

// The tempo of a Set Tempo event; 0 would stop time, so it counts as 1 microsecond.
std::uint32_t tempoOf(const smf::Event& e) { return std::max<std::uint32_t>(1, common::readBE24(e.payload.data())); }

// Tick to converter time: the converter sums delta x tempo and rounds to 4 ms ticks.
class TempoMap {
public:
    TempoMap(const smf::Song& song) : division_(std::max<std::uint16_t>(song.header.division, 1))
    {
        segments_.push_back({0, smf::kDefaultTempo, 0.0});
        for (const auto& e : song.events) {
            if (!e.isMeta(meta::kSetTempo))
                continue;
            const std::uint32_t tempo = tempoOf(e);
            const Segment& last = segments_.back();
            const double elapsed = last.elapsed + static_cast<double>(e.tick - last.tick) * last.tempo;
            if (e.tick == last.tick)
                segments_.back().tempo = tempo;
            else
                segments_.push_back({e.tick, tempo, elapsed});
        }
    }

    std::int64_t smafTick(std::uint64_t tick) const
    {
        const auto it = std::upper_bound(segments_.begin(), segments_.end(), tick,
                                         [](std::uint64_t t, const Segment& s) { return t < s.tick; });
        const Segment& s = *std::prev(it);
        const double elapsed = s.elapsed + static_cast<double>(tick - s.tick) * s.tempo;
        constexpr double kLimit = 9.0e15; // far beyond any song; keeps the integer exact
        return static_cast<std::int64_t>(std::min(std::floor(elapsed / (division_ * kMicrosecondsPerSmafTick) + 0.5), kLimit));
    }

    std::int64_t gate(std::uint64_t on, std::uint64_t off) const { return smafTick(off) - smafTick(on); }

    // The first tick in [from, limit] whose converter time reaches `target`; limit + 1 when none.
    std::uint64_t firstTickReaching(std::int64_t target, std::uint64_t from, std::uint64_t limit) const
    {
        if (from > limit || smafTick(limit) < target)
            return limit + 1;
        while (from < limit) {
            const std::uint64_t mid = from + (limit - from) / 2;
            if (smafTick(mid) >= target)
                limit = mid;
            else
                from = mid + 1;
        }
        return from;
    }

private:
    struct Segment {
        std::uint64_t tick;
        std::uint32_t tempo;
        double elapsed; // sum of delta x tempo up to `tick`
    };
    double division_;
    std::vector<Segment> segments_;
};

struct Note {
    std::uint64_t on = 0;
    std::uint64_t off = kUnset;
    std::uint8_t key = 0;
    std::uint8_t velocity = 0;
    bool dropped = false;
};

struct TimedMessage {
    std::uint64_t tick;
    std::uint8_t status;
    std::uint8_t data1;
    std::uint8_t data2;
};

struct Channel {
    bool drum = false;
    int firstBankMsb = -1;
    bool bendRangeSet = false;
    std::vector<Note> notes;
    std::vector<TimedMessage> controls; // modulation, volume, pan, bend range, pitch bend
    std::vector<std::pair<std::uint64_t, std::uint8_t>> programChanges;
    std::vector<std::pair<std::uint64_t, std::uint8_t>> laterPrograms; // after the first note
    std::uint8_t program = 0; // the tone of the first note (drums: the kit)
    std::size_t liveNotes() const
    {
        return static_cast<std::size_t>(std::count_if(notes.begin(), notes.end(), [](const Note& n) { return !n.dropped; }));
    }
};

// What the budget decides per channel; small enough to copy for every option weighed.
struct ChannelPlan {
    bool used = false;
    std::uint8_t program = 0;
    bool keepLater = true;
    int reserve = 0;
    std::map<std::uint8_t, std::size_t> drumNotes; // kept drum note -> how many times it plays
};
using Plan = std::array<ChannelPlan, kChannels>;

class Preparer {
public:
    Preparer(const smf::Song& song, std::uint32_t keep, std::span<const std::uint8_t> bank)
        : song_(song), keep_(keep), bank_(bank.data(), bank.size()), tempo_(song)
    {
    }

    PreparationResult run()
    {
        walk();
        classify();
        fitNotes();
        choosePrograms();
        fitBudget();
        PreparationResult result;
        result.file = write();
        result.log = std::move(log_);
        result.notes = {static_cast<unsigned long>(kept_), static_cast<unsigned long>(total_)};
        result.log.push_back(common::notesKeptLine(result.notes));
        return result;
    }

private:
    void report(int ch, std::size_t count, const char* what)
    {
        if (count == 0)
            return;
        char line[160];
        std::snprintf(line, sizeof line, "channel %d: %s (%zu)", ch + 1, what, count);
        log_.push_back(line);
    }

    std::uint8_t normalOperators(std::uint8_t program) const
    {
        std::array<std::uint8_t, 26> voice{};
        bank_.copy(melconv::VoiceBankView::normalVoice(0, program), voice);
        return melconv::operatorCount(voice);
    }
    std::uint8_t drumOperators(std::uint8_t kit, std::uint8_t note) const
    {
        std::array<std::uint8_t, 26> voice{};
        bank_.copy(melconv::VoiceBankView::drumVoice(kit, note), voice);
        return melconv::operatorCount(voice);
    }
    static int cost(std::uint8_t operators) { return operators == 4 ? 2 : 1; }

    // One pass over the song: notes paired, sustain and expression folded in, the
    // controllers the converter takes kept aside, everything else counted and left out.
    void walk()
    {
        std::array<std::array<int, 128>, kChannels> sounding;
        for (auto& s : sounding)
            s.fill(-1);
        std::array<bool, kChannels> pedal{};
        std::array<std::vector<int>, kChannels> held;
        std::array<std::uint8_t, kChannels> expression;
        expression.fill(kFullExpression);
        std::array<std::uint8_t, kChannels> rpnMsb, rpnLsb;
        rpnMsb.fill(kNoParameter);
        rpnLsb.fill(kNoParameter);
        std::array<std::size_t, kChannels> overlapped{}, sustained{}, expressed{}, effects{}, others{}, pressure{};

        for (const auto& e : song_.events) {
            if (e.isMeta(meta::kSetTempo) || e.isMeta(meta::kTimeSignature)) {
                metas_.push_back(&e);
                continue;
            }
            if (!e.isChannelMessage() || !(keep_ & (1u << e.channel())))
                continue;
            const int ch = e.channel();
            Channel& c = channels_[static_cast<std::size_t>(ch)];
            const std::uint8_t d1 = e.data1 & orka::midi::kDataMask;
            const std::uint8_t d2 = e.data2 & orka::midi::kDataMask;
            switch (e.kind()) {
            case status::kNoteOn:
                if (d2 > 0) {
                    ++total_;
                    if (int previous = sounding[ch][d1]; previous >= 0) {
                        c.notes[static_cast<std::size_t>(previous)].off = e.tick; // ended before it sounds again
                        ++overlapped[ch];
                    }
                    const auto velocity = static_cast<std::uint8_t>(std::max(1, d2 * expression[ch] / kFullExpression));
                    sounding[ch][d1] = static_cast<int>(c.notes.size());
                    c.notes.push_back({e.tick, kUnset, d1, velocity, false});
                    break;
                }
                [[fallthrough]];
            case status::kNoteOff:
                if (int index = sounding[ch][d1]; index >= 0) {
                    if (pedal[ch]) {
                        held[ch].push_back(index); // the pedal holds it until released
                        ++sustained[ch];
                    } else {
                        c.notes[static_cast<std::size_t>(index)].off = e.tick;
                        sounding[ch][d1] = -1;
                    }
                }
                break;
            case status::kControlChange:
                switch (d1) {
                case controller::kBankSelectMsb:
                    if (c.firstBankMsb < 0)
                        c.firstBankMsb = d2;
                    break;
                case controller::kModulation:
                case controller::kVolume:
                case controller::kPan:
                    c.controls.push_back({e.tick, e.status, d1, d2});
                    break;
                case controller::kExpression:
                    expression[ch] = d2;
                    ++expressed[ch];
                    break;
                case controller::kSustain:
                    pedal[ch] = d2 >= kPedalDown;
                    if (!pedal[ch]) {
                        for (int index : held[ch]) {
                            Note& n = c.notes[static_cast<std::size_t>(index)];
                            if (n.off == kUnset && sounding[ch][n.key] == index) {
                                n.off = e.tick;
                                sounding[ch][n.key] = -1;
                            }
                        }
                        held[ch].clear();
                    }
                    break;
                case controller::kRpnMsb:
                    rpnMsb[ch] = d2;
                    break;
                case controller::kRpnLsb:
                    rpnLsb[ch] = d2;
                    break;
                case controller::kNrpnMsb:
                case controller::kNrpnLsb:
                    rpnMsb[ch] = rpnLsb[ch] = kNoParameter; // data entry now goes elsewhere
                    break;
                case controller::kDataEntryMsb:
                    if (rpnMsb[ch] == 0 && rpnLsb[ch] == 0) {
                        c.controls.push_back({e.tick, e.status, d1, std::min(d2, kMaxBendRange)});
                        c.bendRangeSet = true;
                    }
                    break;
                case controller::kBankSelectLsb:
                case controller::kChannelReserve:
                case controller::kDataEntryLsb:
                    break; // our own bank and reserve are written; the fine bend range is not used
                case controller::kReverb:
                case controller::kChorus:
                    ++effects[ch];
                    break;
                default:
                    ++others[ch];
                    break;
                }
                break;
            case status::kProgramChange:
                c.programChanges.push_back({e.tick, d1});
                break;
            case status::kPitchBend:
                c.controls.push_back({e.tick, e.status, d1, d2});
                break;
            default: // polyphonic and channel aftertouch
                ++pressure[ch];
                break;
            }
        }
        for (int ch = 0; ch < kChannels; ++ch) {
            std::size_t unended = 0;
            for (Note& n : channels_[static_cast<std::size_t>(ch)].notes)
                if (n.off == kUnset) {
                    n.off = std::max(song_.endTick, n.on);
                    ++unended;
                }
            report(ch, unended, "notes without a note-off ended at the song's end");
            report(ch, overlapped[ch], "notes ended before the same note sounds again");
            report(ch, sustained[ch], "notes lengthened by the sustain pedal");
            report(ch, expressed[ch], "expression changes folded into note velocities");
            report(ch, effects[ch], "reverb and chorus controllers dropped");
            report(ch, others[ch], "other controllers dropped");
            report(ch, pressure[ch], "aftertouch messages dropped");
        }
    }

    // Drum channels, melodic notes moved into range, drum notes mapped onto the FM kit.
    void classify()
    {
        std::uint8_t nextKit = 0;
        for (int ch = 0; ch < kChannels; ++ch) {
            Channel& c = channels_[static_cast<std::size_t>(ch)];
            // Channel 10 unless a melodic bank is chosen for it; elsewhere a drum bank (ours too,
            // so that a prepared song prepares again the same way).
            const bool melodicBank = c.firstBankMsb == kGm2MelodicBank || c.firstBankMsb == melconv::kNormalBank;
            const bool drumBank = c.firstBankMsb == kGm2DrumBank || c.firstBankMsb == kXgDrumBank || c.firstBankMsb == melconv::kDrumBank;
            c.drum = (ch == orka::midi::kGmDrumChannel && !melodicBank) || drumBank;
            if (c.notes.empty())
                continue;
            if (!c.drum) {
                std::size_t moved = 0;
                for (Note& n : c.notes) {
                    int key = n.key;
                    while (key < kLowestMelodicNote)
                        key += kOctave;
                    while (key > kHighestMelodicNote)
                        key -= kOctave;
                    moved += key != n.key;
                    n.key = static_cast<std::uint8_t>(key);
                }
                report(ch, moved, "notes moved by octaves into 13-108");
                continue;
            }
            c.program = nextKit; // each drum channel its own kit, so no two share a drum tone
            nextKit = static_cast<std::uint8_t>((nextKit + 1) % kKits);
            const std::size_t bends = static_cast<std::size_t>(std::erase_if(c.controls, [](const TimedMessage& m) {
                return (m.status & status::kKindMask) == status::kPitchBend || m.data1 == controller::kDataEntryMsb;
            }));
            report(ch, bends, "pitch bends dropped on a drum channel");
            std::set<std::uint8_t> inKit;
            for (const Note& n : c.notes)
                if (melconv::isFmDrumNote(n.key))
                    inKit.insert(n.key);
            std::size_t mapped = 0, dropped = 0;
            for (Note& n : c.notes) {
                if (melconv::isFmDrumNote(n.key))
                    continue;
                if (inKit.empty()) {
                    n.dropped = true;
                    ++dropped;
                    continue;
                }
                n.key = nearest(inKit, n.key);
                ++mapped;
            }
            report(ch, mapped, "drum notes outside 13-91 mapped to the nearest kit piece");
            report(ch, dropped, "drum notes outside 13-91 dropped");
        }
    }

    static std::uint8_t nearest(const std::set<std::uint8_t>& keys, std::uint8_t key)
    {
        std::uint8_t best = *keys.begin();
        for (std::uint8_t k : keys)
            if (std::abs(k - key) < std::abs(best - key))
                best = k;
        return best;
    }

    // Same notes never overlap, and every gate lies within 1 to 16511 converter ticks.
    void fitNotes()
    {
        for (int ch = 0; ch < kChannels; ++ch) {
            Channel& c = channels_[static_cast<std::size_t>(ch)];
            const std::size_t before = c.liveNotes();
            std::size_t lengthened = 0, shortened = 0;
            endSameNotes(c);
            forEachKeyInOrder(c, [&](Note& n, const Note* next) {
                // Ticks never pass 2^31 (the reader stops a track there), so one more 4 ms
                // tick is always found within 2^32 ticks of the start.
                const std::uint64_t limit = next ? next->on : n.on + kSearchSpan;
                const std::int64_t gate = tempo_.gate(n.on, n.off);
                if (gate < 1) {
                    const std::uint64_t off = tempo_.firstTickReaching(tempo_.smafTick(n.on) + 1, n.on + 1, limit);
                    if (off > limit) {
                        n.dropped = true;
                    } else {
                        n.off = off;
                        ++lengthened;
                    }
                } else if (gate > melconv::kLongestGate) {
                    n.off = tempo_.firstTickReaching(tempo_.smafTick(n.on) + melconv::kLongestGate + 1, n.on, n.off) - 1;
                    ++shortened;
                }
            });
            report(ch, lengthened, "notes lengthened to one 4 ms tick");
            report(ch, shortened, "notes shortened to the longest gate time");
            report(ch, before - c.liveNotes(), "notes too short to sound dropped");
        }
    }

    // Calls `f(note, nextOfSameKey)` for the live notes of each key in time order.
    template <typename F>
    static void forEachKeyInOrder(Channel& c, F f)
    {
        std::array<std::vector<Note*>, 128> byKey;
        for (Note& n : c.notes)
            if (!n.dropped)
                byKey[n.key].push_back(&n);
        for (auto& list : byKey) {
            std::stable_sort(list.begin(), list.end(), [](const Note* a, const Note* b) { return a->on < b->on; });
            for (std::size_t i = 0; i < list.size(); ++i)
                f(*list[i], i + 1 < list.size() ? list[i + 1] : nullptr);
        }
    }

    // Ends each note before the same note sounds again; one left with no time to sound goes.
    void endSameNotes(Channel& c)
    {
        forEachKeyInOrder(c, [this](Note& n, const Note* next) {
            if (next && n.off > next->on)
                n.off = next->on;
            if (tempo_.gate(n.on, n.off) < 1 && (next && n.off == next->on))
                n.dropped = true;
        });
    }

    // The program of each channel's first note, and later changes the converter can take.
    void choosePrograms()
    {
        for (int ch = 0; ch < kChannels; ++ch) {
            Channel& c = channels_[static_cast<std::size_t>(ch)];
            if (c.liveNotes() == 0)
                continue;
            std::uint64_t firstOn = kUnset;
            for (const Note& n : c.notes)
                if (!n.dropped)
                    firstOn = std::min(firstOn, n.on);
            if (c.drum) {
                report(ch, static_cast<std::size_t>(std::count_if(c.programChanges.begin(), c.programChanges.end(),
                                                                  [&](const auto& p) { return p.first > firstOn; })),
                       "program changes on a drum channel dropped");
                continue;
            }
            for (const auto& [tick, program] : c.programChanges)
                if (tick <= firstOn)
                    c.program = program;
            std::uint8_t current = c.program;
            std::size_t otherOperators = 0;
            for (const auto& [tick, program] : c.programChanges) {
                if (tick <= firstOn || program == current)
                    continue;
                if (normalOperators(program) != normalOperators(c.program)) {
                    ++otherOperators;
                    continue;
                }
                c.laterPrograms.push_back({tick, program});
                current = program;
            }
            report(ch, otherOperators, "program changes to a tone of another operator count dropped");
        }
    }

    // --- Fitting 16 tones and 16 FM channels -------------------------------------------

    struct Needs {
        int slots = 0;
        int fm = 0;
        int excess() const { return std::max(0, slots - kToneSlots) + std::max(0, fm - kFmChannels); }
    };

    Needs needsOf(const Plan& plan) const
    {
        Needs needs;
        std::set<std::uint8_t> normalTones;
        for (int ch = 0; ch < kChannels; ++ch) {
            const ChannelPlan& p = plan[static_cast<std::size_t>(ch)];
            const Channel& c = channels_[static_cast<std::size_t>(ch)];
            if (!p.used)
                continue;
            if (c.drum) {
                for (const auto& [note, count] : p.drumNotes) {
                    const int k = cost(drumOperators(p.program, note));
                    needs.slots += k;
                    needs.fm += k;
                }
                continue;
            }
            needs.fm += p.reserve * cost(normalOperators(p.program));
            normalTones.insert(p.program);
            if (p.keepLater)
                for (const auto& later : c.laterPrograms)
                    normalTones.insert(later.second);
        }
        for (std::uint8_t program : normalTones)
            needs.slots += cost(normalOperators(program));
        return needs;
    }

    // How many notes must go for the channel to sound at most `voices` at once. With one
    // voice, notes that follow each other may overlap (the converter ends the earlier one),
    // only chords must lose notes. `drop` carries it out.
    std::size_t thin(Channel& c, int voices, bool drop)
    {
        std::vector<Note*> order;
        for (Note& n : c.notes)
            if (!n.dropped)
                order.push_back(&n);
        std::stable_sort(order.begin(), order.end(), [](const Note* a, const Note* b) { return a->on < b->on; });
        std::vector<Note*> active;
        std::size_t victims = 0;
        const double division = std::max<std::uint16_t>(song_.header.division, 1);
        auto weight = [&](const Note* n, const std::vector<Note*>& group) {
            double w = n->velocity * (1.0 + std::log2(1.0 + static_cast<double>(n->off - n->on) / division));
            for (const Note* other : group)
                if (other != n && other->key != n->key && other->key % kOctave == n->key % kOctave)
                    w *= 0.5; // a doubled octave adds little
            return w;
        };
        for (Note* n : order) {
            std::erase_if(active, [&](const Note* a) { return a->off <= n->on; });
            if (voices == 1)
                std::erase_if(active, [&](const Note* a) { return a->on < n->on; });
            if (static_cast<int>(active.size()) < voices) {
                active.push_back(n);
                continue;
            }
            std::vector<Note*> group = active;
            group.push_back(n);
            const auto victim = std::min_element(group.begin(), group.end(), [&](const Note* a, const Note* b) {
                return weight(a, group) < weight(b, group);
            });
            Note* gone = *victim;
            ++victims;
            if (drop)
                gone->dropped = true;
            group.erase(victim);
            active = std::move(group);
        }
        return victims;
    }

    // The most notes of a channel sounding at once (notes ending at a tick free their voice
    // before notes starting at it).
    static int polyphony(const Channel& c)
    {
        std::vector<std::pair<std::uint64_t, int>> edges;
        for (const Note& n : c.notes)
            if (!n.dropped) {
                edges.push_back({n.on, 1});
                edges.push_back({n.off, -1});
            }
        std::sort(edges.begin(), edges.end());
        int now = 0, most = 0;
        for (const auto& [tick, step] : edges) {
            now += step;
            most = std::max(most, now);
        }
        return most;
    }

    Plan initialPlan()
    {
        Plan plan;
        for (int ch = 0; ch < kChannels; ++ch) {
            Channel& c = channels_[static_cast<std::size_t>(ch)];
            ChannelPlan& p = plan[static_cast<std::size_t>(ch)];
            p.used = c.liveNotes() > 0;
            p.program = c.program;
            p.reserve = p.used ? std::max(1, polyphony(c)) : 0;
            if (!c.drum && p.reserve > kFmChannels) {
                // No channel can sound more than all 16 at once: thin it there in one step,
                // so that the search below stays short whatever the song.
                char what[96];
                std::snprintf(what, sizeof what, "quietest and shortest notes dropped to sound %d at once", kFmChannels);
                report(ch, thin(c, kFmChannels, true), what);
                p.reserve = kFmChannels;
            }
            if (c.drum)
                for (const Note& n : c.notes)
                    if (!n.dropped)
                        ++p.drumNotes[n.key];
        }
        return plan;
    }

    struct Option {
        double cost;
        Plan plan;
        int channel;
        enum Kind { DropLaterPrograms, LighterTone, SharedTone, FewerVoices, MergeDrum, DropChannel } kind;
        std::uint8_t from = 0, to = 0; // drum merge: note from -> to
    };

    void options(const Plan& plan, std::vector<Option>& out)
    {
        std::set<std::uint8_t> usedPrograms;
        for (int ch = 0; ch < kChannels; ++ch)
            if (plan[static_cast<std::size_t>(ch)].used && !channels_[static_cast<std::size_t>(ch)].drum)
                usedPrograms.insert(plan[static_cast<std::size_t>(ch)].program);
        for (int ch = 0; ch < kChannels; ++ch) {
            const ChannelPlan& p = plan[static_cast<std::size_t>(ch)];
            Channel& c = channels_[static_cast<std::size_t>(ch)];
            if (!p.used)
                continue;
            const double notes = static_cast<double>(c.liveNotes());
            auto add = [&](double cost, Option::Kind kind, auto change) {
                Option o{cost, plan, ch, kind};
                change(o.plan[static_cast<std::size_t>(ch)], o);
                out.push_back(std::move(o));
            };
            add(notes + 1.0, Option::DropChannel, [](ChannelPlan& q, Option&) { q = ChannelPlan{}; });
            if (c.drum) {
                if (p.drumNotes.size() < 2)
                    continue;
                // The rarest piece goes into its nearest neighbour.
                auto rarest = std::min_element(p.drumNotes.begin(), p.drumNotes.end(),
                                               [](const auto& a, const auto& b) { return a.second < b.second; });
                std::set<std::uint8_t> others;
                for (const auto& entry : p.drumNotes)
                    if (entry.first != rarest->first)
                        others.insert(entry.first);
                const std::uint8_t from = rarest->first, to = nearest(others, from);
                add(kMergeCost * static_cast<double>(rarest->second), Option::MergeDrum, [&](ChannelPlan& q, Option& o) {
                    q.drumNotes[to] += q.drumNotes[from];
                    q.drumNotes.erase(from);
                    o.from = from;
                    o.to = to;
                });
                continue;
            }
            if (p.keepLater && !c.laterPrograms.empty())
                add(kRetuneCost * notes, Option::DropLaterPrograms, [](ChannelPlan& q, Option&) { q.keepLater = false; });
            if (p.reserve > 1) {
                const auto lost = static_cast<double>(thin(c, p.reserve - 1, false));
                add(lost, Option::FewerVoices, [](ChannelPlan& q, Option&) { --q.reserve; });
            }
            if (normalOperators(p.program) == 4) {
                // The nearest two-operator tone of the same instrument family.
                const int family = p.program / kProgramsPerFamily * kProgramsPerFamily;
                int best = -1;
                for (int program = family; program < family + kProgramsPerFamily; ++program)
                    if (normalOperators(static_cast<std::uint8_t>(program)) == 2 &&
                        (best < 0 || std::abs(program - p.program) < std::abs(best - p.program)))
                        best = program;
                if (best >= 0)
                    add(kRetuneCost * notes, Option::LighterTone, [best](ChannelPlan& q, Option&) {
                        q.program = static_cast<std::uint8_t>(best);
                        q.keepLater = false;
                    });
            }
            // Borrow the nearest tone another channel already has.
            int borrowed = -1;
            for (std::uint8_t program : usedPrograms)
                if (program != p.program && (borrowed < 0 || std::abs(program - p.program) < std::abs(borrowed - p.program)))
                    borrowed = program;
            if (borrowed >= 0)
                add(kBorrowCost * notes, Option::SharedTone, [borrowed](ChannelPlan& q, Option&) {
                    q.program = static_cast<std::uint8_t>(borrowed);
                    q.keepLater = false;
                });
        }
    }

    void fitBudget()
    {
        Plan plan = initialPlan();
        Needs needs = needsOf(plan);
        std::array<std::size_t, kChannels> thinned{}, merged{}, retuned{}, laterDropped{};
        while (needs.excess() > 0) {
            std::vector<Option> choices;
            options(plan, choices);
            const Option* best = nullptr;
            int bestExcess = needs.excess();
            for (const Option& o : choices) {
                const int excess = needsOf(o.plan).excess();
                if (excess >= needs.excess())
                    continue; // does not help
                if (!best || o.cost < best->cost || (o.cost == best->cost && excess < bestExcess)) {
                    best = &o;
                    bestExcess = excess;
                }
            }
            if (!best)
                break; // cannot happen: dropping a channel always helps
            const auto ch = static_cast<std::size_t>(best->channel);
            Channel& c = channels_[ch];
            switch (best->kind) {
            case Option::FewerVoices:
                thinned[ch] += thin(c, best->plan[ch].reserve, true);
                break;
            case Option::MergeDrum:
                for (Note& n : c.notes)
                    if (!n.dropped && n.key == best->from) {
                        n.key = best->to;
                        ++merged[ch];
                    }
                endSameNotes(c);
                break;
            case Option::DropChannel: {
                const std::size_t notes = c.liveNotes();
                for (Note& n : c.notes)
                    n.dropped = true;
                report(best->channel, notes, "channel dropped: no FM channel or tone left for it");
                break;
            }
            case Option::LighterTone:
            case Option::SharedTone:
                retuned[ch] += c.liveNotes();
                break;
            case Option::DropLaterPrograms:
                laterDropped[ch] += c.laterPrograms.size();
                break;
            }
            plan = best->plan;
            needs = needsOf(plan);
        }
        for (int ch = 0; ch < kChannels; ++ch) {
            Channel& c = channels_[static_cast<std::size_t>(ch)];
            ChannelPlan& p = plan[static_cast<std::size_t>(ch)];
            if (!p.keepLater)
                c.laterPrograms.clear();
            if (!c.drum && p.used && p.program != c.program)
                c.program = p.program;
            if (c.drum)
                p.reserve = static_cast<int>(p.drumNotes.size());
            else if (p.used && p.reserve > 1)
                p.reserve = std::max(1, std::min(p.reserve, polyphony(c)));
            reserves_[static_cast<std::size_t>(ch)] = c.liveNotes() > 0 ? p.reserve : 0;
            char what[96];
            std::snprintf(what, sizeof what, "quietest and shortest notes dropped to sound %d at once", p.reserve);
            report(ch, thinned[static_cast<std::size_t>(ch)], what);
            report(ch, merged[static_cast<std::size_t>(ch)], "rare drum notes merged into the nearest kit piece");
            report(ch, retuned[static_cast<std::size_t>(ch)], "notes played with a nearby tone to fit 16 tones");
            report(ch, laterDropped[static_cast<std::size_t>(ch)], "later program changes dropped to fit 16 tones");
        }
    }

    // --- Writing ------------------------------------------------------------------------

    // The first tick at or after `tick` when no note of the channel sounds.
    static std::uint64_t nextSilence(const std::vector<const Note*>& byOn, const std::vector<std::uint64_t>& maxOff,
                                     std::uint64_t tick)
    {
        for (;;) {
            const auto started = static_cast<std::size_t>(
                std::lower_bound(byOn.begin(), byOn.end(), tick, [](const Note* n, std::uint64_t t) { return n->on < t; }) -
                byOn.begin());
            if (started == 0 || maxOff[started - 1] <= tick)
                return tick;
            tick = maxOff[started - 1];
        }
    }

    std::vector<std::uint8_t> write()
    {
        enum Phase : std::uint8_t { kMeta, kNoteOff, kSetUp, kControl, kNoteOn };
        struct Out {
            std::uint64_t tick;
            Phase phase;
            std::size_t order;
            std::uint8_t status, data1, data2;
            const smf::Event* meta;
        };
        std::vector<Out> out;
        auto add = [&out](std::uint64_t tick, Phase phase, std::uint8_t st, std::uint8_t d1, std::uint8_t d2 = 0,
                          const smf::Event* m = nullptr) { out.push_back({tick, phase, out.size(), st, d1, d2, m}); };
        for (const smf::Event* m : metas_)
            add(m->tick, kMeta, 0, 0, 0, m);
        for (int ch = 0; ch < kChannels; ++ch) {
            const Channel& c = channels_[static_cast<std::size_t>(ch)];
            const int reserve = reserves_[static_cast<std::size_t>(ch)];
            if (reserve == 0)
                continue;
            const auto cc = static_cast<std::uint8_t>(status::kControlChange | ch);
            add(0, kSetUp, cc, controller::kBankSelectMsb, c.drum ? melconv::kDrumBank : melconv::kNormalBank);
            add(0, kSetUp, cc, controller::kBankSelectLsb, 0);
            add(0, kSetUp, cc, controller::kChannelReserve, static_cast<std::uint8_t>(reserve));
            add(0, kSetUp, static_cast<std::uint8_t>(status::kProgramChange | ch), c.program);
            if (c.bendRangeSet && !c.drum) {
                add(0, kSetUp, cc, controller::kRpnMsb, 0);
                add(0, kSetUp, cc, controller::kRpnLsb, 0);
            }
            // Controllers after the channel's last note change nothing that sounds.
            std::uint64_t lastOff = 0;
            for (const Note& n : c.notes)
                if (!n.dropped)
                    lastOff = std::max(lastOff, n.off);
            for (const TimedMessage& m : c.controls)
                if (m.tick <= lastOff)
                    add(m.tick, kControl, m.status, m.data1, m.data2);
            std::vector<const Note*> byOn;
            for (const Note& n : c.notes) {
                if (n.dropped)
                    continue;
                byOn.push_back(&n);
                add(n.on, kNoteOn, static_cast<std::uint8_t>(status::kNoteOn | ch), n.key, n.velocity);
                add(n.off, kNoteOff, static_cast<std::uint8_t>(status::kNoteOff | ch), n.key, 0);
                ++kept_;
            }
            std::stable_sort(byOn.begin(), byOn.end(), [](const Note* a, const Note* b) { return a->on < b->on; });
            std::vector<std::uint64_t> maxOff;
            for (const Note* n : byOn)
                maxOff.push_back(std::max(maxOff.empty() ? 0 : maxOff.back(), n->off));
            std::size_t moved = 0;
            for (const auto& [tick, program] : c.laterPrograms) {
                const std::uint64_t at = nextSilence(byOn, maxOff, tick);
                moved += at != tick;
                add(at, kSetUp, static_cast<std::uint8_t>(status::kProgramChange | ch), program);
            }
            report(ch, moved, "program changes moved to the channel's next silence");
        }
        std::sort(out.begin(), out.end(), [](const Out& a, const Out& b) {
            return std::tie(a.tick, a.phase, a.order) < std::tie(b.tick, b.phase, b.order);
        });
        smf::Format0Writer writer(song_.header.division);
        std::uint64_t last = song_.endTick;
        for (const Out& o : out) {
            last = std::max(last, o.tick);
            if (o.meta && o.meta->isMeta(meta::kSetTempo))
                writer.tempo(o.tick, tempoOf(*o.meta)); // as the timing here took it, 0 made 1
            else if (o.meta)
                writer.meta(o.tick, o.meta->metaType, o.meta->payload);
            else
                writer.channelMessage(o.tick, o.status, o.data1, o.data2);
        }
        return writer.finish(last);
    }

    const smf::Song& song_;
    std::uint32_t keep_;
    melconv::VoiceBankView bank_;
    TempoMap tempo_;
    std::array<Channel, kChannels> channels_;
    std::array<int, kChannels> reserves_{};
    std::vector<const smf::Event*> metas_;
    std::vector<std::string> log_;
    std::size_t total_ = 0;
    std::size_t kept_ = 0;
};

} // namespace

PreparationResult prepareSong(const smf::Song& song, std::uint32_t keepChannels, std::span<const std::uint8_t> voiceBank)
{
    return Preparer(song, keepChannels, voiceBank).run();
}

} // namespace orka::qmix
