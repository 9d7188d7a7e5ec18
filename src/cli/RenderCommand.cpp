// letrafex-cli render: the composition of the ten item rows, as the main window draws it.
#include "app/ItemRowsText.h"
#include "app/TextPainter.h"
#include "cli/Cli.h"
#include "core/IniFile.h"
#include "imageio/BmpCodec.h"

#include <QFile>

int runRender(const QStringList &args)
{
    const CliArguments a =
        parseArguments(args, {QStringLiteral("--size"), QStringLiteral("--background"), QStringLiteral("--surface")});
    if (a.positional.size() != 2)
        throw UsageError(QStringLiteral("expected ITEMS and OUT.bmp"));
    if (!a.has(QStringLiteral("--size")) && !a.has(QStringLiteral("--background")))
        throw UsageError(QStringLiteral("give --size or --background"));
    const QString itemsPath = a.positional[0], outPath = a.positional[1];

    bool ok = false;
    const QString text = readTextFileAnyEncoding(itemsPath, &ok);
    if (!ok)
        throw CliError(QStringLiteral("cannot read item rows from %1").arg(itemsPath));
    ItemTable table;
    QString error;
    if (!readItemRows(text, table, &error))
        throw CliError(QStringLiteral("%1: %2").arg(itemsPath, error));

    for (const QString &s : a.values(QStringLiteral("--surface"))) {
        const int eq = int(s.indexOf(QLatin1Char('=')));
        const int k = eq > 0 ? s.left(eq).toInt(&ok) : 0;
        if (eq <= 0 || !ok || k < 1 || k > ItemCount)
            throw UsageError(QStringLiteral("bad --surface \"%1\": expected K=FILE.bmp with K from 1 to 10").arg(s));
        table.surfaces[size_t(k - 1)] = LoadBmpFile(s.mid(eq + 1));
    }

    Raster background;
    if (a.has(QStringLiteral("--background"))) {
        background = LoadBmpFile(a.value(QStringLiteral("--background")));
        background.setBitCount(24);
    }
    if (a.has(QStringLiteral("--size"))) {
        int w = 0, h = 0;
        parseSize(a.value(QStringLiteral("--size")), w, h);
        Raster sized(w, h);
        if (!background.isEmpty())
            StretchDraw(background, sized, w, h);
        background = sized;
    }
    const Raster picture = ComposePicture(background, table);
    SaveBmpFile(outPath, Raster::fromImage(picture.toRgb32(), 24));
    return 0;
}
