#include "core/HintedGlyphs.h"

#include <QByteArray>
#include <QFontMetricsF>
#include <QHash>
#include <QMutex>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {
constexpr qreal Same = 1e-3;            // coordinates closer than this are one
constexpr qreal DistinctEdges = 1.0 / 3; // edges further apart than this stay apart

constexpr int MaxKeptOutlines = 4096;

// Hinted glyph outlines by font and glyph: taking an outline from the font runs its hinting
// program, which costs more than drawing the glyph from its outline a few times.
struct OutlineCache
{
    QMutex mutex;
    QHash<QString, QPainterPath> outlines;
};

OutlineCache &outlineCache()
{
    static OutlineCache cache;
    return cache;
}

QString outlineKey(const QRawFont &font, quint32 glyph)
{
    return font.familyName() + QLatin1Char('|') + font.styleName() + QLatin1Char('|') +
           QString::number(font.pixelSize()) + QLatin1Char('|') + QString::number(font.weight()) + QLatin1Char('|') +
           QString::number(int(font.style())) + QLatin1Char('|') + QString::number(int(font.hintingPreference())) +
           QLatin1Char('|') + QString::number(glyph);
}

// Qt's FreeType engine leaves the sub-pixel offset of the glyph it last rendered set on
// the face that every size of the font shares, and outlines taken afterwards are moved by
// it: the same text would come out a fraction of a pixel apart depending on what was drawn
// before. Rendering one glyph at offset 0 on an engine of its own (a fresh copy, so the
// glyph cannot come from a cache) sets the face's offset back to 0.
void clearSubpixelOffset(const QRawFont &font, quint32 glyph)
{
    QRawFont fresh = font;
    fresh.setPixelSize(1);
    (void)fresh.alphaMapForGlyph(glyph, QRawFont::PixelAntialiasing);
}

// The glyph's hinted outline at the origin; fresh tells whether the face's sub-pixel offset
// has been cleared for this run already.
QPainterPath hintedGlyph(const QRawFont &font, quint32 glyph, bool &fresh)
{
    OutlineCache &cache = outlineCache();
    const QString key = outlineKey(font, glyph);
    {
        const QMutexLocker lock(&cache.mutex);
        if (const auto found = cache.outlines.constFind(key); found != cache.outlines.constEnd())
            return *found;
    }
    if (!fresh) {
        clearSubpixelOffset(font, glyph);
        fresh = true;
    }
    const QPainterPath path = hintVertically(font.pathForGlyph(glyph));
    const QMutexLocker lock(&cache.mutex);
    if (cache.outlines.size() >= MaxKeptOutlines)
        cache.outlines.clear();
    cache.outlines.insert(key, path);
    return path;
}

// Underline, overline and strike-out of a run drawn as outlines, on whole pixel rows.
void addDecorations(QPainterPath &path, const QGlyphRun &run, const QFont &font, qreal baseline)
{
    if (!run.underline() && !run.overline() && !run.strikeOut())
        return;
    const QFontMetricsF fm(font);
    const qreal thickness = std::max<qreal>(1, std::round(fm.lineWidth()));
    const QRectF box = run.boundingRect();
    const qreal y = std::round(baseline);
    auto bar = [&](qreal top) { path.addRect(QRectF(box.left(), top, box.width(), thickness)); };
    if (run.underline())
        bar(y + std::round(fm.underlinePos()));
    if (run.overline())
        bar(y - std::round(fm.overlinePos()));
    if (run.strikeOut())
        bar(y - std::round(fm.strikeOutPos()));
}
} // namespace

void useHintedGlyphsAtEverySize() { qputenv("QT_MAX_CACHED_GLYPH_SIZE", QByteArray::number(CachedGlyphPixels)); }

VerticalHints::VerticalHints(QList<qreal> edges)
{
    std::sort(edges.begin(), edges.end());
    for (qreal e : edges) {
        if (!from_.isEmpty() && e - from_.last() < Same)
            continue;
        qreal t = std::round(e);
        if (!to_.isEmpty() && t <= to_.last())
            t = e - from_.last() > DistinctEdges ? to_.last() + 1 : to_.last();
        from_ << e;
        to_ << t;
    }
}

qreal VerticalHints::map(qreal y) const
{
    if (from_.isEmpty())
        return y;
    if (y <= from_.first())
        return y + to_.first() - from_.first();
    if (y >= from_.last())
        return y + to_.last() - from_.last();
    const qsizetype b = std::upper_bound(from_.begin(), from_.end(), y) - from_.begin();
    const qsizetype a = b - 1;
    return to_[a] + (y - from_[a]) * (to_[b] - to_[a]) / (from_[b] - from_[a]);
}

QList<qreal> horizontalEdges(const QPainterPath &outline)
{
    QList<qreal> edges;
    QPointF current;
    for (int i = 0; i < outline.elementCount(); ++i) {
        const QPainterPath::Element e = outline.elementAt(i);
        if (e.isLineTo() && std::abs(e.y - current.y()) < Same && std::abs(e.x - current.x()) > Same)
            edges << e.y;
        if (e.isCurveTo() && i + 2 < outline.elementCount()) {
            // A curve that starts or ends flat has its top or bottom there.
            const QPainterPath::Element c2 = outline.elementAt(i + 1), end = outline.elementAt(i + 2);
            if (std::abs(e.y - current.y()) < Same)
                edges << current.y();
            if (std::abs(c2.y - end.y) < Same)
                edges << end.y;
            current = QPointF(end.x, end.y);
            i += 2;
            continue;
        }
        current = QPointF(e.x, e.y);
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end(), [](qreal kept, qreal e) { return e - kept < Same; }), edges.end());
    return edges;
}

