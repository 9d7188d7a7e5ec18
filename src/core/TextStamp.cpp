#include "core/TextStamp.h"

#include "core/CoverageBlend.h"

#include <QPainter>
#include <QRawFont>

#include <QMutex>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <list>
#include <unordered_map>


namespace {

constexpr int FirstMargin = 2, LastMargin = 32;
// Runs are padded to whole groups of CoverageGroup pixels; uncovered stretches of SplitGap
// pixels or more are left out, shorter ones are blended through.
constexpr int Group = CoverageGroup, SplitGap = 32;

// Fonts whose glyphs Qt blends with gamma correction (the CFF outlines FreeType darkens).
bool gammaBlended(const QRawFont &font)
{
    return !font.fontTable("CFF ").isEmpty() || !font.fontTable("CFF2").isEmpty();
}

QGlyphRun oneGlyph(const QGlyphRun &run, qsizetype i)
{
    QGlyphRun g;
    g.setRawFont(run.rawFont());
    g.setGlyphIndexes({run.glyphIndexes()[i]});
    g.setPositions({run.positions()[i]});
    g.setFlags(run.flags());
    return g;
}

// The outline's contours in groups that share no pixel column, each filled like the whole
// outline. Qt's rasteriser gives a pixel the same coverage whether its group is filled
// alone or with the rest of the line (a closed contour adds nothing to the pixels of a row
// beyond it), but its cost grows with the square of the edges a pixel row crosses: a line
// filled glyph by glyph costs a fraction of the line filled at once. For the same reason
// contours whose columns, widened by margin, lie wholly outside [first, last] are left out:
// they put no pixel there.
std::vector<QPainterPath> separateColumns(const QPainterPath &outline, int margin, int first, int last)
{
    // The contours' elements and columns first, so that a left-out contour costs no copy.
    std::vector<OutlineContour> contours = outlineContours(outline);
    contours.erase(std::remove_if(contours.begin(), contours.end(),
                                  [&](const OutlineContour &c) { return !contourReaches(c, margin, first, last); }),
                   contours.end());
    // Contours whose columns (widened by a pixel for the rounding of their points) meet
    // are filled together; the others in the order of their left edges.
    std::stable_sort(contours.begin(), contours.end(),
                     [](const OutlineContour &a, const OutlineContour &b) { return a.left < b.left; });
    std::vector<QPainterPath> groups;
    qreal reach = 0;
    for (const OutlineContour &c : contours) {
        if (groups.empty() || std::floor(c.left) - 1 > reach) {
            groups.push_back(contourPath(outline, c));
            reach = std::ceil(c.right) + 1;
            continue;
        }
        groups.back().addPath(contourPath(outline, c));
        reach = std::max(reach, std::ceil(c.right) + 1);
    }
    return groups;
}

// One drawing step of the line: a glyph of a cached run (run, glyph) or, with run
// negative, the group of outline contours outline; region is where it may put pixels, in
// the line's coordinates.
struct Piece { QRect region; qsizetype run = -1, glyph = 0; QPainterPath outline = {}; };

} // namespace

TextStamp::TextStamp(const HintedTextLine &line, QPoint at, QRect reach)
    : line_(line), origin_(at), rounding_(line.outline())
{
    Collected collected = Collected::Grow;
    for (int margin = FirstMargin; margin <= LastMargin && collected == Collected::Grow; margin *= 2) {
        runs_.clear();
        cover_.clear();
        box_ = QRect();
        kept_ = QRect();
        collected = collect(line, margin, reach);
    }
    stamped_ = collected == Collected::Done;
    if (stamped_) {
        runs_.shrink_to_fit();
        cover_.shrink_to_fit();
    } else {
        runs_ = {};
        cover_ = {};
    }
}

QRect TextStamp::usable(QRect reach) const
{
    if (reach.isNull())
        return box_;
    const QRect part = box_ & reach;
    if (part.isEmpty() || part.left() > box_.left() || part.top() > box_.top())
        return {};
    return part;
}

bool TextStamp::covers(QRect reach) const
{
    const QRect part = usable(reach);
    return part.isEmpty() || kept_.contains(part);
}

