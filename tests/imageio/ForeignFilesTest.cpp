// Files other programs write, read the way the window, the texture and surface pictures and
// the command line read them (readPictureFile), against a reference decoding: raw PCX,
// TGA colour maps of 15- and 32-bit entries, TGA and BMP with alpha (shown over white),
// and placeable WMF files with either convention for their length field. The files and
// how they were made are in tests/fixtures/foreign.
#include "imageio/MetafileCodec.h"
#include "imageio/PictureFiles.h"

#include "ReferenceTools.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

QString fixture(const QString &name) { return QStringLiteral(LETRAFEX_FIXTURES "/foreign/") + name; }

struct ForeignFile
{
    const char *file;
    // The file whose decoding is the reference: ImageMagick's over white, or for a metafile
    // this program's own reading of it. Empty: the file itself.
    const char *reference = "";
    // Per channel: ImageMagick rounds where the composition over white truncates.
    int tolerance = 0;
    // Channel bits compared: 5-bit components are multiplied by 8 here, scaled to 255 there.
    int bits = 8;
    // The first row's pixels as 0xRRGGBB, for files built by hand; empty: not stated.
    std::vector<QRgb> firstRow = {};
};

void PrintTo(const ForeignFile &f, std::ostream *os) { *os << f.file; }

QImage referenceDecoding(const QString &file, const QDir &dir)
{
    if (file.endsWith(QStringLiteral(".wmf"))) {
        QImage own = readPictureFile(file, ReaderWmf).picture.toRgb32();
        EXPECT_FALSE(own.isNull()) << "the metafile tests' own file reads";
        return own;
    }
    const QString ppm = dir.filePath(QStringLiteral("reference.ppm"));
    const QString why = runTool(QStringLiteral("convert"), {file, QStringLiteral("-auto-orient"), QStringLiteral("-background"),
                                                            QStringLiteral("white"), QStringLiteral("-alpha"), QStringLiteral("remove"),
                                                            QStringLiteral("-alpha"), QStringLiteral("off"), QStringLiteral("-depth"),
                                                            QStringLiteral("8"), ppm});
    EXPECT_EQ(why, QString()) << "ImageMagick is the reference decoder";
    return referencePicture(ppm);
}

::testing::AssertionResult samePixels(const QImage &got, const QImage &ref, const ForeignFile &f)
{
    if (got.size() != ref.size())
        return ::testing::AssertionFailure() << "size " << got.width() << "x" << got.height() << ", reference "
                                             << ref.width() << "x" << ref.height();
    const int drop = 8 - f.bits;
    const auto near = [&](int a, int b) { return std::abs((a >> drop) - (b >> drop)) <= f.tolerance; };
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x) {
            const QRgb a = got.pixel(x, y), b = ref.pixel(x, y);
            if (!near(qRed(a), qRed(b)) || !near(qGreen(a), qGreen(b)) || !near(qBlue(a), qBlue(b)))
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex << (a & 0xFFFFFF)
                                                     << ", reference " << (b & 0xFFFFFF);
        }
    return ::testing::AssertionSuccess();
}

class ForeignFiles : public ::testing::TestWithParam<ForeignFile>
{
};

} // namespace

TEST_P(ForeignFiles, ReadAsTheReferenceDecodesThem)
{
    const ForeignFile f = GetParam();
    const QString path = fixture(QString::fromUtf8(f.file));
    const PictureRead read = readPictureFile(path, pictureReaderFor(path));
    ASSERT_TRUE(read.ok()) << read.error.toStdString();
    const QImage got = read.picture.toRgb32();

    QTemporaryDir dir;
    const QString reference = *f.reference ? fixture(QString::fromUtf8(f.reference)) : path;
    EXPECT_TRUE(samePixels(got, referenceDecoding(reference, QDir(dir.path())), f));
    for (size_t x = 0; x < f.firstRow.size(); ++x)
        EXPECT_EQ(got.pixel(int(x), 0) & 0xFFFFFFu, f.firstRow[x]) << "pixel " << x;
}

INSTANTIATE_TEST_SUITE_P(
    Files, ForeignFiles,
    ::testing::Values(
        // ImageMagick's "-compress None": encoding byte 0, raw rows of an odd 13 bytes.
        ForeignFile{"im_raw24.pcx"}, ForeignFile{"im_raw8.pcx"},
        // Red, green, blue, white and one in each component, from 15-bit entries.
        ForeignFile{"map15.tga", "", 0, 5, {0xF80000, 0x00F800, 0x0000F8, 0xF8F8F8, 0x080808}},
        // 32-bit entries with alpha 255, 0, 128, 255 and 64.
        ForeignFile{"map32.tga", "", 1, 8, {0xFF0000, 0xFFFFFF, 0x7FFF7F, 0x1E140A, 0xCBD8F1}},
        ForeignFile{"im_rgba.tga", "", 1}, ForeignFile{"im_rgba_rle.tga", "", 1}, ForeignFile{"pil_rgba.tga", "", 1},
        ForeignFile{"im_v5_argb32.bmp", "", 1}, ForeignFile{"v4_argb32.bmp", "", 1},
        // ImageMagick does not read this header; its pixels are those of the V5 file.
        ForeignFile{"alphabitfields_argb32.bmp", "im_v5_argb32.bmp", 1},
        // The length counting the placeable header reads as the file that does not count it.
        ForeignFile{"placeable_length_with_header.wmf", "../emf/quarter_placeable.wmf"}),
    [](const ::testing::TestParamInfo<ForeignFile> &info) {
        return QString::fromUtf8(info.param.file).section(QLatin1Char('/'), -1).section(QLatin1Char('.'), 0, 0).toStdString() +
               QStringLiteral("_%1").arg(info.index).toStdString();
    });
