// Ellipses on scan lines: the box includes its left and top edges and excludes its right and
// bottom ones; a stack of ellipse calls is swept row by row, latest call first, so every
// pixel is written once.
#include "core/Canvas.h"

#include <algorithm>
#include <cmath>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <functional>
#include <iterator>
#include <map>
#include <tuple>

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
