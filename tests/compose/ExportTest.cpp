// Export beyond the screen picture: transparent, scaled and vector output compared with
// the composition the window draws; saves the disk refuses.
#include "../../bench/BenchItems.h"
#include "FileSizeLimit.h"
#include "ReferenceTools.h"
#include "compose/PictureExport.h"
#include "compose/ProjectFile.h"
#include "compose/TextPainter.h"
#include "core/Errors.h"
#include "core/FileBytes.h"
#include "imageio/PictureFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

namespace {

void setRow(ItemRow &r, const QString &text, int style, int size, int depth, int x, int y, int direction,
            TColor start, TColor end, int styleSet = 0)
{
    r.caption = text;
    r.cells[CellType] = QString::number(style);
    r.cells[CellFontName] = QStringLiteral("Arial");
    r.cells[CellFontSize] = QString::number(size);
    r.cells[CellFontDepth] = QString::number(depth);
    r.cells[CellStartColor] = QString::number(start);
    r.cells[CellEndColor] = QString::number(end);
    r.cells[CellXPos] = QString::number(x);
    r.cells[CellYPos] = QString::number(y);
    r.cells[CellDirection] = QString::number(direction);
    r.cells[CellAlignment] = QString::number(AlignCenterCode);
    r.cells[CellStyleSet] = QString::number(styleSet);
}

// A 3D item, a shadowed italic one, a flat two-line one, a large one (outline glyphs) and
// one whose letters show a surface picture.
ItemTable mixedItems(bool withSurface = true)
{
    ItemTable t;
    setRow(t.rows[0], QStringLiteral("Letrafex"), Style3D, 36, 12, 30, 40, DirDownRight, Colors::clYellow, Colors::clGreen,
           StyleBold);
    setRow(t.rows[1], QStringLiteral("Shadow"), StyleShadow, 24, 6, 260, 20, DirUpLeft, makeColor(255, 80, 40),
           makeColor(20, 20, 120), StyleItalic);
    setRow(t.rows[2], QStringLiteral("Flat,Two"), StyleFlat, 20, 0, 40, 120, DirUp, makeColor(250, 250, 250),
           Colors::clBlack);
    setRow(t.rows[3], QStringLiteral("Big"), Style3D, 72, 8, 250, 90, DirDown, Colors::clAqua, Colors::clBlue);
    if (withSurface) {
        setRow(t.rows[4], QStringLiteral("Fill"), Style3D, 40, 5, 160, 150, DirUpRight, Colors::clFuchsia,
               Colors::clSilver, StyleBold);
        Raster s(2, 2);
        s.setPixel(0, 0, makeColor(255, 0, 0));
        s.setPixel(1, 0, makeColor(0, 0, 255));
        s.setPixel(0, 1, makeColor(0, 160, 0));
        s.setPixel(1, 1, makeColor(255, 0, 255));
        t.surfaces[4] = s;
    }
    return t;
}

// A background with colour in every channel and steps between neighbours.
Raster gradientBackground(int w, int h)
{
    Raster r(w, h);
    QImage &img = r.paintable();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x * 7 + y * 3) % 256));
    return r;
}

int channelDifference(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

struct Difference
{
    double mean = 0;  // over all channels of all pixels
    int largest = 0;
    int over64 = 0;   // pixels with a channel more than 64 levels off
};

Difference compare(const QImage &a, const QImage &b)
{
    Difference d;
    qint64 sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
            const int c = channelDifference(p, q);
            d.largest = std::max(d.largest, c);
            d.over64 += c > 64;
        }
    d.mean = double(sum) / (3.0 * a.width() * a.height());
    return d;
}

// Straight-alpha pixels composed over the background, rounded to nearest.
QImage composedOver(const QImage &straight, const QImage &background)
{
    QImage out(straight.size(), QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const QRgb c = straight.pixel(x, y), g = background.pixel(x, y);
            const int a = qAlpha(c);
            auto mix = [a](int f, int b) { return (f * a + b * (255 - a) + 127) / 255; };
            out.setPixel(x, y, qRgb(mix(qRed(c), qRed(g)), mix(qGreen(c), qGreen(g)), mix(qBlue(c), qBlue(g))));
        }
    return out;
}

QString exportTo(const QTemporaryDir &dir, const char *name, const Raster &bg, const ItemTable &table, ExportFormat f,
                 bool transparent, int scale = 1)
{
    const QString path = dir.filePath(QLatin1String(name));
    ExportPicture(path, bg, table, ExportOptions{f, transparent, scale});
    return path;
}

