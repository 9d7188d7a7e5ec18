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
