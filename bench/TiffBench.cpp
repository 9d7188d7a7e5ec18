// Loading and saving a large picture as TIFF, as a user waits for it: the benchmark picture
// written and read in memory and through files in /tmp.
#include "BenchPicture.h"
#include "imageio/TiffCodec.h"

#include <QByteArray>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {
using namespace bench;

// A picture that does not read back is a broken benchmark, not a slow one.
void mustHaveRead(const Raster &r)
{
    if (r.width() != Width || r.height() != Height)
        std::abort();
}

void BM_TiffWriteMemory(benchmark::State &state)
{
    const Raster &r = picture();
    qint64 size = 0;
    for (auto _ : state) {
        const QByteArray data = WriteTiff(r);
        size = data.size();
        benchmark::DoNotOptimize(data.constData());
    }
    setBytes(state, size);
}

void BM_TiffReadMemory(benchmark::State &state)
{
    const QByteArray data = WriteTiff(picture());
    for (auto _ : state) {
        Raster r;
        ReadTiff(data, r);
        mustHaveRead(r);
        benchmark::DoNotOptimize(r.image().constBits());
    }
    setBytes(state, data.size());
}

void BM_TiffSaveFile(benchmark::State &state)
{
    const Raster &r = picture();
    for (auto _ : state)
        SaveTiffFile(benchFile("out.tif"), r);
}

void BM_TiffLoadFile(benchmark::State &state)
{
    SaveTiffFile(benchFile("tif"), picture());
    for (auto _ : state) {
        Raster r;
        LoadTiffFile(benchFile("tif"), r);
        mustHaveRead(r);
        benchmark::DoNotOptimize(r.image().constBits());
    }
}

// A scanner's or an editor's file: the picture LZW-compressed by libtiff's tiffcp, read
// through libtiff.
void BM_TiffLoadLzwFile(benchmark::State &state)
{
    SaveTiffFile(benchFile("tif"), picture());
    if (QProcess::execute(QStringLiteral("tiffcp"), {QStringLiteral("-c"), QStringLiteral("lzw"), benchFile("tif"),
                                                     benchFile("lzw.tif")}) != 0) {
        state.SkipWithError("tiffcp (libtiff-tools) is needed");
        return;
    }
    for (auto _ : state) {
        Raster r;
        LoadTiffFile(benchFile("lzw.tif"), r);
        mustHaveRead(r);
        benchmark::DoNotOptimize(r.image().constBits());
    }
}

// What `convert in.tif out.tif` does.
void BM_TiffLoadAndSaveFile(benchmark::State &state)
{
    SaveTiffFile(benchFile("tif"), picture());
    for (auto _ : state) {
        Raster r;
        LoadTiffFile(benchFile("tif"), r);
        SaveTiffFile(benchFile("out.tif"), r);
    }
}

} // namespace

BENCHMARK(BM_TiffWriteMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TiffReadMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TiffSaveFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TiffLoadFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TiffLoadLzwFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TiffLoadAndSaveFile)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
