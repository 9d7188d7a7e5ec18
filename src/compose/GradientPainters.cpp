#include "compose/GradientPainters.h"

#include <cmath>
#include <cstdlib>

namespace {

void report(const GradientProgress &progress, qint64 step, qint64 divisor)
{
    if (progress)
        progress(int(100 * step / divisor));
}

void done(const GradientProgress &progress)
{
    if (progress)
        progress(100);
}

void line(Canvas &canvas, int x0, int y0, int x1, int y1)
{
    canvas.MoveTo(x0, y0);
    canvas.LineTo(x1, y1);
}

// Steps 0 to last on the picture's canvas, each after setting the progress for it.
template <typename Step>
void paintSteps(ImageBox &image, CanvasTools &tools, int last, int divisor, const GradientProgress &progress, Step step)
{
    Canvas canvas(image.picture.paintable(), tools);
    for (int c = 0; c <= last; ++c) {
        report(progress, c, divisor);
        step(canvas, c);
    }
}

} // namespace

int sinusShift(int angleDegrees)
{
    // pi / 180 in extended precision, as the wave's table of shifts was made with.
    constexpr long double PiOver180 = 0.017453292519943295769236907684886127L;
    return int(std::nearbyint(std::sin(angleDegrees * PiOver180) * 50.0L));
}

void PaintTopDownGradient(ImageBox &image, CanvasTools &tools, TColor c1, TColor c2, const GradientProgress &progress)
{
    const int w = image.picture.width(), h = image.picture.height();
    if (h == 0)
        return;
    paintSteps(image, tools, h, h, progress, [&](Canvas &canvas, int c) {
        canvas.setPenColor(ColorStep(c1, c2, h, c));
        line(canvas, 0, c, w, c);
    });
    done(progress);
}

void PaintTopDownCenterGradient(ImageBox &image, CanvasTools &tools, TColor c1, TColor c2, const GradientProgress &progress)
{
    const int w = image.picture.width(), h = image.picture.height(), half = h / 2;
    if (half == 0)
        return;
    paintSteps(image, tools, half, half, progress, [&](Canvas &canvas, int c) {
        canvas.setPenColor(ColorStep(c1, c2, half, c));
        line(canvas, 0, c, w, c);
        line(canvas, 0, h - c, w, h - c);
    });
    done(progress);
}

void PaintLeftRightGradient(ImageBox &image, CanvasTools &tools, TColor c1, TColor c2, const GradientProgress &progress)
{
    const int w = image.picture.width(), h = image.picture.height();
    // The steps run over the larger side, so a tall picture ends short of c2.
    const int n = h > w ? h : w;
    if (n == 0)
        return;
    paintSteps(image, tools, w, n, progress, [&](Canvas &canvas, int c) {
        canvas.setPenColor(ColorStep(c1, c2, n, c));
        line(canvas, c, 0, c, h);
    });
    done(progress);
}

void PaintLeftRightCenterGradient(ImageBox &image, CanvasTools &tools, TColor c1, TColor c2, const GradientProgress &progress)
{
    const int w = image.picture.width(), h = image.picture.height(), half = w / 2;
    if (half == 0)
        return;
    // Divided by the width, the gauge climbs to 50 and then jumps to 100.
    paintSteps(image, tools, half, w, progress, [&](Canvas &canvas, int c) {
        canvas.setPenColor(ColorStep(c1, c2, half, c));
        line(canvas, c, 0, c, h);
        line(canvas, w - c, 0, w - c, h);
    });
    done(progress);
}

void PaintBoxCenterGradient(ImageBox &image, CanvasTools &tools, TColor c1, TColor c2, const GradientProgress &progress)
{
    const int w = image.picture.width(), h = image.picture.height();
    const int m = h < w ? h / 2 : w / 2;
    if (m == 0)
        return;
    paintSteps(image, tools, m, m, progress, [&](Canvas &canvas, int c) {
        canvas.setPenColor(ColorStep(c1, c2, m, c));
        canvas.MoveTo(c, c);
        canvas.LineTo(w - c, c);
        canvas.LineTo(w - c, h - c);
        canvas.LineTo(c, h - c);
        canvas.LineTo(c, c);
    });
    done(progress);
}

void PaintXYEffectGradient(ImageBox &image, CanvasTools &tools, TColor c1, TColor c2, const GradientProgress &progress)
{
    const int w = image.picture.width(), h = image.picture.height();
    if (w == 0 || h == 0)
        return;
    paintSteps(image, tools, w, w, progress, [&](Canvas &canvas, int c) {
        canvas.setPenColor(ColorStep(c1, c2, w, c));
        line(canvas, c, 0, w - c, h);
    });
    // The second fan draws over the first.
    paintSteps(image, tools, h, h, progress, [&](Canvas &canvas, int c) {
        canvas.setPenColor(ColorStep(c1, c2, h, c));
        line(canvas, w, h - c, 0, c);
    });
    done(progress);
}

