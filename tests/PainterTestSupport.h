#pragma once
// Helpers for the painter tests: an item, a layer set of a given size, and a reference
// drawing of text copies made with plain QPainter text output.
#include "compose/TextPainter.h"

#include <QFontMetrics>
#include <QPainter>

inline ItemAttributes makeItem(const QStringList &lines, int depth, int direction, TColor start = Colors::clYellow,
                               TColor end = Colors::clGreen)
{
    ItemAttributes a;
    a.lines = lines;
    a.depth = depth;
    a.direction = direction;
    a.startColor = start;
    a.endColor = end;
    return a;
}

struct TestLayers
{
    OwnedLayers owned;
    explicit TestLayers(int w = 400, int h = 300)
    {
        ResizeLayers(owned.layers, w, h);
        InitPics(owned.layers);
        owned.layers.titleFont = CanvasFont{QStringLiteral("Arial"), 48, 0, 0};
        owned.layers.maskFont = owned.layers.titleFont;
    }
    PictureLayers &layers() { return owned.layers; }
    Raster &picture() { return owned.title.picture; }
};

// Draws text with its top-left corner at (x, y) in the canvas font, the way any program
// would with QPainter's text output.
inline void referenceText(QImage &img, const CanvasFont &font, const QString &text, int x, int y, TColor color,
                          bool antialias = true)
{
    QPainter p(&img);
    const QFont f = toQFont(font, antialias);
    p.setFont(f);
    p.setPen(toQColor(color));
    p.drawText(x, y + QFontMetrics(f).ascent(), text);
}

// The bounding box of all pixels that differ from white.
inline QRect inkBox(const Raster &r)
{
    QRect box;
    for (int y = 0; y < r.height(); ++y)
        for (int x = 0; x < r.width(); ++x)
            if (r.pixel(x, y) != Colors::clWhite)
                box |= QRect(x, y, 1, 1);
    return box;
}

// Pixels where the two pictures differ.
inline int differingPixels(const QImage &a, const QImage &b)
{
    int n = 0;
    for (int y = 0; y < qMin(a.height(), b.height()); ++y)
        for (int x = 0; x < qMin(a.width(), b.width()); ++x)
            if ((a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF))
                ++n;
    return n;
}
