// libFuzzer target for the WebP reader (still and animated): any input must either load,
// giving a 24-bit picture of the size libwebp reads in the file's header, or throw
// LetrafexError leaving the picture as it was.
#include "core/Errors.h"
#include "core/Raster.h"
#include "imageio/WebpCodec.h"

#include <QByteArray>

#include <webp/decode.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    static const Raster blank(8, 8);
    Raster picture = blank;
    try {
        ReadWebp(bytes, picture);
    } catch (const LetrafexError &) {
        if (!picture.samePixels(blank) || picture.bitCount() != 24)
            std::abort();
        return 0;
    }
    int width = 0, height = 0;
    if (!WebPGetInfo(data, size, &width, &height) || picture.bitCount() != 24 || picture.width() != width ||
        picture.height() != height)
        std::abort();
    return 0;
}
