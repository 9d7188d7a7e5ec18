#include "PainterTestSupport.h"

#include <gtest/gtest.h>

namespace {
const CanvasFont arial48{QStringLiteral("Arial"), 48, 0, 0};

Raster quadrants()
{
    Raster s(2, 2);
    s.setPixel(0, 0, makeColor(255, 0, 0));
    s.setPixel(1, 0, makeColor(0, 0, 255));
    s.setPixel(0, 1, makeColor(0, 160, 0));
    s.setPixel(1, 1, makeColor(255, 0, 255));
    return s;
}
} // namespace

TEST(SurfaceFill, LettersShowTheStretchedSurfaceBesideAOnePixelRim)
{
    TestLayers t;
    ItemAttributes item = makeItem({"H"}, 10, DirDownRight, Colors::clYellow, Colors::clGreen);
    item.surface = quadrants();
    DrawText3D(t.layers(), item, StyleFlat, 50, 40, Colors::clGreen, Colors::clYellow);

    // The flat copy at (50, 40), then the letters one step further filled with the surface
    // stretched over the rectangle from (40, 30).
    const int W = TextWidth(arial48, "H") + 10, H = TextHeight(arial48) + 10;
    QImage expected(400, 300, QImage::Format_RGB32);
    expected.fill(Qt::white);
    referenceText(expected, arial48, "H", 50, 40, Colors::clYellow);
    QImage hard(400, 300, QImage::Format_RGB32);
    hard.fill(Qt::white);
    referenceText(hard, arial48, "H", 51, 41, Colors::clBlack);
    int letterPixels = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) {
            if ((hard.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF) // every pixel the letters touch
                continue;
            ++letterPixels;
            const int sx = x - 40, sy = y - 30;
            QRgb c = qRgb(255, 255, 255);
            if (sx >= 0 && sy >= 0 && sx < W && sy < H)
                c = toRgb(quadrants().pixel(sx * 2 / W, sy * 2 / H));
            expected.setPixel(x, y, c);
        }
    EXPECT_GT(letterPixels, 200);
    EXPECT_EQ(differingPixels(t.picture().toRgb32(), expected), 0);
    // The rim: the flat copy shows left of the filled letters.
    const QRect ink = inkBox(t.picture());
    EXPECT_EQ(ink.left(), inkBox([&] { TestLayers f; PaintGradientText(f.layers(), makeItem({"H"}, 0, 1), StyleFlat, 50, 40, 0, 0); return f.picture(); }()).left());
    // The mask is white again.
    const Raster &mask = t.owned.textCreate.picture;
    EXPECT_EQ(inkBox(mask), QRect());
}

// The filled letters lie one step down-right of the flat copy and cover every pixel it
// touches there, so above and left of them the flat copy shows exactly one pixel thick.
TEST(SurfaceFill, FlatCopyShowsAsOnePixelRimAboveAndLeftOfAnH)
{
    const TColor fill = makeColor(255, 0, 255);
    for (int points : {12, 24, 36, 48, 72, 100}) {
        TestLayers t(400, 300);
        t.layers().titleFont = CanvasFont{QStringLiteral("Arial"), points, 0, 0};
        t.layers().maskFont = t.layers().titleFont;
        ItemAttributes item = makeItem({"H"}, 10, DirDownRight, Colors::clYellow, Colors::clGreen);
        item.fontSize = points;
        item.surface = Raster(1, 1, 24, fill);
        DrawText3D(t.layers(), item, StyleFlat, 50, 40, Colors::clGreen, Colors::clYellow);
        const Raster &p = t.picture();
        QRect filled;
        for (int y = 0; y < p.height(); ++y)
            for (int x = 0; x < p.width(); ++x)
                if (p.pixel(x, y) == fill)
                    filled |= QRect(x, y, 1, 1);
        ASSERT_FALSE(filled.isEmpty()) << points;
        // The rim's thickness: pixels of the flat copy straight above the top row of the
        // fill and straight left of its left column.
        auto rim = [&](QPoint at, QPoint step) {
            int n = 0;
            for (QPoint q = at + step; q.x() >= 0 && q.y() >= 0 && p.pixel(q.x(), q.y()) != Colors::clWhite; q += step)
                ++n;
            return n;
        };
        int above = 0, left = 0;
        for (int x = filled.left(); x <= filled.right(); ++x)
            if (p.pixel(x, filled.top()) == fill) {
                EXPECT_LE(rim({x, filled.top()}, {0, -1}), 1) << points << " pt, column " << x;
                above += rim({x, filled.top()}, {0, -1});
            }
        for (int y = filled.top(); y <= filled.bottom(); ++y)
            if (p.pixel(filled.left(), y) == fill) {
                EXPECT_LE(rim({filled.left(), y}, {-1, 0}), 1) << points << " pt, row " << y;
                left += rim({filled.left(), y}, {-1, 0});
            }
        // The rim runs along the tops of both stems and down the left stem.
        EXPECT_GE(above, 2) << points << " pt";
        EXPECT_GE(left, filled.height() - 2) << points << " pt";
    }
}

TEST(SurfaceFill, DepthZeroOrNoSurfaceLeavesThePainterOutput)
{
    for (int depth : {0, 10}) {
        TestLayers withFill, plain;
        ItemAttributes item = makeItem({"Ab"}, depth, DirDownRight);
        if (depth == 0)
            item.surface = quadrants();
        DrawText3D(withFill.layers(), item, Style3D, 30, 60, Colors::clGreen, Colors::clYellow);
        PaintGradientText(plain.layers(), item, Style3D, 30, 60, Colors::clGreen, Colors::clYellow);
        EXPECT_TRUE(withFill.picture().samePixels(plain.picture())) << depth;
        // No black letters were left behind for a fill.
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 400; ++x)
                ASSERT_NE(withFill.picture().pixel(x, y), Colors::clBlack);
    }
}

TEST(SurfaceFill, InvertFlipsEveryChannel)
{
    Raster r(2, 1);
    r.setPixel(0, 0, makeColor(0, 100, 255));
    InvertImage(r);
    EXPECT_EQ(r.pixel(0, 0), makeColor(255, 155, 0));
    EXPECT_EQ(r.pixel(1, 0), Colors::clBlack);
}

// Above the glyph cache's size the letters are drawn as hinted outlines; the mask and the
// blackened copy still coincide, so no black letter pixel survives the fill.
TEST(SurfaceFill, LargeLettersFillExactlyTheBlackenedCopy)
{
    for (int size : {60, 100}) {
        TestLayers t(500, 300);
        t.layers().titleFont = CanvasFont{QStringLiteral("Arial"), size, 1, 0};
        t.layers().maskFont = t.layers().titleFont;
        ItemAttributes item = makeItem({"HOg"}, 10, DirDownRight);
        item.fontSize = size;
        item.surface = quadrants();
        DrawText3D(t.layers(), item, Style3D, 20, 20, Colors::clGreen, Colors::clYellow);
        int black = 0, surface = 0;
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 500; ++x) {
                const TColor c = t.picture().pixel(x, y);
                black += c == Colors::clBlack;
                surface += c == makeColor(255, 0, 255);
            }
        EXPECT_EQ(black, 0) << size;
        EXPECT_GT(surface, 100) << size;
    }
}
