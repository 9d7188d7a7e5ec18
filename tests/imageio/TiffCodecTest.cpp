// The TIFF writer's exact layouts and the reader's handling of every kind of image,
// byte order, strip arrangement and damaged file.
#include "imageio/TiffCodec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include "TiffTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

quint16 le16(const QByteArray &d, qsizetype at) { return qFromLittleEndian<quint16>(d.constData() + at); }
quint32 le32(const QByteArray &d, qsizetype at) { return qFromLittleEndian<quint32>(d.constData() + at); }

// The directory entry of a file we wrote: type, count and value of tag, or all -1.
struct Found
{
    int type = -1;
    qint64 count = -1;
    qint64 value = -1;
};
Found entry(const QByteArray &d, quint16 tag)
{
    const quint32 ifd = le32(d, 4);
    for (int i = 0; i < le16(d, ifd); ++i) {
        const qsizetype e = ifd + 2 + 12 * i;
        if (le16(d, e) == tag)
            return {le16(d, e + 2), le32(d, e + 4), le32(d, e + 8)};
    }
    return {};
}

// Whether the directory and every block an entry points to start on a word boundary.
bool offsetsAreEven(const QByteArray &d)
{
    const quint32 ifd = le32(d, 4);
    bool even = ifd % 2 == 0;
    const int typeSize[] = {0, 1, 1, 2, 4, 8}; // none, BYTE, ASCII, SHORT, LONG, RATIONAL
    for (qsizetype e = ifd + 2; e < ifd + 2 + 12 * le16(d, ifd); e += 12)
        if (le16(d, e) == 273 || typeSize[std::min(le16(d, e + 2), quint16(5))] * le32(d, e + 4) > 4)
            even = even && le32(d, e + 8) % 2 == 0;
    return even;
}

QRgb colour(int i) { return qRgb((i * 53 + 17) % 256, (i * 101 + 90) % 256, (i * 29 + 200) % 256); }

Raster indexedPicture(int bits, int w, int h, QVector<QRgb> palette = {})
{
    if (palette.isEmpty())
        for (int i = 0; i < (1 << bits); ++i)
            palette << colour(i);
    std::vector<uchar> idx(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            idx[size_t(y) * w + x] = uchar((x * 7 + y * 3) % palette.size());
    return Raster::fromIndices(w, h, bits, palette, idx.data(), w);
}

} // namespace

TEST(TiffWrite, RgbFileHasTheFixedLayout)
{
    QImage img(2, 2, QImage::Format_RGB32);
    img.setPixel(0, 0, qRgb(1, 2, 3));
    img.setPixel(1, 0, qRgb(4, 5, 6));
    img.setPixel(0, 1, qRgb(7, 8, 9));
    img.setPixel(1, 1, qRgb(10, 11, 12));
    const QByteArray d = WriteTiff(Raster::fromImage(img, 24));
    ASSERT_EQ(d.size(), 240);
    EXPECT_EQ(d.left(4), bytes({'I', 'I', 42, 0}));
    EXPECT_EQ(le32(d, 4), 54u);
    EXPECT_EQ(le32(d, 8), 877u);
    EXPECT_EQ(le32(d, 12), 10u);
    EXPECT_EQ(le32(d, 16), 877u);
    EXPECT_EQ(le32(d, 20), 10u);
    EXPECT_EQ(d.mid(24, 6), bytes({8, 0, 8, 0, 8, 0}));
    EXPECT_EQ(d.mid(30, 12), QByteArray("Velmo soft\0", 12)) << "with its closing zero and a pad byte";
    EXPECT_EQ(d.mid(42, 12), bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(le16(d, 54), 15);
    EXPECT_EQ(le32(d, 236), 0u) << "next-directory offset";
    EXPECT_EQ(entry(d, 273).value, 42);
    EXPECT_EQ(entry(d, 279).value, 12);
    EXPECT_EQ(entry(d, 258).count, 3);
    EXPECT_EQ(entry(d, 258).value, 24);
    EXPECT_EQ(entry(d, 262).value, 2);
    EXPECT_EQ(entry(d, 284).value, 1);
    EXPECT_EQ(entry(d, 305).type, 2);
    EXPECT_EQ(entry(d, 305).count, 11);
    EXPECT_EQ(entry(d, 305).value, 30);
    EXPECT_EQ(entry(d, 320).type, -1);
    int previous = 0;
    for (int i = 0; i < 15; ++i) {
        const int tag = le16(d, 56 + 12 * i);
        EXPECT_GT(tag, previous);
        previous = tag;
    }
}

TEST(TiffWrite, ThirtyTwoBitsWriteTheSameBytesAsTwentyFour)
{
    const Raster source = rgbTexture(24, 7, 5);
    Raster wide = source;
    wide.setBitCount(32);
    EXPECT_EQ(WriteTiff(wide), WriteTiff(source));
}

TEST(TiffWrite, SixteenBitPicturesAreWrittenAsRgbOfTheirFiveBitColours)
{
    const Raster source = rgbTexture(16, 9, 4);
    const QByteArray d = WriteTiff(source);
    EXPECT_EQ(entry(d, 262).value, 2);
    const Raster back = read(d);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 9; ++x) {
            const QRgb c = source.pixelRgb(x, y);
            const auto five = [](int v) { return (v >> 3) * 255 / 31; };
            ASSERT_EQ(back.pixelRgb(x, y) & 0xFFFFFF, qRgb(five(qRed(c)), five(qGreen(c)), five(qBlue(c))) & 0xFFFFFF);
        }
}

