// libFuzzer target for the JPEG reader: any input either decodes into a 24-bit picture or
// throws LetrafexError; libjpeg must never end the process.
#include "core/Raster.h"
#include "imageio/JpegCodec.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const Raster picture = ReadJpeg(bytes);
        if (picture.isEmpty() || picture.bitCount() != 24)
            std::abort();
    } catch (const LetrafexError &) {
    }
    return 0;
}
