#pragma once
// The ten gradient painters of the background window. Each draws on the picture of an
// image control with the picture's own pen and brush, between two colours interpolated by
// ColorStep, and reports its progress (0 to 100) as it goes. A painter draws over what
// the picture holds; pixels it does not reach keep their colour. A painter whose step
// count is zero (a picture too small in the direction it divides) leaves the picture and
// the progress as they are.
#include "core/Canvas.h"
#include "core/ImageBox.h"

#include <functional>

// Receives the progress percentage; may be empty.
using GradientProgress = std::function<void(int)>;

enum { FirstGradientKind = 1, LastGradientKind = 10 };

// The painter of kind 1 to 10 with the colours in the order that kind takes them: kind 1
// paints from start to end, kinds 2 to 10 from end to start. Other kinds paint nothing.
// The picture is painted as it is; the window sizes it to the control first.
void PaintGradient(int kind, ImageBox &image, CanvasTools &tools, TColor start, TColor end,
                   const GradientProgress &progress = {});

// Horizontal lines, top to bottom.
void PaintTopDownGradient(ImageBox &image, CanvasTools &tools, TColor c1, TColor c2, const GradientProgress &progress = {});
// Horizontal lines from the top and bottom edges towards the middle row.
void PaintTopDownCenterGradient(ImageBox &image, CanvasTools &tools, TColor c1, TColor c2, const GradientProgress &progress = {});
// Vertical lines, left to right, over the larger side's step count.
void PaintLeftRightGradient(ImageBox &image, CanvasTools &tools, TColor c1, TColor c2, const GradientProgress &progress = {});
// Vertical lines from the left and right edges towards the middle column.
void PaintLeftRightCenterGradient(ImageBox &image, CanvasTools &tools, TColor c1, TColor c2, const GradientProgress &progress = {});
// Concentric rectangle outlines, edge to centre.
void PaintBoxCenterGradient(ImageBox &image, CanvasTools &tools, TColor c1, TColor c2, const GradientProgress &progress = {});
// Two fans of crossing diagonal lines.
void PaintXYEffectGradient(ImageBox &image, CanvasTools &tools, TColor c1, TColor c2, const GradientProgress &progress = {});
// Shrinking filled ellipses.
void PaintCircleGradient(ImageBox &image, CanvasTools &tools, TColor c1, TColor c2, const GradientProgress &progress = {});
// Six vertical colour bands per column shifted by a sine wave; leaves a 2-pixel pen.
void PaintSinusGradient(ImageBox &image, CanvasTools &tools, TColor c1, TColor c2, const GradientProgress &progress = {});
// Zigzag polylines, row by row, swinging between the colours.
void PaintZickZackGradient(ImageBox &image, CanvasTools &tools, TColor c1, TColor c2);
// Rows of six filled ellipses moving sideways, swinging between the colours.
void PaintWaveGradient(ImageBox &image, CanvasTools &tools, TColor c1, TColor c2);

// The vertical shift of the sine painter's bands for an angle in whole degrees:
// sin(angle * pi / 180) * 50 rounded to nearest, ties to even.
int sinusShift(int angleDegrees);
// The divisor of the ellipse painter's step count.
constexpr double CircleStepDivisor = 1.300000030000003;
