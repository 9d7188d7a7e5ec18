#pragma once
// A raster picture with a declared pixel layout of 1, 4, 8, 16, 24 or 32 bits per pixel.
// 16-, 24- and 32-bit rasters keep their pixels in a paintable 32-bit image; 1-, 4- and
// 8-bit rasters keep their palette indices (an 8-bit indexed image with the palette as
// its colour table). The declared layout is what a device-independent copy and a file
// writer see.
#include "core/Color.h"

#include <QByteArray>
#include <QImage>
#include <QVector>

class Raster
{
public:
    static constexpr int MaxSide = 32768;
    static constexpr qint64 MaxBytes = qint64(256) * 1024 * 1024;

    Raster() = default;
    Raster(int width, int height, int bitCount = 24, TColor fill = Colors::clWhite);

    // The size is kept even when one side is 0 (a raster may be given its height first).
    int width() const { return w_; }
    int height() const { return h_; }
    bool isEmpty() const { return w_ <= 0 || h_ <= 0 || image_.isNull(); }
    int bitCount() const { return bits_; }
    bool isIndexed() const { return bits_ <= 8; }
    QVector<QRgb> palette() const { return image_.isNull() ? palette_ : image_.colorTable(); }

    // The stored image: Format_RGB32 for 16/24/32 bits (Format_ARGB32_Premultiplied for a
    // transparent raster), Format_Indexed8 for 1/4/8 bits.
    const QImage &image() const { return image_; }
    // Writable access for painting; an indexed raster becomes a 24-bit one first,
    // because painting mixes colours that a palette may not hold.
    QImage &paintable();

    // Sizes change like a device bitmap's: pixels where the old and new areas overlap
    // stay, the new area is white.
    void setWidth(int w) { setSize(w, height()); }
    void setHeight(int h) { setSize(width(), h); }
    void setSize(int w, int h);

    // Changes the declared layout, converting the pixels (palettes are reduced by
    // Qt's nearest-colour conversion when going down to 8 bits or fewer).
    void setBitCount(int bits);

    TColor pixel(int x, int y) const;
    QRgb pixelRgb(int x, int y) const;
    void setPixel(int x, int y, TColor c);
    void fill(TColor c);

    // The pixels as a 32-bit image (a shallow copy for 16/24/32-bit rasters).
    QImage toRgb32() const;

    // Whether the pixels carry transparency (a raster made by transparent()).
    bool hasAlpha() const { return image_.hasAlphaChannel(); }
    // The pixels as Format_ARGB32 with straight alpha, as files with transparency store them.
    QImage toStraightArgb32() const;

    // Builds a raster from an image. bits 0 chooses from the image: indexed images keep
    // their indices and palette, everything else becomes 24-bit.
    static Raster fromImage(const QImage &image, int bits = 0);
    // A 32-bit raster of premultiplied transparent pixels (Format_ARGB32_Premultiplied), for
    // drawing that leaves the background out; an empty raster beyond the limits.
    static Raster transparent(int width, int height);
    // An indexed raster from indices (one byte a pixel, rows top to bottom) and a palette.
    static Raster fromIndices(int width, int height, int bits, const QVector<QRgb> &palette,
                              const uchar *indices, qsizetype stride);

    // Device-independent copy: rows bottom-up, each padded to 4 bytes, in the declared layout.
    static qsizetype dibStride(int width, int bits) { return ((qsizetype(width) * bits + 31) / 32) * 4; }
    QByteArray dibBits() const;
    // Encodes one stored row (indices for 1/4/8 bits, 32-bit pixels otherwise) as a
    // device-independent row of the given layout, zero-padded to stride bytes.
    static void encodeDibRow(const uchar *src, uchar *dst, qsizetype stride, int width, int bits);

    // Whether width x height in this layout stays inside the program's limits.
    static bool sizeAllowed(qint64 width, qint64 height, int bits = 32);
    // The message that refuses a picture of width x height, naming the limits.
    static QString sizeRefusal(qint64 width, qint64 height);

    bool samePixels(const Raster &other) const;

private:
    void syncSize() { w_ = image_.width(); h_ = image_.height(); }

    QImage image_;
    QVector<QRgb> palette_; // kept while an indexed raster has no pixels
    int bits_ = 24;
    int w_ = 0;
    int h_ = 0;
};

// A new, uninitialised image of width x height pixels (a 32-bit format or Format_Indexed8),
// null when there is no memory for it. Large ones are mapped on huge pages where the
// system offers them: the first write to a picture of many megabytes then costs a few
// hundred page faults instead of thousands. zeroed tells whether the pixels are known to
// be 0.
QImage newPictureImage(int width, int height, QImage::Format format, bool *zeroed = nullptr);

