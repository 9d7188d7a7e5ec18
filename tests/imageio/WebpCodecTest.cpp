// WebP stills and animations, and animated PNG files, read back by the program and by
// the reference decoders (Pillow, libwebp's dwebp).
#include "ReferenceTools.h"
#include "core/Errors.h"
#include "core/FileBytes.h"
#include "imageio/ApngWriter.h"
#include "imageio/PictureFiles.h"
#include "imageio/PngCodec.h"
#include "imageio/WebpCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Colour in every channel, with steps between neighbours that a lossy coder smooths.
QImage testPicture(int w, int h, QImage::Format format = QImage::Format_RGB32)
{
    QImage img(w, h, format);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgba(x * 255 / w, y * 255 / h, (x * 7 + y * 3) % 256,
                                     format == QImage::Format_ARGB32 ? (x * 5 + y) % 256 : 255));
    return img;
}

// A straight-alpha colour over an opaque one.
QRgb overOpaque(QRgb c, QRgb b)
{
    const int a = qAlpha(c);
    auto mix = [a](int f, int g) { return (f * a + g * (255 - a)) / 255; };
    return qRgb(mix(qRed(c), qRed(b)), mix(qGreen(c), qGreen(b)), mix(qBlue(c), qBlue(b)));
}

int largestDifference(const QImage &a, const QImage &b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    return largest;
}

} // namespace

TEST(WebpCodec, LosslessPicturesComeBackExactlyThroughTheProgramPillowAndDwebp)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pic.webp"));
    const Raster picture = Raster::fromImage(testPicture(97, 41), 24);
    EXPECT_EQ(pictureReaderFor(QStringLiteral("a.WebP")), ReaderWebp);
    EXPECT_EQ(pictureSaveName(QStringLiteral("pic"), SaveWebp), QStringLiteral("pic.webp"));
    savePictureFile(path, SaveWebp, picture);

    const PictureRead read = readPictureFile(path, ReaderWebp);
    ASSERT_TRUE(read.ok()) << read.error.toStdString();
    EXPECT_TRUE(read.picture.samePixels(picture));
    EXPECT_EQ(read.picture.bitCount(), 24);

    QByteArray info;
    ASSERT_EQ(pillowFrames(path, &info), QString());
    EXPECT_EQ(info.trimmed().split(' ').first(), "WEBP");
    EXPECT_EQ(largestDifference(pillowFrame(path, 0, {97, 41}), picture.toRgb32().convertToFormat(QImage::Format_ARGB32)), 0);
    const QString why = runTool(QStringLiteral("dwebp"), {path, QStringLiteral("-ppm"), QStringLiteral("-o"), path + ".ppm"});
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    EXPECT_TRUE(Raster::fromImage(referencePicture(path + ".ppm"), 24).samePixels(picture));
}

TEST(WebpCodec, LossyAndTransparentPicturesKeepWhatTheyPromise)
{
    QTemporaryDir dir;
    const QImage opaque = testPicture(200, 120);
    // Lossy: close to the picture, and smaller at a lower quality.
    const QByteArray high = WriteWebp(opaque, {false, 90}), low = WriteWebp(opaque, {false, 20});
    EXPECT_LT(low.size(), high.size());
    EXPECT_TRUE(high.mid(12, 4) == "VP8 " || high.mid(30, 4) == "VP8 ") << high.left(40).toHex().constData();
    Raster read;
    ReadWebp(high, read);
    qint64 sum = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 200; ++x)
            sum += std::abs(qGreen(read.pixelRgb(x, y)) - qGreen(opaque.pixel(x, y)));
    EXPECT_LT(double(sum) / (200 * 120), 6.0);

    // Transparency: Pillow reads the alpha as written; the program composes the file over
    // the picture it had, as it does a PNG, white where the old picture did not reach.
    const QImage clear = testPicture(60, 40, QImage::Format_ARGB32);
    const QString path = dir.filePath(QStringLiteral("clear.webp"));
    SaveWebpFile(path, clear);
    QByteArray info;
    ASSERT_EQ(pillowFrames(path, &info), QString());
    const QImage back = pillowFrame(path, 0, {60, 40});
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            if (qAlpha(clear.pixel(x, y)) > 0) {
                ASSERT_EQ(back.pixel(x, y), clear.pixel(x, y)) << x << "," << y;
            }
    const Raster base(30, 50, 24, Colors::clBlue);
    const PictureRead over = readPictureFile(path, ReaderWebp, base);
    ASSERT_TRUE(over.ok()) << over.error.toStdString();
    ASSERT_EQ(QSize(over.picture.width(), over.picture.height()), QSize(60, 40));
    int worst = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) {
            const QRgb want = overOpaque(clear.pixel(x, y), x < 30 ? qRgb(0, 0, 255) : qRgb(255, 255, 255));
            const QRgb got = over.picture.pixelRgb(x, y);
            worst = std::max({worst, std::abs(qRed(got) - qRed(want)), std::abs(qGreen(got) - qGreen(want)),
                              std::abs(qBlue(got) - qBlue(want))});
        }
    EXPECT_LE(worst, 1);
}

TEST(WebpCodec, TooLargeAPictureIsRefusedNamingTheFileAndNothingIsWritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("wide.webp"));
    QImage wide(WebpMaxSide + 1, 2, QImage::Format_RGB32);
    wide.fill(Qt::white);
    try {
        SaveWebpFile(path, wide);
        FAIL() << "a picture wider than WebP allows was written";
    } catch (const LetrafexError &e) {
        EXPECT_TRUE(e.text().contains(nativeFilePath(path))) << e.text().toStdString();
        EXPECT_TRUE(e.text().contains(QStringLiteral("16384 x 2 pixels is too large for a WebP file"))) << e.text().toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_THROW(newWebpAnimation(20, WebpMaxSide + 1), LetrafexError);
}