TEST(TiffWrite, BilevelFileHasItsStripFirst)
{
    const uchar index = 0;
    const Raster black = Raster::fromIndices(1, 1, 1, {qRgb(0, 0, 0), qRgb(255, 255, 255)}, &index, 1);
    const QByteArray d = WriteTiff(black);
    ASSERT_EQ(d.size(), 8 + 1 + 1 + 28 + 2 + 14 * 12 + 4) << "a pad byte after the strip";
    EXPECT_EQ(uchar(d[8]) & 0x80, 0);
    EXPECT_EQ(le32(d, 10), 877u);
    EXPECT_EQ(le32(d, 18), 877u);
    EXPECT_EQ(d.mid(26, 11), QByteArray("Velmo soft", 11));
    EXPECT_EQ(le32(d, 4), 38u);
    EXPECT_EQ(le16(d, 38), 14);
    EXPECT_EQ(entry(d, 262).value, 1);
    EXPECT_EQ(entry(d, 273).value, 8);
    EXPECT_EQ(entry(d, 279).value, 1);
    EXPECT_EQ(entry(d, 282).value, 10);
    EXPECT_EQ(entry(d, 305).value, 26);
}

TEST(TiffWrite, BilevelFileShowsWhiteAsOneWhicheverIndexHoldsIt)
{
    // Index 0 is white here: writing the indices as they are would invert the picture.
    const Raster source = indexedPicture(1, 13, 3, {qRgb(255, 255, 255), qRgb(0, 0, 0)});
    const Raster back = read(WriteTiff(source));
    EXPECT_TRUE(back.samePixels(source));
}

TEST(TiffWrite, PaletteFileHasColourMapThenConstantBlocksThenStrip)
{
    const Raster source = indexedPicture(8, 3, 2);
    const QByteArray d = WriteTiff(source);
    EXPECT_EQ(entry(d, 320).count, 768);
    EXPECT_EQ(entry(d, 320).value, 8);
    EXPECT_EQ(entry(d, 282).value, 1544);
    EXPECT_EQ(entry(d, 283).value, 1552);
    EXPECT_EQ(entry(d, 305).value, 1560);
    EXPECT_EQ(entry(d, 273).value, 1572);
    EXPECT_EQ(entry(d, 279).value, 6);
    EXPECT_EQ(entry(d, 262).value, 3);
    EXPECT_EQ(entry(d, 258).value, 8);
    EXPECT_EQ(le32(d, 4), 1578u);
    EXPECT_EQ(le16(d, 1578), 15);
    EXPECT_EQ(d.mid(1560, 11), QByteArray("Velmo soft", 11));
    EXPECT_EQ(le32(d, 1544), 877u);
    // Entry 5: red, green and blue values at full 16-bit scale, the component times 257.
    EXPECT_EQ(le16(d, 8 + 2 * 5), qRed(colour(5)) * 257);
    EXPECT_EQ(le16(d, 8 + 512 + 2 * 5), qGreen(colour(5)) * 257);
    EXPECT_EQ(le16(d, 8 + 1024 + 2 * 5), qBlue(colour(5)) * 257);
    EXPECT_EQ(d.mid(1572, 6), bytes({0, 7, 14, 3, 10, 17}));
}

