// TGA reading and writing: the file layout the writer produces, the reader's handling of
// every image type, colour map, row order and packet form, damaged files, and agreement
// with Pillow and ImageMagick in both directions.
#include "imageio/TgaCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>

#include "ReferenceTools.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {


// The fields of a file image to build; the defaults make a 1 x 1 top-down 24-bit picture.
struct TgaFile
{
    int type = 2;
    int depth = 24;
    int width = 1;
    int height = 1;
    int descriptor = 0x20;
    int mapType = 0;
    int mapFirst = 0;
    int mapLength = 0;
    int mapBits = 0;
    QByteArray id{};
    QByteArray map{};
    QByteArray pixels{};
};

QByteArray build(const TgaFile &f)
{
    QByteArray out(18, '\0');
    uchar *p = reinterpret_cast<uchar *>(out.data());
    p[0] = uchar(f.id.size());
    p[1] = uchar(f.mapType);
    p[2] = uchar(f.type);
    qToLittleEndian<quint16>(quint16(f.mapFirst), p + 3);
    qToLittleEndian<quint16>(quint16(f.mapLength), p + 5);
    p[7] = uchar(f.mapBits);
    qToLittleEndian<quint16>(quint16(f.width), p + 12);
    qToLittleEndian<quint16>(quint16(f.height), p + 14);
    p[16] = uchar(f.depth);
    p[17] = uchar(f.descriptor);
    return out + f.id + f.map + f.pixels;
}

// The pixel as 0xRRGGBB.
uint rgb(const Raster &r, int x, int y) { return r.pixelRgb(x, y) & 0xFFFFFFu; }

Raster read(const QByteArray &file)
{
    Raster picture;
    EXPECT_TRUE(ReadTga(file, picture)) << TgaLastError().toStdString();
    return picture;
}

// A picture with varied colours and odd sides.
Raster sample(int w = 37, int h = 23)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * 5 + y * 71) % 256, (x * y * 13 + 255) % 256));
    return Raster::fromImage(img, 24);
}

// Compares the top `bits` bits of each channel (8: exact).
::testing::AssertionResult samePicture(const Raster &r, const QImage &ref, int bits = 8)
{
    if (r.width() != ref.width() || r.height() != ref.height())
        return ::testing::AssertionFailure() << "size " << r.width() << "x" << r.height() << ", reference "
                                             << ref.width() << "x" << ref.height();
    const uint mask = 0x010101u * ((0xFFu << (8 - bits)) & 0xFFu);
    for (int y = 0; y < r.height(); ++y)
        for (int x = 0; x < r.width(); ++x)
            if ((rgb(r, x, y) & mask) != (ref.pixel(x, y) & mask))
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex
                                                     << rgb(r, x, y) << ", reference " << (ref.pixel(x, y) & 0xFFFFFF);
    return ::testing::AssertionSuccess();
}

// Decodes a TGA file with ImageMagick into an 8-bit PPM. ImageMagick keeps a bottom-up
// file's rows in stored order and only records the orientation, so the rows are put upright
// explicitly; its own files without -orient are labelled bottom-up (descriptor 0) but
// hold their rows from the top, and so come out upside down, as Pillow shows them too.
QString imageMagickDecode(const QString &tga, const QString &ppm)
{
    return runTool(QStringLiteral("convert"),
                   {tga, QStringLiteral("-auto-orient"), QStringLiteral("-depth"), QStringLiteral("8"), ppm});
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(TgaWrite, TwoByTwoPictureGivesTheSeventySixByteFile)
{
    QImage img(2, 2, QImage::Format_RGB32);
    img.setPixel(0, 0, qRgb(255, 0, 0));
    img.setPixel(1, 0, qRgb(0, 255, 0));
    img.setPixel(0, 1, qRgb(0, 0, 255));
    img.setPixel(1, 1, qRgb(1, 2, 3));
    const Raster picture = Raster::fromImage(img, 24);
    const QByteArray file = WriteTga(picture);
    ASSERT_EQ(file.size(), 76);
    EXPECT_EQ(file.left(18), bytes({46, 0, 2, 0, 0, 0, 0, 24, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0x20}));
    EXPECT_EQ(file.mid(18, 46), QByteArray("Quillmark(GIF-NOMA) produced this TARGA file!\x1A"));
    // Rows from the top, blue, green, red.
    EXPECT_EQ(file.mid(64), bytes({0, 0, 255, 0, 255, 0, 255, 0, 0, 3, 2, 1}));
    EXPECT_TRUE(read(file).samePixels(picture));
}

TEST(TgaWrite, IndexedPicturesAreWrittenAsTheirColoursAndEmptyOnesRefused)
{
    const QVector<QRgb> palette{qRgb(10, 20, 30), qRgb(250, 251, 252)};
    const uchar indices[] = {0, 1, 1, 0, 1, 1};
    const Raster indexed = Raster::fromIndices(3, 2, 8, palette, indices, 3);
    const Raster back = read(WriteTga(indexed));
    EXPECT_EQ(back.bitCount(), 24);
    EXPECT_TRUE(back.samePixels(indexed));
    EXPECT_THROW(WriteTga(Raster()), LetrafexError);
}

TEST(TgaFiles, SaveWritesWholeFilesThatLoadBackAndFailuresThrow)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("pic.tga"));
    SaveTgaFile(name, sample(300, 200));
    const Raster small = sample();
    SaveTgaFile(name, small);
    EXPECT_EQ(fileBytes(name), WriteTga(small));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("pic.tga")});
    Raster back;
    EXPECT_TRUE(LoadTgaFile(name, back));
    EXPECT_TRUE(back.samePixels(small));

    EXPECT_THROW(LoadTgaFile(dir.filePath(QStringLiteral("missing.tga")), back), LetrafexError);
    EXPECT_THROW(SaveTgaFile(dir.filePath(QStringLiteral("no/such/dir/pic.tga")), small), LetrafexError);
    EXPECT_THROW(SaveTgaFile(name, Raster()), LetrafexError);
    EXPECT_EQ(fileBytes(name), WriteTga(small)); // a failed save leaves the old file
}