// The mixed items over the gradient, and how the window draws them.
class MixedComposition : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    const Raster bg = gradientBackground(420, 240);
    const ItemTable table = mixedItems();
    const QImage normal = ComposePicture(bg, table).toRgb32();
};

} // namespace

TEST_F(MixedComposition, TransparentPngAndTiffComposedOverTheBackgroundGiveTheNormalPicture)
{
    const QString png = exportTo(dir, "t.png", bg, table, ExportFormat::Png, true);
    const QString tif = exportTo(dir, "t.tif", bg, table, ExportFormat::Tiff, true);

    const QImage straight = QImage(png).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(straight.size(), normal.size());
    // Within one level, except where the partly covered edges of many stacked layers
    // overlap: the normal render rounds every layer onto its background, which no single
    // straight-alpha picture reproduces for every background; there it may be two.
    const QImage composed = composedOver(straight, bg.toRgb32());
    int offByTwo = 0;
    for (int y = 0; y < normal.height(); ++y)
        for (int x = 0; x < normal.width(); ++x) {
            const int c = channelDifference(composed.pixel(x, y), normal.pixel(x, y));
            ASSERT_LE(c, 2) << x << "," << y;
            offByTwo += c == 2;
        }
    EXPECT_LT(offByTwo, normal.width() * normal.height() / 2000);
    std::printf("transparent over background: %d of %d pixels two levels off, the rest within one\n", offByTwo,
                int(normal.width() * normal.height()));
    // Nothing of the background is left; edges keep their partial cover.
    int clear = 0, partial = 0, opaque = 0;
    for (int y = 0; y < straight.height(); ++y)
        for (int x = 0; x < straight.width(); ++x) {
            const int a = qAlpha(straight.pixel(x, y));
            (a == 0 ? clear : a == 255 ? opaque : partial)++;
        }
    EXPECT_GT(clear, straight.width() * straight.height() / 2);
    EXPECT_GT(partial, 500);
    EXPECT_GT(opaque, 2000);
    EXPECT_EQ(qAlpha(straight.pixel(0, 0)), 0);

    // libtiff's tools and Pillow read the TIFF as RGBA with unassociated alpha, and its
    // pixels are the PNG's.
    QByteArray info;
    const QString why = runTool(QStringLiteral("tiffinfo"), {tif}, &info);
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    EXPECT_TRUE(info.contains("unassoc-alpha")) << info.constData();
    QByteArray same;
    const QString pillow = runTool(Python, {QStringLiteral("-c"),
                                            QStringLiteral("import sys\nfrom PIL import Image\n"
                                                           "a, b = Image.open(sys.argv[1]), Image.open(sys.argv[2])\n"
                                                           "print(a.mode, b.mode, a.tobytes() == b.tobytes())\n"),
                                            png, tif},
                                   &same);
    ASSERT_TRUE(pillow.isEmpty()) << pillow.toStdString();
    EXPECT_EQ(same.trimmed(), QByteArray("RGBA RGBA True"));
}

TEST(Export, DoubleScaleIsTheCompositionOfDoubledRowsOverTheSmoothlyStretchedBackground)
{
    const Raster bg = gradientBackground(300, 160);
    ItemTable table, doubled;
    setRow(table.rows[0], QStringLiteral("Deep"), Style3D, 30, 25, 20, 30, DirDownLeft, Colors::clYellow, Colors::clGreen);
    setRow(table.rows[1], QStringLiteral("Sh"), StyleShadow, 18, 7, 170, 90, DirUpRight, Colors::clAqua, Colors::clBlue,
           StyleItalic);
    setRow(doubled.rows[0], QStringLiteral("Deep"), Style3D, 60, 50, 40, 60, DirDownLeft, Colors::clYellow, Colors::clGreen);
    setRow(doubled.rows[1], QStringLiteral("Sh"), StyleShadow, 36, 14, 340, 180, DirUpRight, Colors::clAqua, Colors::clBlue,
           StyleItalic);
    const Raster stretched =
        Raster::fromImage(bg.toRgb32().scaled(600, 320, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), 24);
    const Raster expected = ComposePicture(stretched, doubled);
    const Raster twice = ComposeScaled(bg, table, 2);
    ASSERT_EQ(twice.width(), 600);
    ASSERT_EQ(twice.height(), 320);
    EXPECT_TRUE(twice.samePixels(expected));
    // Depth 50 at scale 2 is 100 layers: the back layer lies 100 pixels from the front.
    setRow(table.rows[0], QStringLiteral("I"), StyleShadow, 20, 50, 200, 60, DirDown, Colors::clYellow, Colors::clGreen);
    table.rows[1] = ItemRow::newRow();
    const Raster deep = ComposeScaled(Raster(300, 200), table, 2);
    int top = -1, bottom = -1;
    for (int y = 0; y < deep.height(); ++y)
        for (int x = 0; x < deep.width(); ++x)
            if (deep.pixel(x, y) != Colors::clWhite) {
                bottom = y;
                if (top < 0)
                    top = y;
            }
    EXPECT_GT(bottom - top, 100 + 20);
}

