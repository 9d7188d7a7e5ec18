// Exporting ten deep items (one line each, 48 pt Arial, depth 50, 3D) from a full-HD
// composition at 4x (7680 x 4320): as an opaque PNG, as a transparent PNG (two
// compositions and the alpha), and as SVG and PDF, which stay small whatever the scale.
#include "app/PictureExport.h"
#include "core/HintedGlyphs.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {
ItemTable tenDeepItems()
{
    ItemTable table;
    for (int k = 0; k < ItemCount; ++k) {
        ItemRow &r = table.rows[size_t(k)];
        r.caption = QStringLiteral("Letrafex%1").arg(k);
        r.cells[CellFontDepth] = QStringLiteral("50");
        r.cells[CellXPos] = QString::number(60 + 40 * k);
        r.cells[CellYPos] = QString::number(60 + 90 * k);
        r.cells[CellDirection] = QString::number(1 + k % 6);
        r.cells[CellAlignment] = QStringLiteral("1");
        r.cells[CellStyleSet] = QStringLiteral("0");
    }
    return table;
}

// range 0: the format; range 1: 1 for a transparent background.
void ExportTenDeepItemsAt4x(benchmark::State &state)
{
    const auto format = ExportFormat(state.range(0));
    const bool transparent = state.range(1) != 0;
    const ItemTable table = tenDeepItems();
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
    ->Iterations(3);
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    useHintedGlyphsAtEverySize();
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
