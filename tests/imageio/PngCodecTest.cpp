#include "imageio/PngCodec.h"

#include "core/Raster.h"
#include "imageio/PngDeflate.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

#include "ReferenceTools.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <csignal>
#include <cstring>
#include <random>
#include <vector>

#ifdef __unix__
#include <sys/resource.h>
#endif

namespace {

const QString PngFixtures = QStringLiteral(LETRAFEX_FIXTURES "/png/");
const QString BadFixtures = QStringLiteral(LETRAFEX_FIXTURES "/bad/");

constexpr TColor Red = makeColor(255, 0, 0);
constexpr TColor Green = makeColor(0, 255, 0);
constexpr TColor Blue = makeColor(0, 0, 255);

void appendU32(QByteArray &out, quint32 v)
{
    char b[4];
    qToBigEndian(v, b);
    out.append(b, 4);
}

QByteArray chunk(const char *type, const QByteArray &body)
{
    QByteArray out;
    appendU32(out, quint32(body.size()));
    out.append(type, 4);
    out += body;
    uLong crc = crc32(0, nullptr, 0);
    crc = crc32(crc, reinterpret_cast<const Bytef *>(type), 4);
    crc = crc32(crc, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size()));
    appendU32(out, quint32(crc));
    return out;
}

struct PngLayout
{
    quint32 width = 1;
    quint32 height = 1;
    int depth = 8;
    int colorType = 2;
    QByteArray rows;    // unfiltered rows, top first, each already packed to its byte size
    QByteArray palette; // PLTE body, empty for none
    QByteArray trns;    // tRNS body, empty for none
};

// A minimal, non-interlaced PNG built by hand (each row filter 0), so that tests control
// every header field and sample.
QByteArray makePng(const PngLayout &s)
{
    static const int channels[7] = {1, 0, 3, 1, 2, 0, 4};
    const int rowBytes = int((s.width * channels[s.colorType] * s.depth + 7) / 8);
    QByteArray raw;
    for (quint32 y = 0; y < s.height; ++y)
        raw += char(0) + s.rows.mid(int(y) * rowBytes, rowBytes);
    QByteArray ihdr;
    appendU32(ihdr, s.width);
    appendU32(ihdr, s.height);
    ihdr += char(s.depth);
    ihdr += char(s.colorType);
    ihdr += QByteArray(3, '\0');
    QByteArray out("\x89PNG\r\n\x1a\n", 8);
    out += chunk("IHDR", ihdr);
    if (!s.palette.isEmpty())
        out += chunk("PLTE", s.palette);
    if (!s.trns.isEmpty())
        out += chunk("tRNS", s.trns);
    out += chunk("IDAT", qCompress(raw).mid(4)); // qCompress puts a length before the zlib stream
    out += chunk("IEND", {});
    return out;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

::testing::AssertionResult sameRaster(const Raster &expected, const Raster &actual)
{
    if (expected.bitCount() != actual.bitCount())
        return ::testing::AssertionFailure() << "bit count " << actual.bitCount() << ", expected " << expected.bitCount();
    if (expected.width() != actual.width() || expected.height() != actual.height())
        return ::testing::AssertionFailure() << "size " << actual.width() << "x" << actual.height() << ", expected "
                                             << expected.width() << "x" << expected.height();
    if (!expected.samePixels(actual))
        return ::testing::AssertionFailure() << "pixels differ";
    return ::testing::AssertionSuccess();
}

// A picture that is easy to recognise when a failed load must leave it alone.
Raster markedPicture()
{
    Raster r(5, 4, 24, Colors::clYellow);
    r.setPixel(1, 2, Blue);
    r.setPixel(4, 3, Red);
    return r;
}

// ImageMagick's decoding of a PNG composed over white, as 8-bit RGB rows: ImageMagick
// writes 16-bit big-endian samples and the most significant byte of each is kept, the same
// reduction our reader makes for 16-bit files.
bool referenceDecode(const QString &path, int width, int height, QByteArray &rgb, QString &problem)
{
    QString tool = QStandardPaths::findExecutable(QStringLiteral("magick"));
    if (tool.isEmpty())
        tool = QStandardPaths::findExecutable(QStringLiteral("convert"));
    if (tool.isEmpty()) {
        problem = QStringLiteral("ImageMagick (magick or convert) is not installed; the PNG reader is compared with it. "
                                 "Install the imagemagick package.");
        return false;
    }
    QByteArray out;
    if (const QString why = runTool(tool, {path, QStringLiteral("-background"), QStringLiteral("white"),
                                           QStringLiteral("-alpha"), QStringLiteral("remove"), QStringLiteral("-alpha"),
                                           QStringLiteral("off"), QStringLiteral("-depth"), QStringLiteral("16"),
                                           QStringLiteral("-endian"), QStringLiteral("MSB"), QStringLiteral("rgb:-")},
                                    &out);
        !why.isEmpty()) {
        problem = why;
        return false;
    }
    if (out.size() != qsizetype(width) * height * 6) {
        problem = QStringLiteral("%1 gave %2 bytes for %3").arg(tool).arg(out.size()).arg(path);
        return false;
    }
    rgb.resize(out.size() / 2);
    for (qsizetype i = 0; i < rgb.size(); ++i)
        rgb[i] = out[2 * i];
    return true;
}

} // namespace

