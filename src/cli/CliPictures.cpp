#include "cli/CliPictures.h"

#include "cli/Cli.h"
#include "core/PlainMessage.h"
#include "imageio/MetafileCodec.h"
#include "imageio/PcxCodec.h"
#include "imageio/PictureFiles.h"
#include "imageio/TgaCodec.h"

#include "core/Errors.h"

#include <QFile>
#include <QSaveFile>

Raster readPictureArgument(const QString &path)
{
    const int reader = pictureReaderFor(path);
    if (reader < 0 || reader == ReaderProject)
        throw CliError(QStringLiteral("%1: This format is not supported by the program.").arg(path));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw CliError(QStringLiteral("cannot read %1: %2").arg(path, f.errorString()));
    Raster picture;
    if (reader == ReaderEmf || reader == ReaderWmf) {
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

void checkWritable(const QString &path)
{
    // The writers report failures in the window's own words; a batch user wants the file
    // and the system's reason, so the place is tried first, without touching what is there.
    QSaveFile probe(path);
    if (!probe.open(QIODevice::WriteOnly))
        throw CliError(QStringLiteral("cannot write %1: %2").arg(path, probe.errorString()));
    probe.cancelWriting();
}

void writePictureArgument(const QString &path, const Raster &picture)
{
    const int writer = pictureWriterArgument(path);
    checkWritable(path);
    try {
        savePictureFile(path, writer, picture);
    } catch (const LetrafexError &e) {
        throw CliError(QStringLiteral("cannot write %1: %2").arg(path, e.text()));
    }
}
