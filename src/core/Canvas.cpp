#include "core/Canvas.h"

#include <QFontMetrics>

int fontPixelSize(int points)
{
    const int n = points * 96;
    return n >= 0 ? (n + 36) / 72 : -((-n + 36) / 72);
}

QFont toQFont(const CanvasFont &f, bool antialias)
{
    QFont font(f.name);
    font.setPixelSize(qMax(1, qAbs(fontPixelSize(f.size))));
    font.setBold(f.style & 1);
    font.setItalic(f.style & 2);
    font.setUnderline(f.style & 4);
    font.setStrikeOut(f.style & 8);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferVerticalHinting);
    font.setStyleStrategy(antialias ? QFont::PreferAntialias : QFont::NoAntialias);
    return font;
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
