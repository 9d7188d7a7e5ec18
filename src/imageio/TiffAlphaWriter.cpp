// The TIFF writer for pictures with transparency: uncompressed, single-strip, little-endian
// RGBA with 8 bits per sample. The fourth sample is declared as unassociated alpha
// (ExtraSamples 2): the colour samples are straight, not multiplied by the alpha.
#include "imageio/TiffCodec.h"
#include "imageio/TiffFile.h"

#include <QImage>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>

namespace {

constexpr quint16 ExtraSamplesTag = 338;
constexpr quint16 UnassociatedAlpha = 2;
constexpr int HeaderSize = 8;
constexpr int BitsOffset = HeaderSize;          // four SHORTs of 8
constexpr int ResolutionOffset = BitsOffset + 8; // two RATIONALs of 96/1
constexpr int StripOffset = ResolutionOffset + 16;

void put16(QByteArray &out, quint16 v)
{
    uchar b[2];
    qToLittleEndian(v, b);
    out.append(reinterpret_cast<const char *>(b), 2);
}

void put32(QByteArray &out, quint32 v)
{
    uchar b[4];
    qToLittleEndian(v, b);
    out.append(reinterpret_cast<const char *>(b), 4);
}

// Header, bits per sample and resolutions: everything before the strip.
QByteArray headBytes(quint32 directoryOffset)
{
    QByteArray head("II", 2);
    put16(head, 42);
    put32(head, directoryOffset);
    for (int i = 0; i < 4; ++i)
        put16(head, 8);
    for (int i = 0; i < 2; ++i) {
        put32(head, 96);
        put32(head, 1);
    }
    return head;
}

// The directory after the strip, entries in ascending tag order.
QByteArray directoryBytes(quint32 width, quint32 height, quint32 stripBytes)
{
    using namespace TiffTag;
    using namespace TiffType;
    struct Entry { quint16 tag, type; quint32 count, value; };
    const Entry entries[] = {
        {NewSubfileType, Long, 1, 0},          {ImageWidth, Long, 1, width},
        {ImageLength, Long, 1, height},        {BitsPerSample, Short, 4, BitsOffset},
        {Compression, Short, 1, 1},            {PhotometricInterpretation, Short, 1, 2},
        {StripOffsets, Long, 1, StripOffset},  {SamplesPerPixel, Short, 1, 4},
        {RowsPerStrip, Long, 1, height},       {StripByteCounts, Long, 1, stripBytes},
        {XResolution, Rational, 1, ResolutionOffset}, {YResolution, Rational, 1, ResolutionOffset + 8},
        {PlanarConfiguration, Short, 1, 1},    {ResolutionUnit, Short, 1, 2},
        {ExtraSamplesTag, Short, 1, UnassociatedAlpha},
    };
    QByteArray out;
    put16(out, quint16(std::size(entries)));
    for (const Entry &e : entries) {
        put16(out, e.tag);
        put16(out, e.type);
        put32(out, e.count);
        put32(out, e.value); // a single SHORT lands in the low-order two bytes
    }
    put32(out, 0);
    return out;
}

void encodeRows(const QImage &image, int first, int count, uchar *out)
{
    for (int y = first; y < first + count; ++y) {
        const QRgb *s = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x, out += 4) {
            out[0] = uchar(qRed(s[x]));
            out[1] = uchar(qGreen(s[x]));
            out[2] = uchar(qBlue(s[x]));
            out[3] = uchar(qAlpha(s[x]));
        }
    }
}

} // namespace

void SaveTiffRgbaFile(const QString &fileName, const QImage &pixels)
{
    if (pixels.isNull() || pixels.format() != QImage::Format_ARGB32)
        throw LetrafexError(QStringLiteral("An empty picture cannot be written as a TIFF file"));
    const qint64 rowBytes = 4 * qint64(pixels.width()), stripBytes = rowBytes * pixels.height();
    if (!Raster::sizeAllowed(pixels.width(), pixels.height()))
        throw LetrafexError(QStringLiteral("A picture of %1 x %2 pixels is too large for a TIFF file")
                                .arg(pixels.width())
                                .arg(pixels.height()));
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw LetrafexError(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, file.errorString()));
    const QByteArray head = headBytes(quint32(StripOffset + stripBytes));
    const QByteArray tail = directoryBytes(quint32(pixels.width()), quint32(pixels.height()), quint32(stripBytes));
    // Rows go out in pieces of about 1 MiB, so a large picture needs no second copy in memory.
    const int h = pixels.height();
    const int rowsPerPiece = int(std::clamp<qint64>((qint64(1) << 20) / rowBytes, 1, h));
    QByteArray piece(qint64(rowsPerPiece) * rowBytes, Qt::Uninitialized);
    bool ok = file.write(head) == head.size();
    for (int first = 0; ok && first < h; first += rowsPerPiece) {
        const int count = std::min(rowsPerPiece, h - first);
        encodeRows(pixels, first, count, reinterpret_cast<uchar *>(piece.data()));
        ok = file.write(piece.constData(), count * rowBytes) == count * rowBytes;
    }
    ok = ok && file.write(tail) == tail.size();
    if (!ok || !file.commit())
        throw LetrafexError(QStringLiteral("Cannot write file \"%1\". %2").arg(fileName, file.errorString()));
}
