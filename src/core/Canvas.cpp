#include "core/Canvas.h"

#include <QFontMetrics>

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

// ----- Lines -----

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
