// What a user waits for in the text composition: a full redraw of ten items (one line each,
// 48 pt Arial, depth 50, 3D) on a full-HD picture and on the design size, one undo push and
// one undo step, and the memory that 101 snapshots hold.
#include "BenchMain.h"
#include "BenchItems.h"
#include "app/TextPainter.h"
#include "app/UndoHistory.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

namespace {
void FullRedraw(benchmark::State &state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    const ItemTable table = bench::tenDeepItems();
    OwnedLayers owned;
    ResizeLayers(owned.layers, w, h);
    InitPics(owned.layers);
    owned.bg.picture.fill(makeColor(20, 40, 90));
    std::uint8_t type = 1;
    ItemAttributes controls;
    for (auto _ : state) {
        ComposeItems(owned.layers, table, [&](int k) {
            loadItemRow(table.rows[size_t(k)], table.surfaces[size_t(k)], controls, type);
            return controls;
        });
        benchmark::DoNotOptimize(owned.title.picture.image().constBits());
    }
}
BENCHMARK(FullRedraw)->Args({1920, 1080})->Args({462, 220})->Unit(benchmark::kMillisecond);

// What a batch render does in process: the composition of the ten rows over a full-HD
// background (range 1: 0 empty rows, 1 the ten deep items).
void ComposeFullHd(benchmark::State &state)
{
    const ItemTable table = state.range(0) ? bench::tenDeepItems() : ItemTable{};
    const Raster bg(1920, 1080);
    for (auto _ : state) {
        const Raster out = ComposePicture(bg, table);
        benchmark::DoNotOptimize(out.image().constBits());
    }
}
BENCHMARK(ComposeFullHd)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

Raster renderedPicture(int shift)
{
    ItemTable table = bench::tenDeepItems();
    table.rows[0].cells[CellXPos] = QString::number(60 + shift);
    Raster bg(1920, 1080, 24, makeColor(20, 40, 90));
    return ComposePicture(bg, table);
}

void UndoPush(benchmark::State &state)
{
    const Raster a = renderedPicture(0), b = renderedPicture(7);
    UndoHistory h;
    h.push(a, 1920, 1080);
    bool flip = false;
    for (auto _ : state) {
        h.push(flip ? a : b, 1920, 1080);
        flip = !flip;
        if (h.count() == UndoHistory::MaxSnapshots) {
            state.PauseTiming();
            h.clear();
            h.push(a, 1920, 1080);
            state.ResumeTiming();
        }
    }
}
BENCHMARK(UndoPush)->Unit(benchmark::kMillisecond);

void UndoStep(benchmark::State &state)
{
    UndoHistory h;
    h.push(renderedPicture(0), 1920, 1080);
    h.push(renderedPicture(7), 1920, 1080);
    Raster pic(1920, 1080);
    bool back = true;
    for (auto _ : state) {
        back ? h.undo(pic) : h.redo(pic);
        back = !back;
        benchmark::DoNotOptimize(pic.image().constBits());
    }
}
BENCHMARK(UndoStep)->Unit(benchmark::kMillisecond);

// 101 snapshots of successive redraws, each moving one item: reports their memory.
void HundredOneSnapshots(benchmark::State &state)
{
    std::vector<Raster> pictures;
    for (int i = 0; i < 4; ++i)
        pictures.push_back(renderedPicture(i * 5));
    for (auto _ : state) {
        UndoHistory h;
        for (int i = 0; i < UndoHistory::MaxSnapshots; ++i)
            h.push(pictures[size_t(i % 4)], 1920, 1080);
        state.counters["MB"] = double(h.memoryBytes()) / (1024.0 * 1024.0);
        state.counters["naive_MB"] = 101.0 * 1920 * 1080 * 3 / (1024.0 * 1024.0);
    }
}
BENCHMARK(HundredOneSnapshots)->Unit(benchmark::kMillisecond)->Iterations(1);
} // namespace

int main(int argc, char **argv) { return runTextBenchmarks<QGuiApplication>(argc, argv); }
