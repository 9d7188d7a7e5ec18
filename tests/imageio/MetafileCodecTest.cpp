#include "imageio/MetafileCodec.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

#include "ReferenceTools.h"

#include <gtest/gtest.h>

extern "C" {
#include <uemf.h>
#include <uemf_safe.h>
}

namespace {

QString fixture(const QString &name) { return QStringLiteral(LETRAFEX_FIXTURES "/emf/") + name; }
QString badFixture(const QString &name) { return QStringLiteral(LETRAFEX_FIXTURES "/bad/") + name; }

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

constexpr TColor Background = makeColor(0, 160, 0);
constexpr QRgb Red = qRgb(255, 0, 0), Blue = qRgb(0, 0, 255), Green = qRgb(0, 160, 0);

::testing::AssertionResult near(const Raster &r, int x, int y, QRgb want, int tolerance = 8)
{
    const QRgb got = r.pixelRgb(x, y);
    if (std::abs(qRed(got) - qRed(want)) <= tolerance && std::abs(qGreen(got) - qGreen(want)) <= tolerance &&
        std::abs(qBlue(got) - qBlue(want)) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << qRed(got) << "," << qGreen(got)
                                         << "," << qBlue(got) << ", expected " << qRed(want) << "," << qGreen(want)
                                         << "," << qBlue(want);
}

// Counts pixels outside (0, 0, w, h) that differ from the background.
int changedOutside(const Raster &r, int w, int h)
{
    int changed = 0;
    for (int y = 0; y < r.height(); ++y)
        for (int x = 0; x < r.width(); ++x)
            if ((x >= w || y >= h) && r.pixelRgb(x, y) != Green)
                ++changed;
    return changed;
}

// Blue over the metafile's whole area, red over its top-left quarter, nothing beyond it.
void expectQuarterPicture(const Raster &r, int w, int h)
{
    EXPECT_TRUE(near(r, 2, 2, Red));
    EXPECT_TRUE(near(r, w / 2 - 3, h / 2 - 3, Red));
    EXPECT_TRUE(near(r, w / 2 + 3, 2, Blue));
    EXPECT_TRUE(near(r, 2, h / 2 + 3, Blue));
    EXPECT_TRUE(near(r, w - 3, h - 3, Blue));
    EXPECT_TRUE(near(r, w + 3, 2, Green, 0));
    EXPECT_TRUE(near(r, 2, h + 3, Green, 0));
    // One pixel of edge for anti-aliasing, none further.
    EXPECT_EQ(changedOutside(r, w + 1, h + 1), 0);
}

Raster testPattern(int w, int h)
{
    Raster r(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            r.setPixel(x, y, makeColor((x * 37 + y * 11) & 0xFF, (x * 5 + y * 71) & 0xFF, (x ^ y) * 13 & 0xFF));
    return r;
}

int maxDifference(const Raster &a, const Raster &b)
{
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixelRgb(x, y), q = b.pixelRgb(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
        }
    return worst;
}

} // namespace

// --- reading onto an existing picture --------------------------------------------------

TEST(MetafileRead, EnhancedMetafilePaintsOverTheTopLeftOfALargerPicture)
{
    Raster picture(300, 200, 24, Background);
    LoadMetafile(fixture("quarter.emf"), picture);
    EXPECT_EQ(picture.width(), 300);
    EXPECT_EQ(picture.height(), 200);
    expectQuarterPicture(picture, 100, 50);
}

TEST(MetafileRead, RecordsNothingDrawsAreSkipped)
{
    Raster picture(300, 200, 24, Background);
    LoadMetafile(fixture("escapes.emf"), picture);
    expectQuarterPicture(picture, 100, 50);
}

TEST(MetafileRead, EnhancedMetafileSizeComesFromItsFrameWhateverTheReferenceDevice)
{
    // Recorded on a 300 dpi device: 312 x 156 device pixels, frame of 100 x 50 pixels.
    EXPECT_EQ(MetafileSize(readAll(fixture("quarter_300dpi.emf"))), QSize(100, 50));
    Raster picture(300, 200, 24, Background);
    LoadMetafile(fixture("quarter_300dpi.emf"), picture);
    expectQuarterPicture(picture, 100, 50);
}

TEST(MetafileRead, PlaceableMetafileIsSizedByItsBoundingBoxAndUnitsPerInch)
{
    EXPECT_EQ(MetafileSize(readAll(fixture("quarter_placeable.wmf"))), QSize(200, 100));
    EXPECT_EQ(MetafileSize(readAll(fixture("quarter_twips.wmf"))), QSize(200, 100));
    for (const char *name : {"quarter_placeable.wmf", "quarter_twips.wmf", "quarter_placeable_window_exceeds.wmf"}) {
        SCOPED_TRACE(name);
        Raster picture(300, 200, 24, Background);
        LoadMetafile(fixture(name), picture);
        EXPECT_EQ(picture.width(), 300);
        EXPECT_EQ(picture.height(), 200);
        expectQuarterPicture(picture, 200, 100);
    }
}

TEST(MetafileRead, MetafileWithoutPlaceableHeaderIsSizedByItsViewport)
{
    EXPECT_EQ(MetafileSize(readAll(fixture("quarter_standard.wmf"))), QSize(200, 100));
    Raster picture(300, 200, 24, Background);
    LoadMetafile(fixture("quarter_standard.wmf"), picture);
    expectQuarterPicture(picture, 200, 100);
}

TEST(MetafileRead, AnisotropicWindowFillsThePlaceableBoundingBox)
{
    EXPECT_EQ(MetafileSize(readAll(fixture("quarter_placeable_anisotropic.wmf"))), QSize(200, 100));
    Raster picture(300, 200, 24, Background);
    LoadMetafile(fixture("quarter_placeable_anisotropic.wmf"), picture);
    expectQuarterPicture(picture, 200, 100);
}

TEST(MetafileRead, LargeWindowWithoutPlaceableHeaderIsTakenAsTwips)
{
    EXPECT_EQ(MetafileSize(readAll(fixture("quarter_large_window.wmf"))), QSize(1400, 933));
    Raster picture(1500, 1000, 24, Background);
    LoadMetafile(fixture("quarter_large_window.wmf"), picture);
    expectQuarterPicture(picture, 1400, 933);
}

TEST(MetafileRead, OldStyleMetafileBitmapIsDrawnStretched)
{
    Raster picture(300, 200, 24, Background);
    LoadMetafile(fixture("bitmap.wmf"), picture);
    EXPECT_TRUE(near(picture, 20, 10, Red, 40));
    EXPECT_TRUE(near(picture, 180, 10, qRgb(0, 255, 0), 40));
    EXPECT_TRUE(near(picture, 20, 90, Blue, 40));
    EXPECT_TRUE(near(picture, 180, 90, qRgb(255, 255, 255), 40));
    EXPECT_EQ(changedOutside(picture, 201, 101), 0);
}

TEST(MetafileRead, OldStyleArcsRunCounterClockwiseFromStartToEnd)
{
    Raster picture(100, 100, 24, Background);
    LoadMetafile(fixture("pie.wmf"), picture);
    EXPECT_TRUE(near(picture, 75, 25, Red));
    EXPECT_TRUE(near(picture, 25, 25, Green, 0));
    EXPECT_TRUE(near(picture, 25, 75, Green, 0));
    EXPECT_TRUE(near(picture, 75, 75, Green, 0));
}

TEST(MetafileRead, OldStyleTextIsDrawnWithItsFontAndColour)
{
    Raster picture(300, 100, 24, Background);
    LoadMetafile(fixture("text.wmf"), picture);
    int dark = 0, darkLeft = picture.width(), darkRight = 0, darkTop = picture.height(), darkBottom = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb p = picture.pixelRgb(x, y);
            if (qRed(p) + qGreen(p) + qBlue(p) < 100) {
                ++dark;
                darkLeft = std::min(darkLeft, x);
                darkRight = std::max(darkRight, x);
                darkTop = std::min(darkTop, y);
                darkBottom = std::max(darkBottom, y);
            }
        }
    // "Hi" at 40 pixels: letters about 29 pixels high, starting near (10, 5).
    EXPECT_GT(dark, 200);
    EXPECT_GE(darkLeft, 8);
    EXPECT_LE(darkLeft, 16);
    EXPECT_LT(darkRight, 60);
    EXPECT_GE(darkTop, 5);
    EXPECT_LE(darkTop, 20);
    EXPECT_GE(darkBottom - darkTop, 22);
    EXPECT_LE(darkBottom, 45);
    // Transparent background: everything else keeps its colour.
    EXPECT_EQ(changedOutside(picture, 70, 50), 0);
}

int countNear(const Raster &r, const QRect &area, QRgb want, int tolerance)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += near(r, x, y, want, tolerance) ? 1 : 0;
    return n;
}

