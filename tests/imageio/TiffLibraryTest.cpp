// TIFF files the own strip reader leaves to libtiff (compressed, tiled, planar, BigTIFF, other
// sample sizes and colour spaces), bits stored from the low end, and alpha over white: files
// written by other programs against their reference decodings, and damaged ones.
#include "imageio/PictureFiles.h"
#include "imageio/TiffCodec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtEndian>

#include "TiffTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

QString fixture(const char *name) { return QStringLiteral(LETRAFEX_FIXTURES "/tiff/") + QLatin1String(name); }

QByteArray fixtureBytes(const char *name)
{
    QFile f(fixture(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return f.readAll();
}

// Sets a SHORT or LONG tag of the first directory of a little-endian file to a LONG value.
void setTag(QByteArray &d, quint16 tag, quint32 value)
{
    const quint32 ifd = qFromLittleEndian<quint32>(d.constData() + 4);
    const quint16 n = qFromLittleEndian<quint16>(d.constData() + ifd);
    for (quint16 i = 0; i < n; ++i) {
        char *e = d.data() + ifd + 2 + 12 * i;
        if (qFromLittleEndian<quint16>(e) == tag) {
            qToLittleEndian<quint16>(4, e + 2);
            qToLittleEndian<quint32>(value, e + 8);
            return;
        }
    }
    ADD_FAILURE() << "no tag " << tag;
}

// What the process writes to stderr while fn runs.
template<typename Fn>
QByteArray stderrOf(Fn fn)
{
    QTemporaryFile capture;
    EXPECT_TRUE(capture.open());
    std::fflush(stderr);
    const int saved = dup(2);
    dup2(capture.handle(), 2);
    fn();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    capture.seek(0);
    return capture.readAll();
}

} // namespace

TEST(TiffLibrary, FilesOtherProgramsWriteMatchTheirReferenceDecodings)
{
    // The tolerance is for the lossy JPEG file only; every other file must match exactly.
    const struct
    {
        const char *file, *reference;
        int tolerance;
    } cases[] = {
        // Compressions, tiles, planes, byte orders and BigTIFF.
        {"rgb_lzw.tif", "rgb.ppm", 0},
        {"rgb_lzw_predictor_msb.tif", "rgb.ppm", 0},
        {"rgb_deflate.tif", "rgb.ppm", 0},
        {"rgb_packbits.tif", "rgb.ppm", 0},
        {"rgb_tiled.tif", "rgb.ppm", 0},
        {"rgb_planar.tif", "rgb.ppm", 0},
        {"rgb_planar_lzw_tiled.tif", "rgb.ppm", 0},
        {"rgb_bigtiff.tif", "rgb.ppm", 0},
        {"rgb_jpeg.tif", "rgb_jpeg.ppm", 2},
        {"grey_lzw.tif", "grey.pgm", 0},
        {"palette_lzw.tif", "palette.ppm", 0},
        {"bilevel_g3.tif", "bilevel.pbm", 0},
        {"bilevel_g4.tif", "bilevel.pbm", 0},
        // Sample sizes and colour spaces.
        {"rgb16.tif", "rgb.ppm", 0},
        {"grey16.tif", "grey.pgm", 0},
        {"grey16_tiled.tif", "grey.pgm", 0},
        {"grey2.tif", "grey4.pgm", 0},
        {"cmyk_lzw.tif", "cmyk.ppm", 0},
        // Bits of each byte from the low end, uncompressed (the own reader) and G4.
        {"bilevel_fill2.tif", "bilevel.pbm", 0},
        {"bilevel_g4_fill2.tif", "bilevel.pbm", 0},
        {"grey_fill2.tif", "grey.pgm", 0},
        {"grey4_fill2.tif", "grey4.pgm", 0},
        {"palette_fill2.tif", "palette.ppm", 0},
        {"rgb_fill2.tif", "rgb.ppm", 0},
        {"rgba_fill2.tif", "rgba_over_white.ppm", 0},
        // Alpha samples over white: straight RGBA in 8 and 16 bits, grey with alpha.
        {"rgba_lzw.tif", "rgba_over_white.ppm", 0},
        {"rgba16.tif", "rgba_over_white.ppm", 0},
        {"grey_alpha.tif", "grey_alpha_over_white.pgm", 0},
        // Each directory by whichever reader takes it; the last one is the picture.
        {"two_plain_then_lzw.tif", "rgb.ppm", 0},
        {"two_lzw_then_plain.tif", "grey.pgm", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const QImage reference = referencePicture(fixture(c.reference));
        ASSERT_FALSE(reference.isNull());
        const Raster picture = load(fixture(c.file));
        EXPECT_EQ(picture.bitCount(), 24);
        EXPECT_TRUE(samePicture(picture, reference, c.tolerance));
    }
}

TEST(TiffLibrary, DamageIsReportedWithLibtiffsReasonAndNothingOnStderr)
{
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("Bild-äöü.tif"));
    ASSERT_TRUE(QFile::copy(fixture("rgb_lzw.tif"), good));
    const Raster base(5, 5);
    const QByteArray err = stderrOf([&] {
        // A name beyond ASCII reads like any other.
        const PictureRead whole = readPictureFile(good, ReaderTiff, base);
        EXPECT_TRUE(whole.ok()) << whole.error.toStdString();
        EXPECT_TRUE(samePicture(whole.picture, referencePicture(fixture("rgb.ppm"))));

        // LZW codes cut short: the file is named with libtiff's reason, the picture stays.
        QByteArray bytes = fixtureBytes("rgb_lzw.tif");
        const QString cut = dir.filePath(QStringLiteral("Schnitt-ß.tif"));
        QFile f(cut);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes.left(8) + QByteArray(40, '\xFF') + bytes.mid(48));
        f.close();
        const PictureRead damaged = readPictureFile(cut, ReaderTiff, base);
        const QString start = QStringLiteral("The picture \"%1\" could not be read: Error reading image data\n\n").arg(cut);
        EXPECT_TRUE(damaged.error.startsWith(start)) << damaged.error.toStdString();
        EXPECT_GT(damaged.error.size(), start.size()) << "libtiff's reason follows";
        EXPECT_TRUE(damaged.picture.samePixels(base));

        // A scheme libtiff has no decoder for keeps the compressed-image message, with the reason.
        bytes = fixtureBytes("rgb_lzw.tif");
        setTag(bytes, 259, 34712);
        QStringList messages;
        read(bytes, &messages);
        EXPECT_EQ(messages, QStringList(QStringLiteral("Cant read compressed RGB Full Color Image\n\n"
                                                       "Compression scheme 34712 is not implemented")));
    });
    EXPECT_EQ(err, QByteArray());
}

