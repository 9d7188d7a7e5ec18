#include "imageio/PcxCodec.h"
#include "core/MessageText.h"
#include "imageio/PcxFormat.h"
#include "imageio/PieceWriter.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <vector>

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

// The header, the rows as run-length data and the palette after marker byte 12.
RowFile pcxRows(const Raster &picture)
{
    if (picture.isEmpty())
        throw LetrafexError(messageText("An empty picture cannot be written as a PCX file"));
    const QImage image = picture.toRgb32();
    const int w = image.width();
    QVector<QRgb> palette = picture.isIndexed() ? picture.palette().mid(0, 256) : QVector<QRgb>();
    palette.resize(256, qRgb(0, 0, 0));

    RowFile file;
    file.head.resize(HeaderSize);
    putHeader(reinterpret_cast<uchar *>(file.head.data()), w, image.height(), palette);
    file.maxRowBytes = 6 * qint64(w); // three planes, two bytes a byte at worst
    file.rows = image.height();
    file.encode = [image, w, planes = std::vector<uchar>(3 * size_t(w))](int first, int count, uchar *out) mutable {
        uchar *d = out;
        for (int y = first; y < first + count; ++y) {
            const QRgb *s = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < w; ++x) {
                planes[x] = uchar(qRed(s[x]));
                planes[w + x] = uchar(qGreen(s[x]));
                planes[2 * w + x] = uchar(qBlue(s[x]));
            }
            for (int k = 0; k < 3; ++k)
                d = encodePlane(planes.data() + k * w, w, d);
        }
        return qint64(d - out);
    };
    file.tail.reserve(TrailerSize);
    file.tail.append(char(12));
    for (QRgb c : palette) {
        file.tail.append(char(qRed(c)));
        file.tail.append(char(qGreen(c)));
        file.tail.append(char(qBlue(c)));
    }
    return file;
}

} // namespace

void SavePcxWriter(const QString &fileName, const Raster &picture, int kind)
{
    if (kind != 4)
        throw LetrafexError(messageText("PCX output kind %1 is not supported").arg(kind));
    SaveRowsInPieces(fileName, pcxRows(picture));
}

void SavePcxFile(const QString &fileName, const Raster &picture) { SavePcxWriter(fileName, picture, 4); }

QByteArray WritePcx(const Raster &picture) { return RowsInMemory(pcxRows(picture)); }