TEST(MetafileRead, EnhancedRecordsOfManyKindsDraw)
{
    const QRgb yellow = qRgb(255, 255, 0);
    Raster picture(300, 200, 24, Background);
    LoadMetafile(fixture("records.emf"), picture);
    EXPECT_TRUE(near(picture, 150, 30, yellow));   // ellipse
    EXPECT_TRUE(near(picture, 50, 80, yellow));    // polygon
    EXPECT_TRUE(near(picture, 160, 70, Red, 40));  // bitmap, top-left quarter
    EXPECT_GT(countNear(picture, QRect(100, 10, 40, 30), Red, 60), 20); // text
    EXPECT_EQ(changedOutside(picture, 201, 101), 0);
}

TEST(MetafileRead, OldStyleRecordsOfManyKindsDraw)
{
    const QRgb yellow = qRgb(255, 255, 0);
    Raster picture(300, 200, 24, Background);
    LoadMetafile(fixture("records.wmf"), picture);
    EXPECT_TRUE(near(picture, 50, 25, yellow));    // rounded rectangle
    EXPECT_TRUE(near(picture, 195, 5, yellow));    // pattern block
    EXPECT_TRUE(near(picture, 155, 85, Red));      // stretched bitmap, top-left quarter
    EXPECT_GT(countNear(picture, QRect(100, 50, 60, 40), Blue, 60), 20); // text
    EXPECT_EQ(changedOutside(picture, 202, 102), 0); // a 2-unit pen on the bottom edge
}

