// MIDI playback costs: how late the live player sends messages on the real 1 ms timer,
// what a seek through a long song costs, and what the FluidSynth fallback costs to start.
#include "orka/audio/midi/CMidiPlayer.h"
#include "orka/platform/MidiOut.h"
#include "orka/platform/PeriodicTimer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace orka::audio::midi;

namespace {

void vlq(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    std::uint8_t b[4];
    int n = 0;
    b[n++] = v & 0x7F;
    while ((v >>= 7) != 0)
        b[n++] = static_cast<std::uint8_t>(0x80 | (v & 0x7F));
    while (n > 0)
        out.push_back(b[--n]);
}

// One note every `step` ticks on channel 0 (on, then off half a step later), 480 per quarter.
std::vector<std::uint8_t> denseSong(int notes, std::uint32_t step)
{
    std::vector<std::uint8_t> body;
    for (int i = 0; i < notes; ++i) {
        vlq(body, i == 0 ? 0 : step - step / 2);
        body.insert(body.end(), {0x90, static_cast<std::uint8_t>(48 + i % 24), 100});
        vlq(body, step / 2);
        body.insert(body.end(), {0x80, static_cast<std::uint8_t>(48 + i % 24), 0});
    }
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
    for (int s = 24; s >= 0; s -= 8)
        file.push_back(static_cast<std::uint8_t>(body.size() >> s));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

struct EndWatch : MidiPlayerOwner {
    void midiNotify(unsigned message, unsigned) override
    {
        if (message == WM_MIDI_END)
            ended.store(true);
    }
    std::atomic<bool> ended{false};
};

// Plays two seconds of a note every 10 ms; lateness of each note message against its due
// time, counted from the moment the song's first message went out.
void BM_LivePlaybackLateness(benchmark::State& state)
{
    const auto song = denseSong(200, 10); // 10 ticks = 10.4 ms at 120 bpm
    std::vector<double> lateMs;
    for (auto _ : state) {
        auto recording = std::make_shared<orka::platform::MidiRecording>();
        EndWatch owner;
        CMidiPlayer player;
        player.setUp(&owner, [recording] { return orka::platform::openRecordingMidiOut(recording); });
        player.load(song);
        recording->clear();
        player.play(0);
        while (!owner.ended.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const auto sent = recording->messages();
        std::vector<std::uint64_t> notes;
        for (const auto& m : sent)
            if ((m.message & 0xE0) == 0x80)
                notes.push_back(m.timeNs);
        if (notes.empty())
            continue;
        // Message k is due at k * 5 ticks (on and off alternate every half step).
        const double nsPerTick = 500000.0 * 1000.0 / 480.0;
        const double start = static_cast<double>(notes[0]);
        for (std::size_t k = 0; k < notes.size(); ++k)
            lateMs.push_back((static_cast<double>(notes[k]) - start - static_cast<double>(k) * 5.0 * nsPerTick) / 1e6);
        player.shutDown();
    }
    std::sort(lateMs.begin(), lateMs.end());
    if (!lateMs.empty()) {
        state.counters["median_ms"] = lateMs[lateMs.size() / 2];
        state.counters["p99_ms"] = lateMs[std::min(lateMs.size() - 1, lateMs.size() * 99 / 100)];
        state.counters["max_ms"] = lateMs.back();
        state.counters["messages"] = static_cast<double>(lateMs.size());
    }
}
BENCHMARK(BM_LivePlaybackLateness)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// A seek to the end of a song of 20000 notes: the silent replay the player runs before
// playing from a tick (and on every loop in range mode).
void BM_SeekThroughLongSong(benchmark::State& state)
{
    const auto song = denseSong(20000, 10);
    CMidiPlayer player(std::make_unique<orka::platform::ManualTimer>());
    player.setUp(nullptr, orka::platform::openQuietMidiOut);
    player.load(song);
    for (auto _ : state) {
        player.play(player.songLength() - 1);
        player.stop();
    }
    state.counters["callbacks_per_seek"] = player.songLength() / 0.96;
}
BENCHMARK(BM_SeekThroughLongSong)->Unit(benchmark::kMillisecond);

long residentKb()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Start-up and memory of the FluidSynth fallback with the Debian General MIDI SoundFont
// (audio off: the synthesizer and SoundFont alone).
void BM_FluidSynthStartUp(benchmark::State& state)
{
    if (orka::platform::defaultSoundFont().empty()) {
        state.SkipWithError("no General MIDI SoundFont installed");
        return;
    }
    long before = residentKb();
    long grown = 0;
    for (auto _ : state) {
        auto out = orka::platform::openFluidSynthOut({}, false);
        if (!out) {
            state.SkipWithError("FluidSynth did not start");
            return;
        }
        out->sendShort(0x643C90); // a note, so a voice is really set up
        grown = std::max(grown, residentKb() - before);
    }
    state.counters["resident_growth_kB"] = static_cast<double>(grown);
}
BENCHMARK(BM_FluidSynthStartUp)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();
