#pragma once
// TIFF images decoded from their samples as libtiff's strip and tile readers give them,
// for the kinds its RGBA interface refuses or shows wrongly: grey, RGB and palette samples
// of 2 to 32 bits, signed or floating point; CMYK of any sample size; CIE L*a*b*.
//
// Samples become 8-bit levels as round(v * 255 / max): max is 2^bits - 1 for unsigned
// integers and 2^(bits-1) - 1 for signed ones, whose negative values show as 0. Floating-
// point samples (16, 32 or 64 bits) are taken between SMinSampleValue and SMaxSampleValue
// when the file gives both, else between 0 and 1, and clamped. Palette indices keep the
// high byte of their colour map entries, as the own palette reader does. CMYK becomes
// (1 - C)(1 - K) and so on. L*a*b* goes through XYZ relative to the file's white point
// (WhitePoint, D65 when absent), adapted to D65 by the Bradford transform, to sRGB, so
// L* 100 with a* = b* = 0 is white whatever the white point. An alpha sample is shown
// over white.
#include <QImage>
#include <QString>

#include <tiffio.h>

namespace TiffSamples {

// Whether the current directory is of a kind read here.
bool handles(TIFF *tif);

// The current directory must be one handles() takes. Fills image (Format_RGB32, of the
// directory's size); false with why set when the samples cannot be read.
bool read(TIFF *tif, QImage &image, QString &why);

} // namespace TiffSamples
