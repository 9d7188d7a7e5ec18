#include "core/ImageBox.h"

#include <QPainter>
#include <cstring>
#include <vector>

void SetImageSize(ImageBox &image, int width, int height)
{
    image.height = height;
    image.width = width;
    image.picture.setHeight(height);
    image.picture.setWidth(width);
}

void CopyPixels(const Raster &source, Raster &target, int x, int y)
{
    if (source.isEmpty() || target.isEmpty())
        return;
    const int x0 = qMax(0, x), y0 = qMax(0, y);
    const int x1 = qMin(target.width(), x + source.width());
    const int y1 = qMin(target.height(), y + source.height());
    if (x0 >= x1 || y0 >= y1)
        return;
    const QImage src = source.toRgb32();
    QImage &dst = target.paintable();
    for (int row = y0; row < y1; ++row)
        std::memcpy(dst.scanLine(row) + x0 * 4, src.constScanLine(row - y) + (x0 - x) * 4, size_t(x1 - x0) * 4);
}

void TileGraphic(const Raster &graphic, Raster &raster)
{
    if (graphic.isEmpty() || raster.isEmpty())
        return;
    for (int y = 0; y < raster.height(); y += graphic.height())
        for (int x = 0; x < raster.width(); x += graphic.width())
            CopyPixels(graphic, raster, x, y);
}

void StretchDraw(const Raster &source, Raster &target, int width, int height, QPoint from)
{
    if (source.isEmpty() || target.isEmpty() || width <= 0 || height <= 0)
        return;
    QImage &dst = target.paintable();
    if (width == source.width() && height == source.height()) {
        CopyPixels(source, target, -from.x(), -from.y());
        return;
    }
    // Nearest-neighbour, as a device's plain stretch copy does.
    const QImage src = source.toRgb32();
    const int x1 = qMin(width - from.x(), dst.width()), y1 = qMin(height - from.y(), dst.height());
    if (x1 <= 0 || y1 <= 0)
        return;
    std::vector<int> columns(static_cast<size_t>(x1));
    for (int x = 0; x < x1; ++x)
        columns[size_t(x)] = int(qint64(x + from.x()) * src.width() / width);
    for (int y = 0; y < y1; ++y) {
        const QRgb *s = reinterpret_cast<const QRgb *>(src.constScanLine(int(qint64(y + from.y()) * src.height() / height)));
        QRgb *d = reinterpret_cast<QRgb *>(dst.scanLine(y));
        for (int x = 0; x < x1; ++x)
            d[x] = s[columns[size_t(x)]];
    }
}
