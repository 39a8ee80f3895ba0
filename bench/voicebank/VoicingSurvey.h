#pragma once
// The voicing survey: every program and drum note of a bank rendered and measured, against
// a reference player where one is given, and the summary the bank is held to.
#include "NoteRenderer.h"
#include "SignalAnalysis.h"

#include <array>
#include <iosfwd>
#include <optional>
#include <vector>

namespace orka::voicing {

inline constexpr int kBanks = 10;
inline constexpr int kPrograms = 128;
inline constexpr int kFirstDrum = 13;
inline constexpr int kLastDrum = 91;
inline constexpr int kFirstGmDrum = 35;
inline constexpr int kLastGmDrum = 81;
inline constexpr int kBrightnessNote = 60;
// Programs whose brightness ranking is compared: the instruments, without the effects.
inline constexpr int kRankedPrograms = 96;
// A program is off its note beyond this, and out of balance beyond this many dB.
inline constexpr double kPitchToleranceCents = 100;
inline constexpr double kLevelToleranceDb = 6;

struct Figures {
    bool silent = true;
    double levelDb = kSilenceDb - 40;
    std::optional<Pitch> pitch;
    double centroidHz = 0;
};

Figures measure(std::span<const float> samples);

// Octaves a General MIDI program is expected to sound away from the note played (what GM
// players and the reference SoundFont do); nullopt for programs without a definite pitch.
std::optional<int> expectedOctave(int program);

struct NoteFigures {
    int note = 0;
    Figures ours;
    std::optional<Figures> reference;
};

struct ProgramResult {
    int bank = 0;
    int program = 0;
    std::vector<NoteFigures> notes;
    std::optional<Figures> brightness;          // ours at C4
    std::optional<Figures> referenceBrightness; // the reference at C4
    double meanLevelDb() const;
    double referenceMeanLevelDb() const;
    // Median over the notes of the cents between the fundamental and the note, less the
    // expected octave; nullopt when no note had a pitch.
    std::optional<double> pitchError(bool reference = false) const;
};

struct DrumResult {
    int kit = 0;
    int note = 0;
    Figures ours;
    std::optional<Figures> reference;
};

struct SurveyPlan {
    std::vector<int> banks;
    std::vector<int> notes;          // melodic notes played per program
    std::vector<int> kits;
    int firstDrum = kFirstDrum;
    int lastDrum = kLastDrum;
    double holdSeconds = 1.0;
    bool brightness = false;         // also C4 for the brightness ranking (banks 0 and 1)
};

struct Survey {
    std::vector<ProgramResult> programs;
    std::vector<DrumResult> drums;
    std::vector<std::string> errors;
};

// Renders and measures the plan; `reference` may be null.
Survey runSurvey(const SurveyPlan& plan, NoteRenderer& ours, NoteRenderer* reference);

struct BankFigures {
    int bank = 0;
    int programsOff = 0;
    double levelSpreadDb = 0; // 10th to 90th percentile of the programs' levels
    double worstLevelDb = 0;  // largest distance of a program from the bank's median
};

// Every surveyed bank is held to the same limits: no program off its note, none out of
// balance, no silent GM drum in any kit.
struct Summary {
    std::vector<BankFigures> banks;
    int silentGmDrums = 0;
    int referenceSilentGmDrums = 0;
    std::vector<std::string> silentDrumList;
    int programsOff = 0; // all banks
    int referenceProgramsOff = 0;
    std::vector<std::string> programsOffList;
    double referenceLevelSpreadDb = 0;
    double worstLevelDb = 0; // all banks
    std::vector<std::string> levelList;
    std::optional<double> brightnessCorrelation;
    bool passes() const { return silentGmDrums == 0 && programsOff == 0 && worstLevelDb <= kLevelToleranceDb; }
};

Summary summarize(const Survey& survey);

// One tab-separated line per rendered voice, with a header.
void writeTable(std::ostream& out, const Survey& survey);
void writeSummary(std::ostream& out, const Summary& summary, bool withReference);

} // namespace orka::voicing
