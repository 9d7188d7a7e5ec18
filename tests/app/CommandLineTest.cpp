// letrafex-cli as batch users run it: output by extension through the save filter's
// writers, help for every subcommand, errors that name the file and the system's reason
// (also when the disk refuses a write), and text as crisp as the window's at sizes Qt's
// glyph cache does not hint.
#include "compose/ItemRowsText.h"
#include "compose/PictureExport.h"
#include "compose/TextPainter.h"
#include "core/FileBytes.h"
#include "imageio/PngCodec.h"

#include "FileSizeLimit.h"
#include "ReferenceTools.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct CliRun
{
    int status = -1;
    QString out, err;
};

CliRun runCli(const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess cli;
    cli.setProcessEnvironment(env);
    cli.start(LETRAFEX_CLI, args);
    CliRun r;
    if (!cli.waitForFinished(60000))
        return r;
    r.status = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    r.out = QString::fromLocal8Bit(cli.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(cli.readAllStandardError());
    return r;
}

// One bold 3D "H" of the given size: down, depth 10, green to yellow.
ItemTable boldH(int size)
{
    ItemTable table;
    ItemRow &r = table.rows[0];
    r.caption = QStringLiteral("H");
    r.cells[CellType] = QStringLiteral("1");
    r.cells[CellFontName] = QStringLiteral("Arial");
    r.cells[CellFontSize] = QString::number(size);
    r.cells[CellFontDepth] = QStringLiteral("10");
    r.cells[CellStartColor] = QString::number(Colors::clYellow);
    r.cells[CellEndColor] = QString::number(Colors::clGreen);
    r.cells[CellXPos] = QStringLiteral("20");
    r.cells[CellYPos] = QStringLiteral("20");
    r.cells[CellDirection] = QString::number(DirDown);
    r.cells[CellAlignment] = QString::number(AlignLeftCode);
    r.cells[CellStyleSet] = QString::number(StyleBold);
    return table;
}

QString writeItems(const QTemporaryDir &dir, const ItemTable &table)
{
    const QString path = dir.filePath(QStringLiteral("items.txt"));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(writeItemRows(table).toUtf8());
    return path;
}

bool holds(const Raster &r, TColor c)
{
    for (int y = 0; y < r.height(); ++y)
        for (int x = 0; x < r.width(); ++x)
            if (r.pixel(x, y) == c)
                return true;
    return false;
}

} // namespace

TEST(CommandLine, RenderWritesPngsOtherProgramsReadWithCrispLargeText)
{
    QTemporaryDir dir;
    const ItemTable table = boldH(100);
    const QString items = writeItems(dir, table), png = dir.filePath(QStringLiteral("out.png"));
    // A glyph cache limit in the environment changes nothing: the program pins its own.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_MAX_CACHED_GLYPH_SIZE"), QStringLiteral("100"));
    const CliRun run = runCli({QStringLiteral("render"), items, png, QStringLiteral("--size"), QStringLiteral("240x200")}, env);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();

    QFile f(png);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(8).startsWith("\x89PNG\r\n\x1a\n"));
    f.close();
    const QString why = decodeWithPillow({png});
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    const Raster fromPillow = Raster::fromImage(referencePicture(png + QStringLiteral(".pil.ppm")), 24);
    const Raster inProcess = ComposePicture(Raster(240, 200), table);
    EXPECT_TRUE(fromPillow.samePixels(inProcess));
    for (TColor c : {makeColor(0, 128, 0), makeColor(128, 192, 0), makeColor(255, 255, 0)})
        EXPECT_TRUE(holds(fromPillow, c)) << std::hex << c;
}

TEST(CommandLine, ErrorsNameTheFileAndTheSystemsReason)
{
    QTemporaryDir dir;
    const QString items = writeItems(dir, boldH(24));
    const QString missingFolder = dir.filePath(QStringLiteral("out/x.png"));
    CliRun run = runCli({QStringLiteral("render"), items, missingFolder, QStringLiteral("--size"), QStringLiteral("20x20")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("Cannot create file \"%1\". No such file or directory").arg(missingFolder)))
        << run.err.toStdString();

    const QString absent = dir.filePath(QStringLiteral("absent.txt"));
    run = runCli({QStringLiteral("render"), absent, dir.filePath(QStringLiteral("y.png")), QStringLiteral("--size"),
                  QStringLiteral("20x20")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("cannot read %1: No such file or directory").arg(absent)))
        << run.err.toStdString();

    const QString absentPicture = dir.filePath(QStringLiteral("absent.bmp"));
    run = runCli({QStringLiteral("convert"), absentPicture, dir.filePath(QStringLiteral("z.png"))});
    EXPECT_EQ(run.status, 1);
    // A picture that cannot be read gets the window's text for it.
    EXPECT_TRUE(run.err.contains(QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(absentPicture)))
        << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("y.png"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("z.png"))));
}

