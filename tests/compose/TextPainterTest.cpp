#include "PainterTestSupport.h"
#include "core/HintedGlyphs.h"
#include "core/TextStamp.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
const CanvasFont arial48{QStringLiteral("Arial"), 48, 0, 0};

// Coverage of "A" drawn black at (0, 0): true where the glyph fully covers the pixel.
QImage glyphCoverage(const QString &text)
{
    QImage img(120, 90, QImage::Format_RGB32);
    img.fill(Qt::white);
    referenceText(img, arial48, text, 0, 0, Colors::clBlack);
    return img;
}
bool full(const QImage &c, int x, int y)
{
    return x >= 0 && y >= 0 && x < c.width() && y < c.height() && (c.pixel(x, y) & 0xFFFFFF) == 0;
}
bool blank(const QImage &c, int x, int y)
{
    return x < 0 || y < 0 || x >= c.width() || y >= c.height() || (c.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
}
// A fully covered glyph pixel whose `above` pixels straight above are all blank.
QPoint topEdgePixel(const QImage &c, int above)
{
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            if (!full(c, x, y))
                continue;
            bool ok = true;
            for (int k = 1; k <= above && ok; ++k)
                ok = blank(c, x, y - k);
            if (ok)
                return {x, y};
        }
    return {-1, -1};
}
} // namespace

TEST(GradientText, DepthTenDownFromGreenToYellow)
{
    TestLayers t;
    const ItemAttributes item = makeItem({"A"}, 10, DirDown);
    PaintGradientText(t.layers(), item, Style3D, 100, 100, Colors::clGreen, Colors::clYellow);
    const QImage cov = glyphCoverage("A");
    const QPoint deepest = topEdgePixel(cov, 10);
    const QPoint middle = topEdgePixel(cov, 5);
    ASSERT_GE(deepest.x(), 0);
    // Layer 0 at (100, 90) is pure green, layer 5 at (100, 95) is (128, 192, 0).
    EXPECT_EQ(t.picture().pixel(100 + deepest.x(), 90 + deepest.y()), makeColor(0, 128, 0));
    EXPECT_EQ(t.picture().pixel(100 + middle.x(), 95 + middle.y()), makeColor(128, 192, 0));
    // The front copy at (100, 100) is pure yellow wherever the glyph covers a pixel.
    int checked = 0;
    for (int y = 0; y < cov.height(); ++y)
        for (int x = 0; x < cov.width(); ++x)
            if (full(cov, x, y)) {
                ASSERT_EQ(t.picture().pixel(100 + x, 100 + y), Colors::clYellow) << x << "," << y;
                ++checked;
            }
    EXPECT_GT(checked, 100);
}

TEST(GradientText, MatchesPlainTextOutputLayerByLayer)
{
    // Depth 6 up-right at (60, 80): layer i lies at (54 + i, 80 - i); its red runs from blue's
    // 0 to fuchsia's 255 in sixths, halves rounded to even (42.5 to 42, 127.5 to 128).
    struct Layer { int x, y, red; };
    const Layer layers[] = {{54, 80, 0},   {55, 79, 42},  {56, 78, 85}, {57, 77, 128},
                            {58, 76, 170}, {59, 75, 212}, {60, 74, 255}};
    struct Case { std::uint8_t style; std::vector<int> drawn; };
    const Case cases[] = {{Style3D, {0, 1, 2, 3, 4, 5, 6}}, {StyleShadow, {0, 6}}, {StyleFlat, {6}}};
    for (const Case &c : cases) {
        TestLayers t;
        const ItemAttributes item = makeItem({"Wg"}, 6, DirUpRight, Colors::clFuchsia, Colors::clBlue);
        PaintGradientText(t.layers(), item, c.style, 60, 80, Colors::clBlue, Colors::clFuchsia);
        QImage expected(400, 300, QImage::Format_RGB32);
        expected.fill(Qt::white);
        for (int i : c.drawn)
            referenceText(expected, arial48, "Wg", layers[i].x, layers[i].y, makeColor(layers[i].red, 0, 255));
        EXPECT_EQ(differingPixels(t.picture().toRgb32(), expected), 0) << "style " << int(c.style);
    }
}

