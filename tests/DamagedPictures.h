#pragma once
// Damaged picture files of every format the program reads, each with a part of the
// reason its reader gives: a PNG with a broken checksum, a TGA, a PCX and a WebP cut
// short, a TIFF of random bytes, a BMP and a JPEG whose data is garbage, and a pipe named
// as a PNG, which no reader may open and wait on.
#include "core/Color.h"
#include "core/Raster.h"
#include "imageio/PcxCodec.h"
#include "imageio/PngCodec.h"
#include "imageio/TgaCodec.h"
#include "imageio/WebpCodec.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <sys/stat.h>
#include <vector>

struct DamagedPicture
{
    QString name;
    const char *reason;
};

inline std::vector<DamagedPicture> writeDamagedPictures(const QDir &dir)
{
    const Raster picture(40, 30, 24, Colors::clAqua);
    QByteArray png(64, '\0');
    QFile good(dir.filePath(QStringLiteral("good.png")));
    if (SavePngFile(good.fileName(), picture) && good.open(QIODevice::ReadOnly))
        png = good.readAll();
    png[20] = char(png[20] ^ 0x55); // inside the header chunk: its checksum no longer fits
    const QByteArray tga = WriteTga(picture).left(18 + 40 * 3 * 5);
    const QByteArray pcx = WritePcx(picture).left(128 + 30);
    QByteArray random(4096, '\0');
    QRandomGenerator generator(18);
    for (char &c : random)
        c = char(generator.bounded(256));
    const struct { const char *name; QByteArray data; const char *reason; } files[] = {
        {"damaged.png", png, "PNG image is not valid"},
        {"truncated.tga", tga, "Truncated TGA file!"},
        {"truncated.pcx", pcx, "The PCX file ends before its picture is complete."},
        {"truncated.webp", WriteWebp(picture.toRgb32()).left(30), "The file is not a WebP picture or is damaged."},
        {"random.tif", random, "is not a valid TIFF file"},
        {"garbage.bmp", QByteArray("BM garbage that is no bitmap"), "Bitmap image is not valid"},
        {"garbage.jpg", QByteArray("\xFF\xD8\xFF garbage", 12), "JPEG image is not valid"},
    };
    std::vector<DamagedPicture> out;
    for (const auto &f : files) {
        QFile file(dir.filePath(QLatin1String(f.name)));
        if (file.open(QIODevice::WriteOnly))
            file.write(f.data);
        out.push_back({QLatin1String(f.name), f.reason});
    }
    if (::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe.png"))).constData(), 0600) == 0)
        out.push_back({QStringLiteral("pipe.png"), "This is no regular file but a pipe"});
    return out;
}