QPainterPath hintVertically(const QPainterPath &outline)
{
    const VerticalHints hints(horizontalEdges(outline));
    QPainterPath hinted = outline;
    for (int i = 0; i < hinted.elementCount(); ++i) {
        const QPainterPath::Element e = hinted.elementAt(i);
        hinted.setElementPositionAt(i, e.x, hints.map(e.y));
    }
    return hinted;
}

HintedTextLine::HintedTextLine(const QString &text, const QFont &font, bool allOutlines)
    : antialias_(!(font.styleStrategy() & QFont::NoAntialias))
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setPosition(QPointF(0, 0));
    layout.endLayout();
    if (!line.isValid())
        return;
    // Glyph runs lie at the line's baseline; move them so (0, 0) is the top-left corner of a
    // box as high as the font's ascent plus descent, with the baseline on a whole pixel.
    const qreal shift = std::round(QFontMetricsF(font).ascent()) - line.ascent();
    for (QGlyphRun run : layout.glyphRuns()) {
        QList<QPointF> positions = run.positions();
        for (QPointF &pt : positions)
            pt.ry() += shift;
        run.setPositions(positions);
        const QRawFont raw = run.rawFont();
        if (!allOutlines && raw.pixelSize() <= CachedGlyphPixels) {
            cached_ << run;
            continue;
        }
        const QList<quint32> glyphs = run.glyphIndexes();
        bool fresh = false;
        // A hinted glyph's baseline lies on the run's baseline, on a whole pixel.
        for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i)
            outlines_.addPath(hintedGlyph(raw, glyphs[i], fresh).translated(positions[i].x(), std::round(positions[i].y())));
        addDecorations(outlines_, run, font, line.ascent() + shift);
    }
    outlines_.setFillRule(Qt::WindingFill);
}

void HintedTextLine::draw(QPainter &painter, int x, int y) const
{
    for (const QGlyphRun &run : cached_)
        painter.drawGlyphRun(QPointF(x, y), run);
    drawOutlines(painter, x, y);
}

std::vector<OutlineContour> outlineContours(const QPainterPath &outline)
{
    std::vector<OutlineContour> contours;
    for (int i = 0; i < outline.elementCount(); ++i) {
        const QPainterPath::Element e = outline.elementAt(i);
        if (e.isMoveTo() || contours.empty()) {
            contours.push_back({i, i + 1, e.x, e.x});
            continue;
        }
        OutlineContour &c = contours.back();
        const int count = e.isCurveTo() && i + 2 < outline.elementCount() ? 3 : 1;
        for (int k = i; k < i + count; ++k) {
            c.left = std::min(c.left, outline.elementAt(k).x);
            c.right = std::max(c.right, outline.elementAt(k).x);
        }
        i += count - 1;
        c.end = i + 1;
    }
    return contours;
}

QPainterPath contourPath(const QPainterPath &outline, const OutlineContour &contour)
{
    QPainterPath path(QPointF(outline.elementAt(contour.begin).x, outline.elementAt(contour.begin).y));
    path.setFillRule(outline.fillRule());
    for (int i = contour.begin + 1; i < contour.end; ++i) {
        const QPainterPath::Element e = outline.elementAt(i);
        if (e.isCurveTo() && i + 2 < contour.end) {
            const QPainterPath::Element c2 = outline.elementAt(i + 1), to = outline.elementAt(i + 2);
            path.cubicTo(e.x, e.y, c2.x, c2.y, to.x, to.y);
            i += 2;
        } else {
            path.lineTo(e.x, e.y);
        }
    }
    return path;
}

bool contourReaches(const OutlineContour &contour, int margin, int first, int last)
{
    return std::ceil(contour.right) + margin >= first && std::floor(contour.left) - margin <= last;
}

namespace {

// Room around a glyph's design bounds for what hinting and rasterising add.
int glyphRoom(const QRawFont &font) { return 2 + int(font.pixelSize()) / 4; }

// The glyphs of run that can reach the columns first to last, in their order; runs with
// decorations (drawn across the whole run) stay whole.
QGlyphRun glyphsReaching(const QGlyphRun &run, int first, int last)
{
    if (run.underline() || run.overline() || run.strikeOut())
        return run;
    const QRawFont font = run.rawFont();
    const int room = glyphRoom(font);
    const QList<quint32> glyphs = run.glyphIndexes();
    const QList<QPointF> positions = run.positions();
    QList<quint32> keptGlyphs;
    QList<QPointF> keptPositions;
    for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i) {
        const QRectF b = font.boundingRect(glyphs[i]).translated(positions[i]);
        if (std::floor(b.left()) - room <= last && std::ceil(b.right()) + room >= first) {
            keptGlyphs << glyphs[i];
            keptPositions << positions[i];
        }
    }
    QGlyphRun part = run;
    part.setGlyphIndexes(keptGlyphs);
    part.setPositions(keptPositions);
    return part;
}

} // namespace

void HintedTextLine::draw(QPainter &painter, int x, int y, QRect area) const
{
    for (const QGlyphRun &run : cached_)
        painter.drawGlyphRun(QPointF(x, y), glyphsReaching(run, area.left(), area.right()));
    if (outlines_.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, antialias_);
    painter.translate(x, y);
    QPainterPath part;
    part.setFillRule(outlines_.fillRule());
    for (const OutlineContour &c : outlineContours(outlines_))
        if (contourReaches(c, 2, area.left(), area.right()))
            part.addPath(contourPath(outlines_, c));
    painter.fillPath(part, painter.pen().color());
    painter.restore();
}

void HintedTextLine::drawOutlines(QPainter &painter, int x, int y) const
{
    if (outlines_.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, antialias_);
    painter.translate(x, y);
    painter.fillPath(outlines_, painter.pen().color());
    painter.restore();
}