TEST(GradientText, DeepestAndFrontLayerPositionsForAllDirections)
{
    struct Case { int direction; QPoint deepest, front; };
    const int d = 8;
    const Case cases[] = {
        {DirUpLeft, {d, 0}, {0, -d}},      {DirUp, {0, 0}, {0, -d}},
        {DirUpRight, {-d, 0}, {0, -d}},    {DirDownLeft, {d, -2 * d}, {0, -d}},
        {DirDown, {0, -d}, {0, 0}},        {DirDownRight, {-d, -d}, {0, 0}},
    };
    TestLayers ref;
    PaintGradientText(ref.layers(), makeItem({"H"}, 0, DirUp), StyleFlat, 150, 150, Colors::clBlack, Colors::clBlack);
    const QRect glyph = inkBox(ref.picture()).translated(-150, -150);
    ASSERT_FALSE(glyph.isEmpty());
    for (const Case &c : cases) {
        TestLayers flat;
        PaintGradientText(flat.layers(), makeItem({"H"}, d, c.direction), StyleFlat, 150, 150, makeColor(255, 0, 0), 0);
        EXPECT_EQ(inkBox(flat.picture()), glyph.translated(150 + c.front.x(), 150 + c.front.y())) << c.direction;
        TestLayers shadow;
        PaintGradientText(shadow.layers(), makeItem({"H"}, d, c.direction), StyleShadow, 150, 150, 0, 0);
        const QRect both = glyph.translated(150 + c.deepest.x(), 150 + c.deepest.y()) |
                           glyph.translated(150 + c.front.x(), 150 + c.front.y());
        EXPECT_EQ(inkBox(shadow.picture()), both) << c.direction;
    }
}

TEST(GradientText, ShadowDrawsExactlyTwoCopiesAndFlatOne)
{
    TestLayers shadow;
    PaintGradientText(shadow.layers(), makeItem({"T"}, 5, DirDown), StyleShadow, 50, 50, Colors::clGreen,
                      Colors::clYellow);
    QImage expected(400, 300, QImage::Format_RGB32);
    expected.fill(Qt::white);
    referenceText(expected, arial48, "T", 50, 45, Colors::clGreen);
    referenceText(expected, arial48, "T", 50, 50, Colors::clYellow);
    EXPECT_EQ(differingPixels(shadow.picture().toRgb32(), expected), 0);

    TestLayers flat;
    PaintGradientText(flat.layers(), makeItem({"T"}, 5, DirUpLeft), StyleFlat, 50, 50, Colors::clGreen,
                      Colors::clYellow);
    expected.fill(Qt::white);
    referenceText(expected, arial48, "T", 50, 45, Colors::clYellow); // d pixels above for up-left
    EXPECT_EQ(differingPixels(flat.picture().toRgb32(), expected), 0);
}

TEST(GradientText, DepthZeroDrawsOneCopyInTheFrontColour)
{
    TestLayers t;
    int last = -1;
    PaintGradientText(t.layers(), makeItem({"O"}, 0, DirDownLeft), Style3D, 20, 20, Colors::clGreen, Colors::clBlue,
                      [&](int p) { last = p; });
    QImage expected(400, 300, QImage::Format_RGB32);
    expected.fill(Qt::white);
    referenceText(expected, arial48, "O", 20, 20, Colors::clBlue);
    EXPECT_EQ(differingPixels(t.picture().toRgb32(), expected), 0);
    EXPECT_EQ(last, 100);
}

TEST(GradientText, LinesStackByTheFontHeightAndAlign)
{
    EXPECT_EQ(alignedLineX(10, 101, 40, AlignCenterCode), 10 + 50 - 20);
    EXPECT_EQ(alignedLineX(10, 101, 40, AlignRightCode), 10 + 61);
    EXPECT_EQ(alignedLineX(10, 101, 40, AlignLeftCode), 10);
    EXPECT_EQ(alignedLineX(10, 101, 41, AlignCenterCode), 10 + 50 - 20);

    TestLayers t;
    ItemAttributes item = makeItem({"WWW", "i"}, 0, DirUp);
    item.alignment = AlignCenterCode;
    PaintGradientText(t.layers(), item, StyleFlat, 30, 20, 0, 0);
    const int h = TextHeight(arial48);
    EXPECT_EQ(h, 72); // 48 pt at 96 pixels per inch: ascent plus descent
    const int wmax = TextWidth(arial48, "WWW"), w = TextWidth(arial48, "i");
    QImage expected(400, 300, QImage::Format_RGB32);
    expected.fill(Qt::white);
    referenceText(expected, arial48, "WWW", 30, 20, 0);
    referenceText(expected, arial48, "i", 30 + wmax / 2 - w / 2, 20 + h, 0);
    EXPECT_EQ(differingPixels(t.picture().toRgb32(), expected), 0);
}

