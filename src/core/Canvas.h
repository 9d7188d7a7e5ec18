#pragma once
// The font state of a drawing surface and the text measures the painters need (fonts are
// sized for 96 pixels per inch: 48 points are 64 pixels, whatever the device), and the
// pen, brush, line and ellipse of a picture's canvas.
#include "core/Color.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <vector>

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

// ----- Lines and ellipses on a 32-bit picture -----
//
// The pen and brush of a picture's canvas. They belong to the picture, not to one drawing
// call: a pen width set by one painter stays for the next until the picture is cleared or
// replaced, so the owner of a picture keeps one CanvasTools beside it.
enum class BrushStyle { Solid, Clear };

struct CanvasTools
{
    TColor penColor = Colors::clBlack;
    int penWidth = 1;
    TColor brushColor = Colors::clWhite;
    BrushStyle brushStyle = BrushStyle::Solid;
    QPoint penPos;
};

// One ellipse call with the pen and brush it was made with.
struct EllipseCall
{
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    QRgb pen = 0;
    QRgb brush = 0;
    int penWidth = 1;
    bool filled = true;
};

// Device drawing rules, computed on scan lines so that every pixel is defined:
// - A line from P to Q covers P and every pixel up to, but not including, Q. Its pixels
//   step along the longer axis; the shorter coordinate at step i is the start's plus
//   i * d_minor / d_major rounded to nearest, halves away from the start.
// - A pen of width w covers, for every pixel (x, y) of the one-pixel line, the square of
//   w x w pixels with its top-left corner at (x - w div 2, y - w div 2).
// - An ellipse's box includes its left and top edges and excludes its right and bottom
//   ones. A pixel belongs to the ellipse of a box when its centre lies inside the ellipse
//   inscribed in the box. The outline of a pen of width w is the ellipse of the box grown
//   by the pen's square (w div 2 to the left and top, w - 1 - w div 2 to the right and
//   bottom) less the ellipse of the box shrunk by the same square plus one pixel on every
//   side; the brush fills that inner ellipse. Boxes given right to left or bottom to top
//   are turned round first.
// - Everything outside the picture is clipped.
class Canvas
{
public:
    // image must be a 32-bit image (Format_RGB32 or ARGB32); tools is the picture's pen
    // and brush and is changed by the calls that set them.
    Canvas(QImage &image, CanvasTools &tools) : image_(image), tools_(tools) {}

    CanvasTools &tools() { return tools_; }
    void setPenColor(TColor c) { tools_.penColor = c; }
    void setPenWidth(int w) { tools_.penWidth = qMax(1, w); }
    void setBrushColor(TColor c) { tools_.brushColor = c; }
    void setBrushStyle(BrushStyle s) { tools_.brushStyle = s; }

    void MoveTo(int x, int y) { tools_.penPos = QPoint(x, y); }
    // Draws from the pen position to (x, y) and moves the pen there.
    void LineTo(int x, int y);
    void Ellipse(int x1, int y1, int x2, int y2);

    // The ellipse call Ellipse would make now, for drawEllipses.
    EllipseCall ellipseCall(int x1, int y1, int x2, int y2) const;
    // Draws the calls in order, with the same result as drawing them one by one, but
    // writes every pixel once: each row is drawn from the last call back, and a call
    // paints only what later calls leave uncovered. Painters that stack hundreds of
    // filled ellipses use it.
    void drawEllipses(const std::vector<EllipseCall> &calls);

private:
    void fillRect(int x0, int y0, int x1, int y1, QRgb c); // inclusive corners, clipped
    void plot(int x, int y, QRgb c, int width);
    void drawDiagonal(QPoint from, QPoint to, QRgb c, int width);

    QImage &image_;
    CanvasTools &tools_;
};
