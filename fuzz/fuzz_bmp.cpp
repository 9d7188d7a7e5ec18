// libFuzzer target for the BMP reader: any input either decodes or throws LetrafexError.
// A decoded picture must survive writing and reading back, and the stream reader, given
// the same bytes, must agree with the in-memory reader.
#include "core/Raster.h"
#include "imageio/BmpCodec.h"

#include <QBuffer>
#include <QByteArray>
#include <QtEndian>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
// Pictures the headers declare larger than this are skipped: a few bytes of run-length
// data can legitimately describe a picture of the full 256 MiB, which costs the fuzzer
// seconds per input and teaches it nothing new. The size limits have their own tests.
constexpr qint64 MaxPixels = qint64(1) << 20;

bool declaredTooLarge(const uint8_t *data, size_t size)
{
    if (size < 26)
        return false;
    qint64 w, h;
    if (qFromLittleEndian<quint32>(data + 14) == 12) {
        w = qFromLittleEndian<quint16>(data + 18);
        h = qFromLittleEndian<quint16>(data + 20);
    } else {
        w = qAbs(qint64(qFromLittleEndian<qint32>(data + 18)));
        h = qAbs(qint64(qFromLittleEndian<qint32>(data + 22)));
    }
    return w * h > MaxPixels && Raster::sizeAllowed(w, h, 8);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (declaredTooLarge(data, size))
        return 0;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    Raster picture;
    bool decoded = false;
    try {
        picture = ReadBmp(bytes);
        decoded = true;
    } catch (const LetrafexError &) {
    }
    if (decoded) {
        if (picture.isEmpty())
            std::abort();
        // 16-bit pictures are written as 5-5-5, which may narrow a 5-6-5 file's green.
        if (picture.bitCount() != 16 && !ReadBmp(WriteBmp(picture)).samePixels(picture))
            std::abort();
    }

    QByteArray copy = bytes;
    QBuffer device(&copy);
    device.open(QIODevice::ReadOnly);
    try {
        const Raster streamed = ReadBmp(device);
        if (!decoded || streamed.bitCount() != picture.bitCount() || !streamed.samePixels(picture))
            std::abort();
    } catch (const LetrafexError &) {
    }
    return 0;
}