TEST(TgaFiles, BytesAfterThePixelsAreIgnored)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("footer.tga"));
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(WriteTga(sample()) + QByteArray(26, 'x'));
    f.close();
    Raster back;
    EXPECT_TRUE(LoadTgaFile(name, back));
    EXPECT_TRUE(back.samePixels(sample()));
}

TEST(TgaRead, RowOrderFollowsBitFiveAndBitFourReversesRows)
{
    // Two rows of two pixels: red, green, then blue, white.
    const QByteArray pixels = bytes({0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255});
    const Raster bottomUp = read(build({.width = 2, .height = 2, .descriptor = 0, .pixels = pixels}));
    EXPECT_EQ(rgb(bottomUp, 0, 1), 0xFF0000u); // the first stored row is the bottom row
    EXPECT_EQ(rgb(bottomUp, 1, 0), 0xFFFFFFu);
    const Raster topDown = read(build({.width = 2, .height = 2, .descriptor = 0x20, .pixels = pixels}));
    EXPECT_EQ(rgb(topDown, 0, 0), 0xFF0000u);
    EXPECT_EQ(rgb(topDown, 1, 1), 0xFFFFFFu);
    const Raster reversed = read(build({.width = 2, .height = 2, .descriptor = 0x30, .pixels = pixels}));
    EXPECT_EQ(rgb(reversed, 0, 0), 0x00FF00u);
    EXPECT_EQ(rgb(reversed, 1, 0), 0xFF0000u);
    EXPECT_EQ(rgb(reversed, 0, 1), 0xFFFFFFu);
    const Raster indexed = read(build({.type = 3, .depth = 8, .width = 3, .descriptor = 0x30, .pixels = bytes({1, 2, 3})}));
    EXPECT_EQ(rgb(indexed, 0, 0), 0x030303u);
    EXPECT_EQ(rgb(indexed, 2, 0), 0x010101u);
    const Raster one = read(build({.width = 1, .height = 1, .descriptor = 0x10, .pixels = bytes({7, 8, 9})}));
    EXPECT_EQ(rgb(one, 0, 0), 0x090807u);
}

TEST(TgaRead, TrueColourDepthsKeepTheirBits)
{
    // 16 bits: 0x03E0 is green 31, red and blue 0; the top bit is ignored.
    const Raster p16 = read(build({.depth = 16, .width = 3, .pixels = bytes({0xE0, 0x03, 0x00, 0xFC, 0x1F, 0x80})}));
    EXPECT_EQ(p16.bitCount(), 24);
    EXPECT_EQ(rgb(p16, 0, 0), 0x00F800u);
    EXPECT_EQ(rgb(p16, 1, 0), 0xF80000u);
    EXPECT_EQ(rgb(p16, 2, 0), 0x0000F8u);
    // 32 bits: the first three bytes, the fourth skipped.
    const Raster p32 = read(build({.depth = 32, .width = 2, .pixels = bytes({1, 2, 3, 99, 4, 5, 6, 0})}));
    EXPECT_EQ(rgb(p32, 0, 0), 0x030201u);
    EXPECT_EQ(rgb(p32, 1, 0), 0x060504u);
    // Grey with alpha: the grey byte, alpha dropped.
    const Raster la = read(build({.type = 3, .depth = 16, .width = 2, .pixels = bytes({200, 0, 17, 255})}));
    EXPECT_EQ(rgb(la, 0, 0), 0xC8C8C8u);
    EXPECT_EQ(rgb(la, 1, 0), 0x111111u);
}