TEST(Export, FourTimesFullHdIsWrittenAndTooLargeAnExportIsRefusedWithNothingWritten)
{
    QTemporaryDir dir;
    ItemTable table;
    setRow(table.rows[0], QStringLiteral("Title"), Style3D, 48, 50, 400, 300, DirDownRight, Colors::clYellow, Colors::clGreen);
    const QString big = exportTo(dir, "big.png", Raster(1920, 1080), table, ExportFormat::Png, false, 4);
    EXPECT_EQ(QImageReader(big).size(), QSize(7680, 4320));

    for (QSize size : {QSize(9000, 100), QSize(5000, 4000)}) {
        for (ExportFormat f : {ExportFormat::Png, ExportFormat::Tiff, ExportFormat::Bmp}) {
            const QString path = dir.filePath(QStringLiteral("refused%1").arg(exportExtension(f)));
            EXPECT_FALSE(exportSizeAllowed(size, 4));
            EXPECT_THROW(ExportPicture(path, Raster(size.width(), size.height()), table, {f, true, 4}), LetrafexError);
            EXPECT_FALSE(QFileInfo::exists(path));
        }
    }
    // An existing file stays as it was.
    const QString kept = dir.filePath(QStringLiteral("kept.png"));
    QFile f(kept);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old");
    f.close();
    EXPECT_THROW(ExportPicture(kept, Raster(9000, 10), table, {ExportFormat::Png, false, 4}), LetrafexError);
    QFile back(kept);
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_EQ(back.readAll(), QByteArray("old"));
}

TEST_F(MixedComposition, SvgAndPdfRasterisedMatchTheNormalRender)
{
    const QString svg = exportTo(dir, "v.svg", bg, table, ExportFormat::Svg, false);
    const QString pdf = exportTo(dir, "v.pdf", bg, table, ExportFormat::Pdf, false);
    const QString png = dir.filePath(QStringLiteral("v.svg.png"));
    const QString why = runTool(QStringLiteral("rsvg-convert"), {QStringLiteral("-o"), png, svg});
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    QString pdfWhy;
    const QImage fromPdf = renderPdfPage(pdf, 72, &pdfWhy);
    ASSERT_FALSE(fromPdf.isNull()) << pdfWhy.toStdString();
    const QImage fromSvg = QImage(png).convertToFormat(QImage::Format_RGB32);
    for (const QImage &img : {fromSvg, fromPdf}) {
        ASSERT_EQ(img.size(), normal.size());
        const Difference d = compare(img, normal);
        std::printf("rasterised vector: mean %.3f, largest %d, pixels over 64 levels %d\n", d.mean, d.largest, d.over64);
        // Antialiased edges differ (the window's small glyphs are hinted by the font
        // engine), but no shape is out of place and no colour wrong: few pixels are far off.
        EXPECT_LT(d.mean, 1.5);
        EXPECT_LT(d.over64, normal.width() * normal.height() / 100);
    }
}

TEST(Export, DeepItemsCostLessThanTwiceTheFlatItemInVectorFiles)
{
    QTemporaryDir dir;
    ItemTable deep, flat;
    setRow(deep.rows[0], QStringLiteral("Letrafex"), Style3D, 48, 50, 80, 80, DirDownRight, Colors::clYellow, Colors::clGreen);
    setRow(flat.rows[0], QStringLiteral("Letrafex"), StyleFlat, 48, 0, 80, 80, DirDownRight, Colors::clYellow, Colors::clGreen);
    const Raster bg(400, 200);
    for (ExportFormat f : {ExportFormat::Svg, ExportFormat::Pdf}) {
        const qint64 d = QFileInfo(exportTo(dir, "deep", bg, deep, f, true)).size();
        const qint64 s = QFileInfo(exportTo(dir, "flat", bg, flat, f, true)).size();
        std::printf("%s: depth 50 %lld bytes, flat %lld bytes\n", qPrintable(exportExtension(f)), d, s);
        EXPECT_LT(d, 2 * s);
    }
    // A transparent vector file leaves the background out.
    QFile transparent(exportTo(dir, "t.svg", bg, deep, ExportFormat::Svg, true));
    ASSERT_TRUE(transparent.open(QIODevice::ReadOnly));
    EXPECT_FALSE(transparent.readAll().contains("<image"));
    QFile opaque(exportTo(dir, "o.svg", bg, deep, ExportFormat::Svg, false));
    ASSERT_TRUE(opaque.open(QIODevice::ReadOnly));
    EXPECT_TRUE(opaque.readAll().contains("<image"));
}

