#include "VoicingSurvey.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <map>
#include <ostream>
#include <sstream>

namespace orka::voicing {

namespace {

constexpr double kReleaseSeconds = 0.3;

// Each bank's programs' levels (the mean over their notes), by bank.
std::map<int, std::vector<double>> levelsByBank(const std::vector<ProgramResult>& programs)
{
    std::map<int, std::vector<double>> levels;
    for (const auto& p : programs)
        levels[p.bank].push_back(p.meanLevelDb());
    return levels;
}

std::string programLabel(const ProgramResult& p)
{
    return "bank " + std::to_string(p.bank) + " program " + std::to_string(p.program);
}

void writeFigures(std::ostream& out, const Figures& f, int note, double median)
{
    out << '\t' << (f.silent ? "silent" : "sounds") << '\t' << std::fixed << std::setprecision(1) << f.levelDb << '\t'
        << f.levelDb - median;
    if (f.pitch)
        out << '\t' << f.pitch->hz << '\t' << std::setprecision(0) << centsFrom(f.pitch->hz, noteHz(note)) << '\t'
            << std::setprecision(2) << f.pitch->clarity;
    else
        out << "\t-\t-\t-";
    out << '\t' << std::setprecision(0) << f.centroidHz;
}

} // namespace

Figures measure(std::span<const float> samples)
{
    Figures f;
    const std::size_t length = std::min(kWindow, samples.size());
    const auto window = samples.subspan(loudestWindow(samples, length), length);
    f.levelDb = levelDb(window);
    f.silent = f.levelDb < kSilenceDb;
    if (f.silent)
        return f;
    f.pitch = fundamental(window);
    f.centroidHz = spectralCentroid(window);
    return f;
}

std::optional<int> expectedOctave(int program)
{
    // Synth effects (96-103) and the sound effects from the reverse cymbal on have no
    // definite pitch to hold them to.
    if ((program >= 96 && program <= 103) || program >= 119)
        return std::nullopt;
    // Organs speak an octave down, with the 16-foot stop.
    constexpr int kFirstOrgan = 16, kLastOrgan = 19;
    if (program >= kFirstOrgan && program <= kLastOrgan)
        return -1;
    return 0;
}

double ProgramResult::meanLevelDb() const
{
    double sum = 0;
    for (const auto& n : notes)
        sum += n.ours.levelDb;
    return notes.empty() ? 0 : sum / static_cast<double>(notes.size());
}

double ProgramResult::referenceMeanLevelDb() const
{
    double sum = 0;
    for (const auto& n : notes)
        sum += n.reference ? n.reference->levelDb : 0;
    return notes.empty() ? 0 : sum / static_cast<double>(notes.size());
}

std::optional<double> ProgramResult::pitchError(bool reference) const
{
    const auto octave = expectedOctave(program);
    std::vector<double> errors;
    for (const auto& n : notes) {
        const Figures* f = reference ? (n.reference ? &*n.reference : nullptr) : &n.ours;
        if (!f || !f->pitch)
            continue;
        errors.push_back(centsFrom(f->pitch->hz, noteHz(n.note)) - 1200.0 * octave.value_or(0));
    }
    if (errors.empty())
        return std::nullopt;
    return percentile(errors, 50);
}

Survey runSurvey(const SurveyPlan& plan, NoteRenderer& ours, NoteRenderer* reference)
{
    Survey survey;
    const auto render = [&](NoteRenderer& r, const NoteRequest& request) -> Figures {
        std::string error;
        const auto samples = r.render(request, error);
        if (samples.empty()) {
            std::ostringstream what;
            what << (request.drum ? "kit " : "bank ") << request.bank << (request.drum ? " note " : " program ")
                 << (request.drum ? request.note : request.program) << ": " << error;
            survey.errors.push_back(what.str());
            return {};
        }
        return measure(samples);
    };
    // The reference has one bank and one kit: measure each of its voices once.
    std::vector<std::vector<std::optional<Figures>>> referenceNotes(kPrograms);
    std::vector<std::optional<Figures>> referenceBright(kPrograms);
    for (int bank : plan.banks) {
        for (int program = 0; program < kPrograms; ++program) {
            ProgramResult result;
            result.bank = bank;
            result.program = program;
            auto& cached = referenceNotes[static_cast<std::size_t>(program)];
            cached.resize(plan.notes.size());
            for (std::size_t i = 0; i < plan.notes.size(); ++i) {
                NoteRequest request{false, bank, program, plan.notes[i], 100, plan.holdSeconds, kReleaseSeconds};
                NoteFigures n{plan.notes[i], render(ours, request), std::nullopt};
                if (reference) {
                    if (!cached[i])
                        cached[i] = render(*reference, request);
                    n.reference = cached[i];
                }
                result.notes.push_back(n);
            }
            if (plan.brightness && bank <= 1) {
                NoteRequest request{false, bank, program, kBrightnessNote, 100, plan.holdSeconds, kReleaseSeconds};
                result.brightness = render(ours, request);
                auto& bright = referenceBright[static_cast<std::size_t>(program)];
                if (reference && !bright)
                    bright = render(*reference, request);
                result.referenceBrightness = bright;
            }
            survey.programs.push_back(std::move(result));
        }
    }
    std::vector<std::optional<Figures>> referenceDrums(kLastDrum + 1);
    for (int kit : plan.kits) {
        for (int note = plan.firstDrum; note <= plan.lastDrum; ++note) {
            NoteRequest request{true, kit, 0, note, 100, plan.holdSeconds, kReleaseSeconds};
            DrumResult d{kit, note, render(ours, request), std::nullopt};
            if (reference) {
                auto& cached = referenceDrums[static_cast<std::size_t>(note)];
                if (!cached)
                    cached = render(*reference, request);
                d.reference = cached;
            }
            survey.drums.push_back(d);
        }
    }
    return survey;
}

Summary summarize(const Survey& survey)
{
    Summary s;
    for (const auto& d : survey.drums) {
        if (d.note < kFirstGmDrum || d.note > kLastGmDrum)
            continue;
        if (d.ours.silent) {
            ++s.silentGmDrums;
            s.silentDrumList.push_back("kit " + std::to_string(d.kit) + " note " + std::to_string(d.note));
        }
        if (d.reference && d.reference->silent && d.kit == 0)
            ++s.referenceSilentGmDrums;
    }
    std::vector<double> reference0;
    std::vector<double> bright, referenceBright;
    auto levels = levelsByBank(survey.programs);
    std::map<int, BankFigures> banks;
    for (const auto& [bank, values] : levels)
        banks[bank] = {bank, 0, percentile(values, 90) - percentile(values, 10), 0};
    for (const auto& p : survey.programs) {
        BankFigures& figures = banks[p.bank];
        const bool hasReference = !p.notes.empty() && p.notes.front().reference.has_value();
        if (expectedOctave(p.program)) {
            const auto error = p.pitchError();
            if (!error || std::abs(*error) > kPitchToleranceCents) {
                ++figures.programsOff;
                std::ostringstream what;
                what << programLabel(p) << ": "
                     << (error ? std::to_string(static_cast<int>(std::lround(*error))) + " cents" : "no pitch");
                s.programsOffList.push_back(what.str());
            }
            if (p.bank == 0 && hasReference) {
                const auto referenceError = p.pitchError(true);
                if (!referenceError || std::abs(*referenceError) > kPitchToleranceCents)
                    ++s.referenceProgramsOff;
            }
        }
        const double distance = p.meanLevelDb() - percentile(levels[p.bank], 50);
        figures.worstLevelDb = std::max(figures.worstLevelDb, std::abs(distance));
        if (std::abs(distance) > kLevelToleranceDb) {
            std::ostringstream what;
            what << programLabel(p) << ": " << std::showpos << std::fixed << std::setprecision(1) << distance << " dB";
            s.levelList.push_back(what.str());
        }
        if (p.bank == 0) {
            if (hasReference)
                reference0.push_back(p.referenceMeanLevelDb());
            if (p.program < kRankedPrograms && p.brightness && p.referenceBrightness) {
                bright.push_back(p.brightness->centroidHz);
                referenceBright.push_back(p.referenceBrightness->centroidHz);
            }
        }
    }
    for (const auto& [bank, figures] : banks) {
        s.banks.push_back(figures);
        s.programsOff += figures.programsOff;
        s.worstLevelDb = std::max(s.worstLevelDb, figures.worstLevelDb);
    }
    if (!reference0.empty())
        s.referenceLevelSpreadDb = percentile(reference0, 90) - percentile(reference0, 10);
    if (bright.size() >= 2)
        s.brightnessCorrelation = rankCorrelation(bright, referenceBright);
    return s;
}

void writeTable(std::ostream& out, const Survey& survey)
{
    out << "voice\tbank\tprogram\tnote\tours\tlevel_db\tvs_median_db\tf0_hz\tcents\tclarity\tcentroid_hz"
           "\treference\tref_level_db\tref_vs_median_db\tref_f0_hz\tref_cents\tref_clarity\tref_centroid_hz\n";
    std::vector<double> kitLevels, referenceDrumLevels;
    for (const auto& d : survey.drums) {
        kitLevels.push_back(d.ours.levelDb);
        if (d.reference)
            referenceDrumLevels.push_back(d.reference->levelDb);
    }
    const auto row = [&](const char* kind, int bank, int program, int note, const Figures& ours, double median,
                         const std::optional<Figures>& reference, double referenceMedian) {
        out << kind << '\t' << bank << '\t' << program << '\t' << note;
        writeFigures(out, ours, note, median);
        if (reference)
            writeFigures(out, *reference, note, referenceMedian);
        out << '\n';
    };
    std::vector<double> referenceLevels;
    for (const auto& p : survey.programs)
        if (p.bank == 0)
            referenceLevels.push_back(p.referenceMeanLevelDb());
    const double referenceMedian = percentile(referenceLevels, 50);
    const auto levels = levelsByBank(survey.programs);
    for (const auto& p : survey.programs) {
        const double median = percentile(levels.at(p.bank), 50);
        for (const auto& n : p.notes)
            row("program", p.bank, p.program, n.note, n.ours, median, n.reference, referenceMedian);
        if (p.brightness)
            row("program", p.bank, p.program, kBrightnessNote, *p.brightness, median, p.referenceBrightness,
                referenceMedian);
    }
    const double drumMedian = percentile(kitLevels, 50);
    const double referenceDrumMedian = percentile(referenceDrumLevels, 50);
    for (const auto& d : survey.drums)
        row("drum", d.kit, 0, d.note, d.ours, drumMedian, d.reference, referenceDrumMedian);
}

void writeSummary(std::ostream& out, const Summary& s, bool withReference)
{
    out << std::fixed << std::setprecision(1);
    out << "bank  programs off  level spread p10-p90 (dB)  worst from median (dB)\n";
    for (const auto& b : s.banks)
        out << std::setw(4) << b.bank << std::setw(14) << b.programsOff << std::setw(27) << b.levelSpreadDb
            << std::setw(24) << b.worstLevelDb << "\n";
    if (withReference)
        out << " ref" << std::setw(14) << s.referenceProgramsOff << std::setw(27) << s.referenceLevelSpreadDb
            << "   (the SoundFont, one bank)\n";
    out << "silent GM drums (35-81), all kits: " << s.silentGmDrums;
    if (withReference)
        out << " (reference kit: " << s.referenceSilentGmDrums << ")";
    out << "\n";
    if (s.brightnessCorrelation)
        out << "brightness rank correlation with the reference (bank 0, programs 0-95, C4): " << std::setprecision(2)
            << *s.brightnessCorrelation << "\n";
    out << "off means more than " << std::setprecision(0) << kPitchToleranceCents
        << " cents from where General MIDI expects the program; the level limit is " << kLevelToleranceDb
        << " dB\n";
    const auto list = [&](const char* title, const std::vector<std::string>& items) {
        if (items.empty())
            return;
        out << title << ":\n";
        for (const auto& item : items)
            out << "  " << item << "\n";
    };
    list("silent drums", s.silentDrumList);
    list("programs off their note", s.programsOffList);
    list("programs out of balance", s.levelList);
}

} // namespace orka::voicing
