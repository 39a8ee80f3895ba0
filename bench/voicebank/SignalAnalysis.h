#pragma once
// Measurements of one rendered note: loudness, fundamental, brightness. Works on mono
// float samples (full scale 1.0) at the synthesizer's rate.
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace orka::voicing {

inline constexpr double kAnalysisRate = 22050.0;
// The analysis window: 4096 samples, about 186 ms, long enough for two periods at 30 Hz.
inline constexpr std::size_t kWindow = 4096;
// Below this level (dB full scale) a note counts as silent.
inline constexpr double kSilenceDb = -80.0;

struct Pitch {
    double hz = 0;
    double clarity = 0; // 1 = perfectly periodic, 0 = noise
};

// Root mean square level in dB full scale; kSilenceDb - 40 for digital silence.
double levelDb(std::span<const float> samples);

// Start of the loudest window of `length` samples (hop of a quarter window).
std::size_t loudestWindow(std::span<const float> samples, std::size_t length = kWindow);

// Fundamental by the cumulative mean normalized difference of the signal with itself
// (autocorrelation in the difference form, computed through the FFT). The first lag whose
// difference dips below the threshold wins, so a strong second harmonic does not pull the
// estimate up an octave, and a missing fundamental is still found from its overtones.
// Empty when nothing between minHz and maxHz is periodic enough.
std::optional<Pitch> fundamental(std::span<const float> window, double minHz = 30, double maxHz = 5000);

// Spectral centroid (Hz) of the window under a Hann taper.
double spectralCentroid(std::span<const float> window);

// Equal-tempered frequency of a MIDI note (69 = 440 Hz) and the distance of hz from it.
double noteHz(int note);
double centsFrom(double hz, double referenceHz);

// Spearman rank correlation of two equally long series (ties share their mean rank).
double rankCorrelation(std::span<const double> a, std::span<const double> b);
// The p-th percentile (0-100) by linear interpolation; 0 for an empty series.
double percentile(std::vector<double> values, double p);

} // namespace orka::voicing
