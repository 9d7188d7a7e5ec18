// Exporting ten deep items (one line each, 48 pt Arial, depth 50, 3D) from a full-HD
// composition at 4x (7680 x 4320): as an opaque PNG, as a transparent PNG, and as SVG and
// PDF, which stay small whatever the scale; and the opaque and transparent compositions
// alone.
#include "BenchMain.h"
#include "BenchItems.h"
#include "compose/PictureExport.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {
// range 0: the format; range 1: 1 for a transparent background.
void ExportTenDeepItemsAt4x(benchmark::State &state)
{
    const auto format = ExportFormat(state.range(0));
    const bool transparent = state.range(1) != 0;
    const ItemTable table = bench::tenDeepItems();
    const Raster bg(1920, 1080, 24, makeColor(20, 40, 90));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("export") + exportExtension(format));
    for (auto _ : state)
        ExportPicture(path, bg, table, ExportOptions{format, transparent, 4});
    state.counters["file_MB"] = double(QFileInfo(path).size()) / (1024.0 * 1024.0);
}
BENCHMARK(ExportTenDeepItemsAt4x)
    ->Args({int(ExportFormat::Png), 0})
    ->Args({int(ExportFormat::Png), 1})
    ->Args({int(ExportFormat::Svg), 1})
    ->Args({int(ExportFormat::Pdf), 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
// The composition alone at 4x, without encoding: range 0 is 1 for a transparent picture
// (drawn over nothing, straight alpha), 0 for the stretched background.
void ComposeTenDeepItemsAt4x(benchmark::State &state)
{
    const ItemTable table = bench::tenDeepItems();
    const Raster bg(1920, 1080);
    for (auto _ : state) {
        if (state.range(0)) {
            const QImage out = ComposeTransparent(QSize(1920, 1080), table, 4);
            benchmark::DoNotOptimize(out.constBits());
        } else {
            const Raster out = ComposeScaled(bg, table, 4);
            benchmark::DoNotOptimize(out.image().constBits());
        }
    }
}
BENCHMARK(ComposeTenDeepItemsAt4x)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->MeasureProcessCPUTime()->UseRealTime();
} // namespace

int main(int argc, char **argv) { return runTextBenchmarks<QGuiApplication>(argc, argv); }
