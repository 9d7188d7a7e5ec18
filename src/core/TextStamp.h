#pragma once
// A line of text rasterised once and blended many times.
//
// A 3D item draws the same line up to 51 times, each copy shifted by whole pixels. QPainter
// would rasterise the glyph outlines (or look up and blend the cached glyphs) for every
// copy; the stamp keeps the coverage QPainter computes for the line and blends it at each
// offset with QPainter's own arithmetic, so the pixels are the same.
//
// QPainter blends a solid opaque colour c over a pixel d with coverage a as
// c·a + d·(255 − a) per channel, each product divided by 255 with rounding, and stores c
// itself where a is 255. A path fill blends every pixel once. Glyphs from the glyph cache
// are blended one after the other, so a pixel that two glyphs reach is blended twice; the
// stamp keeps such a pixel's second coverage in a later pass and blends it in the same
// order. Coverage does not change when a line moves by whole pixels, except where Qt rounds
// an outline point differently at the new place (see OutlineRounding) or the point lies
// left of or above the picture's origin; clipping at the right and bottom edges only leaves
// pixels out. Copies at such places are drawn by QPainter.
//
// A line may be far longer than any picture. Only the part of it that a drawing can put on
// the picture (its reach) is rasterised and kept, so the stamp's memory and time grow with
// the picture, not with the text; a copy that needs more of the line than was kept is
// drawn by QPainter.
#include "core/HintedGlyphs.h"
#include "core/OutlineRounding.h"

#include <QImage>
#include <QRect>

#include <memory>
#include <vector>

class TextStamp
{
public:
    // at is where the line's top-left corner is drawn first (the stamp is then exact there);
    // reach is the part of the line, relative to its top-left corner, whose coverage is
    // kept (a null rectangle keeps the whole line).
    explicit TextStamp(const HintedTextLine &line, QPoint at = {}, QRect reach = {});

    // Draws the line with the top-left corner of its box at (x, y) in color (opaque, as
    // 0xAARRGGBB) on a Format_RGB32 or Format_ARGB32_Premultiplied image: the pixels
    // HintedTextLine::draw gives with a QPainter whose pen has that colour.
    void draw(QImage &image, int x, int y, QRgb color) const;

    // Sets every pixel the line touches at all (any coverage at that place) to color, with
    // the top-left corner of its box at (x, y): the line's own letter shapes, hard-edged.
    void drawShape(QImage &image, int x, int y, QRgb color) const;

    // Whether the coverage is kept (the line is then drawn without QPainter). Lines whose
    // blending QPainter does differently (subpixel or gamma-corrected glyphs, decorations
    // drawn by the glyph cache) are drawn by QPainter instead.
    bool stamped() const { return stamped_; }
    // Memory the stamp holds.
    qsizetype bytes() const;
    // Whether the stamp holds all of reach (relative to the line's top-left corner) that it
    // can draw without QPainter.
    bool covers(QRect reach) const;
    // Where the line was rasterised; a stamp made there again rounds its outline alike.
    QPoint origin() const { return origin_; }
    // The kept part of the line, relative to its top-left corner.
    QRect kept() const { return kept_; }

private:
    // The covered pixels of one row of one pass: length pixels from x, with their coverage
    // at cover_[offset] (0 leaves a pixel as it is).
    struct Run { int y, x, length; qsizetype offset; };

    enum class Collected { Done, Grow, NotStampable };
    // Rasterises every drawing step of the line into passes of coverage; margin is the
    // room left around each glyph's bounds.
    Collected collect(const HintedTextLine &line, int margin, QRect reach);
    // The part of reach (a null one: the whole line) that a stamp can draw: nothing when it
    // leaves out the box's left or top edge, because the line is then drawn by QPainter
    // wherever it needs those pixels.
    QRect usable(QRect reach) const;
    // Takes one step's coverage out of scratch (clearing it there) into the first pass that
    // has no coverage yet at each pixel; only the kept part of region is taken.
    // corner is where the kept part's top-left pixel lies on scratch.
    Collected addPiece(QImage &scratch, QRect region, QPoint corner, std::vector<std::vector<uchar>> &passes) const;
    void makeRuns(const std::vector<std::vector<uchar>> &passes);
    // Whether the coverage kept is what QPainter gives the line at (x, y) on image.
    bool exactAt(const QImage &image, int x, int y) const;
    // drawShape() for a line whose coverage is not kept: QPainter draws it on a scratch band.
    void drawShapeByQPainter(QImage &image, int x, int y, QRgb color) const;

    HintedTextLine line_;
    QRect box_;                // relative to the line's top-left corner
    QRect kept_;               // the part of box_ whose coverage is kept
    QPoint origin_;            // where the line's top-left corner was when rasterised
    OutlineRounding rounding_; // of the outline's points
    std::vector<Run> runs_;    // in blending order
    std::vector<uchar> cover_;
    bool stamped_ = false;
};

// The stamp of text in font, made once and kept for the next drawings of the same line: a
// redraw draws every item again, and usually few of them have changed. The stamps used most
// recently are kept, up to a bound on their memory. A new stamp is made for drawing at, and
// keeps reach (relative to the line's top-left corner; null: the whole line); a kept stamp
// that lacks part of reach is made again where it was made, keeping its own part too.
std::shared_ptr<const TextStamp> stampFor(const QString &text, const QFont &font, QPoint at = {}, QRect reach = {});
// The part of a line drawn with its top-left corner at each of first, first + step, ...,
// first + count · step that can reach a picture of size.
QRect stampReach(QSize size, QPoint first, QPoint step, int count);
