#include "imageio/AlphaCompose.h"

#include <algorithm>

void composeOverWhite(QRgb *pixels, qsizetype count)
{
    for (qsizetype i = 0; i < count; ++i)
        pixels[i] = composeOverWhite(pixels[i]);
}

void composeOverWhiteUnlessUnset(QImage &image)
{
    const int w = image.width(), h = image.height();
    const auto row = [&image](int y) { return reinterpret_cast<QRgb *>(image.scanLine(y)); };
    // One pass: pixels are made opaque as stored while every alpha so far is 0. At the first
    // other alpha those pixels turn out to have been fully transparent, so they become white.
    for (int y = 0; y < h; ++y) {
        QRgb *p = row(y);
        for (int x = 0; x < w; ++x) {
            if (qAlpha(p[x]) == 0) {
                p[x] |= 0xFF000000u;
                continue;
            }
            for (int before = 0; before < y; ++before)
                std::fill_n(row(before), w, 0xFFFFFFFFu);
            std::fill_n(p, x, 0xFFFFFFFFu);
            composeOverWhite(p + x, w - x);
            for (int after = y + 1; after < h; ++after)
                composeOverWhite(row(after), w);
            image.reinterpretAsFormat(QImage::Format_RGB32);
            return;
        }
    }
    image.reinterpretAsFormat(QImage::Format_RGB32);
}