TEST(TiffLibrary, AbsurdSizesAreRefusedBeforeDecoding)
{
    // Sizes no picture may have, in a compressed file: a clear message, or the error for a
    // side above 65535 as the own reader gives it.
    const struct
    {
        quint32 width, height;
        const char *message;
    } cases[] = {{40000, 19, "Error: an image of 40000 x 19 pixels is too large to read"},
                 {30000, 30000, "Error: an image of 30000 x 30000 pixels is too large to read"},
                 {65535, 65535, "Error: an image of 65535 x 65535 pixels is too large to read"},
                 {70000, 19, nullptr},
                 {37, 0xFFFFFFFF, nullptr}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.width);
        QByteArray bytes = fixtureBytes("rgb_lzw.tif");
        setTag(bytes, 256, c.width);
        setTag(bytes, 257, c.height);
        if (!c.message) {
            Raster picture;
            Messages m;
            EXPECT_THROW(ReadTiff(bytes, picture), LetrafexError);
            continue;
        }
        QStringList messages;
        EXPECT_TRUE(read(bytes, &messages).isEmpty());
        EXPECT_EQ(messages, QStringList(QLatin1String(c.message)));
    }
}

TEST(TiffLibrary, StripsTooSmallForTheirRowsAreRefusedBeforeDecoding)
{
    // 100,000 zero bytes deflate to about 100 (deflate's limit is 1032 to 1): as 50 x 500 floats
    // they read; as 8192 x 8192 floats (the samples path) or RGB (libtiff's RGBA reader) they
    // are refused before anything is allocated for the image.
    const QByteArray zeros = qCompress(QByteArray(100000, '\0'), 9).mid(4);
    for (const quint32 side : {0u, 3u, 4u}) {
        TiffBuilder b;
        const quint32 bits = b.appendShorts({8, 8, 8}), strip = b.append(zeros);
        auto f = imageFields(side ? 8192 : 50, side ? 8192 : 500, 32, side == 3 ? 2 : 1, strip, quint32(zeros.size()));
        setField(f, {259, 3, 1, 8, {}});
        setField(f, side == 3 ? TiffField{258, 3, 3, bits, {}} : TiffField{339, 3, 1, 3, {}});
        if (side == 3)
            setField(f, {277, 3, 1, 3, {}});
        std::sort(f.begin(), f.end(), [](const TiffField &x, const TiffField &y) { return x.tag < y.tag; });
        b.addDirectory(f);
        QStringList messages;
        EXPECT_EQ(read(b.bytes, side ? &messages : nullptr).width(), side ? 0 : 50);
        const QString reason = QStringLiteral("Strip 0 has %1 bytes in the file, too few for the %2 bytes of its image data");
        EXPECT_EQ(messages, side ? QStringList(QStringLiteral("Error reading image data\n\n") +
                                               reason.arg(zeros.size()).arg(8192 * 8192 * side))
                                 : QStringList());
    }
}

