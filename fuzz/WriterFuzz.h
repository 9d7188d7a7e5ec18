#pragma once
// Random pictures of every kind the program holds, for the writer fuzz targets and the
// writers' round-trip test: 1-, 4- and 8-bit palettes of grey or of colour, 16-, 24- and
// 32-bit RGB, and the transparent raster. The bytes of a fuzz input, or of a random
// generator, choose the palette and the pixels; what a reference decoder reads back from a
// written file is compared with the picture's pixels.
#include "core/Errors.h"
#include "core/Raster.h"
#include "imageio/PictureFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace writerfuzz {

constexpr int KindCount = 10;
inline const char *const kindNames[KindCount] = {"1-bit grey", "1-bit colour", "4-bit grey", "4-bit colour", "8-bit grey",
                                                 "8-bit colour", "16-bit", "24-bit", "32-bit", "transparent"};
constexpr int bitsOfKind[KindCount] = {1, 1, 4, 4, 8, 8, 16, 24, 32, 0}; // 0: the transparent raster

// The bytes of a fuzz input (0 past its end), or of a generator: noise and runs of one
// value (up to 99 bytes), so run-length coders and deflate meet both.
struct Input
{
    const uint8_t *data = nullptr;
    size_t size = 0;
    std::mt19937 *rng = nullptr;
    size_t at = 0;
    int run = 0, value = 0;
    int next()
    {
        if (!rng)
            return at < size ? data[at++] : 0;
        if (run-- <= 0)
            run = (*rng)() % 2 ? 0 : int((*rng)() % 100), value = int((*rng)() % 256);
        return value;
    }
};

inline Raster picture(Input &in, int kind, int w, int h)
{
    const int bits = bitsOfKind[kind];
    const bool colour = kind % 2; // among the palettes
    if (bits && bits <= 8) {
        const int n = bits == 8 && colour ? 1 + in.next() : 1 << bits;
        QVector<QRgb> palette;
        for (int i = 0; i < n; ++i) {
            const int v = n == 1 ? 0 : i * 255 / (n - 1);
            palette << (colour ? qRgb(in.next(), in.next(), in.next()) : qRgb(v, v, v));
        }
        std::vector<uchar> indices(size_t(w) * size_t(h));
        for (uchar &i : indices)
            i = uchar(in.next() % n);
        return Raster::fromIndices(w, h, bits, palette, indices.data(), w);
    }
    Raster r = bits ? Raster(w, h, bits) : Raster::transparent(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // 16-bit channels hold 5 bits, widened as the BMP reader widens them; the
            // transparent raster's colours are premultiplied, so at most the alpha.
            const int a = bits ? 255 : in.next();
            const auto channel = [&] {
                const int v = in.next();
                return bits == 16 ? (v / 8 * 255 + 15) / 31 : v * a / 255;
            };
            const int red = channel(), green = channel(), blue = channel();
            r.paintable().setPixel(x, y, qRgba(red, green, blue, a));
        }
    return r;
}

// A fuzz input's picture: its kind and size (at most 64 x 16) come first.
inline Raster picture(Input &in)
{
    const int kind = in.next() % KindCount, w = 1 + in.next() % 64;
    return picture(in, kind, w, 1 + in.next() % 16);
}

// The largest difference of a channel between the picture and what was read back (of its
// size), both premultiplied.
inline int largestDifference(const Raster &picture, const QImage &read)
{
    const QImage want = picture.image().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage got = read.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int largest = 0;
    for (int y = 0; y < want.height(); ++y)
        for (int x = 0; x < want.width(); ++x)
            for (int shift = 0; shift < 32; shift += 8)
                largest = std::max(largest, std::abs(int(want.pixel(x, y) >> shift & 0xFF) - int(got.pixel(x, y) >> shift & 0xFF)));
    return largest;
}

// What decoders may differ by: their own widening of 5-bit channels and rounding of alpha.
inline int tolerance(const Raster &picture) { return picture.bitCount() == 16 || picture.hasAlpha() ? 1 : 0; }

// A file of this process in memory-backed storage where there is one.
inline QString scratchFile(const char *extension)
{
    const QString folder = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    return QStringLiteral("%1/writer-fuzz-%2.%3").arg(folder).arg(QCoreApplication::applicationPid()).arg(extension);
}

// The fuzz input's picture, saved as the save command saves it with the writer of filter
// into this process's scratch file (named by extension); a writer that refuses a picture
// of a kind the program holds is a finding.
inline Raster savedPicture(const uint8_t *data, size_t size, int filter, const char *extension, QString &file)
{
    Input in{data, size};
    const Raster picture = writerfuzz::picture(in);
    file = scratchFile(extension);
    try {
        savePictureFile(file, filter, picture);
    } catch (const LetrafexError &e) {
        std::fprintf(stderr, "%s writer refused a %d-bit picture: %s\n", extension, picture.bitCount(), qPrintable(e.text()));
        std::abort();
    }
    return picture;
}

// Ends the run when the pixels a reference decoder read back (null when it could not)
// differ from the picture's.
inline void expectSamePixels(const Raster &picture, const QImage &read, const char *extension)
{
    if (read.width() != picture.width() || read.height() != picture.height()) {
        std::fprintf(stderr, "%s: the reference decoder read %dx%d of a %d-bit %dx%d picture\n", extension, read.width(),
                     read.height(), picture.bitCount(), picture.width(), picture.height());
        std::abort();
    }
    if (largestDifference(picture, read) > tolerance(picture)) {
        std::fprintf(stderr, "%s: a %d-bit %dx%d picture reads back other pixels\n", extension, picture.bitCount(),
                     picture.width(), picture.height());
        std::abort();
    }
}

} // namespace writerfuzz