TextStamp::Collected TextStamp::collect(const HintedTextLine &line, int margin, QRect reach)
{
    // The line's whole box, as the union of the pieces' regions below would make it.
    const QList<QGlyphRun> &runs = line.cachedRuns();
    for (const QGlyphRun &run : runs) {
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i)
            box_ |= run.rawFont().boundingRect(glyphs[i]).translated(positions[i]).toAlignedRect().adjusted(-margin, -margin, margin, margin);
    }
    if (line.outline().elementCount() > 0)
        box_ |= line.outline().controlPointRect().toAlignedRect().adjusted(-margin, -margin, margin, margin);
    kept_ = usable(reach);

    std::vector<Piece> pieces;
    for (qsizetype r = 0; r < runs.size(); ++r) {
        const QGlyphRun &run = runs[r];
        // The cache draws a run's decorations across all of its glyphs at once.
        if (run.underline() || run.overline() || run.strikeOut() || gammaBlended(run.rawFont()))
            return Collected::NotStampable;
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i) {
            const QRectF bounds = run.rawFont().boundingRect(glyphs[i]).translated(positions[i]);
            const QRect region = bounds.toAlignedRect().adjusted(-margin, -margin, margin, margin);
            if (region.intersects(kept_))
                pieces.push_back({region, r, i});
        }
    }
    if (kept_.isEmpty())
        return Collected::Done;
    for (QPainterPath &group : separateColumns(line.outline(), margin, kept_.left(), kept_.right())) {
        const QRect region = group.controlPointRect().toAlignedRect().adjusted(-margin, -margin, margin, margin);
        if (region.intersects(kept_))
            pieces.push_back({region, -1, 0, std::move(group)});
    }

    // The line is rasterised where it is first drawn, so that Qt rounds its outline points
    // as it does there (see OutlineRounding), but never past the scratch's left or top edge.
    // Only the kept part is cleared and drawn on: the pixels of a large scratch outside it
    // are never touched, and a buffer that large is mapped as it is used.
    const QPoint origin(std::max(origin_.x(), -box_.left()), std::max(origin_.y(), -box_.top()));
    origin_ = origin;
    const QPoint corner = origin + kept_.topLeft();
    QImage scratch(corner.x() + kept_.width(), corner.y() + kept_.height(), QImage::Format_ARGB32_Premultiplied);
    if (scratch.isNull())
        return Collected::NotStampable;
    for (int y = corner.y(); y < scratch.height(); ++y)
        std::memset(scratch.scanLine(y) + qsizetype(corner.x()) * 4, 0, size_t(kept_.width()) * 4);
    std::vector<std::vector<uchar>> passes(1, std::vector<uchar>(size_t(kept_.width()) * size_t(kept_.height())));
    QPainter painter(&scratch);
    painter.setPen(Qt::white);
    painter.setRenderHint(QPainter::TextAntialiasing, line.antialiased());
    for (const Piece &p : pieces) {
        const QRect region = p.region.translated(origin);
        if (p.run >= 0) {
            painter.setClipRect(region);
            painter.drawGlyphRun(origin, oneGlyph(runs[p.run], p.glyph));
        } else {
            // As HintedTextLine::drawOutlines fills the whole outline.
            painter.setClipping(false);
            painter.save();
            painter.setRenderHint(QPainter::Antialiasing, line.antialiased());
            painter.translate(origin);
            painter.fillPath(p.outline, painter.pen().color());
            painter.restore();
        }
        const Collected c = addPiece(scratch, region, corner, passes);
        if (c != Collected::Done)
            return c;
    }
    makeRuns(passes);
    return Collected::Done;
}

