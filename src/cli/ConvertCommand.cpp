// letrafex-cli convert: a picture file into another format, with the program's readers
// and writers.
#include "cli/Cli.h"
#include "core/Errors.h"
#include "core/PlainMessage.h"
#include "imageio/MetafileCodec.h"
#include "imageio/PcxCodec.h"
#include "imageio/PictureFiles.h"
#include "imageio/TgaCodec.h"

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
    // The readers that report damaged files instead of failing: their report makes the
    // conversion fail, so a batch never writes a picture that was not read.
    QStringList notices;
    const PlainMessageHandler previous = setPlainMessageHandler([&notices](const QString &t) { notices << t; });
    try {
        readPictureFile(in, reader, picture);
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
        throw CliError(QStringLiteral("%1: %2").arg(in, notices.join(QLatin1Char(' '))));
    if (picture.isEmpty())
        throw CliError(QStringLiteral("%1: no picture could be read").arg(in));
    savePictureFile(out, writer, picture);
    return 0;
}
