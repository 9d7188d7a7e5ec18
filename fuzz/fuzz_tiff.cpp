// libFuzzer target for the TIFF reader: any input either reads, shows messages or throws
// LetrafexError (a side above 65535). A picture it reads must survive writing and reading
// back, and the file on disk must read like the same bytes in memory.
#include "core/PlainMessage.h"
#include "core/Raster.h"
#include "imageio/TiffCodec.h"
#include "imageio/TiffFile.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryFile>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
// Pictures larger than this are skipped: repeated strips let a few bytes describe a
// picture of the full 256 MiB, which costs the fuzzer seconds per input and teaches it
// nothing new. The size limits have their own tests.
constexpr qint64 MaxPixels = qint64(1) << 20;

bool declaresLargePicture(const QByteArray &bytes)
{
    TFileTiff file;
    file.setData(bytes);
    for (int i = 0; i < file.directoryCount(); ++i) {
        const TGraphicTiff &dir = *file.directory(i);
        const TiffEntry *w = dir.findEntry(TiffTag::ImageWidth);
        const TiffEntry *h = dir.findEntry(TiffTag::ImageLength);
        if (w && h && qint64(dir.value(*w)) * dir.value(*h) > MaxPixels)
            return true;
    }
    return false;
}

Raster readBytes(const QByteArray &bytes, bool &threw)
{
    Raster picture;
    threw = false;
    try {
        ReadTiff(bytes, picture);
    } catch (const LetrafexError &) {
        threw = true;
    }
    return picture;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool quiet = [] {
        setPlainMessageHandler([](const QString &) {});
        return true;
    }();
    (void)quiet;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    if (declaresLargePicture(bytes))
        return 0;
    bool threw = false;
    const Raster picture = readBytes(bytes, threw);
    if (!picture.isEmpty()) {
        bool again = false;
        if (!readBytes(WriteTiff(picture), again).samePixels(picture) || again)
            std::abort();
    }

    // Every so often, through a file: the windowed file reader must agree.
    if (size % 16 == 0) {
        QTemporaryFile file;
        if (!file.open() || file.write(bytes) != bytes.size())
            return 0;
        file.close();
        Raster fromFile;
        bool fileThrew = false;
        try {
            LoadTiffFile(file.fileName(), fromFile);
        } catch (const LetrafexError &) {
            fileThrew = true;
        }
        if (fileThrew != threw || !fromFile.samePixels(picture))
            std::abort();
    }
    return 0;
}
