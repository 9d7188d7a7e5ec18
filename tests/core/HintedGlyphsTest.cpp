#include "core/HintedGlyphs.h"

#include <QDebug>
#include <QImage>
#include <QPainter>

#include <algorithm>

#include <gtest/gtest.h>

namespace {
QFont arialPixels(int pixels)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    return font;
}

// The grey levels of a column through the left stem, top to bottom, of "H" drawn black on white by draw.
template <typename Draw>
QList<int> stemColumn(Draw draw)
{
    QImage img(120, 120, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setPen(Qt::black);
    draw(p);
    p.end();
    // The column of the lowest fully black pixel: inside the left stem.
    int x = -1;
    for (int y = img.height() - 1; y >= 0 && x < 0; --y)
        for (int i = 0; i < img.width() && x < 0; ++i)
            if (qRed(img.pixel(i, y)) == 0)
                x = i;
    if (x < 0)
        return {};
    QList<int> column;
    for (int y = 0; y < img.height(); ++y)
        column << qRed(img.pixel(x, y));
    return column;
}

bool onlyBlackAndWhite(const QList<int> &levels)
{
    return !levels.isEmpty() && std::all_of(levels.begin(), levels.end(), [](int v) { return v == 0 || v == 255; });
}
} // namespace

TEST(HintedGlyphs, VerticalHintsSnapEdgesToRowsAndStretchBetweenThem)
{
    // Given in any order; 20.7 and 20.9 are closer than a third of a pixel and share a row.
    const VerticalHints hints({30.4, 20.9, 10.2, 20.7});
    EXPECT_DOUBLE_EQ(hints.map(10.2), 10);
    EXPECT_DOUBLE_EQ(hints.map(20.7), 21);
    EXPECT_DOUBLE_EQ(hints.map(20.9), 21);
    EXPECT_DOUBLE_EQ(hints.map(30.4), 30);
    EXPECT_DOUBLE_EQ(hints.map(15.45), 15.5);     // halfway between 10.2 and 20.7
    EXPECT_DOUBLE_EQ(hints.map(4.2), 4.0);        // above the first edge: moved with it
    EXPECT_DOUBLE_EQ(hints.map(32.4), 32.0);      // below the last edge: moved with it
    // Edges more than a third of a pixel apart keep rows of their own, even where both
    // would round to the same row.
    const VerticalHints apart({10.1, 10.45});
    EXPECT_DOUBLE_EQ(apart.map(10.1), 10);
    EXPECT_DOUBLE_EQ(apart.map(10.45), 11);
    EXPECT_DOUBLE_EQ(VerticalHints({}).map(7.3), 7.3);
}

TEST(HintedGlyphs, HorizontalEdgesAreFlatLinesAndFlatCurveExtremesSortedOnce)
{
    QPainterPath path;
    path.moveTo(0, 8.5); // drawn bottom first, and twice
    path.lineTo(10, 8.5);
    path.lineTo(10, 2.25);
    path.lineTo(0, 2.25);
    path.closeSubpath();
    path.addRect(QRectF(20, 2.25, 5, 6.25));
    path.moveTo(40, 0);
    path.lineTo(50, 5); // slanted: no edge
    path.lineTo(50, 12);
    path.addEllipse(QRectF(60, 3.75, 10, 10)); // flat top and bottom
    EXPECT_EQ(horizontalEdges(path), (QList<qreal>{2.25, 3.75, 8.5, 13.75}));
    EXPECT_TRUE(horizontalEdges(QPainterPath()).isEmpty());
}

TEST(HintedGlyphs, HintedOutlinesKeepTheirColumnsAndPutEdgesOnRows)
{
    QPainterPath path;
    path.addRect(QRectF(0.3, 10.4, 20, 30.2));
    path.moveTo(30.3, 10.4); // a triangle whose flat bottom shares the rectangle's bottom edge
    path.lineTo(40.3, 40.6);
    path.lineTo(30.3, 40.6);
    const QPainterPath hinted = hintVertically(path);
    ASSERT_EQ(hinted.elementCount(), path.elementCount());
    for (int i = 0; i < path.elementCount(); ++i)
        EXPECT_DOUBLE_EQ(hinted.elementAt(i).x, path.elementAt(i).x) << i;
    EXPECT_EQ(hinted.boundingRect(), QRectF(0.3, 10, 40, 31));
}

TEST(HintedGlyphs, LinesUpTo64PixelsUseQtsGlyphCacheAndLargerOnesHintedOutlines)
{
    const HintedTextLine cached(QStringLiteral("H"), arialPixels(CachedGlyphPixels));
    EXPECT_EQ(cached.cachedRuns().size(), 1);
    EXPECT_TRUE(cached.outline().isEmpty());
    const HintedTextLine larger(QStringLiteral("H"), arialPixels(CachedGlyphPixels + 1));
    EXPECT_TRUE(larger.cachedRuns().isEmpty());
    EXPECT_FALSE(larger.outline().isEmpty());
    const HintedTextLine shape(QStringLiteral("H"), arialPixels(20), true);
    EXPECT_TRUE(shape.cachedRuns().isEmpty());
    EXPECT_FALSE(shape.outline().isEmpty());
    // Drawn, each has whole-pixel horizontal edges.
    for (const HintedTextLine *line : {&cached, &larger, &shape}) {
        const QList<int> stem = stemColumn([&](QPainter &p) { line->draw(p, 5, 5); });
        EXPECT_TRUE(onlyBlackAndWhite(stem)) << QDebug::toString(stem).toStdString();
    }
}

// What the hinted lines rely on in Qt: text up to 64 pixels high is drawn from the hinted
// glyph cache with whole-pixel horizontal edges, and larger text is filled from unhinted
// outlines. When a Qt upgrade changes either, this fails: the split at CachedGlyphPixels in
// HintedTextLine and the limit set by useHintedGlyphsAtEverySize() must be looked at again.
TEST(HintedGlyphsCanary, QtHintsTextUpTo64PixelsAndNotAbove)
{
    for (int pixels : {32, 48, CachedGlyphPixels}) {
        const QList<int> stem = stemColumn([&](QPainter &p) {
            p.setFont(arialPixels(pixels));
            p.drawText(5, 100, QStringLiteral("H"));
        });
        EXPECT_TRUE(onlyBlackAndWhite(stem)) << pixels << " px: " << QDebug::toString(stem).toStdString();
    }
    for (int pixels : {CachedGlyphPixels + 1, 80, 100}) {
        const QList<int> stem = stemColumn([&](QPainter &p) {
            p.setFont(arialPixels(pixels));
            p.drawText(5, 110, QStringLiteral("H"));
        });
        EXPECT_FALSE(onlyBlackAndWhite(stem)) << pixels << " px: " << QDebug::toString(stem).toStdString();
    }
}
