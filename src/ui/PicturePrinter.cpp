#include "ui/PicturePrinter.h"

#include <QPainter>
#include <QPrinter>

#include <algorithm>

namespace {
// Source rows are enlarged a band at a time; a band of the enlarged picture stays below
// this many bytes.
constexpr qint64 BandBytes = qint64(32) * 1024 * 1024;

// Each pixel of rows [y0, y1) of source as an sx x sy block of pixels.
QImage enlargedBand(const QImage &source, int y0, int y1, int sx, int sy)
{
    QImage band(source.width() * sx, (y1 - y0) * sy, QImage::Format_RGB32);
    for (int y = y0; y < y1; ++y) {
        const QRgb *in = reinterpret_cast<const QRgb *>(source.constScanLine(y));
        QRgb *out = reinterpret_cast<QRgb *>(band.scanLine((y - y0) * sy));
        for (int x = 0; x < source.width(); ++x)
            std::fill_n(out + qsizetype(x) * sx, sx, in[x]);
        for (int r = 1; r < sy; ++r)
            std::copy_n(out, band.width(), reinterpret_cast<QRgb *>(band.scanLine((y - y0) * sy + r)));
    }
    return band;
}
} // namespace

int printFactor(int printerDpi, int screenDpi) { return screenDpi > 0 ? std::max(1, printerDpi / screenDpi) : 1; }

bool PrintPicture(QPrinter &printer, const Raster &picture, QSize screenDpi, const QString &title)
{
    printer.setDocName(title);
    printer.setFullPage(false);
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const int sx = printFactor(printer.resolution(), screenDpi.width());
    const int sy = printFactor(printer.resolution(), screenDpi.height());
    if (!picture.isEmpty()) {
        const QImage source = picture.toRgb32();
        const qint64 rowBytes = qint64(source.width()) * sx * sy * 4;
        const int rowsPerBand = int(std::clamp<qint64>(BandBytes / std::max<qint64>(rowBytes, 1), 1, source.height()));
        for (int y = 0; y < source.height(); y += rowsPerBand) {
            const int y1 = std::min(source.height(), y + rowsPerBand);
            painter.drawImage(QPoint(0, y * sy), enlargedBand(source, y, y1, sx, sy));
        }
    }
    painter.end();
    return true;
}