TEST(GradientText, SystemColoursInterpolateWhatTheyStandFor)
{
    TestLayers t;
    PaintGradientText(t.layers(), makeItem({"I"}, 0, DirUp), StyleFlat, 10, 10, Colors::clBtnFace, Colors::clWindow);
    const QImage cov = glyphCoverage("I");
    const QPoint p = topEdgePixel(cov, 0);
    EXPECT_EQ(t.picture().pixel(10 + p.x(), 10 + p.y()), resolveColor(Colors::clWindow));
}

namespace {
int countColor(const Raster &r, TColor c)
{
    int n = 0;
    for (int y = 0; y < r.height(); ++y)
        for (int x = 0; x < r.width(); ++x)
            n += r.pixel(x, y) == c;
    return n;
}
// Fully covered (black) pixels in row y of a black-on-white picture.
int fullInRow(const Raster &r, int y)
{
    int n = 0;
    for (int x = 0; x < r.width(); ++x)
        n += r.pixel(x, y) == Colors::clBlack;
    return n;
}
} // namespace

// Every size draws with hinted horizontal edges on whole pixels: each layer of a 3D item
// shows a strip of exactly its own colour, and a flat stem's first and last rows are whole.
TEST(GradientText, WholePixelHorizontalEdgesAtEverySize)
{
    for (int size : {8, 24, 48, 60, 72, 100}) {
        TestLayers t(400, 260);
        t.layers().titleFont = CanvasFont{QStringLiteral("Arial"), size, 1, 0};
        ItemAttributes item = makeItem({"H"}, 10, DirDown);
        item.fontSize = size;
        item.fontName = QStringLiteral("Arial");
        PaintGradientText(t.layers(), item, Style3D, 40, 30, Colors::clGreen, Colors::clYellow);
        // Layer 0, layer 5 and the front: the top strips cross both stems.
        const int minimum = size >= 24 ? 4 : 2;
        EXPECT_GE(countColor(t.picture(), makeColor(0, 128, 0)), minimum) << size << " pt";
        EXPECT_GE(countColor(t.picture(), makeColor(128, 192, 0)), minimum) << size << " pt";
        EXPECT_GE(countColor(t.picture(), makeColor(255, 255, 0)), minimum * 4) << size << " pt";

        TestLayers flat(400, 260);
        flat.layers().titleFont = t.layers().titleFont;
        PaintGradientText(flat.layers(), item, StyleFlat, 40, 30, 0, 0);
        const QRect ink = inkBox(flat.picture());
        ASSERT_FALSE(ink.isEmpty()) << size;
        // Between the top and the cross bar only the two stems are ink; the first and the
        // last row of ink must cover them as fully as that row does.
        const int stems = fullInRow(flat.picture(), ink.top() + ink.height() / 5);
        EXPECT_GT(stems, 0) << size << " pt";
        EXPECT_EQ(fullInRow(flat.picture(), ink.top()), stems) << size << " pt";
        EXPECT_EQ(fullInRow(flat.picture(), ink.bottom()), stems) << size << " pt";
    }
}

// Large letters are filled from their outlines: the same item draws the same pixels
// whatever text was drawn before it, small text between whole pixels included.
TEST(GradientText, LargeLettersDrawTheSameWhateverWasDrawnBefore)
{
    auto draw = [] {
        TestLayers t(400, 200);
        t.layers().titleFont = CanvasFont{QStringLiteral("Arial"), 72, 0, 0};
        ItemAttributes item = makeItem({"Big"}, 8, DirDown);
        item.fontSize = 72;
        PaintGradientText(t.layers(), item, Style3D, 10, 10, Colors::clGreen, Colors::clYellow);
        return t.picture();
    };
    const Raster first = draw();
    QImage small(200, 100, QImage::Format_RGB32);
    small.fill(Qt::white);
    referenceText(small, arial48, QStringLiteral("Ab"), 10, 10, Colors::clBlack); // "b" starts between pixels
    EXPECT_TRUE(draw().samePixels(first));
}

