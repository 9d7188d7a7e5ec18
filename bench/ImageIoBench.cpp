// Loading and saving a large picture, as a user waits for it: the benchmark picture read
// and written as BMP, JPEG and PNG, in memory and through files in /tmp.
#include "BenchPicture.h"
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
using namespace bench;

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