// ---------------------------------------------------------------------------- reading

TEST(PngReading, TwoPixelRgbFileLoadsRedThenBlue)
{
    const QByteArray png = makePng({2, 1, 8, 2, bytes({255, 0, 0, 0, 0, 255}), {}, {}});
    Raster picture;
    ASSERT_TRUE(ReadPng(png, picture));
    EXPECT_EQ(picture.width(), 2);
    EXPECT_EQ(picture.height(), 1);
    EXPECT_EQ(picture.bitCount(), 24);
    EXPECT_EQ(picture.pixel(0, 0), Red);
    EXPECT_EQ(picture.pixel(1, 0), Blue);
}

TEST(PngReading, AlphaComposesOverWhatThePictureShowed)
{
    // Stored alpha 255 replaces, 0 keeps the old pixel, 128 mixes with the integer formula.
    const QByteArray png = makePng({3, 1, 8, 6, bytes({255, 0, 0, 255, 0, 255, 0, 0, 0, 0, 0, 128}), {}, {}});
    Raster picture(3, 1, 24, Colors::clWhite);
    picture.setPixel(0, 0, Blue);
    picture.setPixel(1, 0, Colors::clYellow);
    ASSERT_TRUE(ReadPng(png, picture));
    EXPECT_EQ(picture.pixel(0, 0), Red);
    EXPECT_EQ(picture.pixel(1, 0), Colors::clYellow);
    EXPECT_EQ(picture.pixel(2, 0), makeColor(127, 127, 127)); // (127 * 255 + 128 * 0) / 255

    // Alpha 128 of red over a backdrop of (10, 200, 255): each channel is
    // (127 * backdrop + 128 * source) / 255, truncated.
    const QByteArray half = makePng({1, 1, 8, 6, bytes({255, 0, 0, 128}), {}, {}});
    Raster tinted(1, 1, 24, makeColor(10, 200, 255));
    ASSERT_TRUE(ReadPng(half, tinted));
    EXPECT_EQ(tinted.pixel(0, 0), makeColor((127 * 10 + 128 * 255) / 255, (127 * 200) / 255, (127 * 255) / 255));
}

TEST(PngReading, PaletteWithTransparencyComposesLikeRgba)
{
    // 4-bit indices 0, 1, 2 (two to a byte) with alphas 255, 0, 128.
    PngLayout layout{3, 1, 4, 3, bytes({0x01, 0x20}), bytes({255, 0, 0, 0, 255, 0, 0, 0, 0}), bytes({255, 0, 128})};
    Raster picture(3, 1, 24, Colors::clWhite);
    picture.setPixel(0, 0, Blue);
    picture.setPixel(1, 0, Colors::clYellow);
    ASSERT_TRUE(ReadPng(makePng(layout), picture));
    EXPECT_EQ(picture.pixel(0, 0), Red);
    EXPECT_EQ(picture.pixel(1, 0), Colors::clYellow);
    EXPECT_EQ(picture.pixel(2, 0), makeColor(127, 127, 127));
}

