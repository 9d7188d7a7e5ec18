// letrafex-cli render, info and project: compositions drawn, shown and saved as the main
// window draws and saves them.
#include "compose/ItemRowsText.h"
#include "compose/PictureExport.h"
#include "compose/ProjectFile.h"
#include "compose/TextPainter.h"
#include "cli/Cli.h"
#include "cli/CliPictures.h"
#include "core/Errors.h"
#include "core/IniFile.h"
#include "imageio/PictureFiles.h"

#include <QFile>

#include <cstdio>

namespace {

bool isProjectName(const QString &path) { return fileExtension(path).toUpper() == QLatin1String(".LFX"); }

// The ten items and the background a composition is drawn from.
struct Composition
{
    ItemTable table;
    Raster background;
};

// Item rows from a text file, surfaces from --surface K=FILE, the background from
// --background (any picture file) and/or --size (a white picture, or the background
// stretched to that size).
Composition compositionFromItems(const CliArguments &a, const QString &itemsPath)
{
    if (!a.has(QStringLiteral("--size")) && !a.has(QStringLiteral("--background")))
        throw UsageError(QStringLiteral("give --size or --background"));
    bool ok = false;
    const QString text = readTextFileAnyEncoding(itemsPath, &ok);
    if (!ok) {
        QFile f(itemsPath);
        throw CliError(QStringLiteral("cannot read %1: %2")
                           .arg(itemsPath, f.open(QIODevice::ReadOnly) ? QStringLiteral("not a text file") : f.errorString()));
    }
    Composition c;
    QString error;
    if (!readItemRows(text, c.table, &error))
        throw CliError(QStringLiteral("%1: %2").arg(itemsPath, error));
    for (const QString &s : a.values(QStringLiteral("--surface"))) {
        const int eq = int(s.indexOf(QLatin1Char('=')));
        const int k = eq > 0 ? s.left(eq).toInt(&ok) : 0;
        if (eq <= 0 || !ok || k < 1 || k > ItemCount)
            throw UsageError(QStringLiteral("bad --surface \"%1\": expected K=FILE with K from 1 to 10").arg(s));
        c.table.surfaces[size_t(k - 1)] = readPictureArgument(s.mid(eq + 1));
    }
    if (a.has(QStringLiteral("--background"))) {
        c.background = readPictureArgument(a.value(QStringLiteral("--background")));
        c.background.setBitCount(24);
    }
    if (a.has(QStringLiteral("--size"))) {
        int w = 0, h = 0;
        parseSize(a.value(QStringLiteral("--size")), w, h);
        Raster sized(w, h);
        if (!c.background.isEmpty())
            StretchDraw(c.background, sized, w, h);
        c.background = sized;
    }
    return c;
}

// The project's items over its background layer as the window shows it: the control's
// size, the stored picture at its top-left corner, white where the picture does not reach.
Composition compositionFromProject(const QString &path)
{
    const Project project = LoadProjectFile(path);
    Composition c;
    applyProjectItems(project, c.table);
    const int w = project.bg.width > 0 ? project.bg.width : project.bg.picture.width();
    const int h = project.bg.height > 0 ? project.bg.height : project.bg.picture.height();
    if (!Raster::sizeAllowed(w, h) || w < 1 || h < 1)
        throw CliError(QStringLiteral("%1: the project has no background to draw on").arg(path));
    c.background = Raster(w, h);
    CopyPixels(project.bg.picture, c.background);
    return c;
}

// Drawn on the composition's own background pixels when the caller gives them up.
Raster draw(Composition c) { return ComposePicture(std::move(c.background), c.table); }

const QStringList itemOptions{QStringLiteral("--size"), QStringLiteral("--background"), QStringLiteral("--surface")};

// How render writes its picture: --scale K (1 to 4), the flag --transparent, --quality Q
// (lossy WebP) and --animate grow.
struct RenderOutput
{
    int scale = 1;
    bool transparent = false;
    bool lossy = false;
    int quality = DefaultWebpQuality;
    bool animate = false;
};

// The whole-number value after option name in args, removed from args with it; fallback
// when the option is not there.
int takeNumber(QStringList &args, const QString &name, int fallback, int low, int high, const QString &complaint)
{
    const qsizetype at = args.indexOf(name);
    if (at < 0)
        return fallback;
    bool ok = false;
    const int value = at + 1 < args.size() ? args[at + 1].toInt(&ok) : 0;
    if (!ok || value < low || value > high)
        throw UsageError(complaint);
    args.remove(at, 2);
    return value;
}

// Takes the export options out of args, leaving the rest for parseArguments.
RenderOutput takeRenderOutput(QStringList &args)
{
    RenderOutput out;
    out.transparent = args.removeAll(QStringLiteral("--transparent")) > 0;
    out.scale = takeNumber(args, QStringLiteral("--scale"), 1, MinExportScale, MaxExportScale,
                           QStringLiteral("--scale takes 1, 2, 3 or 4"));
    out.lossy = args.contains(QStringLiteral("--quality"));
    out.quality = takeNumber(args, QStringLiteral("--quality"), DefaultWebpQuality, 0, 100,
                             QStringLiteral("--quality takes 0 to 100"));
    const qsizetype at = args.indexOf(QStringLiteral("--animate"));
    if (at >= 0) {
        if (at + 1 >= args.size() || args[at + 1] != QLatin1String("grow"))
            throw UsageError(QStringLiteral("--animate takes grow"));
        out.animate = true;
        args.remove(at, 2);
    }
    return out;
}

// What the options ask of the output file's format, refused with a usage error when it
// cannot give it.
void checkOutputFormat(const RenderOutput &how, bool exportable, ExportFormat format)
{
    if (how.transparent && !(exportable && exportKeepsTransparency(format)))
        throw UsageError(QStringLiteral("--transparent needs a PNG, TIFF, WebP, SVG or PDF file"));
    if (how.animate && !(exportable && exportAnimates(format)))
        throw UsageError(QStringLiteral("--animate needs a PNG or WebP file"));
    if (how.lossy && !(exportable && format == ExportFormat::Webp))
        throw UsageError(QStringLiteral("--quality needs a WebP file"));
}

// SVG and PDF, transparent pictures and scaled ones go through the export; everything else
// is written as the window saves its picture.
void writeComposition(const QString &outPath, Composition c, const RenderOutput &how)
{
    ExportFormat format = ExportFormat::Png;
    const bool exportable = exportFormatFor(outPath, format);
    checkOutputFormat(how, exportable, format);
    const bool vector = exportable && (format == ExportFormat::Svg || format == ExportFormat::Pdf);
    if (!vector && !exportSizeAllowed(QSize(c.background.width(), c.background.height()), how.scale))
        throw CliError(QStringLiteral("%1: a picture of %2 x %3 pixels is not possible")
                           .arg(outPath)
                           .arg(qint64(c.background.width()) * how.scale)
                           .arg(qint64(c.background.height()) * how.scale));
    if (!vector && !how.transparent && !how.animate && !how.lossy) {
        writePictureArgument(outPath, how.scale == 1 ? draw(std::move(c)) : ComposeScaled(c.background, c.table, how.scale));
        return;
    }
    try {
        ExportPicture(outPath, c.background, c.table,
                      ExportOptions{format, how.transparent, how.scale, WebpOptions{!how.lossy, how.quality}, how.animate});
    } catch (const LetrafexError &e) {
        throw CliError(e.text());
    }
}

} // namespace

