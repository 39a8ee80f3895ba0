// What one user action on the edit picture page costs, repaint of the picture view included,
// on a 128 x 160 picture (the goal is one frame, 16 ms):
//   picedit_bench                               all of them
//   picedit_bench --benchmark_filter=Pen        a 20-point pen stroke
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include "AdjustmentDialogs.h"
#include "EditPicturePage.h"
#include "PictureCanvas.h"
#include "demo/SampleScene.h"

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include <benchmark/benchmark.h>

using namespace orka;
using namespace orka::ui;

namespace {

// A shown page holding one 128 x 160 picture, and the repaint of its picture view.
struct PageFixture {
    EditPicturePage page;
    QImage target;

    PageFixture()
    {
        page.resize(900, 640);
        page.show();
        page.setPictures({sampleScene()}, 20000);
        target = QImage(page.canvas()->size(), QImage::Format_RGB32);
    }
    void repaint() { page.canvas()->render(&target); }
    QPoint at(int x, int y) const
    {
        return page.canvas()->pictureOrigin() + QPoint(int(x * page.canvas()->zoom()), int(y * page.canvas()->zoom()));
    }
    void penStroke(int points)
    {
        PictureCanvas* canvas = page.canvas();
        QTest::mousePress(canvas, Qt::LeftButton, {}, at(5, 5));
        for (int i = 1; i < points; ++i) {
            QTest::mouseMove(canvas, at(5 + i * 5, 5 + (i * 37) % 150));
            repaint();
        }
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, at(120, 150));
        repaint();
    }
};

// Press, 18 moves, release, each followed by a repaint as the user would see it; the time
// is for the whole stroke (one step of it is a twentieth).
void BM_PenStroke20Points(benchmark::State& state)
{
    PageFixture f;
    for (auto _ : state)
        f.penStroke(20);
}

void BM_ApplyText(benchmark::State& state)
{
    PageFixture f;
    f.page.selectTool(EditPicturePage::Tool::Text);
    f.page.findChild<QLineEdit*>(QStringLiteral("textEdit"))->setText(QStringLiteral("編輯圖片 Q5"));
    for (auto _ : state) {
        f.page.applyText();
        f.repaint();
    }
}

// Opening the HSL dialog, moving a bar (the preview follows), pressing OK and repainting.
void BM_HslDialogOk(benchmark::State& state)
{
    PageFixture f;
    int hue = 0;
    for (auto _ : state) {
        f.page.openHslDialog();
        auto* dialog = f.page.findChild<HslDialog*>();
        dialog->findChild<QScrollBar*>(QStringLiteral("hueBar"))->setValue(hue = (hue + 7) % 180);
        dialog->accept();
        f.repaint();
        delete dialog; // closed dialogs are deleted later by Qt; here at once
    }
}

// One move of the HSL dialog's hue bar: the after preview follows.
void BM_HslPreviewMove(benchmark::State& state)
{
    PageFixture f;
    f.page.openHslDialog();
    auto* bar = f.page.findChild<HslDialog*>()->findChild<QScrollBar*>(QStringLiteral("hueBar"));
    int hue = 0;
    for (auto _ : state)
        bar->setValue(hue = (hue + 7) % 180);
}

// Undo and redo of pen strokes with a repaint each, with an HSL setting in effect so the
// drawn picture is adjusted too.
void undoRedo(benchmark::State& state, bool timeUndo)
{
    PageFixture f;
    f.page.openHslDialog();
    auto* dialog = f.page.findChild<HslDialog*>();
    dialog->findChild<QScrollBar*>(QStringLiteral("hueBar"))->setValue(40);
    dialog->accept();
    for (int i = 0; i < 10; ++i)
        f.penStroke(5);
    for (auto _ : state) {
        if (!timeUndo)
            state.PauseTiming();
        f.page.undo();
        f.repaint();
        if (timeUndo)
            state.PauseTiming();
        else
            state.ResumeTiming();
        f.page.redo();
        f.repaint();
        if (timeUndo)
            state.ResumeTiming();
    }
}

void BM_Undo(benchmark::State& state) { undoRedo(state, true); }
void BM_Redo(benchmark::State& state) { undoRedo(state, false); }

} // namespace

BENCHMARK(BM_PenStroke20Points)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApplyText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HslDialogOk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HslPreviewMove)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Undo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Redo)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