TEST(PngReading, GreyIsReplicatedAndSixteenBitSamplesKeepTheirHighByte)
{
    Raster grey;
    ASSERT_TRUE(ReadPng(makePng({2, 1, 8, 0, bytes({0x40, 0xC3}), {}, {}}), grey));
    EXPECT_EQ(grey.pixel(0, 0), makeColor(0x40, 0x40, 0x40));
    EXPECT_EQ(grey.pixel(1, 0), makeColor(0xC3, 0xC3, 0xC3));

    Raster grey16;
    ASSERT_TRUE(ReadPng(makePng({1, 1, 16, 0, bytes({0xAB, 0xCD}), {}, {}}), grey16));
    EXPECT_EQ(grey16.pixel(0, 0), makeColor(0xAB, 0xAB, 0xAB));

    Raster rgb16;
    ASSERT_TRUE(ReadPng(makePng({1, 1, 16, 2, bytes({0x12, 0xAB, 0x34, 0x56, 0x78, 0xCD}), {}, {}}), rgb16));
    EXPECT_EQ(rgb16.pixel(0, 0), makeColor(0x12, 0x34, 0x78));

    // Grey 0 with alpha 0x80FF (high byte 128) over white gives 127, as for 8 bits.
    Raster greyAlpha16(1, 1, 24, Colors::clWhite);
    ASSERT_TRUE(ReadPng(makePng({1, 1, 16, 4, bytes({0x00, 0x7F, 0x80, 0xFF}), {}, {}}), greyAlpha16));
    EXPECT_EQ(greyAlpha16.pixel(0, 0), makeColor(127, 127, 127));

    Raster rgba16(1, 1, 24, Blue);
    ASSERT_TRUE(ReadPng(makePng({1, 1, 16, 6, bytes({0xFF, 0, 0, 0, 0, 0, 0, 0}), {}, {}}), rgba16));
    EXPECT_EQ(rgba16.pixel(0, 0), Blue);

    Raster greyAlpha8(2, 1, 24, Colors::clWhite);
    ASSERT_TRUE(ReadPng(makePng({2, 1, 8, 4, bytes({0x20, 255, 0, 128}), {}, {}}), greyAlpha8));
    EXPECT_EQ(greyAlpha8.pixel(0, 0), makeColor(0x20, 0x20, 0x20));
    EXPECT_EQ(greyAlpha8.pixel(1, 0), makeColor(127, 127, 127));
}

TEST(PngReading, PictureTakesThePngSizeKeepingTheOverlapAsBackdrop)
{
    const QByteArray opaque = makePng({2, 1, 8, 2, bytes({255, 0, 0, 0, 0, 255}), {}, {}});
    Raster larger(10, 8, 24, Green);
    ASSERT_TRUE(ReadPng(opaque, larger));
    EXPECT_EQ(larger.width(), 2);
    EXPECT_EQ(larger.height(), 1);

    // A fully transparent 4 x 2 file over a 2 x 1 picture: the old pixels show where the
    // areas overlap, the rest is white like any newly grown area.
    PngLayout clear{4, 2, 8, 6, QByteArray(4 * 2 * 4, '\0'), {}, {}};
    Raster smaller(2, 1, 24, Colors::clYellow);
    ASSERT_TRUE(ReadPng(makePng(clear), smaller));
    EXPECT_EQ(smaller.width(), 4);
    EXPECT_EQ(smaller.height(), 2);
    EXPECT_EQ(smaller.pixel(0, 0), Colors::clYellow);
    EXPECT_EQ(smaller.pixel(1, 0), Colors::clYellow);
    EXPECT_EQ(smaller.pixel(2, 0), Colors::clWhite);
    EXPECT_EQ(smaller.pixel(0, 1), Colors::clWhite);
    EXPECT_EQ(smaller.pixel(3, 1), Colors::clWhite);

    // An indexed picture serves as backdrop with its colours and becomes 24-bit.
    Raster indexed(2, 1, 8);
    ASSERT_TRUE(ReadPng(makePng(clear), indexed));
    EXPECT_EQ(indexed.bitCount(), 24);
    EXPECT_EQ(indexed.pixel(0, 0), Colors::clWhite);
}

