// The TIFF writer for pictures with transparency: uncompressed, single-strip, little-endian
// RGBA with 8 bits per sample. The fourth sample is declared as unassociated alpha
// (ExtraSamples 2): the colour samples are straight, not multiplied by the alpha.
#include "imageio/TiffCodec.h"
#include "core/MessageText.h"
#include "imageio/PieceWriter.h"
#include "imageio/TiffFile.h"

#include <QDataStream>
#include <QIODevice>
#include <QImage>

#include <algorithm>

namespace {

constexpr quint16 ExtraSamplesTag = TiffTag::ExtraSamples;
constexpr quint16 UnassociatedAlpha = 2;
constexpr int HeaderSize = 8;
constexpr int BitsOffset = HeaderSize;          // four SHORTs of 8
constexpr int ResolutionOffset = BitsOffset + 8; // two RATIONALs of 96/1
constexpr int StripOffset = ResolutionOffset + 16;

// Everything in the file is little-endian.
class LittleEndian : public QDataStream
{
public:
    explicit LittleEndian(QByteArray *bytes) : QDataStream(bytes, QIODevice::WriteOnly)
    {
        setByteOrder(QDataStream::LittleEndian);
    }
};

// Header, bits per sample and resolutions: everything before the strip.
QByteArray headBytes(quint32 directoryOffset)
{
    QByteArray head;
    LittleEndian out(&head);
    out.writeRawData("II", 2);
    out << quint16(42) << directoryOffset;
    out << quint16(8) << quint16(8) << quint16(8) << quint16(8);
    out << quint32(96) << quint32(1) << quint32(96) << quint32(1);
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
    QByteArray bytes;
    LittleEndian out(&bytes);
    out << quint16(std::size(entries));
    for (const Entry &e : entries)
        out << e.tag << e.type << e.count << e.value; // a single SHORT lands in the low-order two bytes
    out << quint32(0);
    return bytes;
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
        throw LetrafexError(messageText("An empty picture cannot be written as a TIFF file"));
    const qint64 rowBytes = 4 * qint64(pixels.width()), stripBytes = rowBytes * pixels.height();
    if (!Raster::sizeAllowed(pixels.width(), pixels.height()))
        throw LetrafexError(messageText("A picture of %1 x %2 pixels is too large for a TIFF file")
                             .arg(pixels.width())
                             .arg(pixels.height()));
    const QByteArray head = headBytes(quint32(StripOffset + stripBytes));
    const QByteArray tail = directoryBytes(quint32(pixels.width()), quint32(pixels.height()), quint32(stripBytes));
    // Rows go out in pieces, so a large picture needs no second copy in memory.
    SaveRowsInPieces(fileName, {head, rowBytes, pixels.height(), [&pixels, rowBytes](int first, int count, uchar *out) {
                                    encodeRows(pixels, first, count, out);
                                    return count * rowBytes;
                                }, tail});
}
