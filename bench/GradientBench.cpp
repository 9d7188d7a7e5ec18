// The ten background gradient kinds on a screen-sized picture, as the background page
// paints them when a kind button is clicked (progress reported at every step).
#include "compose/GradientPainters.h"

#include <benchmark/benchmark.h>

static void BM_Gradient(benchmark::State &state)
{
    const int kind = int(state.range(0));
    ImageBox image(QStringLiteral("BackImage"));
    SetImageSize(image, 1920, 1080);
    int gauge = 0;
    for (auto _ : state) {
        CanvasTools tools;
        PaintGradient(kind, image, tools, Colors::clAqua, Colors::clBlue, [&gauge](int p) { gauge = p; });
        benchmark::DoNotOptimize(image.picture.image().constBits());
    }
    benchmark::DoNotOptimize(gauge);
    state.SetLabel("kind " + std::to_string(kind) + ", 1920 x 1080");
}
BENCHMARK(BM_Gradient)->DenseRange(1, 10)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
