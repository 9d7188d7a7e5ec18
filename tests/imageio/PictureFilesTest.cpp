#include "DamagedPictures.h"
#include "core/PlainMessage.h"
#include "imageio/BmpCodec.h"
#include "imageio/MetafileCodec.h"
#include "imageio/PictureFiles.h"
#include "imageio/PngCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(PictureFiles, ReaderIsChosenByTheExtensionInAnyOfItsSpellings)
{
    EXPECT_EQ(pictureReaderFor("photo.Tga"), ReaderTga);
    EXPECT_EQ(pictureReaderFor("/a.b/c.bmp"), ReaderBmp);
    EXPECT_EQ(pictureReaderFor("x.JPG"), ReaderJpeg);
    EXPECT_EQ(pictureReaderFor("x.wmf"), ReaderWmf);
    EXPECT_EQ(pictureReaderFor("x.lfx"), ReaderProject);
    EXPECT_EQ(pictureReaderFor("photo.jpeg"), ReaderJpeg);
    EXPECT_EQ(pictureReaderFor("photo.JPE"), ReaderJpeg);
    EXPECT_EQ(pictureReaderFor("photo.jfif"), ReaderJpeg);
    EXPECT_EQ(pictureReaderFor("scan.tiff"), ReaderTiff);
    EXPECT_EQ(pictureReaderFor("icon.dib"), ReaderBmp);
    EXPECT_EQ(pictureReaderFor("x.gif"), -1);
    EXPECT_EQ(pictureReaderFor("noextension"), -1);
    EXPECT_EQ(pictureReaderFor("dir.bmp/file"), -1);
    EXPECT_EQ(pictureReaderFor("x.webp"), ReaderWebp);
    EXPECT_EQ(PictureExtensions.join(","), ".BMP,.JPG,.EMF,.WMF,.PNG,.TIF,.PCX,.TGA,.LFX,.WEBP");
}

TEST(PictureFiles, FiltersAreBuiltFromTheLanguageWords)
{
    EXPECT_EQ(pictureOpenFilter("Files", "Graphic"),
              "Graphic Files (*.bmp,*.jpg,*.emf,*.wmf,*.png,*.tif,*.pcx,*.tga,*.webp)|"
              "*.bmp;*.dib;*.jpg;*.jpeg;*.jpe;*.jfif;*.emf;*.wmf;*.png;*.tif;*.tiff;*.pcx;*.tga;*.targa;*.webp|"
              "Bitmap Files (*.bmp)|*.bmp;*.dib|JPEG Files (*.jpg)|*.jpg;*.jpeg;*.jpe;*.jfif|"
              "Enhanced Meta Files (*.emf)|*.emf|"
              "Windows Meta Files (*.wmf)|*.wmf|Portable Networks Graphic Files (*.png)|*.png|"
              "Tagged Image Files (*.tif)|*.tif;*.tiff|ZSoft Paintbrush Files (*.pcx)|*.pcx|"
              "Targa Files (*.tga)|*.tga;*.targa|WebP Files (*.webp)|*.webp|Letrafex Files (*.lfx)|*.lfx");
    EXPECT_EQ(pictureSaveFilter("Dateien"),
              "Bitmap Dateien (*.bmp)|*.bmp;*.dib|JPEG Dateien (*.jpg)|*.jpg;*.jpeg;*.jpe;*.jfif|"
              "Enhanced Meta Dateien (*.emf)|*.emf|"
              "Portable Networks Graphic Dateien (*.png)|*.png|Tagged image Dateien (*.tif)|*.tif;*.tiff|"
              "ZSoft Paintbrush Dateien (*.pcx)|*.pcx|Targa Dateien (*.tga)|*.tga;*.targa|WebP Dateien (*.webp)|*.webp|"
              "Letrafex Dateien (*.lfx)|*.lfx");
}