TEST(PngReading, AncillaryChunksAreSkippedWhereverTheyAreButUnknownCriticalOnesFail)
{
    const QByteArray png = makePng({2, 1, 8, 2, bytes({255, 0, 0, 0, 0, 255}), {}, {}});
    QByteArray early = png;
    early.insert(8, chunk("pHYs", bytes({0, 0, 14, 195, 0, 0, 14, 195, 1})));
    early.insert(8, chunk("prVt", "private"));
    Raster picture = markedPicture();
    ASSERT_TRUE(ReadPng(early, picture));
    EXPECT_EQ(picture.width(), 2);
    EXPECT_EQ(picture.pixel(0, 0), Red);
    EXPECT_EQ(picture.pixel(1, 0), Blue);

    QByteArray critical = png;
    critical.insert(33, chunk("CRIT", "must be understood"));
    Raster unchanged = markedPicture();
    EXPECT_FALSE(ReadPng(critical, unchanged));
    EXPECT_TRUE(sameRaster(markedPicture(), unchanged));
}

TEST(PngReading, LoadPngFileReadsFilesAndRefusesWhatIsNotThere)
{
    Raster picture = markedPicture();
    ASSERT_TRUE(LoadPngFile(PngFixtures + "rgb08.png", picture));
    EXPECT_EQ(picture.width(), 13);
    EXPECT_EQ(picture.height(), 11);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const QString &path : {dir.filePath("missing.png"), dir.path(), QString()}) {
        Raster unchanged = markedPicture();
        EXPECT_FALSE(LoadPngFile(path, unchanged)) << path.toStdString();
        EXPECT_TRUE(sameRaster(markedPicture(), unchanged)) << path.toStdString();
    }
}

// Every colour type and bit depth, compared with ImageMagick over a white backdrop.
// Files with partial transparency may differ by one step (rounding of the mix); all
// others must match exactly.
TEST(PngReading, EveryColourTypeAndDepthMatchesTheReferenceDecoder)
{
    struct Case
    {
        const char *name;
        bool partialAlpha;
    };
    const Case cases[] = {
        {"g01.png", false},   {"g02.png", false},    {"g04.png", false},      {"g08.png", false},
        {"g16.png", false},   {"g02t.png", false},   {"g08t.png", false},     {"g16t.png", false},
        {"ga08.png", true},   {"ga16.png", true},    {"ga16o.png", false},    {"p01.png", false},
        {"p02.png", false},   {"p04.png", false},    {"p08.png", false},      {"p01t.png", true},
        {"p02t.png", true},   {"p04t.png", true},    {"p08t.png", true},      {"rgb08.png", false},
        {"rgb16.png", false}, {"rgb08t.png", false}, {"rgb16t.png", false},   {"rgba08.png", true},
        {"rgba16.png", true}, {"rgba16o.png", false}, {"rgb08_chunks.png", false}, {"i_g01.png", false},
        {"i_g16.png", false}, {"i_p04t.png", true},  {"i_rgb08.png", false},  {"i_ga08.png", true},
        {"i_rgba16.png", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = PngFixtures + c.name;
        Raster picture(13, 11, 24, Colors::clWhite);
        ASSERT_TRUE(LoadPngFile(path, picture));
        ASSERT_EQ(picture.width(), 13);
        ASSERT_EQ(picture.height(), 11);
        QByteArray reference;
        QString problem;
        ASSERT_TRUE(referenceDecode(path, 13, 11, reference, problem)) << problem.toStdString();
        int worst = 0;
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 13; ++x) {
                const QRgb ours = picture.pixelRgb(x, y);
                const uchar *ref = reinterpret_cast<const uchar *>(reference.constData()) + (y * 13 + x) * 3;
                worst = qMax(worst, qAbs(qRed(ours) - ref[0]));
                worst = qMax(worst, qAbs(qGreen(ours) - ref[1]));
                worst = qMax(worst, qAbs(qBlue(ours) - ref[2]));
            }
        EXPECT_LE(worst, c.partialAlpha ? 1 : 0);
    }
}

