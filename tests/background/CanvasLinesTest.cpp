// The canvas's lines and ellipses: end points, pen widths, box edges, clipping, and the
// stacked ellipse drawing that must equal drawing one ellipse after another.
#include "core/Canvas.h"

#include <QImage>
#include <gtest/gtest.h>

#include <random>

namespace {

QImage white(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(qRgb(255, 255, 255));
    return img;
}

// The pixels of one colour, as a list of points in row order.
QList<QPoint> pixelsOf(const QImage &img, QRgb color)
{
    QList<QPoint> out;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) == color)
                out << QPoint(x, y);
    return out;
}

const QRgb Black = qRgb(0, 0, 0);

} // namespace

TEST(CanvasLines, CoverTheStartAndStopBeforeTheEnd)
{
    QImage img = white(10, 10);
    CanvasTools tools;
    Canvas canvas(img, tools);
    canvas.MoveTo(2, 3);
    canvas.LineTo(6, 3);
    EXPECT_EQ(pixelsOf(img, Black), (QList<QPoint>{{2, 3}, {3, 3}, {4, 3}, {5, 3}}));
    EXPECT_EQ(tools.penPos, QPoint(6, 3));

    img = white(10, 10);
    canvas.MoveTo(4, 8);
    canvas.LineTo(4, 5); // upwards: 8, 7, 6
    EXPECT_EQ(pixelsOf(img, Black), (QList<QPoint>{{4, 6}, {4, 7}, {4, 8}}));

    img = white(10, 10);
    canvas.MoveTo(0, 0);
    canvas.LineTo(4, 2); // minor steps round halves away from the start
    EXPECT_EQ(pixelsOf(img, Black), (QList<QPoint>{{0, 0}, {1, 1}, {2, 1}, {3, 2}}));

    img = white(10, 10);
    canvas.MoveTo(5, 5);
    canvas.LineTo(5, 5); // a line to its own start covers nothing
    EXPECT_TRUE(pixelsOf(img, Black).isEmpty());
}

TEST(CanvasLines, PolylineCoversEveryCornerButTheLast)
{
    QImage img = white(8, 8);
    CanvasTools tools;
    Canvas canvas(img, tools);
    canvas.MoveTo(1, 1);
    canvas.LineTo(5, 1);
    canvas.LineTo(5, 5);
    canvas.LineTo(1, 5);
    canvas.LineTo(1, 1);
    EXPECT_EQ(pixelsOf(img, Black).size(), 16);
    for (QPoint corner : {QPoint(1, 1), QPoint(5, 1), QPoint(5, 5), QPoint(1, 5)})
        EXPECT_EQ(img.pixel(corner), Black) << corner.x() << "," << corner.y();
}

TEST(CanvasLines, AWidePenCoversASquareAtEveryPixel)
{
    QImage img = white(10, 10);
    CanvasTools tools;
    tools.penWidth = 2;
    Canvas canvas(img, tools);
    canvas.MoveTo(3, 5);
    canvas.LineTo(6, 5); // pixels 3..5 of row 5, each with the square reaching left and up
    EXPECT_EQ(pixelsOf(img, Black), (QList<QPoint>{{2, 4}, {3, 4}, {4, 4}, {5, 4}, {2, 5}, {3, 5}, {4, 5}, {5, 5}}));

    img = white(10, 10);
    canvas.MoveTo(0, 0);
    canvas.LineTo(3, 3); // diagonal: squares at (0,0), (1,1), (2,2)
    EXPECT_EQ(pixelsOf(img, Black), (QList<QPoint>{{0, 0}, {1, 0}, {0, 1}, {1, 1}, {2, 1}, {1, 2}, {2, 2}}));
}

TEST(CanvasLines, ClipEverythingOutsideThePicture)
{
    QImage img = white(20, 10);
    CanvasTools tools;
    tools.penWidth = 3;
    Canvas canvas(img, tools);
    // Far outside, through the picture, and huge coordinates: no write outside the rows.
    canvas.MoveTo(-100000, -50000);
    canvas.LineTo(100000, 50000);
    canvas.Ellipse(-40000, -40000, 40000, 40000);
    canvas.MoveTo(-5, 4);
    canvas.LineTo(30, 4);
    canvas.MoveTo(0, 100);
    canvas.LineTo(19, 100); // below the picture: no mark
    EXPECT_EQ(img.pixel(0, 4), Black);
    EXPECT_EQ(img.pixel(19, 4), Black);
}