TEST(MetafileRead, GlyphIndexTextKeepsTheFontDatabaseAlive)
{
    // The converter's glyph look-up used to shut fontconfig down under Qt's feet; after
    // text in a fallback font the next look-up aborted the program.
    for (int round = 0; round < 3; ++round) {
        Raster fallback(100, 50, 24, Background);
        LoadMetafile(fixture("unknown_font_text.emf"), fallback);
        EXPECT_GT(countNear(fallback, QRect(0, 0, 100, 50), qRgb(0, 0, 0), 60), 20);
        Raster glyphs(100, 50, 24, Background);
        LoadMetafile(fixture("glyph_text.emf"), glyphs);
        EXPECT_GT(countNear(glyphs, QRect(0, 0, 60, 50), Red, 60), 20) << "round " << round;
    }
}

TEST(MetafileRead, PictureSmallerThanTheMetafileClipsIt)
{
    Raster picture(30, 20, 24, Background);
    LoadMetafile(fixture("quarter.emf"), picture);
    EXPECT_EQ(picture.width(), 30);
    EXPECT_EQ(picture.height(), 20);
    EXPECT_TRUE(near(picture, 29, 19, Red));
}

TEST(MetafileRead, FormatIsToldByContentNotByName)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString emfNamedWmf = dir.filePath("picture.wmf"), wmfNamedEmf = dir.filePath("picture.emf");
    ASSERT_TRUE(QFile::copy(fixture("quarter.emf"), emfNamedWmf));
    ASSERT_TRUE(QFile::copy(fixture("quarter_placeable.wmf"), wmfNamedEmf));
    Raster a(300, 200, 24, Background), b(300, 200, 24, Background);
    LoadMetafile(emfNamedWmf, a);
    LoadMetafile(wmfNamedEmf, b);
    expectQuarterPicture(a, 100, 50);
    expectQuarterPicture(b, 200, 100);
}

TEST(MetafileRead, IndexedPictureBecomesPaintable)
{
    Raster picture(150, 80, 8);
    LoadMetafile(fixture("quarter.emf"), picture);
    EXPECT_EQ(picture.width(), 150);
    EXPECT_EQ(picture.height(), 80);
    EXPECT_TRUE(near(picture, 2, 2, Red));
    EXPECT_TRUE(near(picture, 140, 70, qRgb(255, 255, 255)));
}

TEST(MetafileRead, EmptyPictureStaysEmpty)
{
    Raster picture;
    EXPECT_NO_THROW(LoadMetafile(fixture("quarter.emf"), picture));
    EXPECT_NO_THROW(LoadMetafile(fixture("quarter_placeable.wmf"), picture));
    EXPECT_TRUE(picture.isEmpty());
}

// --- writing ------------------------------------------------------------------------------

TEST(MetafileWrite, SavedPictureLoadsBackPixelForPixel)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("round.emf");
    const Raster original = testPattern(37, 23);
    SaveMetafile(path, original);
    EXPECT_EQ(MetafileSize(readAll(path)), QSize(37, 23));
    Raster back(37, 23, 24, Colors::clBlack);
    LoadMetafile(path, back);
    EXPECT_LE(maxDifference(original, back), 1);
}

