// libFuzzer target for the PNG reader: any input must either load (the picture takes the
// file's size) or fail leaving the picture as it was.
#include "core/Raster.h"
#include "imageio/PngCodec.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    static const Raster blank(8, 8);
    Raster picture = blank;
    if (ReadPng(bytes, picture)) {
        if (picture.isEmpty() || picture.bitCount() != 24)
            std::abort();
    } else if (!picture.samePixels(blank) || picture.bitCount() != 24) {
        std::abort();
    }
    return 0;
}