TEST(TiffLibrary, SampleSizesLibtiffsRgbaReaderRefusesMatchImageMagick)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.png"));
    ASSERT_TRUE(rgbTexture(24, 37, 19).image().save(source));
    const QString grey = QStringLiteral("-colorspace Gray "), tiles = QStringLiteral(" -define tiff:tile-geometry=16x16");
    // ImageMagick's own decoding is the reference; it scales through 16 bits, hence one level.
    // (Its 24-bit samples and its white-is-zero files disagree with libtiff's tools, so they
    // are left out.)
    const QString variants[] = {
        grey + QStringLiteral("-depth 3"), grey + QStringLiteral("-depth 5 -compress lzw") + tiles,
        grey + QStringLiteral("-depth 10 -endian MSB"), grey + QStringLiteral("-depth 32"),
        QStringLiteral("-depth 12 -interlace Plane -compress zip"), QStringLiteral("-depth 7") + tiles,
        QStringLiteral("-depth 32 -endian MSB"), QStringLiteral("-colorspace CMYK -depth 16 -compress lzw"),
        QStringLiteral("-alpha set -channel A -fx 0.4 -depth 10")};
    int i = 0;
    for (const QString &options : variants) {
        SCOPED_TRACE(options.toStdString());
        const QString file = dir.filePath(QStringLiteral("v%1.tif").arg(i++)), ppm = file + QStringLiteral(".ppm");
        ASSERT_EQ(runTool(QStringLiteral("convert"), QStringList{source} + options.split(QLatin1Char(' ')) + QStringList{file}), QString());
        ASSERT_EQ(runTool(QStringLiteral("convert"), {file, QStringLiteral("-background"), QStringLiteral("white"),
                                                      QStringLiteral("-alpha"), QStringLiteral("remove"),
                                                      QStringLiteral("-depth"), QStringLiteral("8"), ppm}),
                  QString());
        EXPECT_TRUE(samePicture(load(file), referencePicture(ppm), 1));
    }
    // Pillow's 32-bit floating-point grey from 0 to 1 gives the grey levels back.
    const QString floats = dir.filePath(QStringLiteral("float.tif"));
    ASSERT_EQ(runTool(Python, {QStringLiteral("-c"),
                               QStringLiteral("import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('L')\n"
                                              "im.save(sys.argv[2] + '.pgm')\nim.convert('F').point(lambda v: v / 255).save(sys.argv[2])"),
                               source, floats}),
              QString());
    EXPECT_TRUE(samePicture(load(floats), referencePicture(floats + QStringLiteral(".pgm"))));
    // ImageMagick's 16-bit L*a*b* of the source reads back as the source: its own decoding
    // is further off than that.
    const QString lab = dir.filePath(QStringLiteral("lab.tif"));
    ASSERT_EQ(runTool(QStringLiteral("convert"), {source, QStringLiteral("-colorspace"), QStringLiteral("Lab"),
                                                  QStringLiteral("-depth"), QStringLiteral("16"), lab}),
              QString());
    EXPECT_TRUE(samePicture(load(lab), QImage(source).convertToFormat(QImage::Format_RGB32), 8));
}

TEST(TiffLibrary, LabWhiteIsWhiteWhateverTheWhitePointAndFloatsTakeTheirRange)
{
    // L* 100, 0 and 50.2 with a* = b* = 0: white, black and the grey of CIE L* 50.2 in sRGB
    // (Y 0.1845, 119), with the D50 white point and with none (D65).
    for (bool d50 : {true, false}) {
        TiffBuilder b;
        const quint32 strip = b.append(bytes({255, 0, 0, 0, 0, 0, 128, 0, 0}));
        std::vector<TiffField> f = imageFields(3, 1, 0, 8, strip, 9);
        setField(f, {258, 3, 3, b.appendShorts({8, 8, 8}), {}});
        setField(f, {277, 3, 1, 3, {}});
        if (d50)
            setField(f, {318, 5, 2, b.appendLongs({3457, 10000, 3585, 10000}), {}});
        b.addDirectory(f);
        const Raster picture = read(b.bytes);
        EXPECT_EQ(picture.pixelRgb(0, 0) & 0xFFFFFF, 0xFFFFFFu) << d50;
        EXPECT_EQ(picture.pixelRgb(1, 0) & 0xFFFFFF, 0u);
        EXPECT_EQ(picture.pixelRgb(2, 0) & 0xFFFFFF, 0x777777u);
    }
    // Half floats clamped to 0..1, and doubles between SMinSampleValue -1 and SMaxSampleValue 1.
    TiffBuilder b;
    const quint32 halves = b.appendShorts({0x0000, 0x3800, 0x3C00, 0x4000, 0xBC00});
    std::vector<TiffField> f = imageFields(5, 1, 16, 1, halves, 10);
    setField(f, {339, 3, 1, 3, {}});
    b.addDirectory(f);
    const Raster half = read(b.bytes);
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(qRed(half.pixelRgb(x, 0)), (QVector<int>{0, 128, 255, 255, 0}[x]));
    TiffBuilder d;
    QByteArray samples;
    for (double v : {-1.0, 0.0, 1.0, -1.0, 1.0})
        samples.append(reinterpret_cast<const char *>(&v), 8);
    const quint32 at = d.append(samples);
    f = imageFields(3, 1, 64, 1, at, 24);
    setField(f, {339, 3, 1, 3, {}});
    setField(f, {340, 12, 1, at + 24, {}});
    setField(f, {341, 12, 1, at + 32, {}});
    d.addDirectory(f);
    const Raster ranged = read(d.bytes);
    for (int x = 0; x < 3; ++x)
        EXPECT_EQ(qRed(ranged.pixelRgb(x, 0)), (QVector<int>{0, 128, 255}[x]));
}
