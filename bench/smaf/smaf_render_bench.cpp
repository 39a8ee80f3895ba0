// Offline rendering speed of a dense piece (16 busy channels, four-operator voices), as a
// multiple of real time on one core.
#include "DensePiece.h"
#include "orka/smaf/SmafRenderer.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void renderDensePiece(benchmark::State& state)
{
    const auto piece = orka::smaf::bench::denseSmaf();
    std::vector<std::uint8_t> buffer(8192);
    double audioSeconds = 0;
    for (auto _ : state) {
        orka::smaf::SmafRenderer renderer({});
        if (!renderer.start(piece)) {
            state.SkipWithError("the piece was refused");
            return;
        }
        std::size_t bytes = 0;
        for (;;) {
            const auto r = renderer.render(buffer.data(), buffer.size());
            bytes += r.bytes;
            if (r.ended)
                break;
        }
        benchmark::DoNotOptimize(buffer.data());
        audioSeconds += static_cast<double>(bytes) / (4.0 * 22050.0);
    }
    // Audio seconds per second of rendering: the multiple of real time.
    state.counters["x_realtime"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(renderDensePiece)->Unit(benchmark::kMillisecond);

void renderOneChunkOfSixteenVoices(benchmark::State& state)
{
    orka::smaf::SmafRenderer renderer({});
    renderer.start(orka::smaf::bench::denseSmaf());
    std::vector<std::uint8_t> buffer(22 * 4);
    for (int i = 0; i < 2000; ++i)
        renderer.render(buffer.data(), buffer.size()); // past the first notes
    for (auto _ : state) {
        renderer.render(buffer.data(), buffer.size());
        benchmark::DoNotOptimize(buffer.data());
    }
}
BENCHMARK(renderOneChunkOfSixteenVoices);

} // namespace

BENCHMARK_MAIN();
