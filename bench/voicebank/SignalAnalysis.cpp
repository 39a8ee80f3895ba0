#include "SignalAnalysis.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <numeric>

namespace orka::voicing {

namespace {

using Complex = std::complex<double>;

// In-place iterative radix-2 transform; data.size() must be a power of two.
void fft(std::vector<Complex>& data, bool inverse)
{
    const std::size_t n = data.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(data[i], data[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double angle = 2 * std::numbers::pi / static_cast<double>(len) * (inverse ? 1 : -1);
        const Complex step(std::cos(angle), std::sin(angle));
        for (std::size_t i = 0; i < n; i += len) {
            Complex w(1);
            for (std::size_t k = 0; k < len / 2; ++k) {
                const Complex u = data[i + k];
                const Complex v = data[i + k + len / 2] * w;
                data[i + k] = u + v;
                data[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
    if (inverse)
        for (auto& c : data)
            c /= static_cast<double>(n);
}

std::size_t powerOfTwoAtLeast(std::size_t n)
{
    std::size_t p = 1;
    while (p < n)
        p <<= 1;
    return p;
}

// A signal whose deepest dip of the normalized difference stays above this has no pitch.
constexpr double kWeakPeriodLimit = 0.45;
// The period is the first dip at most this far above the deepest one.
constexpr double kDipMargin = 0.06;
// Periods shorter than this many samples are timed over a multiple of themselves.
constexpr double kRefineLag = 96;

// The dip at `lag` with a parabola through its neighbours, for a fractional lag.
double refinedDip(const std::vector<double>& norm, std::size_t lag)
{
    double exact = static_cast<double>(lag);
    if (lag > 0 && lag + 1 < norm.size()) {
        const double a = norm[lag - 1], b = norm[lag], c = norm[lag + 1];
        const double denominator = a - 2 * b + c;
        if (denominator > 0)
            exact += 0.5 * (a - c) / denominator;
    }
    return exact;
}

} // namespace

double levelDb(std::span<const float> samples)
{
    if (samples.empty())
        return kSilenceDb - 40;
    double sum = 0;
    for (float s : samples)
        sum += static_cast<double>(s) * s;
    const double rms = std::sqrt(sum / static_cast<double>(samples.size()));
    return rms > 0 ? std::max(20 * std::log10(rms), kSilenceDb - 40) : kSilenceDb - 40;
}

std::size_t loudestWindow(std::span<const float> samples, std::size_t length)
{
    if (samples.size() <= length)
        return 0;
    const std::size_t hop = std::max<std::size_t>(length / 4, 1);
    std::size_t best = 0;
    double bestEnergy = -1;
    for (std::size_t start = 0; start + length <= samples.size(); start += hop) {
        double energy = 0;
        for (std::size_t i = start; i < start + length; ++i)
            energy += static_cast<double>(samples[i]) * samples[i];
        if (energy > bestEnergy) {
            bestEnergy = energy;
            best = start;
        }
    }
    return best;
}

std::optional<Pitch> fundamental(std::span<const float> window, double minHz, double maxHz)
{
    const std::size_t n = window.size();
    const auto maxLag = static_cast<std::size_t>(kAnalysisRate / minHz);
    const auto minLag = std::max<std::size_t>(2, static_cast<std::size_t>(kAnalysisRate / maxHz));
    if (n < 2 * maxLag + 2 || maxLag <= minLag + 2)
        return std::nullopt;
    const std::size_t span = n - maxLag; // samples compared at every lag

    // r(lag) = sum over j < span of x[j] x[j + lag], all lags at once through the FFT.
    const std::size_t size = powerOfTwoAtLeast(2 * n);
    std::vector<Complex> head(size), whole(size);
    for (std::size_t i = 0; i < n; ++i) {
        whole[i] = window[i];
        if (i < span)
            head[i] = window[i];
    }
    fft(head, false);
    fft(whole, false);
    for (std::size_t i = 0; i < size; ++i)
        whole[i] *= std::conj(head[i]);
    fft(whole, true);

    std::vector<double> prefix(n + 1, 0);
    for (std::size_t i = 0; i < n; ++i)
        prefix[i + 1] = prefix[i] + static_cast<double>(window[i]) * window[i];
    const double headEnergy = prefix[span];
    if (headEnergy <= 0)
        return std::nullopt;

    // Cumulative mean normalized difference d'(lag).
    std::vector<double> norm(maxLag + 1, 1.0);
    double running = 0;
    for (std::size_t lag = 1; lag <= maxLag; ++lag) {
        const double d = std::max(0.0, headEnergy + (prefix[lag + span] - prefix[lag]) - 2 * whole[lag].real());
        running += d;
        norm[lag] = running > 0 ? d * static_cast<double>(lag) / running : 1.0;
    }

    // The period: the shortest lag whose dip comes close to the deepest one. Bright FM
    // spectra make shallow dips at the periods of their strong upper partials; those stay
    // well above the true period's dip and are passed over.
    const auto first = norm.begin() + static_cast<std::ptrdiff_t>(minLag);
    const auto last = norm.begin() + static_cast<std::ptrdiff_t>(maxLag);
    const double deepest = *std::min_element(first, last);
    if (deepest >= kWeakPeriodLimit)
        return std::nullopt;
    std::size_t lag = minLag;
    while (lag < maxLag && !(norm[lag] <= deepest + kDipMargin && norm[lag] <= norm[lag + 1] && norm[lag] <= norm[lag - 1]))
        ++lag;
    const double clarity = std::clamp(1 - norm[lag], 0.0, 1.0);
    double exact = refinedDip(norm, lag);
    // Short periods are timed over several of them: the dip at the k-th multiple is as
    // sharp, and dividing by k shrinks the rounding of the lag k times.
    const auto multiple = static_cast<std::size_t>(std::max(1.0, std::floor(kRefineLag / exact)));
    if (multiple > 1) {
        auto at = static_cast<std::size_t>(std::lround(exact * static_cast<double>(multiple)));
        if (at + 2 < maxLag) {
            for (std::size_t t = at - 2; t <= at + 2; ++t)
                if (norm[t] < norm[at])
                    at = t;
            exact = refinedDip(norm, at) / static_cast<double>(multiple);
        }
    }
    return Pitch{kAnalysisRate / exact, clarity};
}

double spectralCentroid(std::span<const float> window)
{
    const std::size_t size = powerOfTwoAtLeast(window.size());
    std::vector<Complex> data(size);
    const double n = static_cast<double>(window.size());
    for (std::size_t i = 0; i < window.size(); ++i)
        data[i] = window[i] * (0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / n));
    fft(data, false);
    double weighted = 0, total = 0;
    for (std::size_t k = 1; k < size / 2; ++k) {
        const double magnitude = std::abs(data[k]);
        weighted += magnitude * static_cast<double>(k) * kAnalysisRate / static_cast<double>(size);
        total += magnitude;
    }
    return total > 0 ? weighted / total : 0;
}

double noteHz(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

double centsFrom(double hz, double referenceHz) { return 1200.0 * std::log2(hz / referenceHz); }

namespace {

std::vector<double> ranks(std::span<const double> values)
{
    std::vector<std::size_t> order(values.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return values[a] < values[b]; });
    std::vector<double> rank(values.size());
    for (std::size_t i = 0; i < order.size();) {
        std::size_t j = i;
        while (j + 1 < order.size() && values[order[j + 1]] == values[order[i]])
            ++j;
        const double shared = (static_cast<double>(i) + static_cast<double>(j)) / 2 + 1;
        for (std::size_t k = i; k <= j; ++k)
            rank[order[k]] = shared;
        i = j + 1;
    }
    return rank;
}

} // namespace

double rankCorrelation(std::span<const double> a, std::span<const double> b)
{
    if (a.size() != b.size() || a.size() < 2)
        return 0;
    const auto ra = ranks(a), rb = ranks(b);
    const double mean = (static_cast<double>(a.size()) + 1) / 2;
    double cov = 0, va = 0, vb = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        cov += (ra[i] - mean) * (rb[i] - mean);
        va += (ra[i] - mean) * (ra[i] - mean);
        vb += (rb[i] - mean) * (rb[i] - mean);
    }
    return va > 0 && vb > 0 ? cov / std::sqrt(va * vb) : 0;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const double at = std::clamp(p, 0.0, 100.0) / 100.0 * static_cast<double>(values.size() - 1);
    const auto low = static_cast<std::size_t>(at);
    const std::size_t high = std::min(low + 1, values.size() - 1);
    return values[low] + (values[high] - values[low]) * (at - static_cast<double>(low));
}

} // namespace orka::voicing
