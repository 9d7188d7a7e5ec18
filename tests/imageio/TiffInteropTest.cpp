// The TIFF codec against libtiff's tools, Pillow and ImageMagick: files we write read to the
// same pixels in theirs, and uncompressed files they write read to the same pixels in ours.
#include "imageio/TiffCodec.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "ReferenceTools.h"
#include "TiffTestFiles.h"

#include <gtest/gtest.h>

#include <vector>

TEST(TiffInterop, OurFilesReadTheSameInLibtiffPillowAndImageMagick)
{
    QTemporaryDir dir;
    QStringList files;
    std::vector<Raster> sources;
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        sources.push_back(rgbTexture(bits, 37, 13));
        files << dir.filePath(QStringLiteral("ours%1.tif").arg(bits));
        SaveTiffFile(files.last(), sources.back());
    }
    // Two colours that are not black and white.
    std::vector<uchar> indices(37 * 13);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = uchar(i % 3 == 0);
    sources.push_back(Raster::fromIndices(37, 13, 1, {qRgb(255, 0, 128), qRgb(20, 255, 255)}, indices.data(), 37));
    files << dir.filePath(QStringLiteral("ours1colour.tif"));
    SaveTiffFile(files.last(), sources.back());
    ASSERT_EQ(decodeWithPillow(files), QString());
    for (int i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].toStdString());
        const Raster &source = sources[size_t(i)];
        // What the file holds is what our reader makes of it (16 bits as 5-bit colours);
        // the others must see exactly that.
        const Raster expected = load(files[i]);
        if (source.bitCount() != 16) {
            EXPECT_TRUE(samePicture(expected, source.toRgb32()));
        }
        EXPECT_TRUE(samePicture(expected, referencePicture(files[i] + QStringLiteral(".pil.ppm"))));

        QByteArray info, warnings;
        EXPECT_EQ(runTool(QStringLiteral("tiffinfo"), {files[i]}, &info, 60000, &warnings), QString());
        EXPECT_EQ(warnings, QByteArray()) << "tiffinfo";
        const QString rgba = files[i] + QStringLiteral(".rgba.tif");
        ASSERT_EQ(runTool(QStringLiteral("tiff2rgba"), {QStringLiteral("-n"), files[i], rgba}), QString());
        ASSERT_EQ(decodeWithPillow({rgba}), QString());
        EXPECT_TRUE(samePicture(expected, referencePicture(rgba + QStringLiteral(".pil.ppm")))) << "libtiff";

        const QString magick = files[i] + QStringLiteral(".im.ppm");
        ASSERT_EQ(runTool(QStringLiteral("convert"), {files[i], QStringLiteral("-depth"), QStringLiteral("8"), magick},
                          nullptr, 60000, &warnings),
                  QString());
        EXPECT_EQ(warnings, QByteArray()) << "ImageMagick";
        EXPECT_TRUE(samePicture(expected, referencePicture(magick))) << "ImageMagick";
    }
}

TEST(TiffInterop, FilesOthersWriteReadTheSame)
{
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("src"));
    // Pillow's uncompressed files: RGB, RGB with alpha, palette, grey and bilevel.
    static const char *script =
        "import sys\n"
        "from PIL import Image\n"
        "base = sys.argv[1]\n"
        "im = Image.new('RGB', (29, 17))\n"
        "im.putdata([((x * 37 + y * 11) % 256, (x * 5 + y * 71) % 256, (x * y * 13) % 256) for y in range(17) for x in range(29)])\n"
        "im.save(base + '-rgb.tif')\n"
        "a = im.convert('RGBA'); a.putalpha(100); a.save(base + '-rgba.tif')\n"
        "im.convert('P').save(base + '-p.tif')\n"
        "im.convert('L').save(base + '-l.tif')\n"
        "im.convert('1').save(base + '-1.tif')\n";
    ASSERT_EQ(runTool(Python, {QStringLiteral("-c"), QString::fromLatin1(script), base}), QString());
    QStringList files;
    for (const char *kind : {"rgb", "rgba", "p", "l", "1"})
        files << base + QLatin1Char('-') + QLatin1String(kind) + QStringLiteral(".tif");
    // ImageMagick's 4-bit palette and grey files, and white-is-zero grey and bilevel ones.
    const QString none = QStringLiteral("none");
    const QString whiteIsZero = QStringLiteral("quantum:polarity=min-is-white");
    const std::vector<QStringList> magick = {
        {QStringLiteral("-type"), QStringLiteral("Palette"), QStringLiteral("-colors"), QStringLiteral("16"), QStringLiteral("-depth"), QStringLiteral("4")},
        {QStringLiteral("-type"), QStringLiteral("Grayscale"), QStringLiteral("-depth"), QStringLiteral("4")},
        {QStringLiteral("-colorspace"), QStringLiteral("Gray"), QStringLiteral("-define"), whiteIsZero},
        {QStringLiteral("-colorspace"), QStringLiteral("Gray"), QStringLiteral("-depth"), QStringLiteral("4"), QStringLiteral("-define"), whiteIsZero},
        {QStringLiteral("-monochrome"), QStringLiteral("-depth"), QStringLiteral("1"), QStringLiteral("-define"), whiteIsZero}};
    for (size_t i = 0; i < magick.size(); ++i) {
        files << base + QStringLiteral("-im%1.tif").arg(i);
        ASSERT_EQ(runTool(QStringLiteral("convert"), QStringList{files[0]} + magick[i] +
                                                         QStringList{QStringLiteral("-compress"), none, files.last()}),
                  QString());
    }
    // libtiff rewrites each one in both byte orders and in strips of 3 rows.
    const qsizetype originals = files.size();
    for (qsizetype i = 0; i < originals; ++i)
        for (const QStringList &options : {QStringList{QStringLiteral("-B")}, QStringList{QStringLiteral("-L")},
                                           QStringList{QStringLiteral("-B"), QStringLiteral("-r"), QStringLiteral("3")},
                                           QStringList{QStringLiteral("-L"), QStringLiteral("-r"), QStringLiteral("1")}}) {
            files << files[i] + QStringLiteral(".%1.tif").arg(files.size());
            ASSERT_EQ(runTool(QStringLiteral("tiffcp"),
                              QStringList{QStringLiteral("-c"), none} + options + QStringList{files[i], files.last()}),
                      QString());
        }
    ASSERT_EQ(decodeWithPillow(files), QString());
    for (const QString &file : files) {
        SCOPED_TRACE(file.toStdString());
        QImage reference = referencePicture(file + QStringLiteral(".pil.ppm"));
        // The file with an alpha of 100 everywhere is shown over white.
        if (file.contains(QStringLiteral("-rgba"))) {
            for (int y = 0; y < reference.height(); ++y)
                for (int x = 0; x < reference.width(); ++x) {
                    const QRgb c = reference.pixel(x, y);
                    auto over = [](int v) { return (v * 100 + 255 * 155 + 127) / 255; };
                    reference.setPixel(x, y, qRgb(over(qRed(c)), over(qGreen(c)), over(qBlue(c))));
                }
        }
        EXPECT_TRUE(samePicture(load(file), reference));
    }
}