TEST(MetafileWrite, SavedPictureDrawsOnlyItsOwnArea)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("small.emf");
    const Raster original = testPattern(64, 40);
    SaveMetafile(path, original);
    Raster back(300, 200, 24, Background);
    LoadMetafile(path, back);
    EXPECT_EQ(back.width(), 300);
    Raster corner = back;
    corner.setSize(64, 40);
    EXPECT_LE(maxDifference(original, corner), 1);
    EXPECT_EQ(changedOutside(back, 64, 40), 0);
}

TEST(MetafileWrite, FileHoldsHeaderOneStretchedBitmapAndEnd)
{
    const Raster original = testPattern(5, 3);
    const QByteArray emf = EncodeMetafile(original);
    const char *p = emf.constData();
    const auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(p + at); };
    const auto i32 = [&](qsizetype at) { return qFromLittleEndian<qint32>(p + at); };
    ASSERT_GE(emf.size(), 108);
    EXPECT_EQ(u32(0), 1u);
    EXPECT_EQ(u32(40), 0x464D4520u);
    EXPECT_EQ(u32(48), quint32(emf.size()));
    EXPECT_EQ(u32(52), 3u);
    // Frame in 0.01 mm at 96 pixels per inch.
    EXPECT_EQ(i32(32), qRound(5 * 2540 / 96.0));
    EXPECT_EQ(i32(36), qRound(3 * 2540 / 96.0));
    qsizetype at = u32(4);
    ASSERT_EQ(u32(at), quint32(U_EMR_STRETCHDIBITS));
    EXPECT_TRUE(U_emf_record_safe(p + at));
    const qsizetype bmi = at + u32(at + offsetof(U_EMRSTRETCHDIBITS, offBmiSrc));
    EXPECT_EQ(i32(bmi + 4), 5);
    EXPECT_EQ(i32(bmi + 8), 3);
    EXPECT_EQ(qFromLittleEndian<quint16>(p + bmi + 14), 24);
    // The first stored row is the bottom one: pixel (0, 2) as blue, green, red.
    const qsizetype bits = at + u32(at + offsetof(U_EMRSTRETCHDIBITS, offBitsSrc));
    const QRgb bottomLeft = original.pixelRgb(0, 2);
    EXPECT_EQ(uchar(p[bits]), qBlue(bottomLeft));
    EXPECT_EQ(uchar(p[bits + 1]), qGreen(bottomLeft));
    EXPECT_EQ(uchar(p[bits + 2]), qRed(bottomLeft));
    at += u32(at + 4);
    ASSERT_EQ(u32(at), quint32(U_EMR_EOF));
    EXPECT_TRUE(U_emf_record_safe(p + at));
    EXPECT_EQ(at + u32(at + 4), emf.size());
}

TEST(MetafileWrite, IndexedPictureIsWrittenAsTrueColour)
{
    Raster picture(20, 10, 4);
    picture.setPixel(3, 4, Colors::clBlack);
    Raster back(20, 10, 24, Colors::clBlue);
    ReadMetafile(EncodeMetafile(picture), back);
    EXPECT_LE(maxDifference(picture, back), 1);
}

TEST(MetafileWrite, PillowReadsTheHeaderAndSize)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("pillow.emf");
    SaveMetafile(path, testPattern(123, 45));
    QByteArray out;
    const QString why = runTool(QStringLiteral("/usr/bin/python3"),
                                {"-c", "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\nprint(im.size[0], im.size[1])",
                                 path},
                                &out);
    ASSERT_TRUE(why.isEmpty()) << why.toStdString() << " (Pillow is the outside reference: install python3-pil)";
    EXPECT_EQ(QString::fromUtf8(out).trimmed(), "123 45");
}

TEST(MetafileWrite, EmptyPictureIsRefused)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_THROW(SaveMetafile(dir.filePath("empty.emf"), Raster()), LetrafexError);
    EXPECT_FALSE(QFile::exists(dir.filePath("empty.emf")));
}

TEST(MetafileWrite, FailedSaveKeepsTheOldFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_THROW(SaveMetafile(dir.filePath("missing/folder/pic.emf"), testPattern(4, 4)), LetrafexError);
    const QString path = dir.filePath("keep.emf");
    SaveMetafile(path, testPattern(4, 4));
    const QByteArray before = readAll(path);
    EXPECT_THROW(SaveMetafile(path, Raster()), LetrafexError);
    EXPECT_EQ(readAll(path), before);
}

