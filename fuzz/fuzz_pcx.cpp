// libFuzzer target for the PCX reader: any input either decodes, is refused with an error
// text and the picture untouched, or gives a blank picture of the file's size. A decoded
// picture must survive writing and reading back.
#include "core/Raster.h"
#include "imageio/PcxCodec.h"

#include <QByteArray>
#include <QtEndian>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
// Pictures the header declares larger than this are skipped: a header with no bytes per
// line describes a picture of up to 256 MiB without any data, which costs the fuzzer
// seconds per input and teaches it nothing new. The size limits have their own tests.
constexpr qint64 MaxPixels = qint64(1) << 18;

bool declaredTooLarge(const uint8_t *data, size_t size)
{
    if (size < 12)
        return false;
    const qint64 w = qint64(qFromLittleEndian<quint16>(data + 8)) - qFromLittleEndian<quint16>(data + 4) + 1;
    const qint64 h = qint64(qFromLittleEndian<quint16>(data + 10)) - qFromLittleEndian<quint16>(data + 6) + 1;
    return w > 0 && h > 0 && w * h > MaxPixels;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (declaredTooLarge(data, size))
        return 0;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const Raster before(1, 1, 24, 0x00123456);
    Raster picture = before;
    const bool decoded = ReadPcx(bytes, picture);
    if (decoded != PcxLastError().isEmpty())
        std::abort();
    if (!decoded) {
        // Refused files leave the picture; undecoded layouts give a white one.
        const bool untouched = picture.samePixels(before);
        const bool blank = picture.bitCount() == 24 && !picture.isEmpty() && picture.pixelRgb(0, 0) == qRgb(255, 255, 255);
        if (!untouched && !blank)
            std::abort();
        return 0;
    }
    if (picture.isEmpty())
        std::abort();
    Raster back;
    if (!ReadPcx(WritePcx(picture), back) || back.bitCount() != 24 || !back.samePixels(picture))
        std::abort();
    return 0;
}
