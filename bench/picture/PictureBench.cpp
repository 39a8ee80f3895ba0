// Picture editor and animation costs:
//   picture_bench --benchmark_filter=Adjust    all three colour groups on a 128 x 160 picture
//   picture_bench --benchmark_filter=Gif       index a 100-frame 320 x 240 GIF, decode 5 frames
#include "orka/picture/Animation.h"
#include "orka/picture/GifCodec.h"
#include "orka/picture/PictureAdjustments.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace orka;

namespace {

DibPicture photoLike(int width, int height)
{
    DibPicture p(width, height, 3);
    std::mt19937 rng(1);
    for (std::uint32_t y = 0; y < p.height(); ++y)
        for (std::uint32_t x = 0; x < p.width(); ++x) {
            std::uint8_t* q = p.row(y) + 3 * x;
            q[0] = std::uint8_t(x * 2 + rng() % 16);
            q[1] = std::uint8_t(y + rng() % 16);
            q[2] = std::uint8_t((x + y) + rng() % 16);
        }
    return p;
}

void BM_AdjustAllGroups128x160(benchmark::State& state)
{
    const DibPicture picture = photoLike(128, 160);
    PictureAdjustments a;
    a.redOffset = 20;
    a.greenOffset = -10;
    a.blueOffset = 5;
    a.setHslPositions(30, 20, 10);
    a.setContrastPositions(15, -10);
    for (auto _ : state) {
        DibPicture out = applyAdjustments(picture, a);
        benchmark::DoNotOptimize(out.pixels());
    }
    state.SetItemsProcessed(state.iterations() * 128 * 160);
}
BENCHMARK(BM_AdjustAllGroups128x160)->Unit(benchmark::kMicrosecond);

// 100 frames of 320 x 240: a moving band over a background, a partial frame now and then,
// the way animations from the web look.
std::vector<std::uint8_t> hundredFrameGif()
{
    std::vector<GifColor> table(256);
    for (int i = 0; i < 256; ++i)
        table[std::size_t(i)] = GifColor{std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i * 7), 0};
    GifWriter w;
    w.putScreen(320, 240, table, 0);
    std::vector<std::uint8_t> line(320);
    for (int f = 0; f < 100; ++f) {
        w.putGraphicControl(1, false, std::uint16_t(5 + f % 7), -1);
        w.putImageDescriptor(0, 0, 320, 240, {}, false);
        for (int y = 0; y < 240; ++y) {
            for (int x = 0; x < 320; ++x)
                line[std::size_t(x)] = std::uint8_t(((x + f * 3) / 16 + y / 24) % 64 + (std::abs(y - f * 2) < 10 ? 128 : 0));
            w.putPixelLine(line);
        }
    }
    return w.finish();
}

void BM_GifIndexAndDecodeFive(benchmark::State& state)
{
    const std::vector<std::uint8_t> bytes = hundredFrameGif();
    for (auto _ : state) {
        Animation animation = Animation::fromBytes(bytes);
        for (int index : selectByAverageCount(animation.frameCount()))
            benchmark::DoNotOptimize(animation.picture(index).pixels());
    }
    state.counters["file_kb"] = double(bytes.size()) / 1024.0;
}
BENCHMARK(BM_GifIndexAndDecodeFive)->Unit(benchmark::kMillisecond);

void BM_GifIndexOnly(benchmark::State& state)
{
    const std::vector<std::uint8_t> bytes = hundredFrameGif();
    for (auto _ : state) {
        GifAnimationReader reader(bytes);
        benchmark::DoNotOptimize(reader.frameCount());
    }
}
BENCHMARK(BM_GifIndexOnly)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
