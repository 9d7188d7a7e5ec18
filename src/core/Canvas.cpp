#include "core/Canvas.h"

#include <QFontMetrics>

#include <algorithm>
#include <cmath>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <functional>
#include <map>
#include <tuple>
#include <iterator>

int fontPixelSize(int points)
{
    const int n = points * 96;
    return n >= 0 ? (n + 36) / 72 : -((-n + 36) / 72);
}

QFont toQFont(const CanvasFont &f, bool antialias)
{
    QFont font(f.name);
    font.setPixelSize(qMax(1, qAbs(fontPixelSize(f.size))));
    setFontStyleSet(font, f.style);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferVerticalHinting);
    font.setStyleStrategy(antialias ? QFont::PreferAntialias : QFont::NoAntialias);
    return font;
}

int fontStyleSet(const QFont &font)
{
    return (font.bold() ? 1 : 0) | (font.italic() ? 2 : 0) | (font.underline() ? 4 : 0) | (font.strikeOut() ? 8 : 0);
}

void setFontStyleSet(QFont &font, int styleSet)
{
    font.setBold(styleSet & 1);
    font.setItalic(styleSet & 2);
    font.setUnderline(styleSet & 4);
    font.setStrikeOut(styleSet & 8);
}

int TextWidth(const CanvasFont &font, const QString &text)
{
    return QFontMetrics(toQFont(font)).horizontalAdvance(text);
}

int TextHeight(const CanvasFont &font) { return QFontMetrics(toQFont(font)).height(); }

int MaxLineWidth(const CanvasFont &font, const QStringList &lines)
{
    const QFontMetrics fm(toQFont(font));
    int w = 0;
    for (const QString &line : lines)
        w = qMax(w, fm.horizontalAdvance(line));
    return w;
}

// ----- Lines and ellipses -----

namespace {

// A run of pixels of one row, both ends included, and its colour.
struct Piece
{
    int left;
    int right;
    QRgb color;
};

// Rounding for coordinates well inside the int range, without a library call.
int floorToInt(double v)
{
    const int i = int(v);
    return i > v ? i - 1 : i;
}
int ceilToInt(double v)
{
    const int i = int(v);
    return i < v ? i + 1 : i;
}

// The square root of a value that is never negative (the row lies inside the box),
// without the error handling a negative argument would need.
double rootOfPositive(double v)
{
#ifdef __SSE2__
    return _mm_cvtsd_f64(_mm_sqrt_sd(_mm_setzero_pd(), _mm_set_sd(v)));
#else
    return std::sqrt(std::max(0.0, v));
#endif
}

// The ellipse inscribed in a box [x1, x2) x [y1, y2), ready to give the run of pixels
// whose centres lie inside it on any row.
struct EllipseRows
{
    // The run of a row is computed relative to the box's corner and then moved there, so
    // that boxes of one size give the same runs wherever they lie.
    double cx = 0, cy = 0, rx = 0, invRy = 0;
    int left = 0;
    int top = 0, bottom = -1; // rows, both included; none when top > bottom

    EllipseRows() = default;
    EllipseRows(int x1, int y1, int x2, int y2)
    {
        if (x2 <= x1 || y2 <= y1)
            return;
        cx = rx = (double(x2) - x1) / 2;
        cy = (double(y2) - y1) / 2;
        invRy = 2 / (double(y2) - y1);
        left = x1;
        top = y1;
        bottom = y2 - 1;
    }
    bool span(int y, int &runLeft, int &runRight) const
    {
        if (y < top || y > bottom) {
            runLeft = 1, runRight = 0;
            return false;
        }
        const double dy = (y - top + 0.5 - cy) * invRy;
        const double hx = rx * rootOfPositive(1 - dy * dy);
        runLeft = left + ceilToInt(cx - hx - 0.5);
        runRight = left + floorToInt(cx + hx - 0.5);
        return runLeft <= runRight;
    }
};

// The runs of one ellipse call on one row; a run whose left is past its right is empty.
struct RowSpans
{
    int outerLeft = 1, outerRight = 0, innerLeft = 1, innerRight = 0;

