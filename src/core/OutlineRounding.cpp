#include "core/OutlineRounding.h"

#include <algorithm>
#include <cmath>

namespace {

// Qt's flatness threshold for an outline filled without scaling, in pixels.
constexpr double FlatEnough = 0.25;
// Halvings of one curve at most.
constexpr int MostHalvings = 9;
// Distance from a tie, in 1/64 pixel, below which a coordinate counts as sensitive. Moving a
// coordinate below 2^14 pixels and scaling it to 1/64 pixel errs by less than 2^-32 of that
// unit; this keeps far more than that.
constexpr double NearTie = 1.0 / (1 << 24);

struct Cubic
{
    double x1, y1, x2, y2, x3, y3, x4, y4;
};

// The two halves of a curve, with Qt's arithmetic: each new point is the sum of two others
// times a half.
void halve(const Cubic &c, Cubic &first, Cubic &second)
{
    const auto mid = [](double a, double b) { return (a + b) * .5; };
    const double x12 = mid(c.x1, c.x2), x23 = mid(c.x2, c.x3), x34 = mid(c.x3, c.x4);
    const double y12 = mid(c.y1, c.y2), y23 = mid(c.y2, c.y3), y34 = mid(c.y3, c.y4);
    const double x123 = mid(x12, x23), x234 = mid(x23, x34), y123 = mid(y12, y23), y234 = mid(y23, y34);
    const double x = mid(x123, x234), y = mid(y123, y234);
    first = {c.x1, c.y1, x12, y12, x123, y123, x, y};
    second = {x, y, x234, y234, x34, y34, c.x4, c.y4};
}

// The end points of the straight pieces Qt's outline mapper replaces the curve with.
template <typename Add>
void flatten(const Cubic &curve, Add add)
{
    Cubic stack[MostHalvings + 1];
    int levels[MostHalvings + 1];
    stack[0] = curve;
    levels[0] = MostHalvings;
    for (int top = 0; top >= 0;) {
        const Cubic &b = stack[top];
        const double y4y1 = b.y4 - b.y1, x4x1 = b.x4 - b.x1;
        double l = std::abs(x4x1) + std::abs(y4y1), d;
        if (l > 1.) {
            d = std::abs(x4x1 * (b.y1 - b.y2) - y4y1 * (b.x1 - b.x2)) +
                std::abs(x4x1 * (b.y1 - b.y3) - y4y1 * (b.x1 - b.x3));
        } else {
            d = std::abs(b.x1 - b.x2) + std::abs(b.y1 - b.y2) + std::abs(b.x1 - b.x3) + std::abs(b.y1 - b.y3);
            l = 1.;
        }
        if (d < FlatEnough * l || levels[top] == 0) {
            add(b.x4, b.y4);
            --top;
            continue;
        }
        // The first half goes on top of the stack, the second stays below it.
        const Cubic whole = b;
        halve(whole, stack[top + 1], stack[top]);
        levels[top + 1] = --levels[top];
        ++top;
    }
}

bool nearTie(double v)
{
    const double units = v * 64;
    return std::abs(units - std::floor(units) - 0.5) < NearTie;
}

// A coordinate moved by offset and rounded to 1/64 pixel as Qt's raster engine does.
int fixedAt(double v, int offset)
{
    const double moved = (v + double(offset)) * 64;
    return int(moved + std::copysign(0.5, moved));
}

bool sameFor(const std::vector<double> &values, int from, int to)
{
    return std::all_of(values.begin(), values.end(),
                       [&](double v) { return fixedAt(v, to) - fixedAt(v, from) == (to - from) * 64; });
}

void keepOnce(std::vector<double> &values)
{
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
}

} // namespace

OutlineRounding::OutlineRounding(const QPainterPath &outline)
{
    const auto add = [this](double x, double y) {
        if (nearTie(x))
            xs_.push_back(x);
        if (nearTie(y))
            ys_.push_back(y);
    };
    double x = 0, y = 0;
    for (int i = 0; i < outline.elementCount(); ++i) {
        const QPainterPath::Element e = outline.elementAt(i);
        if (e.isCurveTo() && i + 2 < outline.elementCount()) {
            const QPainterPath::Element c2 = outline.elementAt(i + 1), end = outline.elementAt(i + 2);
            flatten({x, y, e.x, e.y, c2.x, c2.y, end.x, end.y}, add);
            x = end.x;
            y = end.y;
            i += 2;
            continue;
        }
        add(e.x, e.y);
        x = e.x;
        y = e.y;
    }
    keepOnce(xs_);
    keepOnce(ys_);
}

bool OutlineRounding::sameAt(QPoint from, QPoint to) const
{
    return sameFor(xs_, from.x(), to.x()) && sameFor(ys_, from.y(), to.y());
}
