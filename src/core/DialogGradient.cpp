#include "core/DialogGradient.h"

Raster dialogGradient(int width, int height, TColor c1, TColor c2)
{
    Raster r(width, height);
    if (r.isEmpty())
        return r;
    QImage &img = r.paintable();
    for (int y = 0; y < height; ++y) {
        const QRgb c = toRgb(ColorStep(c1, c2, height, y));
        QRgb *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        std::fill(line, line + width, c);
    }
    return r;
}
