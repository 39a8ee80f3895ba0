// The measurements of the voicing check, first on signals whose answer is known.
#include "SignalAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace orka::voicing {
namespace {

std::vector<float> tone(std::initializer_list<std::pair<double, double>> partials, std::size_t n = kWindow)
{
    std::vector<float> out(n);
    for (std::size_t i = 0; i < n; ++i) {
        double s = 0;
        for (const auto& [hz, amplitude] : partials)
            s += amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / kAnalysisRate);
        out[i] = static_cast<float>(s);
    }
    return out;
}

// Two-operator FM: carrier at c x f0 modulated by m x f0 with index beta.
std::vector<float> fm(double f0, double carrier, double modulator, double beta)
{
    std::vector<float> out(kWindow);
    for (std::size_t i = 0; i < kWindow; ++i) {
        const double t = static_cast<double>(i) / kAnalysisRate;
        out[i] = static_cast<float>(
            0.5 * std::sin(2 * std::numbers::pi * carrier * f0 * t + beta * std::sin(2 * std::numbers::pi * modulator * f0 * t)));
    }
    return out;
}

TEST(Fundamental, SinesAcrossTheMeasuredRangeWithinTwoCents)
{
    for (int note : {24, 36, 48, 57, 69, 84, 96, 103}) {
        const auto p = fundamental(tone({{noteHz(note), 0.5}}));
        ASSERT_TRUE(p) << note;
        EXPECT_NEAR(centsFrom(p->hz, noteHz(note)), 0, 2) << note;
        EXPECT_GT(p->clarity, 0.9);
    }
}

TEST(Fundamental, OvertonesDoNotMoveTheOctave)
{
    const double f = noteHz(57);
    // Second harmonic four times as strong as the fundamental.
    const auto strongSecond = fundamental(tone({{f, 0.1}, {2 * f, 0.4}, {3 * f, 0.1}}));
    ASSERT_TRUE(strongSecond);
    EXPECT_NEAR(centsFrom(strongSecond->hz, f), 0, 5);
    // No fundamental at all: the period of the overtones is still heard as the note.
    const auto missing = fundamental(tone({{2 * f, 0.3}, {3 * f, 0.3}, {4 * f, 0.2}}));
    ASSERT_TRUE(missing);
    EXPECT_NEAR(centsFrom(missing->hz, f), 0, 5);
    // Odd harmonics only (a square-like wave).
    const auto odd = fundamental(tone({{f, 0.4}, {3 * f, 0.13}, {5 * f, 0.08}}));
    ASSERT_TRUE(odd);
    EXPECT_NEAR(centsFrom(odd->hz, f), 0, 5);
}

TEST(Fundamental, FrequencyModulatedTimbres)
{
    const double f = noteHz(69);
    // 1:1 and 1:2 ratios with a bright index, and a half-frequency carrier (an octave down).
    for (const auto& [carrier, modulator, expected] :
         {std::tuple{1.0, 1.0, 1.0}, std::tuple{1.0, 2.0, 1.0}, std::tuple{2.0, 1.0, 1.0}, std::tuple{0.5, 1.0, 0.5},
          std::tuple{1.0, 3.0, 1.0}}) {
        const auto p = fundamental(fm(f, carrier, modulator, 3.0));
        ASSERT_TRUE(p) << carrier << ":" << modulator;
        EXPECT_NEAR(centsFrom(p->hz, f * expected), 0, 5) << carrier << ":" << modulator;
    }
}

TEST(Fundamental, NoiseAndSilenceHaveNoPitch)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    std::vector<float> noise(kWindow);
    for (auto& s : noise)
        s = uniform(random);
    EXPECT_FALSE(fundamental(noise));
    EXPECT_FALSE(fundamental(std::vector<float>(kWindow, 0.0f)));
    EXPECT_FALSE(fundamental(std::vector<float>(100, 0.5f))); // too short for the lowest period
}

TEST(Level, FullScaleSineAndSilence)
{
    EXPECT_NEAR(levelDb(tone({{440, 1.0}})), -3.01, 0.05);
    EXPECT_NEAR(levelDb(tone({{440, 0.1}})), -23.01, 0.05);
    EXPECT_LT(levelDb(std::vector<float>(kWindow, 0.0f)), kSilenceDb);
    EXPECT_LT(levelDb({}), kSilenceDb);
}

TEST(Level, LoudestWindowFindsTheBurst)
{
    std::vector<float> signal(8 * kWindow, 0.0f);
    const auto burst = tone({{300, 0.5}});
    std::copy(burst.begin(), burst.end(), signal.begin() + 5 * kWindow);
    EXPECT_EQ(loudestWindow(signal), 5 * kWindow);
    EXPECT_EQ(loudestWindow(std::vector<float>(10, 0.1f)), 0u); // shorter than a window
}

TEST(Brightness, CentroidFollowsTheSpectrum)
{
    EXPECT_NEAR(spectralCentroid(tone({{1000, 0.5}})), 1000, 20);
    // Equal partials at 500 and 1500 Hz balance at 1000 Hz; more top end moves it up.
    EXPECT_NEAR(spectralCentroid(tone({{500, 0.3}, {1500, 0.3}})), 1000, 20);
    EXPECT_GT(spectralCentroid(tone({{500, 0.3}, {1500, 0.3}, {4000, 0.3}})), 1500);
}

TEST(Statistics, RankCorrelationAndPercentiles)
{
    const std::vector<double> up = {1, 2, 3, 4, 5};
    const std::vector<double> squares = {1, 4, 9, 16, 25};
    const std::vector<double> down = {5, 4, 3, 2, 1};
    EXPECT_DOUBLE_EQ(rankCorrelation(up, squares), 1.0); // ranks, not values
    EXPECT_DOUBLE_EQ(rankCorrelation(up, down), -1.0);
    const std::vector<double> ties = {1, 1, 2, 2};
    const std::vector<double> order = {1, 2, 3, 4};
    EXPECT_NEAR(rankCorrelation(ties, order), 0.894, 0.001);
    EXPECT_EQ(rankCorrelation(up, std::vector<double>{1, 2}), 0); // lengths differ
    EXPECT_EQ(rankCorrelation(up, std::vector<double>(5, 3.0)), 0); // no spread

    EXPECT_DOUBLE_EQ(percentile({3, 1, 2}, 50), 2);
    EXPECT_DOUBLE_EQ(percentile({0, 10}, 90), 9);
    EXPECT_DOUBLE_EQ(percentile({4}, 10), 4);
    EXPECT_DOUBLE_EQ(percentile({}, 50), 0);
    EXPECT_DOUBLE_EQ(percentile({1, 2}, 150), 2); // clamped
}

TEST(Statistics, NoteFrequencies)
{
    EXPECT_DOUBLE_EQ(noteHz(69), 440);
    EXPECT_NEAR(noteHz(60), 261.63, 0.01);
    EXPECT_NEAR(centsFrom(880, 440), 1200, 1e-9);
    EXPECT_NEAR(centsFrom(noteHz(70), noteHz(69)), 100, 1e-9);
}

} // namespace
} // namespace orka::voicing
