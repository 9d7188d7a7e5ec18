// libFuzzer target for the TGA reader: any input either decodes or fails with an error
// text and a 1 x 1 picture. A decoded picture must survive writing and reading back.
#include "core/Raster.h"
#include "imageio/TgaCodec.h"

#include <QByteArray>
#include <QtEndian>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
// Pictures the header declares larger than this are skipped: a few bytes of run-length
// data can describe a picture of the full 256 MiB, which costs the fuzzer seconds per
// input and teaches it nothing new. The size limits have their own tests.
constexpr qint64 MaxPixels = qint64(1) << 20;

bool declaredTooLarge(const uint8_t *data, size_t size)
{
    if (size < 18)
        return false;
    const qint64 w = qFromLittleEndian<quint16>(data + 12);
    const qint64 h = qFromLittleEndian<quint16>(data + 14);
    return w * h > MaxPixels && Raster::sizeAllowed(w, h, 8);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (declaredTooLarge(data, size))
        return 0;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    Raster picture;
    if (!ReadTga(bytes, picture)) {
        if (picture.width() != 1 || picture.height() != 1 || TgaLastError().isEmpty())
            std::abort();
        return 0;
    }
    if (picture.isEmpty() || !TgaLastError().isEmpty())
        std::abort();
    Raster back;
    if (!ReadTga(WriteTga(picture), back) || back.bitCount() != 24 || !back.samePixels(picture))
        std::abort();
    return 0;
}