// One frame is no animation: each writer gives the bytes its format's still writer gives.
TEST(Animations, OneFrameIsWrittenAsThePlainStill)
{
    QTemporaryDir dir;
    const QImage rgb = testPicture(30, 20), argb = testPicture(30, 20, QImage::Format_ARGB32);
    const QString one = dir.filePath(QStringLiteral("one")), still = dir.filePath(QStringLiteral("still"));
    for (int i = 0; i < 3; ++i) {
        const std::unique_ptr<AnimationWriter> writer = i < 2 ? newApngAnimation(30, 20, i == 1) : newWebpAnimation(30, 20);
        writer->addFrame(i == 0 ? rgb : argb, 100);
        writer->save(one);
        EXPECT_TRUE(i == 0 ? SavePngFile(still, Raster::fromImage(rgb, 24)) : i == 1 ? SavePngRgba(still, argb) : (SaveWebpFile(still, argb), true));
        EXPECT_EQ(readWholeFile(one), readWholeFile(still)) << "writer " << i;
    }
}

TEST(Animations, PillowReadsEveryFrameWithItsTimeAndTheLoopAndTheProgramOpensThem)
{
    QTemporaryDir dir;
    const QSize size(48, 32);
    QImage frames[3];
    const QRgb colours[3] = {qRgba(255, 0, 0, 255), qRgba(0, 160, 0, 128), qRgba(0, 0, 255, 0)};
    for (int i = 0; i < 3; ++i) {
        frames[i] = testPicture(size.width(), size.height(), QImage::Format_ARGB32);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10 + 10 * i; ++x)
                frames[i].setPixel(x, y, colours[i]);
    }
    const int delays[3] = {50, 120, 2000};
    for (const char *name : {"a.png", "a.webp", "opaque.png"}) {
        const QString path = dir.filePath(QLatin1String(name));
        const bool opaque = QByteArray(name).startsWith("opaque");
        std::unique_ptr<AnimationWriter> writer = QByteArray(name).endsWith(".png")
                                                      ? newApngAnimation(size.width(), size.height(), !opaque)
                                                      : newWebpAnimation(size.width(), size.height());
        for (int i = 0; i < 3; ++i)
            writer->addFrame(opaque ? frames[i].convertToFormat(QImage::Format_RGB32) : frames[i], delays[i]);
        writer->save(path);

        QByteArray info;
        ASSERT_EQ(pillowFrames(path, &info), QString()) << name;
        const QList<QByteArray> lines = info.trimmed().split('\n');
        ASSERT_EQ(lines.size(), 3) << name << info.constData();
        for (int i = 0; i < 3; ++i) {
            const QList<QByteArray> f = lines[i].split(' ');
            EXPECT_EQ(f[1] + "x" + f[2], "48x32") << name;
            EXPECT_EQ(int(f[3].toDouble()), delays[i]) << name << " frame " << i;
            EXPECT_EQ(f[4], "0") << name << ": loops forever";
            const QImage expected = opaque ? frames[i].convertToFormat(QImage::Format_RGB32).convertToFormat(QImage::Format_ARGB32)
                                           : frames[i];
            // Pillow leaves the colour of fully transparent pixels to the coder.
            const QImage got = pillowFrame(path, i, size);
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x)
                    if (qAlpha(expected.pixel(x, y)) > 0) {
                        ASSERT_EQ(got.pixel(x, y), expected.pixel(x, y)) << name << " frame " << i << " " << x << "," << y;
                    }
        }
    }
    // Readers without animation (ours, ImageMagick) see an APNG's finished picture; a transparent
    // WebP declares a transparent background (ANIM's fourth byte), and opens as its last frame.
    const QString opaquePng = dir.filePath(QStringLiteral("opaque.png"));
    const QImage finished = frames[2].convertToFormat(QImage::Format_RGB32);
    Raster first;
    ASSERT_TRUE(LoadPngFile(opaquePng, first)) << PngLastError().toStdString();
    EXPECT_TRUE(first.samePixels(Raster::fromImage(finished, 24)));
    ASSERT_EQ(decodeWithImageMagick(opaquePng), QString());
    EXPECT_EQ(referencePicture(opaquePng + QStringLiteral(".im.ppm")), finished);
    const QByteArray webp = readWholeFile(dir.filePath(QStringLiteral("a.webp")));
    ASSERT_GT(webp.indexOf("ANIM"), 0);
    EXPECT_EQ(webp[webp.indexOf("ANIM") + 11], '\0');
    const PictureRead read = readPictureFile(dir.filePath(QStringLiteral("a.webp")), ReaderWebp);
    ASSERT_TRUE(read.ok()) << read.error.toStdString();
    for (QPoint p : {QPoint(25, 5), QPoint(40, 20), QPoint(3, 30)}) {
        const QRgb got = read.picture.pixelRgb(p.x(), p.y()), want = overOpaque(frames[2].pixel(p), qRgb(255, 255, 255));
        EXPECT_LE(std::abs(qRed(got) - qRed(want)) + std::abs(qGreen(got) - qGreen(want)) + std::abs(qBlue(got) - qBlue(want)), 3)
            << p.x() << "," << p.y();
    }
}
