// libFuzzer target for the PNG reader: any input must either load, giving a 24-bit picture
// of the size in the file's header, or fail leaving the picture as it was.
#include "core/Raster.h"
#include "imageio/PngCodec.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <cstring>

namespace {
std::uint32_t bigEndian32(const uint8_t *p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// Width and height from the first IHDR chunk, walking the chunks as a reader does (chunks
// the reader skips may come before it).
bool headerSize(const uint8_t *data, size_t size, std::uint32_t &width, std::uint32_t &height)
{
    for (size_t at = 8; at + 16 <= size;) {
        const std::uint64_t length = bigEndian32(data + at);
        if (std::memcmp(data + at + 4, "IHDR", 4) == 0) {
            width = bigEndian32(data + at + 8);
            height = bigEndian32(data + at + 12);
            return true;
        }
        at += size_t(std::min<std::uint64_t>(length + 12, size));
    }
    return false;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    static const Raster blank(8, 8);
    Raster picture = blank;
    if (ReadPng(bytes, picture)) {
        std::uint32_t width = 0, height = 0;
        if (!headerSize(data, size, width, height) || picture.bitCount() != 24 ||
            std::uint32_t(picture.width()) != width || std::uint32_t(picture.height()) != height)
            std::abort();
    } else if (!picture.samePixels(blank) || picture.bitCount() != 24) {
        std::abort();
    }
    return 0;
}
