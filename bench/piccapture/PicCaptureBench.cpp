// Capture page costs, on the offscreen platform:
//   piccapture_bench --benchmark_filter=OpenGif   open a 100-frame GIF on the capture animation
//                                                 page (frame index, every frame decoded, strip)
//   piccapture_bench --benchmark_filter=Capture   take a 128 x 124 wallpaper from a 2048 x 1536 picture
#include "orka/picture/CaptureFrame.h"
#include "orka/picture/GifCodec.h"
#include "orka/picture/PictureFile.h"
#include "orka/picture/ui/CaptureAnimationPage.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <random>

using namespace orka;

namespace {

DibPicture photoLike(int width, int height, unsigned seed)
{
    DibPicture p(width, height, 3);
    std::mt19937 rng(seed);
    for (std::uint32_t y = 0; y < p.height(); ++y)
        for (std::uint32_t x = 0; x < p.width(); ++x) {
            std::uint8_t* q = p.row(y) + 3 * x;
            q[0] = std::uint8_t(x * 2 + rng() % 16);
            q[1] = std::uint8_t(y + seed * 7 + rng() % 16);
            q[2] = std::uint8_t((x + y) + rng() % 16);
        }
    return p;
}

// A 100-frame animation of the given size, each frame its own picture.
QString hundredFrameGif(const QTemporaryDir& dir, int width, int height)
{
    std::vector<DibPicture> frames;
    for (unsigned i = 0; i < 100; ++i)
        frames.push_back(photoLike(width, height, i));
    const QString path = dir.filePath(QStringLiteral("anim%1x%2.gif").arg(width).arg(height));
    writePictureFile(path.toStdString(), encodeAnimationGif(frames, std::vector<int>(100, 10)));
    return path;
}

void BM_OpenGif100Frames(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString gif = hundredFrameGif(dir, int(state.range(0)), int(state.range(1)));
    picture::ui::CaptureAnimationPage page;
    for (auto _ : state) {
        if (!page.setSourceFile(gif))
            state.SkipWithError("the animation was refused");
        benchmark::DoNotOptimize(page.frameCount());
    }
    state.SetLabel("100 frames");
}
BENCHMARK(BM_OpenGif100Frames)->Args({128, 160})->Args({320, 240})->Unit(benchmark::kMillisecond);

void BM_CaptureWallpaperFrom2048x1536(benchmark::State& state)
{
    const DibPicture source = photoLike(2048, 1536, 1);
    const CaptureFrame frame(source.width(), source.height(), 128, 124);
    for (auto _ : state)
        benchmark::DoNotOptimize(cropAndScale(source, frame.rect(), 128, 124));
}
BENCHMARK(BM_CaptureWallpaperFrom2048x1536)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("ORKA_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
