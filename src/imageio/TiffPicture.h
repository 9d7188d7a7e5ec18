#pragma once
// What the two TIFF decoders (the own strip reader and the libtiff one) share: the size
// limits with their messages, alpha shown over white, and the picture they hand back.
#include "core/Errors.h"
#include "core/MessageText.h"
#include "core/Raster.h"

#include <QImage>

#include <algorithm>

namespace TiffPicture {

// A side above this ends the whole read with an error.
constexpr quint32 MaxSide = 65535;

// Kinds of alpha sample, as the ExtraSamples tag numbers them.
enum Alpha { NoAlpha = 0, Associated = 1, Unassociated = 2 };

inline void checkSides(quint32 width, quint32 height)
{
    if (width > MaxSide || height > MaxSide)
        throw LetrafexError(messageText("The TIFF image size %1 x %2 is above 65535 pixels").arg(width).arg(height));
}

// Why a picture of this size is not made; empty when it may be.
inline QString sizeProblem(int width, int height)
{
    if (width == 0 || height == 0)
        return messageText("Error: Image Width or Image Height is 0");
    if (!Raster::sizeAllowed(width, height, 32))
        return messageText("Error: an image of %1 x %2 pixels is too large to read").arg(width).arg(height);
    return {};
}

// A colour sample over white by its alpha: straight samples are weighted, samples already
// multiplied by their alpha get the white that shows through.
inline int overWhite(int c, int a, int kind)
{
    return kind == Associated ? std::min(255, c + 255 - a) : (c * a + 255 * (255 - a) + 127) / 255;
}

// The 24-bit picture for decoded pixels (Format_RGB32).
inline Raster finish(QImage &image)
{
    // Set before the raster shares the image, so it need not copy the pixels to change it.
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    // A 24-bit picture, as the file's samples are, whatever the image stores them in.
    return Raster::fromImage(image, 24);
}

} // namespace TiffPicture
