// Loading and saving a large picture, as a user waits for it: the benchmark picture read
// and written as BMP, JPEG and PNG, in memory and through files in /tmp.
#include "BenchPicture.h"
#include "core/FileBytes.h"
#include "imageio/BmpCodec.h"
#include "imageio/JpegCodec.h"
#if __has_include("imageio/PngCodec.h")
#include "imageio/PngCodec.h"
#define LETRAFEX_BENCH_PNG 1
#endif

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <png.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

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

// What bounds JPEG reading: libjpeg-turbo decoding the same file to 32-bit pixels in a
// buffer that already exists, nothing else.
void BM_JpegLibjpegFloor(benchmark::State &state)
{
    const QByteArray data = WriteJpeg(picture());
    std::vector<uchar> pixels(size_t(Width) * Height * 4);
    for (auto _ : state) {
        jpeg_decompress_struct cinfo{};
        jpeg_error_mgr err{};
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, reinterpret_cast<const uchar *>(data.constData()), static_cast<unsigned long>(data.size()));
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_EXT_BGRA;
        jpeg_start_decompress(&cinfo);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = pixels.data() + size_t(cinfo.output_scanline) * Width * 4;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(pixels.data());
    }
}

#ifdef LETRAFEX_BENCH_PNG
// What bounds PNG reading: libpng's png_read_image of the same file (inflating and
// unfiltering the rows) into RGB rows that already exist, nothing else.
void BM_PngLibpngFloor(benchmark::State &state)
{
    if (!SavePngFile(benchFile("png"), picture())) {
        state.SkipWithError("PNG save failed");
        return;
    }
    QFile file(benchFile("png"));
    file.open(QIODevice::ReadOnly);
    const QByteArray data = file.readAll();
    std::vector<uchar> pixels(size_t(Width) * Height * 3);
    std::vector<png_bytep> rows(Height);
    for (int y = 0; y < Height; ++y)
        rows[size_t(y)] = pixels.data() + size_t(y) * Width * 3;
    for (auto _ : state) {
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png)))
            std::abort();
        struct Source
        {
            const QByteArray *data;
            qsizetype pos;
        } source{&data, 0};
        png_set_read_fn(png, &source, [](png_structp p, png_bytep out, size_t n) {
            auto *src = static_cast<Source *>(png_get_io_ptr(p));
            if (qsizetype(n) > src->data->size() - src->pos)
                png_error(p, "end of data");
            std::memcpy(out, src->data->constData() + src->pos, n);
            src->pos += qsizetype(n);
        });
        png_read_info(png, info);
        png_read_image(png, rows.data());
        png_read_end(png, nullptr);
        png_destroy_read_struct(&png, &info, nullptr);
    }
}

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

// A small save into a folder of 100,000 files: the writer looks for temporary files a
// killed save left behind, which must not cost a listing of the whole folder.
void BM_SaveIntoLargeFolder(benchmark::State &state)
{
    QTemporaryDir dir;
    for (int i = 0; i < 100000; ++i)
        QFile(dir.filePath(QStringLiteral("file%1.png").arg(i))).open(QIODevice::WriteOnly);
    for (auto _ : state)
        writeWholeFile(dir.filePath(QStringLiteral("out.png")), QByteArray(1000, 'x'));
}

} // namespace

BENCHMARK(BM_SaveIntoLargeFolder)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BmpWriteMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BmpReadMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BmpSaveFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BmpLoadFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BmpLoadAndSaveFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegWriteMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegReadMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegSaveFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegLoadFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegLibjpegFloor)->Unit(benchmark::kMillisecond)->UseRealTime();
#ifdef LETRAFEX_BENCH_PNG
BENCHMARK(BM_PngSaveFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PngLoadFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PngLibpngFloor)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

BENCHMARK_MAIN();
