#include "core/Canvas.h"

#include <QFontMetrics>
#include <QRect>

#include <algorithm>
#include <cmath>

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

// The pixels of row y whose centres lie inside the ellipse inscribed in the box
// [x1, x2) x [y1, y2); false when the row has none.
bool ellipseSpan(int x1, int y1, int x2, int y2, int y, int &left, int &right)
{
    if (x2 <= x1 || y2 <= y1 || y < y1 || y >= y2)
        return false;
    const double cx = (double(x1) + x2) / 2, cy = (double(y1) + y2) / 2;
    const double rx = (double(x2) - x1) / 2, ry = (double(y2) - y1) / 2;
    const double dy = (y + 0.5 - cy) / ry;
    const double hx = rx * std::sqrt(std::max(0.0, 1 - dy * dy));
    left = int(std::ceil(cx - hx - 0.5));
    right = int(std::floor(cx + hx - 0.5));
    return left <= right;
}

// The outline box: the box grown by the pen's square.
QRect outerBox(const EllipseCall &e)
{
    const int o = e.penWidth / 2, after = e.penWidth - 1 - o;
    return QRect(QPoint(e.x1 - o, e.y1 - o), QPoint(e.x2 + after - 1, e.y2 + after - 1));
}

// Row y of an ellipse call as up to three pieces: pen, brush, pen.
int rowPieces(const EllipseCall &e, int y, Piece out[3])
{
    const int o = e.penWidth / 2, after = e.penWidth - 1 - o;
    int ol, or_;
    if (!ellipseSpan(e.x1 - o, e.y1 - o, e.x2 + after, e.y2 + after, y, ol, or_))
        return 0;
    int il, ir;
    if ((e.filled && e.pen == e.brush) ||
        !ellipseSpan(e.x1 + e.penWidth - o, e.y1 + e.penWidth - o, e.x2 - 1 - o, e.y2 - 1 - o, y, il, ir)) {
        out[0] = {ol, or_, e.pen};
        return 1;
    }
    il = std::max(il, ol);
    ir = std::min(ir, or_);
    int n = 0;
    if (il > ol)
        out[n++] = {ol, il - 1, e.pen};
    if (e.filled)
        out[n++] = {il, ir, e.brush};
    if (or_ > ir)
        out[n++] = {ir + 1, or_, e.pen};
    return n;
}

// Sorted, disjoint, non-touching runs of a row that later calls have painted.
using Covered = std::vector<std::pair<int, int>>;

// Paints the part of [l, r] that no covered run holds, then adds [l, r] to the runs.
void paintUncovered(QRgb *line, Covered &covered, int l, int r, QRgb c)
{
    int x = l;
    auto it = covered.begin();
    while (it != covered.end() && it->second < l)
        ++it;
    for (auto j = it; j != covered.end() && j->first <= r; ++j) {
        if (j->first > x)
            std::fill(line + x, line + j->first, c);
        x = std::max(x, j->second + 1);
    }
    if (x <= r)
        std::fill(line + x, line + r + 1, c);

    auto first = covered.begin();
    while (first != covered.end() && first->second < l - 1)
        ++first;
    auto last = first;
    int nl = l, nr = r;
    while (last != covered.end() && last->first <= r + 1) {
        nl = std::min(nl, last->first);
        nr = std::max(nr, last->second);
        ++last;
    }
    first = covered.erase(first, last);
    covered.insert(first, {nl, nr});
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
    std::vector<QRect> boxes;
    boxes.reserve(calls.size());
    int top = h, bottom = -1;
    for (const EllipseCall &e : calls) {
        boxes.push_back(outerBox(e));
        top = std::min(top, boxes.back().top());
        bottom = std::max(bottom, boxes.back().bottom());
    }
    top = std::max(top, 0);
    bottom = std::min(bottom, h - 1);
    uchar *bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    Covered covered;
    Piece pieces[3];
    for (int y = top; y <= bottom; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(bits + y * stride);
        covered.clear();
        for (size_t i = calls.size(); i-- > 0;) {
            if (y < boxes[i].top() || y > boxes[i].bottom())
                continue;
            const int n = rowPieces(calls[i], y, pieces);
            for (int k = 0; k < n; ++k) {
                const int l = std::max(pieces[k].left, 0), r = std::min(pieces[k].right, w - 1);
                if (l <= r)
                    paintUncovered(line, covered, l, r, pieces[k].color);
            }
            if (covered.size() == 1 && covered[0].first == 0 && covered[0].second == w - 1)
                break;
        }
    }
}