TEST(PictureFiles, SaveNamesGetTheFiltersExtension)
{
    EXPECT_EQ(pictureSaveName("pic", SavePng), "pic.png");
    EXPECT_EQ(pictureSaveName("pic.png", SaveTga), "pic.png.tga");
    EXPECT_EQ(pictureSaveName("pic.jpg", SaveBitmap), "pic.jpg.bmp");
    EXPECT_EQ(pictureSaveName("PIC.PNG", SavePng), "PIC.PNG");
    EXPECT_EQ(pictureSaveName("a.Lfx", SaveProject), "a.Lfx");
    EXPECT_EQ(pictureSaveName("a.JPEG", SaveJpeg), "a.JPEG");
    EXPECT_EQ(pictureSaveName("a.tiff", SaveTiff), "a.tiff");
    EXPECT_EQ(pictureSaveName("a.tiff", SavePng), "a.tiff.png");
    // The open dialog lists every spelling.
    EXPECT_TRUE(pictureOpenFilter("Files", "Graphic").contains("|*.jpg;*.jpeg;*.jpe;*.jfif|"));
}

TEST(PictureFiles, APictureIsReadByItsSignatureWhateverItsName)
{
    QTemporaryDir dir;
    Raster picture(9, 7, 24, Colors::clAqua);
    picture.setPixel(8, 6, Colors::clFuchsia);
    // Each format under the name of another with a signature, and of ones without.
    for (int writer : {SaveBitmap, SaveJpeg, SaveEnhancedMeta, SavePng, SaveTiff, SaveWebp})
        for (const char *lie : {"pic.bmp", "pic.png", "pic.pcx", "pic.tga"}) {
            const QString path = dir.filePath(QString::number(writer) + lie);
            savePictureFile(path, writer, picture);
            const PictureRead read = readPictureFile(path, pictureReaderFor(path));
            ASSERT_TRUE(read.ok()) << writer << lie << read.error.toStdString();
            EXPECT_TRUE(writer == SaveJpeg || read.picture.pixel(8, 6) == Colors::clFuchsia) << writer << lie;
        }
    // A PCX named .bmp has no signature to go by: the bitmap reader says what is wrong.
    savePictureFile(dir.filePath("pcx.bmp"), SavePcx, picture);
    EXPECT_FALSE(readPictureFile(dir.filePath("pcx.bmp"), ReaderBmp).ok());
    EXPECT_EQ(notAPictureFormatText("a.gif"), readPictureFile("a.gif", -1).error);
}

namespace {
Raster hundredByFifty()
{
    Raster r(100, 50, 24, Colors::clBlue);
    r.setPixel(0, 0, Colors::clYellow);
    r.setPixel(99, 49, Colors::clFuchsia);
    return r;
}
ImageBox control(const QString &name = "TitleImage")
{
    ImageBox b(name);
    b.width = 462;
    b.height = 220;
    b.picture = hundredByFifty();
    return b;
}
} // namespace

TEST(PictureFiles, FittingByDrawMode)
{
    ImageBox tiled = control();
    fitLoadedPicture(tiled, DrawTiled);
    EXPECT_EQ(tiled.picture.width(), 462);
    EXPECT_EQ(tiled.picture.height(), 220);
    EXPECT_EQ(tiled.picture.pixel(400, 200), Colors::clYellow); // copy 5 across, 5 down
    EXPECT_EQ(tiled.picture.pixel(461, 219), Colors::clBlue);  // the last copies are clipped
    EXPECT_EQ(tiled.picture.pixel(399, 199), Colors::clFuchsia);

    ImageBox stretched = control();
    fitLoadedPicture(stretched, DrawStretched);
    EXPECT_EQ(stretched.picture.width(), 462);
    EXPECT_EQ(stretched.picture.pixel(0, 0), Colors::clYellow);
    EXPECT_EQ(stretched.picture.pixel(4, 4), Colors::clYellow); // one pixel became 4.62 x 4.4
    EXPECT_EQ(stretched.picture.pixel(461, 219), Colors::clFuchsia);

    ImageBox original = control();
    fitLoadedPicture(original, DrawOriginal);
    EXPECT_EQ(original.width, 100);
    EXPECT_EQ(original.height, 50);
    EXPECT_EQ(original.picture.width(), 100);

    for (int mode : {DrawTiled, DrawStretched, DrawOriginal}) {
        for (const char *name : {"SurfaceIconImage", "TextureImage"}) {
            ImageBox exempt = control(name);
            fitLoadedPicture(exempt, mode);
            EXPECT_EQ(exempt.picture.width(), 100);
            EXPECT_EQ(exempt.width, 462);
        }
    }
    // Nothing loaded into an empty picture: a white picture of the control's size.
    ImageBox empty("BackImage");
    empty.width = 10;
    empty.height = 10;
    fitLoadedPicture(empty, DrawTiled);
    EXPECT_EQ(empty.picture.width(), 10);
    EXPECT_EQ(empty.picture.pixel(9, 9), Colors::clWhite);
}

