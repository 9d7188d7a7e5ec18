#pragma once
// Vector pictures of a composition: SVG 1.1 and PDF files that keep every text layer as
// outlines. Each outline is stored once and every layer refers to it with its own offset
// and colour, so a deep 3D item costs a few bytes per layer.
#include <QImage>
#include <QPainterPath>
#include <QPoint>
#include <QRectF>
#include <QSize>

#include <vector>

// One drawing step: the outline filled in a colour at an offset; or, with a picture, the
// outline filled white and the picture, stretched over pictureRect, drawn inside it.
struct VectorStep
{
    int shape = 0;
    QPoint at;
    QRgb color = 0;
    int picture = -1;  // index into VectorScene::pictures, or -1
    QRectF pictureRect;
};

struct VectorScene
{
    QSize size;                         // pixels; one pixel is one unit (a point in PDF)
    QImage background;                  // stretched over the whole picture; null for none
    std::vector<QPainterPath> shapes;   // outlines relative to their own origin
    std::vector<QImage> pictures;
    std::vector<VectorStep> steps;      // in drawing order
};

// The whole files. Outlines are filled with the non-zero rule.
QByteArray WriteSvg(const VectorScene &scene);
QByteArray WritePdf(const VectorScene &scene);