TEST(TiffWrite, FourBitPicturesKeepTheirWholeWidth)
{
    const Raster source = indexedPicture(4, 5, 2);
    const QByteArray d = WriteTiff(source);
    EXPECT_EQ(entry(d, 256).value, 5);
    EXPECT_EQ(entry(d, 279).value, 6);
    EXPECT_EQ(entry(d, 273).value, 8 + 96 + 28);
    // Row 0 indices 0 7 14 5 12, row 1 indices 3 10 1 8 15: the left pixel in the high
    // nibble, the last byte's low nibble 0.
    EXPECT_EQ(d.mid(132, 6), bytes({0x07, 0xE5, 0xC0, 0x3A, 0x18, 0xF0}));
    for (int width : {1, 3, 5, 37, 127}) {
        const Raster narrow = indexedPicture(4, width, 3);
        EXPECT_EQ(entry(WriteTiff(narrow), 258).value, 4);
        EXPECT_TRUE(read(WriteTiff(narrow)).samePixels(narrow)) << width;
    }
}

TEST(TiffWrite, ColouredOneBitPicturesKeepTheirColoursInAColourMap)
{
    const Raster source = indexedPicture(1, 11, 3, {qRgb(200, 30, 40), qRgb(255, 255, 0)});
    const QByteArray d = WriteTiff(source);
    EXPECT_EQ(entry(d, 262).value, 3);
    EXPECT_EQ(entry(d, 258).value, 1);
    EXPECT_EQ(entry(d, 320).count, 6);
    EXPECT_EQ(le16(d, 8), 200 * 257);
    EXPECT_EQ(le16(d, 8 + 2 * 5), 0) << "blue of index 1";
    EXPECT_TRUE(read(d).samePixels(source));
}

TEST(TiffWrite, EveryLayoutReadsBackToTheSamePixels)
{
    // 37 x 11 gives every layout a strip of odd length; bits 0 stands for a bilevel file.
    for (int bits : {0, 1, 4, 8, 24, 32}) {
        SCOPED_TRACE(bits);
        const Raster source = bits == 0  ? indexedPicture(1, 37, 11, {qRgb(0, 0, 0), qRgb(255, 255, 255)})
                              : bits <= 8 ? indexedPicture(bits, 37, 11)
                                          : rgbTexture(bits, 37, 11);
        const QByteArray d = WriteTiff(source);
        EXPECT_TRUE(offsetsAreEven(d));
        const Raster back = read(d);
        // 24 bits whatever the layout: written as BMP it takes three bytes a pixel, not four.
        EXPECT_EQ(back.bitCount(), 24);
        EXPECT_TRUE(back.samePixels(source));
    }
}

TEST(TiffWrite, EmptyPictureWritesNothing)
{
    EXPECT_TRUE(WriteTiff(Raster()).isEmpty());
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("empty.tif"));
    EXPECT_THROW(SaveTiffFile(name, Raster()), LetrafexError);
    EXPECT_FALSE(QFile::exists(name));
}

TEST(TiffWrite, SaveWritesTheSameBytesAsInMemory)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("pic.tif"));
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(bits);
        // More than one piece of rows.
        const Raster source = bits <= 8 ? indexedPicture(bits, 1500, 700) : rgbTexture(bits, 401, 700);
        SaveTiffFile(name, source);
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), WriteTiff(source));
    }
    EXPECT_THROW(SaveTiffFile(dir.filePath(QStringLiteral("missing/pic.tif")), rgbTexture(24, 3, 3)), LetrafexError);
}

TEST(TiffRead, FileFromDiskReadsLikeBytes)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("pic.tif"));
    const Raster source = rgbTexture(24, 1000, 500); // larger than the reading window
    SaveTiffFile(name, source);
    Messages m;
    Raster picture;
    LoadTiffFile(name, picture);
    EXPECT_TRUE(m.texts.isEmpty());
    EXPECT_TRUE(picture.samePixels(source));
}

TEST(TiffRead, MissingFileIsReportedAndNotCreated)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("none.tif"));
    Messages m;
    Raster picture(4, 4);
    LoadTiffFile(name, picture);
    EXPECT_FALSE(QFile::exists(name));
    EXPECT_EQ(m.texts, QStringList(QStringLiteral("<") + name + QStringLiteral("> is not a valid TIFF file")));
    EXPECT_EQ(picture.width(), 4);
    LoadTiffFile(dir.path(), picture); // a folder is no file either
    EXPECT_EQ(m.texts.size(), 2);
}

TEST(TiffRead, ShortOrForeignHeadersAreNotValid)
{
    for (const QByteArray &d : {QByteArray("II*\0\x08\0\0", 7), QByteArray("XX*\0\x08\0\0\0\0\0", 10),
                                QByteArray("II+\0\x08\0\0\0\0\0", 10), QByteArray("II*\0\0\0\0\0", 8)}) {
        QStringList messages;
        read(d, &messages);
        EXPECT_EQ(messages, QStringList(QStringLiteral("<test.tif> is not a valid TIFF file")));
    }
}