TEST(Export, FormatsByExtension)
{
    ExportFormat f = ExportFormat::Png;
    EXPECT_TRUE(exportFormatFor(QStringLiteral("a.TIFF"), f));
    EXPECT_EQ(f, ExportFormat::Tiff);
    EXPECT_TRUE(exportFormatFor(QStringLiteral("a.b.Pdf"), f));
    EXPECT_EQ(f, ExportFormat::Pdf);
    EXPECT_FALSE(exportFormatFor(QStringLiteral("a.pcx"), f));
    EXPECT_FALSE(exportKeepsTransparency(ExportFormat::Jpeg));
    EXPECT_TRUE(exportKeepsTransparency(ExportFormat::Svg));
}

TEST(Export, VectorFilesAtDoubleScaleMatchTheDoubleRender)
{
    QTemporaryDir dir;
    const Raster bg(420, 240);
    const ItemTable table = mixedItems();
    const QImage twice = ComposeScaled(bg, table, 2).toRgb32();
    const QString svg = exportTo(dir, "v2.svg", bg, table, ExportFormat::Svg, false, 2);
    const QString pdf = exportTo(dir, "v2.pdf", bg, table, ExportFormat::Pdf, true, 2);
    const QString png = dir.filePath(QStringLiteral("v2.svg.png"));
    const QString why = runTool(QStringLiteral("rsvg-convert"), {QStringLiteral("-o"), png, svg});
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    QString pdfWhy;
    const QImage fromPdf = renderPdfPage(pdf, 72, &pdfWhy);
    ASSERT_FALSE(fromPdf.isNull()) << pdfWhy.toStdString();
    for (const QImage &img : {QImage(png).convertToFormat(QImage::Format_RGB32), fromPdf}) {
        ASSERT_EQ(img.size(), QSize(840, 480));
        const Difference d = compare(img, twice);
        std::printf("rasterised vector at 2x: mean %.3f, largest %d, pixels over 64 levels %d\n", d.mean, d.largest,
                    d.over64);
        EXPECT_LT(d.mean, 1.5);
        EXPECT_LT(d.over64, twice.width() * twice.height() / 100);
    }
}

TEST_F(MixedComposition, AnExportOrProjectTheDiskRefusesLeavesTheOldFileAndSaysWhy)
{
    struct Case
    {
        const char *name;
        ExportFormat format;
        bool transparent;
    };
    const Case cases[] = {{"old.png", ExportFormat::Png, false}, {"clear.png", ExportFormat::Png, true},
                          {"old.tif", ExportFormat::Tiff, false}, {"clear.tif", ExportFormat::Tiff, true},
                          {"old.jpg", ExportFormat::Jpeg, false}, {"old.bmp", ExportFormat::Bmp, false},
                          {"old.svg", ExportFormat::Svg, false},  {"old.pdf", ExportFormat::Pdf, false},
                          {"old.webp", ExportFormat::Webp, false}, {"clear.webp", ExportFormat::Webp, true},
                          {"old.lfx", ExportFormat::Png, false}};
    Project project;
    takeProjectItems(table, project);
    project.bg = ProjectLayer{0, 0, bg.width(), bg.height(), QString(), bg};
    const auto path = [this](const Case &c) { return dir.filePath(QLatin1String(c.name)); };
    const auto oldBytes = [](const Case &c) { return QByteArray("the file that was there: ") + c.name; };
    for (const Case &c : cases) {
        QFile f(path(c));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(oldBytes(c));
    }
    QStringList errors;
    {
        const FileSizeLimit limit;
        for (const Case &c : cases) {
            try {
                if (QByteArray(c.name).endsWith(".lfx"))
                    SaveProjectFile(path(c), project);
                else
                    ExportPicture(path(c), bg, table, ExportOptions{c.format, c.transparent, 1});
                errors << QString();
            } catch (const LetrafexError &e) {
                errors << e.text();
            }
        }
    }
    for (qsizetype i = 0; i < errors.size(); ++i) {
        const Case &c = cases[i];
        QFile f(path(c));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.readAll() == oldBytes(c)) << c.name << " was replaced by a failed save";
        EXPECT_TRUE(errors[i].contains(nativeFilePath(path(c))) && errors[i].endsWith(fileTooLargeText()))
            << c.name << ": " << errors[i].toStdString();
    }
}

