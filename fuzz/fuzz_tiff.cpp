// libFuzzer target for the TIFF reader, both the own strip reader and the libtiff path
// (seed it with tests/fixtures/tiff, which holds compressed, tiled, planar and BigTIFF
// files, and tests/fixtures/seeds: L*a*b*, 12-bit, 16-bit CMYK, floats, a thumbnail): any input either reads, shows messages or throws LetrafexError (a side above
// 65535). A picture it reads must survive writing and reading back, also in the other
// layouts, and the file on disk must read like the same bytes in memory.
#include "core/PlainMessage.h"
#include "core/Raster.h"
#include "imageio/TiffCodec.h"
#include "imageio/TiffFile.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryFile>

#include <QtEndian>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <unordered_set>

namespace {
// Pictures larger than this are skipped: repeated strips let a few bytes describe a
// picture of the full 256 MiB, which costs the fuzzer seconds per input and teaches it
// nothing new. The size limits have their own tests.
constexpr qint64 MaxPixels = qint64(1) << 20;

// The same for a BigTIFF file, whose directories the own parser does not read: entries of
// 20 bytes with 64-bit counts and offsets.
bool bigTiffDeclaresLargePicture(const QByteArray &bytes)
{
    const bool intel = bytes.startsWith("II");
    const auto *d = reinterpret_cast<const uchar *>(bytes.constData());
    const qint64 size = bytes.size();
    const auto u16 = [&](qint64 at) { return intel ? qFromLittleEndian<quint16>(d + at) : qFromBigEndian<quint16>(d + at); };
    const auto u32 = [&](qint64 at) { return intel ? qFromLittleEndian<quint32>(d + at) : qFromBigEndian<quint32>(d + at); };
    const auto u64 = [&](qint64 at) { return intel ? qFromLittleEndian<quint64>(d + at) : qFromBigEndian<quint64>(d + at); };
    if (size < 16)
        return false;
    quint64 offset = u64(8);
    std::unordered_set<quint64> seen;
    while (offset >= 16 && offset <= quint64(size) - 8 && seen.insert(offset).second && seen.size() <= 256) {
        const quint64 n = u64(qint64(offset));
        if (n > quint64(size - qint64(offset) - 8) / 20)
            return false;
        quint64 w = 0, h = 0;
        for (quint64 i = 0; i < n; ++i) {
            const qint64 e = qint64(offset + 8 + 20 * i);
            const quint16 tag = u16(e), type = u16(e + 2);
            const quint64 v = type == 3 ? u16(e + 12) : type == 4 ? u32(e + 12) : u64(e + 12);
            if (tag == TiffTag::ImageWidth)
                w = v;
            else if (tag == TiffTag::ImageLength)
                h = v;
        }
        if (w && h && (w > quint64(MaxPixels) || h > quint64(MaxPixels) || w * h > quint64(MaxPixels)))
            return true;
        const qint64 next = qint64(offset + 8 + 20 * n);
        if (next > size - 8)
            return false;
        offset = u64(next);
    }
    return false;
}

bool declaresLargePicture(const QByteArray &bytes)
{
    if (bytes.size() >= 4 && (bytes[2] == 43 || bytes[3] == 43))
        return bigTiffDeclaresLargePicture(bytes);
    TFileTiff file;
    file.setData(bytes);
    for (int i = 0; i < file.directoryCount(); ++i) {
        const TGraphicTiff &dir = *file.directory(i);
        const TiffEntry *w = dir.findEntry(TiffTag::ImageWidth);
        const TiffEntry *h = dir.findEntry(TiffTag::ImageLength);
        if (w && h && quint64(dir.value(*w)) * dir.value(*h) > quint64(MaxPixels)) // 32 by 32 bits: no overflow
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

// A small picture goes through the writer in every layout: indexed layouts keep the
// pixels of every width and palette, and the file on disk holds the same bytes as the one
// made in memory.
void writeEveryLayout(const Raster &picture, bool throughFile)
{
    if (qint64(picture.width()) * picture.height() > 4096)
        return;
    for (int bits : {1, 4, 8, 16}) {
        Raster copy = picture;
        copy.setBitCount(bits);
        const QByteArray data = WriteTiff(copy);
        bool threw = false;
        const Raster back = readBytes(data, threw);
        if (threw || back.isEmpty() || (bits <= 8 && !back.samePixels(copy)))
            std::abort();
        if (throughFile) {
            QTemporaryFile file;
            if (!file.open())
                return;
            file.close();
            SaveTiffFile(file.fileName(), copy);
            QFile saved(file.fileName());
            if (!saved.open(QIODevice::ReadOnly) || saved.readAll() != data)
                std::abort();
        }
    }
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
        writeEveryLayout(picture, size % 16 == 0);
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