TEST(PngReading, InterlacedFilesMatchTheirPlainTwins)
{
    const std::pair<const char *, const char *> twins[] = {
        {"i_rgb08.png", "rgb08.png"}, {"i_ga08.png", "ga08.png"}, {"i_rgba16.png", "rgba16.png"}, {"i_g01.png", "g01.png"}};
    for (const auto &[interlaced, plain] : twins) {
        SCOPED_TRACE(interlaced);
        Raster a(13, 11), b(13, 11);
        ASSERT_TRUE(LoadPngFile(PngFixtures + interlaced, a));
        ASSERT_TRUE(LoadPngFile(PngFixtures + plain, b));
        EXPECT_TRUE(sameRaster(b, a));
    }
}

// ---------------------------------------------------------------------------- damaged files

TEST(PngDamagedFiles, AreRefusedAndLeaveThePictureUnchanged)
{
    const char *names[] = {"png_bad_crc.png",         "png_truncated_idat.png", "png_absurd_size.png",
                           "png_zero_width.png",      "png_too_wide.png",       "png_too_many_bytes.png",
                           "png_bad_depth.png",       "png_missing_plte.png",   "png_short_data.png",
                           "png_bad_filter.png",      "png_not_png.png",        "png_empty.png",
                           "png_signature_only.png",  "png_huge_text_chunk.png"};
    for (const char *name : names) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(QFile::exists(BadFixtures + name));
        Raster picture = markedPicture();
        EXPECT_FALSE(LoadPngFile(BadFixtures + name, picture));
        EXPECT_TRUE(sameRaster(markedPicture(), picture));
        EXPECT_FALSE(ReadPng(readAll(BadFixtures + name), picture));
        EXPECT_TRUE(sameRaster(markedPicture(), picture));
    }
}

TEST(PngDamagedFiles, SidesUpToTheLimitLoad)
{
    // 32,768 pixels is the longest side accepted; png_too_wide.png has one more.
    const QByteArray wide = makePng({32768, 1, 8, 0, QByteArray(32768, char(0x80)), {}, {}});
    Raster picture;
    ASSERT_TRUE(ReadPng(wide, picture));
    EXPECT_EQ(picture.width(), 32768);
    EXPECT_EQ(picture.height(), 1);
    EXPECT_EQ(picture.pixel(32767, 0), makeColor(0x80, 0x80, 0x80));
}

TEST(PngDamagedFiles, OversizedAncillaryChunksAreNotRead)
{
    // A text chunk claiming 1.7 GB in a file of 160 bytes.
    Raster picture = markedPicture();
    EXPECT_FALSE(ReadPng(readAll(BadFixtures + "png_huge_text_chunk.png"), picture));
    EXPECT_TRUE(sameRaster(markedPicture(), picture));

    QByteArray png = makePng({2, 1, 8, 2, bytes({255, 0, 0, 0, 0, 255}), {}, {}});
    // Real chunks of 20 MiB, plain and compressed text, are skipped: the pixels load.
    const QByteArray text = QByteArray(20 * 1024 * 1024, 'x');
    QByteArray withText = png;
    withText.insert(33, chunk("tEXt", QByteArray("Comment") + '\0' + text));
    QByteArray withZText = png;
    withZText.insert(33, chunk("zTXt", QByteArray("Comment") + '\0' + '\0' + qCompress(text).mid(4)));
    for (const QByteArray &file : {withText, withZText}) {
        Raster loaded = markedPicture();
        ASSERT_TRUE(ReadPng(file, loaded));
        EXPECT_EQ(loaded.width(), 2);
        EXPECT_EQ(loaded.pixel(0, 0), Red);
        EXPECT_EQ(loaded.pixel(1, 0), Blue);
    }
}

