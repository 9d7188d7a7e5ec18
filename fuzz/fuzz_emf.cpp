// libFuzzer target for the enhanced-metafile reader: any input must either draw onto the
// picture, which keeps its size, or throw LetrafexError leaving the picture as it was.
// The first record is made to look like an EMF header, so that the mutations spend their
// time on the checks and the records behind it.
#include "core/Errors.h"
#include "core/Raster.h"
#include "imageio/MetafileCodec.h"

#include <QByteArray>
#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv); // fonts for the SVG renderer
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (bytes.size() >= 44) {
        std::memcpy(bytes.data(), "\x01\x00\x00\x00", 4);
        std::memcpy(bytes.data() + 40, " EMF", 4);
    }
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
