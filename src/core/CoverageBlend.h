#pragma once
// Blending a solid colour through 8-bit coverage with QPainter's arithmetic.
//
// QPainter blends a solid opaque colour c over a pixel d with coverage a as
// c·a + d·(255 − a) per channel, each product divided by 255 with rounding, and stores c
// itself where a is 255; coverage 0 leaves the pixel as it is.
#include <QRgb>

// Pixels are blended in groups of this many; a row padded with zero coverage to whole
// groups takes the fast path throughout.
constexpr int CoverageGroup = 8;

// Blends n pixels of dst (Format_RGB32 or Format_ARGB32_Premultiplied) with color (opaque,
// as 0xAARRGGBB) through cover.
void blendCoverageRow(QRgb *dst, const unsigned char *cover, int n, QRgb color);
