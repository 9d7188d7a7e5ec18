// letrafex-cli gradient: one of the background window's ten gradient kinds on a fresh
// white picture, written in the format the output's extension names.
#include "cli/Cli.h"
#include "cli/CliPictures.h"

#include "compose/GradientPainters.h"

namespace {

// A colour as the program stores it (0x00BBGGRR, decimal or 0x hexadecimal) or as
// #RRGGBB.
TColor parseColor(const QString &text)
{
    bool ok = false;
    if (text.startsWith(QLatin1Char('#'))) {
        const uint rgb = text.mid(1).toUInt(&ok, 16);
        if (ok && text.size() == 7)
            return makeColor(int(rgb >> 16) & 0xFF, int(rgb >> 8) & 0xFF, int(rgb) & 0xFF);
    } else {
        const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
        const qint64 value = hex ? text.mid(2).toLongLong(&ok, 16) : text.toLongLong(&ok, 10);
        if (ok && value >= 0 && value <= 0xFFFFFFFFLL) {
            const TColor c = TColor(quint32(value));
            if ((quint32(c) >> 24) == 0 || isSystemColor(c))
                return c;
        }
    }
    throw UsageError(QStringLiteral("bad colour \"%1\": expected 0x00BBGGRR (decimal or 0x...) or #RRGGBB").arg(text));
}

} // namespace

int runGradient(const QStringList &args)
{
    const CliArguments a = parseArguments(args, {});
    if (a.positional.size() != 5)
        throw UsageError(QStringLiteral("expected KIND WxH START END OUT"));
    bool ok = false;
    const int kind = a.positional[0].toInt(&ok);
    if (!ok || kind < FirstGradientKind || kind > LastGradientKind)
        throw UsageError(QStringLiteral("bad kind \"%1\": expected 1 to 10").arg(a.positional[0]));
    int w = 0, h = 0;
    parseSize(a.positional[1], w, h);
    const TColor start = parseColor(a.positional[2]), end = parseColor(a.positional[3]);
    const QString out = a.positional[4];
    pictureWriterArgument(out);
    // As the window does: a white picture of the control's size, a fresh pen and brush.
    ImageBox image(QStringLiteral("BackImage"));
    SetImageSize(image, w, h);
    CanvasTools tools;
    PaintGradient(kind, image, tools, start, end);
    writePictureArgument(out, image.picture);
    return 0;
}
