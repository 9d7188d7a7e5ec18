// Bitmap variants built byte by byte from the format's tables: 2-bit palette pictures,
// OS/2's 24-bit run-length pictures, and narrow bit-field channels widened with rounding.
#include "imageio/BmpCodec.h"

#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A file header, an information header of infoSize bytes (the fields of the 40-byte header,
// the rest zero), 4-byte palette entries and the pixel data.
QByteArray bmpFile(int infoSize, int w, int h, int bits, quint32 compression, const QList<QRgb> &palette,
                   const QByteArray &pixels)
{
    QByteArray f(14 + infoSize + 4 * palette.size(), '\0');
    uchar *p = reinterpret_cast<uchar *>(f.data());
    p[0] = 'B';
    p[1] = 'M';
    qToLittleEndian<quint32>(quint32(f.size() + pixels.size()), p + 2);
    qToLittleEndian<quint32>(quint32(f.size()), p + 10);
    uchar *info = p + 14;
    qToLittleEndian<quint32>(quint32(infoSize), info);
    qToLittleEndian<qint32>(w, info + 4);
    qToLittleEndian<qint32>(h, info + 8);
    qToLittleEndian<quint16>(1, info + 12);
    qToLittleEndian<quint16>(quint16(bits), info + 14);
    qToLittleEndian<quint32>(compression, info + 16);
    qToLittleEndian<quint32>(quint32(pixels.size()), info + 20);
    qToLittleEndian<quint32>(quint32(palette.size()), info + 32);
    uchar *e = info + infoSize;
    for (QRgb c : palette) {
        e[0] = uchar(qBlue(c));
        e[1] = uchar(qGreen(c));
        e[2] = uchar(qRed(c));
        e += 4;
    }
    return f + pixels;
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

} // namespace

TEST(BmpVariants, TwoBitPicturesUseTheirFourColours)
{
    const QList<QRgb> palette{qRgb(10, 20, 30), qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200)};
    // 5 pixels a row: two bytes of four 2-bit indices, the first in the top bits, padded
    // to 4 bytes. Stored rows from the bottom.
    const int bottom[5] = {3, 2, 1, 0, 3}, top[5] = {0, 1, 2, 3, 1};
    const QByteArray pixels = bytes({0b11100100, 0b11000000, 0, 0, 0b00011011, 0b01000000, 0, 0});
    const Raster r = ReadBmp(bmpFile(40, 5, 2, 2, 0, palette, pixels));
    ASSERT_EQ(r.width(), 5);
    ASSERT_EQ(r.height(), 2);
    EXPECT_EQ(r.bitCount(), 4);
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(r.pixelRgb(x, 1), palette[bottom[x]]) << x;
        EXPECT_EQ(r.pixelRgb(x, 0), palette[top[x]]) << x;
    }
    // A palette of count 0 has all four entries; a short one leaves the rest black.
    const Raster shortPalette = ReadBmp(bmpFile(40, 5, 2, 2, 0, palette.mid(0, 2), pixels));
    EXPECT_EQ(shortPalette.pixelRgb(0, 1), qRgb(0, 0, 0));
    EXPECT_EQ(shortPalette.pixelRgb(2, 1), palette[1]);
    // Rows cut short are a damaged file.
    EXPECT_THROW(ReadBmp(bmpFile(40, 5, 2, 2, 0, palette, pixels.left(5))), LetrafexError);
}