// --- damaged files ------------------------------------------------------------------------

struct BadMetafile
{
    const char *file;
    const char *message; // part of the error text
};

class DamagedMetafile : public ::testing::TestWithParam<BadMetafile>
{
};

TEST_P(DamagedMetafile, ThrowsAndLeavesThePictureAlone)
{
    const BadMetafile bad = GetParam();
    Raster picture(300, 200, 24, Background);
    const Raster before = picture;
    try {
        LoadMetafile(badFixture(bad.file), picture);
        ADD_FAILURE() << bad.file << " was accepted";
    } catch (const LetrafexError &e) {
        EXPECT_TRUE(e.text().contains(QString::fromUtf8(bad.message))) << e.text().toStdString();
    }
    EXPECT_TRUE(picture.samePixels(before));
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedMetafile,
    ::testing::Values(BadMetafile{"emf_truncated_header.emf", "header is truncated"},
                      BadMetafile{"emf_record_past_end.emf", "Record 2 of the enhanced metafile has an invalid size"},
                      BadMetafile{"emf_zero_size_record.emf", "Record 2 of the enhanced metafile has an invalid size"},
                      BadMetafile{"emf_absurd_bounds.emf", "beyond the limits"},
                      BadMetafile{"emf_inverted_bounds.emf", "bounds are invalid"},
                      BadMetafile{"emf_length_past_end.emf", "length field"},
                      BadMetafile{"emf_no_end_record.emf", "without its end record"},
                      BadMetafile{"emf_object_out_of_table.emf", "refers to object 2 of a table of 1"},
                      BadMetafile{"emf_bitmap_too_large.emf", "damaged bitmap"},
                      BadMetafile{"emf_text_with_markup.emf", "refers to other files"},
                      BadMetafile{"wmf_truncated_header.wmf", "header is truncated"},
                      BadMetafile{"wmf_record_past_end.wmf", "Record 1 of the metafile has an invalid size"},
                      BadMetafile{"wmf_zero_size_record.wmf", "Record 1 of the metafile has an invalid size"},
                      BadMetafile{"wmf_zero_units_per_inch.wmf", "invalid bounding box"},
                      BadMetafile{"wmf_absurd_bounds.wmf", "beyond the limits"},
                      BadMetafile{"wmf_no_end_record.wmf", "without its end record"},
                      BadMetafile{"wmf_object_out_of_table.wmf", "refers to an object it does not have"},
                      BadMetafile{"wmf_bitmap_truncated.wmf", "damaged bitmap"},
                      BadMetafile{"wmf_length_past_end.wmf", "length field"},
                      BadMetafile{"wmf_damaged_record_in_scan.wmf", "records are damaged"}),
    [](const ::testing::TestParamInfo<BadMetafile> &info) {
        return QString::fromUtf8(info.param.file).section('.', 0, 0).toStdString();
    });

TEST(MetafileRead, EveryTruncationIsAnErrorNotACrash)
{
    for (const char *name : {"quarter.emf", "records.emf", "quarter_placeable.wmf", "quarter_standard.wmf",
                             "bitmap.wmf", "records.wmf"}) {
        const QByteArray whole = readAll(fixture(name));
        ASSERT_FALSE(whole.isEmpty()) << name;
        for (qsizetype n = 0; n < whole.size(); ++n) {
            Raster picture(20, 20, 24, Background);
            EXPECT_THROW(ReadMetafile(whole.left(n), picture), LetrafexError) << name << " cut at " << n;
            EXPECT_EQ(changedOutside(picture, 0, 0), 0);
        }
    }
}

TEST(MetafileRead, OtherFilesAreNotMetafiles)
{
    Raster picture(10, 10, 24, Background);
    try {
        static const char png[] = "\x89PNG\r\n\x1a\n000000000000000000000000000000000000000000000000";
        ReadMetafile(QByteArray(png, sizeof png - 1), picture);
        ADD_FAILURE() << "accepted";
    } catch (const LetrafexError &e) {
        EXPECT_EQ(e.text(), "The file is not a metafile.");
    }
    EXPECT_THROW(ReadMetafile(QByteArray(), picture), LetrafexError);
}

TEST(MetafileRead, MissingFileIsAnError)
{
    Raster picture(10, 10, 24, Background);
    EXPECT_THROW(LoadMetafile(QStringLiteral(LETRAFEX_FIXTURES "/emf/no-such-file.emf"), picture), LetrafexError);
    EXPECT_EQ(changedOutside(picture, 0, 0), 0);
}