void PaintCircleGradient(ImageBox &image, CanvasTools &tools, TColor c1, TColor c2, const GradientProgress &progress)
{
    const int w = image.width, h = image.height;
    const int m = w > h ? h : w;
    const int k = m / 3;
    const int n = int(m / CircleStepDivisor);
    if (n == 0)
        return;
    Canvas canvas(image.picture.paintable(), tools);
    // Each ellipse is one pixel smaller on every side than the one before and covers most
    // of it; drawing them as one stack writes each pixel once.
    std::vector<EllipseCall> calls;
    calls.reserve(size_t(n) + 1);
    for (int c = 0; c <= n; ++c) {
        report(progress, c, n);
        const TColor color = ColorStep(c1, c2, n, c);
        canvas.setBrushColor(color);
        canvas.setPenColor(color);
        calls.push_back(canvas.ellipseCall(c - k, c - k, w + k - c, h + k - c));
    }
    canvas.drawEllipses(calls);
    done(progress);
}

void PaintSinusGradient(ImageBox &image, CanvasTools &tools, TColor c1, TColor c2, const GradientProgress &progress)
{
    const int w = image.width, h = image.height, q = h / 4;
    if (w == 0)
        return;
    Canvas canvas(image.picture.paintable(), tools);
    canvas.setPenWidth(2); // stays with the picture for every later painter
    int angle = 0;
    for (int x = 0; x <= w; ++x) {
        report(progress, x, w);
        const int y0 = sinusShift(angle);
        const TColor forward = ColorStep(c1, c2, w, x), backward = ColorStep(c2, c1, w, x);
        for (int band = 0; band < 6; ++band) {
            const int top = y0 + (band - 1) * q;
            canvas.setPenColor(band % 2 == 0 ? forward : backward);
            line(canvas, x, top, x, top + q);
        }
        angle += 4;
        if (angle > 360)
            angle = 0;
    }
    done(progress);
}

void PaintZickZackGradient(ImageBox &image, CanvasTools &tools, TColor c1, TColor c2)
{
    const int w = image.width, h = image.height, t = h / 6;
    if (t == 0)
        return;
    Canvas canvas(image.picture.paintable(), tools);
    const int quarter = w / 4;
    int s = -t;
    for (int y = 0; y <= h + 40; ++y) {
        canvas.setPenColor(ColorStep(c1, c2, t, std::abs(s)));
        canvas.MoveTo(0, y - 40);
        canvas.LineTo(quarter, y);
        canvas.LineTo(2 * quarter, y - 40);
        canvas.LineTo(3 * quarter, y);
        canvas.LineTo(w, y - 40);
        if (++s > t)
            s = -t;
    }
}

void PaintWaveGradient(ImageBox &image, CanvasTools &tools, TColor c1, TColor c2)
{
    const int w = image.width, h = image.height, t = h / 6;
    if (t == 0)
        return;
    Canvas canvas(image.picture.paintable(), tools);
    const int fifthW = w / 5, fifthH = h / 5;
    std::vector<EllipseCall> calls;
    calls.reserve(size_t(h + fifthH + 1) * 6);
    int s = -t, shift = 0;
    for (int y = 0; y <= h + fifthH; ++y) {
        const TColor color = ColorStep(c1, c2, t, std::abs(s));
        canvas.setPenColor(color);
        canvas.setBrushColor(color);
        canvas.setBrushStyle(BrushStyle::Solid);
        for (int i = 0; i <= 5; ++i) {
            const int left = (i * w) / 5 - 100 + shift;
            calls.push_back(canvas.ellipseCall(left, y - fifthH, left + fifthW, y));
        }
        ++s;
        if (++shift == 50)
            shift = 0;
        if (s > t)
            s = -t;
    }
    canvas.drawEllipses(calls);
}

void PaintGradient(int kind, ImageBox &image, CanvasTools &tools, TColor start, TColor end, const GradientProgress &progress)
{
    switch (kind) {
    case 1: PaintTopDownGradient(image, tools, start, end, progress); break;
    case 2: PaintTopDownCenterGradient(image, tools, end, start, progress); break;
    case 3: PaintLeftRightGradient(image, tools, end, start, progress); break;
    case 4: PaintLeftRightCenterGradient(image, tools, end, start, progress); break;
    case 5: PaintBoxCenterGradient(image, tools, end, start, progress); break;
    case 6: PaintXYEffectGradient(image, tools, end, start, progress); break;
    case 7: PaintCircleGradient(image, tools, end, start, progress); break;
    case 8: PaintSinusGradient(image, tools, end, start, progress); break;
    case 9: PaintZickZackGradient(image, tools, end, start); break;
    case 10: PaintWaveGradient(image, tools, end, start); break;
    default: break;
    }
}
