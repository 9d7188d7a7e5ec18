// libFuzzer target for the old-style metafile reader (with and without the placeable
// header): any input must either draw onto the picture, which keeps its size, or throw
// LetrafexError leaving the picture as it was.
#include "core/Errors.h"
#include "core/Raster.h"
#include "imageio/MetafileCodec.h"

#include <QByteArray>
#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv); // fonts for text records
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    static const Raster blank(64, 48);
    Raster picture = blank;
    try {
        ReadMetafile(bytes, picture);
    } catch (const LetrafexError &) {
        if (!picture.samePixels(blank))
            std::abort();
    }
    if (picture.width() != 64 || picture.height() != 48 || picture.bitCount() != 24)
        std::abort();
    return 0;
}
