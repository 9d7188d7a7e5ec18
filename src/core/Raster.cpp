#include "core/Raster.h"

#include "core/MessageText.h"

#include <QPainter>
#include <QtEndian>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif
#include <utility>

namespace {
#if defined(__SSE2__)
// Four pixels a shuffle: sixteen bytes of which the next four pixels overwrite the last
// four; the loop stops while at least four more pixels follow, so nothing lands past the row.
__attribute__((target("ssse3"))) int encode24Ssse3(const QRgb *s, uchar *d, int w)
{
    const __m128i order = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    int x = 0;
    for (; x + 8 <= w; x += 4, d += 12)
        _mm_storeu_si128(reinterpret_cast<__m128i *>(d),
                         _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(s + x)), order));
    return x;
}

const bool haveSsse3 = __builtin_cpu_supports("ssse3");
#endif

// Four-byte stores whose spare byte the next pixel overwrites; the last pixel goes byte by
// byte so nothing lands past the row.
void encode24(const QRgb *s, uchar *d, int w)
{
    int x = 0;
#if defined(__SSE2__)
    if (haveSsse3) {
        x = encode24Ssse3(s, d, w);
        d += 3 * x;
    }
#endif
    for (; x + 1 < w; ++x, d += 3)
        qToLittleEndian<quint32>(s[x], d);
    for (; x < w; ++x, d += 3) {
        d[0] = uchar(qBlue(s[x]));
        d[1] = uchar(qGreen(s[x]));
        d[2] = uchar(qRed(s[x]));
    }
}

// Every raster reads as 96 pixels per inch. Qt copies a shared image to change even an
// equal value, so only a different one is set.
void setDotsPerMeter(QImage &image)
{
    constexpr int DotsPerMeter = 3780;
    if (image.dotsPerMeterX() != DotsPerMeter)
        image.setDotsPerMeterX(DotsPerMeter);
    if (image.dotsPerMeterY() != DotsPerMeter)
        image.setDotsPerMeterY(DotsPerMeter);
}

bool validBits(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }

int whiteIndex(const QVector<QRgb> &palette)
{
    int best = 0, bestDist = INT_MAX;
    for (int i = 0; i < palette.size(); ++i) {
        const QRgb c = palette[i];
        const int d = (255 - qRed(c)) + (255 - qGreen(c)) + (255 - qBlue(c));
        if (d < bestDist) { best = i; bestDist = d; }
    }
    return best;
}
} // namespace

#if defined(__linux__) && defined(MADV_HUGEPAGE)
namespace {
constexpr size_t HugePage = size_t(2) << 20;

void unmapPixels(void *info)
{
    const auto *mapping = static_cast<const std::pair<void *, size_t> *>(info);
    munmap(mapping->first, mapping->second);
    delete mapping;
}
} // namespace
#endif

