#pragma once
// The composition leaving the program: drawn again at 1 to 4 times its size, over a
// transparent background, as a vector picture whose texts are outlines, or as an
// animation in which the 3D texts grow to their depth.
#include "compose/ItemTable.h"
#include "imageio/VectorFiles.h"
#include "imageio/WebpCodec.h"

#include <QImage>
#include <QSize>
#include <QString>

enum class ExportFormat { Png, Tiff, Jpeg, Bmp, Svg, Pdf, Webp };
constexpr int MinExportScale = 1, MaxExportScale = 4;

struct ExportOptions
{
    ExportFormat format = ExportFormat::Png;
    bool transparent = false; // only for the formats that keep transparency
    int scale = 1;
    WebpOptions webp = {};    // lossless, or lossy at a quality
    bool animate = false;     // only for the formats that animate
};

// The growing animation: frame s of GrowSteps + 1 draws every item at s / GrowSteps of
// its depth with its front face where the full depth puts it. The first GrowSteps frames
// are shown GrowStepMs each (one second), the last one, the still picture, GrowHoldMs;
// then it starts again, forever. A frame that looks like the one before it is shown that
// much longer instead.
constexpr int GrowSteps = 20, GrowStepMs = 50, GrowHoldMs = 2000;

// ".png", ".tif", ".jpg", ".bmp", ".svg", ".pdf", ".webp".
QString exportExtension(ExportFormat format);
// The format a file name's extension names (either case; ".tiff" and ".jpeg" too).
bool exportFormatFor(const QString &fileName, ExportFormat &format);
// PNG, TIFF, SVG, PDF and WebP can leave the background out.
bool exportKeepsTransparency(ExportFormat format);
// PNG (as APNG) and WebP can be animated.
bool exportAnimates(ExportFormat format);
// The picture's size times scale, and whether a raster of that size is allowed.
QSize exportSize(QSize picture, int scale);
bool exportSizeAllowed(QSize picture, int scale);

// What an item becomes at scale k: font size, position and depth (and with it every
// extrusion offset and the surface rectangle) multiplied by k.
void scaleItem(ItemAttributes &item, int scale);
// The item at step of steps of its growth: depth times step / steps (rounded down), its
// position moved so that its front face stays where it is at the full depth.
void growItem(ItemAttributes &item, int step, int steps);

// The composition at scale k: the background stretched smoothly to k times its size, each
// surface picture stretched smoothly by k, and the items drawn at k times their sizes.
Raster ComposeScaled(const Raster &background, const ItemTable &table, int scale, const ItemAttributes &start = {});
// The items alone at scale k over nothing, as Format_ARGB32 with straight alpha: the
// antialiased edges keep their partial cover and surface fills are drawn. Composed over
// the background, it gives ComposeScaled's picture.
QImage ComposeTransparent(QSize size, const ItemTable &table, int scale, const ItemAttributes &start = {});
// The composition as outlines: each line of each item stored once, every layer a reference
// to it; surface fills as the surface picture clipped to the front copy's outline; the
// background embedded, or left out when transparent.
VectorScene ComposeVector(const Raster &background, const ItemTable &table, int scale, bool transparent,
                          const ItemAttributes &start = {});

// Writes the composition to fileName in the options' format, animated when the options
// ask for it and the format animates. Throws LetrafexError when the raster would exceed
// the picture limits or the file cannot be written; nothing is written then.
void ExportPicture(const QString &fileName, const Raster &background, const ItemTable &table,
                   const ExportOptions &options, const ItemAttributes &start = {});
