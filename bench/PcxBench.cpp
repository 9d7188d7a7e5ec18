// PCX reading and writing of the benchmark picture, in memory and through files in /tmp.
// The file /tmp/letrafex-bench.pcx is left behind for timing other programs on it.
#include "BenchPicture.h"
#include "imageio/PcxCodec.h"

#include <QByteArray>

#include <benchmark/benchmark.h>

namespace {
using namespace bench;

void BM_PcxWriteMemory(benchmark::State &state)
{
    const Raster &r = picture();
    qint64 size = 0;
    for (auto _ : state) {
        const QByteArray data = WritePcx(r);
        size = data.size();
        benchmark::DoNotOptimize(data.constData());
    }
    setBytes(state, size);
}

void BM_PcxReadMemory(benchmark::State &state)
{
    const QByteArray data = WritePcx(picture());
    for (auto _ : state) {
        Raster r;
        if (!ReadPcx(data, r))
            state.SkipWithError("the picture was not read back");
        benchmark::DoNotOptimize(r.image().constBits());
    }
    setBytes(state, data.size());
}

void BM_PcxSaveFile(benchmark::State &state)
{
    const Raster &r = picture();
    for (auto _ : state)
        SavePcxFile(benchFile("out.pcx"), r);
}

void BM_PcxLoadFile(benchmark::State &state)
{
    SavePcxFile(benchFile("pcx"), picture());
    for (auto _ : state) {
        Raster r;
        if (!LoadPcxFile(benchFile("pcx"), r))
            state.SkipWithError("the picture was not read back");
        benchmark::DoNotOptimize(r.image().constBits());
    }
}

// What `convert in.pcx out.pcx` does.
void BM_PcxLoadAndSaveFile(benchmark::State &state)
{
    SavePcxFile(benchFile("pcx"), picture());
    for (auto _ : state) {
        Raster r;
        LoadPcxFile(benchFile("pcx"), r);
        SavePcxFile(benchFile("out.pcx"), r);
    }
}

} // namespace

BENCHMARK(BM_PcxWriteMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PcxReadMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PcxSaveFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PcxLoadFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PcxLoadAndSaveFile)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