QImage newPictureImage(int width, int height, QImage::Format format, bool *zeroed)
{
    const qsizetype bytesPerLine = format == QImage::Format_Indexed8 ? (qsizetype(width) + 3) & ~qsizetype(3)
                                                                     : qsizetype(width) * 4;
    const size_t bytes = size_t(bytesPerLine) * size_t(height);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (bytes >= 2 * HugePage) {
        // Whole huge pages and, at the end, ordinary ones for the rest.
        const size_t length = (bytes + 4095) / 4096 * 4096;
        void *area = mmap(nullptr, length + HugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (area != MAP_FAILED) {
            // Aligned to a huge page, the rest given back.
            const auto start = (reinterpret_cast<quintptr>(area) + HugePage - 1) / HugePage * HugePage;
            const size_t head = start - reinterpret_cast<quintptr>(area);
            if (head)
                munmap(area, head);
            if (HugePage - head)
                munmap(reinterpret_cast<void *>(start + length), HugePage - head);
            madvise(reinterpret_cast<void *>(start), length, MADV_HUGEPAGE);
            auto *mapping = new std::pair<void *, size_t>(reinterpret_cast<void *>(start), length);
            QImage image(reinterpret_cast<uchar *>(start), width, height, bytesPerLine, format, unmapPixels, mapping);
            if (!image.isNull()) {
                if (zeroed)
                    *zeroed = true;
                return image;
            }
            unmapPixels(mapping);
        }
    }
#endif
    if (zeroed)
        *zeroed = false;
    return QImage(width, height, format);
}

Raster::Raster(int width, int height, int bitCount, TColor fill) : bits_(validBits(bitCount) ? bitCount : 24)
{
    if (width < 0 || height < 0 || !sizeAllowed(width, height))
        return;
    w_ = width;
    h_ = height;
    if (width == 0 || height == 0)
        return;
    if (isIndexed()) {
        image_ = QImage(width, height, QImage::Format_Indexed8);
        QVector<QRgb> pal(1 << bits_);
        for (int i = 0; i < pal.size(); ++i) {
            const int v = pal.size() == 1 ? 0 : 255 * i / (int(pal.size()) - 1);
            pal[i] = qRgb(v, v, v);
        }
        image_.setColorTable(pal);
        image_.fill(uint(whiteIndex(pal)));
    } else {
        image_ = newPictureImage(width, height, QImage::Format_RGB32);
        image_.fill(toRgb(resolveColor(fill)));
    }
}

bool Raster::sizeAllowed(qint64 width, qint64 height, int bits)
{
    if (width < 0 || height < 0 || width > MaxSide || height > MaxSide)
        return false;
    const qint64 bytesPerPixel = bits <= 8 ? 1 : 4;
    return width * height * bytesPerPixel <= MaxBytes;
}

QString Raster::sizeRefusal(qint64 width, qint64 height)
{
    return messageText("A picture of %1 x %2 pixels is not possible: at most %3 pixels a side and %4 MiB")
        .arg(width)
        .arg(height)
        .arg(MaxSide)
        .arg(MaxBytes >> 20);
}

QImage &Raster::paintable()
{
    if (isIndexed() && !image_.isNull())
        image_ = image_.convertToFormat(QImage::Format_RGB32);
    if (isIndexed())
        bits_ = 24;
    return image_;
}

void Raster::setSize(int w, int h)
{
    w = qMax(0, w);
    h = qMax(0, h);
    if (w == width() && h == height())
        return;
    if (!sizeAllowed(w, h)) {
        qWarning("Raster size %dx%d is beyond the limits; raster emptied", w, h);
        image_ = QImage();
        w_ = h_ = 0;
        return;
    }
    if (w == 0 || h == 0) {
        if (!image_.isNull())
            palette_ = image_.colorTable();
        image_ = QImage();
        w_ = w;
        h_ = h;
        return;
    }
    QImage next = isIndexed() ? QImage(w, h, QImage::Format_Indexed8) : newPictureImage(w, h, QImage::Format_RGB32);
    if (isIndexed()) {
        QVector<QRgb> pal = image_.isNull() ? palette_ : image_.colorTable();
        if (pal.isEmpty()) {
            pal = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
        }
        next.setColorTable(pal);
        next.fill(uint(whiteIndex(pal)));
    } else {
        next.fill(qRgb(255, 255, 255));
    }
    if (!image_.isNull()) {
        const int cw = qMin(w, image_.width()), ch = qMin(h, image_.height());
        const int bpp = isIndexed() ? 1 : 4;
        for (int y = 0; y < ch; ++y)
            std::memcpy(next.scanLine(y), image_.constScanLine(y), size_t(cw) * bpp);
    }
    image_ = next;
    w_ = w;
    h_ = h;
}

void Raster::setBitCount(int bits)
{
    if (!validBits(bits) || bits == bits_)
        return;
    if (bits > 8) {
        if (isIndexed() && !image_.isNull())
            image_ = image_.convertToFormat(QImage::Format_RGB32);
        bits_ = bits;
        return;
    }
    if (!image_.isNull() && !image_.size().isEmpty()) {
        QImage rgb = toRgb32();
        if (bits == 1)
            image_ = rgb.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither).convertToFormat(QImage::Format_Indexed8);
        else {
            QImage idx = rgb.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
            if (bits == 4 && idx.colorCount() > 16)
                idx = rgb.convertToFormat(QImage::Format_Indexed8, [&] {
                    QVector<QRgb> pal;
                    for (int i = 0; i < 16; ++i) {
                        static const int vga[16][3] = {{0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128}, {128, 0, 128}, {0, 128, 128}, {128, 128, 128}, {192, 192, 192}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0}, {0, 0, 255}, {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
                        pal << qRgb(vga[i][0], vga[i][1], vga[i][2]);
                    }
                    return pal;
                }(), Qt::ThresholdDither);
            image_ = idx;
        }
    } else {
        image_ = QImage();
    }
    bits_ = bits;
    if (!image_.isNull())
        syncSize();
}

QRgb Raster::pixelRgb(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width() || y >= height())
        return 0;
    return isIndexed() ? image_.pixel(x, y) : reinterpret_cast<const QRgb *>(image_.constScanLine(y))[x];
}

TColor Raster::pixel(int x, int y) const { return fromRgb(pixelRgb(x, y)); }

void Raster::setPixel(int x, int y, TColor c)
{
    if (x < 0 || y < 0 || x >= width() || y >= height())
        return;
    QImage &img = paintable();
    reinterpret_cast<QRgb *>(img.scanLine(y))[x] = toRgb(resolveColor(c));
}

void Raster::fill(TColor c)
{
    if (image_.isNull())
        return;
    paintable().fill(toRgb(resolveColor(c)));
}

QImage Raster::toRgb32() const
{
    if (image_.isNull())
        return QImage();
    if (image_.format() == QImage::Format_RGB32)
        return image_;
    return image_.convertToFormat(QImage::Format_RGB32);
}

QImage Raster::toStraightArgb32() const
{
    if (image_.isNull())
        return QImage();
    return image_.convertToFormat(QImage::Format_ARGB32);
}

