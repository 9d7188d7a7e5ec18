// JPEG reading and writing through libjpeg: quality of the round trip, the encoder's
// settings as the file shows them, other encoders' files, and damaged data.
#include "imageio/JpegCodec.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "ReferenceTools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>

namespace {


Raster smoothPicture(int w = 96, int h = 64)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x * 255 / (w - 1), y * 255 / (h - 1), (x + y) * 255 / (w + h - 2)));
    return Raster::fromImage(img, 24);
}

// Largest and mean channel difference between two pictures of the same size.
std::pair<int, double> difference(const Raster &a, const QImage &b)
{
    int worst = 0;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixelRgb(x, y), q = b.pixel(x, y);
            for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
                worst = std::max(worst, std::abs(d));
                sum += std::abs(d);
            }
        }
    return {worst, sum / (3.0 * a.width() * a.height())};
}

struct Segments
{
    std::map<int, int> sofComponents; // start-of-frame marker -> component count
    std::map<int, QByteArray> quantTables; // table number -> 64 values in zigzag order
};

// Walks the marker segments up to the start of scan.
Segments segments(const QByteArray &jpeg)
{
    Segments s;
    const auto *p = reinterpret_cast<const uchar *>(jpeg.constData());
    qsizetype i = 2;
    while (i + 4 <= jpeg.size() && p[i] == 0xFF) {
        const int marker = p[i + 1];
        const int len = (p[i + 2] << 8) | p[i + 3];
        const qsizetype body = i + 4;
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            s.sofComponents[marker] = p[body + 5];
        if (marker == 0xDB)
            for (qsizetype t = body; t + 65 <= i + 2 + len; t += 65)
                s.quantTables[p[t] & 15] = jpeg.mid(t + 1, 64);
        if (marker == 0xDA)
            break;
        i += 2 + len;
    }
    return s;
}

// The example tables of the JPEG standard (Annex K), scaled as libjpeg scales them for
// a quality of 90 (factor 20 %), in zigzag order.
QByteArray standardTable(bool chroma, int quality)
{
    static const int luma[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                 14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                 18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                 49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
    static const int chromaBase[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                       24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                       99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                       99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};
    static const int zigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                   12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                   35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                   58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
    const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    QByteArray out;
    for (int k = 0; k < 64; ++k) {
        const int base = chroma ? chromaBase[zigzag[k]] : luma[zigzag[k]];
        out += char(std::clamp((base * scale + 50) / 100, 1, 255));
    }
    return out;
}

QByteArray patched(QByteArray jpeg, int sofOffsetFromMarker, quint16 value)
{
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    jpeg[sof + sofOffsetFromMarker] = char(value >> 8);
    jpeg[sof + sofOffsetFromMarker + 1] = char(value & 0xFF);
    return jpeg;
}

} // namespace

TEST(JpegWrite, SmoothPictureSurvivesSaveAndLoad)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("smooth.jpg"));
    const Raster source = smoothPicture();
    SaveJpegFile(name, source);
    const Raster back = LoadJpegFile(name);
    ASSERT_EQ(back.width(), source.width());
    ASSERT_EQ(back.height(), source.height());
    EXPECT_EQ(back.bitCount(), 24);
    const auto [worst, mean] = difference(back, source.image());
    EXPECT_LE(worst, 6);
    EXPECT_LE(mean, 1.0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("smooth.jpg")});
}

TEST(JpegWrite, FileIsBaselineColourAtQuality90)
{
    const QByteArray jpeg = WriteJpeg(smoothPicture());
    ASSERT_TRUE(jpeg.startsWith("\xFF\xD8"));
    const Segments s = segments(jpeg);
    ASSERT_EQ(s.sofComponents.size(), 1u);
    EXPECT_EQ(s.sofComponents.begin()->first, 0xC0); // baseline, not progressive (0xC2)
    EXPECT_EQ(s.sofComponents.begin()->second, 3);   // Y, Cb, Cr
    ASSERT_EQ(s.quantTables.size(), 2u);
    EXPECT_EQ(s.quantTables.at(0), standardTable(false, 90));
    EXPECT_EQ(s.quantTables.at(1), standardTable(true, 90));

    // ImageMagick estimates the quality from the tables too.
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("q.jpg"));
    SaveJpegFile(name, smoothPicture());
    QByteArray quality;
    const QString why = runTool(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%Q"), name}, &quality);
    ASSERT_TRUE(why.isEmpty()) << "ImageMagick's identify checks the quality: " << why.toStdString();
    EXPECT_EQ(quality.trimmed(), QByteArray("90"));
}

TEST(JpegWrite, IndexedPicturesAreWrittenAsColour)
{
    QImage img(8, 8, QImage::Format_Indexed8);
    img.setColorTable({qRgb(200, 30, 30), qRgb(30, 30, 200)});
    img.fill(0);
    const Raster back = ReadJpeg(WriteJpeg(Raster::fromImage(img, 1)));
    EXPECT_EQ(back.bitCount(), 24);
    EXPECT_LE(difference(back, img.convertToFormat(QImage::Format_RGB32)).first, 4);
}

