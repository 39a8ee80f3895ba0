// The gallery on disk:
//  - opening a folder file of 1000 caller photos and writing it back, against reading and
//    writing the same bytes with plain file calls (counter ratio_to_plain, goal at most 2);
//  - `orkactl gallery --json` on a gallery of 5 user folders of 1000 caller photos each
//    (goal under 200 ms a run).
#include "orka/app/COrkaDoc.h"
#include "orka/testing/ToolRunner.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <sys/resource.h>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace orka::app;
namespace fs = std::filesystem;

namespace {

constexpr int kPhotos = 1000;
constexpr int kFolders = 5;

GalleryItem photo(int n)
{
    PictureContent p;
    p.bitmap.width = 45;
    p.bitmap.height = 55;
    p.bitmap.padding = 3;
    p.bitmap.pixels.assign(Bitmap::bytesFor(45, 55, 3), std::uint8_t(n));
    return GalleryItem::make("photo " + std::to_string(n), p);
}

// A gallery whose user folders 40003... hold kPhotos caller photos each.
void makeGallery(const fs::path& dir, int folders)
{
    COrkaDoc doc(dir);
    doc.build();
    for (int f = 0; f < folders; ++f) {
        const int id = 40003 + f;
        doc.addLocalFolder(40000, id, "faces " + std::to_string(f));
        doc.openFolder(id);
        for (int i = 0; i < kPhotos; ++i)
            doc.addItem(id, photo(i));
        doc.saveFolder(id);
    }
    doc.saveTree();
}

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Processor time: the build machines are shared, so wall time mostly measures the others.
double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double childrenCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void plainReadWrite(const fs::path& file)
{
    std::FILE* in = std::fopen(file.c_str(), "rb");
    std::vector<char> bytes(fs::file_size(file));
    if (std::fread(bytes.data(), 1, bytes.size(), in) != bytes.size())
        std::abort();
    std::fclose(in);
    std::FILE* out = std::fopen(file.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
}

void FolderOfCallerPhotosOpenAndSave(benchmark::State& state)
{
    orka::testing::ScratchDir dir("orka-bench-doc");
    makeGallery(dir.path(), 1);
    const fs::path file = dir.path() / "大頭貼_faces 0.orka";
    double doc = 0, plain = 0, docCpu = 0, plainCpu = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        double c0 = threadCpuSeconds();
        {
            COrkaDoc d(dir.path());
            d.build();
            if (d.openFolder(40003).items.size() != kPhotos)
                state.SkipWithError("photos missing");
            d.saveFolder(40003);
        }
        const double s = seconds(t0);
        docCpu += threadCpuSeconds() - c0;
        doc += s;
        state.SetIterationTime(s);
        t0 = std::chrono::steady_clock::now();
        c0 = threadCpuSeconds();
        plainReadWrite(file);
        plainCpu += threadCpuSeconds() - c0;
        plain += seconds(t0);
    }
    const double n = double(state.iterations());
    state.counters["file_bytes"] = double(fs::file_size(file));
    state.counters["doc_ms"] = doc / n * 1e3;
    state.counters["plain_ms"] = plain / n * 1e3;
    state.counters["ratio_to_plain"] = doc / plain;
    state.counters["doc_cpu_ms"] = docCpu / n * 1e3;
    state.counters["plain_cpu_ms"] = plainCpu / n * 1e3;
    state.counters["cpu_ratio_to_plain"] = docCpu / plainCpu;
}
BENCHMARK(FolderOfCallerPhotosOpenAndSave)->UseManualTime()->Unit(benchmark::kMillisecond);

void OrkactlGalleryJson(benchmark::State& state)
{
    orka::testing::ScratchDir home("orka-bench-json");
    makeGallery(home.path() / "gallery", kFolders);
    const std::string command = "ORKA_HOME=" + orka::testing::shellQuote(home.path().string()) + " " +
                                orka::testing::shellQuote(orka::testing::testBinary("orkactl").string()) +
                                " gallery --json";
    std::size_t bytes = 0;
    const double c0 = childrenCpuSeconds();
    for (auto _ : state) {
        const auto run = orka::testing::runShell(command);
        if (run.code != 0)
            state.SkipWithError("orkactl failed");
        bytes = run.out.size();
    }
    state.counters["json_bytes"] = double(bytes);
    state.counters["cpu_ms_per_run"] = (childrenCpuSeconds() - c0) / double(state.iterations()) * 1e3;
    state.counters["items"] = kFolders * kPhotos;
}
BENCHMARK(OrkactlGalleryJson)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