TEST(CanvasEllipses, TheBoxIncludesLeftAndTopAndExcludesRightAndBottom)
{
    QImage img = white(12, 12);
    CanvasTools tools;
    tools.brushColor = 0x000000FF; // red brush, black pen
    Canvas canvas(img, tools);
    canvas.Ellipse(2, 3, 10, 9); // 8 x 6 pixels: columns 2..9, rows 3..8
    int minX = 99, maxX = -1, minY = 99, maxY = -1;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x)
            if (img.pixel(x, y) != qRgb(255, 255, 255)) {
                minX = std::min(minX, x); maxX = std::max(maxX, x);
                minY = std::min(minY, y); maxY = std::max(maxY, y);
            }
    EXPECT_EQ(minX, 2);
    EXPECT_EQ(maxX, 9);
    EXPECT_EQ(minY, 3);
    EXPECT_EQ(maxY, 8);
    EXPECT_EQ(img.pixel(5, 6), qRgb(255, 0, 0)); // filled with the brush
    EXPECT_EQ(img.pixel(2, 5), Black);           // outlined with the pen
    EXPECT_EQ(img.pixel(2, 3), qRgb(255, 255, 255)); // the box's corner is not the ellipse's
    // Given right to left and bottom to top, the same box.
    QImage turned = white(12, 12);
    Canvas other(turned, tools);
    other.Ellipse(10, 9, 2, 3);
    EXPECT_EQ(turned, img);
}

TEST(CanvasEllipses, StackedDrawingEqualsDrawingOneAfterAnother)
{
    std::mt19937 random(7);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (int round = 0; round < 40; ++round) {
        QImage one = white(pick(1, 60), pick(1, 60)), stacked = one;
        CanvasTools tools;
        Canvas a(one, tools);
        std::vector<EllipseCall> calls;
        for (int i = pick(1, 25); i > 0; --i) {
            tools.penColor = makeColor(pick(0, 255), pick(0, 255), pick(0, 255));
            tools.brushColor = pick(0, 2) == 0 ? tools.penColor : makeColor(pick(0, 255), 0, pick(0, 255));
            tools.penWidth = pick(1, 3);
            tools.brushStyle = pick(0, 3) == 0 ? BrushStyle::Clear : BrushStyle::Solid;
            const int x1 = pick(-30, 70), y1 = pick(-30, 70);
            calls.push_back(a.ellipseCall(x1, y1, x1 + pick(-40, 40), y1 + pick(-40, 40)));
            a.Ellipse(calls.back().x1, calls.back().y1, calls.back().x2, calls.back().y2);
        }
        CanvasTools unused;
        Canvas(stacked, unused).drawEllipses(calls);
        ASSERT_EQ(stacked, one) << "round " << round;
    }
    // One shape stamped at many places and pens, as the wave painter does: the stack
    // shares the shape's rows, which must give what each ellipse alone gives.
    QImage one = white(90, 70), stacked = one;
    CanvasTools tools;
    Canvas a(one, tools);
    std::vector<EllipseCall> calls;
    for (int i = 0; i < 300; ++i) {
        tools.penColor = makeColor(pick(0, 255), pick(0, 255), 0);
        tools.brushColor = i % 3 ? tools.penColor : Colors::clBlue;
        tools.penWidth = 1 + i % 2;
        const int x1 = pick(-40, 80), y1 = pick(-30, 60);
        calls.push_back(a.ellipseCall(x1, y1, x1 + 23, y1 + 17));
        a.Ellipse(x1, y1, x1 + 23, y1 + 17);
    }
    CanvasTools unused;
    Canvas(stacked, unused).drawEllipses(calls);
    EXPECT_EQ(stacked, one);
}
