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
#include "core/HintedGlyphs.h"
#include "core/OutlineRounding.h"

#include <QImage>
#include <QRect>

#include <memory>
#include <vector>

class TextStamp
{
public:
    // at is where the line's top-left corner is drawn first (the stamp is then exact there).
    explicit TextStamp(const HintedTextLine &line, QPoint at = {});

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

private:
    // The covered pixels of one row of one pass: length pixels from x, with their coverage
    // at cover_[offset] (0 leaves a pixel as it is).
    struct Run { int y, x, length; qsizetype offset; };

    enum class Collected { Done, Grow, NotStampable };
    // Rasterises every drawing step of the line into passes of coverage; margin is the
    // room left around each glyph's bounds.
    Collected collect(const HintedTextLine &line, int margin);
    // Takes one step's coverage out of scratch (clearing it there) into the first pass that
    // has no coverage yet at each pixel.
    // corner is where the box's top-left pixel lies on scratch.
    Collected addPiece(QImage &scratch, QRect region, QPoint corner, std::vector<std::vector<uchar>> &passes) const;
    void makeRuns(const std::vector<std::vector<uchar>> &passes);
    // Whether the coverage kept is what QPainter gives the line at (x, y) on a picture.
    bool exactAt(int x, int y) const;
    // drawShape() for a line whose coverage is not kept: QPainter draws it on a scratch band.
    void drawShapeByQPainter(QImage &image, int x, int y, QRgb color) const;

    HintedTextLine line_;
    QRect box_;                // relative to the line's top-left corner
    QPoint origin_;            // where the line's top-left corner was when rasterised
    OutlineRounding rounding_; // of the outline's points
    std::vector<Run> runs_;    // in blending order
    std::vector<uchar> cover_;
    bool stamped_ = false;
};

// The stamp of text in font, made once and kept for the next drawings of the same line: a
// redraw draws every item again, and usually few of them have changed. The stamps used most
// recently are kept, up to a bound on their memory. A new stamp is made for drawing at.
std::shared_ptr<const TextStamp> stampFor(const QString &text, const QFont &font, QPoint at = {});
