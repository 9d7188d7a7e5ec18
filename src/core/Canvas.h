#pragma once
// The font state of a drawing surface and the text measures the painters need. Fonts are
// sized for 96 pixels per inch (48 points are 64 pixels), whatever the device.
#include "core/Color.h"

#include <QFont>
#include <QString>
#include <QStringList>

struct CanvasFont
{
    QString name = QStringLiteral("MS Sans Serif");
    int size = 8;      // points
    int style = 0;     // bit sum: 1 bold, 2 italic, 4 underline, 8 strikeout
    TColor color = Colors::clBlack;
};

// Pixel height of a font of the given point size at 96 pixels per inch (rounded as
// integer arithmetic does it: half away from zero).
int fontPixelSize(int points);
QFont toQFont(const CanvasFont &font, bool antialias = true);
// The style set of a font as a bit sum, and setting a font's styles from one.
int fontStyleSet(const QFont &font);
void setFontStyleSet(QFont &font, int styleSet);
// Width of text in the font, in pixels.
int TextWidth(const CanvasFont &font, const QString &text);
// Height of a line of the font: ascent plus descent.
int TextHeight(const CanvasFont &font);
// Width of the widest line; 0 when there are no lines.
int MaxLineWidth(const CanvasFont &font, const QStringList &lines);
