// letrafex-cli convert: a picture file into another format, with the program's readers
// and writers.
#include "cli/Cli.h"
#include "core/Errors.h"
#include "imageio/MetafileCodec.h"
#include "imageio/PictureFiles.h"

#include <QFile>

namespace {
// The save filter index whose extension the file name has, or 0.
int writerFor(const QString &fileName)
{
    const QString ext = fileExtension(fileName).toUpper();
    for (int index = SaveBitmap; index < SaveProject; ++index)
        if (pictureSaveName(QStringLiteral("x") + ext, index) == QStringLiteral("x") + ext)
            return index;
    return 0;
}
} // namespace

int runConvert(const QStringList &args)
{
    const CliArguments a = parseArguments(args, {});
    if (a.positional.size() != 2)
        throw UsageError(QStringLiteral("expected IN and OUT"));
    const QString in = a.positional[0], out = a.positional[1];
    const int reader = pictureReaderFor(in);
    if (reader < 0 || reader == ReaderProject)
        throw CliError(QStringLiteral("%1: This format is not supported by the program.").arg(in));
    const int writer = writerFor(out);
    if (writer == 0)
        throw CliError(QStringLiteral("%1: This format is not supported by the program.").arg(out));
    if (!QFile::exists(in))
        throw CliError(QStringLiteral("%1: no such file").arg(in));

    // A fresh white picture: transparent pixels come out white, and a metafile is drawn
    // onto a white picture of its own size.
    Raster picture;
    if (reader == ReaderEmf || reader == ReaderWmf) {
        QFile f(in);
        if (!f.open(QIODevice::ReadOnly))
            throw CliError(QStringLiteral("%1: cannot be read").arg(in));
        const QSize size = MetafileSize(f.readAll());
        picture = Raster(size.width(), size.height());
    }
    readPictureFile(in, reader, picture);
    if (picture.isEmpty())
        throw CliError(QStringLiteral("%1: no picture could be read").arg(in));
    savePictureFile(out, writer, picture);
    return 0;
}