TEST(BmpVariants, Os2RunLength24Pictures)
{
    // 4 x 3, stored rows from the bottom. Row 0: a run of 3 red pixels, then one literal
    // pixel (padded to 16 bits), end of line. Row 1: a literal run of 3 pixels (9 bytes and
    // one pad byte), end of line. Row 2: a move right by 2, a run of 1 white pixel, end of
    // picture; what the data never reaches stays black.
    QByteArray rle = bytes({3, 0, 0, 255, 1, 0, 255, 0, 0, 0});          // 3 x red, 1 x green, EOL
    rle += bytes({0, 3, 255, 0, 0, 0, 255, 255, 10, 20, 30, 0, 0, 0});   // literal blue, yellow, (30,20,10)
    rle += bytes({0, 2, 2, 0, 1, 255, 255, 255, 0, 1});                  // move, 1 x white, end
    for (int infoSize : {64, 40}) {
        const Raster r = ReadBmp(bmpFile(infoSize, 4, 3, 24, 4, {}, rle));
        ASSERT_EQ(r.width(), 4);
        EXPECT_EQ(r.bitCount(), 24);
        const QRgb red = qRgb(255, 0, 0), black = qRgb(0, 0, 0);
        const QRgb expected[3][4] = {
            {black, black, qRgb(255, 255, 255), black},                          // stored row 2
            {qRgb(0, 0, 255), qRgb(255, 255, 0), qRgb(30, 20, 10), black},       // stored row 1
            {red, red, red, qRgb(0, 255, 0)},                                    // stored row 0
        };
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(r.pixelRgb(x, y), expected[y][x]) << infoSize << ": " << x << "," << y;
    }
    // A run cut inside its colour, a literal run past the row, and a run past the picture.
    EXPECT_THROW(ReadBmp(bmpFile(64, 4, 3, 24, 4, {}, bytes({3, 0, 0}))), LetrafexError);
    EXPECT_THROW(ReadBmp(bmpFile(64, 4, 1, 24, 4, {}, bytes({0, 6, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9}))),
                 LetrafexError);
    EXPECT_THROW(ReadBmp(bmpFile(64, 4, 1, 24, 4, {}, bytes({1, 0, 0, 0, 0, 0, 1, 0, 0, 0}))), LetrafexError);
    // Compression 4 with any other depth is not run-length data.
    EXPECT_THROW(ReadBmp(bmpFile(64, 4, 1, 8, 4, {}, bytes({4, 1, 0, 1}))), LetrafexError);
}

TEST(BmpVariants, NarrowChannelsWidenRoundedToNearest)
{
    auto widen = [](int v, int max) { return int(std::lround(v * 255.0 / max)); };
    EXPECT_EQ(widen(3, 31), 25);
    // 5-6-5 bit fields: pixel x has red x % 32, green x, blue 31 - x % 32.
    QByteArray pixels;
    for (int x = 0; x < 64; ++x) {
        const quint16 v = quint16((x % 32) << 11 | x << 5 | (31 - x % 32));
        pixels += bytes({v & 0xFF, v >> 8});
    }
    QByteArray file = bmpFile(40, 64, 1, 16, 3, {}, QByteArray(12, '\0') + pixels);
    uchar *masks = reinterpret_cast<uchar *>(file.data()) + 54;
    qToLittleEndian<quint32>(0xF800, masks);
    qToLittleEndian<quint32>(0x07E0, masks + 4);
    qToLittleEndian<quint32>(0x001F, masks + 8);
    qToLittleEndian<quint32>(quint32(54 + 12), reinterpret_cast<uchar *>(file.data()) + 10);
    const Raster r565 = ReadBmp(file);
    for (int x = 0; x < 64; ++x)
        EXPECT_EQ(r565.pixelRgb(x, 0), qRgb(widen(x % 32, 31), widen(x, 63), widen(31 - x % 32, 31))) << x;

    // Plain 16-bit pictures are 5-5-5: pixel x has red x, green 31 - x, blue x.
    QByteArray plain;
    for (int x = 0; x < 32; ++x) {
        const quint16 v = quint16(x << 10 | (31 - x) << 5 | x);
        plain += bytes({v & 0xFF, v >> 8});
    }
    const Raster r555 = ReadBmp(bmpFile(40, 32, 1, 16, 0, {}, plain));
    for (int x = 0; x < 32; ++x)
        EXPECT_EQ(r555.pixelRgb(x, 0), qRgb(widen(x, 31), widen(31 - x, 31), widen(x, 31))) << x;
}