TEST(TgaRead, ColourMapsKeepEightBitColoursAndFiveBitOnesTimesEight)
{
    // A 24-bit map: white stays 255, not 252.
    const Raster p24 = read(build({.type = 1, .depth = 8, .width = 2, .mapType = 1, .mapLength = 2, .mapBits = 24,
                                   .map = bytes({255, 255, 255, 3, 2, 1}), .pixels = bytes({0, 1})}));
    EXPECT_EQ(p24.bitCount(), 8);
    EXPECT_EQ(rgb(p24, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(rgb(p24, 1, 0), 0x010203u);
    // A 16-bit entry with its five red bits set: red 248.
    const Raster p16 = read(build({.type = 1, .depth = 8, .width = 1, .mapType = 1, .mapLength = 1, .mapBits = 16,
                                   .map = bytes({0x00, 0x7C}), .pixels = bytes({0})}));
    EXPECT_EQ(p16.palette().value(0) & 0xFFFFFFu, 0xF80000u);
    // The first index shifts the entries; entries past 255 are read past.
    const Raster shifted = read(build({.type = 1, .depth = 8, .width = 2, .mapType = 1, .mapFirst = 255,
                                       .mapLength = 2, .mapBits = 24, .map = bytes({9, 8, 7, 1, 1, 1}),
                                       .pixels = bytes({255, 0})}));
    EXPECT_EQ(rgb(shifted, 0, 0), 0x070809u);
    EXPECT_EQ(rgb(shifted, 1, 0), 0x000000u);
    // Maps of other entry sizes are skipped whole: the pixels after them still line up.
    const Raster p8 = read(build({.type = 9, .depth = 8, .width = 3, .mapType = 1, .mapLength = 2, .mapBits = 8,
                                  .map = QByteArray(2, '\xFF'), .pixels = bytes({0x82, 1})}));
    EXPECT_EQ(p8.width(), 3);
    EXPECT_EQ(rgb(p8, 2, 0), 0u);
}

TEST(TgaRead, GreyRampIsExactAndOneBitPixelsAreBlackAndWhite)
{
    const Raster grey = read(build({.type = 3, .depth = 8, .width = 4, .pixels = bytes({0, 1, 127, 255})}));
    EXPECT_EQ(grey.bitCount(), 8);
    EXPECT_EQ(rgb(grey, 0, 0), 0x000000u);
    EXPECT_EQ(rgb(grey, 1, 0), 0x010101u);
    EXPECT_EQ(rgb(grey, 2, 0), 0x7F7F7Fu);
    EXPECT_EQ(rgb(grey, 3, 0), 0xFFFFFFu);
    // Depth 1: packed bits, leftmost pixel in bit 7, rows padded to a byte.
    const Raster mono = read(build({.type = 3, .depth = 1, .width = 10, .height = 2, .pixels = bytes({0xA0, 0x40, 0xFF, 0x00})}));
    EXPECT_EQ(mono.bitCount(), 1);
    EXPECT_EQ(rgb(mono, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(rgb(mono, 1, 0), 0x000000u);
    EXPECT_EQ(rgb(mono, 9, 0), 0xFFFFFFu);
    EXPECT_EQ(rgb(mono, 7, 1), 0xFFFFFFu);
    EXPECT_EQ(rgb(mono, 8, 1), 0x000000u);
}

TEST(TgaRead, RunLengthPacketsRepeatOrCopyAndRunOnIntoTheNextRow)
{
    const Raster red = read(build({.type = 10, .width = 4, .pixels = bytes({0x83, 0x00, 0x00, 0xFF})}));
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(rgb(red, x, 0), 0xFF0000u) << x;
    // Rows of 3: a run of 4 ends in row 2, a raw packet of 3 starts there and ends in row 3.
    const QByteArray packets = bytes({0x83, 1, 1, 1, 0x02, 2, 2, 2, 3, 3, 3, 4, 4, 4, 0x81, 5, 5, 5});
    const Raster rows = read(build({.type = 10, .width = 3, .height = 3, .pixels = packets}));
    const uint expected[3][3] = {{0x010101, 0x010101, 0x010101},
                                 {0x010101, 0x020202, 0x030303},
                                 {0x040404, 0x050505, 0x050505}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(rgb(rows, x, y), expected[y][x]) << x << "," << y;
    // A packet longer than what is left of the picture ends it.
    const Raster surplus = read(build({.type = 11, .depth = 8, .width = 2, .height = 2, .descriptor = 0,
                                       .pixels = bytes({0xFF, 9})}));
    EXPECT_EQ(rgb(surplus, 1, 0), 0x090909u);
    // Bottom-up run-length rows and 16-bit values.
    const Raster b16 = read(build({.type = 10, .depth = 16, .width = 1, .height = 2, .descriptor = 0,
                                   .pixels = bytes({0x00, 0x1F, 0x00, 0x00, 0x00, 0x7C})}));
    EXPECT_EQ(rgb(b16, 0, 1), 0x0000F8u);
    EXPECT_EQ(rgb(b16, 0, 0), 0xF80000u);
}

TEST(TgaRead, HeaderErrorsGiveAOneByOnePictureAndKeepTheirText)
{
    const QByteArray good = build({.width = 2, .pixels = QByteArray(6, '\0')});
    Raster picture = sample();
    ASSERT_TRUE(ReadTga(good, picture));
    EXPECT_TRUE(TgaLastError().isEmpty());

    const QByteArray bad[] = {
        build({.type = 4, .width = 2, .pixels = QByteArray(6, '\0')}),
        build({.depth = 15, .width = 2, .pixels = QByteArray(6, '\0')}),
        build({.type = 0}),
        build({.width = 0, .height = 1}),
        build({.width = 1, .height = 0}),
    };
    for (const QByteArray &file : bad) {
        picture = sample();
        EXPECT_FALSE(ReadTga(file, picture));
        EXPECT_EQ(picture.width(), 1);
        EXPECT_EQ(picture.height(), 1);
        EXPECT_EQ(TgaLastError(), QStringLiteral("Invalid TGA file!"));
    }
}

TEST(TgaRead, ShortFilesAndAbsurdSizesAreErrors)
{
    // Every cut through a file, in its header, ID, map or pixels, is caught.
    const QByteArray files[] = {
        build({.type = 1, .depth = 8, .width = 3, .height = 2, .mapType = 1, .mapLength = 2, .mapBits = 24,
               .id = "abc", .map = QByteArray(6, '\1'), .pixels = bytes({0, 1, 0, 1, 0, 1})}),
        build({.type = 10, .width = 5, .height = 2, .pixels = bytes({0x84, 1, 2, 3, 0x04, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5})}),
    };
    for (const QByteArray &file : files) {
        Raster picture;
        ASSERT_TRUE(ReadTga(file, picture));
        for (qsizetype n = 0; n < file.size(); ++n) {
            EXPECT_FALSE(ReadTga(file.left(n), picture)) << n;
            EXPECT_EQ(TgaLastError(), QStringLiteral("Truncated TGA file!")) << n;
            EXPECT_EQ(picture.width(), 1);
        }
    }
    Raster picture;
    EXPECT_FALSE(ReadTga(build({.width = 40000, .height = 1}), picture));
    EXPECT_EQ(TgaLastError(), QStringLiteral("TGA picture is too large!"));
    EXPECT_FALSE(ReadTga(build({.depth = 32, .width = 32768, .height = 4096}), picture));
    EXPECT_EQ(TgaLastError(), QStringLiteral("TGA picture is too large!"));
    // A few run-length bytes cannot claim the largest picture allowed.
    EXPECT_FALSE(ReadTga(build({.type = 10, .width = 32768, .height = 2048, .pixels = bytes({0xFF, 1, 2, 3})}), picture));
    EXPECT_EQ(TgaLastError(), QStringLiteral("Truncated TGA file!"));
}

TEST(TgaInterop, PillowAndImageMagickReadWrittenFilesAsTheSamePicture)
{
    QTemporaryDir dir;
    const Raster pictures[] = {sample(), sample(1, 1), sample(301, 7)};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QString tga = dir.filePath(QStringLiteral("ours%1.tga").arg(i));
        const QString pil = dir.filePath(QStringLiteral("pil%1.ppm").arg(i));
        const QString im = dir.filePath(QStringLiteral("im%1.ppm").arg(i));
        SaveTgaFile(tga, pictures[i]);
        const QString script = QStringLiteral("import sys\nfrom PIL import Image\n"
                                              "Image.open(sys.argv[1]).convert('RGB').save(sys.argv[2])\n");
        QString why = runTool(Python, {QStringLiteral("-c"), script, tga, pil});
        ASSERT_TRUE(why.isEmpty()) << why.toStdString();
        why = imageMagickDecode(tga, im);
        ASSERT_TRUE(why.isEmpty()) << why.toStdString();
        EXPECT_TRUE(samePicture(pictures[i], QImage(pil))) << "Pillow";
        EXPECT_TRUE(samePicture(pictures[i], QImage(im))) << "ImageMagick";
    }
}

TEST(TgaInterop, FilesPillowWritesReadAsPillowReadsThem)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.ppm"));
    ASSERT_TRUE(sample().image().save(source));
    // Every mode Pillow writes as TGA, raw and run-length, in both row orders; each file is
    // decoded by Pillow too, as the reference, its alpha of 77 shown over white. Pillow cannot
    // read its own run-length files of one bit a pixel, so those have no reference and are
    // left out.
    const QString script = QStringLiteral(
        "import sys\nfrom PIL import Image\n"
        "base = Image.open(sys.argv[1]).convert('RGB')\n"
        "rgba = base.convert('RGBA'); rgba.putalpha(77)\n"
        "modes = {'rgb': base, 'rgba': rgba, 'l': base.convert('L'), 'la': base.convert('LA'),\n"
        "         'p': base.convert('P', palette=Image.ADAPTIVE, colors=100), '1': base.convert('1')}\n"
        "for name, im in modes.items():\n"
        "    for rle in ('raw', 'rle') if name != '1' else ('raw',):\n"
        "        for orient in (1, -1):\n"
        "            f = '%s/%s-%s-%d' % (sys.argv[2], name, rle, orient)\n"
        "            im.save(f + '.tga', compression='tga_rle' if rle == 'rle' else None, orientation=orient)\n"
        "            ref = Image.open(f + '.tga').convert('RGB')\n"
        "            if name == 'rgba':\n"
        "                ref = ref.point(lambda c: (77 * c + 178 * 255) // 255)\n"
        "            ref.save(f + '.ppm')\n"
        "            print(f)\n");
    QByteArray out;
    const QString why = runTool(Python, {QStringLiteral("-c"), script, source, dir.path()}, &out);
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    const QStringList names = QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(names.size(), 22);
    for (const QString &name : names) {
        SCOPED_TRACE(name.toStdString());
        Raster picture;
        ASSERT_TRUE(LoadTgaFile(name + QStringLiteral(".tga"), picture)) << TgaLastError().toStdString();
        EXPECT_TRUE(samePicture(picture, QImage(name + QStringLiteral(".ppm"))));
    }
}

TEST(TgaInterop, FilesImageMagickWritesReadAsImageMagickReadsThem)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.ppm"));
    ASSERT_TRUE(sample().image().save(source));
    const QStringList variants[] = {
        {}, {QStringLiteral("-orient"), QStringLiteral("TopLeft")},
        {QStringLiteral("-type"), QStringLiteral("Palette")}, {QStringLiteral("-type"), QStringLiteral("Grayscale")},
        {QStringLiteral("-alpha"), QStringLiteral("on")}, {QStringLiteral("-depth"), QStringLiteral("5")},
    };
    int n = 0;
    for (const QStringList &variant : variants)
        for (bool rle : {false, true}) {
            const QString tga = dir.filePath(QStringLiteral("im%1.tga").arg(n));
            const QString ppm = dir.filePath(QStringLiteral("im%1.ppm").arg(n++));
            SCOPED_TRACE((variant.join(QLatin1Char(' ')) + (rle ? QStringLiteral(" RLE") : QString())).toStdString());
            QStringList args = QStringList{source} + variant;
            if (rle)
                args << QStringLiteral("-compress") << QStringLiteral("RLE");
            QString why = runTool(QStringLiteral("convert"), args << tga);
            ASSERT_TRUE(why.isEmpty()) << why.toStdString();
            why = imageMagickDecode(tga, ppm);
            ASSERT_TRUE(why.isEmpty()) << why.toStdString();
            const QByteArray head = fileBytes(tga).left(18);
            ASSERT_EQ(head.size(), 18);
            EXPECT_EQ(uchar(head[2]) >= 9, rle);
            Raster picture;
            ASSERT_TRUE(LoadTgaFile(tga, picture)) << TgaLastError().toStdString();
            // 5-bit channels: ImageMagick scales 31 to 255, this reader multiplies by 8.
            EXPECT_TRUE(samePicture(picture, QImage(ppm), head[16] == 16 ? 5 : 8));
        }
}
