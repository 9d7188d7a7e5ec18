// The ten gradient painters: the examples of each kind, the colour order, progress, the
// 2-pixel pen the sine painter leaves behind, and pictures too small to divide.
#include "compose/GradientPainters.h"

#include <QGuiApplication>
#include <QPalette>
#include <gtest/gtest.h>

namespace {

ImageBox picture(int w, int h)
{
    ImageBox box(QStringLiteral("BackImage"));
    SetImageSize(box, w, h);
    return box;
}

const TColor Black = Colors::clBlack;
const TColor Red = makeColor(200, 0, 0);

// Every pixel of row y (or column x) has colour c.
::testing::AssertionResult rowIs(const Raster &r, int y, TColor c)
{
    for (int x = 0; x < r.width(); ++x)
        if (r.pixel(x, y) != c)
            return ::testing::AssertionFailure() << "row " << y << " pixel " << x << " is " << std::hex << r.pixel(x, y)
                                                 << ", expected " << c;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult columnIs(const Raster &r, int x, TColor c)
{
    for (int y = 0; y < r.height(); ++y)
        if (r.pixel(x, y) != c)
            return ::testing::AssertionFailure() << "column " << x << " pixel " << y << " is " << std::hex
                                                 << r.pixel(x, y) << ", expected " << c;
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(GradientPainters, KindOneRunsFromStartToEndRowByRow)
{
    ImageBox box = picture(2, 2);
    CanvasTools tools;
    PaintGradient(1, box, tools, Black, Colors::clBlue);
    EXPECT_TRUE(rowIs(box.picture, 0, Black));
    EXPECT_TRUE(rowIs(box.picture, 1, makeColor(0, 0, 128))); // 127.5 rounds to even
}

TEST(GradientPainters, KindTwoMeetsInTheMiddleRow)
{
    // Kinds 2 to 10 take the end colour first.
    for (const auto &[h, steps] : {std::pair<int, std::vector<int>>{5, {0, 1, 2, 2, 1}}, {4, {0, 1, 2, 1}}}) {
        ImageBox box = picture(3, h);
        CanvasTools tools;
        PaintGradient(2, box, tools, Red, Black);
        for (int y = 0; y < h; ++y)
            EXPECT_TRUE(rowIs(box.picture, y, ColorStep(Black, Red, 2, steps[size_t(y)]))) << "H=" << h;
    }
}

TEST(GradientPainters, KindThreeDividesByTheLargerSide)
{
    ImageBox box = picture(100, 200);
    CanvasTools tools;
    PaintLeftRightGradient(box, tools, Black, Red);
    EXPECT_TRUE(columnIs(box.picture, 0, Black));
    EXPECT_TRUE(columnIs(box.picture, 99, ColorStep(Black, Red, 200, 99)));
    ImageBox wide = picture(200, 100);
    PaintLeftRightGradient(wide, tools, Black, Red);
    EXPECT_TRUE(columnIs(wide.picture, 199, ColorStep(Black, Red, 200, 199)));
}

TEST(GradientPainters, KindsFourAndFiveGiveTheFarEdgesStepOne)
{
    ImageBox box = picture(10, 6);
    CanvasTools tools;
    PaintLeftRightCenterGradient(box, tools, Black, Red);
    EXPECT_TRUE(columnIs(box.picture, 0, Black));
    EXPECT_TRUE(columnIs(box.picture, 9, ColorStep(Black, Red, 5, 1)));
    EXPECT_TRUE(columnIs(box.picture, 5, Red));

    ImageBox boxes = picture(10, 6);
    PaintBoxCenterGradient(boxes, tools, Black, Red);
    const TColor step1 = ColorStep(Black, Red, 3, 1);
    EXPECT_EQ(boxes.picture.pixel(4, 0), Black);
    EXPECT_EQ(boxes.picture.pixel(0, 3), Black);
    EXPECT_EQ(boxes.picture.pixel(9, 3), step1);
    EXPECT_EQ(boxes.picture.pixel(4, 5), step1);
    EXPECT_EQ(boxes.picture.pixel(4, 3), Red); // the innermost outline, m = 3
}

TEST(GradientPainters, KindSixCoversThePictureWithBothFans)
{
    ImageBox box = picture(64, 48);
    CanvasTools tools;
    PaintXYEffectGradient(box, tools, Black, Red);
    // Every second-fan line ends at (0, c), which a line does not cover, and no first-fan
    // line of a wide picture reaches column 0 below row 0: that column keeps its white.
    for (int y = 0; y < 48; ++y)
        for (int x = 1; x < 64; ++x)
            ASSERT_EQ(box.picture.pixel(x, y) & 0xFFFF00, 0) << x << "," << y; // only shades of red
    EXPECT_EQ(box.picture.pixel(0, 0), Black);
    EXPECT_EQ(box.picture.pixel(0, 1), Colors::clWhite);
    // The second fan draws over the first: its first line runs from (W, H) to (0, 0).
    EXPECT_EQ(box.picture.pixel(63, 47), Black);
}

TEST(GradientPainters, KindSevenStepsOverTheExactDivisor)
{
    // min(W, H) = 13 gives n = 9 steps: progress 0, 11, 22, ... 100 and then 100.
    ImageBox box = picture(20, 13);
    CanvasTools tools;
    std::vector<int> progress;
    PaintCircleGradient(box, tools, Black, Red, [&](int p) { progress.push_back(p); });
    ASSERT_EQ(progress.size(), 11u);
    EXPECT_EQ(progress[1], 11);
    EXPECT_EQ(progress[9], 100);
    // The last, small ellipse in the centre gets C2; the first overhangs every edge, so
    // no pixel keeps its white.
    EXPECT_EQ(box.picture.pixel(10, 6), Red);
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_NE(box.picture.pixel(x, y), Colors::clWhite) << x << "," << y;
    EXPECT_EQ(int(26 / CircleStepDivisor), 19); // not 20
}

TEST(GradientPainters, KindEightShiftsItsBandsByTheSine)
{
    EXPECT_EQ(sinusShift(0), 0);
    EXPECT_EQ(sinusShift(360), 0);
    EXPECT_EQ(sinusShift(4), 3);
    EXPECT_EQ(sinusShift(88), 50);
    EXPECT_EQ(sinusShift(272), -50);
    // W = 182, q = 10. The 2-pixel pen covers its column and the one to the left, so
    // column x shows loop column x + 1. Loop columns 90 (angle 360) and 91 (angle 0)
    // have y0 = 0: band 2 (C2 to C1) ends at row 8; loop column 92 (angle 4) has y0 = 3.
    ImageBox box = picture(182, 40);
    CanvasTools tools;
    PaintSinusGradient(box, tools, Black, Red);
    auto forward = [](int x) { return ColorStep(Black, Red, 182, x); };
    auto backward = [](int x) { return ColorStep(Red, Black, 182, x); };
    EXPECT_EQ(box.picture.pixel(89, 8), backward(90));
    EXPECT_EQ(box.picture.pixel(89, 9), forward(90));
    EXPECT_EQ(box.picture.pixel(90, 8), backward(91));
    EXPECT_EQ(box.picture.pixel(90, 9), forward(91));
    EXPECT_EQ(box.picture.pixel(91, 11), backward(92));
    EXPECT_EQ(box.picture.pixel(91, 12), forward(92));
    EXPECT_EQ(tools.penWidth, 2);
}

TEST(GradientPainters, TheSinePaintersPenStaysForTheNextKind)
{
    ImageBox box = picture(2, 2);
    CanvasTools tools;
    PaintSinusGradient(box, tools, Black, Red);
    PaintTopDownGradient(box, tools, Black, Colors::clBlue);
    // Each 2-pixel line also covers the row above it, so row 0 shows line 1 and row 1 line 2.
    EXPECT_TRUE(rowIs(box.picture, 0, makeColor(0, 0, 128)));
    EXPECT_TRUE(rowIs(box.picture, 1, Colors::clBlue));
    CanvasTools fresh;
    PaintTopDownGradient(box, fresh, Black, Colors::clBlue);
    EXPECT_TRUE(rowIs(box.picture, 0, Black));
}

TEST(GradientPainters, KindNineSwingsWithAPeriodOfTwoTPlusOneRows)
{
    // H = 60: t = 10. Column W div 4 holds, in row y, the corner of row loop y.
    ImageBox box = picture(160, 60);
    CanvasTools tools;
    PaintZickZackGradient(box, tools, Black, Red);
    EXPECT_EQ(box.picture.pixel(40, 0), Red);   // |s| = t: C2
    EXPECT_EQ(box.picture.pixel(40, 10), Black); // s = 0: C1
    EXPECT_EQ(box.picture.pixel(40, 20), Red);
    EXPECT_EQ(box.picture.pixel(40, 21), Red);   // the next period starts again at t
    EXPECT_EQ(box.picture.pixel(40, 31), Black);
    EXPECT_EQ(box.picture.pixel(40, 5), ColorStep(Black, Red, 10, 5));
}

TEST(GradientPainters, KindTenRunsHPlusAFifthPlusOneRows)
{
    // H = 60: t = 10, rows 0 to 72. The last row loop (y = 72, s = -1) leaves its colour on
    // the canvas; its ellipses lie wholly below the picture.
    ImageBox box = picture(100, 60);
    CanvasTools tools;
    PaintWaveGradient(box, tools, Black, Red);
    EXPECT_EQ(tools.brushColor, ColorStep(Black, Red, 10, 1));
    EXPECT_EQ(tools.penColor, ColorStep(Black, Red, 10, 1));
    // Row loop 71 (|s| = 2) is the last to reach the bottom row.
    bool seen = false;
    for (int x = 0; x < 100; ++x)
        seen = seen || box.picture.pixel(x, 59) == ColorStep(Black, Red, 10, 2);
    EXPECT_TRUE(seen);
    for (int x = 0; x < 100; ++x)
        EXPECT_NE(box.picture.pixel(x, 59), ColorStep(Black, Red, 10, 1)) << x;
}

TEST(GradientPainters, SystemColoursInterpolateFromTheirCurrentValues)
{
    QPalette palette = QGuiApplication::palette();
    const QPalette saved = palette;
    palette.setColor(QPalette::Active, QPalette::Button, QColor(10, 20, 30));
    QGuiApplication::setPalette(palette);
    ImageBox box = picture(2, 2);
    CanvasTools tools;
    PaintGradient(1, box, tools, Colors::clBtnFace, Colors::clWhite);
    QGuiApplication::setPalette(saved);
    EXPECT_TRUE(rowIs(box.picture, 0, makeColor(10, 20, 30)));
    EXPECT_TRUE(rowIs(box.picture, 1, ColorStep(makeColor(10, 20, 30), Colors::clWhite, 2, 1)));
}

TEST(GradientPainters, ZeroStepsLeaveThePictureAndTheGaugeAlone)
{
    struct Case { int kind, w, h; };
    for (const Case c : {Case{2, 5, 1}, Case{4, 1, 5}, Case{5, 1, 9}, Case{7, 1, 9}, Case{9, 40, 5}, Case{10, 40, 5}}) {
        ImageBox box = picture(c.w, c.h);
        const Raster before = box.picture;
        CanvasTools tools;
        int calls = 0;
        PaintGradient(c.kind, box, tools, Black, Red, [&](int) { ++calls; });
        EXPECT_TRUE(box.picture.samePixels(before)) << "kind " << c.kind;
        EXPECT_EQ(calls, 0) << "kind " << c.kind;
    }
}

TEST(GradientPainters, ProgressRunsAsEachKindDivides)
{
    std::vector<int> seen;
    auto record = [&](int p) { seen.push_back(p); };
    ImageBox box = picture(4, 4);
    CanvasTools tools;
    PaintTopDownGradient(box, tools, Black, Red, record);
    EXPECT_EQ(seen, (std::vector<int>{0, 25, 50, 75, 100, 100}));
    seen.clear();
    PaintLeftRightCenterGradient(box, tools, Black, Red, record); // divides by W, stops at W div 2
    EXPECT_EQ(seen, (std::vector<int>{0, 25, 50, 100}));
    seen.clear();
    PaintXYEffectGradient(box, tools, Black, Red, record); // once per fan
    EXPECT_EQ(seen, (std::vector<int>{0, 25, 50, 75, 100, 0, 25, 50, 75, 100, 100}));
    seen.clear();
    PaintZickZackGradient(box, tools, Black, Red);
    PaintGradient(10, box, tools, Black, Red, record);
    EXPECT_TRUE(seen.empty());
}
