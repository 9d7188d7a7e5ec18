// letrafex-cli convert: a picture file into another format, with the program's readers
// and writers.
#include "cli/Cli.h"
#include "cli/CliPictures.h"

int runConvert(const QStringList &args)
{
    const CliArguments a = parseArguments(args, {});
    if (a.positional.size() != 2)
        throw UsageError(QStringLiteral("expected IN and OUT"));
    const QString in = a.positional[0], out = a.positional[1];
    pictureWriterArgument(out);
    writePictureArgument(out, readPictureArgument(in));
    return 0;
}
