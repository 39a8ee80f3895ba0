// The phone link against the handset simulator:
//  - uploading a 9216-byte ring tone over the cable, against the protocol's floor
//    (blocks x 50 ms pacing): counter ratio_to_floor, target at most 1.05;
//  - the engine's processor use while a read waits on a silent handset: counter
//    cpu_percent, target under 2.
#include "orka/testing/SimulatorProcess.h"

#include "orka/pio.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <memory>

using namespace orka::test;

namespace {
constexpr int kCom = 7;

struct Handset {
    std::filesystem::path home = Simulator::makeHome();
    Simulator sim{home, {kCom, "", {}}};
    Handset()
    {
        PIOInitPhone();
        if (!PIOOpen(kCom))
            throw std::runtime_error(PIOGetLastErrMsg());
    }
    ~Handset()
    {
        PIOClose();
        sim.stop();
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
    }
};

double processSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void UploadRingToneOverCable(benchmark::State& state)
{
    Handset handset;
    const auto tone = patternBytes(9216);
    const std::size_t blocks = (tone.size() * 2 + 199) / 200;
    const double floorSeconds = static_cast<double>(blocks) * 0.050;
    double total = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        unsigned long r = PIOQXDataWrite(1, 7, 1, 0, const_cast<unsigned char*>(tone.data()), tone.size(), 3);
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        total += s;
        auto* result = reinterpret_cast<PIOResult*>(r);
        if (!result || result->ok != 1)
            state.SkipWithError("upload failed");
        PIOFreeMemory(r);
        state.SetIterationTime(s);
    }
    state.counters["blocks"] = static_cast<double>(blocks);
    state.counters["floor_s"] = floorSeconds;
    state.counters["ratio_to_floor"] = total / static_cast<double>(state.iterations()) / floorSeconds;
}
BENCHMARK(UploadRingToneOverCable)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void WaitOnSilentHandset(benchmark::State& state)
{
    Handset handset;
    handset.sim.setFaults({"silent*1"});
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        // One attempt waits out the 3 s limit, the second is answered.
        const double c0 = processSeconds();
        auto t0 = std::chrono::steady_clock::now();
        PIOFreeMemory(PIOQXFeatureRead(1, 2, 3));
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        cpu += processSeconds() - c0;
    }
    state.counters["wait_s"] = wall;
    state.counters["cpu_percent"] = 100.0 * cpu / wall;
}
BENCHMARK(WaitOnSilentHandset)->Iterations(1)->Unit(benchmark::kMillisecond);
} // namespace

BENCHMARK_MAIN();