TEST(CommandLine, AWriteTheDiskRefusesFailsWithTheFileAndTheReasonAndKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString items = writeItems(dir, boldH(24));
    const QString picture = dir.filePath(QStringLiteral("in.bmp")), rtf = dir.filePath(QStringLiteral("doc.rtf"));
    ASSERT_EQ(runCli({QStringLiteral("render"), items, picture, QStringLiteral("--size"), QStringLiteral("60x40")}).status, 0);
    QFile doc(rtf);
    ASSERT_TRUE(doc.open(QIODevice::WriteOnly));
    doc.write("{\\rtf1\\ansi A page of text.\\par}");
    doc.close();
    const QStringList size{QStringLiteral("--size"), QStringLiteral("60x40")};
    const QStringList render{QStringLiteral("render"), items};
    const QStringList transparent{QStringLiteral("--transparent")};
    const struct
    {
        const char *out;
        QStringList args; // the output goes after these
        QStringList options;
    } cases[] = {
        {"old.bmp", render, size}, {"old.jpg", render, size}, {"old.emf", render, size},
        {"old.png", render, size}, {"old.tif", render, size}, {"old.pcx", render, size},
        {"old.tga", render, size}, {"old.svg", render, size}, {"old.pdf", render, size},
        {"clear.png", render, size + transparent}, {"clear.tif", render, size + transparent},
        {"old.lfx", {QStringLiteral("project"), items}, size},
        {"converted.tga", {QStringLiteral("convert"), picture}, {}},
        {"doc.pdf", {QStringLiteral("print-rtf"), rtf}, {}},
    };
    for (const auto &c : cases) {
        const QString out = dir.filePath(QLatin1String(c.out));
        const QByteArray old = QByteArray("the file that was there: ") + c.out;
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(old);
        f.close();
        QProcess cli;
        FileSizeLimit::applyTo(cli);
        cli.start(LETRAFEX_CLI, c.args + QStringList{out} + c.options);
        ASSERT_TRUE(cli.waitForFinished(60000)) << c.out;
        const QString err = QString::fromLocal8Bit(cli.readAllStandardError());
        EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit) << c.out;
        EXPECT_EQ(cli.exitCode(), 1) << c.out << ": " << err.toStdString();
        EXPECT_TRUE(err.contains(nativeFilePath(out)) && err.trimmed().endsWith(fileTooLargeText()))
            << c.out << ": " << err.toStdString();
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.readAll() == old) << c.out << " was replaced by a failed write";
    }
}

TEST(CommandLine, EverySubcommandHasHelp)
{
    const CliRun all = runCli({QStringLiteral("--help")});
    ASSERT_EQ(all.status, 0);
    int commands = 0;
    for (const QString &line : all.out.split(QLatin1Char('\n'))) {
        // Subcommand usages are indented by two spaces in the overview.
        if (!line.startsWith(QLatin1String("  ")) || line.startsWith(QLatin1String("   ")))
            continue;
        const QString name = line.trimmed().section(QLatin1Char(' '), 0, 0);
        if (name.isEmpty())
            continue;
        ++commands;
        const CliRun help = runCli({name, QStringLiteral("--help")});
        EXPECT_EQ(help.status, 0) << name.toStdString();
        EXPECT_TRUE(help.out.startsWith(QStringLiteral("usage: letrafex-cli ") + name)) << help.out.toStdString();
    }
    EXPECT_GE(commands, 4);
}