TEST_F(MixedComposition, TheGrowingAnimationStartsAtTheFrontFacesAndEndsOnTheStillPicture)
{
    // Depth 0 with each front face where the full depth puts it: the upward directions and
    // down-left place the front face depth rows above the item's position.
    ItemTable fronts = table;
    for (ItemRow &r : fronts.rows) {
        const int d = cellInteger(r.cells[CellFontDepth]), dir = cellInteger(r.cells[CellDirection]);
        const bool raised = dir == DirUpLeft || dir == DirUp || dir == DirUpRight || dir == DirDownLeft;
        r.cells[CellYPos] = QString::number(cellInteger(r.cells[CellYPos]) - (raised ? d : 0));
        r.cells[CellFontDepth] = QStringLiteral("0");
    }
    const QImage first = ComposePicture(bg, fronts).toRgb32().convertToFormat(QImage::Format_ARGB32);
    const QImage still = normal.convertToFormat(QImage::Format_ARGB32);
    const QImage clearStill = ComposeTransparent(QSize(bg.width(), bg.height()), table, 1);
    struct Case { const char *name; ExportFormat format; bool transparent; };
    for (const Case &c : {Case{"grow.webp", ExportFormat::Webp, false}, Case{"grow.png", ExportFormat::Png, false},
                          Case{"clear.png", ExportFormat::Png, true}}) {
        const QString path = dir.filePath(QLatin1String(c.name));
        ExportOptions options{c.format, c.transparent, 1};
        options.animate = true;
        ExportPicture(path, bg, table, options);
        QByteArray info;
        ASSERT_EQ(pillowFrames(path, &info), QString()) << c.name;
        const QList<QByteArray> frames = info.trimmed().split('\n');
        // The deepest item (12 layers) changes at most every step; nothing is lost to merging.
        ASSERT_GE(frames.size(), 12) << c.name;
        ASSERT_LE(frames.size(), GrowSteps + 1) << c.name;
        int total = 0;
        for (const QByteArray &f : frames) {
            total += int(f.split(' ')[3].toDouble());
            EXPECT_EQ(f.split(' ')[4], "0") << c.name << ": loops forever";
        }
        EXPECT_EQ(total, GrowSteps * GrowStepMs + GrowHoldMs) << c.name;
        EXPECT_EQ(int(frames.last().split(' ')[3].toDouble()), GrowHoldMs) << c.name;
        const QSize size = normal.size();
        const QImage last = pillowFrame(path, int(frames.size()) - 1, size);
        EXPECT_EQ(last, c.transparent ? clearStill : still) << c.name << ": the last frame is the still picture";
        if (!c.transparent) {
            EXPECT_EQ(pillowFrame(path, 0, size), first) << c.name << ": the first frame shows the front faces";
        }
    }
}

TEST(Export, TheTenItemFullHdPictureIsSmallerAsLosslessWebpThanAsPng)
{
    QTemporaryDir dir;
    const ItemTable table = bench::tenDeepItems();
    const QString png = exportTo(dir, "ten.png", Raster(1920, 1080), table, ExportFormat::Png, false);
    const QString webp = exportTo(dir, "ten.webp", Raster(1920, 1080), table, ExportFormat::Webp, false);
    const qint64 pngSize = QFileInfo(png).size(), webpSize = QFileInfo(webp).size();
    std::printf("ten items at 1920 x 1080: PNG %lld bytes, lossless WebP %lld bytes\n", pngSize, webpSize);
    EXPECT_LT(webpSize, pngSize);
    const PictureRead fromWebp = readPictureFile(webp, ReaderWebp), fromPng = readPictureFile(png, ReaderPng);
    ASSERT_TRUE(fromWebp.ok() && fromPng.ok()) << fromWebp.error.toStdString() << fromPng.error.toStdString();
    EXPECT_TRUE(fromWebp.picture.samePixels(fromPng.picture));
}
