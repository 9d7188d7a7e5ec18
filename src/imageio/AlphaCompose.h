#pragma once
// Showing transparent pixels: the working picture has no alpha, so a file's transparency is
// composed over a backdrop when it is read. Every reader uses the one rule here: a channel
// becomes (A x c + (255 - A) x b) / 255, truncated, for a colour c with straight alpha A
// over a backdrop channel b; alpha 255 keeps the colour, alpha 0 shows the backdrop.
#include <QImage>
#include <QRgb>

// The straight (not premultiplied) colour over an opaque backdrop; the result is opaque.
inline QRgb composeOver(QRgb straight, QRgb backdrop)
{
    const int a = qAlpha(straight);
    if (a == 255)
        return straight;
    if (a == 0)
        return backdrop | 0xFF000000u;
    const int b = 255 - a;
    return qRgb((a * qRed(straight) + b * qRed(backdrop)) / 255, (a * qGreen(straight) + b * qGreen(backdrop)) / 255,
                (a * qBlue(straight) + b * qBlue(backdrop)) / 255);
}

// The straight colour over white.
inline QRgb composeOverWhite(QRgb straight) { return composeOver(straight, 0xFFFFFFFFu); }

// A premultiplied colour (each channel already A x c / 255) over white: the white that
// shows through is added, c + 255 - A, at most 255.
inline QRgb composePremultipliedOverWhite(QRgb premultiplied)
{
    const int w = 255 - qAlpha(premultiplied);
    return qRgb(qMin(255, qRed(premultiplied) + w), qMin(255, qGreen(premultiplied) + w), qMin(255, qBlue(premultiplied) + w));
}

// count straight pixels over white, in place.
void composeOverWhite(QRgb *pixels, qsizetype count);

// A decoded 32-bit image whose pixels carry straight alpha in their top byte (whatever
// its format says) made opaque, as Format_RGB32. When every pixel's alpha is 0 the writer
// never set it (the common 32-bit file with a zero fourth byte): the colours are kept as
// stored. Otherwise each pixel is composed over white.
void composeOverWhiteUnlessUnset(QImage &image);
