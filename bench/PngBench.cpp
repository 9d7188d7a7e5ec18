// Writing PNG files: which row filter and which libdeflate level suit which kind of
// picture, measured on the two kinds the program writes: a drawn composition (the ten deep
// items at 4x, 7680 x 4320, flat areas and sharp edges) and photograph-like pictures
// (the codec benchmarks' 4000 x 3000 picture with fine noise, and a smooth fractal
// picture with texture at every scale). libpng's own encoder (zlib level 6, its adaptive
// filter on every row) is timed on the same pictures for comparison. The counter file_MB
// gives the size of the image data (or of the whole file).
#include "BenchItems.h"
#include "BenchMain.h"
#include "BenchPicture.h"
#include "compose/PictureExport.h"
#include "imageio/PngCodec.h"
#include "imageio/PngDeflate.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>

#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdlib>
#include <random>
#include <vector>

namespace {

enum Kind { TenItems4x = 0, NoisyPhoto = 1, FractalPhoto = 2 };

// Texture at every scale, as in a photograph: value noise summed over octaves, each half
// as strong as the one before, plus a little sensor noise.
Raster fractalPicture()
{
    std::mt19937 random(2026);
    QImage img(bench::Width, bench::Height, QImage::Format_RGB32);
    std::vector<float> sum(size_t(bench::Width) * bench::Height * 3, 0.0f);
    float amplitude = 96.0f;
    for (int cell = 512; cell >= 2; cell /= 2, amplitude *= 0.55f) {
        const int gw = bench::Width / cell + 2, gh = bench::Height / cell + 2;
        std::vector<float> grid(size_t(gw) * gh * 3);
        for (float &v : grid)
            v = float(random() % 2001) / 1000.0f - 1.0f;
        for (int y = 0; y < bench::Height; ++y) {
            const int gy = y / cell;
            const float fy = float(y % cell) / cell;
            for (int x = 0; x < bench::Width; ++x) {
                const int gx = x / cell;
                const float fx = float(x % cell) / cell;
                for (int c = 0; c < 3; ++c) {
                    auto at = [&](int i, int j) { return grid[(size_t(j) * gw + i) * 3 + c]; };
                    const float top = at(gx, gy) + (at(gx + 1, gy) - at(gx, gy)) * fx;
                    const float bottom = at(gx, gy + 1) + (at(gx + 1, gy + 1) - at(gx, gy + 1)) * fx;
                    sum[(size_t(y) * bench::Width + x) * 3 + c] += amplitude * (top + (bottom - top) * fy);
                }
            }
        }
    }
    for (int y = 0; y < bench::Height; ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < bench::Width; ++x) {
            int v[3];
            for (int c = 0; c < 3; ++c)
                v[c] = qBound(0, int(128.0f + sum[(size_t(y) * bench::Width + x) * 3 + c]) + int(random() % 5) - 2, 255);
            row[x] = qRgb(v[0], v[1], v[2]);
        }
    }
    return Raster::fromImage(img, 24);
}

const QImage &pixels(int kind)
{
    static QImage cache[3];
    QImage &img = cache[kind];
    if (img.isNull()) {
        if (kind == TenItems4x)
            img = ComposeScaled(Raster(1920, 1080), bench::tenDeepItems(), 4).toRgb32();
        else if (kind == NoisyPhoto)
            img = bench::picture().toRgb32();
        else
            img = fractalPicture().toRgb32();
    }
    return img;
}

void rgbRow(const QImage &img, int y, uchar *out)
{
    const QRgb *s = reinterpret_cast<const QRgb *>(img.constScanLine(y));
    for (int x = 0; x < img.width(); ++x, out += 3) {
        out[0] = uchar(qRed(s[x]));
        out[1] = uchar(qGreen(s[x]));
        out[2] = uchar(qBlue(s[x]));
    }
}

// range 0: picture kind; 1: filter (PngFilter); 2: libdeflate level; 3: MiB a piece.
void PngImageDataByFilterAndLevel(benchmark::State &state)
{
    const QImage &img = pixels(int(state.range(0)));
    PngImageData data;
    data.height = img.height();
    data.rowBytes = size_t(img.width()) * 3;
    data.filter = PngFilter(state.range(1));
    data.level = int(state.range(2));
    data.pieceBytes = size_t(state.range(3)) << 20;
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        if (!CompressPngImageData(data, [&img](int y, uchar *out) { rgbRow(img, y, out); },
                                  [&bytes](const uchar *, size_t n) { return bytes += n, true; }))
            state.SkipWithError("compression failed");
    }
    state.counters["file_MB"] = double(bytes) / 1e6;
}

// libpng's encoder as it was used before: zlib level 6, all filters tried on every row.
void PngImageDataLibpngAdaptive(benchmark::State &state)
{
    const QImage &img = pixels(int(state.range(0)));
    std::vector<uchar> row(size_t(img.width()) * 3);
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png)))
            std::abort();
        png_set_write_fn(png, &bytes, [](png_structp p, png_bytep, size_t n) {
            *static_cast<size_t *>(png_get_io_ptr(p)) += n;
        }, nullptr);
        png_set_IHDR(png, info, png_uint_32(img.width()), png_uint_32(img.height()), 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < img.height(); ++y) {
            rgbRow(img, y, row.data());
            png_write_row(png, row.data());
        }
        png_write_end(png, info);
        png_destroy_write_struct(&png, &info);
    }
    state.counters["file_MB"] = double(bytes) / 1e6;
}

// The program's whole PNG writer, filter chosen by the picture, to a file in /tmp.
void PngSaveFile(benchmark::State &state)
{
    const Raster picture = Raster::fromImage(pixels(int(state.range(0))), 24);
    const QString path = bench::benchFile("out.png");
    for (auto _ : state)
        if (!SavePngFile(path, picture))
            state.SkipWithError("PNG save failed");
    QFile file(path);
    state.counters["file_MB"] = double(file.size()) / 1e6;
}

void filtersAndLevels(benchmark::internal::Benchmark *b)
{
    for (int kind : {TenItems4x, NoisyPhoto, FractalPhoto}) {
        for (int filter = 0; filter <= 4; ++filter)
            b->Args({kind, filter, 4, 4});
        for (int level : {1, 2, 3, 5, 6, 9})
            for (int filter : {int(PngFilter::Up), int(PngFilter::Average), int(PngFilter::Paeth)})
                b->Args({kind, filter, level, 4});
        for (int mib : {1, 16, 64})
            b->Args({kind, int(PngFilter::Up), 6, mib});
    }
}

} // namespace

BENCHMARK(PngImageDataByFilterAndLevel)->Apply(filtersAndLevels)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(PngImageDataLibpngAdaptive)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PngSaveFile)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(3)->MeasureProcessCPUTime()->UseRealTime();

int main(int argc, char **argv) { return runTextBenchmarks<QGuiApplication>(argc, argv); }
