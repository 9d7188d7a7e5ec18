// libFuzzer target for the PNG reader: any input must either load, giving a 24-bit picture
// of the size in the file's header, or fail leaving the picture as it was.
#include "core/Raster.h"
#include "imageio/PngCodec.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
std::uint32_t bigEndian32(const uint8_t *p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    static const Raster blank(8, 8);
    Raster picture = blank;
    if (ReadPng(bytes, picture)) {
        // A successful read has seen the signature and the header, which come first.
        if (size < 24 || picture.bitCount() != 24 || std::uint32_t(picture.width()) != bigEndian32(data + 16) ||
            std::uint32_t(picture.height()) != bigEndian32(data + 20))
            std::abort();
    } else if (!picture.samePixels(blank) || picture.bitCount() != 24) {
        std::abort();
    }
    return 0;
}