int runRender(const QStringList &args)
{
    QStringList rest = args;
    const RenderOutput how = takeRenderOutput(rest);
    const CliArguments a = parseArguments(rest, itemOptions);
    if (a.positional.size() != 2)
        throw UsageError(QStringLiteral("expected ITEMS (or PROJECT.lfx) and OUT"));
    const QString source = a.positional[0], outPath = a.positional[1];
    ExportFormat format = ExportFormat::Png;
    if (!exportFormatFor(outPath, format) || (format != ExportFormat::Svg && format != ExportFormat::Pdf))
        pictureWriterArgument(outPath);
    checkWritable(outPath);
    if (isProjectName(source)) {
        if (!a.options.isEmpty())
            throw UsageError(QStringLiteral("a project brings its own size, background and surfaces"));
        writeComposition(outPath, compositionFromProject(source), how);
    } else {
        writeComposition(outPath, compositionFromItems(a, source), how);
    }
    return 0;
}

int runInfo(const QStringList &args)
{
    const CliArguments a = parseArguments(args, {});
    if (a.positional.size() != 1 || !isProjectName(a.positional[0]))
        throw UsageError(QStringLiteral("expected PROJECT.lfx"));
    ItemTable table;
    applyProjectItems(LoadProjectFile(a.positional[0]), table);
    std::fputs(writeItemRows(table).toUtf8().constData(), stdout);
    return 0;
}

int runProject(const QStringList &args)
{
    const CliArguments a = parseArguments(args, itemOptions);
    if (a.positional.size() != 2 || !isProjectName(a.positional[1]))
        throw UsageError(QStringLiteral("expected ITEMS and OUT.lfx"));
    const Composition c = compositionFromItems(a, a.positional[0]);
    Project project;
    takeProjectItems(c.table, project);
    const int w = c.background.width(), h = c.background.height();
    project.title = ProjectLayer{0, 0, w, h, QStringLiteral("Click and drag to position text"), draw(c)};
    project.bg = ProjectLayer{0, 0, w, h, QString(), c.background};
    SaveProjectFile(a.positional[1], project);
    return 0;
}
