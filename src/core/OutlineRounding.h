#pragma once
// The outline points whose rounding depends on where Qt fills the outline.
//
// Qt's raster engine halves the curves of a filled outline until they are flat, moves every
// point by the painter's offset in double precision and rounds it to 1/64 pixel. The sum
// keeps fewer fraction bits the larger it is, so a coordinate within a rounding error of
// half a 1/64 step rounds one way near the picture's origin and maybe the other way far
// from it: the same outline filled at two whole-pixel offsets can differ by a level here
// and there. Every other point rounds alike at every offset. This class finds the
// sensitive coordinates the way Qt makes its points and tells whether two offsets round
// them alike.
#include <QPainterPath>
#include <QPoint>

#include <vector>

class OutlineRounding
{
public:
    OutlineRounding() = default;
    explicit OutlineRounding(const QPainterPath &outline);

    // Whether the outline filled with the painter moved by to gives every point the 1/64
    // pixel position it gets moved by from, shifted by the difference of the offsets.
    bool sameAt(QPoint from, QPoint to) const;
    bool sensitive() const { return !xs_.empty() || !ys_.empty(); }

private:
    std::vector<double> xs_, ys_; // the sensitive coordinates, each once
};
