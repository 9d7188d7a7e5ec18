#pragma once
// An image control's state without the widget: its component name, its display size and
// the raster picture it holds. Windows show an ImageBox; the core sizes and fills it.
#include "core/Raster.h"

#include <QPoint>
#include <QString>

struct ImageBox
{
    ImageBox() = default;
    explicit ImageBox(QString componentName) : name(std::move(componentName)) {}

    QString name;
    int width = 0;  // display size of the control
    int height = 0;
    Raster picture;
};

// Sets the control's height and width, then the picture's height and width.
void SetImageSize(ImageBox &image, int width, int height);

// Draws graphic at its own size repeatedly over raster, row by row from the top, each
// row from the left; the last row and column are clipped. An empty graphic draws nothing.
void TileGraphic(const Raster &graphic, Raster &raster);

// Draws source onto target with its top-left corner at (x, y), pixel for pixel, clipped.
void CopyPixels(const Raster &source, Raster &target, int x = 0, int y = 0);

// Draws source stretched over the rectangle (0, 0, width, height) of target. With from,
// target shows the stretched picture from that point on: the part of a stretch larger than
// target, pixel for pixel as the whole stretch would give it there.
void StretchDraw(const Raster &source, Raster &target, int width, int height, QPoint from = {});
