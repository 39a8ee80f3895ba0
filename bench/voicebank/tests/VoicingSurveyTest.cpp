// The verdicts of the voicing check on surveys whose figures are set by hand, and one
// real note through the converter and the FM synthesizer.
#include "VoicingSurvey.h"
#include "orka/resources/VoiceBank.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace orka::voicing {
namespace {

Figures sounding(double levelDb, std::optional<double> hz)
{
    Figures f;
    f.silent = false;
    f.levelDb = levelDb;
    if (hz)
        f.pitch = Pitch{*hz, 0.9};
    return f;
}

ProgramResult program(int bank, int p, double levelDb, double centsOff)
{
    ProgramResult r;
    r.bank = bank;
    r.program = p;
    for (int note : {57, 69})
        r.notes.push_back({note, sounding(levelDb, noteHz(note) * std::pow(2.0, centsOff / 1200)), std::nullopt});
    return r;
}

// A bank of 128 programs at one level and where they belong; tests then spoil one.
Survey balancedBank()
{
    Survey s;
    for (int p = 0; p < kPrograms; ++p)
        s.programs.push_back(program(0, p, -12, 1200.0 * expectedOctave(p).value_or(0)));
    return s;
}

TEST(VoicingSummary, ABalancedTunedBankPasses)
{
    const auto summary = summarize(balancedBank());
    EXPECT_TRUE(summary.passes());
    ASSERT_EQ(summary.banks.size(), 1u);
    EXPECT_EQ(summary.banks[0].programsOff, 0);
    EXPECT_DOUBLE_EQ(summary.banks[0].levelSpreadDb, 0);
}

TEST(VoicingSummary, PitchLimitAndOctaves)
{
    auto survey = balancedBank();
    survey.programs[1] = program(0, 1, -12, 99.5);  // just inside the limit: on its note
    survey.programs[2] = program(0, 2, -12, -102);   // past it
    survey.programs[3] = program(0, 3, -12, 1200);  // an octave up
    survey.programs[16] = program(0, 16, -12, 0);   // an organ at the note is an octave high
    survey.programs[17] = program(0, 17, -12, -1200); // where organs belong
    survey.programs[120] = program(0, 120, -12, 700); // a sound effect has no pitch to keep
    const auto summary = summarize(survey);
    EXPECT_EQ(summary.programsOff, 3);
    EXPECT_FALSE(summary.passes());
    ASSERT_EQ(summary.programsOffList.size(), 3u);
    EXPECT_EQ(summary.programsOffList[0], "bank 0 program 2: -102 cents");
}

TEST(VoicingSummary, AProgramWithoutPitchIsOff)
{
    auto survey = balancedBank();
    for (auto& n : survey.programs[40].notes)
        n.ours.pitch.reset();
    const auto summary = summarize(survey);
    EXPECT_EQ(summary.programsOff, 1);
    EXPECT_EQ(summary.programsOffList.at(0), "bank 0 program 40: no pitch");
    // One note without a pitch does not condemn the program: the others still tell.
    auto partly = balancedBank();
    partly.programs[40].notes[0].ours.pitch.reset();
    EXPECT_EQ(summarize(partly).programsOff, 0);
}

TEST(VoicingSummary, LevelsAreHeldWithinSixDecibelsOfTheirOwnBank)
{
    auto survey = balancedBank();
    survey.programs[5] = program(0, 5, -18, 0);    // exactly 6 dB under: allowed
    survey.programs[6] = program(0, 6, -5.9, 0);   // 6.1 dB over: not
    for (int p = 0; p < kPrograms; ++p)             // a second bank, louder as a whole, is
        survey.programs.push_back(program(1, p, -3, 0)); // judged against its own median
    const auto summary = summarize(survey);
    EXPECT_NEAR(summary.worstLevelDb, 6.1, 1e-9);
    ASSERT_EQ(summary.levelList.size(), 1u);
    EXPECT_EQ(summary.levelList[0], "bank 0 program 6: +6.1 dB");
    EXPECT_FALSE(summary.passes());
}

TEST(VoicingSummary, OnlyGeneralMidiDrumsMustSound)
{
    auto survey = balancedBank();
    for (int note : {13, 34, 35, 81, 82})
        survey.drums.push_back({3, note, Figures{}, std::nullopt}); // all silent
    const auto summary = summarize(survey);
    EXPECT_EQ(summary.silentGmDrums, 2);
    EXPECT_EQ(summary.silentDrumList, (std::vector<std::string>{"kit 3 note 35", "kit 3 note 81"}));
}

TEST(VoicingSummary, BrightnessIsRankedAgainstTheReference)
{
    auto survey = balancedBank();
    for (auto& p : survey.programs) {
        Figures ours = sounding(-12, 440), theirs = sounding(-12, 440);
        ours.centroidHz = 1000 + p.program;
        theirs.centroidHz = 5000 - p.program; // the opposite order
        p.brightness = ours;
        p.referenceBrightness = theirs;
    }
    const auto summary = summarize(survey);
    ASSERT_TRUE(summary.brightnessCorrelation);
    EXPECT_NEAR(*summary.brightnessCorrelation, -1.0, 1e-9); // over the 96 instruments only
    std::ostringstream text;
    writeSummary(text, summary, true);
    EXPECT_NE(text.str().find("brightness rank correlation"), std::string::npos);
}

TEST(VoicingRender, AFluteOfOurBankSoundsAtItsNoteThroughTheConverter)
{
    const auto bank = orka::resources::embeddedVoiceBank();
    auto renderer = makeFmRenderer(bank);
    std::string error;
    const auto samples = renderer->render({false, 0, 73, 69, 100, 0.5, 0.1}, error);
    ASSERT_FALSE(samples.empty()) << error;
    EXPECT_EQ(samples.size(), static_cast<std::size_t>(0.6 * kAnalysisRate + 0.5));
    const auto f = measure(samples);
    EXPECT_FALSE(f.silent);
    ASSERT_TRUE(f.pitch);
    EXPECT_NEAR(centsFrom(f.pitch->hz, 440), 0, 10);
}

TEST(VoicingRender, AnEmptyVoiceIsSilentAndARefusedSongIsAnError)
{
    std::vector<std::uint8_t> bank(orka::resources::embeddedVoiceBank().begin(), orka::resources::embeddedVoiceBank().end());
    // Kit 9, note 91: the last drum record; algorithm 2 makes it a voice of no operators.
    constexpr std::size_t kDrumRecords = 8 + 2070 * 16 + 1280 * 26;
    bank[kDrumRecords + (9 * 79 + 91 - 13) * 26 + 3] = 2;
    auto renderer = makeFmRenderer(bank);
    std::string error;
    const auto samples = renderer->render({true, 9, 0, 91, 100, 0.3, 0.1}, error);
    ASSERT_FALSE(samples.empty()) << error;
    EXPECT_TRUE(measure(samples).silent);
    // A melodic note above 108 is refused by the converter, with its reason.
    EXPECT_TRUE(renderer->render({false, 0, 0, 109, 100, 0.3, 0.1}, error).empty());
    EXPECT_NE(error.find("Out of Area"), std::string::npos) << error;
}

TEST(VoicingRender, MissingSoundFontGivesNoReference)
{
    EXPECT_EQ(makeFluidRenderer("/nonexistent/none.sf2"), nullptr);
}

} // namespace
} // namespace orka::voicing
