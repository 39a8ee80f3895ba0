// The upload job for 20 ring tones against the handset simulator, against the same engine
// calls made directly (open, a free-index read and a write per tone, close): counter
// overhead_percent, goal under 1.
#include "orka/testing/SimulatorProcess.h"

#include "orka/pio.h"
#include "orka/transfer/TransferJob.h"

#include <benchmark/benchmark.h>

#include <chrono>

using namespace orka::test;
using orka::transfer::CTransferDlg;
using orka::transfer::JobKind;
using orka::transfer::JobOutcome;

namespace {

constexpr int kCom = 8;
constexpr int kTones = 20;
constexpr int kToneBytes = 600;
constexpr int kRingTone = 7;

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The calls the job makes, straight to the engine.
double engineCallsAlone(std::vector<std::vector<unsigned char>>& tones)
{
    const auto t0 = std::chrono::steady_clock::now();
    if (!PIOOpen(kCom))
        return -1;
    for (auto& tone : tones) {
        const unsigned long list = PIOQXIndexRead(1, kRingTone, 1, 3);
        const int index = static_cast<PIOIndexList*>(reinterpret_cast<PIOResult*>(list)->data)->numbers[0];
        PIOFreeMemory(PIOQXDataWrite(1, kRingTone, index, 0, tone.data(), tone.size(), 3));
        PIOFreeMemory(list);
    }
    PIOClose();
    return seconds(t0);
}

void clearStore()
{
    PIOOpen(kCom);
    for (int i = 1; i <= kTones; ++i)
        PIOFreeMemory(PIOQXDataDelete(1, kRingTone, i, 0, 3));
    PIOClose();
}

void UploadJobOfTwentyRingTones(benchmark::State& state)
{
    const auto home = Simulator::makeHome();
    Simulator sim(home, {kCom, "", {}});
    PIOInitPhone();
    std::vector<std::vector<unsigned char>> tones;
    for (int i = 0; i < kTones; ++i)
        tones.push_back(patternBytes(kToneBytes, unsigned(i + 1)));
    double job = 0, calls = 0;
    for (auto _ : state) {
        CTransferDlg dlg(kRingTone, JobKind::Upload);
        for (const auto& t : tones)
            dlg.items.push_back({{t}});
        const auto t0 = std::chrono::steady_clock::now();
        const JobOutcome out = dlg.run(kCom);
        const double s = seconds(t0);
        if (out.result != JobOutcome::Result::Succeeded)
            state.SkipWithError("upload failed");
        job += s;
        state.SetIterationTime(s);
        state.PauseTiming();
        clearStore();
        calls += engineCallsAlone(tones);
        clearStore();
        state.ResumeTiming();
    }
    const double n = double(state.iterations());
    state.counters["job_ms"] = job / n * 1e3;
    state.counters["engine_calls_ms"] = calls / n * 1e3;
    state.counters["overhead_percent"] = (job - calls) / calls * 100;
    sim.stop();
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
}
BENCHMARK(UploadJobOfTwentyRingTones)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
