#include "cli/CliPictures.h"

#include "cli/Cli.h"
#include "imageio/PictureFiles.h"

#include "core/Errors.h"

#include <QSaveFile>

Raster readPictureArgument(const QString &path)
{
    const int reader = pictureReaderFor(path);
    if (reader < 0 || reader == ReaderProject)
        throw CliError(QStringLiteral("%1: This format is not supported by the program.").arg(path));
    // The window's reading function, so a damaged file gets the window's error text.
    PictureRead read = readPictureFile(path, reader);
    if (!read.ok())
        throw CliError(read.error);
    return read.picture;
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