// Each line is rasterised once and its coverage blended at every layer: the picture must
// hold exactly the pixels of drawing every layer with QPainter (outline fills above 64
// pixels, cached glyphs up to it), and the mask and the blackened copy every pixel that
// QPainter's front face touches one step further, over a picture that is not plain, for
// gradients in several directions and layers cut off at every edge.
TEST(GradientText, StampedLayersAreTheLayersQPainterDraws)
{
    struct Case { int points, styleSet, direction; const char *text; QPoint at; };
    const Case cases[] = {
        {60, StyleBold, DirDownRight, "Letrafex", {-30, -20}},  // 80 px, cut off left and top
        {96, StyleItalic, DirUpLeft, "Wavy fx", {150, 130}},   // 128 px, cut off right and bottom
        {192, 0, DirDownLeft, "Ag", {-60, 40}},                // 256 px, cut off on three sides
        {96, StyleUnderline | StyleStrikeOut, DirUp, "Tu", {40, 20}},
        {49, 0, DirDown, "dqOPQ", {150, 80}},                  // 65 px, round left sides
        {49, 0, DirUpLeft, "dqOPQ", {-12, 60}},                // 65 px, near and over the left edge
        {48, 0, DirUpRight, "Wave fx", {300, -10}},            // 64 px, cached glyphs
        {48, StyleUnderline, DirDown, "Tu", {20, 150}},
    };
    const int w = 360, h = 220, d = 12;
    for (const Case &c : cases) {
        const CanvasFont font{QStringLiteral("Arial"), c.points, c.styleSet, 0};
        TestLayers t(w, h);
        QImage &picture = t.picture().paintable();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                picture.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x + 2 * y) % 256));
        QImage expected = picture.copy();
        t.layers().titleFont = font;
        t.layers().maskFont = font;
        ItemAttributes item = makeItem({QString::fromLatin1(c.text)}, d, c.direction, makeColor(250, 240, 30),
                                       makeColor(20, 90, 200));
        item.fontSize = c.points;
        item.surface = Raster(2, 2);
        PaintGradientText(t.layers(), item, Style3D, c.at.x(), c.at.y(), item.endColor, item.startColor);

        QImage expectedMask(w, h, QImage::Format_RGB32);
        expectedMask.fill(Qt::white);
        {
            const HintedTextLine line(item.lines[0], toQFont(font));
            if (!(c.styleSet & (StyleUnderline | StyleStrikeOut))) {
                EXPECT_TRUE(TextStamp(line).stamped()) << c.points;
            }
            QPainter p(&expected);
            const Extrusion ex = extrusionFor(c.direction, d);
            QPoint at = c.at + QPoint(ex.startX, ex.startY);
            for (int i = 0; i <= d; ++i, at += QPoint(ex.stepX, ex.stepY)) {
                p.setPen(toQColor(ColorStep(item.endColor, item.startColor, d, i)));
                line.draw(p, at.x(), at.y());
            }
            // The black letters take every pixel the front face's line touches there.
            QImage touched(w, h, QImage::Format_ARGB32_Premultiplied);
            touched.fill(0);
            QPainter l(&touched);
            l.setPen(Qt::white);
            line.draw(l, at.x(), at.y());
            l.end();
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    if (touched.pixel(x, y)) {
                        expected.setPixel(x, y, qRgb(0, 0, 0));
                        expectedMask.setPixel(x, y, qRgb(0, 0, 0));
                    }
        }
        EXPECT_EQ(differingPixels(t.picture().toRgb32(), expected), 0) << c.points << " pt " << c.text;
        EXPECT_EQ(differingPixels(t.owned.textCreate.picture.toRgb32(), expectedMask), 0) << c.points << " pt " << c.text;
    }
}

namespace {
// Pixels where the stamp drawn at `at` differs from QPainter filling the line's outline there,
// over a background that is not plain, on a picture just large enough.
int stampDiffersFromFill(const HintedTextLine &line, const TextStamp &stamp, QPoint at, QRgb colour)
{
    const QRect box = line.outline().boundingRect().toAlignedRect().adjusted(0, 0, 2, 2);
    QImage picture(at.x() + box.right() + 1, at.y() + box.bottom() + 1, QImage::Format_RGB32);
    const QRect region = box.translated(at) & picture.rect();
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x)
            picture.setPixel(x, y, qRgb(x * 7 % 256, y * 5 % 256, (x + y) % 256));
    const QImage background = picture.copy(region);
    {
        QPainter p(&picture);
        p.setPen(QColor::fromRgb(colour));
        p.setRenderHint(QPainter::TextAntialiasing, line.antialiased());
        line.draw(p, at.x(), at.y());
    }
    const QImage expected = picture.copy(region);
    QPainter(&picture).drawImage(region.topLeft(), background);
    stamp.draw(picture, at.x(), at.y(), colour);
    return differingPixels(picture.copy(region), expected);
}
} // namespace

