#pragma once
// Text lines drawn with whole-pixel horizontal edges at every size.
//
// Qt's raster engine takes a glyph from its hinted glyph cache only while the font's pixel
// size is at most QT_MAX_CACHED_GLYPH_SIZE, and the FreeType font engine marks every font
// above its own built-in limit of 64 pixels for outline drawing, without hinting. Larger
// glyphs are filled as design outlines whose horizontal edges fall between pixels, so every
// layer of a 3D item would blend with its neighbours and flat text would look soft. A limit
// other than 64 in the environment makes things worse: above 64 the cache gets glyphs
// without pixels and the text vanishes; below 64 the sizes in between lose their hinting.
//
// So the limit is pinned to the font engine's 64 for the whole process, and glyphs above
// it are drawn here as outlines hinted vertically the same way: every horizontal edge and
// every flat extreme of a curve lands on a pixel boundary, the outline between them is
// stretched evenly, and the baseline sits on a whole pixel. Nothing is cached, so any size
// costs only the outline of the glyphs drawn.
#include <QFont>
#include <QGlyphRun>
#include <QList>
#include <QPainterPath>
#include <QRect>
#include <QString>

#include <vector>

class QPainter;

// Largest pixel size that Qt's FreeType engine hints and caches.
constexpr int CachedGlyphPixels = 64;

// Pins Qt's cache limit to the font engine's. Qt reads the variable once, when the first
// text is drawn, so every program that draws text (window, command line, tests,
// benchmarks) calls this first thing in main().
void useHintedGlyphsAtEverySize();

// The pixel rows a y coordinate of a glyph outline moves to: edges (sorted) snap to whole
// pixels, keeping every edge distinct that was more than a third of a pixel apart; other
// coordinates are interpolated between the neighbouring edges.
class VerticalHints
{
public:
    explicit VerticalHints(QList<qreal> edges);
    qreal map(qreal y) const;

private:
    QList<qreal> from_, to_;
};

// The y coordinates of an outline's horizontal lines and of the flat tops and bottoms of
// its curves, sorted, each once.
QList<qreal> horizontalEdges(const QPainterPath &outline);
// The outline with every y coordinate moved by the hints of its own edges.
QPainterPath hintVertically(const QPainterPath &outline);

// A contour of an outline: its elements [begin, end) and the columns its points span.
struct OutlineContour
{
    int begin = 0, end = 0;
    qreal left = 0, right = 0;
};
// The outline's contours, in their order.
std::vector<OutlineContour> outlineContours(const QPainterPath &outline);
// The contour as a path of its own, with the outline's fill rule.
QPainterPath contourPath(const QPainterPath &outline, const OutlineContour &contour);
// Whether the contour's columns, widened by margin, meet the columns first to last: a
// closed contour puts no pixel beyond them.
bool contourReaches(const OutlineContour &contour, int margin, int first, int last);

// One line of text shaped once, drawn many times with its top-left corner at (x, y) of a
// box as high as the font's ascent plus descent, in the painter's pen colour. The font's
// antialiasing choice holds for both kinds of glyph.
class HintedTextLine
{
public:
    // allOutlines takes every glyph, small ones too, as a hinted outline, for output that
    // keeps the line as a shape (vector files) instead of drawing it.
    HintedTextLine(const QString &text, const QFont &font, bool allOutlines = false);
    void draw(QPainter &painter, int x, int y) const;
    // draw() for the pixels of area (relative to the box's top-left corner) only: glyphs and
    // outline contours that cannot reach it are left out, so a line far longer than the
    // picture costs what its visible part costs. The pixels in area are draw()'s: glyphs
    // are drawn one by one, and a closed contour adds nothing to pixels beyond its columns.
    void draw(QPainter &painter, int x, int y, QRect area) const;
    // The part of draw() that fills the outlines, after the cached glyphs.
    void drawOutlines(QPainter &painter, int x, int y) const;
    // The outlines of the glyphs taken as outlines, relative to the box's top-left corner.
    const QPainterPath &outline() const { return outlines_; }
    // The glyph runs drawn from Qt's glyph cache, relative to the box's top-left corner.
    const QList<QGlyphRun> &cachedRuns() const { return cached_; }
    bool antialiased() const { return antialias_; }

private:
    QList<QGlyphRun> cached_;   // drawn from Qt's glyph cache
    QPainterPath outlines_;     // hinted outlines of the larger glyphs, with their decorations
    bool antialias_ = true;
};
