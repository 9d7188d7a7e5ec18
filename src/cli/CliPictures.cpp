#include "cli/CliPictures.h"

#include "cli/Cli.h"
#include "imageio/PictureFiles.h"

#include "core/Errors.h"
#include "core/FileBytes.h"


Raster readPictureArgument(const QString &path)
{
    const int reader = pictureReaderFor(path);
    if (reader == ReaderProject)
        throw CliError(projectNotPictureText(path));
    if (reader < 0)
        throw CliError(notAPictureFormatText(path));
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
    // A long render should not end in a refusal it could have met at the start: the place
    // is tried first, in the writers' own words, without touching what is there.
    try {
        WholeFileWriter probe(path);
    } catch (const LetrafexError &e) {
        throw CliError(e.text());
    }
}

void writePictureArgument(const QString &path, const Raster &picture)
{
    const int writer = pictureWriterArgument(path);
    try {
        savePictureFile(path, writer, picture);
    } catch (const LetrafexError &e) {
        throw CliError(e.text());
    }
}
