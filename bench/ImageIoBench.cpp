// Loading and saving a large picture, as a user waits for it: a 4000 x 3000 24-bit
// picture read and written as BMP, JPEG and PNG, in memory and through files in /tmp.
// The files the file cases read are left in /tmp (letrafex-bench.*), so other programs
// can be timed on exactly the same input.
#include "core/Raster.h"
#include "imageio/BmpCodec.h"
#include "imageio/JpegCodec.h"
#if __has_include("imageio/PngCodec.h")
#include "imageio/PngCodec.h"
#define LETRAFEX_BENCH_PNG 1
#endif

#include <QByteArray>
#include <QFile>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

constexpr int Width = 4000;
constexpr int Height = 3000;

// Smooth gradients with fine texture, so the codecs see something like a photograph.
const Raster &picture()
{
    static const Raster raster = [] {
        QImage img(Width, Height, QImage::Format_RGB32);
        for (int y = 0; y < Height; ++y) {
            QRgb *row = reinterpret_cast<QRgb *>(img.scanLine(y));
            for (int x = 0; x < Width; ++x) {
                const int noise = int((x * 7919u + y * 104729u) * 2654435761u >> 28);
                const int r = (x * 255 / Width + noise) & 255;
                const int g = (y * 255 / Height + noise / 2) & 255;
                const int b = int(127.5 + 127.5 * std::sin((x + y) / 200.0));
                row[x] = qRgb(r, g, b);
            }
        }
        return Raster::fromImage(img, 24);
    }();
    return raster;
}

QString benchFile(const char *extension) { return QStringLiteral("/tmp/letrafex-bench.") + QLatin1String(extension); }

void setBytes(benchmark::State &state, qint64 perIteration)
{
    state.SetBytesProcessed(state.iterations() * perIteration);
}

void BM_BmpWriteMemory(benchmark::State &state)
{
    const Raster &r = picture();
    qint64 size = 0;
    for (auto _ : state) {
        const QByteArray data = WriteBmp(r);
        size = data.size();
        benchmark::DoNotOptimize(data.constData());
    }
    setBytes(state, size);
}

void BM_BmpReadMemory(benchmark::State &state)
{
    const QByteArray data = WriteBmp(picture());
    for (auto _ : state) {
        const Raster r = ReadBmp(data);
        benchmark::DoNotOptimize(r.image().constBits());
    }
    setBytes(state, data.size());
}

void BM_BmpSaveFile(benchmark::State &state)
{
    const Raster &r = picture();
    for (auto _ : state)
        SaveBmpFile(benchFile("out.bmp"), r);
}

void BM_BmpLoadFile(benchmark::State &state)
{
    SaveBmpFile(benchFile("bmp"), picture());
    for (auto _ : state) {
        const Raster r = LoadBmpFile(benchFile("bmp"));
        benchmark::DoNotOptimize(r.image().constBits());
    }
}

// What `convert in.bmp out.bmp` does.
void BM_BmpLoadAndSaveFile(benchmark::State &state)
{
    SaveBmpFile(benchFile("bmp"), picture());
    for (auto _ : state)
        SaveBmpFile(benchFile("out.bmp"), LoadBmpFile(benchFile("bmp")));
}

void BM_JpegWriteMemory(benchmark::State &state)
{
    const Raster &r = picture();
    for (auto _ : state) {
        const QByteArray data = WriteJpeg(r);
        benchmark::DoNotOptimize(data.constData());
    }
}

void BM_JpegReadMemory(benchmark::State &state)
{
    const QByteArray data = WriteJpeg(picture());
    for (auto _ : state) {
        const Raster r = ReadJpeg(data);
        benchmark::DoNotOptimize(r.image().constBits());
    }
}

void BM_JpegSaveFile(benchmark::State &state)
{
    const Raster &r = picture();
    for (auto _ : state)
        SaveJpegFile(benchFile("out.jpg"), r);
}

void BM_JpegLoadFile(benchmark::State &state)
{
    SaveJpegFile(benchFile("jpg"), picture());
    for (auto _ : state) {
        const Raster r = LoadJpegFile(benchFile("jpg"));
        benchmark::DoNotOptimize(r.image().constBits());
    }
}

#ifdef LETRAFEX_BENCH_PNG
void BM_PngSaveFile(benchmark::State &state)
{
    const Raster &r = picture();
    for (auto _ : state)
        if (!SavePngFile(benchFile("out.png"), r))
            state.SkipWithError("PNG save failed");
}

void BM_PngLoadFile(benchmark::State &state)
{
    if (!SavePngFile(benchFile("png"), picture())) {
        state.SkipWithError("PNG save failed");
        return;
    }
    for (auto _ : state) {
        Raster r;
        if (!LoadPngFile(benchFile("png"), r))
            state.SkipWithError("PNG load failed");
        benchmark::DoNotOptimize(r.image().constBits());
    }
}
#endif

} // namespace

BENCHMARK(BM_BmpWriteMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BmpReadMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BmpSaveFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BmpLoadFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BmpLoadAndSaveFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegWriteMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegReadMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegSaveFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegLoadFile)->Unit(benchmark::kMillisecond)->UseRealTime();
#ifdef LETRAFEX_BENCH_PNG
BENCHMARK(BM_PngSaveFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PngLoadFile)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

BENCHMARK_MAIN();
