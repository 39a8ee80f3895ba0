// The main window with a large gallery: five caller-photo folders of 1000 items each.
//   BM_StartToPaintedWindow  the document built from its files, the window made, shown and
//                            painted once (goal: under 1 s); resident memory after it
//   BM_SwitchFolder          showing another 1000-item folder in the thumbnails, painted
//   BM_ScrollThumbnails      one scroll step of the thumbnails and its repaint (goal: 16 ms)
//   BM_ProgramStart          the orka program from its start until its window answers later
//                            copies (settings, link preparation, document, window shown)
// Run with QT_QPA_PLATFORM=offscreen on a machine without a screen.
#include "orka/app/COrkaDoc.h"
#include "orka/app/OrkaApp.h"
#include "orka/app/Settings.h"
#include "orka/app/ui/CMainFrame.h"
#include "orka/app/ui/DataViews.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QScrollBar>
#include <QThread>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <string>

using namespace orka::app;
using namespace orka::app::ui;

namespace {

constexpr int kCallerPhotos = 40000;
constexpr int kFolders = 5;
constexpr int kItemsPerFolder = 1000;
constexpr std::uint8_t kPhotoWidth = 45;
constexpr std::uint8_t kPhotoHeight = 55;
constexpr std::uint8_t kPhotoPadding = 3; // rows padded to a multiple of 4 pixels

std::unique_ptr<QTemporaryDir> g_home;

std::string galleryDir() { return g_home->filePath(QStringLiteral("gallery")).toStdString(); }

// Each photo a different gradient, so that no two scale alike.
GalleryItem photo(int number)
{
    Bitmap b{kPhotoWidth, kPhotoHeight, kPhotoPadding, {}};
    b.pixels.resize(Bitmap::bytesFor(kPhotoWidth, kPhotoHeight, kPhotoPadding));
    for (std::size_t i = 0; i < b.pixels.size(); ++i)
        b.pixels[i] = std::uint8_t(i * 7 + std::size_t(number) * 13);
    return GalleryItem::make("photo " + std::to_string(number), PictureContent{b});
}

void makeGallery()
{
    COrkaDoc doc(galleryDir());
    doc.build();
    for (int f = 0; f < kFolders; ++f) {
        const int id = kCallerPhotos + kFirstUserSlot + f;
        doc.addLocalFolder(kCallerPhotos, id, "folder " + std::to_string(f));
        for (int i = 0; i < kItemsPerFolder; ++i)
            doc.addItem(id, photo(f * kItemsPerFolder + i));
        doc.saveFolder(id);
    }
    doc.saveTree();
}

long residentKb(const std::string& process = "self")
{
    std::ifstream status("/proc/" + process + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

constexpr int kFirstFolder = kCallerPhotos + kFirstUserSlot;

void BM_StartToPaintedWindow(benchmark::State& state)
{
    for (auto _ : state) {
        COrkaDoc doc(galleryDir());
        doc.build(kFirstFolder);
        COrkaApp app;
        CMainFrame frame(app, doc);
        frame.resize(1024, 768);
        frame.show();
        frame.showNode(kFirstFolder);
        benchmark::DoNotOptimize(frame.grab());
        state.counters["resident_MB"] = double(residentKb()) / 1024.0;
        frame.close();
    }
}
BENCHMARK(BM_StartToPaintedWindow)->Unit(benchmark::kMillisecond)->Iterations(5);

struct ShownWindow {
    COrkaDoc doc{galleryDir()};
    COrkaApp app;
    std::unique_ptr<CMainFrame> frame;
    ShownWindow()
    {
        doc.build(kFirstFolder);
        frame = std::make_unique<CMainFrame>(app, doc);
        frame->resize(1024, 768);
        frame->show();
        QApplication::processEvents();
    }
};

void BM_SwitchFolder(benchmark::State& state)
{
    ShownWindow w;
    int next = 0;
    for (auto _ : state) {
        next = (next + 1) % kFolders;
        w.frame->showNode(kFirstFolder + next);
        QApplication::processEvents(); // the batched layout of the grid
        benchmark::DoNotOptimize(w.frame->dataPane()->thumbnails()->viewport()->grab());
    }
}
BENCHMARK(BM_SwitchFolder)->Unit(benchmark::kMillisecond);

void BM_ScrollThumbnails(benchmark::State& state)
{
    ShownWindow w;
    COrkaScrollViewEx* view = w.frame->dataPane()->thumbnails();
    w.frame->showNode(kFirstFolder);
    QApplication::processEvents();
    QScrollBar* bar = view->verticalScrollBar();
    const int step = COrkaScrollViewEx::kCellHeight / 2;
    for (auto _ : state) {
        // Down to the end and back to the top, half a row per frame.
        int value = bar->value() + step;
        if (value > bar->maximum())
            value = 0;
        bar->setValue(value);
        benchmark::DoNotOptimize(view->viewport()->grab());
    }
    state.counters["rows_total"] = double(bar->maximum() / COrkaScrollViewEx::kCellHeight);
}
BENCHMARK(BM_ScrollThumbnails)->Unit(benchmark::kMillisecond);

void BM_ProgramStart(benchmark::State& state)
{
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/orka");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ORKA_HOME"), g_home->path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const QDir windows(g_home->filePath(QStringLiteral("windows")));
    for (auto _ : state) {
        QProcess orka;
        orka.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        orka.start(program, {});
        // The window's channel opens once the window shows.
        while (windows.entryList({QStringLiteral("*.sock")}, QDir::System).isEmpty() && clock.elapsed() < 20000)
            QThread::usleep(500);
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        state.counters["program_resident_MB"] = double(residentKb(std::to_string(orka.processId()))) / 1024.0;
        orka.kill();
        orka.waitForFinished();
        for (const QString& socket : windows.entryList({QStringLiteral("*.sock")}, QDir::System))
            QFile::remove(windows.filePath(socket));
    }
}
BENCHMARK(BM_ProgramStart)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    g_home = std::make_unique<QTemporaryDir>();
    qputenv("ORKA_HOME", g_home->path().toUtf8());
    makeGallery();
    // Management mode: the program starts without the wizard.
    AppSettings settings;
    settings.uiInfo.setLastMode(WorkingMode::Management);
    saveSettings(settings);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_home.reset();
    return 0;
}