// A stamped line gives the pixels of filling its outline with QPainter at the same place,
// wherever that is on pictures up to the 4x export's 7680 x 4320: next to the origin, on
// either side of every power of two Qt's floating-point sums pass, and far out, antialiased
// and hard-edged, whether the stamp was made for drawing near the origin or far from it.
TEST(TextStamp, SameAsTheOutlineFillWhereverTheLineLies)
{
    std::vector<QPoint> offsets;
    for (int c = 0; c < 140; c += 4)
        offsets.insert(offsets.end(), {{c, 20}, {20, c}});
    for (int c : {255, 256, 511, 512, 1023, 1024, 2047, 2048}) // the 2x export reaches 3840 x 2160
        offsets.insert(offsets.end(), {{c, 7}, {9, c}, {c, c}});
    for (int c : {4095, 4096, 6900}) // and the 4x export 7680 x 4320
        offsets.insert(offsets.end(), {{c, 11}, {13, c - 2700}, {c - 1400, c / 2 + 50}});
    for (int points : {60, 96, 192}) // 80, 128 and 256 px
        for (const char *text : {"SOS 3D", "Letrafex@"})
            for (bool antialias : {true, false}) {
                const HintedTextLine line(QString::fromLatin1(text), toQFont({QStringLiteral("Arial"), points, 0, 0}, antialias));
                const TextStamp nearStamp(line), farStamp(line, {5000, 3000});
                ASSERT_TRUE(nearStamp.stamped() && farStamp.stamped()) << points << text;
                int differing = 0;
                for (const QPoint at : offsets)
                    for (const TextStamp *stamp : {&nearStamp, &farStamp}) {
                        const int n = stampDiffersFromFill(line, *stamp, at, qRgb(20, 90, 200));
                        EXPECT_EQ(n, 0) << points << " pt " << text << " antialias " << antialias << " at " << at.x()
                                        << "," << at.y() << (stamp == &farStamp ? ", stamp made far out" : "");
                        differing += n;
                    }
                ASSERT_EQ(differing, 0);
            }
}

// A line far longer than the picture keeps only what its copies can put on the picture, and
// every copy has the pixels of QPainter filling the whole line there: where the stamp is
// exact, and where the line starts left of the picture and only its visible glyphs are drawn.
TEST(TextStamp, ALongLineKeepsOnlyItsReachAndDrawsTheWholeLinesPixels)
{
    const QString text = QStringLiteral("Letrafex 3D, Wavy fx! ").repeated(40);
    const QSize size(300, 120);
    const QPoint step(1, -1);
    const int count = 12;
    for (int points : {48, 60}) // cached glyphs and hinted outlines
        for (const QPoint start : {QPoint(7, 40), QPoint(-9000, 30), QPoint(-80, 60), QPoint(250, 100)}) {
            const HintedTextLine line(text, toQFont({QStringLiteral("Arial"), points, 0, 0}));
            const TextStamp stamp(line, start, stampReach(size, start, step, count));
            EXPECT_LE(stamp.kept().width(), size.width() + count + 64) << points;
            for (int k = 0; k <= count; ++k) {
                const QPoint at = start + step * k;
                QImage picture(size, QImage::Format_RGB32);
                for (int y = 0; y < size.height(); ++y)
                    for (int x = 0; x < size.width(); ++x)
                        picture.setPixel(x, y, qRgb(x * 7 % 256, y * 5 % 256, (x + y) % 256));
                QImage expected = picture.copy();
                QPainter p(&expected);
                p.setPen(QColor(20, 90, 200));
                line.draw(p, at.x(), at.y());
                p.end();
                stamp.draw(picture, at.x(), at.y(), qRgb(20, 90, 200));
                ASSERT_EQ(differingPixels(picture, expected), 0) << points << " pt at " << at.x() << "," << at.y();
            }
        }
}
