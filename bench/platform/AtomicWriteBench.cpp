// The all-or-nothing writer against plain writes of the same 1 MB file in the same folder.
// The writer flushes to the disk before it renames, so the fair plain reference is a write
// followed by fsync; a write left in the page cache is shown as well.
#include "orka/platform/StatePaths.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kFileBytes = 1 << 20;
// What a render hands over at a time.
constexpr std::size_t kPieceBytes = 8192;

const std::vector<char>& payload()
{
    static const std::vector<char> bytes(kFileBytes, 'x');
    return bytes;
}

fs::path target()
{
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("orka-atomic-bench-" + std::to_string(::getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir / "out.bin";
}

void plainWrite(benchmark::State& state)
{
    for (auto _ : state) {
        std::ofstream out(target(), std::ios::binary | std::ios::trunc);
        out.write(payload().data(), static_cast<std::streamsize>(payload().size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileBytes));
}

void plainWriteAndSync(benchmark::State& state)
{
    for (auto _ : state) {
        const int fd = ::open(target().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        benchmark::DoNotOptimize(::write(fd, payload().data(), payload().size()));
        ::fsync(fd);
        ::close(fd);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileBytes));
}

void atomicWholeBuffer(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(orka::platform::writeFileAtomically(target(), payload().data(), payload().size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileBytes));
}

void atomicInPieces(benchmark::State& state)
{
    for (auto _ : state) {
        orka::platform::AtomicFileWriter writer(target());
        for (std::size_t at = 0; at < kFileBytes; at += kPieceBytes)
            writer.write(payload().data() + at, kPieceBytes);
        benchmark::DoNotOptimize(writer.commit());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileBytes));
}

BENCHMARK(plainWrite)->Unit(benchmark::kMicrosecond);
BENCHMARK(plainWriteAndSync)->Unit(benchmark::kMicrosecond);
BENCHMARK(atomicWholeBuffer)->Unit(benchmark::kMicrosecond);
BENCHMARK(atomicInPieces)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