Raster Raster::fromImage(const QImage &image, int bits)
{
    Raster r;
    const bool indexed = image.format() == QImage::Format_Indexed8 || image.format() == QImage::Format_Mono ||
                         image.format() == QImage::Format_MonoLSB;
    if (image.isNull() || !sizeAllowed(image.width(), image.height(), indexed && bits != 0 && bits <= 8 ? 8 : 32))
        return r;
    if (bits == 0) {
        if (indexed) {
            const int n = image.colorCount();
            bits = n <= 2 ? 1 : n <= 16 ? 4 : 8;
        } else {
            bits = 24;
        }
    }
    r.bits_ = validBits(bits) ? bits : 24;
    if (r.isIndexed()) {
        if (indexed) {
            r.image_ = image.format() == QImage::Format_Indexed8 ? image : image.convertToFormat(QImage::Format_Indexed8);
            setDotsPerMeter(r.image_);
            r.syncSize();
            return r;
        }
        r.bits_ = 24;
        r.image_ = image.convertToFormat(QImage::Format_RGB32);
        r.syncSize();
        r.setBitCount(bits);
        return r;
    }
    r.image_ = image.convertToFormat(QImage::Format_RGB32);
    setDotsPerMeter(r.image_);
    r.syncSize();
    return r;
}

Raster Raster::transparent(int width, int height)
{
    Raster r;
    if (width <= 0 || height <= 0 || !sizeAllowed(width, height))
        return r;
    r.bits_ = 32;
    bool zeroed = false;
    r.image_ = newPictureImage(width, height, QImage::Format_ARGB32_Premultiplied, &zeroed);
    if (r.image_.isNull())
        return Raster();
    if (!zeroed)
        r.image_.fill(0);
    r.syncSize();
    return r;
}

Raster Raster::fromIndices(int width, int height, int bits, const QVector<QRgb> &palette, const uchar *indices,
                           qsizetype stride)
{
    Raster r;
    if (width <= 0 || height <= 0 || !sizeAllowed(width, height, 8) || !validBits(bits) || bits > 8)
        return r;
    r.bits_ = bits;
    r.image_ = QImage(width, height, QImage::Format_Indexed8);
    QVector<QRgb> pal = palette;
    int maxIndex = 0;
    for (int y = 0; y < height; ++y) {
        const uchar *src = indices + y * stride;
        std::memcpy(r.image_.scanLine(y), src, size_t(width));
        for (int x = 0; x < width; ++x)
            maxIndex = qMax(maxIndex, int(src[x]));
    }
    // Indices beyond a short palette show as black, as a device would show them.
    while (pal.size() <= maxIndex)
        pal << qRgb(0, 0, 0);
    r.image_.setColorTable(pal);
    r.syncSize();
    return r;
}

QByteArray Raster::dibBits() const
{
    if (isEmpty())
        return {};
    const int w = width(), h = height();
    const qsizetype stride = dibStride(w, bits_);
    QByteArray out(stride * h, Qt::Uninitialized);
    for (int y = 0; y < h; ++y)
        encodeDibRow(image_.constScanLine(y), reinterpret_cast<uchar *>(out.data()) + (h - 1 - y) * stride, stride, w,
                     bits_);
    return out;
}

void Raster::encodeDibRow(const uchar *src, uchar *dst, qsizetype stride, int w, int bits)
{
    const qsizetype used = bits < 8 ? 0 : qsizetype(w) * (bits / 8);
    std::memset(dst + used, 0, size_t(stride - used));
    const QRgb *rgb = reinterpret_cast<const QRgb *>(src);
    switch (bits) {
    case 1:
        for (int x = 0; x < w; ++x)
            dst[x >> 3] |= uchar((src[x] & 1) << (7 - (x & 7)));
        break;
    case 4:
        for (int x = 0; x < w; ++x)
            dst[x >> 1] |= uchar((src[x] & 0x0F) << ((x & 1) ? 0 : 4));
        break;
    case 8:
        std::memcpy(dst, src, size_t(w));
        break;
    case 16:
        for (int x = 0; x < w; ++x)
            qToLittleEndian<quint16>(quint16(((qRed(rgb[x]) >> 3) << 10) | ((qGreen(rgb[x]) >> 3) << 5) | (qBlue(rgb[x]) >> 3)),
                                     dst + 2 * x);
        break;
    case 24:
        encode24(rgb, dst, w);
        break;
    default:
        for (int x = 0; x < w; ++x)
            qToLittleEndian<quint32>(rgb[x] & 0x00FFFFFFu, dst + 4 * x);
    }
}

bool Raster::samePixels(const Raster &other) const
{
    if (width() != other.width() || height() != other.height())
        return false;
    for (int y = 0; y < height(); ++y)
        for (int x = 0; x < width(); ++x)
            if (pixelRgb(x, y) != other.pixelRgb(x, y))
                return false;
    return true;
}
