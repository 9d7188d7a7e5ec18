#include "core/ImageBox.h"
#include "core/Raster.h"

#include <gtest/gtest.h>

TEST(Raster, NewRasterIsWhite24Bit)
{
    Raster r(4, 3);
    EXPECT_EQ(r.bitCount(), 24);
    EXPECT_EQ(r.width(), 4);
    EXPECT_EQ(r.height(), 3);
    EXPECT_EQ(r.pixel(3, 2), Colors::clWhite);
    EXPECT_TRUE(Raster().isEmpty());
}

TEST(Raster, ResizingKeepsTheOverlapAndWhitensTheRest)
{
    Raster r(3, 3, 24, Colors::clBlue);
    r.setPixel(0, 0, Colors::clYellow);
    r.setSize(5, 2);
    EXPECT_EQ(r.width(), 5);
    EXPECT_EQ(r.height(), 2);
    EXPECT_EQ(r.pixel(0, 0), Colors::clYellow);
    EXPECT_EQ(r.pixel(2, 1), Colors::clBlue);
    EXPECT_EQ(r.pixel(3, 0), Colors::clWhite);
    EXPECT_EQ(r.pixel(4, 1), Colors::clWhite);
    r.setHeight(0);
    EXPECT_TRUE(r.isEmpty());
    r.setSize(2, 2);
    EXPECT_EQ(r.pixel(1, 1), Colors::clWhite);
}

TEST(Raster, AbsurdSizesAreRefused)
{
    EXPECT_FALSE(Raster::sizeAllowed(40000, 10));
    EXPECT_FALSE(Raster::sizeAllowed(30000, 30000));
    EXPECT_TRUE(Raster::sizeAllowed(8000, 8000));
    Raster r(1, 1);
    r.setSize(100000, 100000);
    EXPECT_TRUE(r.isEmpty());
}

TEST(Raster, DibCopyIsBottomUpAndPadded)
{
    Raster r(2, 2);
    r.setPixel(0, 0, makeColor(1, 2, 3));   // top-left
    r.setPixel(1, 1, makeColor(4, 5, 6));   // bottom-right
    const QByteArray dib = r.dibBits();
    ASSERT_EQ(dib.size(), 2 * 8); // 6 bytes padded to 8
    // First stored row is the bottom row: white, then (4,5,6) as blue, green, red.
    EXPECT_EQ(uchar(dib[3]), 6);
    EXPECT_EQ(uchar(dib[4]), 5);
    EXPECT_EQ(uchar(dib[5]), 4);
    EXPECT_EQ(uchar(dib[8]), 3);
    EXPECT_EQ(uchar(dib[9]), 2);
    EXPECT_EQ(uchar(dib[10]), 1);
}

TEST(Raster, IndexedRastersKeepIndicesAndPalette)
{
    const uchar idx[] = {0, 1, 1, 0, 2, 0};
    const QVector<QRgb> pal{qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0)};
    Raster r = Raster::fromIndices(3, 2, 4, pal, idx, 3);
    EXPECT_EQ(r.bitCount(), 4);
    EXPECT_EQ(r.pixel(1, 0), makeColor(255, 0, 0));
    EXPECT_EQ(r.pixel(1, 1), makeColor(0, 255, 0));
    const QByteArray dib = r.dibBits();
    ASSERT_EQ(dib.size(), 8);
    EXPECT_EQ(uchar(dib[0]), 0x02); // bottom row 0,2,0 packed as nibbles
    EXPECT_EQ(uchar(dib[1]), 0x00);
    EXPECT_EQ(uchar(dib[4]), 0x01); // top row 0,1,1
    EXPECT_EQ(uchar(dib[5]), 0x10);
    r.setBitCount(24);
    EXPECT_EQ(r.bitCount(), 24);
    EXPECT_EQ(r.pixel(2, 0), makeColor(255, 0, 0));
}

TEST(Raster, PaletteIndicesBeyondAShortPaletteShowBlack)
{
    const uchar idx[] = {5};
    Raster r = Raster::fromIndices(1, 1, 8, {qRgb(9, 9, 9)}, idx, 1);
    EXPECT_EQ(r.pixel(0, 0), makeColor(0, 0, 0));
}

TEST(Raster, HeightSetBeforeWidthIsKept)
{
    Raster r;
    r.setHeight(20);
    EXPECT_EQ(r.height(), 20);
    EXPECT_TRUE(r.isEmpty());
    r.setWidth(30);
    EXPECT_EQ(r.width(), 30);
    EXPECT_EQ(r.height(), 20);
    EXPECT_EQ(r.pixel(29, 19), Colors::clWhite);
}

// A part of a stretch, drawn from a point of it, holds the pixels the whole stretch has
// there, for stretches larger and smaller than the picture and the picture's own size.
TEST(Raster, APartOfAStretchIsThatPartOfTheWholeStretch)
{
    Raster source(7, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            source.paintable().setPixel(x, y, qRgb(x * 30, y * 50, 99));
    for (const QSize whole : {QSize(7, 5), QSize(61, 23), QSize(3, 2)})
        for (const QPoint from : {QPoint(0, 0), QPoint(1, 1), QPoint(29, 4), QPoint(2, 17)}) {
            Raster all(whole.width(), whole.height()), part(13, 6);
            StretchDraw(source, all, whole.width(), whole.height());
            StretchDraw(source, part, whole.width(), whole.height(), from);
            for (int y = 0; y < part.height(); ++y)
                for (int x = 0; x < part.width(); ++x) {
                    const QPoint at = from + QPoint(x, y);
                    const bool inside = at.x() < whole.width() && at.y() < whole.height();
                    EXPECT_EQ(part.pixel(x, y), inside ? all.pixel(at.x(), at.y()) : Colors::clWhite)
                        << whole.width() << "x" << whole.height() << " from " << from.x() << "," << from.y();
                }
        }
}