TextStamp::Collected TextStamp::addPiece(QImage &scratch, QRect region, QPoint corner,
                                         std::vector<std::vector<uchar>> &passes) const
{
    const QRect taken = region & QRect(corner, kept_.size());
    const int w = kept_.width();
    Collected result = Collected::Done;
    for (int y = taken.top(); y <= taken.bottom(); ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(scratch.scanLine(y));
        const bool edgeRow = y == region.top() || y == region.bottom();
        for (int x = taken.left(); x <= taken.right(); ++x) {
            const QRgb p = row[x];
            if (!p)
                continue;
            const uint a = qAlpha(p);
            // Drawn in white, a pixel holds its coverage in all four channels; anything else
            // is coverage per colour channel, which one byte cannot hold.
            if (uint(qRed(p)) != a || uint(qGreen(p)) != a || uint(qBlue(p)) != a)
                return Collected::NotStampable;
            // Coverage on the region's edge may go on beyond it.
            if (edgeRow || x == region.left() || x == region.right())
                result = Collected::Grow;
            const size_t at = size_t(y - corner.y()) * size_t(w) + size_t(x - corner.x());
            size_t pass = 0;
            while (pass < passes.size() && passes[pass][at])
                ++pass;
            if (pass == passes.size())
                passes.emplace_back(passes.front().size());
            passes[pass][at] = uchar(a);
        }
        std::memset(row + taken.left(), 0, size_t(taken.width()) * sizeof(QRgb));
    }
    return result;
}

void TextStamp::makeRuns(const std::vector<std::vector<uchar>> &passes)
{
    const int w = kept_.width(), h = kept_.height();
    for (const std::vector<uchar> &pass : passes)
        for (int y = 0; y < h; ++y) {
            const uchar *row = pass.data() + size_t(y) * size_t(w), *end = row + w;
            const auto covered = [](uchar c) { return c != 0; };
            for (const uchar *first = std::find_if(row, end, covered); first != end;) {
                // A run ends before a gap of at least SplitGap uncovered pixels.
                const uchar *last = first + 1;
                for (const uchar *p = last; p != end && p - last < SplitGap; ++p)
                    if (*p)
                        last = p + 1;
                // Zero coverage leaves a pixel as it is, so it pads the run to whole groups.
                const int length = int(last - first), padded = (length + Group - 1) / Group * Group;
                runs_.push_back({y + kept_.top(), int(first - row) + kept_.left(), padded, qsizetype(cover_.size())});
                cover_.insert(cover_.end(), first, last);
                cover_.resize(cover_.size() + size_t(padded - length), 0);
                first = std::find_if(last, end, covered);
            }
        }
}

bool TextStamp::exactAt(const QImage &image, int x, int y) const
{
    if (!stamped_ || x + box_.left() < 0 || y + box_.top() < 0 || !rounding_.sameAt(origin_, {x, y}))
        return false;
    // The part of the line that lands on the image must have been kept.
    const QRect needed = box_ & QRect(-x, -y, image.width(), image.height());
    return needed.isEmpty() || kept_.contains(needed);
}

void TextStamp::draw(QImage &image, int x, int y, QRgb color) const
{
    if (!exactAt(image, x, y)) {
        QPainter painter(&image);
        painter.setPen(QColor::fromRgba(color));
        painter.setRenderHint(QPainter::TextAntialiasing, line_.antialiased());
        line_.draw(painter, x, y, QRect(-x, -y, image.width(), image.height()));
        return;
    }
    if (runs_.empty())
        return;
    const int width = image.width(), height = image.height();
    const qsizetype stride = image.bytesPerLine();
    uchar *bits = image.bits();
    for (const Run &run : runs_) {
        const int ty = y + run.y;
        if (ty < 0 || ty >= height)
            continue;
        const int x0 = x + run.x, from = std::max(x0, 0), to = std::min(x0 + run.length, width);
        if (from >= to)
            continue;
        QRgb *dst = reinterpret_cast<QRgb *>(bits + ty * stride);
        blendCoverageRow(dst + from, cover_.data() + run.offset + (from - x0), to - from, color);
    }
}

void TextStamp::drawShape(QImage &image, int x, int y, QRgb color) const
{
    if (!exactAt(image, x, y)) {
        drawShapeByQPainter(image, x, y, color);
        return;
    }
    const int width = image.width(), height = image.height();
    for (const Run &run : runs_) {
        const int ty = y + run.y;
        if (ty < 0 || ty >= height)
            continue;
        const int x0 = x + run.x, from = std::max(x0, 0), to = std::min(x0 + run.length, width);
        QRgb *dst = reinterpret_cast<QRgb *>(image.scanLine(ty));
        const uchar *cover = cover_.data() + run.offset - x0;
        for (int i = from; i < to; ++i)
            if (cover[i])
                dst[i] = color;
    }
}

