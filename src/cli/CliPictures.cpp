#include "cli/CliPictures.h"

#include "cli/Cli.h"
#include "core/PlainMessage.h"
#include "imageio/MetafileCodec.h"
#include "imageio/PcxCodec.h"
#include "imageio/PictureFiles.h"
#include "imageio/TgaCodec.h"

#include <QFile>

Raster readPictureArgument(const QString &path)
{
    const int reader = pictureReaderFor(path);
    if (reader < 0 || reader == ReaderProject)
        throw CliError(QStringLiteral("%1: This format is not supported by the program.").arg(path));
    if (!QFile::exists(path))
        throw CliError(QStringLiteral("%1: no such file").arg(path));
    Raster picture;
    if (reader == ReaderEmf || reader == ReaderWmf) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            throw CliError(QStringLiteral("%1: cannot be read").arg(path));
        const QSize size = MetafileSize(f.readAll());
        picture = Raster(size.width(), size.height());
    }
    // The readers that report damaged files instead of failing: their report fails the
    // command, so a batch never goes on with a picture that was not read.
    QStringList notices;
    const PlainMessageHandler previous = setPlainMessageHandler([&notices](const QString &t) { notices << t; });
    try {
        readPictureFile(path, reader, picture);
    } catch (...) {
        setPlainMessageHandler(previous);
        throw;
    }
    setPlainMessageHandler(previous);
    if (reader == ReaderPcx && !PcxLastError().isEmpty())
        notices << PcxLastError();
    if (reader == ReaderTga && !TgaLastError().isEmpty())
        notices << TgaLastError();
    if (!notices.isEmpty())
        throw CliError(QStringLiteral("%1: %2").arg(path, notices.join(QLatin1Char(' '))));
    if (picture.isEmpty())
        throw CliError(QStringLiteral("%1: no picture could be read").arg(path));
    return picture;
}

int pictureWriterArgument(const QString &path)
{
    const QString ext = fileExtension(path).toUpper();
    for (int index = SaveBitmap; index < SaveProject; ++index)
        if (pictureSaveName(QStringLiteral("x") + ext, index) == QStringLiteral("x") + ext)
            return index;
    throw CliError(QStringLiteral("%1: This format is not supported by the program.").arg(path));
}

void writePictureArgument(const QString &path, Raster picture)
{
    savePictureFile(path, pictureWriterArgument(path), picture);
}
