// The channel filter's preparation followed by the converter, on songs like the ones users
// open (format 1, 15 channels and drums, sustain, expression, bends, tempo changes) of about
// 100 KB and 1 MB: the time should grow linearly with the size. Also the median share of
// notes kept over the test corpus and the music set, when installed.
#include "QmixCalls.h"
#include "SongGenerator.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using namespace orka::test;

Bytes songOfSize(std::size_t bytes)
{
    SongStyle style;
    style.channels = 15;
    style.bars = 16;
    Bytes song = generatedSong(style);
    // Bars grow the song linearly; scale them to the size wanted.
    style.bars = static_cast<int>(static_cast<double>(style.bars) * static_cast<double>(bytes) / static_cast<double>(song.size())) + 1;
    return generatedSong(style);
}

void prepareAndConvert(benchmark::State& state, std::size_t bytes)
{
    const Bytes song = songOfSize(bytes);
    std::size_t kept = 0, total = 0;
    for (auto _ : state) {
        std::int32_t result = -1;
        const Bytes prepared = prepare(song, allChannels(), &result);
        if (result != 0 || !converterRefusal(prepared).empty()) {
            state.SkipWithError("not converted");
            break;
        }
        const auto counts = orka::common::lastNoteCounts(qmixLog());
        kept = counts ? counts->kept : 0;
        total = counts ? counts->total : 0;
    }
    state.counters["smf_bytes"] = static_cast<double>(song.size());
    state.counters["notes"] = static_cast<double>(total);
    state.counters["share_kept"] = total ? static_cast<double>(kept) / static_cast<double>(total) : 0.0;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * song.size()));
}

void BM_PrepareAndConvert100KB(benchmark::State& state) { prepareAndConvert(state, 100 * 1024); }
void BM_PrepareAndConvert1MB(benchmark::State& state) { prepareAndConvert(state, 1024 * 1024); }

void BM_CorpusMedianShareKept(benchmark::State& state)
{
    std::vector<Bytes> songs;
    for (const char* folder : {ORKA_QMIX_CORPUS, "/usr/share/games/openttd/baseset/openmsx"}) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
            if (entry.path().extension() == ".mid") {
                std::ifstream in(entry.path(), std::ios::binary);
                songs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            }
    }
    std::vector<double> shares;
    std::size_t converted = 0;
    for (auto _ : state) {
        shares.clear();
        converted = 0;
        for (const Bytes& song : songs) {
            std::int32_t result = -1;
            const Bytes prepared = prepare(song, allChannels(), &result);
            converted += result == 0 && converterRefusal(prepared).empty();
            if (const auto counts = orka::common::lastNoteCounts(qmixLog()); counts && counts->total > 0)
                shares.push_back(static_cast<double>(counts->kept) / static_cast<double>(counts->total));
        }
    }
    std::sort(shares.begin(), shares.end());
    state.counters["songs"] = static_cast<double>(songs.size());
    state.counters["converted"] = static_cast<double>(converted);
    state.counters["median_share_kept"] = shares.empty() ? 0.0 : shares[shares.size() / 2];
    state.counters["lowest_share_kept"] = shares.empty() ? 0.0 : shares.front();
}

BENCHMARK(BM_PrepareAndConvert100KB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrepareAndConvert1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CorpusMedianShareKept)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
