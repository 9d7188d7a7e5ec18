#pragma once
// The picture every codec benchmark reads and writes: 4000 x 3000, 24 bits, smooth
// gradients with fine texture, so the codecs see something like a photograph. Files the
// benchmarks read are left in /tmp (letrafex-bench.*), so other programs can be timed on
// exactly the same input.
#include "core/Raster.h"

#include <QImage>
#include <QString>

#include <benchmark/benchmark.h>

#include <cmath>

namespace bench {

constexpr int Width = 4000;
constexpr int Height = 3000;

inline const Raster &picture()
{
    static const Raster raster = [] {
        QImage img(Width, Height, QImage::Format_RGB32);
        for (int y = 0; y < Height; ++y) {
            QRgb *row = reinterpret_cast<QRgb *>(img.scanLine(y));
            for (int x = 0; x < Width; ++x) {
                const int noise = int((x * 7919u + y * 104729u) * 2654435761u >> 28);
                const int r = (x * 255 / Width + noise) & 255;
                const int g = (y * 255 / Height + noise / 2) & 255;
                const int b = int(127.5 + 127.5 * std::sin((x + y) / 200.0));
                row[x] = qRgb(r, g, b);
            }
        }
        return Raster::fromImage(img, 24);
    }();
    return raster;
}

inline QString benchFile(const char *extension) { return QStringLiteral("/tmp/letrafex-bench.") + QLatin1String(extension); }

inline void setBytes(benchmark::State &state, qint64 perIteration)
{
    state.SetBytesProcessed(state.iterations() * perIteration);
}

} // namespace bench