    RowSpans movedBy(int dx) const { return {outerLeft + dx, outerRight + dx, innerLeft + dx, innerRight + dx}; }
};

// An ellipse call as its outline ellipse (the box grown by the pen's square) and the
// inner ellipse the brush fills.
struct PreparedEllipse
{
    explicit PreparedEllipse(const EllipseCall &e) : call(&e)
    {
        const int o = e.penWidth / 2, after = e.penWidth - 1 - o;
        outer = EllipseRows(e.x1 - o, e.y1 - o, e.x2 + after, e.y2 + after);
        oneColour = e.filled && e.pen == e.brush;
        if (!oneColour)
            inner = EllipseRows(e.x1 + e.penWidth - o, e.y1 + e.penWidth - o, e.x2 - 1 - o, e.y2 - 1 - o);
    }
    // The outline's run on row y (a row the outline covers) and the brush's, if any.
    RowSpans spans(int y) const
    {
        if (table)
            return table[y - outer.top].movedBy(outer.left);
        RowSpans r;
        outer.span(y, r.outerLeft, r.outerRight);
        if (oneColour || !inner.span(y, r.innerLeft, r.innerRight))
            r.innerLeft = 1, r.innerRight = 0;
        return r;
    }
    // The runs of every row of a call of this shape with its outline's corner at (0, 0).
    std::vector<RowSpans> shapeRows() const
    {
        EllipseCall atCorner = *call;
        const int dx = -outer.left, dy = -outer.top;
        atCorner.x1 += dx, atCorner.x2 += dx, atCorner.y1 += dy, atCorner.y2 += dy;
        const PreparedEllipse p(atCorner);
        std::vector<RowSpans> rows(size_t(outer.bottom - outer.top + 1));
        for (size_t y = 0; y < rows.size(); ++y)
            rows[y] = p.spans(int(y));
        return rows;
    }
    // A row's runs as up to three pieces: pen, brush, pen.
    int rowPieces(const RowSpans &s, Piece out[3]) const
    {
        if (s.outerLeft > s.outerRight)
            return 0;
        if (s.innerLeft > s.innerRight) {
            out[0] = {s.outerLeft, s.outerRight, call->pen};
            return 1;
        }
        const int il = std::max(s.innerLeft, s.outerLeft), ir = std::min(s.innerRight, s.outerRight);
        int n = 0;
        if (il > s.outerLeft)
            out[n++] = {s.outerLeft, il - 1, call->pen};
        if (call->filled)
            out[n++] = {il, ir, call->brush};
        if (s.outerRight > ir)
            out[n++] = {ir + 1, s.outerRight, call->pen};
        return n;
    }

    const EllipseCall *call;
    EllipseRows outer, inner;
    bool oneColour = false;
    const RowSpans *table = nullptr; // the shared runs of its shape, relative to its corner
};

// Sorted, disjoint, non-touching runs of a row that later calls have painted.
using Covered = std::vector<std::pair<int, int>>;

// Paints the part of [l, r] that no covered run holds, then adds [l, r] to the runs.
void paintUncovered(QRgb *line, Covered &covered, int l, int r, QRgb c)
{
    const size_t n = covered.size();
    // Rows of nested ellipses keep one run that grows on both sides.
    if (n == 1 && l <= covered[0].first && r >= covered[0].second) {
        for (int x = l; x < covered[0].first; ++x)
            line[x] = c;
        for (int x = covered[0].second + 1; x <= r; ++x)
            line[x] = c;
        covered[0] = {l, r};
        return;
    }
    size_t k = 0;
    while (k < n && covered[k].second < l - 1)
        ++k;
    // Touching no run: a run of its own.
    if (k == n || covered[k].first > r + 1) {
        std::fill(line + l, line + r + 1, c);
        covered.insert(covered.begin() + std::ptrdiff_t(k), {l, r});
        return;
    }
    if (covered[k].first <= l && covered[k].second >= r)
        return; // wholly covered already
    // Paint the gaps between the runs it touches and merge them into run k.
    int x = l;
    const int left = std::min(l, covered[k].first);
    int right = r;
    size_t j = k;
    for (; j < n && covered[j].first <= r + 1; ++j) {
        if (covered[j].first > x)
            std::fill(line + x, line + std::min(covered[j].first, r + 1), c);
        x = std::max(x, covered[j].second + 1);
        right = std::max(right, covered[j].second);
    }
    if (x <= r)
        std::fill(line + x, line + r + 1, c);
    covered[k] = {left, right};
    if (j > k + 1)
        covered.erase(covered.begin() + std::ptrdiff_t(k + 1), covered.begin() + std::ptrdiff_t(j));
}

// Calls of one size and pen share one table of their rows' runs: a painter that stamps
// the same ellipse thousands of times computes its outline once. The caller keeps the
// returned tables while it draws the calls.
std::vector<std::vector<RowSpans>> shareShapeRows(std::vector<PreparedEllipse> &prepared, int pictureHeight)
{
    using Shape = std::tuple<int, int, int, bool>;
    std::map<Shape, std::vector<size_t>> users;
    for (size_t i = 0; i < prepared.size(); ++i) {
        const EllipseCall &e = *prepared[i].call;
        const int rows = prepared[i].outer.bottom - prepared[i].outer.top + 1;
        if (rows > 0 && rows <= 4 * pictureHeight + 64)
            users[{e.x2 - e.x1, e.y2 - e.y1, e.penWidth, prepared[i].oneColour}].push_back(i);
    }
    std::vector<std::vector<RowSpans>> tables;
    for (const auto &[shape, calls] : users) {
        if (calls.size() < 2)
            continue;
        tables.push_back(prepared[calls.front()].shapeRows());
        for (size_t i : calls)
            prepared[i].table = tables.back().data();
    }
    return tables;
}

} // namespace

