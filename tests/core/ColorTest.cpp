#include "core/Color.h"

#include <QGuiApplication>
#include <QPalette>
#include <gtest/gtest.h>

TEST(ColorStep, RoundsTiesToEven)
{
    // 5 * 0.5 = 2.5 -> 2, 255 * 0.5 = 127.5 -> 128, 7 * 0.5 = 3.5 -> 4
    EXPECT_EQ(ColorStep(makeColor(0, 0, 0), makeColor(5, 255, 7), 2, 1), makeColor(2, 128, 4));
}

TEST(ColorStep, EndsAreExact)
{
    const TColor a = makeColor(12, 200, 3), b = makeColor(250, 1, 99);
    for (int n : {1, 3, 7, 10, 49, 50}) {
        EXPECT_EQ(ColorStep(a, b, n, 0), a) << n;
        EXPECT_EQ(ColorStep(a, b, n, n), b) << n;
    }
}

TEST(ColorStep, GreenToYellowMidway)
{
    // The painter's colour for layer 5 of 10 from green to yellow.
    EXPECT_EQ(ColorStep(Colors::clGreen, Colors::clYellow, 10, 5), makeColor(128, 192, 0));
}

TEST(ColorStep, DepthZeroGivesTheSecondColour)
{
    EXPECT_EQ(ColorStep(Colors::clGreen, Colors::clYellow, 0, 0), Colors::clYellow);
}

TEST(ColorStep, ClampsOutsideTheRange)
{
    EXPECT_EQ(ColorStep(makeColor(0, 0, 0), makeColor(255, 255, 255), 2, 4), makeColor(255, 255, 255));
    EXPECT_EQ(ColorStep(makeColor(255, 255, 255), makeColor(0, 0, 0), 2, 4), makeColor(0, 0, 0));
}

TEST(SystemColors, ResolveThroughTheApplicationPalette)
{
    QPalette pal = QGuiApplication::palette();
    const QPalette saved = pal;
    pal.setColor(QPalette::Button, QColor(10, 20, 30));
    pal.setColor(QPalette::Base, QColor(200, 210, 220));
    QGuiApplication::setPalette(pal);
    EXPECT_EQ(resolveColor(Colors::clBtnFace), makeColor(10, 20, 30));
    EXPECT_EQ(resolveColor(Colors::clWindow), makeColor(200, 210, 220));
    // Interpolation works on what the system colours stand for.
    EXPECT_EQ(ColorStep(Colors::clBtnFace, Colors::clWindow, 2, 1), makeColor(105, 115, 125));
    EXPECT_EQ(ColorStep(Colors::clBtnFace, makeColor(0, 0, 0), 1, 0), makeColor(10, 20, 30));
    QGuiApplication::setPalette(saved);
}

TEST(SystemColors, PlainColoursAreUntouched)
{
    EXPECT_FALSE(isSystemColor(Colors::clYellow));
    EXPECT_TRUE(isSystemColor(Colors::clBtnFace));
    EXPECT_EQ(resolveColor(Colors::clFuchsia), Colors::clFuchsia);
    EXPECT_EQ(redOf(Colors::clYellow), 255);
    EXPECT_EQ(greenOf(Colors::clYellow), 255);
    EXPECT_EQ(blueOf(Colors::clYellow), 0);
    EXPECT_EQ(fromQColor(toQColor(Colors::clAqua)), Colors::clAqua);
}