TEST(JpegWrite, FailuresThrow)
{
    EXPECT_THROW(WriteJpeg(Raster()), LetrafexError);
    QTemporaryDir dir;
    try {
        SaveJpegFile(dir.filePath(QStringLiteral("no/folder/x.jpg")), smoothPicture());
        ADD_FAILURE() << "no error";
    } catch (const LetrafexError &e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("x.jpg"))) << e.what();
    }
}

TEST(JpegRead, OtherEncodersFilesDecodeLikePillow)
{
    QTemporaryDir dir;
    const QString ours = dir.filePath(QStringLiteral("ours.jpg"));
    SaveJpegFile(ours, smoothPicture(61, 37));
    // Pillow writes greyscale, CMYK (inverted, with the Adobe marker) and progressive
    // files, and decodes each of them and ours to a reference.
    static const char *script = "import sys\n"
                                "from PIL import Image\n"
                                "d = sys.argv[1]\n"
                                "im = Image.new('RGB', (45, 29))\n"
                                "im.putdata([(x * 5, y * 8, (x * y) % 256) for y in range(29) for x in range(45)])\n"
                                "im.convert('L').save(d + '/grey.jpg', quality=95)\n"
                                "im.convert('CMYK').save(d + '/cmyk.jpg', quality=95)\n"
                                "im.save(d + '/progressive.jpg', quality=80, progressive=True)\n"
                                "im.save(d + '/subsampled.jpg', quality=75, subsampling=1)\n"
                                "for n in ('ours', 'grey', 'cmyk', 'progressive', 'subsampled'):\n"
                                "    Image.open(d + '/' + n + '.jpg').convert('RGB').save(d + '/' + n + '.ppm')\n";
    const QString why = runTool(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(script), dir.path()});
    ASSERT_TRUE(why.isEmpty()) << "Pillow (python3-pil) is the reference: " << why.toStdString();
    for (const char *name : {"ours", "grey", "cmyk", "progressive", "subsampled"}) {
        SCOPED_TRACE(name);
        const Raster r = LoadJpegFile(dir.filePath(QString::fromLatin1(name) + QStringLiteral(".jpg")));
        const QImage ref(dir.filePath(QString::fromLatin1(name) + QStringLiteral(".ppm")), "PPM");
        ASSERT_FALSE(ref.isNull());
        ASSERT_EQ(r.width(), ref.width());
        ASSERT_EQ(r.height(), ref.height());
        EXPECT_EQ(r.bitCount(), 24);
        // Same library underneath; only the CMYK conversion may round differently.
        EXPECT_LE(difference(r, ref).first, std::string(name) == "cmyk" ? 1 : 0);
    }
}

TEST(JpegRead, DamagedDataThrows)
{
    const QByteArray good = WriteJpeg(smoothPicture());
    ASSERT_NO_THROW(ReadJpeg(good));
    const qsizetype sos = good.indexOf(QByteArray("\xFF\xDA", 2));
    ASSERT_GT(sos, 0);
    const std::map<std::string, QByteArray> cases = {
        {"empty", QByteArray()},
        {"not a JPEG", QByteArray("GIF89a this is not a JPEG file at all")},
        {"only the start marker", good.left(2)},
        {"headers without scan", good.left(sos)},
        {"half the scan", good.left(sos + (good.size() - sos) / 2)},
        {"no end marker", good.left(good.size() - 2)},
        {"zero width", patched(good, 7, 0)},
        {"zero height", patched(good, 5, 0)},
    };
    for (const auto &[what, data] : cases) {
        SCOPED_TRACE(what);
        try {
            ReadJpeg(data);
            ADD_FAILURE() << "no error";
        } catch (const LetrafexError &e) {
            EXPECT_TRUE(e.text().startsWith(QStringLiteral("JPEG image is not valid"))) << e.what();
        }
    }
}

TEST(JpegRead, AbsurdSizeIsRefusedBeforeDecoding)
{
    const QByteArray good = WriteJpeg(smoothPicture());
    for (quint16 side : {quint16(40000), quint16(30000)}) {
        SCOPED_TRACE(side);
        try {
            ReadJpeg(patched(patched(good, 5, side), 7, side));
            ADD_FAILURE() << "no error";
        } catch (const LetrafexError &e) {
            EXPECT_TRUE(e.text().contains(QStringLiteral("beyond the limits"))) << e.what();
        }
    }
}

TEST(JpegRead, MissingFileThrowsWithItsName)
{
    try {
        LoadJpegFile(QStringLiteral("/nonexistent/photo.jpg"));
        ADD_FAILURE() << "no error";
    } catch (const LetrafexError &e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("photo.jpg"))) << e.what();
    }
}
