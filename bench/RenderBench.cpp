// What a user waits for in the text composition: a full redraw of ten items (one line each,
// 48 pt Arial, depth 50, 3D) on a full-HD picture and on the design size, the cost of large
// text against small, the window's redraw of three-line items at growing sizes, one undo
// push and one undo step, the memory that 101 snapshots hold, and one line far longer
// than the picture.
#include "BenchMain.h"
#include "BenchItems.h"
#include "compose/TextPainter.h"
#include "compose/UndoHistory.h"
#include "core/TextStamp.h"

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

// The cost of a text layer per pixel of its glyphs: one line of depth 50 at 64 px (glyphs
// from the glyph cache) and at 128 px (outlines) on full HD. per_glyph_pixel is the CPU
// time of one layer divided by the pixels one copy of the line inks.
void TextLayerPerGlyphPixel(benchmark::State &state)
{
    const int pixels = int(state.range(0)), points = pixels * 3 / 4;
    ItemTable table;
    ItemRow &r = table.rows[0];
    r.caption = QStringLiteral("Letrafex0");
    r.cells[CellFontSize] = QString::number(points);
    r.cells[CellFontDepth] = QStringLiteral("50");
    r.cells[CellXPos] = QStringLiteral("300");
    r.cells[CellYPos] = QStringLiteral("300");
    r.cells[CellDirection] = QString::number(DirDownRight);
    r.cells[CellAlignment] = QStringLiteral("1");
    r.cells[CellStyleSet] = QStringLiteral("0");
    ItemTable flat = table;
    flat.rows[0].cells[CellType] = QString::number(StyleFlat);
    const Raster white(1920, 1080);
    const Raster one = ComposePicture(white, flat);
    qint64 ink = 0;
    for (int y = 0; y < one.height(); ++y)
        for (int x = 0; x < one.width(); ++x)
            ink += one.pixelRgb(x, y) != white.pixelRgb(x, y);
    // A new text every time, so the line is rasterised anew as well ("Letrafex" and a
    // number).
    static int round = 0;
    for (auto _ : state) {
        table.rows[0].caption = QStringLiteral("Letrafex") + QString::number(round++);
        const Raster out = ComposePicture(white, table);
        benchmark::DoNotOptimize(out.image().constBits());
    }
    state.counters["glyph_pixels"] = double(ink);
    state.counters["per_glyph_pixel"] =
        benchmark::Counter(double(ink * 51), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(TextLayerPerGlyphPixel)->Arg(64)->Arg(128)->Unit(benchmark::kMillisecond);

// One line of range(0) characters at 100 px, depth 50 down-right from (10, 100) on 640 x 480:
// the copies begin left of the picture, where QPainter draws them, and end where the stamp
// does. A new text every time, so the line is shaped and rasterised anew.
void LongLine(benchmark::State &state)
{
    ItemTable table;
    ItemRow &r = table.rows[0];
    r.cells[CellFontSize] = QStringLiteral("75");
    r.cells[CellFontDepth] = QStringLiteral("50");
    r.cells[CellXPos] = QStringLiteral("10");
    r.cells[CellYPos] = QStringLiteral("100");
    r.cells[CellDirection] = QString::number(DirDownRight);
    const QString words = QStringLiteral("Letrafex long line of words ").repeated(int(state.range(0)) / 28 + 1);
    const Raster white(640, 480);
    static int round = 0;
    for (auto _ : state) {
        // One line: quoted, as the caption's comma text keeps a line with spaces.
        r.caption = QLatin1Char('"') + (QString::number(round++) + words).left(int(state.range(0))) + QLatin1Char('"');
        const Raster out = ComposePicture(white, table);
        benchmark::DoNotOptimize(out.image().constBits());
    }
}
BENCHMARK(LongLine)->Arg(100)->Arg(10000)->Arg(60000)->Unit(benchmark::kMillisecond);

// The window's redraw of ten three-line items of depth 50 on 1280 x 800, through the
// composition the window runs, at 48 pt (cached glyphs), 49, 72 and 100 pt (outlines).
// range 1: 0 redraws the same items (as a style click redraws the nine items that did not
// change), 1 gives every item a new text each time, so every line is rasterised anew.
void WindowRedrawThreeLines(benchmark::State &state)
{
    const int points = int(state.range(0));
    const bool newTexts = state.range(1) != 0;
    ItemTable table = bench::tenDeepItems();
    auto setTexts = [&](int round) {
        for (int k = 0; k < ItemCount; ++k)
            table.rows[size_t(k)].caption = QStringLiteral("Letrafex%1-%2,Second-%2,Third-%2").arg(k).arg(round % 100000);
    };
    setTexts(0);
    for (int k = 0; k < ItemCount; ++k) {
        ItemRow &r = table.rows[size_t(k)];
        r.cells[CellFontSize] = QString::number(points);
        r.cells[CellXPos] = QString::number(20 + 80 * k);
        r.cells[CellYPos] = QString::number(60 + 60 * k);
    }
    OwnedLayers owned;
    ResizeLayers(owned.layers, 1280, 800);
    InitPics(owned.layers);
    owned.bg.picture.fill(makeColor(20, 40, 90));
    std::uint8_t type = 1;
    ItemAttributes controls;
    static int round = 0; // never the same texts again, not even in a repetition
    for (auto _ : state) {
        if (newTexts)
            setTexts(++round);
        ComposeItems(owned.layers, table, [&](int k) {
            loadItemAsEditor(table, k, controls, type);
            return controls;
        });
        benchmark::DoNotOptimize(owned.title.picture.image().constBits());
    }
}
BENCHMARK(WindowRedrawThreeLines)
    ->ArgsProduct({{48, 49, 72, 100}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// The part of a redraw with new texts that the same texts skip: one new line (range 0 pt,
// 64 px at 48 pt, from 49 pt filled from outlines) shaped and rasterised once for stamping.
void NewLineStamp(benchmark::State &state)
{
    const QFont font = toQFont(CanvasFont{QStringLiteral("Arial"), int(state.range(0)), 0, 0});
    static int round = 0;
    for (auto _ : state) {
        const auto stamp = stampFor(QStringLiteral("Letrafex%1-%1,Second").arg(++round), font);
        benchmark::DoNotOptimize(stamp.get());
    }
}
BENCHMARK(NewLineStamp)->Arg(48)->Arg(49)->Arg(100)->Unit(benchmark::kMicrosecond);

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

// What the Undo and Redo buttons cost on each live redraw: twenty snapshots of one
// full-HD picture redrawn in place, and a redraw that changes only its last corner, the
// worst case for a comparison that stops at the first tile that differs.
void UndoButtonsOnRedraw(benchmark::State &state)
{
    UndoHistory h;
    Raster pic = renderedPicture(0);
    for (int i = 0; i < 20; ++i) {
        CopyPixels(renderedPicture(i % 4 * 5), pic);
        h.push(pic, 1920, 1080);
    }
    int round = 0;
    for (auto _ : state) {
        pic.setPixel(1919, 1079, makeColor(++round % 256, 0, 0));
        benchmark::DoNotOptimize(h.canUndo(pic) + h.canRedo(pic));
    }
}
BENCHMARK(UndoButtonsOnRedraw)->Unit(benchmark::kMillisecond);

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