TEST(PngDamagedFiles, EveryCutAndEveryFlippedByteIsHandled)
{
    // Whatever the damage, a load either succeeds with the file's size or fails without
    // touching the picture.
    const auto check = [](const QByteArray &data, const std::string &what) {
        Raster picture = markedPicture();
        if (ReadPng(data, picture)) {
            EXPECT_EQ(picture.width(), 13) << what;
            EXPECT_EQ(picture.height(), 11) << what;
        } else {
            EXPECT_TRUE(sameRaster(markedPicture(), picture)) << what;
        }
    };
    for (const char *name : {"i_p04t.png", "rgb16t.png"}) {
        const QByteArray good = readAll(PngFixtures + name);
        ASSERT_FALSE(good.isEmpty());
        for (qsizetype n = 0; n < good.size(); ++n)
            check(good.left(n), std::string(name) + " cut at " + std::to_string(n));
        for (qsizetype i = 0; i < good.size(); ++i) {
            QByteArray bad = good;
            bad[i] = char(bad[i] ^ 0x5A);
            check(bad, std::string(name) + " flipped at " + std::to_string(i));
        }
    }
}

// ---------------------------------------------------------------------------- writing

TEST(PngWriting, SavedPictureReadsBackAsOpaqueEightBitRgb)
{
    Raster picture(7, 5, 24, Colors::clWhite);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            picture.setPixel(x, y, makeColor(x * 36, y * 60, (x * y * 13) & 255));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("saved.png");
    ASSERT_TRUE(SavePngFile(path, picture));

    const QByteArray file = readAll(path);
    ASSERT_GE(file.size(), 33);
    EXPECT_EQ(file.left(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(file.mid(8, 8), QByteArray("\0\0\0\x0dIHDR", 8));
    EXPECT_EQ(qFromBigEndian<quint32>(file.constData() + 16), 7u);
    EXPECT_EQ(qFromBigEndian<quint32>(file.constData() + 20), 5u);
    EXPECT_EQ(file.mid(24, 5), bytes({8, 2, 0, 0, 0})); // depth, colour type, compression, filter, interlace
    EXPECT_TRUE(file.contains(QByteArray("tEXtSoftware\0Letrafex", 21)));

    Raster back(1, 1);
    ASSERT_TRUE(LoadPngFile(path, back));
    EXPECT_TRUE(sameRaster(picture, back));

    // An independent decoder sees the same pixels.
    const QImage qt(path);
    ASSERT_FALSE(qt.isNull());
    EXPECT_FALSE(qt.hasAlphaChannel());
    EXPECT_EQ(qt.pixel(6, 4) & 0xFFFFFF, picture.pixelRgb(6, 4) & 0xFFFFFF);
}

TEST(PngWriting, IndexedPictureIsWrittenWithItsColours)
{
    Raster picture(3, 2, 8);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(SavePngFile(dir.filePath("indexed.png"), picture));
    Raster back;
    ASSERT_TRUE(LoadPngFile(dir.filePath("indexed.png"), back));
    EXPECT_EQ(back.width(), 3);
    EXPECT_EQ(back.height(), 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(back.pixelRgb(x, y), picture.pixelRgb(x, y));
}

TEST(PngWriting, ColourKeyMakesThatColourFullyTransparent)
{
    Raster picture(3, 2, 24, Colors::clWhite);
    picture.setPixel(0, 0, Red);
    picture.setPixel(2, 1, Red);
    picture.setPixel(1, 0, makeColor(254, 0, 0));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("keyed.png");
    ASSERT_TRUE(SavePngWriter(path, picture, Red));

    const QByteArray file = readAll(path);
    ASSERT_GE(file.size(), 33);
    EXPECT_EQ(file.mid(24, 5), bytes({8, 6, 0, 0, 0}));

    const QImage qt = QImage(path).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(qt.size(), QSize(3, 2));
    EXPECT_EQ(qAlpha(qt.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(qt.pixel(2, 1)), 0);
    EXPECT_EQ(qAlpha(qt.pixel(1, 0)), 255);
    EXPECT_EQ(qAlpha(qt.pixel(1, 1)), 255);
    EXPECT_EQ(qt.pixel(1, 0), qRgba(254, 0, 0, 255));

    // Read back over blue: the keyed pixels let the backdrop through.
    Raster back(3, 2, 24, Blue);
    ASSERT_TRUE(LoadPngFile(path, back));
    EXPECT_EQ(back.pixel(0, 0), Blue);
    EXPECT_EQ(back.pixel(2, 1), Blue);
    EXPECT_EQ(back.pixel(1, 0), makeColor(254, 0, 0));
    EXPECT_EQ(back.pixel(0, 1), Colors::clWhite);

    // Only the key's low 24 bits are compared.
    ASSERT_TRUE(SavePngWriter(path, picture, TColor(0x010000FF)));
    EXPECT_EQ(qAlpha(QImage(path).convertToFormat(QImage::Format_ARGB32).pixel(0, 0)), 0);
}

TEST(PngWriting, FailedSaveKeepsTheOldFileAndLeavesNothingBehind)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("old.png");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("previous contents");
    }
    EXPECT_FALSE(SavePngFile(path, Raster()));
    EXPECT_FALSE(SavePngWriter(path, Raster(0, 3), Red));
    EXPECT_EQ(readAll(path), QByteArray("previous contents"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.png"});

    EXPECT_FALSE(SavePngFile(dir.filePath("no/such/folder/pic.png"), Raster(2, 2)));
    EXPECT_FALSE(SavePngFile(dir.path(), Raster(2, 2))); // a folder is not a file
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.png"});

    // A successful save replaces the old file whole.
    ASSERT_TRUE(SavePngFile(path, Raster(2, 2)));
    Raster back;
    ASSERT_TRUE(LoadPngFile(path, back));
    EXPECT_EQ(back.width(), 2);
}

#ifdef __unix__
TEST(PngWriting, WriteFailingPartWayKeepsTheOldFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("old.png");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("previous contents");
    }
    // Noise does not compress, so the PNG is far larger than the file size limit below and
    // the disk "fills up" in the middle of the image data.
    Raster noise(300, 300);
    std::mt19937 random(7);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x)
            noise.setPixel(x, y, TColor(random() & 0xFFFFFF));

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 20000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved1 = SavePngFile(path, noise);
    const bool saved2 = SavePngWriter(path, noise, Colors::clWhite);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved1);
    EXPECT_FALSE(saved2);
    EXPECT_EQ(readAll(path), QByteArray("previous contents"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.png"});

    // With room on the disk the same picture saves and reads back.
    ASSERT_TRUE(SavePngFile(path, noise));
    Raster back;
    ASSERT_TRUE(LoadPngFile(path, back));
    EXPECT_TRUE(sameRaster(noise, back));
}
#endif

namespace {
// The row filter types of a written PNG, read from its inflated image data.
QSet<int> rowFilters(const QByteArray &file, int width, int pixelBytes, int height)
{
    QByteArray idat;
    for (qsizetype at = 8; at + 8 <= file.size();) {
        const quint32 length = qFromBigEndian<quint32>(file.constData() + at);
        if (file.mid(at + 4, 4) == "IDAT")
            idat += file.mid(at + 8, length);
        at += 12 + qsizetype(length);
    }
    const qsizetype line = qsizetype(width) * pixelBytes + 1;
    QByteArray raw(line * height, '\0');
    uLongf size = uLongf(raw.size());
    QSet<int> filters;
    if (uncompress(reinterpret_cast<Bytef *>(raw.data()), &size, reinterpret_cast<const Bytef *>(idat.constData()),
                   uLong(idat.size())) != Z_OK || qsizetype(size) != raw.size())
        return filters;
    for (int y = 0; y < height; ++y)
        filters << int(uchar(raw[y * line]));
    return filters;
}
} // namespace

// Pictures large enough that the image data is compressed in several pieces and joined:
// a photograph-like one (noise on gradients) and a drawn one (flat areas, sharp edges),
// opaque and with a colour key. Pillow (through zlib) reads exactly the saved pixels.
TEST(PngWriting, LargePhotoLikeAndDrawnPicturesReadBackInPillowWithTheSamePixels)
{
    constexpr int W = 1800, H = 1200;
    Raster photo(W, H), drawn(W, H, 24, Colors::clWhite);
    std::mt19937 random(11);
    for (int y = 0; y < H; ++y) {
        QRgb *p = reinterpret_cast<QRgb *>(photo.paintable().scanLine(y));
        QRgb *d = reinterpret_cast<QRgb *>(drawn.paintable().scanLine(y));
        for (int x = 0; x < W; ++x) {
            const int n = int(random() % 17) - 8;
            p[x] = qRgb(qBound(0, x * 255 / W + n, 255), qBound(0, y * 255 / H - n, 255), qBound(0, (x + y) / 12 % 256 + n, 255));
            if ((x / 90 + y / 70) % 3 == 0 || std::abs(x - 3 * y / 2) < 4)
                d[x] = qRgb(x * 7 % 256, 40, y % 200);
        }
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case { const char *name; const Raster &picture; bool keyed; };
    const Case cases[] = {{"photo.png", photo, false}, {"drawn.png", drawn, false}, {"keyed.png", drawn, true}};
    QStringList files;
    for (const Case &c : cases) {
        files << dir.filePath(c.name);
        ASSERT_TRUE(c.keyed ? SavePngWriter(files.last(), c.picture, Colors::clWhite) : SavePngFile(files.last(), c.picture));
    }
    const QString why = decodeWithPillow(files);
    ASSERT_TRUE(why.isEmpty()) << qPrintable(why);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(cases[i].name);
        const QImage reference = referencePicture(files[i] + QStringLiteral(".pil.ppm"));
        ASSERT_EQ(reference.size(), QSize(W, H));
        EXPECT_EQ(reference, cases[i].picture.toRgb32());
    }
    // The two kinds are filtered differently, so both filters' rows were checked above.
    const QSet<int> photoFilters = rowFilters(readAll(files[0]), W, 3, H);
    const QSet<int> drawnFilters = rowFilters(readAll(files[1]), W, 3, H);
    EXPECT_EQ(photoFilters.size(), 1);
    EXPECT_EQ(drawnFilters.size(), 1);
    EXPECT_NE(photoFilters, drawnFilters);
}

// Pieces joined into one stream inflate in zlib to the rows at every level, for blocks of
// every kind: stored (8-bit noise), literals only, without a distance code (7-bit noise), mixed.
TEST(PngImageData, JoinedPiecesInflateToTheRowsForEveryContentAndLevel)
{
    constexpr int Height = 9;
    for (const int width : {2999, 3000, 3025})
        for (const int bits : {8, 7, 2})
            for (const int level : {1, 4, 6, 9, 12}) {
                std::mt19937 random(unsigned(width * 31 + bits * 7 + level));
                PngImageData data{Height, std::size_t(width) * 3, 3, PngFilter::None, level, std::size_t(width) * 6 + 2};
                const std::size_t line = data.rowBytes + 1;
                std::vector<uchar> rows(line * Height), stream; // as the file stores them: filter 0, bytes
                for (std::size_t i = 0; i < rows.size(); ++i)
                    rows[i] = i % line ? uchar(random() >> (32 - bits)) : 0;
                ASSERT_TRUE(CompressPngImageData(
                    data, [&](int y, uchar *out) { std::memcpy(out, &rows[line * std::size_t(y) + 1], data.rowBytes); },
                    [&](const uchar *piece, std::size_t size) { return stream.insert(stream.end(), piece, piece + size), true; }));
                std::vector<uchar> inflated(rows.size());
                uLongf size = uLongf(inflated.size());
                ASSERT_EQ(uncompress(inflated.data(), &size, stream.data(), uLong(stream.size())), Z_OK);
                ASSERT_TRUE(inflated == rows) << width << " px, " << bits << " bits, level " << level;
            }
}
