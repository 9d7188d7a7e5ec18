// One click of the 3D style button in the main window, as the user waits for it: the
// redraw of the picture, the undo snapshot and whatever the window does meanwhile (the
// progress gauge) until it shows the new picture, at 1920 x 1080 with one item of depth 50 (goal: one frame, 16 ms).
// Each click draws the item at another place, so the snapshot holds changed pixels.
// Runs the real main window, offscreen unless QT_QPA_PLATFORM names another platform.
#include "BenchMain.h"
#include "BenchWindow.h"
#include "ui/Controls.h"

#include <QApplication>
#include <QLineEdit>
#include <QSpinBox>
#include <QTextEdit>
#include <QToolButton>
#include <benchmark/benchmark.h>

namespace {

void clickStyle(benchmark::State &state, bool surface)
{
    bench::BenchWindow window(int(state.range(0)), int(state.range(1)));
    window->findChild<QTextEdit *>(QStringLiteral("TextMemo"))->setPlainText(QStringLiteral("Letrafex"));
    window->findChild<TSpinEdit *>(QStringLiteral("FontDepth"))->setValue(50);
    window->findChild<TNumberEdit *>(QStringLiteral("YEdit"))->setText(QStringLiteral("300"));
    if (surface) {
        Raster picture(64, 64, 24, makeColor(200, 120, 40));
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                picture.setPixel(x, y, makeColor(30, 160, 220));
        window->findChild<TImage *>(QStringLiteral("SurfaceIconImage"))->picture() = picture;
    }
    int clicks = 0;
    for (auto _ : state) {
        state.PauseTiming();
        window->findChild<TNumberEdit *>(QStringLiteral("XEdit"))->setText(QString::number(200 + 40 * (clicks++ % 8)));
        state.ResumeTiming();
        window->findChild<QToolButton *>(QStringLiteral("Text3dButton"))->click();
        // The window shows the new picture.
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(window->findChild<TImage *>(QStringLiteral("TitleImage"))->picture().image().constBits());
    }
    state.counters["snapshots"] = window->composition().undo().count();
}

void StyleClick(benchmark::State &state) { clickStyle(state, false); }
void StyleClickWithSurface(benchmark::State &state) { clickStyle(state, true); }

} // namespace

// A fixed number of clicks, so that whole-process counters (perf stat, callgrind) of two
// builds compare the same work.
BENCHMARK(StyleClick)
    ->Args({1920, 1080})
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(StyleClickWithSurface)
    ->Args({1920, 1080})
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

int main(int argc, char **argv) { return runTextBenchmarks<QApplication>(argc, argv); }
