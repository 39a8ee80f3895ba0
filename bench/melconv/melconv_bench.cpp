// Conversion speed: a 9 KB ring tone, and dense format-0 songs of 100 KB and 1 MB, whose
// times should grow linearly with their size.
#include "melconv.h"
#include "orka/testing/MelconvSmf.h"
#include "orka/resources/VoiceBank.h"

#include <benchmark/benchmark.h>

namespace {

using melconv::test::Smf;

// A song of roughly `bytes` bytes: a three-note chord part, a bass line and two drums,
// an eighth note per step, with volume and pan moves every bar.
std::vector<std::uint8_t> song(std::size_t bytes)
{
    Smf smf;
    smf.meta(0, 0x01, "XFln:L1:Bench:Orka:Orka:Orka:Orka");
    smf.setup(0, 3, 0).setup(1, 1, 33).drumSetup(9, 2);
    std::vector<std::uint8_t> out;
    static const int chords[4][3] = {{60, 64, 67}, {57, 60, 64}, {53, 57, 60}, {55, 59, 62}};
    for (int step = 0;; ++step) {
        const int* chord = chords[(step / 8) % 4];
        const int bass = chord[0] - 24;
        const int drum = step % 2 ? 42 : 36;
        if (step % 8 == 0) {
            smf.cc(0, 0, 7, 80 + (step / 8) % 40);
            smf.cc(0, 1, 10, (step * 5) % 128);
        }
        smf.on(0, 0, chord[0], 90).on(0, 0, chord[1], 80).on(0, 0, chord[2], 80).on(0, 1, bass, 100).on(0, 9, drum, 110);
        smf.off(60, 9, drum).off(170, 0, chord[0]).off(0, 0, chord[1]).off(0, 0, chord[2]).off(0, 1, bass);
        if (step % 64 == 63) {
            out = smf.bytes();
            if (out.size() >= bytes)
                return out;
        }
        if (step % 8 == 7 && bytes < 20000) {
            out = smf.bytes();
            if (out.size() >= bytes)
                return out;
        }
    }
}

void convertSong(benchmark::State& state, std::size_t bytes)
{
    const auto smf = song(bytes);
    const auto bank = orka::resources::embeddedVoiceBank();
    std::vector<std::uint8_t> out(smf.size() * 8 + 65536);
    char message[260];
    for (auto _ : state) {
        auto size = static_cast<std::int32_t>(out.size());
        const int rc = MCVConvert(smf.data(), static_cast<std::int32_t>(smf.size()), out.data(), &size, bank.data(),
                                  static_cast<std::int32_t>(bank.size()), nullptr, 0, message, sizeof message);
        if (rc != 1) {
            state.SkipWithError("conversion failed");
            break;
        }
        benchmark::DoNotOptimize(size);
        state.counters["smaf_bytes"] = size;
    }
    state.counters["smf_bytes"] = static_cast<double>(smf.size());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * smf.size()));
}

void BM_RingTone9KB(benchmark::State& state) { convertSong(state, 9 * 1024); }
void BM_Dense100KB(benchmark::State& state) { convertSong(state, 100 * 1024); }
void BM_Dense1MB(benchmark::State& state) { convertSong(state, 1024 * 1024); }

BENCHMARK(BM_RingTone9KB)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Dense100KB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Dense1MB)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
