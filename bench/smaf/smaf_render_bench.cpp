// Offline rendering speed of a dense piece (16 busy channels, four-operator voices), as a
// multiple of real time on one core.
#include "DensePiece.h"
#include "orka/smaf/SmafRenderer.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <span>
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

// One 22-frame chunk in the thick of the piece (every voice sounding), as the player renders.
void renderOneChunkOfSixteenVoices(benchmark::State& state)
{
    const auto piece = orka::smaf::bench::denseSmaf();
    std::vector<std::uint8_t> buffer(22 * 4);
    auto renderer = std::make_unique<orka::smaf::SmafRenderer>(std::span<const std::uint8_t>{});
    auto restart = [&] {
        renderer->start(piece);
        for (int i = 0; i < 2000; ++i) // past the first notes
            renderer->render(buffer.data(), buffer.size());
    };
    restart();
    int chunks = 0;
    for (auto _ : state) {
        renderer->render(buffer.data(), buffer.size());
        benchmark::DoNotOptimize(buffer.data());
        if (++chunks == 50000) { // stay inside the piece
            state.PauseTiming();
            restart();
            chunks = 0;
            state.ResumeTiming();
        }
    }
}
BENCHMARK(renderOneChunkOfSixteenVoices);

} // namespace

BENCHMARK_MAIN();
