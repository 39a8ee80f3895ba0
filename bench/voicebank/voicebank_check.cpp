// voicebank_check: plays every voice of the FM voice bank through the converter and the FM
// synthesizer and measures it: fundamental against the note, level against the median,
// silence; with FluidSynth on a General MIDI SoundFont as the reference.
//
//   voicebank_check [--bank FILE] [--soundfont SF2] [--table FILE]   the full survey
//   voicebank_check --quick [--bank FILE]                            the short check (CI)
//
// The full survey plays banks 0-9 at C3, A3, A4 and C6 (and C4 for brightness) and drum
// notes 13-91 of kits 0-9. The short check plays banks 0 and 1 at A3 and A4 and the GM drum
// notes of every kit, briefly. Exit status: 0 the bank passes, 1 it does not, 2 wrong usage.
#include "NoteRenderer.h"
#include "VoicingSurvey.h"
#include "orka/resources/VoiceBank.h"

#include <getopt.h>

#include <fstream>
#include <iostream>
#include <iterator>

namespace {

constexpr int kPasses = 0;
constexpr int kFails = 1;
constexpr int kUsage = 2;
constexpr const char* kDefaultSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr double kQuickHoldSeconds = 0.4;

struct Options {
    bool quick = false;
    std::string bank;
    std::string soundFont = kDefaultSoundFont;
    std::string table;
};

bool parse(int argc, char** argv, Options& o)
{
    static const option longOptions[] = {{"quick", no_argument, nullptr, 'q'},
                                         {"bank", required_argument, nullptr, 'b'},
                                         {"soundfont", required_argument, nullptr, 's'},
                                         {"table", required_argument, nullptr, 't'},
                                         {nullptr, 0, nullptr, 0}};
    int c;
    while ((c = getopt_long(argc, argv, "", longOptions, nullptr)) != -1) {
        switch (c) {
        case 'q': o.quick = true; break;
        case 'b': o.bank = optarg; break;
        case 's': o.soundFont = optarg; break;
        case 't': o.table = optarg; break;
        default: return false;
        }
    }
    return optind == argc;
}

orka::voicing::SurveyPlan planFor(bool quick)
{
    using namespace orka::voicing;
    SurveyPlan plan;
    plan.kits = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    if (quick) {
        plan.banks = {0, 1};
        plan.notes = {57, 69};
        plan.firstDrum = kFirstGmDrum;
        plan.lastDrum = kLastGmDrum;
        plan.holdSeconds = kQuickHoldSeconds;
    } else {
        plan.banks = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
        plan.notes = {48, 57, 69, 84};
        plan.brightness = true;
    }
    return plan;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parse(argc, argv, options)) {
        std::cerr << "usage: voicebank_check [--quick] [--bank FILE] [--soundfont SF2] [--table FILE]\n";
        return kUsage;
    }
    std::vector<std::uint8_t> bank;
    if (options.bank.empty()) {
        const auto embedded = orka::resources::embeddedVoiceBank();
        bank.assign(embedded.begin(), embedded.end());
    } else {
        std::ifstream in(options.bank, std::ios::binary);
        bank.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (!in.eof() && !in) {
            std::cerr << "voicebank_check: cannot read " << options.bank << "\n";
            return kUsage;
        }
    }
    auto ours = orka::voicing::makeFmRenderer(bank);
    std::unique_ptr<orka::voicing::NoteRenderer> reference;
    if (!options.quick) {
        reference = orka::voicing::makeFluidRenderer(options.soundFont);
        if (!reference)
            std::cerr << "voicebank_check: no reference: cannot load " << options.soundFont << "\n";
    }
    const auto survey = orka::voicing::runSurvey(planFor(options.quick), *ours, reference.get());
    for (const auto& error : survey.errors)
        std::cerr << "voicebank_check: " << error << "\n";
    if (!options.table.empty()) {
        std::ofstream table(options.table);
        orka::voicing::writeTable(table, survey);
        if (!table) {
            std::cerr << "voicebank_check: cannot write " << options.table << "\n";
            return kUsage;
        }
    }
    const auto summary = orka::voicing::summarize(survey);
    orka::voicing::writeSummary(std::cout, summary, reference != nullptr);
    return summary.passes() && survey.errors.empty() ? kPasses : kFails;
}