void Canvas::fillRect(int x0, int y0, int x1, int y1, QRgb c)
{
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, image_.width() - 1);
    y1 = std::min(y1, image_.height() - 1);
    if (x0 > x1 || y0 > y1)
        return;
    uchar *bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    if (x0 == x1) { // a column: one store a row
        uchar *p = bits + y0 * stride + x0 * 4;
        for (int y = y0; y <= y1; ++y, p += stride)
            *reinterpret_cast<QRgb *>(p) = c;
        return;
    }
    for (int y = y0; y <= y1; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(bits + y * stride);
        std::fill(line + x0, line + x1 + 1, c);
    }
}

void Canvas::plot(int x, int y, QRgb c, int width)
{
    const int o = width / 2;
    fillRect(x - o, y - o, x - o + width - 1, y - o + width - 1, c);
}

void Canvas::LineTo(int x, int y)
{
    const QPoint from = tools_.penPos, to(x, y);
    tools_.penPos = to;
    if (from == to || image_.isNull())
        return;
    const QRgb c = toRgb(resolveColor(tools_.penColor));
    const int w = std::max(1, tools_.penWidth), o = w / 2;
    if (from.y() == to.y()) {
        const int lo = to.x() > from.x() ? from.x() : to.x() + 1;
        const int hi = to.x() > from.x() ? to.x() - 1 : from.x();
        fillRect(lo - o, y - o, hi - o + w - 1, y - o + w - 1, c);
    } else if (from.x() == to.x()) {
        const int lo = to.y() > from.y() ? from.y() : to.y() + 1;
        const int hi = to.y() > from.y() ? to.y() - 1 : from.y();
        fillRect(x - o, lo - o, x - o + w - 1, hi - o + w - 1, c);
    } else {
        drawDiagonal(from, to, c, w);
    }
}

void Canvas::drawDiagonal(QPoint from, QPoint to, QRgb c, int width)
{
    // Walk the longer axis ("major"); the shorter one follows with rounding.
    const bool xMajor = std::abs(to.x() - from.x()) >= std::abs(to.y() - from.y());
    const int m0 = xMajor ? from.x() : from.y(), n0 = xMajor ? from.y() : from.x();
    const qint64 dm = qint64(xMajor ? to.x() : to.y()) - m0, dn = qint64(xMajor ? to.y() : to.x()) - n0;
    const int sm = dm > 0 ? 1 : -1, sn = dn > 0 ? 1 : -1;
    const qint64 am = std::abs(dm), an = std::abs(dn);
    const int majorSize = xMajor ? image_.width() : image_.height();
    const int minorSize = xMajor ? image_.height() : image_.width();
    // Steps whose pen square can touch the picture along the major axis.
    const int o = width / 2;
    const qint64 lo = o - width + 1, hi = majorSize - 1 + o;
    qint64 i0 = sm > 0 ? lo - m0 : m0 - hi, i1 = sm > 0 ? hi - m0 : m0 - lo;
    i0 = std::max<qint64>(i0, 0);
    i1 = std::min<qint64>(i1, am - 1);
    if (i0 > i1)
        return;
    // minor(i) = n0 + sn * floor((2 i an + am) / (2 am)), kept as quotient and remainder.
    const qint64 twoAm = 2 * am;
    qint64 num = 2 * i0 * an + am;
    qint64 q = num / twoAm, r = num % twoAm;
    uchar *bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    for (qint64 i = i0; i <= i1; ++i) {
        const qint64 major = m0 + sm * i, minor = n0 + sn * q;
        const int px = int(xMajor ? major : minor), py = int(xMajor ? minor : major);
        if (width > 1)
            plot(px, py, c, width);
        else if (minor >= 0 && minor < minorSize)
            reinterpret_cast<QRgb *>(bits + py * stride)[px] = c;
        r += 2 * an;
        if (r >= twoAm) {
            r -= twoAm;
            ++q;
        }
    }
}

