#pragma once
// Colour values as the program stores them: 32 bits, 0x00BBGGRR (low byte red).
// A value with the high byte 0x80 names a system colour and is resolved through
// the application palette before any arithmetic.
#include <QColor>
#include <QRgb>
#include <cstdint>

class QPalette;

using TColor = std::int32_t;

namespace Colors {
constexpr TColor clBlack = 0x00000000;
constexpr TColor clWhite = 0x00FFFFFF;
constexpr TColor clYellow = 0x0000FFFF;
constexpr TColor clGreen = 0x00008000;
constexpr TColor clAqua = 0x00FFFF00;
constexpr TColor clBlue = 0x00FF0000;
constexpr TColor clFuchsia = 0x00FF00FF;
constexpr TColor clSilver = 0x00C0C0C0;
constexpr TColor clNavy = 0x00800000;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clWindow = TColor(0x80000005u);
constexpr TColor clWindowText = TColor(0x80000008u);
constexpr TColor clBtnFace = TColor(0x8000000Fu);
constexpr TColor clBtnShadow = TColor(0x80000010u);
constexpr TColor clBtnText = TColor(0x80000012u);
constexpr TColor clInfoBk = TColor(0x80000018u);
} // namespace Colors

constexpr bool isSystemColor(TColor c) { return (std::uint32_t(c) & 0xFF000000u) == 0x80000000u; }
constexpr int redOf(TColor c) { return c & 0xFF; }
constexpr int greenOf(TColor c) { return (c >> 8) & 0xFF; }
constexpr int blueOf(TColor c) { return (c >> 16) & 0xFF; }
constexpr TColor makeColor(int r, int g, int b) { return TColor(r | (g << 8) | (b << 16)); }

// Resolves a system colour through the given palette; plain colours lose their high byte.
TColor resolveColor(TColor c, const QPalette &palette);
// Resolves through the application palette (a fixed light palette when no application runs).
TColor resolveColor(TColor c);

QColor toQColor(TColor c);
QRgb toRgb(TColor c);
TColor fromQColor(const QColor &c);
TColor fromRgb(QRgb c);

// The one colour interpolation of the program: step i of n from c1 to c2, each channel
// (c2 - c1) * (1/n) * i + c1 rounded to nearest with ties to even, clamped to 0..255.
// n = 0 has no steps between the ends; it yields c2, the front colour of a painter.
TColor ColorStep(TColor c1, TColor c2, int n, int i);
