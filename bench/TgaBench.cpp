// Loading and saving a large picture as TGA: the benchmark picture read and written in
// memory and through files in /tmp. The file read is left as /tmp/letrafex-bench.tga, so
// `convert` can be timed on the same input.
#include "BenchPicture.h"
#include "imageio/TgaCodec.h"

#include <QByteArray>

#include <benchmark/benchmark.h>

namespace {
using namespace bench;

void BM_TgaWriteMemory(benchmark::State &state)
{
    const Raster &r = picture();
    qint64 size = 0;
    for (auto _ : state) {
        const QByteArray data = WriteTga(r);
        size = data.size();
        benchmark::DoNotOptimize(data.constData());
    }
    setBytes(state, size);
}

void BM_TgaReadMemory(benchmark::State &state)
{
    const QByteArray data = WriteTga(picture());
    for (auto _ : state) {
        Raster r;
        ReadTga(data, r);
        benchmark::DoNotOptimize(r.image().constBits());
    }
    setBytes(state, data.size());
}

void BM_TgaSaveFile(benchmark::State &state)
{
    const Raster &r = picture();
    for (auto _ : state)
        SaveTgaFile(benchFile("out.tga"), r);
}

void BM_TgaLoadFile(benchmark::State &state)
{
    SaveTgaFile(benchFile("tga"), picture());
    for (auto _ : state) {
        Raster r;
        LoadTgaFile(benchFile("tga"), r);
        benchmark::DoNotOptimize(r.image().constBits());
    }
}

// What `convert in.tga out.tga` does.
void BM_TgaLoadAndSaveFile(benchmark::State &state)
{
    SaveTgaFile(benchFile("tga"), picture());
    for (auto _ : state) {
        Raster r;
        LoadTgaFile(benchFile("tga"), r);
        SaveTgaFile(benchFile("out.tga"), r);
    }
}

} // namespace

BENCHMARK(BM_TgaWriteMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TgaReadMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TgaSaveFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TgaLoadFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TgaLoadAndSaveFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
