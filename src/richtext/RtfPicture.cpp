// Picture data of RTF documents: PNG and JPEG go through Qt's readers after their declared
// size is checked; a device-independent bitmap gets a BMP file header and goes through the
// program's own BMP reader.
#include "richtext/RtfPicture.h"

#include "core/Errors.h"
#include "core/Raster.h"
#include "imageio/BmpCodec.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

namespace {
QImage decodeWithQt(const QByteArray &data, const char *format)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    const QSize size = reader.size();
    if (!size.isValid() || !Raster::sizeAllowed(size.width(), size.height()))
        return {};
    return reader.read();
}

// The offset of the pixel rows after a bitmap information header and its colour table.
qint64 dibPixelOffset(const QByteArray &dib)
{
    const auto *p = reinterpret_cast<const uchar *>(dib.constData());
    const quint32 headerSize = qFromLittleEndian<quint32>(p);
    if (headerSize == 12) {
        const int bits = qFromLittleEndian<quint16>(p + 10);
        return 14 + 12 + (bits <= 8 ? 3 * (qint64(1) << bits) : 0);
    }
    if (headerSize < 40 || dib.size() < 40)
        return -1;
    const int bits = qFromLittleEndian<quint16>(p + 14);
    const quint32 compression = qFromLittleEndian<quint32>(p + 16);
    const quint32 used = qFromLittleEndian<quint32>(p + 32);
    const qint64 masks = headerSize == 40 && compression == 3 ? 12 : 0;
    const qint64 colours = used ? qint64(used) : (bits >= 1 && bits <= 8 ? qint64(1) << bits : 0);
    return 14 + qint64(headerSize) + masks + 4 * colours;
}

QImage decodeDib(const QByteArray &dib)
{
    if (dib.size() < 12)
        return {};
    const qint64 offset = dibPixelOffset(dib);
    if (offset < 0 || offset > 14 + dib.size())
        return {};
    QByteArray file(14, '\0');
    file[0] = 'B';
    file[1] = 'M';
    qToLittleEndian<quint32>(quint32(offset), file.data() + 10);
    file += dib;
    try {
        return ReadBmp(file).toRgb32();
    } catch (const LetrafexError &) {
        return {};
    }
}
} // namespace

QImage decodeRtfPicture(RtfPictureKind kind, const QByteArray &data)
{
    switch (kind) {
    case RtfPictureKind::Png:
        return decodeWithQt(data, "png");
    case RtfPictureKind::Jpeg:
        return decodeWithQt(data, "jpeg");
    case RtfPictureKind::Dib:
        return decodeDib(data);
    case RtfPictureKind::None:
        break;
    }
    return {};
}
