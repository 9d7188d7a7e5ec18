#include "imageio/PcxCodec.h"
#include "imageio/PcxFormat.h"

#include <QSaveFile>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <vector>

#ifdef __linux__
#include <fcntl.h>
#endif

namespace {

using namespace pcx;

// Appends one plane row of run-length data: runs of up to 63 equal bytes as a pair, single
// bytes below 0xC0 as themselves. Runs end with the row.
uchar *encodePlane(const uchar *s, int w, uchar *d)
{
    for (int i = 0; i < w;) {
        const uchar v = s[i];
        int run = 1;
        while (run < MaxRun && i + run < w && s[i + run] == v)
            ++run;
        if (run > 1 || v >= RunFlag)
            *d++ = uchar(RunFlag | run);
        *d++ = v;
        i += run;
    }
    return d;
}

void putHeader(uchar *p, int w, int h, const QVector<QRgb> &palette)
{
    std::memset(p, 0, HeaderSize);
    p[0] = 10;
    p[1] = 5;
    p[2] = 1;
    p[3] = 8;
    qToLittleEndian<quint16>(quint16(w - 1), p + 8);
    qToLittleEndian<quint16>(quint16(h - 1), p + 10);
    qToLittleEndian<quint16>(quint16(w), p + 12);
    qToLittleEndian<quint16>(quint16(h), p + 14);
    for (int i = 0; i < 16; ++i) {
        p[16 + 3 * i] = uchar(qRed(palette[i]));
        p[17 + 3 * i] = uchar(qGreen(palette[i]));
        p[18 + 3 * i] = uchar(qBlue(palette[i]));
    }
    p[65] = 3;
    qToLittleEndian<quint16>(quint16(w), p + 66);
    qToLittleEndian<quint16>(1, p + 68);
}

// Writes the header, the rows and the palette through sink(const uchar *, qint64) -> bool,
// in pieces of about 1 MiB. Returns false as soon as the sink does.
template <typename Sink>
bool encodePcx(const Raster &picture, Sink &&sink)
{
    if (picture.isEmpty())
        throw LetrafexError(QStringLiteral("An empty picture cannot be written as a PCX file"));
    const QImage image = picture.toRgb32();
    const int w = image.width(), h = image.height();
    QVector<QRgb> palette = picture.isIndexed() ? picture.palette().mid(0, 256) : QVector<QRgb>();
    palette.resize(256, qRgb(0, 0, 0));

    constexpr qint64 Piece = qint64(1) << 20;
    const qint64 worstRow = 6 * qint64(w); // three planes, two bytes a byte at worst
    std::vector<uchar> planes(3 * size_t(w));
    std::vector<uchar> out(size_t(HeaderSize + Piece + worstRow + TrailerSize));
    putHeader(out.data(), w, h, palette);
    uchar *d = out.data() + HeaderSize;
    for (int y = 0; y < h; ++y) {
        const QRgb *s = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            planes[x] = uchar(qRed(s[x]));
            planes[w + x] = uchar(qGreen(s[x]));
            planes[2 * w + x] = uchar(qBlue(s[x]));
        }
        for (int k = 0; k < 3; ++k)
            d = encodePlane(planes.data() + k * w, w, d);
        if (d - out.data() >= Piece) {
            if (!sink(out.data(), d - out.data()))
                return false;
            d = out.data();
        }
    }
    *d++ = 12;
    for (QRgb c : palette) {
        *d++ = uchar(qRed(c));
        *d++ = uchar(qGreen(c));
        *d++ = uchar(qBlue(c));
    }
    return sink(out.data(), d - out.data());
}

} // namespace

void SavePcxWriter(const QString &fileName, const Raster &picture, int kind)
{
    if (kind != 4)
        throw LetrafexError(QStringLiteral("PCX output kind %1 is not supported").arg(kind));
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw LetrafexError(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, file.errorString()));
    qint64 written = 0;
    const bool ok = encodePcx(picture, [&](const uchar *p, qint64 n) {
        if (file.write(reinterpret_cast<const char *>(p), n) != n || !file.flush())
            return false;
#ifdef __linux__
        // Start writing the piece to disk now, so the sync when the file is committed
        // has little left to wait for.
        sync_file_range(file.handle(), written, n, SYNC_FILE_RANGE_WRITE);
#endif
        written += n;
        return true;
    });
    if (!ok || !file.commit())
        throw LetrafexError(QStringLiteral("Cannot write file \"%1\". %2").arg(fileName, file.errorString()));
}

void SavePcxFile(const QString &fileName, const Raster &picture) { SavePcxWriter(fileName, picture, 4); }

QByteArray WritePcx(const Raster &picture)
{
    QByteArray out;
    encodePcx(picture, [&](const uchar *p, qint64 n) {
        out.append(reinterpret_cast<const char *>(p), n);
        return true;
    });
    return out;
}