TEST(PictureFiles, MetafileIsDrawnOverTheExistingPicture)
{
    QTemporaryDir dir;
    const QString emf = dir.filePath("m.emf");
    SaveMetafile(emf, Raster(40, 30, 24, Colors::clGreen));
    const Raster picture = readPictureFile(emf, ReaderEmf, Raster(300, 200, 24, Colors::clYellow)).picture;
    EXPECT_EQ(picture.width(), 300);
    EXPECT_EQ(picture.height(), 200);
    EXPECT_EQ(picture.pixel(10, 10), Colors::clGreen);
    EXPECT_EQ(picture.pixel(150, 100), Colors::clYellow);
}

TEST(PictureFiles, SavingDispatchesByFilterIndex)
{
    QTemporaryDir dir;
    Raster picture(20, 10, 24, Colors::clAqua);
    savePictureFile(dir.filePath("a.bmp"), SaveBitmap, picture);
    savePictureFile(dir.filePath("a.png"), SavePng, picture);
    savePictureFile(dir.filePath("a.jpg"), SaveJpeg, picture);
    savePictureFile(dir.filePath("a.emf"), SaveEnhancedMeta, picture);
    EXPECT_TRUE(LoadBmpFile(dir.filePath("a.bmp")).samePixels(picture));
    Raster png;
    EXPECT_TRUE(LoadPngFile(dir.filePath("a.png"), png));
    EXPECT_TRUE(png.samePixels(picture));
    QFile jpg(dir.filePath("a.jpg"));
    ASSERT_TRUE(jpg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(jpg.read(2) == QByteArray("\xFF\xD8", 2));
    // A failed save is reported, never taken for success.
    EXPECT_THROW(savePictureFile(dir.filePath("missing/dir/a.png"), SavePng, picture), LetrafexError);
    EXPECT_THROW(savePictureFile(dir.filePath("missing/dir/a.bmp"), SaveBitmap, picture), LetrafexError);
}

TEST(PictureFiles, OwnCodecsAreReachedThroughTheDispatchBothWays)
{
    QTemporaryDir dir;
    Raster picture(7, 5, 24, Colors::clAqua);
    picture.setPixel(6, 4, makeColor(1, 2, 3));
    const struct { const char *name; int filter; } cases[] = {{"a.tif", SaveTiff}, {"a.pcx", SavePcx}, {"a.tga", SaveTga}};
    Raster indexed = picture;
    indexed.setBitCount(8);
    const QImage shown = indexed.toRgb32();
    for (const auto &c : cases) {
        savePictureFile(dir.filePath(c.name), c.filter, indexed);
        const Raster back = readPictureFile(dir.filePath(c.name), pictureReaderFor(dir.filePath(c.name))).picture;
        EXPECT_TRUE(back.toRgb32() == shown) << c.name;
        // PCX and TGA write 24 bits from a copy: saving never changes the picture.
        EXPECT_EQ(indexed.bitCount(), 8) << c.name;
        EXPECT_TRUE(indexed.toRgb32() == shown) << c.name;
    }
    savePictureFile(dir.filePath("b.jpg"), SaveJpeg, indexed);
    EXPECT_EQ(indexed.bitCount(), 8);
    EXPECT_TRUE(indexed.toRgb32() == shown);
}

TEST(CommandLine, ConvertsBetweenFormatsOverWhite)
{
    QTemporaryDir dir;
    const QString png = dir.filePath("in.png"), bmp = dir.filePath("out.bmp");
    // A PNG with one fully transparent pixel (the colour key) comes out white.
    Raster src(3, 1, 24, Colors::clBlue);
    src.setPixel(1, 0, Colors::clYellow);
    ASSERT_TRUE(SavePngWriter(png, src, Colors::clYellow));
    QProcess cli;
    cli.start(LETRAFEX_CLI, {"convert", png, bmp});
    ASSERT_TRUE(cli.waitForFinished(60000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    const Raster out = LoadBmpFile(bmp);
    EXPECT_EQ(out.pixel(0, 0), Colors::clBlue);
    EXPECT_EQ(out.pixel(1, 0), Colors::clWhite);

    cli.start(LETRAFEX_CLI, {"convert", png, dir.filePath("out.gif")});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_NE(cli.exitCode(), 0);
    EXPECT_TRUE(cli.readAllStandardError().contains("not supported"));
    cli.start(LETRAFEX_CLI, {"convert", dir.filePath("absent.bmp"), bmp});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_NE(cli.exitCode(), 0);
    QFile bad(dir.filePath("bad.bmp"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("BMnot really");
    bad.close();
    cli.start(LETRAFEX_CLI, {"convert", dir.filePath("bad.bmp"), bmp});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 1);
    // The earlier output is still intact after the failed conversion.
    EXPECT_EQ(LoadBmpFile(bmp).pixel(0, 0), Colors::clBlue);

    // Readers that report a damaged file instead of failing still fail the conversion.
    for (const char *name : {"bad.tif", "bad.pcx", "bad.tga"}) {
        QFile damaged(dir.filePath(name));
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray("II*\0\x08\0\0\0\xff\xff", 10));
        damaged.close();
        cli.start(LETRAFEX_CLI, {"convert", dir.filePath(name), dir.filePath("out.png")});
        ASSERT_TRUE(cli.waitForFinished(60000));
        EXPECT_EQ(cli.exitCode(), 1) << name;
        EXPECT_TRUE(cli.readAllStandardError().contains(name)) << name;
        EXPECT_FALSE(QFile::exists(dir.filePath("out.png"))) << name;
    }
}

TEST(PictureFiles, ADamagedFileOfAnyFormatGivesOneErrorNamingItTheSameOnTheCommandLine)
{
    QTemporaryDir dir;
    int shown = 0;
    const PlainMessageHandler previous = setPlainMessageHandler([&shown](const QString &) { ++shown; });
    const Raster base(50, 20, 24, Colors::clYellow);
    for (const DamagedPicture &d : writeDamagedPictures(QDir(dir.path()))) {
        const QString path = QFileInfo(dir.filePath(d.name)).absoluteFilePath();
        const PictureRead read = readPictureFile(path, pictureReaderFor(path), base);
        ASSERT_FALSE(read.ok()) << d.name.toStdString();
        EXPECT_TRUE(read.error.contains(path)) << read.error.toStdString();
        EXPECT_TRUE(read.error.contains(QLatin1String(d.reason))) << read.error.toStdString();
        EXPECT_TRUE(read.picture.samePixels(base)) << d.name.toStdString();

        // The command line, given the name relative to its working folder, reports the
        // same text and fails.
        QProcess cli;
        cli.setWorkingDirectory(dir.path());
        cli.start(LETRAFEX_CLI, {"convert", d.name, "out.bmp"});
        ASSERT_TRUE(cli.waitForFinished(60000));
        EXPECT_EQ(cli.exitCode(), 1) << d.name.toStdString();
        EXPECT_EQ(QString::fromUtf8(cli.readAllStandardError()), "letrafex-cli convert: " + read.error + "\n");
        EXPECT_FALSE(QFile::exists(dir.filePath("out.bmp")));
    }
    setPlainMessageHandler(previous);
    // The TIFF reader's notices became the error text instead of being shown.
    EXPECT_EQ(shown, 0);
}