TEST(CommandLine, RenderScalesLeavesTheBackgroundOutAndWritesVectorFilesByExtension)
{
    QTemporaryDir dir;
    const ItemTable table = boldH(30);
    const QString items = writeItems(dir, table);
    const QStringList size{QStringLiteral("--size"), QStringLiteral("240x200")};
    const QString png = dir.filePath(QStringLiteral("t.png"));
    CliRun run = runCli(QStringList{QStringLiteral("render"), items, png, QStringLiteral("--scale"), QStringLiteral("2"),
                                    QStringLiteral("--transparent")} + size);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QImage written = QImage(png).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(written, ComposeTransparent(QSize(240, 200), table, 2));

    const QString lfx = dir.filePath(QStringLiteral("p.lfx"));
    ASSERT_EQ(runCli(QStringList{QStringLiteral("project"), items, lfx} + size).status, 0);
    for (const char *name : {"v.svg", "v.pdf"}) {
        const QString out = dir.filePath(QLatin1String(name));
        run = runCli({QStringLiteral("render"), lfx, out, QStringLiteral("--scale"), QStringLiteral("2")});
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        EXPECT_TRUE(bytes.startsWith("%PDF-") ? bytes.contains("/MediaBox [0 0 480 400]")
                                              : bytes.contains("width=\"480\" height=\"400\""));
    }

    // What cannot be done is refused and nothing is written.
    const QString jpg = dir.filePath(QStringLiteral("t.jpg")), big = dir.filePath(QStringLiteral("big.png"));
    EXPECT_EQ(runCli(QStringList{QStringLiteral("render"), items, jpg, QStringLiteral("--transparent")} + size).status, 2);
    EXPECT_EQ(runCli(QStringList{QStringLiteral("render"), items, jpg, QStringLiteral("--scale"), QStringLiteral("5")} + size)
                  .status,
              2);
    run = runCli({QStringLiteral("render"), items, big, QStringLiteral("--scale"), QStringLiteral("4"),
                  QStringLiteral("--size"), QStringLiteral("10000x100")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("40000 x 400"))) << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(jpg));
    EXPECT_FALSE(QFile::exists(big));
}

TEST(CommandLine, RenderWritesWebpStillsAndGrowingAnimationsAndSaysHowTheyAreTimed)
{
    QTemporaryDir dir;
    const QString items = writeItems(dir, boldH(30));
    const QStringList size{QStringLiteral("--size"), QStringLiteral("120x90")};
    const auto path = [&dir](const char *name) { return dir.filePath(QLatin1String(name)); };
    ASSERT_EQ(runCli(QStringList{QStringLiteral("render"), items, path("still.png")} + size).status, 0);
    ASSERT_EQ(runCli(QStringList{QStringLiteral("render"), items, path("still.webp")} + size).status, 0);
    ASSERT_EQ(runCli(QStringList{QStringLiteral("render"), items, path("lossy.webp"), QStringLiteral("--quality"),
                                 QStringLiteral("40")} + size).status, 0);
    for (const char *name : {"grow.webp", "grow.png"})
        ASSERT_EQ(runCli(QStringList{QStringLiteral("render"), items, path(name), QStringLiteral("--animate"),
                                     QStringLiteral("grow")} + size).status, 0) << name;
    // convert reads WebP and writes it: the lossless still comes back as the PNG's pixels.
    ASSERT_EQ(runCli({QStringLiteral("convert"), path("still.webp"), path("back.png")}).status, 0);
    Raster still, back;
    ASSERT_TRUE(LoadPngFile(path("still.png"), still));
    ASSERT_TRUE(LoadPngFile(path("back.png"), back));
    EXPECT_TRUE(back.samePixels(still));
    EXPECT_LT(QFileInfo(path("lossy.webp")).size(), QFileInfo(path("still.webp")).size());
    // Depth 10 grows in 11 different frames, the last held two seconds; both loop forever.
    for (const char *name : {"grow.webp", "grow.png"}) {
        QByteArray info;
        ASSERT_EQ(pillowFrames(path(name), &info), QString()) << name;
        const QList<QByteArray> frames = info.trimmed().split('\n');
        EXPECT_EQ(frames.size(), 11) << name << info.constData();
        EXPECT_EQ(frames.last().split(' ').mid(3), QList<QByteArray>({"2000", "0"})) << name << info.constData();
        const QImage last = pillowFrame(path(name), int(frames.size()) - 1, QSize(120, 90));
        EXPECT_EQ(last, still.toRgb32().convertToFormat(QImage::Format_ARGB32)) << name;
    }
    // What cannot be done is refused before anything is drawn.
    const struct { const char *out; QStringList options; const char *why; } refused[] = {
        {"a.jpg", {"--animate", "grow"}, "--animate needs a PNG or WebP file"},
        {"a.webp", {"--animate", "spin"}, "--animate takes grow"},
        {"a.png", {"--quality", "50"}, "--quality needs a WebP file"},
        {"a.webp", {"--quality", "101"}, "--quality takes 0 to 100"},
    };
    for (const auto &r : refused) {
        const CliRun run = runCli(QStringList{QStringLiteral("render"), items, path(r.out)} + r.options + size);
        EXPECT_EQ(run.status, 2) << r.why;
        EXPECT_TRUE(run.err.contains(QLatin1String(r.why))) << run.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(path(r.out))) << r.out;
    }
    const CliRun help = runCli({QStringLiteral("render"), QStringLiteral("--help")});
    for (const char *said : {"21 frames", "50 ms each", "2000 ms", "loops forever"})
        EXPECT_TRUE(help.out.contains(QLatin1String(said))) << said;
}