void TextStamp::drawShapeByQPainter(QImage &image, int x, int y, QRgb color) const
{
    // The rows the line can reach, with room for the glyph cache's decorations.
    QRectF bounds = line_.outline().boundingRect();
    for (const QGlyphRun &run : line_.cachedRuns())
        bounds |= run.boundingRect();
    const int room = 2 + int(bounds.height()) / 4;
    const int top = std::max(0, y + int(std::floor(bounds.top())) - room);
    const int bottom = std::min(image.height(), y + int(std::ceil(bounds.bottom())) + room);
    if (bottom <= top)
        return;
    QImage band(image.width(), bottom - top, QImage::Format_ARGB32_Premultiplied);
    if (band.isNull())
        return;
    band.fill(0);
    {
        QPainter painter(&band);
        painter.setPen(Qt::white);
        painter.setRenderHint(QPainter::TextAntialiasing, line_.antialiased());
        line_.draw(painter, x, y - top, QRect(-x, top - y, band.width(), band.height()));
    }
    for (int row = 0; row < band.height(); ++row) {
        const QRgb *from = reinterpret_cast<const QRgb *>(band.constScanLine(row));
        QRgb *dst = reinterpret_cast<QRgb *>(image.scanLine(top + row));
        for (int i = 0; i < band.width(); ++i)
            if (from[i])
                dst[i] = color;
    }
}

qsizetype TextStamp::bytes() const
{
    return qsizetype(sizeof *this + runs_.capacity() * sizeof(Run) + cover_.capacity()) +
           line_.outline().elementCount() * qsizetype(sizeof(QPainterPath::Element));
}

namespace {

constexpr qsizetype StampCacheBytes = qsizetype(64) << 20;

// Everything of the font that changes how its text is drawn, and the text.
QString stampKey(const QString &text, const QFont &font)
{
    return font.toString() + QLatin1Char('|') + QString::number(int(font.hintingPreference())) +
           QLatin1Char(font.kerning() ? 'k' : '-') + QLatin1Char('|') + text;
}

struct StampCache
{
    QMutex mutex;
    std::list<std::pair<QString, std::shared_ptr<const TextStamp>>> recent; // most recent first
    std::unordered_map<QString, decltype(recent)::iterator> byKey;
    qsizetype bytes = 0;
};

StampCache &stampCache()
{
    static StampCache cache;
    return cache;
}

} // namespace

std::shared_ptr<const TextStamp> stampFor(const QString &text, const QFont &font, QPoint at, QRect reach)
{
    StampCache &cache = stampCache();
    const QString key = stampKey(text, font);
    std::shared_ptr<const TextStamp> kept;
    {
        const QMutexLocker lock(&cache.mutex);
        if (const auto found = cache.byKey.find(key); found != cache.byKey.end()) {
            cache.recent.splice(cache.recent.begin(), cache.recent, found->second);
            kept = found->second->second;
        }
    }
    if (kept && kept->covers(reach))
        return kept;
    if (kept) {
        // Made again where it was made, so it rounds as before, for its own part and reach.
        at = kept->origin();
        if (!reach.isNull() && !kept->kept().isEmpty())
            reach |= kept->kept();
    }
    auto stamp = std::make_shared<const TextStamp>(HintedTextLine(text, font), at, reach);
    const QMutexLocker lock(&cache.mutex);
    if (const auto found = cache.byKey.find(key); found != cache.byKey.end()) {
        cache.bytes -= found->second->second->bytes();
        cache.recent.erase(found->second);
        cache.byKey.erase(found);
    }
    cache.recent.emplace_front(key, stamp);
    cache.byKey.emplace(key, cache.recent.begin());
    cache.bytes += stamp->bytes();
    while (cache.bytes > StampCacheBytes && cache.recent.size() > 1) {
        cache.bytes -= cache.recent.back().second->bytes();
        cache.byKey.erase(cache.recent.back().first);
        cache.recent.pop_back();
    }
    return stamp;
}

QRect stampReach(QSize size, QPoint first, QPoint step, int count)
{
    const QPoint last = first + step * count;
    return QRect(-first, size) | QRect(-last, size);
}