EllipseCall Canvas::ellipseCall(int x1, int y1, int x2, int y2) const
{
    EllipseCall e;
    e.x1 = std::min(x1, x2);
    e.x2 = std::max(x1, x2);
    e.y1 = std::min(y1, y2);
    e.y2 = std::max(y1, y2);
    e.pen = toRgb(resolveColor(tools_.penColor));
    e.brush = toRgb(resolveColor(tools_.brushColor));
    e.penWidth = std::max(1, tools_.penWidth);
    e.filled = tools_.brushStyle == BrushStyle::Solid;
    return e;
}

void Canvas::Ellipse(int x1, int y1, int x2, int y2) { drawEllipses({ellipseCall(x1, y1, x2, y2)}); }

void Canvas::drawEllipses(const std::vector<EllipseCall> &calls)
{
    const int w = image_.width(), h = image_.height();
    if (calls.empty() || w <= 0 || h <= 0)
        return;
    std::vector<PreparedEllipse> prepared;
    prepared.reserve(calls.size());
    for (const EllipseCall &e : calls)
        prepared.emplace_back(e);
    const auto shapeTables = shareShapeRows(prepared, h);
    // The calls by their first row, so a sweep down the rows knows which calls start where.
    std::vector<int> byTop;
    for (int i = 0; i < int(prepared.size()); ++i)
        if (prepared[size_t(i)].outer.top <= prepared[size_t(i)].outer.bottom && prepared[size_t(i)].outer.bottom >= 0 &&
            prepared[size_t(i)].outer.top < h)
            byTop.push_back(i);
    std::stable_sort(byTop.begin(), byTop.end(), [&](int a, int b) {
        return std::max(prepared[size_t(a)].outer.top, 0) < std::max(prepared[size_t(b)].outer.top, 0);
    });
    uchar *bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    // Call indices with their last rows, lowest index first, read from the back (latest
    // first). Calls that have ended stay in the list until they are many: a row that is
    // covered early never looks at them.
    using Entry = std::pair<int, int>;
    std::vector<Entry> active, merged, starting;
    size_t ended = 0;
    Covered covered;
    Piece pieces[3];
    constexpr size_t Chunk = 16;
    RowSpans spans[Chunk];
    int chunk[Chunk];
    size_t nextStart = 0;
    for (int y = 0; y < h && (nextStart < byTop.size() || active.size() > ended); ++y) {
        // Calls covering row y: those still running, and those starting here.
        starting.clear();
        while (nextStart < byTop.size() && std::max(prepared[size_t(byTop[nextStart])].outer.top, 0) == y) {
            const int i = byTop[nextStart++];
            starting.push_back({i, prepared[size_t(i)].outer.bottom});
        }
        std::sort(starting.begin(), starting.end());
        if (!starting.empty()) {
            if (active.empty() || starting.front().first > active.back().first) {
                active.insert(active.end(), starting.begin(), starting.end());
            } else {
                merged.clear();
                std::merge(active.begin(), active.end(), starting.begin(), starting.end(), std::back_inserter(merged));
                active.swap(merged);
            }
        }
        if (ended > active.size() / 2) {
            std::erase_if(active, [y](const Entry &e) { return e.second < y; });
            ended = 0;
        }
        // Latest first: each call paints only what the calls after it left uncovered.
        QRgb *line = reinterpret_cast<QRgb *>(bits + y * stride);
        covered.clear();
        bool full = false;
        size_t pos = active.size();
        while (pos > 0 && !full) {
            // The runs of a few calls at a time first: the square roots then overlap
            // instead of each waiting for the branches of the painting before it.
            size_t count = 0;
            while (pos > 0 && count < Chunk) {
                const Entry &e = active[--pos];
                if (e.second < y) {
                    // Ended above this row: counted once, when it is first passed over.
                    if (e.second == y - 1)
                        ++ended;
                    continue;
                }
                chunk[count] = e.first;
                spans[count] = prepared[size_t(e.first)].spans(y);
                ++count;
            }
            for (size_t j = 0; j < count && !full; ++j) {
                const int n = prepared[size_t(chunk[j])].rowPieces(spans[j], pieces);
                for (int k = 0; k < n; ++k) {
                    const int l = std::max(pieces[k].left, 0), r = std::min(pieces[k].right, w - 1);
                    if (l <= r)
                        paintUncovered(line, covered, l, r, pieces[k].color);
                }
                full = covered.size() == 1 && covered[0].first == 0 && covered[0].second == w - 1;
            }
        }
    }
}
